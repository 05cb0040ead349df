#pragma once
// Listening sockets and the accept loop that gives every connection its own thread.
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>

class StopSignal;

// -1 and a message on failure. An empty address means every local address.
int OpenTcpListener(const std::string& address, int port, std::string& error);
int OpenUdpSocket(const std::string& address, int port, std::string& error);

// Counts the connection threads so shut-down can wait for them to finish.
class ConnectionThreads {
public:
    // Runs work(fd) on a new thread, which owns fd; closes fd when no thread can be had.
    void Start(int fd, std::function<void(int)> work);
    // True when all threads have ended within timeoutMs.
    bool WaitAllEnded(int timeoutMs);

private:
    std::mutex mutex_;
    std::condition_variable ended_;
    int running_ = 0;
};

// Accepts until the stop signal; each connection gets TCP_NODELAY and a thread.
void AcceptLoop(int listenFd, const StopSignal& stop, ConnectionThreads& threads,
                std::function<void(int)> work);
// The same, also ending once keepOn() turns false, which is asked every checkMs.
void AcceptWhile(int listenFd, const StopSignal& stop, ConnectionThreads& threads,
                 const std::function<void(int)>& work, const std::function<bool()>& keepOn, int checkMs);
