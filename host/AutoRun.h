#pragma once
#include "MessageBoxes.h"
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

// Whether the Run value's data starts the executable at `modulePath`: the path in quotes or
// not, its letters in any case.
bool RunValueNames(std::string_view data, std::string_view modulePath);

// On: writes the machine-wide value and deletes the user's own; when the machine-wide write
// is refused, a machine-wide value that already starts this executable (an administrator
// set it) is enough, else the user's value is written instead, silently. Only when both
// writes are refused does it throw AppError("Failed to set data for 'Pelorin'").
// Off: deletes the value from both keys; a missing value or a refused delete is silent, but
// for a machine-wide value that may not be deleted: one box says that an administrator must
// remove it. Every key is closed before the box opens and before the call returns.
void SetAutoRun(bool on, Registry& registry, MessageBoxes& boxes, std::string_view modulePath);
