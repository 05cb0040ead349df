#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

std::string Base64(std::string_view bytes);

// The value of an Authorization header for HTTP Basic authentication.
std::string BasicAuthorization(const std::string& user, const std::string& password);

struct Credentials {
    std::string user;
    std::string password;
};

// The credentials that the router accepted, per host, kept for later requests to that
// host that carry none of their own (as a browser keeps a Basic login).
class CredentialCache {
public:
    void Remember(const std::string& host, const Credentials& credentials);
    std::optional<Credentials> For(const std::string& host) const;

private:
    // A router or two: a list searched in turn is all it takes.
    std::vector<std::pair<std::string, Credentials>> byHost_;
};

// "host" or "host:port"; the port is 80 unless a decimal port follows the last colon.
struct HostPort {
    std::string host;
    unsigned short port = 80;
};
HostPort SplitHostPort(std::string_view address);
