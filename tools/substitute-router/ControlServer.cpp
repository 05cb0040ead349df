#include "ControlServer.h"

#include "CommandLine.h"
#include "HttpRequest.h"
#include "HttpResponse.h"
#include "QueryText.h"
#include "RouterState.h"
#include "SocketIo.h"

#include <unistd.h>

namespace {

constexpr int kReadMs = 5000;

struct Answer {
  int status;
  std::string text;
};

Answer bad(const std::string& why) { return {400, "error: " + why + "\n"}; }

std::string countsText(const RequestCounts& c) {
  return "login=" + std::to_string(c.login) + "\nstatus=" + std::to_string(c.status) +
         "\ndisconnect=" + std::to_string(c.disconnect) + "\nconnect=" + std::to_string(c.connect) +
         "\nother=" + std::to_string(c.other) + "\nforeign=" + std::to_string(c.foreign) +
         "\ndns=" + std::to_string(c.dns) + "\nunauthorized=" + std::to_string(c.unauthorized) + "\n";
}

std::string stateText(const WanView& wan) {
  return std::string("wan=") + (wan.up ? "up" : "down") + "\nip=" + wan.ip +
         "\nonline=" + std::to_string(wan.onlineSeconds) + "\n";
}

Answer configure(const std::map<std::string, std::string>& query, RouterState& state) {
  std::optional<std::string> user, password;
  std::optional<long> redial;
  for (const auto& [name, value] : query) {
    if (name == "user") {
      user = value;
    } else if (name == "password") {
      password = value;
    } else if (name == "redial") {
      redial = parseCount(value);
      if (!redial || *redial > kMaxRedialMs) return bad("bad redial: " + value);
    } else {
      return bad("unknown setting: " + name);
    }
  }
  state.configure(user, password, redial);
  return {200, "ok"};
}

Answer orderFault(const std::map<std::string, std::string>& query, RouterState& state) {
  for (const auto& entry : query) {
    if (entry.first != "kind" && entry.first != "arg" && entry.first != "count")
      return bad("unknown fault parameter: " + entry.first);
  }
  const auto kind = query.find("kind");
  if (kind == query.end()) return bad("kind missing");
  const auto arg = query.find("arg");
  const auto fault = makeFault(kind->second, arg == query.end() ? "" : arg->second);
  if (!fault) return bad("bad fault: " + kind->second);
  long count = 0;
  if (const auto c = query.find("count"); c != query.end() && !c->second.empty()) {
    const auto parsed = parseCount(c->second);
    if (!parsed) return bad("bad count: " + c->second);
    count = *parsed;
  }
  state.setRequestFault(*fault, count);
  return {200, "ok"};
}

Answer answerFor(const std::string& target, RouterState& state) {
  const SplitTarget split = splitTarget(target);
  const auto query = parseQuery(split.query);
  if (split.path == "/reset") {
    state.reset();
    return {200, "ok"};
  }
  if (split.path == "/counts") return {200, countsText(state.counts())};
  if (split.path == "/state") return {200, stateText(state.wan())};
  if (split.path == "/config") return configure(query, state);
  if (split.path == "/fault") return orderFault(query, state);
  return {404, "unknown: " + split.path + "\n"};
}

}  // namespace

void serveControlConnection(int fd, RouterState& state, const StopSignal& stop) {
  RequestReader reader(fd);
  HttpRequest request;
  const ReadResult read = reader.read(request, stop, kReadMs, kReadMs);
  if (read != ReadResult::Ok) {
    // Also the path of a bare connect-and-close, as used to see whether the router is up.
    close(fd);
    return;
  }
  const Answer answer = answerFor(request.target, state);
  HttpResponse response;
  response.status = answer.status;
  response.reason = answer.status == 200 ? "OK" : answer.status == 404 ? "Not Found" : "Bad Request";
  response.contentType = "text/plain";
  response.body = answer.text;
  const bool headOnly = request.method == "HEAD";
  sendAll(fd, responseHead(response, false, BodyFraming::ContentLength) + (headOnly ? "" : response.body), stop);
  closeGracefully(fd, stop);
}
