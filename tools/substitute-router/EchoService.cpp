#include "EchoService.h"

#include "AnswerDelivery.h"
#include "HttpRequest.h"
#include "QueryText.h"
#include "RouterPages.h"
#include "RouterState.h"
#include "SocketIo.h"
#include "StopSignal.h"

#include <unistd.h>

#include <cctype>
#include <optional>

namespace {

constexpr int kIdleMs = 60000;
constexpr int kPartMs = 10000;
// Longer than the program's 5 s deadline for a request.
constexpr int kSlowMs = 7000;

std::optional<EchoPath> PathOf(const HttpRequest& request) {
    static const struct {
        const char* path;
        EchoPath echo;
    } kPaths[] = {{"/plain", EchoPath::Plain},   {"/json", EchoPath::Json}, {"/sentence", EchoPath::Sentence},
                  {"/silent", EchoPath::Silent}, {"/slow", EchoPath::Slow}, {"/html", EchoPath::Html},
                  {"/shared", EchoPath::Shared}};
    const std::string path = SplitTarget(request.target).path;
    for (const auto& entry : kPaths) {
        if (path == entry.path) return entry.echo;
    }
    // The services as the program knows them: each at the root of its own name.
    const std::string* host = request.Header("Host");
    if (path != "/" || !host) return std::nullopt;
    return EchoPathForHost(host->substr(0, host->find(':')));
}

HttpResponse Answer(const char* contentType, const std::string& body) {
    HttpResponse response;
    response.contentType = contentType;
    response.body = body;
    return response;
}

// address: the one the caller is seen to come from.
HttpResponse EchoAnswer(EchoPath path, const std::string& address) {
    switch (path) {
    case EchoPath::Json: return Answer("application/json", "{\"ip\":\"" + address + "\",\"country\":\"CN\"}");
    // u8: every other narrow literal of this program is turned into GBK.
    case EchoPath::Sentence:
        return Answer("text/plain; charset=utf-8",
                      std::string(u8"当前 IP：") + address + u8"  来自于：中国 北京 电信\n");
    case EchoPath::Html:
        // No dotted number anywhere, not even a version: the caller must find no address here.
        return Answer("text/html; charset=utf-8",
                      "<!DOCTYPE html>\n<html><head><title>Welcome</title></head>\n"
                      "<body><h1>Welcome</h1><p>Nothing to see here.</p></body></html>\n");
    case EchoPath::Shared: return Answer("text/plain", std::string(kCgnatPublicAddress) + "\n");
    default: return Answer("text/plain", address + "\n");
    }
}

}  // namespace

std::optional<EchoPath> EchoPathForHost(std::string host) {
    if (!host.empty() && host.back() == '.') host.pop_back();
    for (char& c : host) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (host == "myip.ipip.net") return EchoPath::Sentence;
    for (const char* name : {"4.ipw.cn", "ip.3322.net", "api.ipify.org", "ipv4.icanhazip.com"}) {
        if (host == name) return EchoPath::Plain;
    }
    return std::nullopt;
}

void ServeEchoConnection(int fd, RouterState& state, const StopSignal& stop) {
    // With the uplink down, a connection to an outside host fails. The nearest a listener can
    // come: reset it as soon as it is taken, before a byte of the request is read.
    if (!state.OutsideAddress()) {
        state.CountEcho(EchoPath::Down);
        CloseWithReset(fd);
        return;
    }
    RequestReader reader(fd);
    for (;;) {
        HttpRequest request;
        if (reader.Read(request, stop, kIdleMs, kPartMs) != ReadResult::Ok) {
            close(fd);
            return;
        }
        const std::optional<EchoPath> path = PathOf(request);
        HttpResponse response;
        if (!path) {
            // Any other page of that host is as any other host's.
            state.Count(Route::Foreign);
            response.status = 404;
            response.reason = "Not Found";
            response.contentType = "text/plain";
            response.body = ForeignPage();
        } else {
            state.CountEcho(*path);
            if (*path == EchoPath::Silent) {
                StaySilent(fd, stop);
                return;
            }
            if (*path == EchoPath::Slow && !stop.SleepFor(kSlowMs)) {
                close(fd);
                return;
            }
            // The link may have dropped while this connection was kept open: it is dead then.
            const std::optional<std::string> address = state.OutsideAddress();
            if (!address) {
                CloseWithReset(fd);
                return;
            }
            response = EchoAnswer(*path, *address);
        }
        // Faults are orders for the router's own pages; the internet never takes them.
        const AfterAnswer after =
            DeliverAnswer(fd, response, Fault{}, request.method == "HEAD", request.KeepAlive(), stop);
        if (after == AfterAnswer::KeepOpen) continue;
        if (after == AfterAnswer::Close) CloseGracefully(fd, stop);
        return;
    }
}
