#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The PC's own dial-up connections (a PPPoE "宽带连接"), as Windows' Remote Access tells them
// and dials them. Nothing here makes a network request.

// One entry's connection as read now.
struct DialStatus {
    bool connected = false;
    std::string address;  // the link's IPv4 address
    std::optional<std::uint32_t> onlineSeconds;
    std::string mask, gateway, dns;  // as the dial-up adapter has them, or empty
};

// A step of a dial under way, as Windows reported it to the window.
struct DialProgress {
    bool ended = false;       // connected, or failed
    std::uint32_t error = 0;  // it failed with this error
};

class DialupLine {
public:
    virtual ~DialupLine() = default;
    // Remote Access is loaded at the first call that needs it; false: the PC has none.
    virtual bool Available() = 0;
    virtual std::vector<std::string> Entries() = 0;    // the phonebook's entries
    virtual std::vector<std::string> Connected() = 0;  // the entries online with an IPv4 address
    virtual DialStatus Status(const std::string& entry) = 0;
    // Hangs up the entry's connection, a dial under way included. Windows lets it go a while
    // after: the next dial waits for that.
    virtual void HangUp(const std::string& entry) = 0;
    // Starts a dial of the entry with its saved credentials, once the connection last hung up
    // is gone (dialling before that fails): waits at most 10 s for it, the window answering
    // meanwhile. Returns 0, the dial's steps come later, or Windows' error.
    virtual std::uint32_t Dial(const std::string& entry) = 0;
    // Hangs up the dial under way, without waiting.
    virtual void AbandonDial() = 0;
};
