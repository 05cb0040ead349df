#include "StopSignal.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>

StopSignal::StopSignal() {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::perror("substitute-router: pipe");
        std::exit(1);
    }
    readEnd_ = ends[0];
    writeEnd_ = ends[1];
}

StopSignal::~StopSignal() {
    close(readEnd_);
    close(writeEnd_);
}

void StopSignal::Trigger() {
    // The byte is never read, so the read end stays readable for every later poll().
    const char byte = 1;
    while (write(writeEnd_, &byte, 1) < 0 && errno == EINTR) {
    }
}

bool StopSignal::Triggered() const {
    pollfd p{readEnd_, POLLIN, 0};
    return poll(&p, 1, 0) > 0;
}

bool StopSignal::SleepFor(int ms) const {
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        if (left <= 0) return !Triggered();
        pollfd p{readEnd_, POLLIN, 0};
        const int r = poll(&p, 1, static_cast<int>(left));
        if (r > 0) return false;
    }
}
