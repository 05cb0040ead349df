#include "IntegerText.h"

#include <cstdint>

namespace {

bool IsBlankOrControl(unsigned char c) { return c <= ' '; }

int DigitValue(char c, int base) {
    int value = -1;
    if (c >= '0' && c <= '9') value = c - '0';
    else if (c >= 'a' && c <= 'f') value = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') value = c - 'A' + 10;
    return value < base ? value : -1;
}

// The digits of a magnitude, after a minus sign when asked, and zeros in front up to `width`.
std::string Digits(std::uint32_t magnitude, bool negative, int width) {
    char text[1 + 10];
    char* begin = text + sizeof text;
    do {
        *--begin = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    std::string digits(begin, text + sizeof text);
    if (digits.size() < static_cast<std::size_t>(width))
        digits.insert(0, static_cast<std::size_t>(width) - digits.size(), '0');
    if (negative) digits.insert(0, 1, '-');
    return digits;
}

}  // namespace

std::optional<std::int32_t> ParseInteger(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;

    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';

    int base = 10;
    if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i == text.size()) return std::nullopt;

    // Decimal must fit a signed 32-bit integer; hexadecimal is a 32-bit pattern, so $FFFFFFFF is -1.
    const std::uint64_t limit = base == 16 ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    std::uint64_t value = 0;
    for (; i < text.size(); ++i) {
        const int digit = DigitValue(text[i], base);
        if (digit < 0) return std::nullopt;
        value = value * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
        if (value > limit) return std::nullopt;
    }
    if (negative) value = (~value + 1) & 0xFFFFFFFFull;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

std::string TrimBlanks(std::string_view text) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && IsBlankOrControl(static_cast<unsigned char>(text[begin]))) ++begin;
    while (end > begin && IsBlankOrControl(static_cast<unsigned char>(text[end - 1]))) --end;
    return std::string(text.substr(begin, end - begin));
}

std::int32_t IntervalMinutes(std::string_view text) { return ParseInteger(TrimBlanks(text)).value_or(1); }

std::string DecimalText(std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    return value < 0 ? Digits(0u - bits, true, 0) : Digits(bits, false, 0);
}

std::string ZeroPadded(std::uint32_t value, int width) { return Digits(value, false, width); }
