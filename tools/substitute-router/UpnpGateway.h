#pragma once
// The router's UPnP Internet Gateway Device, answering without a password as most home
// routers do: SSDP searches on port 1900 and, on its own HTTP port, the device description
// and the SOAP actions of its WAN connection service, on the same WAN link as the pages.
// Beside it, at their own addresses on the LAN, two other devices that answer searches:
// another IGD on the same WAN link, and a media renderer.
#include <string>
#include <vector>

class ConnectionThreads;
class RouterState;
class StopSignal;

enum class UpnpDevice { Gateway, OtherIgd, Renderer };

struct UpnpContext {
    RouterState& state;
    UpnpDevice device;
    std::string address;  // where the device serves
    int httpPort;         // the other devices' port; the gateway's is the state's
    const StopSignal& stop;
};

// A device that answers searches, and the socket its answers leave from.
struct SsdpResponder {
    const UpnpContext* device;
    int fd;
};

// The SSDP socket: port 1900 of every address, in the multicast group on the router's
// interface. -1 and a message on failure.
int OpenSsdpSocket(const std::string& routerAddress, std::string& error);
// Answers M-SEARCHes that arrive on fd for each device, until the router stops.
void AnswerSsdpSearches(int fd, const std::vector<SsdpResponder>& devices);
// Serves one connection on a device's HTTP port: the description or one SOAP action.
void ServeUpnpConnection(int fd, const UpnpContext& context);
// The gateway's HTTP port, starting with the open listener firstFd: closed while the gateway
// restarts and opened again on its new port, until the router stops.
void ServeGateway(int firstFd, const UpnpContext& gateway, ConnectionThreads& threads);
