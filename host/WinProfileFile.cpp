#include "WinProfileFile.h"

#include "Settings.h"
#include "WinGbkText.h"

#include <windows.h>

#include <utility>

namespace {

// The profile functions give a key's default back for a missing key, and the empty text
// for a key with an empty value; a second read with this default tells the two apart.
constexpr wchar_t kMissingKey[] = L"?";

// The path is GBK and may name a Chinese folder: it goes to the platform in UTF-16. Section,
// keys and values are bytes that the file keeps as they are, as the "A" functions would: the
// values pass through the system's code page, which turns them back into the same bytes.
std::optional<std::string> ReadValue(const WideText& path, const std::string& section,
                                     const std::string& key) {
    const WideText wideSection = WideFromAnsi(section), wideKey = WideFromAnsi(key);
    wchar_t buffer[kMaxSettingText + 1];
    const DWORD size = sizeof buffer / sizeof buffer[0];
    DWORD length =
        GetPrivateProfileStringW(wideSection.c_str(), wideKey.c_str(), L"", buffer, size, path.c_str());
    if (length > 0) return AnsiFromWide(std::wstring_view(buffer, length));

    length = GetPrivateProfileStringW(wideSection.c_str(), wideKey.c_str(), kMissingKey, buffer, size,
                                      path.c_str());
    if (std::wstring_view(buffer, length) == kMissingKey) return std::nullopt;
    return std::string();
}

}  // namespace

WinProfileFile::WinProfileFile(std::string path) : path_(std::move(path)) {}

std::optional<std::string> WinProfileFile::Read(const std::string& section, const std::string& key) {
    return ReadValue(WideFromGbk(path_), section, key);
}

bool WinProfileFile::Write(const std::string& section, const std::string& key, const std::string& value) {
    return WritePrivateProfileStringW(WideFromAnsi(section).c_str(), WideFromAnsi(key).c_str(),
                                      WideFromAnsi(value).c_str(), WideFromGbk(path_).c_str()) != FALSE;
}

void WinProfileFile::Flush() noexcept {
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, WideFromGbk(path_).c_str());
}
