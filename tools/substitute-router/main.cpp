// substitute-router: a home router's admin pages on port 80, its UPnP gateway, a control port
// for tests, and a DNS sink, all in one process that stops on SIGTERM or SIGINT.
#include "CommandLine.h"
#include "ControlServer.h"
#include "DnsCounter.h"
#include "Listeners.h"
#include "RouterState.h"
#include "StopSignal.h"
#include "UpnpGateway.h"
#include "WebServer.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

constexpr int kDnsPort = 53;
constexpr int kShutdownWaitMs = 3000;

int OpenOrDie(int fd, const std::string& error) {
    if (fd < 0) {
        std::fprintf(stderr, "substitute-router: %s\n", error.c_str());
        std::exit(1);
    }
    return fd;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    std::string error;
    switch (ParseCommandLine(argc, argv, options, error)) {
    case CommandLineResult::Help: std::fputs(UsageText(), stdout); return 0;
    case CommandLineResult::Error:
        std::fprintf(stderr, "substitute-router: %s (see --help)\n", error.c_str());
        return 2;
    case CommandLineResult::Run: break;
    }

    // The stop signals are blocked in every thread and taken by sigwait() below, so a signal
    // never interrupts a connection thread half-way; a vanished peer must not kill us either.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    // Every socket is listening before the control port answers, so a client that has seen
    // the control port can rely on the rest.
    // Port 80 takes every address: requests meant for other hosts arrive here and are counted.
    const int webFd = OpenOrDie(OpenTcpListener("", options.port, error), error);
    const int dnsFd = OpenOrDie(OpenUdpSocket("", kDnsPort, error), error);
    const int controlFd = OpenOrDie(OpenTcpListener(options.address, options.controlPort, error), error);
    const int upnpFd = OpenOrDie(OpenTcpListener(options.address, options.upnpPort, error), error);
    const int ssdpFd = OpenOrDie(OpenSsdpSocket(options.address, error), error);

    StopSignal stop;
    RouterState state(options.settings, options.runFault);
    ConnectionThreads connections;
    const WebContext web{state, options.address, stop};
    const UpnpContext upnp{state, options.address, options.upnpPort, stop};

    std::thread webThread(
        [&] { AcceptLoop(webFd, stop, connections, [&web](int fd) { ServeWebConnection(fd, web); }); });
    std::thread controlThread([&] {
        AcceptLoop(controlFd, stop, connections,
                   [&state, &stop](int fd) { ServeControlConnection(fd, state, stop); });
    });
    std::thread dnsThread([&] { CountDnsQueries(dnsFd, state, stop); });
    std::thread upnpThread(
        [&] { AcceptLoop(upnpFd, stop, connections, [&upnp](int fd) { ServeUpnpConnection(fd, upnp); }); });
    std::thread ssdpThread([&] { AnswerSsdpSearches(ssdpFd, upnp); });

    int received = 0;
    while (sigwait(&stopSignals, &received) != 0) {
    }
    stop.Trigger();
    webThread.join();
    controlThread.join();
    dnsThread.join();
    upnpThread.join();
    ssdpThread.join();
    close(webFd);
    close(controlFd);
    close(dnsFd);
    close(upnpFd);
    close(ssdpFd);
    if (!connections.WaitAllEnded(kShutdownWaitMs)) {
        // A connection thread is stuck; leave without tearing down what it may still use.
        std::fprintf(stderr, "substitute-router: connections still open at shut-down\n");
        std::_Exit(0);
    }
    return 0;
}
