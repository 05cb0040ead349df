#pragma once
// Port 80: the router's admin pages.
#include <string>

class RouterState;
class StopSignal;

struct WebContext {
    RouterState& state;
    std::string routerAddress;
    const StopSignal& stop;
};

// Serves one connection until the client leaves, asks to close, or the router stops; closes fd.
void ServeWebConnection(int fd, const WebContext& context);
