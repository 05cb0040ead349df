#include "RouterControl.h"

#include "Concat.h"
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

// A poll that finds the pages or the gateway silent searches again at most this often: a
// search waits about 2 s.
constexpr std::uint64_t kSearchEvery = 60000;
constexpr int kFirstHttpError = 400;

// An HTTP error that is not the pages' refusal: no page of the router's family is there.
bool PageMissing(const PageAnswer& answer) {
    return answer.answered && answer.status >= kFirstHttpError && !Refused(answer);
}

}  // namespace

RouterControl::RouterControl(RouterView& view, PageFetcher& fetcher, UpnpTransport& upnp, Clock& clock)
    : view_(view), fetcher_(fetcher), clock_(clock), upnp_(*this, upnp), session_(upnp_) {}

bool RouterControl::ByUpnp() const {
    const RouterWay pinned = view_.PinnedWay();
    return pinned == RouterWay::Upnp || (pinned == RouterWay::Automatic && upnpChosen_);
}

void RouterControl::Login() {
    ++commandsRun_;
    if (ByUpnp()) {
        LoginByUpnp();
    } else {
        LogIn(false);
    }
}

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
        if (login.givenUp) return LoginEnd::NoAnswer;
        const UpnpEnd instead = byPoll ? UpnpEnd::Silent : GatewayInstead(false);
        if (instead == UpnpEnd::Done) return LoginEnd::LoggedIn;
        if (instead == UpnpEnd::Silent) NoAnswer(byPoll);
        return LoginEnd::NoAnswer;
    }
    if (Refused(login)) {
        Tell(kWrongLoginText, kWrongLoginCaption, MessageIcon::Warning);
        return LoginEnd::Refused;
    }
    // Neither is an error page: the credentials went to the pages only, and the gateway
    // found instead is never sent them.
    const bool searched = !byPoll && PageMissing(login);
    if (searched && GatewayInstead(false) == UpnpEnd::Done) return LoginEnd::LoggedIn;
    // The status page that follows a login is not tested for a refusal. Without an answer, or
    // short, the login is abandoned there.
    const PageAnswer status = Fetch(StatusUrl(view_.RouterAddress()));
    if (overtaken(2) || !status.answered) {
        view_.SetLoginButtonCaption(previousCaption);
        if (!overtaken(2) && !status.givenUp) NoAnswer(byPoll);
        return LoginEnd::NoAnswer;
    }
    // One search a login: a gateway that did not answer it is not searched for again.
    if (!byPoll && !searched && PageMissing(status) && GatewayInstead(false) == UpnpEnd::Done)
        return LoginEnd::LoggedIn;
    try {
        ReadStatusInto(status.text);
    } catch (...) {
        view_.SetLoginButtonCaption(previousCaption);
        throw;
    }
    pagesThere_ = true;
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
    if (ByUpnp()) {
        PollByUpnp();
        return;
    }
    const bool mayPoll =
        view_.AutoLogin() || (loggedIn_ && !view_.UserName().empty() && !view_.Password().empty());
    if (!mayPoll) return;

    const unsigned madeBefore = requestsMade_;
    const PageAnswer status = Fetch(StatusUrl(view_.RouterAddress()));
    // A command ran while this poll waited: the command's box has told what the router said,
    // and the time the poll waited was partly the command's.
    if (requestsMade_ != madeBefore + 1) return;
    if (status.givenUp) return;  // the next tick polls again
    if (!status.answered || PageMissing(status)) {
        const unsigned commandsBefore = commandsRun_;
        const UpnpEnd instead = GatewayInstead(true);
        if (commandsRun_ != commandsBefore || instead == UpnpEnd::GivenUp) return;
        if (instead == UpnpEnd::Done) {
            PollByUpnp();
            return;
        }
    }
    if (!status.answered) {
        Observe(std::nullopt);
        NoAnswer(true);
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
    pagesThere_ = true;
    loggedIn_ = true;
    view_.SetLoginButtonEnabled(false);
    view_.SetLoginButtonCaption(kLoggedInCaption);
    const bool connected = IsConnected(publicIp_);
    ShowLinkState(connected);
    Observe(LinkState{connected, publicIp_, OnlineTimeSeconds(onlineTime_)});
    TimedChangeIfDue();
}

void RouterControl::Disconnect() { Command(true); }

void RouterControl::Connect() { Command(false); }

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

void RouterControl::ShowLinkState(bool connected) {
    if (connected) {
        view_.SetWanCaption(kConnectedCaption);
        view_.SetTrayHint(Concat({kHintTitle, kHintPublicIp, publicIp_, kHintOnlineTime, onlineTime_}));
    } else {
        view_.SetWanCaption(kNotConnectedCaption);
        view_.SetTrayHint(Concat({kHintTitle, kHintNotConnected}));
    }
}

void RouterControl::TimedChangeIfDue() {
    if (!view_.TimedChange()) return;
    const double now = clock_.Now();
    const double minutes = IntervalMinutes(view_.IntervalText());
    if (now < lastIpChange_ + minutes / kMinutesPerDay) return;
    lastIpChange_ = now;
    // No box, whatever the answer: the change runs unattended. Only its watch tells.
    if (ByUpnp()) {
        if (session_.ForceTermination().end == UpnpEnd::Done) WatchChange(RouterWay::Upnp);
        return;
    }
    const PageAnswer answer = Fetch(DisconnectUrl(view_.RouterAddress()));
    if (answer.answered && !Refused(answer)) WatchChange(RouterWay::Web);
}

void RouterControl::Command(bool disconnect) {
    ++commandsRun_;
    if (ByUpnp()) {
        UpnpCommand(disconnect);
        return;
    }
    const std::string address = view_.RouterAddress();
    const PageAnswer answer = Fetch(disconnect ? DisconnectUrl(address) : ConnectUrl(address));
    if (answer.givenUp) return;
    if (!answer.answered) {
        ShowNoAnswer();
    } else if (Refused(answer)) {
        Tell(kNotLoggedInText, kNoticeCaption, MessageIcon::Warning);
    } else {
        // Before the box: the polls go on while it is open, and they see the change.
        if (disconnect) WatchChange(RouterWay::Web);
        Tell(kSuccessText, kNoticeCaption, MessageIcon::Information);
    }
}

UpnpEnd RouterControl::GatewayInstead(bool byPoll) {
    if (view_.PinnedWay() != RouterWay::Automatic || upnpChosen_ || pagesThere_) return UpnpEnd::Silent;
    const std::uint64_t now = clock_.Milliseconds();
    if (byPoll && lastSearch_ && now - *lastSearch_ < kSearchEvery) return UpnpEnd::Silent;
    lastSearch_ = now;
    const UpnpEnd found = session_.Find(view_.RouterAddress());
    if (found == UpnpEnd::Done) {
        upnpChosen_ = true;
        ShowUpnpLoggedIn(!byPoll);
    }
    return found;
}

void RouterControl::ShowUpnpLoggedIn(bool byLogin) {
    loggedIn_ = true;
    if (byLogin) view_.SetPollTimerEnabled(true);
    view_.SetLoginButtonEnabled(false);
    view_.SetLoginButtonCaption(kLoggedInCaption);
    if (byLogin) view_.SetCredentialsEnabled(false);
    view_.ShowUpnpMark(true);
}

void RouterControl::LoginByUpnp() {
    const std::string previousCaption = view_.LoginButtonCaption();
    view_.SetLoginButtonCaption(kLoginCaption);
    if (FindGateway(true)) {
        ShowUpnpLoggedIn(true);
    } else {
        view_.SetLoginButtonCaption(previousCaption);
    }
}

bool RouterControl::FindGateway(bool byCommand) {
    lastSearch_ = clock_.Milliseconds();
    const UpnpEnd found = session_.Find(view_.RouterAddress());
    if (found == UpnpEnd::Silent) NoAnswer(!byCommand);
    return found == UpnpEnd::Done;
}

void RouterControl::PollByUpnp() {
    if (!view_.AutoLogin() && !loggedIn_) return;
    const unsigned commandsBefore = commandsRun_;
    if (!session_.Found()) {
        if (lastSearch_ && clock_.Milliseconds() - *lastSearch_ < kSearchEvery) return;
        const bool found = FindGateway(false);
        if (!found || commandsRun_ != commandsBefore) return;
        ShowUpnpLoggedIn(false);
    }
    UpnpStatus status;
    const UpnpReply reply = session_.Status(status);
    if (commandsRun_ != commandsBefore || reply.end == UpnpEnd::GivenUp) return;
    if (reply.end != UpnpEnd::Done) {
        Observe(std::nullopt);
        NoAnswer(true);
        return;
    }
    publicIp_ = status.address;
    onlineTime_ = status.uptimeSeconds ? UptimeText(*status.uptimeSeconds) : std::string();
    // UPnP tells no MAC, mask, gateway or DNS: those stay empty.
    for (const WanFieldLine& line : kWanFieldLines) {
        const WanField field = line.field;
        view_.ShowWanField(field, field == WanField::PublicIp     ? publicIp_
                                  : field == WanField::OnlineTime ? onlineTime_
                                                                  : std::string());
    }
    const bool connected = UpnpConnected(status.connectionStatus, status.address);
    ShowLinkState(connected);
    Observe(LinkState{connected, status.address, status.uptimeSeconds});
    TimedChangeIfDue();
}

void RouterControl::UpnpCommand(bool disconnect) {
    if (!session_.Found() && !FindGateway(true)) return;
    const UpnpReply reply = disconnect ? session_.ForceTermination() : session_.RequestConnection();
    switch (reply.end) {
    case UpnpEnd::GivenUp: return;
    case UpnpEnd::Silent: ShowNoAnswer(); return;
    case UpnpEnd::Fault:
        Tell(SoapFaultText(reply.faultCode).c_str(), kNoticeCaption, MessageIcon::Warning);
        return;
    case UpnpEnd::Done: break;
    }
    if (disconnect) WatchChange(RouterWay::Upnp);
    Tell(kSuccessText, kNoticeCaption, MessageIcon::Information);
}

void RouterControl::WatchChange(RouterWay way) {
    changeAskedAt_ = clock_.Now();
    changeWay_ = way;
    watch_.Start(publicIp_, clock_.Milliseconds());
}

void RouterControl::Observe(const std::optional<LinkState>& link) {
    const std::uint64_t now = clock_.Milliseconds();
    if (const std::optional<ChangeResult> result = watch_.Observe(link, now)) {
        const ChangeBalloon balloon = ChangeBalloonOf(*result);
        view_.ShowBalloon(balloon.title, balloon.text);
        view_.RecordChange({changeAskedAt_, changeWay_, *result});
    } else if (changeWay_ == RouterWay::Upnp && watch_.RedialDue(now)) {
        session_.RequestConnection();  // once, and whatever it answers: no box
    }
}

template <typename Call>
PageAnswer RouterControl::CountedUpnp::Counted(Call call) {
    if (control_.view_.Ending()) {
        PageAnswer none;
        none.givenUp = true;
        return none;
    }
    ++control_.requestsMade_;
    const CountedScope underWay(control_.requestsUnderWay_);
    PageAnswer answer = call();
    // A fault ends no outage: a poll meets it as no status.
    if (answer.answered && answer.status == 200) control_.outage_ = false;
    return answer;
}

SsdpSearch RouterControl::CountedUpnp::SearchGateways(const std::string& gatewayAddress) {
    SsdpSearch search;
    search.givenUp = true;
    if (control_.view_.Ending()) return search;
    ++control_.requestsMade_;
    const CountedScope underWay(control_.requestsUnderWay_);
    return transport_.SearchGateways(gatewayAddress);
}

PageAnswer RouterControl::CountedUpnp::GetDescription(const HttpUrl& url) {
    return Counted([&] { return transport_.GetDescription(url); });
}

PageAnswer RouterControl::CountedUpnp::PostSoap(const HttpUrl& controlUrl, const SoapRequest& request) {
    return Counted([&] { return transport_.PostSoap(controlUrl, request); });
}
