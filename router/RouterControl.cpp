#include "RouterControl.h"

#include "Concat.h"
#include "CountedScope.h"
#include "EchoAnswer.h"
#include "IntegerText.h"
#include "PageText.h"
#include "RouterTexts.h"
#include "WanAddress.h"

namespace {

const char kSuccessText[] = "成功!";
const char kUnclearText[] = "已发出断线命令，路由器的回答不明确（";
const char kUnclearAfter[] = "），正在观察它是否断线。";
const char kChangingText[] = "正在更换IP……";
// Connected, but with no public address: the provider's modem, or the provider, holds it
// ("公网地址" before it, with the address the world sees when it is known).
const char kUpstreamAfter[] = "在上级设备（如光猫）上，在此断线重拨不会更换它。";
// The router's address is shared (100.64/10), or public but not the one the world sees: the
// provider's carrier-grade NAT.
const char kSharedText[] = "运营商共享公网地址（CGNAT）";

const char kConnectedCaption[] = "WAN口状态(已连上互联网)";
const char kNotConnectedCaption[] = "WAN口状态(未连网)";
// The tray tip breaks its lines with a lone CR, and with LF then CR when offline.
const char kHintTitle[] = "Pelorin";
const char kHintPublicIp[] = "\r公网IP：";
const char kHintOnlineTime[] = "\r上网时间：";
const char kHintNotConnected[] = "\n\r未联网";

}  // namespace

RouterControl::RouterControl(RouterView& view, PageFetcher& fetcher, UpnpTransport& upnp, Clock& clock,
                             EchoFetcher* echo, DialupLine* dialup)
    : view_(view),
      fetcher_(fetcher),
      clock_(clock),
      echo_(echo),
      countedUpnp_(*this, upnp),
      pages_(*this),
      upnp_(*this, countedUpnp_),
      dialup_(*this, dialup) {}

bool RouterControl::ByUpnp() const {
    const RouterWay pinned = view_.PinnedWay();
    return pinned == RouterWay::Upnp || (pinned == RouterWay::Automatic && upnpChosen_);
}

RouterAccess& RouterControl::Way() {
    const RouterWay pinned = view_.PinnedWay();
    if (pinned == RouterWay::Dialup || (pinned == RouterWay::Automatic && dialupChosen_)) return dialup_;
    if (ByUpnp()) return upnp_;
    return pages_;
}

// A dial-up connection that is up holds the public address itself: it is the way for the rest
// of the run, until the router's pages or a gateway have been found.
void RouterControl::ChooseDialupIfOnline() {
    if (view_.PinnedWay() != RouterWay::Automatic || dialupChosen_ || upnpChosen_ || pagesThere_) return;
    dialupChosen_ = dialup_.Online();
}

void RouterControl::Login() {
    ++commandsRun_;
    outside_.AskSoon();
    ChooseDialupIfOnline();
    Way().Login();
}

void RouterControl::Poll() {
    ChooseDialupIfOnline();
    StatusRead read = Way().ReadStatus();
    if (read.end == PollEnd::WayChosen) read = Way().ReadStatus();
    switch (read.end) {
    case PollEnd::Quiet:
    case PollEnd::WayChosen: return;
    case PollEnd::Silent:
        Observe(std::nullopt);
        NoAnswer(true);
        return;
    case PollEnd::Read: break;
    }
    ShowLinkState(read.link.connected);
    lastUptime_ = read.link.uptimeSeconds;
    // An address the router got by itself (its provider's lease, a redial of its own) may be
    // a new one for the world too.
    if (link_ && link_->publicAddress != read.link.publicAddress && !watch_.Watching() && !held_)
        outside_.AskSoon();
    link_ = read.link;
    ShowUpstream();
    Observe(read.link);
    TimedChangeIfDue();
}

void RouterControl::Disconnect() { Command(true); }

void RouterControl::Connect() { Command(false); }

void RouterControl::Command(bool disconnect) {
    ++commandsRun_;
    RouterAccess& way = Way();
    const CommandAnswer answer = way.Command(disconnect);
    if (answer.taken == CommandTaken::No) return;
    // Before the box: the polls go on while it is open, and they see the change.
    if (disconnect) WatchChange(way);
    if (answer.taken == CommandTaken::Later) return;
    if (answer.taken == CommandTaken::Unclear) {
        Tell(Concat({kUnclearText, answer.why, kUnclearAfter}).c_str(), kNoticeCaption,
             MessageIcon::Information);
    } else {
        Tell(kSuccessText, kNoticeCaption, MessageIcon::Information);
    }
}

void RouterControl::TimedChangeSwitched(bool nowChecked) {
    if (nowChecked) lastIpChange_ = clock_.Now();
}

void RouterControl::Tick(const std::function<void(const std::exception&)>& reportError) {
    if (ticksRunning_ > 0 || requestsUnderWay_ > 0 || view_.Ending()) return;
    {
        const CountedScope running(ticksRunning_);
        try {
            Poll();
        } catch (const std::exception& error) {
            // Not over another box: the next tick meets the same page and tells then.
            if (!view_.BoxOpen() && !view_.Ending()) reportError(error);
        }
    }
    CheckOutsideIfDue();
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
    // No box, whatever the answer: the change runs unattended. Its watch tells, or a balloon
    // once for each kind of failure in a run, and a line in the history every time.
    RouterAccess& way = Way();
    const CommandAnswer answer = way.TimedDisconnect();
    if (answer.taken != CommandTaken::No) {
        WatchChange(way);
        return;
    }
    if (answer.why.empty()) return;  // given up: the program is ending
    view_.RecordChange({now, way.Kind(), {ChangeOutcome::Refused, publicIp_, {}, 0}});
    ShowOutcome(kTimedChangeFailedTitle, answer.why);
    BalloonOnce(kTimedChangeFailedTitle, answer.why);
}

void RouterControl::BalloonOnce(const char* title, const std::string& why) {
    for (const std::string& told : timedFailuresTold_)
        if (told == why) return;
    timedFailuresTold_.push_back(why);
    view_.ShowBalloon(title, why);
}

void RouterControl::DialFailed(const std::string& why, const char* unattendedTitle) {
    if (watch_.Watching() || held_) {
        const std::uint64_t took = watch_.Elapsed(clock_.Milliseconds());
        view_.RecordChange(
            {changeAskedAt_, RouterWay::Dialup, {ChangeOutcome::NotDialled, watch_.OldAddress(), {}, took}});
        watch_.Stop();
        held_.reset();
    }
    outcomeLine_ = why;  // it says what failed
    ShowStrip();
    if (unattendedTitle) {
        BalloonOnce(unattendedTitle, why);
    } else {
        Tell(why.c_str(), kNoticeCaption, MessageIcon::Warning);
    }
}

// Its first sentence: advice stays in the balloon, the strip has one line for it.
void RouterControl::ShowOutcome(const std::string& title, const std::string& text) {
    const std::size_t stop = text.find("。");
    outcomeLine_ = Concat({title, "：", stop == std::string::npos ? text : text.substr(0, stop + 2)});
    ShowStrip();
}

// The way's short line last, where the one line shows, beside the credit link; the longer
// lines above it have the window's width.
void RouterControl::ShowStrip() {
    std::string strip;
    for (const std::string& line : {outcomeLine_, upstreamLine_, Way().WayLine()}) {
        if (line.empty()) continue;
        if (!strip.empty()) strip += "\r\n";
        strip += line;
    }
    if (strip == strip_) return;
    strip_ = strip;
    view_.SetStripText(strip);
}

UpnpEnd RouterControl::GatewayInstead(bool byPoll) {
    if (view_.PinnedWay() != RouterWay::Automatic || upnpChosen_ || pagesThere_) return UpnpEnd::Silent;
    const std::uint64_t now = clock_.Milliseconds();
    if (byPoll && lastSearch_ && now - *lastSearch_ < kSearchEvery) return UpnpEnd::Silent;
    lastSearch_ = now;
    const UpnpEnd found = upnp_.Find(view_.RouterAddress());
    if (found == UpnpEnd::Done) {
        upnpChosen_ = true;
        upnp_.ShowLoggedIn(!byPoll);
    }
    return found;
}

void RouterControl::WatchChange(RouterAccess& way) {
    changeAskedAt_ = clock_.Now();
    changeWay_ = &way;
    watch_.Start(publicIp_, clock_.Milliseconds(), lastUptime_);
    ++changesAsked_;
    held_.reset();
    outsideBefore_ = outsideAddress_;
    prefixBefore_ = view_.Ipv6Prefix();
    outcomeLine_ = kChangingText;
    ShowStrip();
}

void RouterControl::Observe(const std::optional<LinkState>& link) {
    const std::uint64_t now = clock_.Milliseconds();
    if (std::optional<ChangeResult> result = watch_.Observe(link, now)) {
        const bool linkBack =
            result->outcome == ChangeOutcome::NewAddress || result->outcome == ChangeOutcome::SameAddress;
        // The world's address tells better than the router's: the check is asked as soon as
        // the poll is done.
        if (linkBack && echo_ && !view_.EchoServices().empty()) {
            held_ = std::move(result);
            return;
        }
        Conclude(std::move(*result));
    } else if (watch_.RedialDue(now)) {
        changeWay_->Redial();
    }
}

void RouterControl::CheckOutsideIfDue() {
    if (!echo_ || !loggedIn_ || checking_ > 0 || view_.Ending()) return;
    const std::vector<std::string>& services = view_.EchoServices();
    if (services.empty()) return;
    const std::uint64_t start = clock_.Milliseconds();
    // While the link is being redialled, a failure is the link's, not the service's.
    const bool changing = held_ || watch_.Watching();
    if (!held_ && !outside_.Due(start, changing && link_ && link_->connected)) return;
    const CountedScope checking(checking_);
    outside_.Began(start);
    const unsigned change = changesAsked_;
    std::optional<std::string> seen;
    for (std::size_t service = 0; service < services.size(); ++service) {
        if (outside_.Resting(service, start)) continue;
        // A change's outcome waits for the next service only when the last failed at once.
        if (held_ && clock_.Milliseconds() - start >= OutsideCheck::kConfirmWithin) break;
        const PageAnswer answer = echo_->FetchEcho(services[service]);
        // Given up for the program's sake, or a change asked for meanwhile: the address may be
        // the old one, and the change gets a check of its own.
        if (answer.givenUp || change != changesAsked_) return;
        if (answer.answered && answer.status == 200) seen = EchoedAddress(answer.text);
        if (seen) break;
        if (!changing) outside_.Failed(service, clock_.Milliseconds());
    }
    OutsideSeen(seen);
}

// A change is judged by the address the world sees when an echo service tells it, by the
// router's when none does: no answer is never "the same address".
void RouterControl::OutsideSeen(const std::optional<std::string>& address) {
    if (address) {
        outsideAddress_ = *address;
        outsideSeenWith_ = link_ ? link_->publicAddress : std::string();
    }
    ShowUpstream();
    if (!held_ && !watch_.Watching()) return;
    const bool judged = address && !outsideBefore_.empty();
    if (judged && *address != outsideBefore_) {
        // Seen anew before the router's link is back, or when it is.
        ChangeResult result = held_ ? std::move(*held_)
                                    : ChangeResult{ChangeOutcome::NewAddress, publicIp_, publicIp_,
                                                   watch_.Elapsed(clock_.Milliseconds())};
        watch_.Stop();
        result.outcome = ChangeOutcome::NewAddress;
        result.judgedBy = JudgedBy::Outside;
        Conclude(std::move(result));
    } else if (held_) {
        ChangeResult result = std::move(*held_);
        result.judgedBy = judged ? JudgedBy::Outside : JudgedBy::NoEcho;
        if (judged) result.outcome = ChangeOutcome::SameAddress;
        Conclude(std::move(result));
    }
}

void RouterControl::Conclude(ChangeResult result) {
    held_.reset();
    result.outsideOld = outsideBefore_;
    if (result.outcome == ChangeOutcome::NewAddress || result.outcome == ChangeOutcome::SameAddress)
        result.outsideNew = outsideAddress_;
    result.prefixOld = prefixBefore_;
    result.prefixNew = view_.Ipv6Prefix();
    const ChangeBalloon balloon = ChangeBalloonOf(result);
    view_.ShowBalloon(balloon.title, balloon.text);
    ShowOutcome(balloon.title, balloon.text);
    view_.RecordChange({changeAskedAt_, changeWay_->Kind(), std::move(result)});
}

// Where the address the world sees is held when it is not the router's, with that address
// once an echo service has told it. Never a box: it stands in the strip while it holds.
void RouterControl::ShowUpstream() {
    upstreamLine_.clear();
    if (link_ && link_->connected) {
        const std::string& router = link_->publicAddress;
        const AddressScope scope = ScopeOf(router);
        // Told only while the router has the address it had when the world's was seen.
        const bool seen = !outsideAddress_.empty() && outsideSeenWith_ == router;
        if (scope == AddressScope::Shared ||
            (scope == AddressScope::Public && seen && outsideAddress_ != router)) {
            // Short enough for the window's width.
            upstreamLine_ = seen ? Concat({kSharedText, "：外部所见 ", outsideAddress_, "，重拨后可能不变。"})
                                 : Concat({kSharedText, "，重拨后外部所见地址可能不变。"});
        } else if (scope != AddressScope::Public) {
            upstreamLine_ = seen ? Concat({"公网地址 ", outsideAddress_, " ", kUpstreamAfter})
                                 : Concat({"公网地址", kUpstreamAfter});
        }
    }
    ShowStrip();
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
