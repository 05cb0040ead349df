#pragma once
// The echo services out on the internet that tell a caller the public address it comes
// from. Inside the rig they live at kEchoAddress, port 80, and answer the router's WAN address,
// or the carrier-grade NAT's when the router is behind one.
#include "RouterState.h"

#include <optional>
#include <string>

class StopSignal;

// From the documentation range: nobody's real host.
inline constexpr char kEchoAddress[] = "192.0.2.10";

// The path "/" stands for when asked by one of the echo services' own host names (as a Host
// header or a DNS name: any case, a trailing dot or not); none for any other name. The PC's
// name server answers these names with kEchoAddress.
std::optional<EchoPath> EchoPathForHost(std::string host);

// Serves one connection to the echo host until the client leaves or asks to close; closes fd.
void ServeEchoConnection(int fd, RouterState& state, const StopSignal& stop);
