#include "PageText.h"

#include <cstring>

std::string PageTextFromBytes(const char* bytes, std::size_t count) {
    const void* nul = count ? std::memchr(bytes, '\0', count) : nullptr;
    if (nul) count = static_cast<std::size_t>(static_cast<const char*>(nul) - bytes);
    return std::string(bytes, count);
}

std::vector<std::string> SplitLines(std::string_view text) {
    const std::size_t nul = text.find('\0');
    if (nul != std::string_view::npos) text = text.substr(0, nul);

    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') continue;
        lines.emplace_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < text.size()) lines.emplace_back(text.substr(start));
    return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}
