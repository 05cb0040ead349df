#include "WinFileBytes.h"

#include "WinGbkText.h"

#include <windows.h>

#include <memory>
#include <type_traits>

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

bool WriteAll(HANDLE file, const std::string& bytes) {
    DWORD written = 0;
    return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size() && FlushFileBuffers(file);
}

}  // namespace

bool CanReplaceFile(const std::string& path) {
    // Opening changes nothing in the file; a handle of another program that shares no
    // writing or deleting refuses it, as it would refuse the replacement.
    if (OpenFile(WideFromGbk(path), GENERIC_WRITE | DELETE, kShareAll, OPEN_EXISTING)) return true;
    return IsMissing(GetLastError());
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
    const FileHandle file = OpenFile(WideFromGbk(path), GENERIC_READ, kShareAll, OPEN_EXISTING);
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

bool ReplaceWholeFile(const std::string& path, const std::string& bytes) {
    if (!CanReplaceFile(path)) return false;
    const WideText target = WideFromGbk(path);
    WideText temporary = target;
    temporary += L".new";
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
