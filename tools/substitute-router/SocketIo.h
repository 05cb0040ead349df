#pragma once
// Socket waits and writes that give up on a time-out or on shut-down, so one stuck peer
// never holds a thread (or the process) forever.
#include <cstddef>
#include <string>

class StopSignal;

enum class WaitResult { Ready, Timeout, Stopped, Failed };

WaitResult WaitReadable(int fd, const StopSignal& stop, int timeoutMs);

// Writes everything, waiting at most timeoutMs for the peer to make room each time.
bool SendAll(int fd, const char* data, std::size_t size, const StopSignal& stop, int timeoutMs = 10000);
inline bool SendAll(int fd, const std::string& data, const StopSignal& stop) {
    return SendAll(fd, data.data(), data.size(), stop);
}

// Answers go out without waiting for the peer's delayed ACK.
void SetNoDelay(int fd);
// Holds the connection without a word until the client gives up (or the router stops); closes fd.
void StaySilent(int fd, const StopSignal& stop);
// Closes so that the peer sees RST instead of an orderly end.
void CloseWithReset(int fd);
// Sends FIN, lets the peer's unread data drain briefly, then closes: a plain close() with
// unread input would turn into a RST and could destroy the answer in flight.
void CloseGracefully(int fd, const StopSignal& stop);
