#include "UpnpSession.h"

#include "Concat.h"
#include "IntegerText.h"

namespace {

constexpr int kHttpOk = 200;

}  // namespace

std::string FaultText(const UpnpReply& reply) {
    if (reply.faultCode != 0) return SoapFaultText(reply.faultCode);
    if (reply.httpStatus != kHttpOk)
        return Concat({"路由器拒绝了此操作（HTTP ", DecimalText(reply.httpStatus), "）。"});
    return "路由器的回答无法识别。";
}

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

UpnpReply UpnpSession::StatusInfo(UpnpStatus& status) {
    std::optional<XmlElement> info;
    const UpnpReply reply = Act("GetStatusInfo", &info);
    if (reply.end != UpnpEnd::Done) return reply;
    status.connectionStatus = TrimBlanks(info->ChildText("NewConnectionStatus"));
    const std::optional<std::int32_t> uptime = ParseInteger(TrimBlanks(info->ChildText("NewUptime")));
    status.uptimeSeconds.reset();
    if (uptime && *uptime >= 0) status.uptimeSeconds = static_cast<std::uint32_t>(*uptime);
    return reply;
}

UpnpReply UpnpSession::ExternalAddress(UpnpStatus& status) {
    std::optional<XmlElement> external;
    const UpnpReply reply = Act("GetExternalIPAddress", &external);
    if (reply.end == UpnpEnd::Fault) {
        status.address.clear();
        return {UpnpEnd::Done};
    }
    if (reply.end == UpnpEnd::Done) status.address = TrimBlanks(external->ChildText("NewExternalIPAddress"));
    return reply;
}

UpnpReply UpnpSession::Act(const char* action, std::optional<XmlElement>* response) {
    if (!control_) return {};
    const PageAnswer answer = transport_.PostSoap(*control_, MakeSoapRequest(serviceType_, action));
    if (answer.givenUp) return {UpnpEnd::GivenUp, 0};
    if (!answer.answered) return {};
    // A 200 counts only with the action's own answer in it: some stacks answer 200 with a page.
    std::optional<XmlElement> read;
    if (answer.status == kHttpOk) read = ReadSoapResponse(answer.text, action);
    if (read) {
        if (response) *response = std::move(read);
        return {UpnpEnd::Done};
    }
    const std::optional<SoapFault> fault = ReadSoapFault(answer.text);
    return {UpnpEnd::Fault, fault ? fault->code : 0, answer.status};
}
