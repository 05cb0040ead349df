#include "Listeners.h"

#include "SocketIo.h"
#include "StopSignal.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <system_error>
#include <thread>

namespace {

// Far above what a test or a browser opens at once; beyond it connections are refused
// rather than letting a runaway client exhaust threads.
constexpr int kMaxConnections = 256;

int OpenSocket(int type, const std::string& address, int port, std::string& error) {
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(static_cast<uint16_t>(port));
    if (address.empty()) {
        where.sin_addr.s_addr = htonl(INADDR_ANY);
    } else if (inet_pton(AF_INET, address.c_str(), &where.sin_addr) != 1) {
        error = "not an IPv4 address: " + address;
        return -1;
    }
    const int fd = socket(AF_INET, type | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = std::string("socket: ") + std::strerror(errno);
        return -1;
    }
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    const std::string shown =
        (address.empty() ? std::string("0.0.0.0") : address) + ":" + std::to_string(port);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&where), sizeof where) != 0) {
        error = "bind " + shown + ": " + std::strerror(errno);
        close(fd);
        return -1;
    }
    if (type == SOCK_STREAM && listen(fd, 64) != 0) {
        error = "listen " + shown + ": " + std::strerror(errno);
        close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

int OpenTcpListener(const std::string& address, int port, std::string& error) {
    return OpenSocket(SOCK_STREAM, address, port, error);
}

int OpenUdpSocket(const std::string& address, int port, std::string& error) {
    return OpenSocket(SOCK_DGRAM, address, port, error);
}

void ConnectionThreads::Start(int fd, std::function<void(int)> work) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (running_ >= kMaxConnections) {
            close(fd);
            return;
        }
        ++running_;
    }
    try {
        std::thread([this, fd, work = std::move(work)] {
            work(fd);
            std::lock_guard<std::mutex> lock(mutex_);
            --running_;
            ended_.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        close(fd);
        std::lock_guard<std::mutex> lock(mutex_);
        --running_;
        ended_.notify_all();
    }
}

bool ConnectionThreads::WaitAllEnded(int timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    return ended_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return running_ == 0; });
}

void AcceptLoop(int listenFd, const StopSignal& stop, ConnectionThreads& threads,
                std::function<void(int)> work) {
    AcceptWhile(
        listenFd, stop, threads, work, [] { return true; }, -1);
}

void AcceptWhile(int listenFd, const StopSignal& stop, ConnectionThreads& threads,
                 const std::function<void(int)>& work, const std::function<bool()>& keepOn, int checkMs) {
    while (keepOn()) {
        const WaitResult ready = WaitReadable(listenFd, stop, checkMs);
        if (ready == WaitResult::Stopped) return;
        if (ready != WaitResult::Ready) continue;
        const int fd = accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            // A connection that went away before accept, or a passing shortage: try again.
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) stop.SleepFor(50);
            continue;
        }
        SetNoDelay(fd);
        threads.Start(fd, work);
    }
}
