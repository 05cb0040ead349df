#pragma once
#include "Registry.h"
#include <string>
#include <string_view>

// Starting the program when the user logs on: one value under the machine-wide Run key, or,
// where the user has no rights to that, under the user's own Run key.

inline constexpr char kRunKeyPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr char kRunValueName[] = "Pelorin";

// The Run value's data for the executable at `modulePath`: the path itself, in double
// quotes when it holds a blank (unquoted, C:\Program Files\... could start C:\Program.exe).
std::string RunValueData(std::string_view modulePath);

// On: writes the machine-wide value and deletes the user's own; when the machine-wide write
// is refused, writes the user's value instead, silently. Only when both writes are refused
// does it throw AppError("Failed to set data for 'Pelorin'").
// Off: deletes the value from both keys; a missing value or a refused delete is silent.
// Every key is closed before the call returns.
void SetAutoRun(bool on, Registry& registry, std::string_view modulePath);
