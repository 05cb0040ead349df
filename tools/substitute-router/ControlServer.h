#pragma once
// The control port: lets a test reset the router, read its counts and WAN state, change its
// login and re-dial delay, order faults and restart the UPnP gateway. One plain-text answer
// per connection.
#include <string>

class RouterState;
class StopSignal;

// restartHook: run by /restart in place of the gateway's own restart (empty: none).
void ServeControlConnection(int fd, RouterState& state, const std::string& restartHook,
                            const StopSignal& stop);
