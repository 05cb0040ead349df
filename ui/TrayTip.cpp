#include "TrayTip.h"

#include "GbkText.h"

std::string ShellFieldText(std::string_view text, std::size_t fieldBytes) {
    text = text.substr(0, text.find('\0'));
    std::size_t end = 0;
    // A character that would straddle the limit is left out whole.
    while (end < text.size()) {
        const std::size_t next = end + GbkCharLength(text, end);
        if (next > fieldBytes - 1) break;
        end = next;
    }
    return std::string(text.substr(0, end));
}

std::string TrayTipText(std::string_view hint, bool showHint) {
    return showHint ? ShellFieldText(hint, kTrayTipBytes) : std::string();
}
