// One poll's page handling, from the bytes the router sends to the tray tip: the real
// RouterControl with the window fake, and a router that answers every request with the
// fuzzer's bytes, read through the body loop.
//
// Input: byte 0 chooses the answer and the path, the rest is the body.
//   bits 0-1  0 no answer, 1 status 401, 2 status 200, 3 status 500
//   bit 2     timed change on
//   bit 3     the login button instead of a timer tick
//   bits 4-7  0: the body arrives in one piece; n: in pieces of 2^(n-1) bytes

#include "BodyReader.h"
#include "FakeRouterWindow.h"
#include "FakeUpnpGateway.h"
#include "FuzzChecks.h"
#include "PageText.h"
#include "RouterControl.h"
#include "RouterPages.h"
#include "TrayTip.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

// 登录失败 as the router sends it, written as bytes so that the program's own text is checked too.
const char kMarker[] = "\xB5\xC7\xC2\xBC\xCA\xA7\xB0\xDC";

const char kLoginPath[] = "/userRpm/Index.htm";
const char kStatusPath[] = "/userRpm/StatusRpm.htm";
const char kDisconnectPath[] = "/userRpm/StatusRpm.htm?Disconnect=%B6%CF%20%CF%DF&wan=1";

const char kNoAnswerText[] = "无法连接路由器，请检查网关地址。";
const char kWrongLoginCaption[] = "用户名或密码不正确";

struct FieldLine {
    WanField field;
    std::size_t line;
};
const FieldLine kFieldLines[] = {
    {WanField::MacAddress, 36}, {WanField::PublicIp, 37}, {WanField::SubnetMask, 39},
    {WanField::Gateway, 42},    {WanField::Dns, 46},      {WanField::OnlineTime, 47},
};

// Hands the body out in pieces of one size, as the network may deliver it.
class PieceSource : public ByteSource {
public:
    PieceSource(const std::string& body, std::size_t piece) : body_(body), piece_(piece) {}

    bool Read(char* buffer, std::size_t size, std::size_t& got) override {
        got = std::min({size, piece_, body_.size() - at_});
        if (got > 0) std::memcpy(buffer, body_.data() + at_, got);
        at_ += got;
        return true;
    }

private:
    const std::string& body_;
    std::size_t piece_;
    std::size_t at_ = 0;
};

// Every request gets the same answer; the paths asked for are kept.
struct FuzzRouter : PageFetcher {
    bool answers = false;
    int status = 0;
    std::string body;
    std::size_t piece = 0;
    std::vector<std::string> paths;

    PageAnswer FetchPage(const PageUrl& url) override {
        paths.push_back(url.path);
        if (!answers) return PageAnswer{};
        PieceSource source(body, piece);
        return {true, status, ReadBody(source)};
    }
};

std::vector<std::string> ReferenceLines(std::string_view text) {
    std::vector<std::string> lines;
    std::string line;
    for (std::size_t i = 0; i < text.size() && text[i] != '\0'; ++i) {
        if (text[i] != '\r' && text[i] != '\n') {
            line += text[i];
            continue;
        }
        lines.push_back(line);
        line.clear();
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

std::string ReferenceOnlineTime(const std::string& value) {
    static const std::string kDays = "day(s)";
    std::string shown;
    for (std::size_t i = 0; i < value.size();) {
        if (value.compare(i, kDays.size(), kDays) == 0) {
            shown += "天";
            i += kDays.size();
        } else {
            shown += value[i++];
        }
    }
    return shown;
}

// The "field ..." entries the window should have recorded, in order, and the first line the
// page lacks (0 when it has all six).
struct ExpectedFields {
    std::vector<std::string> calls;
    std::size_t missingLine = 0;
    std::string publicIp, onlineTime;
};

ExpectedFields ReferenceFields(const std::vector<std::string>& lines) {
    ExpectedFields expected;
    for (const FieldLine& fieldLine : kFieldLines) {
        if (fieldLine.line >= lines.size()) {
            expected.missingLine = fieldLine.line;
            break;
        }
        const std::string& line = lines[fieldLine.line];
        std::string value = line.size() > 3 ? line.substr(1, line.size() - 3) : std::string();
        if (fieldLine.field == WanField::OnlineTime) value = ReferenceOnlineTime(value);
        if (fieldLine.field == WanField::PublicIp) expected.publicIp = value;
        if (fieldLine.field == WanField::OnlineTime) expected.onlineTime = value;
        expected.calls.push_back(std::string("field ") + Name(fieldLine.field) + "=" + value);
    }
    return expected;
}

std::vector<std::string> FieldCalls(const std::vector<std::string>& calls) {
    std::vector<std::string> fields;
    for (const std::string& call : calls) {
        if (call.rfind("field ", 0) == 0) fields.push_back(call);
    }
    return fields;
}

using Paths = std::vector<std::string>;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const unsigned choice = data[0];
    const unsigned answerKind = choice & 3;
    const bool timedChange = (choice & 4) != 0;
    const bool viaLogin = (choice & 8) != 0;
    const unsigned pieceSelector = choice >> 4;

    FuzzRouter router;
    router.answers = answerKind != 0;
    router.status = answerKind == 1 ? 401 : answerKind == 2 ? 200 : answerKind == 3 ? 500 : 0;
    router.body.assign(reinterpret_cast<const char*>(data + 1), size - 1);
    router.piece = pieceSelector == 0 ? router.body.size() + 1 : std::size_t{1} << (pieceSelector - 1);

    FakeRouterWindow window;
    window.autoLogin = true;
    window.timedChange = timedChange;
    window.timerEnabled = !viaLogin;  // so that the login's "timer on" shows
    FakeClock clock;
    FakeUpnpGateway gateway;  // none answers: the pages' answers alone are judged
    RouterControl control(window, router, gateway, clock);

    // What the page text, its lines and its fields must be, from the bytes alone.
    std::string text = router.body.substr(0, router.body.find('\0'));
    text.resize(std::min(text.size(), kPageBufferSize));
    const bool refused = router.answers && (router.status == 401 || text.find(kMarker) != std::string::npos);
    const std::vector<std::string> lines = ReferenceLines(text);
    FUZZ_CHECK(SplitLines(text) == lines);
    const ExpectedFields fields = ReferenceFields(lines);

    int reported = 0;
    int errorIndex = -1;
    std::string errorText;
    auto noteError = [&](const std::exception& error) {
        ++reported;
        const auto* listIndex = dynamic_cast<const ListIndexError*>(&error);
        FUZZ_CHECK(listIndex != nullptr);  // nothing else may escape a poll
        errorIndex = listIndex->index;
        errorText = error.what();
    };
    if (viaLogin) {
        try {
            control.Login();
        } catch (const std::exception& error) {
            noteError(error);
        }
    } else {
        control.Tick(noteError);
    }

    const std::vector<std::string> shownFields = FieldCalls(window.calls);
    if (!router.answers) {
        FUZZ_CHECK(router.paths == Paths{viaLogin ? kLoginPath : kStatusPath});
        FUZZ_CHECK(window.boxes.size() == 1 && window.boxes[0].text == kNoAnswerText);
        FUZZ_CHECK(window.boxes[0].icon == MessageIcon::Warning);
        FUZZ_CHECK(window.loginCaption == "登录" && !control.LoggedIn());
        FUZZ_CHECK(shownFields.empty() && reported == 0);
    } else if (refused) {
        FUZZ_CHECK(router.paths == (viaLogin ? Paths{kLoginPath} : Paths{kStatusPath, kLoginPath}));
        FUZZ_CHECK(window.boxes.size() == 1 && window.boxes[0].caption == kWrongLoginCaption);
        FUZZ_CHECK(window.loginCaption == "登录" && !control.LoggedIn() && !window.timerEnabled);
        FUZZ_CHECK(shownFields.empty() && reported == 0);
    } else {
        // The page is read: the fields before the first missing line are shown in order.
        FUZZ_CHECK(window.boxes.empty());
        FUZZ_CHECK(shownFields == fields.calls);
        const bool complete = fields.missingLine == 0;
        if (!complete) {
            // A short page logs nobody in, and the button says so.
            FUZZ_CHECK(reported == 1 && errorIndex == static_cast<int>(fields.missingLine));
            FUZZ_CHECK(errorText == "List index out of bounds (" + std::to_string(fields.missingLine) + ")");
            FUZZ_CHECK(window.loginEnabled && !control.LoggedIn() && window.loginCaption == "登录");
        } else {
            FUZZ_CHECK(reported == 0);
            FUZZ_CHECK(control.LoggedIn() && !window.loginEnabled && window.loginCaption == "已登录");
        }
        if (viaLogin) {
            FUZZ_CHECK(router.paths == (Paths{kLoginPath, kStatusPath}));
            FUZZ_CHECK(window.timerEnabled == complete && window.credentialsEnabled == !complete);
            FUZZ_CHECK(window.trayHint == "Pelorin");  // the login does not judge the link
        } else if (!complete) {
            FUZZ_CHECK(router.paths == Paths{kStatusPath});
            FUZZ_CHECK(window.trayHint == "Pelorin" && window.wanCaption == "WAN口状态");
        } else {
            const bool connected = fields.publicIp != "0.0.0.0";
            FUZZ_CHECK(window.wanCaption == (connected ? "WAN口状态(已连上互联网)" : "WAN口状态(未连网)"));
            FUZZ_CHECK(window.trayHint ==
                       (connected ? "Pelorin\r公网IP：" + fields.publicIp + "\r上网时间：" + fields.onlineTime
                                  : std::string("Pelorin\n\r未联网")));
            // The first timed change is due at once: nothing was changed since day 0.
            FUZZ_CHECK(router.paths ==
                       (timedChange ? Paths{kStatusPath, kDisconnectPath} : Paths{kStatusPath}));
            FUZZ_CHECK(control.LastIpChange() == (timedChange ? clock.now : 0.0));
        }
    }

    CheckTrayTip(window.trayHint, true, TrayTipText(window.trayHint, true));
    return 0;
}
