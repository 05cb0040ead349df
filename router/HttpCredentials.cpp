#include "HttpCredentials.h"

#include "Concat.h"

namespace {

constexpr char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kBase64Pad = '=';
constexpr unsigned long kMaxPort = 65535;
constexpr std::size_t kMaxPortDigits = 5;

// The decimal port 1..65535 in `text`, or 0 when it is not one.
unsigned short ParsePort(std::string_view text) {
    if (text.empty() || text.size() > kMaxPortDigits) return 0;
    unsigned long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return 0;
        value = value * 10 + static_cast<unsigned long>(c - '0');
    }
    return value <= kMaxPort ? static_cast<unsigned short>(value) : 0;
}

}  // namespace

std::string Base64(std::string_view bytes) {
    const auto byte = [&](std::size_t i) -> unsigned long {
        return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0;
    };
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const unsigned long group = (byte(i) << 16) | (byte(i + 1) << 8) | byte(i + 2);
        const std::size_t present = bytes.size() - i;  // 1, 2, or 3 and more
        out += kBase64Alphabet[(group >> 18) & 0x3F];
        out += kBase64Alphabet[(group >> 12) & 0x3F];
        out += present > 1 ? kBase64Alphabet[(group >> 6) & 0x3F] : kBase64Pad;
        out += present > 2 ? kBase64Alphabet[group & 0x3F] : kBase64Pad;
    }
    return out;
}

std::string BasicAuthorization(const std::string& user, const std::string& password) {
    return Concat({"Basic ", Base64(Concat({user, ":", password}))});
}

void CredentialCache::Remember(const std::string& host, const Credentials& credentials) {
    for (auto& known : byHost_) {
        if (known.first == host) {
            known.second = credentials;
            return;
        }
    }
    byHost_.emplace_back(host, credentials);
}

std::optional<Credentials> CredentialCache::For(const std::string& host) const {
    for (const auto& known : byHost_) {
        if (known.first == host) return known.second;
    }
    return std::nullopt;
}

HostPort SplitHostPort(std::string_view address) {
    const std::size_t colon = address.rfind(':');
    if (colon != std::string_view::npos) {
        if (const unsigned short port = ParsePort(address.substr(colon + 1))) {
            return {std::string(address.substr(0, colon)), port};
        }
    }
    return {std::string(address), HostPort{}.port};
}
