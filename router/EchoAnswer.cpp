#include "EchoAnswer.h"

#include "Concat.h"
#include "IntegerText.h"
#include "WanAddress.h"

namespace {

constexpr std::size_t kEchoBytes = 512;

bool DigitOrDot(char c) { return (c >= '0' && c <= '9') || c == '.'; }

}  // namespace

std::optional<std::string> EchoedAddress(std::string_view body) {
    body = body.substr(0, kEchoBytes);
    std::size_t at = 0;
    while (at < body.size()) {
        if (!DigitOrDot(body[at])) {
            ++at;
            continue;
        }
        std::size_t end = at;
        while (end < body.size() && DigitOrDot(body[end])) ++end;
        // A run cut by the 512th byte may be the start of a longer number: not taken.
        if (end == body.size() && end == kEchoBytes) break;
        std::string_view run = body.substr(at, end - at);
        while (!run.empty() && run.front() == '.') run.remove_prefix(1);
        while (!run.empty() && run.back() == '.') run.remove_suffix(1);  // a sentence's full stop
        if (const std::optional<std::uint32_t> address = ParseIpv4(run)) return Ipv4Text(*address);
        at = end;
    }
    return std::nullopt;
}

std::string Ipv4Text(std::uint32_t address) {
    const auto part = [&](int shift) {
        return DecimalText(static_cast<std::int32_t>(address >> shift & 0xFF));
    };
    return Concat({part(24), ".", part(16), ".", part(8), ".", part(0)});
}
