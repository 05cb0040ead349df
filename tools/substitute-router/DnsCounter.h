#pragma once
// UDP port 53: name look-ups from the PC end here and are only counted, never answered.
class RouterState;
class StopSignal;

void CountDnsQueries(int udpFd, RouterState& state, const StopSignal& stop);
