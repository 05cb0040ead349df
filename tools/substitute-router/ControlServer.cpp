#include "ControlServer.h"

#include "CommandLine.h"
#include "HookRunner.h"
#include "HttpRequest.h"
#include "HttpResponse.h"
#include "QueryText.h"
#include "RouterState.h"
#include "SocketIo.h"
#include "StopSignal.h"

#include <unistd.h>

#include <optional>

namespace {

constexpr int kReadMs = 5000;
// A restarting gateway is silent this long, as a home router's UPnP service is while it restarts.
constexpr long kRestartSilenceMs = 1000;
// Beyond the silence, how long the gateway or the hook may take to serve again.
constexpr int kRestartSlackMs = 3000;

struct Answer {
    int status;
    std::string text;
};

Answer Bad(const std::string& why) { return {400, "error: " + why + "\n"}; }

std::string EchoCountsText(const RequestCounts& c) {
    static const char* const kNames[] = {"plain", "json", "sentence", "silent",
                                         "slow",  "html", "shared",   "down"};
    static_assert(sizeof kNames / sizeof *kNames == static_cast<int>(EchoPath::Count));
    std::string text;
    for (int i = 0; i < static_cast<int>(EchoPath::Count); ++i) {
        text += std::string("echo-") + kNames[i] + "=" + std::to_string(c.echo[i]) + "\n";
    }
    return text;
}

std::string CountsText(const RequestCounts& c) {
    return "login=" + std::to_string(c.login) + "\nstatus=" + std::to_string(c.status) +
           "\ndisconnect=" + std::to_string(c.disconnect) + "\nconnect=" + std::to_string(c.connect) +
           "\nother=" + std::to_string(c.other) + "\nforeign=" + std::to_string(c.foreign) +
           "\ndns=" + std::to_string(c.dns) + "\ndns-echo=" + std::to_string(c.dnsEcho) +
           "\nunauthorized=" + std::to_string(c.unauthorized) + "\nssdp=" + std::to_string(c.ssdp) +
           "\nsoap=" + std::to_string(c.soap) + "\n" + EchoCountsText(c);
}

std::string StateText(const WanView& wan) {
    return std::string("wan=") + (wan.up ? "up" : "down") + "\nip=" + wan.ip +
           "\nonline=" + std::to_string(wan.onlineSeconds) + "\n";
}

Answer Configure(const std::map<std::string, std::string>& query, RouterState& state) {
    std::optional<std::string> user, password;
    std::optional<long> redial;
    std::optional<bool> plainRefusal, pages, sameAddress, otherIgd, renderer, cgnat;
    std::optional<UpnpFault> gateway;
    for (const auto& [name, value] : query) {
        if (name == "user") {
            user = value;
        } else if (name == "password") {
            password = value;
        } else if (name == "redial") {
            redial = ParseCount(value);
            if (!redial || *redial > kMaxRedialMs) return Bad("bad redial: " + value);
        } else if (name == "refusal") {
            plainRefusal = ParsePlainRefusal(value);
            if (!plainRefusal) return Bad("bad refusal: " + value);
        } else if (name == "upnp") {
            gateway = ParseUpnpFault(value);
            if (!gateway) return Bad("bad upnp: " + value);
        } else if (name == "wan") {
            if (value != "public" && value != "cgnat") return Bad("bad wan: " + value);
            cgnat = value == "cgnat";
        } else if (name == "pages" || name == "same-address" || name == "other-igd" || name == "renderer") {
            if (value != "on" && value != "off") return Bad("bad " + name + ": " + value);
            (name == "pages"          ? pages
             : name == "same-address" ? sameAddress
             : name == "other-igd"    ? otherIgd
                                      : renderer) = value == "on";
        } else {
            return Bad("unknown setting: " + name);
        }
    }
    state.Configure(user, password, redial, plainRefusal);
    state.ConfigureGateway(gateway, pages, sameAddress, cgnat);
    state.ConfigureDevices(otherIgd, renderer);
    return {200, "ok"};
}

// Answered once the gateway serves again, so that the caller knows since when.
Answer Restart(const std::map<std::string, std::string>& query, RouterState& state, const std::string& hook,
               const StopSignal& stop) {
    std::string wan = "public";
    for (const auto& [name, value] : query) {
        if (name != "wan") return Bad("unknown restart parameter: " + name);
        wan = value;
    }
    if (!hook.empty()) {
        if (wan != "public" && wan != "private") return Bad("bad wan: " + wan);
        const std::optional<std::string> told =
            RunHook(hook, {wan}, kRestartSilenceMs + kRestartSlackMs, stop);
        return told ? Answer{200, *told} : Answer{500, "error: the gateway did not come back\n"};
    }
    // The gateway here has only the public side; "private" is another kind (private-address).
    if (wan != "public") return Bad("bad wan: " + wan);
    const int port = state.RestartGateway(kRestartSilenceMs);
    // The link may wait for the re-dial hook a moment longer than the gateway's port.
    for (int waited = 0; state.GatewayListening() != port || !state.Wan().up; waited += 20) {
        if (waited > kRestartSilenceMs + kRestartSlackMs || !stop.SleepFor(20))
            return {500, "error: the gateway did not come back\n"};
    }
    return {200, "port=" + std::to_string(port) + "\nip=" + state.Wan().ip + "\n"};
}

Answer OrderFault(const std::map<std::string, std::string>& query, RouterState& state) {
    for (const auto& entry : query) {
        if (entry.first != "kind" && entry.first != "arg" && entry.first != "count") {
            return Bad("unknown fault parameter: " + entry.first);
        }
    }
    const auto kind = query.find("kind");
    if (kind == query.end()) return Bad("kind missing");
    const auto arg = query.find("arg");
    const auto fault = MakeFault(kind->second, arg == query.end() ? "" : arg->second);
    if (!fault) return Bad("bad fault: " + kind->second);
    long count = 0;
    if (const auto c = query.find("count"); c != query.end() && !c->second.empty()) {
        const auto parsed = ParseCount(c->second);
        if (!parsed) return Bad("bad count: " + c->second);
        count = *parsed;
    }
    state.SetRequestFault(*fault, count);
    return {200, "ok"};
}

Answer AnswerFor(const std::string& target, RouterState& state, const std::string& restartHook,
                 const StopSignal& stop) {
    const TargetParts split = SplitTarget(target);
    const auto query = ParseQuery(split.query);
    if (split.path == "/reset") {
        state.Reset();
        return {200, "ok"};
    }
    if (split.path == "/counts") return {200, CountsText(state.Counts())};
    if (split.path == "/state") {
        return {200, StateText(state.Wan()) + "credentials=" + state.LastCredentials() + "\n"};
    }
    if (split.path == "/config") return Configure(query, state);
    if (split.path == "/fault") return OrderFault(query, state);
    if (split.path == "/restart") return Restart(query, state, restartHook, stop);
    return {404, "unknown: " + split.path + "\n"};
}

}  // namespace

void ServeControlConnection(int fd, RouterState& state, const std::string& restartHook,
                            const StopSignal& stop) {
    RequestReader reader(fd);
    HttpRequest request;
    const ReadResult read = reader.Read(request, stop, kReadMs, kReadMs);
    if (read != ReadResult::Ok) {
        // Also the path of a bare connect-and-close, as used to see whether the router is up.
        close(fd);
        return;
    }
    const Answer answer = AnswerFor(request.target, state, restartHook, stop);
    HttpResponse response;
    response.status = answer.status;
    response.reason = answer.status == 200   ? "OK"
                      : answer.status == 404 ? "Not Found"
                      : answer.status == 500 ? "Internal Server Error"
                                             : "Bad Request";
    response.contentType = "text/plain";
    response.body = answer.text;
    const bool headOnly = request.method == "HEAD";
    SendAll(fd, ResponseHead(response, false, BodyFraming::ContentLength) + (headOnly ? "" : response.body),
            stop);
    CloseGracefully(fd, stop);
}
