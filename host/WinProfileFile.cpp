#include "WinProfileFile.h"

#include "ProfileText.h"
#include "Settings.h"
#include "WinGbkText.h"

#include <windows.h>

#include <memory>
#include <type_traits>
#include <utility>

namespace {

struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using FileHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

FileHandle OpenFile(const WideText& path, DWORD access, DWORD share, DWORD disposition) {
    const HANDLE file =
        CreateFileW(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    return FileHandle(file == INVALID_HANDLE_VALUE ? nullptr : file);
}

bool IsMissing(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

// The file's bytes; the empty text for a missing file; nothing when it cannot be read.
std::optional<std::string> ReadBytes(const WideText& path) {
    const FileHandle file = OpenFile(path, GENERIC_READ, kShareAll, OPEN_EXISTING);
    if (!file) return IsMissing(GetLastError()) ? std::optional<std::string>(std::string()) : std::nullopt;
    std::string bytes;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr)) {
        if (read == 0) return bytes;
        bytes.append(buffer, read);
    }
    return std::nullopt;
}

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
        return kUtf8Mark + bytes;
    }
    std::string bytes(kUtf16Mark, 2);
    bytes.append(reinterpret_cast<const char*>(wide.data()), wide.size() * 2);
    if (encoding == Encoding::Utf16BigEndian) SwapBytes(bytes);
    return bytes;
}

bool WriteAll(HANDLE file, const std::string& bytes) {
    DWORD written = 0;
    return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size() && FlushFileBuffers(file);
}

// The new text goes to a file beside the old one, which it then replaces in one step: a
// failure on the way (a full disk, a crash) leaves the old file whole.
bool ReplaceBytes(const std::string& path, const std::string& bytes) {
    if (!CanReplaceFile(path)) return false;
    const WideText target = WideFromGbk(path), temporary = target + L".new";
    {
        const FileHandle file = OpenFile(temporary, GENERIC_WRITE, 0, CREATE_ALWAYS);
        if (!file) return false;
        if (!WriteAll(file.get(), bytes)) {
            DeleteFileW(temporary.c_str());
            return false;
        }
    }
    if (MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    DeleteFileW(temporary.c_str());
    return false;
}

}  // namespace

bool CanReplaceFile(const std::string& path) {
    // Opening changes nothing in the file; a handle of another program that shares no
    // writing or deleting refuses it, as it would refuse the replacement.
    if (OpenFile(WideFromGbk(path), GENERIC_WRITE | DELETE, kShareAll, OPEN_EXISTING)) return true;
    return IsMissing(GetLastError());
}

WinProfileFile::WinProfileFile(std::string path) : path_(std::move(path)) {}

std::optional<std::string> WinProfileFile::Read(const std::string& section, const std::string& key) {
    std::optional<std::string> bytes = ReadBytes(WideFromGbk(path_));
    if (!bytes) return std::nullopt;
    const Encoding encoding = EncodingOf(*bytes);
    return ReadProfileValue(GbkFromFile(std::move(*bytes), encoding), section, key, kMaxSettingText);
}

bool WinProfileFile::Write(const std::string& section, const std::string& key, const std::string& value) {
    std::optional<std::string> bytes = ReadBytes(WideFromGbk(path_));
    if (!bytes) return false;
    const Encoding encoding = EncodingOf(*bytes);
    const std::optional<std::string> changed =
        WriteProfileValue(GbkFromFile(std::move(*bytes), encoding), section, key, value);
    return !changed || ReplaceBytes(path_, FileFromGbk(*changed, encoding));
}
