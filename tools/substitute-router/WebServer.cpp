#include "WebServer.h"

#include "AnswerDelivery.h"
#include "Base64.h"
#include "EchoService.h"
#include "HttpRequest.h"
#include "RouterPages.h"
#include "RouterState.h"
#include "SocketIo.h"
#include "StopSignal.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The four pages, matched on the exact request target the program sends.
constexpr const char* kLoginTarget = "/userRpm/Index.htm";
constexpr const char* kStatusTarget = "/userRpm/StatusRpm.htm";
constexpr const char* kDisconnectTarget = "/userRpm/StatusRpm.htm?Disconnect=%B6%CF%20%CF%DF&wan=1";
constexpr const char* kConnectTarget = "/userRpm/StatusRpm.htm?Connect=%C1%AC%20%BD%D3&wan=1";

constexpr const char* kRealm = "Basic realm=\"Pelorin Router\"";

// Where the redirect fault sends a client: another host, from a documentation range, so it
// is nobody's real address; inside the rig a client that follows it lands on port 80 here
// and shows in the foreign count.
constexpr const char* kRedirectLocation = "http://198.51.100.80/userRpm/StatusRpm.htm";

// A kept-alive connection may idle this long between requests; a request once begun must
// keep coming at least this often.
constexpr int kIdleMs = 60000;
constexpr int kPartMs = 10000;

Route RouteOf(const std::string& target) {
    if (target == kLoginTarget) return Route::Login;
    if (target == kStatusTarget) return Route::Status;
    if (target == kDisconnectTarget) return Route::Disconnect;
    if (target == kConnectTarget) return Route::Connect;
    return Route::Other;
}

std::string LocalAddress(int fd) {
    sockaddr_in local{};
    socklen_t size = sizeof local;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &size) != 0 || local.sin_family != AF_INET) {
        return "";
    }
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &local.sin_addr, text, sizeof text);
    return text;
}

// Basic credentials must match byte for byte; user names have no colon, passwords may.
bool Authorised(const HttpRequest& request, RouterState& state) {
    const std::string* value = request.Header("Authorization");
    if (!value || value->size() < 6 || !EqualsIgnoringCase(value->substr(0, 5), "Basic") ||
        (*value)[5] != ' ') {
        return false;
    }
    const auto start = value->find_first_not_of(' ', 5);
    if (start == std::string::npos) return false;
    const auto decoded = DecodeBase64(value->substr(start));
    if (!decoded) return false;
    state.NoteCredentials(*decoded);
    const auto colon = decoded->find(':');
    if (colon == std::string::npos) return false;
    return state.AcceptsCredentials(decoded->substr(0, colon), decoded->substr(colon + 1));
}

HttpResponse Page(const std::string& body) {
    HttpResponse response;
    response.body = body;
    return response;
}

const char* RedirectReason(int status) {
    switch (status) {
    case 301: return "Moved Permanently";
    case 303: return "See Other";
    case 307: return "Temporary Redirect";
    case 308: return "Permanent Redirect";
    default: return "Found";
    }
}

// Sent before any check of the credentials, as a router that has moved its pages would.
HttpResponse Redirect(int status) {
    HttpResponse moved;
    moved.status = status;
    moved.reason = RedirectReason(status);
    moved.extraHeaders.emplace_back("Location", kRedirectLocation);
    moved.body = MovedPage(kRedirectLocation);
    return moved;
}

HttpResponse NotFound(const std::string& body) {
    HttpResponse response;
    response.status = 404;
    response.reason = "Not Found";
    response.body = body;
    return response;
}

// Carries out what the request asks and builds the answer the router would send.
HttpResponse AnswerFor(const HttpRequest& request, Route route, const Fault& fault,
                       const WebContext& context) {
    RouterState& state = context.state;
    // Pages switched off: a router that speaks UPnP alone, whose web server knows none of them.
    if (route == Route::Other || !state.PagesOn()) return NotFound(NotFoundPage());
    if (fault.kind == FaultKind::Redirect) return Redirect(static_cast<int>(fault.arg));

    if (!Authorised(request, state)) {
        state.CountUnauthorized();
        HttpResponse refused;
        refused.status = 401;
        refused.reason = "Unauthorized";
        refused.extraHeaders.emplace_back("WWW-Authenticate", kRealm);
        if (state.RefusesPlainly()) {
            refused.contentType = "text/plain";
            refused.body = PlainRefusedPage();
        } else {
            refused.body = RefusedPage();
        }
        return refused;
    }

    HttpResponse response;
    if (route == Route::Login) {
        response = Page(LoginPage());
    } else {
        // Disconnect and connect answer with the status page as it stands right after them.
        const WanView wan = route == Route::Disconnect ? state.Disconnect()
                            : route == Route::Connect  ? state.Connect()
                                                       : state.Wan();
        response = Page(StatusPage(wan, context.routerAddress));
    }
    if (fault.kind == FaultKind::Big) response.body = FillerBody(static_cast<std::size_t>(fault.arg));
    return response;
}

}  // namespace

void ServeWebConnection(int fd, const WebContext& context) {
    const StopSignal& stop = context.stop;
    // Traffic the PC meant for some other host reaches us too; it is counted and turned away,
    // but for the echo services, which answer as they would on the internet.
    const std::string local = LocalAddress(fd);
    if (local == kEchoAddress) {
        ServeEchoConnection(fd, context.state, stop);
        return;
    }
    const bool foreign = local != context.routerAddress;
    RequestReader reader(fd);
    for (;;) {
        HttpRequest request;
        const ReadResult read = reader.Read(request, stop, kIdleMs, kPartMs);
        if (read == ReadResult::Malformed) {
            HttpResponse bad;
            bad.status = 400;
            bad.reason = "Bad Request";
            bad.body = "400 Bad Request\r\n";
            SendAll(fd, ResponseHead(bad, false, BodyFraming::ContentLength) + bad.body, stop);
            CloseGracefully(fd, stop);
            return;
        }
        if (read != ReadResult::Ok) {
            close(fd);
            return;
        }

        const bool headOnly = request.method == "HEAD";
        const bool keepAlive = request.KeepAlive();
        if (foreign) {
            context.state.Count(Route::Foreign);
            // Faults are orders for the router's own pages; traffic for other hosts never takes them.
            HttpResponse elsewhere = NotFound(ForeignPage());
            elsewhere.contentType = "text/plain";
            const AfterAnswer after = DeliverAnswer(fd, elsewhere, Fault{}, headOnly, keepAlive, stop);
            if (after == AfterAnswer::KeepOpen) continue;
            if (after == AfterAnswer::Close) CloseGracefully(fd, stop);
            return;
        }

        // Counted on arrival, so a delayed or unanswered request shows in the counts at once.
        const Route route = RouteOf(request.target);
        context.state.Count(route);
        const Fault fault = context.state.TakeFault();
        if (fault.kind == FaultKind::Delay && !stop.SleepFor(static_cast<int>(fault.arg))) {
            close(fd);
            return;
        }
        HttpResponse response = AnswerFor(request, route, fault, context);
        if (fault.kind == FaultKind::Nul && static_cast<std::size_t>(fault.arg) < response.body.size()) {
            response.body[static_cast<std::size_t>(fault.arg)] = '\0';
        }
        if (fault.kind == FaultKind::Silent) {
            StaySilent(fd, stop);
            return;
        }
        if (fault.kind == FaultKind::Reset) {
            CloseWithReset(fd);
            return;
        }
        const AfterAnswer after = DeliverAnswer(fd, response, fault, headOnly, keepAlive, stop);
        if (after == AfterAnswer::KeepOpen) continue;
        if (after == AfterAnswer::Close) CloseGracefully(fd, stop);
        return;
    }
}
