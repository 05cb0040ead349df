#pragma once
#include <cstddef>
#include <string_view>

// GBK (code page 936) text as bytes: a lead byte 0x81-0xFE starts a two-byte character
// whose second byte may be any byte from 0x40 up, a backslash or a letter included.

inline bool IsGbkLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

// The length in bytes of the character that starts at `at`: 2 for a lead byte with a byte
// after it, else 1.
inline std::size_t GbkCharLength(std::string_view text, std::size_t at) {
    return IsGbkLeadByte(static_cast<unsigned char>(text[at])) && at + 1 < text.size() ? 2 : 1;
}

// Where the file name of a Windows path begins: just past its last "\", "/" or ":".
inline std::size_t FileNameStart(std::string_view path) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < path.size(); i += GbkCharLength(path, i)) {
        if (path[i] == '\\' || path[i] == '/' || path[i] == ':') start = i + 1;
    }
    return start;
}

// Whether two GBK texts are the same but for the case of ASCII letters, as Windows compares
// file and key names; the second byte of a double-byte character is compared as it is.
inline bool SameGbkTextIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    for (std::size_t i = 0; i < a.size();) {
        const std::size_t length = GbkCharLength(a, i);
        if (GbkCharLength(b, i) != length) return false;
        if (length == 2 ? a.substr(i, 2) != b.substr(i, 2) : lower(a[i]) != lower(b[i])) return false;
        i += length;
    }
    return true;
}
