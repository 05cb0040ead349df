// substitute-router: a home router's admin pages on port 80, its UPnP gateway, a control port
// for tests, and a name server that answers only the echo services' names, all in one process
// that stops on SIGTERM or SIGINT.
#include "CommandLine.h"
#include "ControlServer.h"
#include "DnsCounter.h"
#include "HookRunner.h"
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
#include <tuple>
#include <vector>

namespace {

constexpr int kDnsPort = 53;
constexpr int kOtherIgdPort = 5000;
constexpr int kRendererPort = 49152;
constexpr int kSsdpPort = 1900;
constexpr int kShutdownWaitMs = 3000;
constexpr int kRedialWatchMs = 20;
constexpr int kRedialHookMs = 3000;

// Runs the re-dial hook each time the link has come up with a new address, however it came
// (a connect, a reset); a re-dial that falls due waits for it.
void FollowRedials(RouterState& state, const std::string& hook, const StopSignal& stop) {
    unsigned long followed = state.NewAddresses();
    while (stop.SleepFor(kRedialWatchMs)) {
        const bool due = state.RedialDue();
        if (!due && state.NewAddresses() == followed) continue;
        // A hook cut short by the stop is no failure.
        if (!RunHook(hook, {}, kRedialHookMs, stop) && !stop.Triggered())
            std::fprintf(stderr, "substitute-router: the re-dial hook failed\n");
        if (due) state.FinishRedial();
        followed = state.NewAddresses();
    }
}

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
    const int upnpFd = OpenOrDie(OpenTcpListener(options.address, options.settings.upnpPort, error), error);
    const int ssdpFd = OpenOrDie(OpenSsdpSocket(options.address, error), error);

    StopSignal stop;
    RouterState state(options.settings, options.runFault);
    if (!options.redialHook.empty()) state.HoldRedials();
    ConnectionThreads connections;
    const WebContext web{state, options.address, stop};
    const UpnpContext upnp{state, UpnpDevice::Gateway, options.address, options.settings.upnpPort, stop};

    // The other devices answer searches from port 1900 of their own address, as a device of
    // their own would; each has its own HTTP listener there.
    struct OtherDevice {
        UpnpContext context;
        int listenFd, ssdpFd;
    };
    std::vector<OtherDevice> others;
    for (const auto& [device, address, port] :
         {std::tuple{UpnpDevice::OtherIgd, options.otherIgdAddress, kOtherIgdPort},
          std::tuple{UpnpDevice::Renderer, options.rendererAddress, kRendererPort}}) {
        if (address.empty()) continue;
        others.push_back({UpnpContext{state, device, address, port, stop},
                          OpenOrDie(OpenTcpListener(address, port, error), error),
                          OpenOrDie(OpenUdpSocket(address, kSsdpPort, error), error)});
    }
    std::vector<SsdpResponder> responders = {{&upnp, ssdpFd}};
    for (const OtherDevice& other : others) responders.push_back({&other.context, other.ssdpFd});

    std::thread webThread(
        [&] { AcceptLoop(webFd, stop, connections, [&web](int fd) { ServeWebConnection(fd, web); }); });
    std::thread controlThread([&] {
        AcceptLoop(controlFd, stop, connections, [&state, &options, &stop](int fd) {
            ServeControlConnection(fd, state, options.restartHook, stop);
        });
    });
    std::thread dnsThread([&] { CountDnsQueries(dnsFd, state, stop); });
    std::thread upnpThread([&] { ServeGateway(upnpFd, upnp, connections); });
    std::thread ssdpThread([&] { AnswerSsdpSearches(ssdpFd, responders); });
    std::thread redialThread;
    if (!options.redialHook.empty()) {
        redialThread = std::thread([&] { FollowRedials(state, options.redialHook, stop); });
    }
    std::vector<std::thread> otherThreads;
    for (const OtherDevice& other : others) {
        otherThreads.emplace_back([&] {
            AcceptLoop(other.listenFd, stop, connections,
                       [&other](int fd) { ServeUpnpConnection(fd, other.context); });
        });
    }

    int received = 0;
    while (sigwait(&stopSignals, &received) != 0) {
    }
    stop.Trigger();
    webThread.join();
    controlThread.join();
    dnsThread.join();
    upnpThread.join();
    ssdpThread.join();
    for (std::thread& thread : otherThreads) thread.join();
    if (redialThread.joinable()) redialThread.join();
    close(webFd);
    close(controlFd);
    close(dnsFd);
    close(ssdpFd);
    for (const OtherDevice& other : others) {
        close(other.listenFd);
        close(other.ssdpFd);
    }
    if (!connections.WaitAllEnded(kShutdownWaitMs)) {
        // A connection thread is stuck; leave without tearing down what it may still use.
        std::fprintf(stderr, "substitute-router: connections still open at shut-down\n");
        std::_Exit(0);
    }
    return 0;
}
