#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

// After a change of the public address the program asked for (a disconnect by hand, from the
// tray or by the timer), the polls that follow tell how it ended: a new address, the same one
// again, no link at all within a minute, or a link that never went down. Times are
// milliseconds of a steady clock. `Refused` is no watch's outcome: the timed change whose
// disconnect the router refused or never got.

enum class ChangeOutcome { NewAddress, SameAddress, NotDialled, NotDropped, Refused };

// What a new or same address was judged by: the router's WAN address (`Router`; `NoEcho` when
// the outside check is on but no echo service answered), or the address echo services on the
// internet saw (`Outside`), which is the one websites see.
enum class JudgedBy { Router, NoEcho, Outside };

struct ChangeResult {
    // Made, copied, moved and ended out of line: a result is handed on at many places, and
    // each would otherwise hold its own code for all its texts.
    ChangeResult();
    ChangeResult(ChangeOutcome outcome, std::string oldAddress, std::string newAddress,
                 std::uint64_t milliseconds);
    ChangeResult(const ChangeResult&);
    ChangeResult(ChangeResult&&) noexcept;
    ChangeResult& operator=(const ChangeResult&) = delete;
    ChangeResult& operator=(ChangeResult&&) noexcept;
    ~ChangeResult();

    ChangeOutcome outcome = ChangeOutcome::NotDialled;
    std::string oldAddress;  // the router's WAN address
    std::string newAddress;  // empty when the link is not back
    std::uint64_t milliseconds = 0;
    JudgedBy judgedBy = JudgedBy::Router;
    std::string outsideOld, outsideNew;  // as echo services saw it; empty when none told
    std::string prefixOld, prefixNew;    // the PC's global IPv6 /64; empty without one
};

// What one poll saw of the WAN link; `uptimeSeconds` when the router tells how long the link
// has been up.
struct LinkState {
    bool connected = false;
    std::string publicAddress;
    std::optional<std::uint32_t> uptimeSeconds;
};

class IpChangeWatch {
public:
    static constexpr std::uint64_t kGiveUpAfter = 60000;  // no link by then: not dialled again
    // A gateway that drops but does not dial is asked to at these times after the change; a
    // PPPoE link can take longer than the first to come back.
    static constexpr std::uint64_t kRedialAt[] = {10000, 25000, 45000};

    // A change was asked for at `now` while the link had `oldAddress` and had been up
    // `uptimeSeconds` as last read; an earlier watch ends without an outcome.
    void Start(std::string oldAddress, std::uint64_t now, std::optional<std::uint32_t> uptimeSeconds);
    bool Watching() const { return watching_; }
    // The change was judged otherwise (by the outside address): the watch ends unheard.
    void Stop() { watching_ = false; }
    std::uint64_t Elapsed(std::uint64_t now) const { return now - start_; }
    const std::string& OldAddress() const { return oldAddress_; }

    // One poll: its answer, or nothing when the router did not answer. Gives the outcome once,
    // when it is known; the watch then ends.
    std::optional<ChangeResult> Observe(const std::optional<LinkState>& link, std::uint64_t now);

    // True once at each time of kRedialAt that finds the link still down.
    bool RedialDue(std::uint64_t now);

private:
    bool MadeSince(const std::optional<std::uint32_t>& uptimeSeconds, std::uint64_t elapsed) const;
    std::optional<ChangeResult> End(ChangeOutcome outcome, std::string newAddress, std::uint64_t now);

    bool watching_ = false;
    bool downSeen_ = false;
    bool linkUp_ = true;
    std::size_t redials_ = 0;
    std::optional<std::uint32_t> uptimeAtStart_;
    std::string oldAddress_;
    std::uint64_t start_ = 0;
};

// The online time the router's pages show, "3 天 04:05:06" or "04:05:06", in seconds; nothing
// for any other text.
std::optional<std::uint32_t> OnlineTimeSeconds(std::string_view text);

// The balloon of an outcome (GBK): its title and its text.
struct ChangeBalloon {
    std::string title;
    std::string text;
};
ChangeBalloon ChangeBalloonOf(const ChangeResult& result);

// How long a change took, in whole seconds to the nearest, as the balloon and the history say.
std::string SecondsText(std::uint64_t milliseconds);
