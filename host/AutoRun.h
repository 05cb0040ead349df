#pragma once
#include "Registry.h"
#include <string>
#include <string_view>

// Starting the program when any user logs on: one value under the machine-wide Run key.

inline constexpr char kRunKeyPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr char kRunValueName[] = "Pelorin";

// The Run value's data for the executable at `modulePath`: the path itself, in double
// quotes when it holds a blank (unquoted, C:\Program Files\... could start C:\Program.exe).
std::string RunValueData(std::string_view modulePath);

// Writes (on) or deletes (off) the Run value. A refused write throws
// AppError("Failed to set data for 'Pelorin'"); deleting fails silently. The key is closed
// before the call returns.
void SetAutoRun(bool on, Registry& registry, std::string_view modulePath);
