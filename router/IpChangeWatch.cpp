#include "IpChangeWatch.h"

#include "Concat.h"
#include "IntegerText.h"
#include "WanAddress.h"

#include <iterator>
#include <utility>

ChangeResult::ChangeResult() = default;
ChangeResult::ChangeResult(ChangeOutcome outcome, std::string oldAddress, std::string newAddress,
                           std::uint64_t milliseconds)
    : outcome(outcome),
      oldAddress(std::move(oldAddress)),
      newAddress(std::move(newAddress)),
      milliseconds(milliseconds) {}
ChangeResult::ChangeResult(const ChangeResult&) = default;
ChangeResult::ChangeResult(ChangeResult&&) noexcept = default;
ChangeResult& ChangeResult::operator=(ChangeResult&&) noexcept = default;
ChangeResult::~ChangeResult() = default;

void IpChangeWatch::Start(std::string oldAddress, std::uint64_t now,
                          std::optional<std::uint32_t> uptimeSeconds) {
    watching_ = true;
    uptimeAtStart_ = uptimeSeconds;
    downSeen_ = false;
    linkUp_ = true;
    redials_ = 0;
    oldAddress_ = std::move(oldAddress);
    start_ = now;
}

std::optional<ChangeResult> IpChangeWatch::Observe(const std::optional<LinkState>& link, std::uint64_t now) {
    if (!watching_) return std::nullopt;
    const std::uint64_t elapsed = now - start_;
    if (link) {
        // "Connected" with no address is a link: behind the provider's modem the router may
        // have no address it can tell.
        linkUp_ = link->connected;
        if (!linkUp_) downSeen_ = true;
        if (linkUp_ && !link->publicAddress.empty() && link->publicAddress != oldAddress_)
            return End(ChangeOutcome::NewAddress, link->publicAddress, now);
        if (linkUp_ && (downSeen_ || MadeSince(link->uptimeSeconds, elapsed)))
            return End(ChangeOutcome::SameAddress, oldAddress_, now);
    }
    if (elapsed < kGiveUpAfter) return std::nullopt;
    // A minute on, a link that was never seen down and looks as old as before never dropped.
    if (link && linkUp_) return End(ChangeOutcome::NotDropped, oldAddress_, now);
    return End(ChangeOutcome::NotDialled, std::string(), now);
}

// The link was made anew since the change: its uptime fell below what it was when the change
// was asked for, or, not knowing that, is shorter than the change has taken. An uptime of 0
// tells nothing: some routers never count it.
bool IpChangeWatch::MadeSince(const std::optional<std::uint32_t>& uptimeSeconds,
                              std::uint64_t elapsed) const {
    if (!uptimeSeconds || *uptimeSeconds == 0) return false;
    if (uptimeAtStart_ && *uptimeAtStart_ > 0) return *uptimeSeconds < *uptimeAtStart_;
    return std::uint64_t{*uptimeSeconds} * 1000 < elapsed;
}

bool IpChangeWatch::RedialDue(std::uint64_t now) {
    if (!watching_ || linkUp_ || redials_ == std::size(kRedialAt) || now - start_ < kRedialAt[redials_])
        return false;
    // A poll that comes late asks once, not once for each time it passed.
    while (redials_ < std::size(kRedialAt) && now - start_ >= kRedialAt[redials_]) ++redials_;
    return true;
}

std::optional<ChangeResult> IpChangeWatch::End(ChangeOutcome outcome, std::string newAddress,
                                               std::uint64_t now) {
    watching_ = false;
    return ChangeResult{outcome, oldAddress_, std::move(newAddress), now - start_};
}

std::optional<std::uint32_t> OnlineTimeSeconds(std::string_view text) {
    std::uint64_t days = 0;
    const std::string_view dayMark = "天";
    const size_t mark = text.find(dayMark);
    auto number = [](std::string_view digits, std::uint64_t limit) -> std::optional<std::uint64_t> {
        while (!digits.empty() && digits.front() == ' ') digits.remove_prefix(1);
        while (!digits.empty() && digits.back() == ' ') digits.remove_suffix(1);
        if (digits.empty() || digits.size() > 6) return std::nullopt;
        std::uint64_t value = 0;
        for (char c : digits) {
            if (c < '0' || c > '9') return std::nullopt;
            value = value * 10 + static_cast<std::uint64_t>(c - '0');
        }
        if (value > limit) return std::nullopt;
        return value;
    };
    if (mark != std::string_view::npos) {
        const auto count = number(text.substr(0, mark), 49000);
        if (!count) return std::nullopt;
        days = *count;
        text.remove_prefix(mark + dayMark.size());
    }
    const size_t first = text.find(':');
    const size_t second = first == std::string_view::npos ? first : text.find(':', first + 1);
    if (second == std::string_view::npos) return std::nullopt;
    const auto hours = number(text.substr(0, first), 23);
    const auto minutes = number(text.substr(first + 1, second - first - 1), 59);
    const auto seconds = number(text.substr(second + 1), 59);
    if (!hours || !minutes || !seconds) return std::nullopt;
    return static_cast<std::uint32_t>(days * 86400 + *hours * 3600 + *minutes * 60 + *seconds);
}

std::string SecondsText(std::uint64_t milliseconds) {
    // A change lasts a minute or so: capped to 32 bits, the division needs none of the
    // runtime's 64-bit helpers.
    constexpr std::uint32_t kCap = 0xFFFFFFFFu - 500;
    const std::uint32_t capped = milliseconds < kCap ? static_cast<std::uint32_t>(milliseconds) : kCap;
    return DecimalText(static_cast<std::int32_t>((capped + 500) / 1000));
}

namespace {

// Made out of line: each balloon's title and text would otherwise hold their own code.
ChangeBalloon Balloon(const char* title, std::initializer_list<std::string_view> text) {
    return {title, Concat(text)};
}

const char kUpstreamHeld[] = "公网地址在上级设备（如光猫）上";

ChangeBalloon RouterBalloon(const ChangeResult& result, const std::string& seconds) {
    switch (result.outcome) {
    case ChangeOutcome::NewAddress:
        if (ScopeOf(result.newAddress) != AddressScope::Public)
            return Balloon("路由器已重新拨号", {result.oldAddress, " → ", result.newAddress, "，用时 ",
                                                seconds, " 秒；这不是公网地址，公网地址可能未变"});
        return Balloon("已更换IP", {result.oldAddress, " → ", result.newAddress, "，用时 ", seconds, " 秒"});
    case ChangeOutcome::SameAddress:
        // No public address to compare: the router dialled, but the address the world sees
        // is upstream's.
        if (ScopeOf(result.oldAddress) != AddressScope::Public)
            return Balloon("IP未变",
                           {"路由器已重新连上（用时 ", seconds, " 秒），但", kUpstreamHeld, "，未更换"});
        return Balloon("IP未变",
                       {"运营商又分配了同一个地址 ", result.oldAddress, "（用时 ", seconds, " 秒）"});
    case ChangeOutcome::NotDropped:
        return Balloon("路由器没有断线", {"发出断线命令 ", seconds, " 秒后，路由器一直连着，没有断线。"});
    case ChangeOutcome::NotDialled:
    case ChangeOutcome::Refused: break;
    }
    return Balloon("路由器未重新拨号", {"断线 ", seconds, " 秒后，路由器仍未连上互联网。可点“重连”再试。"});
}

// Judged by the outside address: what echo services saw, and why it may not have changed.
ChangeBalloon OutsideBalloon(const ChangeResult& result, const std::string& seconds) {
    if (result.outcome == ChangeOutcome::NewAddress)
        return Balloon("已更换IP", {"外部所见：", result.outsideOld, " → ", result.outsideNew, "，用时 ",
                                    seconds, " 秒"});
    const AddressScope router = ScopeOf(result.oldAddress);
    const std::string same = Concat({"外部所见仍是 ", result.outsideNew, "（用时 ", seconds, " 秒）。"});
    // The router's own address is shared, or public yet not the one the world sees: the
    // provider's carrier-grade NAT holds the address, and a redial may keep it.
    if (router == AddressScope::Shared ||
        (router == AddressScope::Public && result.oldAddress != result.outsideOld))
        return Balloon("IP未变", {same, "运营商共享公网地址（CGNAT），重拨可能仍得到同一个外部地址"});
    if (router != AddressScope::Public) return Balloon("IP未变", {same, kUpstreamHeld, "，须在那里断线重拨"});
    return Balloon("IP未变",
                   {"外部所见：运营商又分配了同一个地址 ", result.outsideNew, "（用时 ", seconds, " 秒）"});
}

}  // namespace

ChangeBalloon ChangeBalloonOf(const ChangeResult& result) {
    const std::string seconds = SecondsText(result.milliseconds);
    const bool addressJudged =
        result.outcome == ChangeOutcome::NewAddress || result.outcome == ChangeOutcome::SameAddress;
    const bool byOutside = addressJudged && result.judgedBy == JudgedBy::Outside;
    ChangeBalloon balloon = byOutside ? OutsideBalloon(result, seconds) : RouterBalloon(result, seconds);
    if (!addressJudged) return balloon;
    if (result.judgedBy == JudgedBy::NoEcho) balloon.text.insert(0, "路由器所报：");
    // The provider hands the PC's IPv6 prefix out anew with a redial, or keeps it. (The texts
    // it may follow end without a full stop.)
    if (!result.prefixOld.empty() && !result.prefixNew.empty())
        balloon.text += result.prefixOld == result.prefixNew ? "；IPv6 前缀未变" : "；IPv6 前缀已更换";
    return balloon;
}
