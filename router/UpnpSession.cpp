#include "UpnpSession.h"

#include "Concat.h"
#include "IntegerText.h"

#include <algorithm>
#include <utility>
#include <vector>

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
    Forget();
    const SsdpSearch search = transport_.SearchGateways(gatewayAddress);
    if (search.givenUp) return UpnpEnd::GivenUp;
    std::optional<Service> taken;
    for (const DescriptionHost& host : DescriptionHosts(search.answers, gatewayAddress)) {
        std::optional<Service> live;
        for (const std::string& location : host.locations) {
            if (LiveService(location, live) == UpnpEnd::GivenUp) return UpnpEnd::GivenUp;
            if (live) break;
        }
        if (!live) continue;
        // Two other hosts with a live link (a second router, a modem): neither is known to be ours.
        if (taken) return UpnpEnd::Silent;
        taken = std::move(live);
        if (host.gateway) break;
    }
    if (!taken) return UpnpEnd::Silent;
    if (taken->descriptionHost != gatewayAddress) foreignHost_ = taken->descriptionHost;
    service_ = std::move(taken);
    return UpnpEnd::Done;
}

UpnpEnd UpnpSession::LiveService(const std::string& location, std::optional<Service>& live) {
    const std::optional<HttpUrl> url = SplitHttpUrl(location);
    if (!url) return UpnpEnd::Silent;
    const PageAnswer description = transport_.GetDescription(*url);
    if (description.givenUp) return UpnpEnd::GivenUp;
    if (!description.answered || description.status != kHttpOk) return UpnpEnd::Silent;
    // Every service is asked: an idle WANIPConnection may come before the live WANPPPConnection,
    // and a device may list a type it does not serve.
    std::vector<std::pair<Service, bool>> answered;  // with whether it is connected
    for (const WanService& listed : ReadWanServices(description.text, location)) {
        const std::optional<HttpUrl> control = SplitHttpUrl(listed.controlUrl);
        if (!control) continue;
        Service service{listed.serviceType, *control, url->host};
        std::optional<XmlElement> info;
        const UpnpEnd end = Ask(service, "GetStatusInfo", &info).end;
        if (end == UpnpEnd::GivenUp) return end;
        if (end != UpnpEnd::Done) continue;
        answered.emplace_back(std::move(service),
                              TrimBlanks(info->ChildText("NewConnectionStatus")) == "Connected");
    }
    if (answered.empty()) return UpnpEnd::Silent;
    const auto connected = [](const std::pair<Service, bool>& service) { return service.second; };
    auto chosen = std::find_if(answered.begin(), answered.end(), connected);
    if (chosen == answered.end()) chosen = answered.begin();
    // Only between two connected services does the address decide: one needs no more requests.
    if (std::count_if(answered.begin(), answered.end(), connected) > 1) {
        for (auto candidate = chosen; candidate != answered.end(); ++candidate) {
            if (!candidate->second) continue;
            std::optional<XmlElement> external;
            const UpnpEnd end = Ask(candidate->first, "GetExternalIPAddress", &external).end;
            if (end == UpnpEnd::GivenUp) return end;
            if (end == UpnpEnd::Done &&
                UpnpConnected("Connected", external->ChildText("NewExternalIPAddress"))) {
                chosen = candidate;
                break;
            }
        }
    }
    live = std::move(chosen->first);
    return UpnpEnd::Done;
}

std::string UpnpSession::ControlPlace() const {
    if (!service_) return {};
    const HttpUrl& control = service_->control;
    return Concat({control.host, ":", DecimalText(control.port), control.path});
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
    if (!service_) return {};
    return Ask(*service_, action, response);
}

UpnpReply UpnpSession::Ask(const Service& service, const char* action, std::optional<XmlElement>* response) {
    const PageAnswer answer =
        transport_.PostSoap(service.control, MakeSoapRequest(service.serviceType, action));
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
