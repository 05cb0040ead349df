#pragma once
// Reading HTTP/1.x requests off a connection, one after another (keep-alive, pipelining).
#include <string>
#include <utility>
#include <vector>

class StopSignal;

struct HttpRequest {
    std::string method;
    std::string target;
    std::string version;  // "HTTP/1.1"
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;  // as announced by Content-Length

    // The first header of that name (case-insensitive), or nullptr.
    const std::string* Header(const std::string& name) const;
    // Whether the client wants the connection kept open after the answer.
    bool KeepAlive() const;
};

enum class ReadResult { Ok, Closed, Timeout, Stopped, Malformed };

class RequestReader {
public:
    explicit RequestReader(int fd) : fd_(fd) {}
    // idleMs bounds the wait for a request to start, partMs the wait for each later piece.
    ReadResult Read(HttpRequest& request, const StopSignal& stop, int idleMs, int partMs);

private:
    bool Fill(const StopSignal& stop, int timeoutMs, ReadResult& failure);

    int fd_;
    std::string buffer_;  // received bytes not consumed yet
};

bool EqualsIgnoringCase(const std::string& a, const std::string& b);
