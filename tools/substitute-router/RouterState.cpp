#include "RouterState.h"

namespace {

// Public addresses come from the documentation ranges, so nothing here can be mistaken for
// (or routed to) a real host.
constexpr const char* kPublicPrefix = "203.0.113.";
constexpr const char* kCgnatPrefix = "100.64.7.";
constexpr const char* kCgnatGateway = "100.64.0.1";
constexpr int kFirstIpHost = 10;
constexpr int kLastIpHost = 250;
constexpr const char* kWanMac = "02-1A-2B-3C-4D-5E";  // locally administered
constexpr const char* kUpMask = "255.255.255.255";    // point-to-point link
constexpr const char* kUpGateway = "203.0.113.1";
constexpr const char* kUpDns = "203.0.113.53 , 198.51.100.53";
constexpr const char* kNoAddress = "0.0.0.0";
constexpr const char* kNoDns = "0.0.0.0 , 0.0.0.0";

}  // namespace

std::optional<UpnpFault> ParseUpnpFault(const std::string& text) {
    static const struct {
        const char* name;
        UpnpFault fault;
    } kNames[] = {{"off", UpnpFault::Off},
                  {"on", UpnpFault::None},
                  {"refuse", UpnpFault::Refuse},
                  {"v2-only", UpnpFault::V2Only},
                  {"mixed-case", UpnpFault::MixedCase},
                  {"silent", UpnpFault::Silent},
                  {"empty-address", UpnpFault::EmptyAddress},
                  {"private-address", UpnpFault::PrivateAddress},
                  {"terminate-707", UpnpFault::Terminate707},
                  {"terminate-711", UpnpFault::Terminate711},
                  {"terminate-500", UpnpFault::Terminate500},
                  {"terminate-late", UpnpFault::TerminateLate},
                  {"address-501", UpnpFault::Address501},
                  {"odd-description", UpnpFault::OddDescription},
                  {"two-services", UpnpFault::TwoServices},
                  {"uptime-zero", UpnpFault::UptimeZero},
                  {"never-drops", UpnpFault::NeverDrops}};
    for (const auto& entry : kNames) {
        if (text == entry.name) return entry.fault;
    }
    return std::nullopt;
}

RouterState::RouterState(const RouterSettings& initial, const Fault& runFault)
    : initial_(initial),
      runFault_(runFault),
      settings_(initial),
      nextIpHost_(kFirstIpHost),
      gatewayPort_(initial.upnpPort) {
    ComeUpLocked(Clock::now());
}

void RouterState::ComeUpLocked(Clock::time_point since) {
    up_ = true;
    if (!settings_.sameAddress || ipHost_ == 0) {
        ++newAddresses_;
        ipHost_ = nextIpHost_;
        nextIpHost_ = nextIpHost_ >= kLastIpHost ? kFirstIpHost : nextIpHost_ + 1;
    }
    upSince_ = since;
    redialAt_.reset();
}

void RouterState::SettleLocked(Clock::time_point now) {
    // The re-dial is settled lazily, on the next look at the link, dated when it was due.
    if (!up_ && redialAt_ && now >= *redialAt_ && !WaitsForHookLocked()) ComeUpLocked(*redialAt_);
}

bool RouterState::WaitsForHookLocked() const {
    // Only a dial that brings a new address has anything for the hook to follow; one without
    // delay is settled on the next look, and the hook follows.
    return holdRedials_ && settings_.redialMs > 0 && !(settings_.sameAddress && ipHost_ != 0);
}

void RouterState::Count(Route route) {
    std::lock_guard<std::mutex> lock(mutex_);
    switch (route) {
    case Route::Login: ++counts_.login; break;
    case Route::Status: ++counts_.status; break;
    case Route::Disconnect: ++counts_.disconnect; break;
    case Route::Connect: ++counts_.connect; break;
    case Route::Ssdp: ++counts_.ssdp; break;
    case Route::Soap: ++counts_.soap; break;
    case Route::Other: ++counts_.other; break;
    case Route::Foreign: ++counts_.foreign; break;
    case Route::Dns: ++counts_.dns; break;
    case Route::DnsEcho: ++counts_.dnsEcho; break;
    }
}

void RouterState::CountEcho(EchoPath path) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++counts_.echo[static_cast<int>(path)];
}

void RouterState::CountUnauthorized() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++counts_.unauthorized;
}

bool RouterState::AcceptsCredentials(const std::string& user, const std::string& password) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return user == settings_.user && password == settings_.password;
}

void RouterState::NoteCredentials(const std::string& decoded) {
    std::lock_guard<std::mutex> lock(mutex_);
    lastCredentials_ = decoded;
}

std::string RouterState::LastCredentials() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lastCredentials_;
}

bool RouterState::RefusesPlainly() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return settings_.plainRefusal;
}

bool RouterState::PagesOn() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return settings_.pages;
}

UpnpFault RouterState::GatewayFault() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return settings_.gateway;
}

bool RouterState::OtherIgdOn() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return settings_.otherIgd;
}

bool RouterState::RendererOn() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return settings_.renderer;
}

int RouterState::RestartGateway(long silenceMs) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto now = Clock::now();
    SettleLocked(now);
    ++gatewayPort_;
    gatewayBackAt_ = now + std::chrono::milliseconds(silenceMs);
    // The link is dialled anew as the gateway comes back: a new address, the uptime from then.
    up_ = false;
    redialAt_ = gatewayBackAt_;
    return gatewayPort_;
}

std::optional<int> RouterState::GatewayPort() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (gatewayBackAt_ && Clock::now() < *gatewayBackAt_) return std::nullopt;
    gatewayBackAt_.reset();
    return gatewayPort_;
}

void RouterState::NoteGatewayListening(int port) {
    std::lock_guard<std::mutex> lock(mutex_);
    gatewayListening_ = port;
}

int RouterState::GatewayListening() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return gatewayListening_;
}

WanView RouterState::Disconnect() {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto now = Clock::now();
    SettleLocked(now);
    up_ = false;
    redialAt_ = now + std::chrono::milliseconds(settings_.redialMs);
    return ViewLocked(now);
}

WanView RouterState::Connect() {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto now = Clock::now();
    SettleLocked(now);
    if (!up_) ComeUpLocked(now);
    return ViewLocked(now);
}

WanView RouterState::Wan() {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto now = Clock::now();
    SettleLocked(now);
    return ViewLocked(now);
}

std::optional<std::string> RouterState::OutsideAddress() {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto now = Clock::now();
    SettleLocked(now);
    if (!up_) return std::nullopt;
    return settings_.cgnat ? kCgnatPublicAddress : ViewLocked(now).ip;
}

void RouterState::HoldRedials() {
    std::lock_guard<std::mutex> lock(mutex_);
    holdRedials_ = true;
}

bool RouterState::RedialDue() {
    std::lock_guard<std::mutex> lock(mutex_);
    return !up_ && redialAt_ && Clock::now() >= *redialAt_ && WaitsForHookLocked();
}

void RouterState::FinishRedial() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!up_ && redialAt_ && Clock::now() >= *redialAt_) ComeUpLocked(*redialAt_);
}

unsigned long RouterState::NewAddresses() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return newAddresses_;
}

WanView RouterState::ViewLocked(Clock::time_point now) const {
    WanView view;
    view.up = up_;
    view.mac = kWanMac;
    if (up_) {
        view.ip = (settings_.cgnat ? kCgnatPrefix : kPublicPrefix) + std::to_string(ipHost_);
        view.mask = kUpMask;
        view.gateway = settings_.cgnat ? kCgnatGateway : kUpGateway;
        view.dns = kUpDns;
        view.onlineSeconds =
            static_cast<long>(std::chrono::duration_cast<std::chrono::seconds>(now - upSince_).count());
    } else {
        view.ip = view.mask = view.gateway = kNoAddress;
        view.dns = kNoDns;
    }
    return view;
}

Fault RouterState::TakeFault() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (requestFault_.kind == FaultKind::None) return runFault_;
    const Fault fault = requestFault_;
    if (requestFaultLeft_ > 0 && --requestFaultLeft_ == 0) requestFault_ = Fault{};
    return fault;
}

void RouterState::SetRequestFault(const Fault& fault, long count) {
    std::lock_guard<std::mutex> lock(mutex_);
    requestFault_ = fault;
    requestFaultLeft_ = fault.kind == FaultKind::None ? 0 : count;
}

void RouterState::Reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    settings_ = initial_;
    counts_ = RequestCounts{};
    lastCredentials_.clear();
    requestFault_ = Fault{};
    requestFaultLeft_ = 0;
    gatewayPort_ = initial_.upnpPort;
    gatewayBackAt_.reset();
    ComeUpLocked(Clock::now());
}

void RouterState::Configure(const std::optional<std::string>& user,
                            const std::optional<std::string>& password, std::optional<long> redialMs,
                            std::optional<bool> plainRefusal) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (user) settings_.user = *user;
    if (password) settings_.password = *password;
    if (redialMs) settings_.redialMs = *redialMs;
    if (plainRefusal) settings_.plainRefusal = *plainRefusal;
}

void RouterState::ConfigureGateway(std::optional<UpnpFault> gateway, std::optional<bool> pages,
                                   std::optional<bool> sameAddress, std::optional<bool> cgnat) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (gateway) settings_.gateway = *gateway;
    if (pages) settings_.pages = *pages;
    if (sameAddress) settings_.sameAddress = *sameAddress;
    if (cgnat) settings_.cgnat = *cgnat;
}

void RouterState::ConfigureDevices(std::optional<bool> otherIgd, std::optional<bool> renderer) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (otherIgd) settings_.otherIgd = *otherIgd;
    if (renderer) settings_.renderer = *renderer;
}

RequestCounts RouterState::Counts() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return counts_;
}
