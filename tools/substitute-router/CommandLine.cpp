#include "CommandLine.h"

#include <arpa/inet.h>

namespace {

std::optional<int> ParsePort(const std::string& text) {
    const auto value = ParseCount(text);
    if (!value || *value < 1 || *value > 65535) return std::nullopt;
    return static_cast<int>(*value);
}

}  // namespace

std::optional<bool> ParsePlainRefusal(const std::string& text) {
    if (text == "marker") return false;
    if (text == "plain") return true;
    return std::nullopt;
}

const char* UsageText() {
    return "Usage: substitute-router [options]\n"
           "Serves a home router's admin pages (login, WAN status, disconnect, connect) on port 80.\n"
           "\n"
           "  --address A         the router's own address (default 192.168.1.1)\n"
           "  --port P            web port (default 80)\n"
           "  --control-port C    control port, on the router's address (default 8081)\n"
           "  --user U            administrator user name (default admin)\n"
           "  --password P        administrator password (default lumko)\n"
           "  --redial-ms N       delay before the WAN link comes back after a disconnect (default 3000)\n"
           "  --refusal KIND      how a refusal looks: marker (a 401 page with the \"login failed\" text,\n"
           "                      default) or plain (a bare \"401 Unauthorized\" page without it)\n"
           "  --upnp KIND         the UPnP gateway (SSDP on 1900, description and SOAP on --upnp-port):\n"
           "                      off (default), on, refuse (606 to ForceTermination and "
           "RequestConnection),\n"
           "                      v2-only (an IGD v2 description), mixed-case (SSDP header names), silent,\n"
           "                      empty-address, private-address (\"Connected\" behind a modem),\n"
           "                      terminate-707, terminate-711, terminate-500, terminate-late (the link\n"
           "                      drops, ForceTermination answers so, or after 7 s), address-501\n"
           "                      (GetExternalIPAddress), odd-description (not clean XML), two-services\n"
           "                      (an idle WANIPConnection before the live WANPPPConnection),\n"
           "                      uptime-zero, never-drops (ForceTermination answers 200, the link stays)\n"
           "  --upnp-port P       the gateway's HTTP port (default 5000; each restart takes the next)\n"
           "  --other-igd-address A   another IGD on the LAN, on the same WAN link (off until asked for)\n"
           "  --renderer-address A    a media renderer answering every search (off until asked for)\n"
           "  --gateway-restart-hook CMD  /restart runs CMD public|private (another gateway's restart)\n"
           "  --redial-hook CMD   run CMD each time the link comes up with a new address (a re-dial\n"
           "                      waits for it, so what it changes is in place before the address shows)\n"
           "  --pages on|off      off: the admin pages answer 404, only UPnP is left (default on)\n"
           "  --fault KIND[:ARG]  misbehave on every request: delay[:ms] silent reset short big[:bytes]\n"
           "                      nul[:position] slow[:piece bytes] chunked\n"
           "                      trickle[:ms] (the whole answer, head included, one byte every ms)\n"
           "                      trickle-body[:ms] (the head at once, the body one byte every ms)\n"
           "                      redirect[:status] (301 302 303 307 308 to another host)\n"
           "  --help              this text\n"
           "\n"
           "Echo services at 192.0.2.10, port 80, telling the caller's public address:\n"
           "  /plain /json /sentence /shared (always 198.51.100.200) /html (no address) /silent\n"
           "  /slow (after 7 s); a connection is reset at once while the WAN link is down\n"
           "\n"
           "Control (plain HTTP GET on the control port): /reset /counts\n"
           "  /state (the WAN link, and the last credentials that came, decoded)\n"
           "  /config?user=U&password=P&redial=MS&refusal=marker|plain&upnp=KIND&pages=on|off\n"
           "          &same-address=on|off (the link comes back with the address it had)\n"
           "          &other-igd=on|off&renderer=on|off\n"
           "          &wan=public|cgnat (WAN addresses from 100.64.0.0/10, behind a carrier-grade NAT)\n"
           "  /fault?kind=K&arg=N&count=C\n"
           "  /restart?wan=public (the gateway silent for 1 s, then on the next port with a new\n"
           "          address; answered once it serves: port=P ip=A; wan=private through the hook)\n";
}

CommandLineResult ParseCommandLine(int argc, char** argv, Options& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        std::string name = argv[i];
        if (name == "--help" || name == "-h") return CommandLineResult::Help;
        std::string value;
        const auto eq = name.find('=');
        static const char* const kNames[] = {"--address",
                                             "--port",
                                             "--control-port",
                                             "--user",
                                             "--password",
                                             "--redial-ms",
                                             "--refusal",
                                             "--fault",
                                             "--upnp",
                                             "--upnp-port",
                                             "--pages",
                                             "--other-igd-address",
                                             "--renderer-address",
                                             "--gateway-restart-hook",
                                             "--redial-hook"};
        bool known = false;
        for (const char* k : kNames) known = known || name.substr(0, eq) == k;
        if (!known) {
            error = "unknown option " + name;
            return CommandLineResult::Error;
        }
        if (name.compare(0, 2, "--") == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.erase(eq);
        } else if (i + 1 < argc) {
            value = argv[++i];
        } else {
            error = "missing value for " + name;
            return CommandLineResult::Error;
        }

        if (name == "--address" || name == "--other-igd-address" || name == "--renderer-address") {
            in_addr parsed{};
            if (inet_pton(AF_INET, value.c_str(), &parsed) != 1) {
                error = "not an IPv4 address: " + value;
                return CommandLineResult::Error;
            }
            (name == "--address"             ? options.address
             : name == "--other-igd-address" ? options.otherIgdAddress
                                             : options.rendererAddress) = value;
        } else if (name == "--gateway-restart-hook") {
            options.restartHook = value;
        } else if (name == "--redial-hook") {
            options.redialHook = value;
        } else if (name == "--port" || name == "--control-port" || name == "--upnp-port") {
            const auto port = ParsePort(value);
            if (!port) {
                error = "bad port for " + name + ": " + value;
                return CommandLineResult::Error;
            }
            (name == "--port"        ? options.port
             : name == "--upnp-port" ? options.settings.upnpPort
                                     : options.controlPort) = *port;
        } else if (name == "--upnp") {
            const auto gateway = ParseUpnpFault(value);
            if (!gateway) {
                error = "bad upnp: " + value;
                return CommandLineResult::Error;
            }
            options.settings.gateway = *gateway;
        } else if (name == "--pages") {
            if (value != "on" && value != "off") {
                error = "bad pages: " + value;
                return CommandLineResult::Error;
            }
            options.settings.pages = value == "on";
        } else if (name == "--user") {
            options.settings.user = value;
        } else if (name == "--password") {
            options.settings.password = value;
        } else if (name == "--redial-ms") {
            const auto ms = ParseCount(value);
            if (!ms || *ms > kMaxRedialMs) {
                error = "bad re-dial delay: " + value;
                return CommandLineResult::Error;
            }
            options.settings.redialMs = *ms;
        } else if (name == "--refusal") {
            const auto plain = ParsePlainRefusal(value);
            if (!plain) {
                error = "bad refusal: " + value;
                return CommandLineResult::Error;
            }
            options.settings.plainRefusal = *plain;
        } else if (name == "--fault") {
            const auto fault = ParseFault(value);
            if (!fault) {
                error = "bad fault: " + value;
                return CommandLineResult::Error;
            }
            options.runFault = *fault;
        }
    }
    const int upnpPort = options.settings.upnpPort;
    if (options.port == options.controlPort || upnpPort == options.port || upnpPort == options.controlPort) {
        error = "the web, control and upnp ports must differ";
        return CommandLineResult::Error;
    }
    return CommandLineResult::Run;
}
