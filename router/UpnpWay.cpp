#include "UpnpWay.h"

#include "DayTime.h"
#include "RouterControl.h"
#include "RouterTexts.h"
#include "UpnpMessages.h"
#include "WanAddress.h"

#include "Concat.h"
#include "IntegerText.h"

namespace {

constexpr int kSilentPollsBeforeSearch = 3;
constexpr std::uint64_t kSearchAgainEvery = 10000;
constexpr std::uint64_t kAddressEvery = 30000;

const char kUpnpWayLine[] = "通过UPnP连接路由器";
const char kNoReplyInTime[] = "超时未回答";

// The status or the uptime tells that the link went down or was made anew since the last poll.
bool LinkChanged(const UpnpStatus& before, const UpnpStatus& now) {
    return now.connectionStatus != before.connectionStatus ||
           now.uptimeSeconds.has_value() != before.uptimeSeconds.has_value() ||
           (now.uptimeSeconds && *now.uptimeSeconds < *before.uptimeSeconds);
}

}  // namespace

void UpnpWay::Login() {
    RouterView& view = control_.view_;
    const std::string previousCaption = view.LoginButtonCaption();
    view.SetLoginButtonCaption(kLoginCaption);
    if (FindGateway(true)) {
        ShowLoggedIn(true);
    } else {
        view.SetLoginButtonCaption(previousCaption);
    }
}

void UpnpWay::ShowLoggedIn(bool byLogin) {
    RouterView& view = control_.view_;
    control_.loggedIn_ = true;
    if (byLogin) view.SetPollTimerEnabled(true);
    view.SetLoginButtonEnabled(false);
    view.SetLoginButtonCaption(kLoggedInCaption);
    if (byLogin) view.SetCredentialsEnabled(false);
    shown_ = true;
    control_.ShowStrip();
}

// A gateway found at another host than the gateway address (a second router, a mesh node) is
// named: it may not be the one that dials.
std::string UpnpWay::WayLine() const {
    if (!shown_) return {};
    const std::string& host = session_.ForeignHost();
    return host.empty() ? std::string(kUpnpWayLine) : Concat({kUpnpWayLine, "（", host, "）"});
}

void UpnpWay::Lost() {
    session_.Forget();
    lost_ = true;
    silentPolls_ = 0;
    addressReadAt_.reset();
}

bool UpnpWay::FindGateway(bool byCommand) {
    control_.lastSearch_ = control_.clock_.Milliseconds();
    const UpnpEnd found = session_.Find(control_.view_.RouterAddress());
    if (found == UpnpEnd::Silent) control_.NoAnswer(!byCommand);
    return found == UpnpEnd::Done;
}

StatusRead UpnpWay::ReadStatus() {
    StatusRead read;
    if (!control_.view_.AutoLogin() && !control_.loggedIn_) return read;
    const unsigned commandsBefore = control_.commandsRun_;
    if (!session_.Found()) {
        // While a lost service is searched for, each poll without it is a silent one: the
        // outage has its notice and a change watch goes on to its end.
        const StatusRead notFound{lost_ ? PollEnd::Silent : PollEnd::Quiet, {}};
        const std::optional<std::uint64_t>& lastSearch = control_.lastSearch_;
        const std::uint64_t every = lost_ ? kSearchAgainEvery : RouterControl::kSearchEvery;
        if (lastSearch && control_.clock_.Milliseconds() - *lastSearch < every) return notFound;
        const bool found = FindGateway(false);
        if (control_.commandsRun_ != commandsBefore) return read;
        if (!found) return notFound;
        lost_ = false;
        ShowLoggedIn(false);
    }
    // One request a poll as a rule: the address is asked for again only when the status or the
    // uptime says the link changed, during a change watch, and every 30 s.
    UpnpStatus status = status_;
    UpnpReply reply = session_.StatusInfo(status);
    if (control_.commandsRun_ != commandsBefore || reply.end == UpnpEnd::GivenUp) return read;
    const std::uint64_t now = control_.clock_.Milliseconds();
    if (reply.end == UpnpEnd::Done &&
        (!addressReadAt_ || LinkChanged(status_, status) || control_.watch_.Watching() ||
         now - *addressReadAt_ >= kAddressEvery)) {
        reply = session_.ExternalAddress(status);
        if (control_.commandsRun_ != commandsBefore || reply.end == UpnpEnd::GivenUp) return read;
        if (reply.end == UpnpEnd::Done) addressReadAt_ = now;
    }
    if (reply.end != UpnpEnd::Done) {
        // A service that answers with a fault is still there.
        if (reply.end == UpnpEnd::Silent &&
            (++silentPolls_ >= kSilentPollsBeforeSearch || control_.watch_.Watching()))
            Lost();
        read.end = PollEnd::Silent;
        return read;
    }
    silentPolls_ = 0;
    status_ = status;
    control_.publicIp_ = status.address;
    control_.onlineTime_ = status.uptimeSeconds ? UptimeText(*status.uptimeSeconds) : std::string();
    // UPnP tells no MAC, mask, gateway or DNS: those stay empty.
    for (const WanFieldLine& line : kWanFieldLines) {
        const WanField field = line.field;
        control_.view_.ShowWanField(field, field == WanField::PublicIp     ? control_.publicIp_
                                           : field == WanField::OnlineTime ? control_.onlineTime_
                                                                           : std::string());
    }
    read.end = PollEnd::Read;
    // Behind the provider's modem the gateway is "Connected" with no public address to give.
    const std::string address =
        ScopeOf(status.address) == AddressScope::None ? std::string() : status.address;
    read.link = LinkState{status.connectionStatus == "Connected", address, status.uptimeSeconds};
    return read;
}

CommandAnswer UpnpWay::Command(bool disconnect) {
    if (!session_.Found() && !FindGateway(true)) return {};
    const CommandAnswer answer = Send(disconnect);
    if (answer.taken == CommandTaken::No && !answer.why.empty())
        control_.Tell(answer.why.c_str(), kNoticeCaption, MessageIcon::Warning);
    return answer;
}

CommandAnswer UpnpWay::TimedDisconnect() {
    if (!session_.Found()) return {CommandTaken::No, kNoAnswerText};
    return Send(true);
}

// A router that restarted serves on another port: a command that meets silence has the
// service searched for again. Found elsewhere, it gets the command once more; found where it
// was, it was only slow (a teardown under way) and is not asked twice; not found, it is gone.
CommandAnswer UpnpWay::Send(bool disconnect) {
    const auto send = [&] { return disconnect ? session_.ForceTermination() : session_.RequestConnection(); };
    const UpnpReply reply = send();
    if (reply.end != UpnpEnd::Silent) return Taken(reply, disconnect);
    const std::string place = session_.ControlPlace();
    control_.lastSearch_ = control_.clock_.Milliseconds();
    const UpnpEnd found = session_.Find(control_.view_.RouterAddress());
    if (found == UpnpEnd::GivenUp) return {};
    if (found != UpnpEnd::Done) {
        Lost();
        return {CommandTaken::No, kNoAnswerText};
    }
    if (session_.ControlPlace() == place) return Taken(reply, disconnect);
    silentPolls_ = 0;
    addressReadAt_.reset();
    return Taken(send(), disconnect);
}

// A teardown goes on whatever some stacks answer: a disconnect in progress (707), the link
// already down (711), an error without detail, or nothing before the deadline (a PPPoE
// teardown can take longer). Only the link tells how it went.
CommandAnswer UpnpWay::Taken(const UpnpReply& reply, bool disconnect) {
    switch (reply.end) {
    case UpnpEnd::GivenUp: return {};
    case UpnpEnd::Done: return {CommandTaken::Yes, {}};
    case UpnpEnd::Silent:
        if (disconnect) return {CommandTaken::Unclear, kNoReplyInTime};
        return {CommandTaken::No, kNoAnswerText};
    case UpnpEnd::Fault: break;
    }
    if (disconnect && (reply.faultCode == 707 || reply.faultCode == 711))
        return {CommandTaken::Unclear, Concat({"UPnP 错误 ", DecimalText(reply.faultCode)})};
    if (disconnect && reply.faultCode == 0 && reply.httpStatus == 500)
        return {CommandTaken::Unclear, "HTTP 500"};
    return {CommandTaken::No, FaultText(reply)};
}

// Once, and whatever it answers: no box.
void UpnpWay::Redial() { session_.RequestConnection(); }
