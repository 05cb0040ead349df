#include "DnsCounter.h"

#include "EchoService.h"
#include "RouterState.h"
#include "SocketIo.h"
#include "StopSignal.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstddef>
#include <optional>
#include <string>

namespace {

constexpr std::size_t kHeaderSize = 12;
// A plain query over UDP fits in 512 bytes; a longer one is nobody's question for these names.
constexpr std::size_t kMaxQuery = 512;
constexpr std::size_t kMaxName = 255;  // on the wire, length bytes included
constexpr char kTypeA = 1;
constexpr char kClassIn = 1;
constexpr char kTtlSeconds = 60;

unsigned Word(const unsigned char* at) { return static_cast<unsigned>(at[0] << 8 | at[1]); }

// The answer to a standard query for one of the echo services' names: the question echoed
// and, for type A, the echo host. Any other type gets NOERROR with no record, so that a
// resolver asking A and AAAA at once does not wait for a time-out. None for anything else.
std::optional<std::string> EchoNameAnswer(const unsigned char* query, std::size_t size) {
    // QR and opcode 0, one question, no answer or authority records (an EDNS record may follow).
    if (size < kHeaderSize || size > kMaxQuery || (query[2] & 0xF8) != 0 || Word(query + 4) != 1 ||
        Word(query + 6) != 0 || Word(query + 8) != 0) {
        return std::nullopt;
    }
    std::string name;
    std::size_t at = kHeaderSize;
    for (;;) {
        if (at >= size) return std::nullopt;
        const std::size_t length = query[at++];
        if (length == 0) break;
        // Plain labels only: a lone question has nothing to point back at.
        if (length > 63 || at + length > size || at + length - kHeaderSize >= kMaxName) return std::nullopt;
        if (!name.empty()) name += '.';
        name.append(reinterpret_cast<const char*>(query + at), length);
        at += length;
    }
    if (at + 4 > size || Word(query + at + 2) != static_cast<unsigned>(kClassIn) || !EchoPathForHost(name)) {
        return std::nullopt;
    }
    const bool typeA = Word(query + at) == static_cast<unsigned>(kTypeA);
    std::string answer(reinterpret_cast<const char*>(query), at + 4);  // up to the question's end
    answer[2] = static_cast<char>(0x80 | (query[2] & 0x01));           // QR, and RD as asked
    answer[3] = static_cast<char>(0x80);                               // RA, NOERROR
    answer[7] = typeA ? 1 : 0;
    answer[10] = answer[11] = 0;  // the query's EDNS record is not echoed
    if (typeA) {
        in_addr echo{};
        inet_pton(AF_INET, kEchoAddress, &echo);
        // The name as a pointer to the question's, class IN, TTL, four bytes of address.
        const char record[] = {'\xC0', kHeaderSize, 0, kTypeA, 0, kClassIn, 0, 0, 0, kTtlSeconds, 0, 4};
        answer.append(record, sizeof record);
        answer.append(reinterpret_cast<const char*>(&echo), sizeof echo);
    }
    return answer;
}

}  // namespace

void CountDnsQueries(int udpFd, RouterState& state, const StopSignal& stop) {
    unsigned char datagram[2048];
    for (;;) {
        const WaitResult ready = WaitReadable(udpFd, stop, -1);
        if (ready == WaitResult::Stopped) return;
        if (ready != WaitResult::Ready) continue;
        sockaddr_storage from{};
        socklen_t fromSize = sizeof from;
        // MSG_TRUNC: the datagram's whole length, so an oversized one is seen as such.
        const ssize_t size = recvfrom(udpFd, datagram, sizeof datagram, MSG_DONTWAIT | MSG_TRUNC,
                                      reinterpret_cast<sockaddr*>(&from), &fromSize);
        if (size < 0) continue;
        state.Count(Route::Dns);
        const std::optional<std::string> answer = EchoNameAnswer(datagram, static_cast<std::size_t>(size));
        if (!answer) continue;
        state.Count(Route::DnsEcho);
        sendto(udpFd, answer->data(), answer->size(), MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from),
               fromSize);
    }
}
