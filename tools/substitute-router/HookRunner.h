#pragma once
// Commands of the rig that the router runs at its own moments (a gateway restart, a re-dial),
// so the rig can change what lies outside this process: another gateway, the PC's addresses.
#include <optional>
#include <string>
#include <vector>

class StopSignal;

// Runs `hook args...` through the shell and gives what it printed when it succeeded within
// timeoutMs; after that it is killed. The child starts with no signal blocked or ignored.
std::optional<std::string> RunHook(const std::string& hook, const std::vector<std::string>& args,
                                   int timeoutMs, const StopSignal& stop);
