#include "Base64.h"

namespace {

int Sextet(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

}  // namespace

std::optional<std::string> DecodeBase64(const std::string& text) {
    std::size_t end = text.size();
    std::size_t padding = 0;
    while (end > 0 && text[end - 1] == '=' && padding < 2) {
        --end;
        ++padding;
    }
    if (padding > 0 && (end + padding) % 4 != 0) return std::nullopt;
    if (end % 4 == 1) return std::nullopt;

    std::string out;
    unsigned bits = 0;
    int held = 0;
    for (std::size_t i = 0; i < end; ++i) {
        const int v = Sextet(text[i]);
        if (v < 0) return std::nullopt;
        bits = (bits << 6) | static_cast<unsigned>(v);
        held += 6;
        if (held >= 8) {
            held -= 8;
            out.push_back(static_cast<char>((bits >> held) & 0xFF));
        }
    }
    return out;
}
