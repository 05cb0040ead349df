#include "WinProfileFile.h"

#include "Settings.h"

#include <windows.h>

#include <utility>

namespace {

// The profile functions give a key's default back for a missing key, and the empty text
// for a key with an empty value; a second read with this default tells the two apart.
constexpr char kMissingKey[] = "?";

}  // namespace

WinProfileFile::WinProfileFile(std::string path) : path_(std::move(path)) {}

std::optional<std::string> WinProfileFile::Read(const std::string& section, const std::string& key) {
    char buffer[kMaxSettingText + 1];
    DWORD length =
        GetPrivateProfileStringA(section.c_str(), key.c_str(), "", buffer, sizeof buffer, path_.c_str());
    if (length > 0) return std::string(buffer, length);

    length = GetPrivateProfileStringA(section.c_str(), key.c_str(), kMissingKey, buffer, sizeof buffer,
                                      path_.c_str());
    if (std::string(buffer, length) == kMissingKey) return std::nullopt;
    return std::string();
}

bool WinProfileFile::Write(const std::string& section, const std::string& key, const std::string& value) {
    return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), path_.c_str()) != FALSE;
}

void WinProfileFile::Flush() noexcept {
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, path_.c_str());
}
