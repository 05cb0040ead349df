#include "RouterPages.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

std::string JoinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) text += line + "\r\n";
    return text;
}

std::string Quoted(const std::string& value) { return "\"" + value + "\","; }

}  // namespace

std::string OnlineTimeText(long seconds) {
    if (seconds < 0) seconds = 0;
    char text[64];
    std::snprintf(text, sizeof text, "%ld day(s) %02ld:%02ld:%02ld", seconds / 86400, seconds / 3600 % 24,
                  seconds / 60 % 60, seconds % 60);
    return text;
}

std::string LoginPage() {
    return JoinLines({
        "<html>",
        "<head>",
        "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">",
        "<title>无线路由器</title>",
        "</head>",
        "<frameset rows=\"90,*\" frameborder=\"no\" border=\"0\">",
        "<frame src=\"/userRpm/TopFrame.htm\" name=\"topFrame\" scrolling=\"no\">",
        "<frameset cols=\"180,*\">",
        "<frame src=\"/userRpm/MenuRpm.htm\" name=\"bottomLeftFrame\">",
        "<frame src=\"/userRpm/StatusRpm.htm\" name=\"mainFrame\">",
        "</frameset>",
        "</frameset>",
        "<noframes><body>您的浏览器不支持框架，请使用其他浏览器登录。</body></noframes>",
        "</html>",
    });
}

std::string StatusPage(const WanView& wan, const std::string& routerAddress) {
    const char* const wanStateRow = wan.up ? "<tr><td id=\"t_wan_state\">已连接</td></tr>"
                                           : "<tr><td id=\"t_wan_state\">未连接</td></tr>";
    // The layout of the real firmware's page: JavaScript arrays, one value per line, that the
    // page's own script renders. Only the line positions of the WAN array matter to clients.
    const std::vector<std::string> lines = {
        "<html>",                                                                    // 0
        "<head>",                                                                    // 1
        "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">",  // 2
        "<title>运行状态</title>",                                                   // 3
        "<script type=\"text/javascript\"><!--",                                     // 4
        "var statusPara = new Array(",                                               // 5
        "1,",                                                                        // 6
        "1,",                                                                        // 7
        "22,",                                                                       // 8
        "5,",                                                                        // 9
        "\"4.3.7 Build 090201 Rel.60000n\",",                                        // 10
        "\"WR340G v5 08040105\",",                                                   // 11
        "0, 0 );",                                                                   // 12
        "var lanPara = new Array(",                                                  // 13
        "\"02-1A-2B-3C-4D-5D\",",                                                    // 14
        Quoted(routerAddress),                                                       // 15
        "\"255.255.255.0\",",                                                        // 16
        "0, 0 );",                                                                   // 17
        "var wlanPara = new Array(",                                                 // 18
        "1,",                                                                        // 19
        "\"PELORIN-4D5D\",",                                                         // 20
        "1,",                                                                        // 21
        "5,",                                                                        // 22
        "\"02-1A-2B-3C-4D-5C\",",                                                    // 23
        Quoted(routerAddress),                                                       // 24
        "2,",                                                                        // 25
        "6,",                                                                        // 26
        "\"54Mbps\",",                                                               // 27
        "0, 0 );",                                                                   // 28
        "var statistList = new Array(",                                              // 29
        "31875412,",                                                                 // 30
        "4210337,",                                                                  // 31
        "27113,",                                                                    // 32
        "19846,",                                                                    // 33
        "0, 0 );",                                                                   // 34
        "var wanPara = new Array(",                                                  // 35
        Quoted(wan.mac),                                                             // 36
        Quoted(wan.ip),                                                              // 37
        "1,",                                                                        // 38
        Quoted(wan.mask),                                                            // 39
        "0,",                                                                        // 40
        "0,",                                                                        // 41
        Quoted(wan.gateway),                                                         // 42
        wan.up ? "1," : "0,",                                                        // 43
        "1,",                                                                        // 44
        "0,",                                                                        // 45
        Quoted(wan.dns),                                                             // 46
        Quoted(OnlineTimeText(wan.onlineSeconds)),                                   // 47
        "0,",                                                                        // 48
        "\"PPPoE\",",                                                                // 49
        "0, 0 );",                                                                   // 50
        "--></script>",                                                              // 51
        "</head>",                                                                   // 52
        "<body>",                                                                    // 53
        "<table width=\"502\" border=\"0\" cellpadding=\"0\" cellspacing=\"0\">",    // 54
        "<tr><td class=\"title\">WAN口状态</td></tr>",                               // 55
        wanStateRow,                                                                 // 56
        "<tr><td id=\"t_lan\">LAN口状态</td></tr>",                                  // 57
        "<tr><td id=\"t_wlan\">无线状态</td></tr>",                                  // 58
        "<tr><td id=\"t_stat\">WAN口流量统计</td></tr>",                             // 59
        "</table>",                                                                  // 60
        "</body>",                                                                   // 61
        "</html>",                                                                   // 62
    };
    return JoinLines(lines);
}

std::string RefusedPage() {
    return JoinLines({
        "<html>",
        "<head>",
        "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">",
        "<title>登录失败</title>",
        "</head>",
        "<body>",
        "<p>登录失败：用户名或密码错误，请重新登录。</p>",
        "</body>",
        "</html>",
    });
}

std::string PlainRefusedPage() { return "401 Unauthorized\r\n"; }

std::string NotFoundPage() {
    return JoinLines({
        "<html>",
        "<head>",
        "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">",
        "<title>404 Not Found</title>",
        "</head>",
        "<body>",
        "<p>404：找不到请求的页面。</p>",
        "</body>",
        "</html>",
    });
}

std::string MovedPage(const std::string& location) {
    return JoinLines({
        "<html>",
        "<head><title>Moved</title></head>",
        "<body><a href=\"" + location + "\">Moved</a></body>",
        "</html>",
    });
}

std::string ForeignPage() { return "404 Not Found\r\n"; }

std::string FillerBody(std::size_t size) {
    static const char kPattern[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    constexpr std::size_t kLineText = sizeof kPattern - 1;
    std::string body;
    body.reserve(size);
    while (body.size() < size) {
        const std::size_t left = size - body.size();
        if (left == 1) {
            body.push_back('.');
            break;
        }
        const std::size_t text = std::min(kLineText, left - 2);
        body.append(kPattern, text);
        body += "\r\n";
    }
    return body;
}
