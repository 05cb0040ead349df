#pragma once
#include "ProfileStore.h"
#include "RouterWay.h"
#include "SettingsView.h"
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// The settings file setup.ini beside the executable: seven keys in the section "set", the
// "router" key after them, present only when the way to the router is pinned, and the
// "ipcheck" key, present only when the user names the outside check's services or turns it off.

inline constexpr char kSettingsFileName[] = "setup.ini";
inline constexpr char kSettingsSection[] = "set";

// The longest text value the profile functions deliver (a 2048-byte buffer with its NUL).
inline constexpr std::size_t kMaxSettingText = 2047;

// The settings file for the executable at `modulePath`: its directory, with the trailing
// backslash, followed by "setup.ini". The path is GBK text: the second byte of a double-byte
// character may be a backslash and is not taken for one.
std::string SettingsFilePath(std::string_view modulePath);

// A flag as stored: an integer that is on when not 0 (sign, decimal, or hexadecimal after
// "$", "x", "X", "0x", "0X"). An empty value, a missing key or a text that is no such
// integer gives `defaultValue`.
bool FlagValue(const std::optional<std::string>& value, bool defaultValue);

// A text as stored, at most kMaxSettingText bytes; a missing key gives `defaultText`, an
// empty value the empty text.
std::string TextValue(const std::optional<std::string>& value, std::string_view defaultText);

// The way the "router" key pins: "web" or "upnp", in any case of letters; anything else, or
// no key, leaves it automatic.
RouterWay RouterWayValue(const std::optional<std::string>& value);

// Reads the keys in order and puts each value into its control at once, so that a check
// box switched on runs its click handler. An AppError raised by such a handler (a refused
// start-with-Windows write) goes to the view's error box and the load goes on. Flushes the
// profile cache, then posts the minimise request when start minimised is on.
void LoadSettings(SettingsView& view, ProfileStore& store);

// Writes the seven keys in order from the controls, flags as "1" or "0", texts unchanged,
// then the "router" key when the way is pinned (an automatic way leaves the file's value, which
// reads as automatic), the "ipcheck" key as it was read when it has a value, then flushes the profile cache.
// A refused write throws AppError("Unable to write to <path>") and the keys after it are not written.
void SaveSettings(const SettingsView& view, ProfileStore& store);
