#pragma once
// The control port: lets a test reset the router, read its counts and WAN state, change its
// login and re-dial delay, and order faults. One plain-text answer per connection.
class RouterState;
class StopSignal;

void ServeControlConnection(int fd, RouterState& state, const StopSignal& stop);
