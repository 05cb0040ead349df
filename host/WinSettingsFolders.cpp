#include "WinSettingsFolders.h"

#include "Concat.h"
#include "ModuleFile.h"
#include "WinFileBytes.h"
#include "WinGbkText.h"

#include <windows.h>
#include <shlobj.h>

#include <cstddef>

namespace {

constexpr char kProgramDataFolder[] = "Pelorin";
// A probe's name after the folder: "Pelorin-probe-<process>-<ticks>.tmp" and its NUL.
constexpr std::size_t kProbeNameSize = 48;
constexpr DWORD kProbeAttempts = 4;

}  // namespace

bool WinSettingsFolders::CanCreateFileIn(const std::string& folder) {
    // Attributes and access lists tell too little (a read-only share, a folder only an
    // administrator may write): only a file that was made proves it. It goes when closed.
    std::string probe(folder.size() + kProbeNameSize, '\0');
    for (DWORD attempt = 0; attempt < kProbeAttempts; ++attempt) {
        wsprintfA(probe.data(), "%sPelorin-probe-%lu-%lu.tmp", folder.c_str(), GetCurrentProcessId(),
                  GetTickCount() + attempt);
        const HANDLE file =
            CreateFileW(WideFromGbk(probe.c_str()).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                        FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            return true;
        }
        if (GetLastError() != ERROR_FILE_EXISTS) return false;
    }
    return false;
}

std::optional<std::string> WinSettingsFolders::UserDataFolder() {
    // Asked in UTF-16: the user's name in the path may be one the system's code page lacks.
    wchar_t appData[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT,
                                appData)))
        return std::nullopt;
    const std::string folder = Concat({GbkPath(appData), "\\", kProgramDataFolder, "\\"});
    if (!CreateDirectoryW(WideFromGbk(folder).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        return std::nullopt;
    return folder;
}

bool WinSettingsFolders::FileExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(WideFromGbk(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool WinSettingsFolders::CanWriteFile(const std::string& path) { return CanReplaceFile(path); }

bool WinSettingsFolders::CopyToNewFile(const std::string& from, const std::string& to) {
    if (!CopyFileW(WideFromGbk(from).c_str(), WideFromGbk(to).c_str(), TRUE)) return false;
    // The copy takes the original's attributes: a read-only one would refuse every save.
    return SetFileAttributesW(WideFromGbk(to).c_str(), FILE_ATTRIBUTE_NORMAL) != FALSE;
}

std::string SettingsFileForThisUser(std::string_view modulePath) {
    WinSettingsFolders folders;
    return ChooseSettingsFile(modulePath, folders);
}
