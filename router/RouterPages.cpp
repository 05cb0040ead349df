#include "RouterPages.h"

#include "Concat.h"
#include "IntegerText.h"
#include "PageText.h"

const char kLoginFailedMarker[] = "登录失败";
const char kNotConnectedIp[] = "0.0.0.0";

namespace {

constexpr int kStatusUnauthorized = 401;

const char kLoginPath[] = "/userRpm/Index.htm";
const char kStatusPath[] = "/userRpm/StatusRpm.htm";
// The button texts 断 线 and 连 接, GBK percent-encoded byte by byte, as the router's own form sends them.
const char kDisconnectQuery[] = "?Disconnect=%B6%CF%20%CF%DF&wan=1";
const char kConnectQuery[] = "?Connect=%C1%AC%20%BD%D3&wan=1";

PageUrl RouterUrl(const std::string& router, std::string path) {
    PageUrl url;
    url.host = router;
    url.path = std::move(path);
    return url;
}

}  // namespace

PageUrl LoginUrl(const std::string& user, const std::string& password, const std::string& router) {
    PageUrl url = RouterUrl(router, kLoginPath);
    url.user = user;
    url.password = password;
    url.withCredentials = true;
    return url;
}

PageUrl StatusUrl(const std::string& router) { return RouterUrl(router, kStatusPath); }

PageUrl DisconnectUrl(const std::string& router) {
    return RouterUrl(router, Concat({kStatusPath, kDisconnectQuery}));
}

PageUrl ConnectUrl(const std::string& router) {
    return RouterUrl(router, Concat({kStatusPath, kConnectQuery}));
}

bool LoginFailed(const std::string& pageText) {
    // The page's lines joined with CR LF hold the same occurrences as the text itself, since
    // the marker holds no line break; the page text is cut at its first NUL already.
    return pageText.find(kLoginFailedMarker) != std::string::npos;
}

bool Refused(const PageAnswer& answer) {
    return answer.answered && (answer.status == kStatusUnauthorized || LoginFailed(answer.text));
}

std::string FieldValue(const std::string& line) {
    if (line.size() <= 3) return std::string();
    return line.substr(1, line.size() - 3);
}

std::string OnlineTimeText(std::string value) {
    constexpr std::string_view kDays = "day(s)", kDaysShown = "天";
    for (std::size_t at = value.find(kDays); at != std::string::npos;
         at = value.find(kDays, at + kDaysShown.size())) {
        value.replace(at, kDays.size(), kDaysShown);
    }
    return value;
}

ListIndexError::ListIndexError(int index)
    : AppError(Concat({"List index out of bounds (", DecimalText(index), ")"})), index(index) {}

void ReadWanStatus(const std::vector<std::string>& lines,
                   const std::function<void(WanField, const std::string&)>& show) {
    for (const WanFieldLine& wanLine : kWanFieldLines) {
        if (wanLine.line >= static_cast<int>(lines.size())) throw ListIndexError(wanLine.line);
        std::string value = FieldValue(lines[static_cast<std::size_t>(wanLine.line)]);
        if (wanLine.field == WanField::OnlineTime) value = OnlineTimeText(std::move(value));
        show(wanLine.field, value);
    }
}

bool IsConnected(const std::string& publicIp) { return publicIp != kNotConnectedIp; }
