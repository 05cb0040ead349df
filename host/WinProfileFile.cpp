#include "WinProfileFile.h"

#include "Concat.h"
#include "ProfileText.h"
#include "Settings.h"
#include "WinFileBytes.h"
#include "WinGbkText.h"

#include <windows.h>

#include <utility>

namespace {

// A file the profile functions took for Unicode, by its byte order mark, is read as GBK and
// written back in its own encoding with its mark, as they do.
enum class Encoding { Gbk, Utf8, Utf16, Utf16BigEndian };

constexpr char kUtf8Mark[] = "\xEF\xBB\xBF";
constexpr char kUtf16Mark[] = "\xFF\xFE";
constexpr char kUtf16BigEndianMark[] = "\xFE\xFF";

void SwapBytes(std::string& units) {
    for (std::size_t at = 0; at + 1 < units.size(); at += 2) std::swap(units[at], units[at + 1]);
}

Encoding EncodingOf(std::string_view bytes) {
    if (bytes.substr(0, 3) == kUtf8Mark) return Encoding::Utf8;
    if (bytes.substr(0, 2) == kUtf16Mark) return Encoding::Utf16;
    if (bytes.substr(0, 2) == kUtf16BigEndianMark) return Encoding::Utf16BigEndian;
    return Encoding::Gbk;
}

std::string GbkFromFile(std::string bytes, Encoding encoding) {
    if (encoding == Encoding::Gbk) return bytes;
    if (encoding == Encoding::Utf8) {
        const auto size = static_cast<int>(bytes.size() - 3);
        WideText wide(
            static_cast<std::size_t>(MultiByteToWideChar(CP_UTF8, 0, bytes.data() + 3, size, nullptr, 0)),
            L'\0');
        MultiByteToWideChar(CP_UTF8, 0, bytes.data() + 3, size, wide.data(), static_cast<int>(wide.size()));
        return GbkFromWide(std::wstring_view(wide.data(), wide.size()));
    }
    if (encoding == Encoding::Utf16BigEndian) SwapBytes(bytes);
    WideText wide((bytes.size() - 2) / 2, L'\0');
    if (!wide.empty()) CopyMemory(wide.data(), bytes.data() + 2, wide.size() * 2);
    return GbkFromWide(std::wstring_view(wide.data(), wide.size()));
}

std::string FileFromGbk(const std::string& gbk, Encoding encoding) {
    if (encoding == Encoding::Gbk) return gbk;
    const WideText wide = WideFromGbk(gbk);
    const auto length = static_cast<int>(wide.size());
    if (encoding == Encoding::Utf8) {
        std::string bytes(static_cast<std::size_t>(WideCharToMultiByte(CP_UTF8, 0, wide.data(), length,
                                                                       nullptr, 0, nullptr, nullptr)),
                          '\0');
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, bytes.data(), static_cast<int>(bytes.size()),
                            nullptr, nullptr);
        return Concat({kUtf8Mark, bytes});
    }
    std::string bytes(kUtf16Mark, 2);
    bytes.append(reinterpret_cast<const char*>(wide.data()), wide.size() * 2);
    if (encoding == Encoding::Utf16BigEndian) SwapBytes(bytes);
    return bytes;
}

}  // namespace

WinProfileFile::WinProfileFile(std::string path) : path_(std::move(path)) {}

std::optional<std::string> WinProfileFile::Read(const std::string& section, const std::string& key) {
    std::optional<std::string> bytes = ReadWholeFile(path_);
    if (!bytes) return std::nullopt;
    const Encoding encoding = EncodingOf(*bytes);
    return ReadProfileValue(GbkFromFile(std::move(*bytes), encoding), section, key, kMaxSettingText);
}

bool WinProfileFile::Write(const std::string& section, const std::string& key, const std::string& value) {
    std::optional<std::string> bytes = ReadWholeFile(path_);
    if (!bytes) return false;
    const Encoding encoding = EncodingOf(*bytes);
    const std::optional<std::string> changed =
        WriteProfileValue(GbkFromFile(std::move(*bytes), encoding), section, key, value);
    return !changed || ReplaceWholeFile(path_, FileFromGbk(*changed, encoding));
}
