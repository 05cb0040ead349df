#include "UpnpSession.h"

#include "IntegerText.h"

namespace {

// The generic "Action Failed" of UPnP: an error answer that holds no readable fault.
constexpr int kActionFailed = 501;
constexpr int kHttpOk = 200;

}  // namespace

UpnpEnd UpnpSession::Find(const std::string& gatewayAddress) {
    control_.reset();
    const SsdpSearch search = transport_.SearchGateways(gatewayAddress);
    if (search.givenUp) return UpnpEnd::GivenUp;
    const std::optional<std::string> location = ChooseDescription(search.answers, gatewayAddress);
    const std::optional<HttpUrl> descriptionUrl = location ? SplitHttpUrl(*location) : std::nullopt;
    if (!descriptionUrl) return UpnpEnd::Silent;
    const PageAnswer description = transport_.GetDescription(*descriptionUrl);
    if (description.givenUp) return UpnpEnd::GivenUp;
    if (!description.answered || description.status != kHttpOk) return UpnpEnd::Silent;
    // A device may list a service type it does not serve: the first that answers is taken.
    for (const WanService& service : ReadWanServices(description.text, *location)) {
        const std::optional<HttpUrl> control = SplitHttpUrl(service.controlUrl);
        if (!control) continue;
        const PageAnswer answer =
            transport_.PostSoap(*control, MakeSoapRequest(service.serviceType, "GetStatusInfo"));
        if (answer.givenUp) return UpnpEnd::GivenUp;
        if (answer.answered && answer.status == kHttpOk && ReadSoapResponse(answer.text, "GetStatusInfo")) {
            serviceType_ = service.serviceType;
            control_ = control;
            return UpnpEnd::Done;
        }
    }
    return UpnpEnd::Silent;
}

UpnpReply UpnpSession::Status(UpnpStatus& status) {
    std::optional<XmlElement> info;
    const UpnpReply infoReply = Act("GetStatusInfo", &info);
    if (infoReply.end != UpnpEnd::Done) return infoReply;
    std::optional<XmlElement> external;
    const UpnpReply externalReply = Act("GetExternalIPAddress", &external);
    if (externalReply.end != UpnpEnd::Done) return externalReply;
    status.connectionStatus = TrimBlanks(info->ChildText("NewConnectionStatus"));
    status.address = TrimBlanks(external->ChildText("NewExternalIPAddress"));
    const std::optional<std::int32_t> uptime = ParseInteger(TrimBlanks(info->ChildText("NewUptime")));
    status.uptimeSeconds.reset();
    if (uptime && *uptime >= 0) status.uptimeSeconds = static_cast<std::uint32_t>(*uptime);
    return infoReply;
}

UpnpReply UpnpSession::Act(const char* action, std::optional<XmlElement>* response) {
    if (!control_) return {};
    const PageAnswer answer = transport_.PostSoap(*control_, MakeSoapRequest(serviceType_, action));
    if (answer.givenUp) return {UpnpEnd::GivenUp, 0};
    if (!answer.answered) return {};
    if (answer.status == kHttpOk) {
        if (!response) return {UpnpEnd::Done, 0};
        *response = ReadSoapResponse(answer.text, action);
        if (*response) return {UpnpEnd::Done, 0};
    }
    const std::optional<SoapFault> fault = ReadSoapFault(answer.text);
    return {UpnpEnd::Fault, fault ? fault->code : kActionFailed};
}
