#pragma once
// Everything the router remembers: its login, the WAN link, the request counts and the
// faults it has been told to show. Shared by all connection threads behind one mutex.
#include "Fault.h"

#include <chrono>
#include <mutex>
#include <optional>
#include <string>

struct RouterSettings {
  std::string user = "admin";
  std::string password = "lumko";
  long redialMs = 3000;
};

// What a request was, for the counts.
enum class Route { Login, Status, Disconnect, Connect, Other, Foreign, Dns };

struct RequestCounts {
  unsigned long login = 0, status = 0, disconnect = 0, connect = 0;
  unsigned long other = 0, foreign = 0, dns = 0, unauthorized = 0;
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

  void count(Route route);
  void countUnauthorized();
  bool acceptsCredentials(const std::string& user, const std::string& password) const;

  // Drops the link now; it dials again by itself after the re-dial delay. Returns the link
  // as it is right after the drop, whatever the delay.
  WanView disconnect();
  // Dials now when the link is down; nothing when it is up. Returns the link afterwards.
  WanView connect();
  WanView wan();

  // The fault for the request that has just arrived on port 80.
  Fault takeFault();
  // count 0: every request until reset; kind None clears.
  void setRequestFault(const Fault& fault, long count);

  // Back to the state of a fresh start, with a new public address.
  void reset();
  void configure(const std::optional<std::string>& user, const std::optional<std::string>& password,
                 std::optional<long> redialMs);

  RequestCounts counts() const;

private:
  void comeUpLocked(Clock::time_point since);
  void settleLocked(Clock::time_point now);
  WanView viewLocked(Clock::time_point now) const;

  mutable std::mutex mutex_;
  const RouterSettings initial_;
  const Fault runFault_;
  RouterSettings settings_;
  RequestCounts counts_;

  bool up_ = false;
  int ipHost_ = 0;  // last octet of the current public address
  int nextIpHost_;
  Clock::time_point upSince_;
  std::optional<Clock::time_point> redialAt_;

  Fault requestFault_;
  long requestFaultLeft_ = 0;  // 0 with a fault set: no limit
};
