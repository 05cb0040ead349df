#pragma once
#include <cstddef>
#include <string>
#include <string_view>

// The tip field of a notification-area icon holds 128 bytes with its terminating NUL; a
// balloon's title 64 and its text 256.
inline constexpr std::size_t kTrayTipBytes = 128;
inline constexpr std::size_t kBalloonTitleBytes = 64;
inline constexpr std::size_t kBalloonTextBytes = 256;

// The text a shell field of `fieldBytes` bytes (its NUL included) is given: the text's bytes
// up to its first NUL, at most fieldBytes - 1 of them, never ending in the first half of a
// double-byte GBK character. CR and LF pass unchanged.
std::string ShellFieldText(std::string_view text, std::size_t fieldBytes);

// The tip the shell is given for `hint`: empty when the hint is empty or not to be shown;
// otherwise the hint as a field of kTrayTipBytes.
std::string TrayTipText(std::string_view hint, bool showHint);
