#pragma once
// Helpers for Windows programs that run under Wine inside the network rig
// (tools/rig/netrig.sh): the PC side is 192.168.1.100, the substitute router 192.168.1.1
// with its pages on port 80 and its control interface on another port.
//
//   int main(int argc, char** argv) {
//       RequireRig();                        // refuses to run anywhere else
//       RouterControlClient control;         // the rig's router, from the environment
//       control.Reset();
//       ...
//   }
//
// Everything here uses plain Winsock, never WinInet, so it can check WinInet's work.

#include <map>
#include <string>
#include <vector>

// Exits the process with a message telling how to run it in the rig, unless it runs there:
// PELORIN_RIG=1 and the first adapter's default gateway is PELORIN_RIG_ROUTER. Call it
// before anything that talks to the network.
void RequireRig();

// The rig's addresses, from the environment that netrig.sh sets.
std::string RigRouterAddress();    // PELORIN_RIG_ROUTER, "192.168.1.1"
unsigned short RigControlPort();   // PELORIN_RIG_CONTROL_PORT, 8081
std::string RigDeadAddress();      // PELORIN_RIG_DEAD_ADDRESS: in the subnet, no host there
std::string RigOtherIgdAddress();  // PELORIN_RIG_OTHER_IGD: another IGD on the LAN, when asked for

// One answer of PlainHttpGet. status is 0 when no status line arrived (connection refused,
// reset, time-out); body is what arrived after the headers, not decoded (a chunked answer
// keeps its chunk lines).
struct PlainHttpAnswer {
    int status = 0;
    std::string headers;  // the header lines as received, without the status line
    std::string body;
};

constexpr int kPlainHttpTimeoutMs = 5000;

// One HTTP/1.1 GET over a fresh connection ("Connection: close"), read until the server
// closes or Content-Length bytes of body are in. `extraHeaders` are whole header lines
// without their CR LF (such as "Authorization: Basic ...").
PlainHttpAnswer PlainHttpGet(const std::string& host, unsigned short port, const std::string& target,
                             const std::vector<std::string>& extraHeaders = {},
                             int timeoutMs = kPlainHttpTimeoutMs);

// Every byte except A-Z a-z 0-9 - . _ ~ as %XX.
std::string PercentEncode(const std::string& bytes);

// The substitute router's control interface (text/plain, one request per connection).
// The calls return false (or an empty map) when the control port gives no proper answer.
class RouterControlClient {
public:
    RouterControlClient();  // the rig's router and control port
    RouterControlClient(std::string address, unsigned short port);

    // Counts zeroed, faults cleared, WAN up, user and password back to admin / lumko and
    // refusals back to the page with the marker.
    bool Reset();
    // Since the last Reset: login, status, disconnect, connect, other (requests on the page
    // port by target, counted on arrival, refused ones too), unauthorized (those answered
    // 401), foreign (connections to port 80 of any other address), dns (name look-ups).
    std::map<std::string, long> Counts();
    // wan (up / down), ip, online (seconds), credentials (the last Basic credentials that came,
    // decoded: "user:password" as the bytes were sent).
    std::map<std::string, std::string> State();
    // The credentials the router accepts from now on, and how long it takes to dial again
    // after a disconnect.
    bool Config(const std::string& user, const std::string& password, int redialMs);
    // Refusals as a bare "401 Unauthorized" page without the "login failed" text (true), or
    // as the firmware's page with it (false, the default), until Reset.
    bool RefusePlainly(bool plain);
    // The next `count` requests on the page port (0: all, until Reset) get fault `kind`:
    // delay (arg ms), silent, reset, short, big (body of arg bytes), nul (byte arg is NUL),
    // slow (pieces of arg bytes, 20 ms apart), chunked, trickle (the whole answer one byte
    // every arg ms), trickle-body (the head at once, the body one byte every arg ms),
    // redirect (status arg, to a host other than the router); "none" clears.
    bool Fault(const std::string& kind, long arg = 0, long count = 0);
    // Until Reset: the UPnP gateway (off, on, refuse, v2-only, mixed-case, silent, and the
    // kinds substitute-router --help lists), whether the admin pages answer, and whether the
    // link comes back with the address it had.
    bool Gateway(const std::string& kind, bool pages, bool sameAddress = false);
    // Until Reset: another IGD at RigOtherIgdAddress() on the same WAN link, and a media
    // renderer that answers every search with its own type.
    bool Devices(bool otherIgd, bool renderer);
    // Until Reset: the WAN link's addresses public, or "cgnat": shared ones (100.64/10) from
    // the next dial on, the world seeing the carrier's one address.
    bool Wan(const std::string& kind);
    // The gateway restarts (the substitute's own, or miniupnpd where the rig runs it): silent
    // for a second, then serving on another port, its WAN side a new public address, or with
    // wan "private" miniupnpd's behind a modem (double NAT). Answered once it serves again:
    // port, ip (its WAN address); empty when it did not come back.
    std::map<std::string, std::string> RestartGateway(const std::string& wan = "public");

private:
    std::string Get(const std::string& target);
    std::map<std::string, std::string> Values(const std::string& target);
    std::string address_;
    unsigned short port_;
};
