#include "WinIpHistoryFile.h"

#include "IpHistoryFile.h"
#include "WinFileBytes.h"

bool AppendToHistoryFile(const std::string& path, std::string_view header, std::string_view lines,
                         std::size_t maxLines) {
    const std::optional<std::string> current = ReadWholeFile(path);
    return current && ReplaceWholeFile(path, AppendedHistory(*current, header, lines, maxLines));
}
