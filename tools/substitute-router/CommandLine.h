#pragma once
#include "Fault.h"
#include "RouterState.h"

#include <optional>
#include <string>

struct Options {
    std::string address = "192.168.1.1";  // the router's own address on the LAN
    int port = 80;
    int controlPort = 8081;
    RouterSettings settings;  // the UPnP gateway's port among them
    // Other devices' own addresses on the LAN (none: not there).
    std::string otherIgdAddress, rendererAddress;
    // Run with "public" or "private" by /restart in place of restarting the gateway here.
    std::string restartHook;
    // Run each time the WAN link comes up with a new address; a re-dial waits for it.
    std::string redialHook;
    Fault runFault;  // applied to every request of the run
};

enum class CommandLineResult { Run, Help, Error };

CommandLineResult ParseCommandLine(int argc, char** argv, Options& options, std::string& error);
const char* UsageText();

// "marker" (the firmware's refusal page) or "plain" (a bare 401 page); nothing else.
std::optional<bool> ParsePlainRefusal(const std::string& text);

// Re-dial delays beyond a day are typos; the bound also keeps clock arithmetic in range.
constexpr long kMaxRedialMs = 86400000;
