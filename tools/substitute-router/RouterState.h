#pragma once
// Everything the router remembers: its login, the WAN link, the request counts and the
// faults it has been told to show. Shared by all connection threads behind one mutex.
#include "Fault.h"

#include <chrono>
#include <mutex>
#include <optional>
#include <string>

// The UPnP gateway: off, answering, or answering with one of its faults.
enum class UpnpFault {
    Off,
    None,
    Refuse,     // ForceTermination and RequestConnection answer fault 606, as many routers do
    V2Only,     // an IGD v2 description: WANIPConnection:2 alone, though v1 searches are answered
    MixedCase,  // SSDP answers with header names in mixed case
    Silent,     // SSDP searches go unanswered
    // Behind the provider's modem (double NAT): "Connected" with no external address, or
    // with the private one the modem gave.
    EmptyAddress,
    PrivateAddress,
    // A teardown that works but answers badly: the link drops and dials again as usual, yet
    // ForceTermination answers fault 707 or 711, an HTTP 500 without a UPnP error, or only
    // after the client's deadline has passed.
    Terminate707,
    Terminate711,
    Terminate500,
    TerminateLate,
    Address501,      // GetExternalIPAddress answers fault 501 while the link is up
    OddDescription,  // a description that is no clean XML (as some firmware writes it)
    TwoServices,     // an idle WANIPConnection listed before the live WANPPPConnection
    UptimeZero,      // NewUptime is always 0
    NeverDrops,      // ForceTermination answers 200 and the link stays up
};
// "off", "on", "refuse", "v2-only", "mixed-case", "silent", "empty-address",
// "private-address", "terminate-707", "terminate-711", "terminate-500", "terminate-late",
// "address-501", "odd-description", "two-services", "uptime-zero", "never-drops".
std::optional<UpnpFault> ParseUpnpFault(const std::string& text);

// What a gateway of kind "private-address" tells as its external address.
inline constexpr char kPrivateWanAddress[] = "10.0.0.2";
// The one address a carrier-grade NAT shows the world, whatever WAN address it gave the
// router; it stays through the router's re-dials.
inline constexpr char kCgnatPublicAddress[] = "198.51.100.200";

struct RouterSettings {
    std::string user = "admin";
    std::string password = "lumko";
    long redialMs = 3000;
    // Refuse with a bare "401 Unauthorized" page, as a small embedded web server does, instead
    // of the firmware's page with the "login failed" text.
    bool plainRefusal = false;
    UpnpFault gateway = UpnpFault::Off;
    int upnpPort = 5000;       // the gateway's HTTP port until it restarts
    bool pages = true;         // off: the admin pages answer 404, only UPnP is left
    bool sameAddress = false;  // the provider hands out the same address again
    bool cgnat = false;        // WAN addresses from 100.64.0.0/10, behind the provider's CGNAT
    // Other devices on the LAN, at their own addresses: another IGD on the same WAN link, and
    // a media renderer that answers every search with its own type.
    bool otherIgd = false;
    bool renderer = false;
};

// What a request was, for the counts. DnsEcho: a look-up answered with the echo host, counted
// under Dns as well, as every look-up is.
enum class Route { Login, Status, Disconnect, Connect, Other, Foreign, Dns, DnsEcho, Ssdp, Soap };

// The paths of the outside-address echo service. Down: a connection to it while the WAN link
// is down, whatever path it was for; Count: how many there are.
enum class EchoPath { Plain, Json, Sentence, Silent, Slow, Html, Shared, Down, Count };

struct RequestCounts {
    unsigned long login = 0, status = 0, disconnect = 0, connect = 0;
    unsigned long other = 0, foreign = 0, dns = 0, dnsEcho = 0, unauthorized = 0;
    unsigned long ssdp = 0, soap = 0;  // searches answered, SOAP actions carried out
    unsigned long echo[static_cast<int>(EchoPath::Count)] = {};
};

// The WAN fields as the status page shows them.
struct WanView {
    bool up = false;
    std::string mac, ip, mask, gateway, dns;
    long onlineSeconds = 0;
};

class RouterState {
public:
    using Clock = std::chrono::steady_clock;

    RouterState(const RouterSettings& initial, const Fault& runFault);

    void Count(Route route);
    void CountEcho(EchoPath path);
    void CountUnauthorized();
    bool AcceptsCredentials(const std::string& user, const std::string& password) const;
    // The last Basic credentials that came on port 80, decoded ("user:password", the bytes as
    // they came), accepted or not; empty after Reset.
    void NoteCredentials(const std::string& decoded);
    std::string LastCredentials() const;
    bool RefusesPlainly() const;
    bool PagesOn() const;
    UpnpFault GatewayFault() const;
    bool OtherIgdOn() const;
    bool RendererOn() const;

    // The gateway restarts: silent for silenceMs (no search answered, its port closed), then
    // serving on the next port with its link dialled anew. Returns that port.
    int RestartGateway(long silenceMs);
    // The port the gateway serves on; none while it restarts.
    std::optional<int> GatewayPort();
    // The port its listener is open on (0: none), as the listener tells it.
    void NoteGatewayListening(int port);
    int GatewayListening() const;

    // Drops the link now; it dials again by itself after the re-dial delay. Returns the link
    // as it is right after the drop, whatever the delay.
    WanView Disconnect();
    // Dials now when the link is down; nothing when it is up. Returns the link afterwards.
    WanView Connect();
    WanView Wan();
    // The address an echo service out on the internet sees the PC come from; none while the
    // link is down.
    std::optional<std::string> OutsideAddress();

    // With a re-dial hook, a due re-dial waits for FinishRedial, so that what the hook changes
    // is in place before the new address shows.
    void HoldRedials();
    bool RedialDue();
    void FinishRedial();
    // How many times the link has come up with a new address (restarts and resets included).
    unsigned long NewAddresses() const;

    // The fault for the request that has just arrived on port 80.
    Fault TakeFault();
    // count 0: every request until reset; kind None clears.
    void SetRequestFault(const Fault& fault, long count);

    // Back to the state of a fresh start, with a new public address.
    void Reset();
    void Configure(const std::optional<std::string>& user, const std::optional<std::string>& password,
                   std::optional<long> redialMs, std::optional<bool> plainRefusal);
    void ConfigureGateway(std::optional<UpnpFault> gateway, std::optional<bool> pages,
                          std::optional<bool> sameAddress, std::optional<bool> cgnat);
    void ConfigureDevices(std::optional<bool> otherIgd, std::optional<bool> renderer);

    RequestCounts Counts() const;

private:
    void ComeUpLocked(Clock::time_point since);
    void SettleLocked(Clock::time_point now);
    bool WaitsForHookLocked() const;
    WanView ViewLocked(Clock::time_point now) const;

    mutable std::mutex mutex_;
    const RouterSettings initial_;
    const Fault runFault_;
    RouterSettings settings_;
    RequestCounts counts_;
    std::string lastCredentials_;

    bool up_ = false;
    int ipHost_ = 0;  // last octet of the current public address
    int nextIpHost_;
    Clock::time_point upSince_;
    std::optional<Clock::time_point> redialAt_;
    bool holdRedials_ = false;
    unsigned long newAddresses_ = 0;

    int gatewayPort_;
    std::optional<Clock::time_point> gatewayBackAt_;
    int gatewayListening_ = 0;

    Fault requestFault_;
    long requestFaultLeft_ = 0;  // 0 with a fault set: no limit
};
