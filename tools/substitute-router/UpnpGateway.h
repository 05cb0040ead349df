#pragma once
// The router's UPnP Internet Gateway Device, answering without a password as most home
// routers do: SSDP searches on port 1900 and, on its own HTTP port, the device description
// and the SOAP actions of its WAN IP connection service, on the same WAN link as the pages.
#include <string>

class RouterState;
class StopSignal;

struct UpnpContext {
    RouterState& state;
    std::string routerAddress;
    int httpPort;
    const StopSignal& stop;
};

// The SSDP socket: port 1900 of every address, in the multicast group on the router's
// interface. -1 and a message on failure.
int OpenSsdpSocket(const std::string& routerAddress, std::string& error);
// Answers M-SEARCHes for the gateway's device and service types until the router stops.
void AnswerSsdpSearches(int fd, const UpnpContext& context);
// Serves one connection on the gateway's HTTP port: the description or one SOAP action.
void ServeUpnpConnection(int fd, const UpnpContext& context);
