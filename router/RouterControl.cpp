#include "RouterControl.h"

#include "IntegerText.h"
#include "PageText.h"

namespace {

const char kLoginCaption[] = "登录";
const char kLoggingInCaption[] = "正在登录";
const char kLoggedInCaption[] = "已登录";

const char kWrongLoginText[] =
    "默认用户名为：admin 默认密码为：lumko\r\n(路由器背面有)\r\n请确认是否更改过用户名密码。";
const char kWrongLoginCaption[] = "用户名或密码不正确";
const char kNoticeCaption[] = "提示";
const char kNotLoggedInText[] = "未登录!";
const char kSuccessText[] = "成功!";
const char kNoAnswerText[] = "无法连接路由器，请检查网关地址。";

const char kConnectedCaption[] = "WAN口状态(已连上互联网)";
const char kNotConnectedCaption[] = "WAN口状态(未连网)";
// The tray tip breaks its lines with a lone CR, and with LF then CR when offline.
const char kHintTitle[] = "Pelorin";
const char kHintPublicIp[] = "\r公网IP：";
const char kHintOnlineTime[] = "\r上网时间：";
const char kHintNotConnected[] = "\n\r未联网";

}  // namespace

RouterControl::RouterControl(RouterView& view, PageFetcher& fetcher, Clock& clock)
    : view_(view), fetcher_(fetcher), clock_(clock) {}

void RouterControl::Login() {
    const std::string previousCaption = view_.LoginButtonCaption();
    view_.SetLoginButtonCaption(kLoginCaption);
    const PageAnswer login =
        fetcher_.FetchPage(LoginUrl(view_.UserName(), view_.Password(), view_.RouterAddress()));
    if (!login.answered) {
        // Silence is neither a yes nor a no: the window stays as it was.
        view_.SetLoginButtonCaption(previousCaption);
        ShowNoAnswer();
        return;
    }
    if (Refused(login)) {
        view_.ShowMessage(kWrongLoginText, kWrongLoginCaption, MessageIcon::Warning);
        return;
    }
    loggedIn_ = true;
    // The status page that follows a login is not tested for a refusal. Without an answer
    // the login is abandoned here, as after a short status page.
    const PageAnswer status = fetcher_.FetchPage(StatusUrl(view_.RouterAddress()));
    if (!status.answered) {
        ShowNoAnswer();
        return;
    }
    ReadStatusInto(status.text);
    view_.SetPollTimerEnabled(true);
    view_.SetLoginButtonEnabled(false);
    view_.SetLoginButtonCaption(kLoggedInCaption);
    view_.SetCredentialsEnabled(false);
}

void RouterControl::Poll() {
    const bool mayPoll =
        view_.AutoLogin() || (loggedIn_ && !view_.UserName().empty() && !view_.Password().empty());
    if (!mayPoll) return;

    const PageAnswer status = fetcher_.FetchPage(StatusUrl(view_.RouterAddress()));
    if (!status.answered) {
        // The timer goes on; while this box is open, Tick keeps the next polls from stacking.
        ShowNoAnswer();
        return;
    }
    view_.SetLoginButtonCaption(kLoggingInCaption);
    if (Refused(status)) {
        // Off before the login, so no tick meets the login's own refusal box.
        view_.SetPollTimerEnabled(false);
        Login();
        return;
    }
    ReadStatusInto(status.text);
    loggedIn_ = true;
    view_.SetLoginButtonEnabled(false);
    view_.SetLoginButtonCaption(kLoggedInCaption);
    ShowLinkState();
    TimedChangeIfDue();
}

void RouterControl::Disconnect() { Command(DisconnectUrl(view_.RouterAddress())); }

void RouterControl::Connect() { Command(ConnectUrl(view_.RouterAddress())); }

void RouterControl::TimedChangeSwitched(bool nowChecked) {
    if (nowChecked) lastIpChange_ = clock_.Now();
}

void RouterControl::Tick(const std::function<void(const std::exception&)>& reportError) {
    if (tickRunning_) return;
    struct Running {
        bool& flag;
        explicit Running(bool& f) : flag(f) { flag = true; }
        ~Running() { flag = false; }
    } running(tickRunning_);
    try {
        Poll();
    } catch (const std::exception& error) {
        reportError(error);
    }
}

void RouterControl::ShowNoAnswer() { view_.ShowMessage(kNoAnswerText, kNoticeCaption, MessageIcon::Warning); }

void RouterControl::ReadStatusInto(const std::string& page) {
    ReadWanStatus(SplitLines(page), [this](WanField field, const std::string& text) {
        if (field == WanField::PublicIp) publicIp_ = text;
        if (field == WanField::OnlineTime) onlineTime_ = text;
        view_.ShowWanField(field, text);
    });
}

void RouterControl::ShowLinkState() {
    if (IsConnected(publicIp_)) {
        view_.SetWanCaption(kConnectedCaption);
        view_.SetTrayHint(std::string(kHintTitle) + kHintPublicIp + publicIp_ + kHintOnlineTime +
                          onlineTime_);
    } else {
        view_.SetWanCaption(kNotConnectedCaption);
        view_.SetTrayHint(std::string(kHintTitle) + kHintNotConnected);
    }
}

void RouterControl::TimedChangeIfDue() {
    if (!view_.TimedChange()) return;
    const double now = clock_.Now();
    const double minutes = IntervalMinutes(view_.IntervalText());
    if (now < lastIpChange_ + minutes / kMinutesPerDay) return;
    lastIpChange_ = now;
    fetcher_.FetchPage(DisconnectUrl(view_.RouterAddress()));  // its answer, or none, is not judged
}

void RouterControl::Command(const PageUrl& url) {
    const PageAnswer answer = fetcher_.FetchPage(url);
    if (!answer.answered) {
        ShowNoAnswer();
    } else if (Refused(answer)) {
        view_.ShowMessage(kNotLoggedInText, kNoticeCaption, MessageIcon::Warning);
    } else {
        view_.ShowMessage(kSuccessText, kNoticeCaption, MessageIcon::Information);
    }
}
