#pragma once
#include "IpChangeWatch.h"
#include "UpnpTransport.h"

#include <optional>
#include <string>

// How one exchange with the gateway ended. `Fault` is any answer that is not the action's
// success: a SOAP fault, an error status without one, or a 200 that holds no answer to the
// action.
enum class UpnpEnd { Done, Fault, Silent, GivenUp };

struct UpnpReply {
    UpnpEnd end = UpnpEnd::Silent;
    int faultCode = 0;   // with Fault: the UPnP error code, 0 when the answer holds none
    int httpStatus = 0;  // with Fault: the answer's HTTP status
};

// The box text for a fault (GBK): the UPnP error with what it means, else the HTTP status,
// else that the answer could not be read.
std::string FaultText(const UpnpReply& reply);

// What GetStatusInfo and GetExternalIPAddress said, as the window shows it.
struct UpnpStatus {
    std::string connectionStatus;
    std::string address;
    std::optional<std::uint32_t> uptimeSeconds;
};

// The gateway's WAN connection service, once found, and the four actions the program sends
// it. Nothing here carries credentials: the transport has no way to send any.
class UpnpSession {
public:
    explicit UpnpSession(UpnpTransport& transport) : transport_(transport) {}

    // Searches from the adapter that holds `gatewayAddress` and asks every WAN service of a
    // description for its status: the gateway's own descriptions first; another host's only
    // when none of the gateway's has a service that answers and that host is the only other
    // one whose has. Of a description's services, one connected with an address is taken, else one
    // connected, else the first that answered. Done when one is found; Silent when none is;
    // GivenUp for the program's sake. A search that finds none forgets the gateway found before.
    UpnpEnd Find(const std::string& gatewayAddress);
    bool Found() const { return service_.has_value(); }
    void Forget() {
        service_.reset();
        foreignHost_.clear();
    }
    // The host of the found service's description when it is not the gateway asked for (a
    // mesh node, a second router); empty otherwise.
    const std::string& ForeignHost() const { return foreignHost_; }
    // Where the found service takes its actions, to tell a service that moved: its control
    // URL's host, port and path; empty when none is found.
    std::string ControlPlace() const;

    // GetStatusInfo: the connection status and the uptime.
    UpnpReply StatusInfo(UpnpStatus& status);
    // GetExternalIPAddress: the address. A fault is an answer as well: Done, the address empty.
    UpnpReply ExternalAddress(UpnpStatus& status);
    UpnpReply ForceTermination() { return Act("ForceTermination", nullptr); }
    UpnpReply RequestConnection() { return Act("RequestConnection", nullptr); }

private:
    struct Service {
        std::string serviceType;
        HttpUrl control;
        std::string descriptionHost;
    };
    // The service of the description at `location` to take, if one answers.
    UpnpEnd LiveService(const std::string& location, std::optional<Service>& live);
    UpnpReply Ask(const Service& service, const char* action, std::optional<XmlElement>* response);
    UpnpReply Act(const char* action, std::optional<XmlElement>* response);

    UpnpTransport& transport_;
    std::optional<Service> service_;
    std::string foreignHost_;
};
