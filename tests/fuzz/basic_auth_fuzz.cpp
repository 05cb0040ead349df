// The Basic credentials as sent to the router: decoded again by a decoder of its own, they
// are the user name, ":" and the password, byte for byte, whatever bytes those hold. Also the
// router address's split into host and port.

#include "FuzzChecks.h"
#include "HttpCredentials.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace {

int SextetOf(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

// Strict decoding: whole groups of four, "=" only at the very end and at most two of them,
// and the bits a padded group does not use all zero (so only one text decodes to given bytes).
std::optional<std::string> DecodeBase64(std::string_view text) {
    if (text.size() % 4 != 0) return std::nullopt;
    std::string bytes;
    for (std::size_t group = 0; group < text.size(); group += 4) {
        const bool last = group + 4 == text.size();
        unsigned long bits = 0;
        int padding = 0;
        for (std::size_t k = 0; k < 4; ++k) {
            const char c = text[group + k];
            int sextet = 0;
            if (c == '=') {
                if (!last || k < 2) return std::nullopt;
                ++padding;
            } else {
                sextet = SextetOf(c);
                if (sextet < 0 || padding > 0) return std::nullopt;
            }
            bits = bits << 6 | static_cast<unsigned long>(sextet);
        }
        const unsigned long unused = padding == 2 ? 0xFFFF : padding == 1 ? 0xFF : 0;
        if (bits & unused) return std::nullopt;
        bytes += static_cast<char>(bits >> 16 & 0xFF);
        if (padding < 2) bytes += static_cast<char>(bits >> 8 & 0xFF);
        if (padding < 1) bytes += static_cast<char>(bits & 0xFF);
    }
    return bytes;
}

// "host:port" when the text after the last colon is a port 1-65535 in at most five digits.
HostPort ReferenceHostPort(std::string_view address) {
    const std::size_t colon = address.rfind(':');
    if (colon != std::string_view::npos) {
        const std::string_view digits = address.substr(colon + 1);
        bool allDigits = !digits.empty() && digits.size() <= 5;
        unsigned long port = 0;
        for (const char c : digits) {
            allDigits = allDigits && c >= '0' && c <= '9';
            port = port * 10 + static_cast<unsigned long>(c - '0');
        }
        if (allDigits && port >= 1 && port <= 65535) {
            return {std::string(address.substr(0, colon)), static_cast<unsigned short>(port)};
        }
    }
    return {std::string(address), 80};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string user = input.ConsumeRandomLengthString();
    const std::string password = input.ConsumeRemainingBytesAsString();
    const std::string joined = user + ":" + password;

    const std::string header = BasicAuthorization(user, password);
    FUZZ_CHECK(header.rfind("Basic ", 0) == 0);
    const std::string_view encoded = std::string_view(header).substr(6);
    FUZZ_CHECK(encoded.size() == (joined.size() + 2) / 3 * 4);
    FUZZ_CHECK(DecodeBase64(encoded) == joined);
    FUZZ_CHECK(Base64(joined) == encoded);

    // The user name's bytes stand in for a typed router address.
    const HostPort split = SplitHostPort(user);
    const HostPort expected = ReferenceHostPort(user);
    FUZZ_CHECK(split.host == expected.host && split.port == expected.port);
    return 0;
}
