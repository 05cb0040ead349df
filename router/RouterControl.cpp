#include "RouterControl.h"

#include "CountedScope.h"
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

void RouterControl::Login() { LogIn(false); }

RouterControl::LoginEnd RouterControl::LogIn(bool byPoll) {
    // A login that does not fully succeed changes nothing: its caption goes back as well.
    const std::string previousCaption = view_.LoginButtonCaption();
    view_.SetLoginButtonCaption(kLoginCaption);
    // For the poll's login, as for the poll: a command that ran while it waited has told the
    // user what the router said; the next tick tries again.
    const unsigned madeBefore = requestsMade_;
    const auto overtaken = [&](unsigned own) { return byPoll && requestsMade_ != madeBefore + own; };
    const PageAnswer login = Fetch(LoginUrl(view_.UserName(), view_.Password(), view_.RouterAddress()));
    if (overtaken(1)) {
        view_.SetLoginButtonCaption(previousCaption);
        return LoginEnd::NoAnswer;
    }
    if (!login.answered) {
        // Silence is neither a yes nor a no: the window stays as it was.
        view_.SetLoginButtonCaption(previousCaption);
        if (!login.givenUp) NoAnswer(byPoll);
        return LoginEnd::NoAnswer;
    }
    if (Refused(login)) {
        Tell(kWrongLoginText, kWrongLoginCaption, MessageIcon::Warning);
        return LoginEnd::Refused;
    }
    // The status page that follows a login is not tested for a refusal. Without an answer, or
    // short, the login is abandoned there.
    const PageAnswer status = Fetch(StatusUrl(view_.RouterAddress()));
    if (overtaken(2) || !status.answered) {
        view_.SetLoginButtonCaption(previousCaption);
        if (!overtaken(2) && !status.givenUp) NoAnswer(byPoll);
        return LoginEnd::NoAnswer;
    }
    try {
        ReadStatusInto(status.text);
    } catch (...) {
        view_.SetLoginButtonCaption(previousCaption);
        throw;
    }
    loggedIn_ = true;
    view_.SetPollTimerEnabled(true);
    view_.SetLoginButtonEnabled(false);
    view_.SetLoginButtonCaption(kLoggedInCaption);
    view_.SetCredentialsEnabled(false);
    return LoginEnd::LoggedIn;
}

void RouterControl::LoginByPoll() {
    // Off while the login runs. A login that got no answer or a short page is tried again by
    // the next tick, so polling recovers by itself; a refusal stops it until the user logs in.
    view_.SetPollTimerEnabled(false);
    LoginEnd end = LoginEnd::NoAnswer;
    try {
        end = LogIn(true);
    } catch (...) {
        view_.SetPollTimerEnabled(true);
        ShowLoginCaption();
        throw;
    }
    if (end == LoginEnd::NoAnswer) {
        view_.SetPollTimerEnabled(true);
        ShowLoginCaption();
    } else if (end == LoginEnd::Refused) {
        // No longer logged in: the button and the credentials are the way back.
        loggedIn_ = false;
        view_.SetLoginButtonEnabled(true);
        view_.SetCredentialsEnabled(true);
    }
}

void RouterControl::Poll() {
    const bool mayPoll =
        view_.AutoLogin() || (loggedIn_ && !view_.UserName().empty() && !view_.Password().empty());
    if (!mayPoll) return;

    const unsigned madeBefore = requestsMade_;
    const PageAnswer status = Fetch(StatusUrl(view_.RouterAddress()));
    // A command ran while this poll waited: the command's box has told what the router said,
    // and the time the poll waited was partly the command's.
    if (requestsMade_ != madeBefore + 1) return;
    if (!status.answered) {
        if (!status.givenUp) NoAnswer(true);  // given up: the next tick polls again
        return;
    }
    if (Refused(status) && view_.BoxOpen()) return;  // its login may need a box: a later tick
    view_.SetLoginButtonCaption(kLoggingInCaption);
    if (Refused(status)) {
        LoginByPoll();
        return;
    }
    try {
        ReadStatusInto(status.text);
    } catch (...) {
        ShowLoginCaption();
        throw;
    }
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
    if (ticksRunning_ > 0 || requestsUnderWay_ > 0 || view_.Ending()) return;
    const CountedScope running(ticksRunning_);
    try {
        Poll();
    } catch (const std::exception& error) {
        // Not over another box: the next tick meets the same page and tells then.
        if (!view_.BoxOpen() && !view_.Ending()) reportError(error);
    }
}

PageAnswer RouterControl::Fetch(const PageUrl& url) {
    if (view_.Ending()) {
        PageAnswer none;
        none.givenUp = true;
        return none;
    }
    ++requestsMade_;
    const CountedScope underWay(requestsUnderWay_);
    PageAnswer answer = fetcher_.FetchPage(url);
    if (answer.answered && !Refused(answer)) outage_ = false;
    return answer;
}

void RouterControl::NoAnswer(bool byPoll) {
    if (!byPoll) {
        ShowNoAnswer();  // a command always answers with its box
        return;
    }
    // One notice per outage, and none over another box: then a later silent poll tells.
    if (outage_ || view_.BoxOpen()) return;
    outage_ = true;
    ShowNoAnswer();
}

void RouterControl::ShowLoginCaption() {
    view_.SetLoginButtonCaption(loggedIn_ ? kLoggedInCaption : kLoginCaption);
}

void RouterControl::ShowNoAnswer() { Tell(kNoAnswerText, kNoticeCaption, MessageIcon::Warning); }

void RouterControl::Tell(const char* text, const char* caption, MessageIcon icon) {
    if (!view_.Ending()) view_.ShowMessage(text, caption, icon);
}

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
    Fetch(DisconnectUrl(view_.RouterAddress()));  // its answer, or none, is not judged
}

void RouterControl::Command(const PageUrl& url) {
    const PageAnswer answer = Fetch(url);
    if (answer.givenUp) return;
    if (!answer.answered) {
        ShowNoAnswer();
    } else if (Refused(answer)) {
        Tell(kNotLoggedInText, kNoticeCaption, MessageIcon::Warning);
    } else {
        Tell(kSuccessText, kNoticeCaption, MessageIcon::Information);
    }
}
