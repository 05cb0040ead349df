#pragma once
#include "RouterAccess.h"
#include "UpnpSession.h"

#include <cstdint>
#include <optional>

class RouterControl;

// A UPnP Internet Gateway Device: found by a search, its WAN connection service asked for
// the status, the address and the uptime (nothing else: no MAC, mask, gateway or DNS), and
// told to drop and dial the link. No credentials go to it.
class UpnpWay : public RouterAccess {
public:
    UpnpWay(RouterControl& control, UpnpTransport& transport) : control_(control), session_(transport) {}

    RouterWay Kind() const override { return RouterWay::Upnp; }
    void Login() override;
    StatusRead ReadStatus() override;
    CommandAnswer Command(bool disconnect) override;
    CommandAnswer TimedDisconnect() override;
    void Redial() override;
    std::string WayLine() const override;

    // The search behind the automatic choice: Done when a gateway answers.
    UpnpEnd Find(const std::string& gatewayAddress) { return session_.Find(gatewayAddress); }
    // The window once the gateway is the way: logged in, with its mark.
    void ShowLoggedIn(bool byLogin);

private:
    static CommandAnswer Taken(const UpnpReply& reply, bool disconnect);
    CommandAnswer Send(bool disconnect);
    bool FindGateway(bool byCommand);
    // The found service fell silent: a restarted router serves on another port, maybe with
    // another address, so it is searched for again.
    void Lost();

    RouterControl& control_;
    UpnpSession session_;
    int silentPolls_ = 0;  // in a row, from the found service
    bool lost_ = false;    // searched for again every 10 s, not every minute, until found
    bool shown_ = false;   // the window says the router is reached by UPnP
    UpnpStatus status_;    // as last read
    std::optional<std::uint64_t> addressReadAt_;
};
