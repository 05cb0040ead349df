#include "PagesWay.h"

#include "PageText.h"
#include "RouterControl.h"
#include "RouterTexts.h"

namespace {

const char kWrongLoginText[] =
    "默认用户名为：admin 默认密码为：lumko\r\n(路由器背面有)\r\n请确认是否更改过用户名密码。";
const char kWrongLoginCaption[] = "用户名或密码不正确";
const char kNotLoggedInText[] = "未登录!";

constexpr int kFirstHttpError = 400;

// An HTTP error that is not the pages' refusal: no page of the router's family is there.
bool PageMissing(const PageAnswer& answer) {
    return answer.answered && answer.status >= kFirstHttpError && !Refused(answer);
}

}  // namespace

void PagesWay::Login() { LogIn(false); }

PagesWay::LoginEnd PagesWay::LogIn(bool byPoll) {
    RouterView& view = control_.view_;
    // A login that does not fully succeed changes nothing: its caption goes back as well.
    const std::string previousCaption = view.LoginButtonCaption();
    view.SetLoginButtonCaption(kLoginCaption);
    // For the poll's login, as for the poll: a command that ran while it waited has told the
    // user what the router said; the next tick tries again.
    const unsigned madeBefore = control_.requestsMade_;
    const auto overtaken = [&](unsigned own) { return byPoll && control_.requestsMade_ != madeBefore + own; };
    const PageAnswer login = control_.Fetch(LoginUrl(view.UserName(), view.Password(), view.RouterAddress()));
    if (overtaken(1)) {
        view.SetLoginButtonCaption(previousCaption);
        return LoginEnd::NoAnswer;
    }
    if (!login.answered) {
        // Silence is neither a yes nor a no: the window stays as it was.
        view.SetLoginButtonCaption(previousCaption);
        if (login.givenUp) return LoginEnd::NoAnswer;
        const UpnpEnd instead = byPoll ? UpnpEnd::Silent : control_.GatewayInstead(false);
        if (instead == UpnpEnd::Done) return LoginEnd::LoggedIn;
        if (instead == UpnpEnd::Silent) control_.NoAnswer(byPoll);
        return LoginEnd::NoAnswer;
    }
    if (Refused(login)) {
        control_.Tell(kWrongLoginText, kWrongLoginCaption, MessageIcon::Warning);
        return LoginEnd::Refused;
    }
    // Neither is an error page: the credentials went to the pages only, and the gateway
    // found instead is never sent them.
    const bool searched = !byPoll && PageMissing(login);
    if (searched && control_.GatewayInstead(false) == UpnpEnd::Done) return LoginEnd::LoggedIn;
    // The status page that follows a login is not tested for a refusal. Without an answer, or
    // short, the login is abandoned there.
    const PageAnswer status = control_.Fetch(StatusUrl(view.RouterAddress()));
    if (overtaken(2) || !status.answered) {
        view.SetLoginButtonCaption(previousCaption);
        if (!overtaken(2) && !status.givenUp) control_.NoAnswer(byPoll);
        return LoginEnd::NoAnswer;
    }
    // One search a login: a gateway that did not answer it is not searched for again.
    if (!byPoll && !searched && PageMissing(status) && control_.GatewayInstead(false) == UpnpEnd::Done)
        return LoginEnd::LoggedIn;
    try {
        ReadStatusInto(status.text);
    } catch (...) {
        view.SetLoginButtonCaption(previousCaption);
        throw;
    }
    control_.pagesThere_ = true;
    control_.loggedIn_ = true;
    view.SetPollTimerEnabled(true);
    view.SetLoginButtonEnabled(false);
    view.SetLoginButtonCaption(kLoggedInCaption);
    view.SetCredentialsEnabled(false);
    return LoginEnd::LoggedIn;
}

void PagesWay::LoginByPoll() {
    RouterView& view = control_.view_;
    // Off while the login runs. A login that got no answer or a short page is tried again by
    // the next tick, so polling recovers by itself; a refusal stops it until the user logs in.
    view.SetPollTimerEnabled(false);
    LoginEnd end = LoginEnd::NoAnswer;
    try {
        end = LogIn(true);
    } catch (...) {
        view.SetPollTimerEnabled(true);
        control_.ShowLoginCaption();
        throw;
    }
    if (end == LoginEnd::NoAnswer) {
        view.SetPollTimerEnabled(true);
        control_.ShowLoginCaption();
    } else if (end == LoginEnd::Refused) {
        // No longer logged in: the button and the credentials are the way back.
        control_.loggedIn_ = false;
        view.SetLoginButtonEnabled(true);
        view.SetCredentialsEnabled(true);
    }
}

StatusRead PagesWay::ReadStatus() {
    RouterView& view = control_.view_;
    StatusRead read;
    const bool mayPoll =
        view.AutoLogin() || (control_.loggedIn_ && !view.UserName().empty() && !view.Password().empty());
    if (!mayPoll) return read;

    const unsigned madeBefore = control_.requestsMade_;
    const PageAnswer status = control_.Fetch(StatusUrl(view.RouterAddress()));
    // A command ran while this poll waited: the command's box has told what the router said,
    // and the time the poll waited was partly the command's.
    if (control_.requestsMade_ != madeBefore + 1) return read;
    if (status.givenUp) return read;  // the next tick polls again
    if (!status.answered || PageMissing(status)) {
        const unsigned commandsBefore = control_.commandsRun_;
        const UpnpEnd instead = control_.GatewayInstead(true);
        if (control_.commandsRun_ != commandsBefore || instead == UpnpEnd::GivenUp) return read;
        if (instead == UpnpEnd::Done) {
            read.end = PollEnd::WayChosen;
            return read;
        }
    }
    if (!status.answered) {
        read.end = PollEnd::Silent;
        return read;
    }
    if (Refused(status) && view.BoxOpen()) return read;  // its login may need a box: a later tick
    view.SetLoginButtonCaption(kLoggingInCaption);
    if (Refused(status)) {
        LoginByPoll();
        return read;
    }
    try {
        ReadStatusInto(status.text);
    } catch (...) {
        control_.ShowLoginCaption();
        throw;
    }
    control_.pagesThere_ = true;
    control_.loggedIn_ = true;
    view.SetLoginButtonEnabled(false);
    view.SetLoginButtonCaption(kLoggedInCaption);
    const std::string& address = control_.publicIp_;
    read.end = PollEnd::Read;
    read.link = LinkState{IsConnected(address), address, OnlineTimeSeconds(control_.onlineTime_)};
    return read;
}

void PagesWay::ReadStatusInto(const std::string& page) {
    ReadWanStatus(SplitLines(page), [this](WanField field, const std::string& text) {
        if (field == WanField::PublicIp) control_.publicIp_ = text;
        if (field == WanField::OnlineTime) control_.onlineTime_ = text;
        control_.view_.ShowWanField(field, text);
    });
}

CommandAnswer PagesWay::Command(bool disconnect) {
    const std::string address = control_.view_.RouterAddress();
    const PageAnswer answer = control_.Fetch(disconnect ? DisconnectUrl(address) : ConnectUrl(address));
    const CommandAnswer taken = Taken(answer);
    if (taken.taken == CommandTaken::No && !taken.why.empty())
        control_.Tell(taken.why.c_str(), kNoticeCaption, MessageIcon::Warning);
    return taken;
}

CommandAnswer PagesWay::TimedDisconnect() {
    return Taken(control_.Fetch(DisconnectUrl(control_.view_.RouterAddress())));
}

CommandAnswer PagesWay::Taken(const PageAnswer& answer) {
    if (answer.givenUp) return {};
    if (!answer.answered) return {CommandTaken::No, kNoAnswerText};
    if (Refused(answer)) return {CommandTaken::No, kNotLoggedInText};
    return {CommandTaken::Yes, {}};
}
