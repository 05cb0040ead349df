#include "DnsCounter.h"

#include "RouterState.h"
#include "SocketIo.h"
#include "StopSignal.h"

#include <sys/socket.h>

void CountDnsQueries(int udpFd, RouterState& state, const StopSignal& stop) {
    char datagram[2048];
    for (;;) {
        const WaitResult ready = WaitReadable(udpFd, stop, -1);
        if (ready == WaitResult::Stopped) return;
        if (ready != WaitResult::Ready) continue;
        if (recv(udpFd, datagram, sizeof datagram, MSG_DONTWAIT) >= 0) state.Count(Route::Dns);
    }
}
