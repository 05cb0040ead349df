#pragma once
#include <cstddef>
#include <string>
#include <string_view>

// The tip field of a notification-area icon holds 128 bytes with its terminating NUL.
inline constexpr std::size_t kTrayTipBytes = 128;

// The tip the shell is given for `hint`: empty when the hint is empty or not to be shown;
// otherwise the hint's bytes up to its first NUL, at most 127 of them, never ending in the
// first half of a double-byte GBK character. CR and LF pass unchanged.
std::string TrayTipText(std::string_view hint, bool showHint);
