#pragma once
// What the fuzz targets share: a property check that stops the run, and reference models of
// the rules they compare the program against, written apart from the program's own code.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A broken property is a finding: libFuzzer keeps the input that led to it.
[[noreturn]] inline void PropertyBroken(const char* property, const char* file, int line) {
    std::fprintf(stderr, "property broken: %s (%s:%d)\n", property, file, line);
    std::abort();
}

#define FUZZ_CHECK(property) ((property) ? void(0) : PropertyBroken(#property, __FILE__, __LINE__))

// Which offsets of GBK text start a character, the end included: a byte 0x81-0xFE takes the
// byte after it along, whatever that byte is; alone at the end it stands for itself.
inline std::vector<bool> GbkCharStarts(std::string_view text) {
    std::vector<bool> starts(text.size() + 1, false);
    std::size_t at = 0;
    while (at < text.size()) {
        starts[at] = true;
        const unsigned char byte = static_cast<unsigned char>(text[at]);
        at = byte >= 0x81 && byte <= 0xFE ? std::min(at + 2, text.size()) : at + 1;
    }
    starts[text.size()] = true;
    return starts;
}

inline bool IsPathDelimiter(char c) { return c == '\\' || c == '/' || c == ':'; }

// Where a GBK path's file name starts: after the last delimiter that starts a character.
inline std::size_t ReferenceFileNameStart(std::string_view path) {
    const std::vector<bool> starts = GbkCharStarts(path);
    for (std::size_t at = path.size(); at > 0; --at) {
        if (starts[at - 1] && IsPathDelimiter(path[at - 1])) return at;
    }
    return 0;
}

inline int DigitIn(char c, bool hex) {
    if (c >= '0' && c <= '9') return c - '0';
    if (!hex) return -1;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The integer rules: blanks before it, an optional sign, then decimal digits that fit a signed
// 32-bit integer, or hexadecimal digits after "$", "x", "X", "0x" or "0X" that fit 32 bits
// and are taken as the bit pattern. Digits are counted past leading zeros, so nothing here
// can overflow.
inline std::optional<std::int32_t> ReferenceInteger(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    bool hex = false;
    if (!text.empty() && (text.front() == '$' || text.front() == 'x' || text.front() == 'X')) {
        hex = true;
        text.remove_prefix(1);
    } else if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        hex = true;
        text.remove_prefix(2);
    }
    if (text.empty()) return std::nullopt;
    for (const char c : text) {
        if (DigitIn(c, hex) < 0) return std::nullopt;
    }
    while (text.size() > 1 && text.front() == '0') text.remove_prefix(1);
    if (text.size() > (hex ? 8u : 10u)) return std::nullopt;

    std::uint64_t magnitude = 0;
    for (const char c : text)
        magnitude = magnitude * (hex ? 16 : 10) + static_cast<unsigned>(DigitIn(c, hex));
    if (hex) {
        const std::uint32_t pattern = static_cast<std::uint32_t>(magnitude);
        return static_cast<std::int32_t>(negative ? 0u - pattern : pattern);
    }
    const std::int64_t value =
        negative ? -static_cast<std::int64_t>(magnitude) : static_cast<std::int64_t>(magnitude);
    if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
    return static_cast<std::int32_t>(value);
}

// Without the blanks and control characters (bytes up to 0x20) at either end.
inline std::string ReferenceTrim(std::string_view text) {
    std::size_t first = 0;
    while (first < text.size() && static_cast<unsigned char>(text[first]) <= 0x20) ++first;
    std::size_t last = text.size();
    while (last > first && static_cast<unsigned char>(text[last - 1]) <= 0x20) --last;
    return std::string(text.substr(first, last - first));
}

// The tray tip of `hint`: nothing when it is not shown; else the hint up to its first NUL,
// cut to at most 127 bytes on a character boundary, and no shorter than that needs.
inline void CheckTrayTip(std::string_view hint, bool showHint, const std::string& tip) {
    if (!showHint) {
        FUZZ_CHECK(tip.empty());
        return;
    }
    const std::string_view shown = hint.substr(0, hint.find('\0'));
    FUZZ_CHECK(tip.size() <= 127);
    FUZZ_CHECK(shown.substr(0, tip.size()) == tip);
    const std::vector<bool> starts = GbkCharStarts(shown);
    FUZZ_CHECK(starts[tip.size()]);
    if (tip.size() < shown.size()) {
        std::size_t next = tip.size() + 1;
        while (!starts[next]) ++next;
        FUZZ_CHECK(next > 127);  // the next character would not have fitted
    }
}
