#include "TrayTip.h"

#include "GbkText.h"

std::string TrayTipText(std::string_view hint, bool showHint) {
    if (!showHint) return {};
    hint = hint.substr(0, hint.find('\0'));
    std::size_t end = 0;
    // A character that would straddle the limit is left out whole.
    while (end < hint.size()) {
        const std::size_t next = end + GbkCharLength(hint, end);
        if (next > kTrayTipBytes - 1) break;
        end = next;
    }
    return std::string(hint.substr(0, end));
}
