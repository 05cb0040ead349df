#pragma once
#include <cstddef>
#include <string>
#include <string_view>

// Appends `lines` to the history file at `path` (IpHistoryFile.h: its mark, header and line
// limit), replacing the file whole as the settings file is. False when the file cannot be read
// or replaced; the file is then as it was.
bool AppendToHistoryFile(const std::string& path, std::string_view header, std::string_view lines,
                         std::size_t maxLines);
