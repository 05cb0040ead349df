#include "SocketIo.h"

#include "StopSignal.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace {

WaitResult WaitFor(int fd, short events, const StopSignal& stop, int timeoutMs) {
    pollfd p[2] = {{fd, events, 0}, {stop.Fd(), POLLIN, 0}};
    for (;;) {
        const int r = poll(p, 2, timeoutMs);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return WaitResult::Failed;
        if (r == 0) return WaitResult::Timeout;
        if (p[1].revents) return WaitResult::Stopped;
        // Errors and hang-ups count as ready: the next read or write reports them.
        return WaitResult::Ready;
    }
}

}  // namespace

WaitResult WaitReadable(int fd, const StopSignal& stop, int timeoutMs) {
    return WaitFor(fd, POLLIN, stop, timeoutMs);
}

bool SendAll(int fd, const char* data, std::size_t size, const StopSignal& stop, int timeoutMs) {
    while (size > 0) {
        const ssize_t n = send(fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            data += n;
            size -= static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (WaitFor(fd, POLLOUT, stop, timeoutMs) != WaitResult::Ready) return false;
            continue;
        }
        return false;
    }
    return true;
}

void SetNoDelay(int fd) {
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

void CloseWithReset(int fd) {
    const linger hard{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    close(fd);
}

void CloseGracefully(int fd, const StopSignal& stop) {
    shutdown(fd, SHUT_WR);
    char sink[4096];
    for (int rounds = 0; rounds < 64; ++rounds) {
        if (WaitReadable(fd, stop, 500) != WaitResult::Ready) break;
        const ssize_t n = recv(fd, sink, sizeof sink, MSG_DONTWAIT);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
    }
    close(fd);
}

void StaySilent(int fd, const StopSignal& stop) {
    char sink[4096];
    while (WaitReadable(fd, stop, -1) == WaitResult::Ready) {
        const ssize_t n = recv(fd, sink, sizeof sink, MSG_DONTWAIT);
        if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)) break;
    }
    close(fd);
}
