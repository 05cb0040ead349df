#pragma once
// UDP port 53: name look-ups from the PC end here and are counted. Only the names of the echo
// services are answered, as the internet's name servers would (with the echo host); every
// other look-up goes unanswered, so nothing the PC looks up reaches the world.
class RouterState;
class StopSignal;

void CountDnsQueries(int udpFd, RouterState& state, const StopSignal& stop);
