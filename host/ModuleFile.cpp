#include "ModuleFile.h"

#include "WinGbkText.h"

#include <windows.h>

namespace {

// `path` made absolute; as it is when the platform cannot.
WideText FullPath(const WideText& path) {
    // The size asked for includes the NUL; the length given back on success does not.
    WideText full(MAX_PATH, L'\0');
    DWORD fullLength = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (fullLength >= full.size()) {
        full.assign(fullLength, L'\0');
        fullLength = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    }
    if (fullLength == 0 || fullLength >= full.size()) return path;
    full.resize(fullLength);
    return full;
}

// The short (8.3) form of `path`, or `path` when there is none.
WideText ShortPath(const WideText& path) {
    WideText shortPath(MAX_PATH, L'\0');
    const DWORD length =
        GetShortPathNameW(path.c_str(), shortPath.data(), static_cast<DWORD>(shortPath.size()));
    if (length == 0 || length >= shortPath.size()) return path;
    shortPath.resize(length);
    return shortPath;
}

}  // namespace

std::string ModuleFileName() {
    // Asked in UTF-16: the system's code page may lack the characters of a Chinese folder.
    wchar_t name[MAX_PATH] = {};
    const DWORD nameLength = GetModuleFileNameW(nullptr, name, MAX_PATH);
    return GbkPath(FullPath(WideText(name, nameLength < MAX_PATH ? nameLength : MAX_PATH - 1)));
}

std::string GbkPath(const WideText& path) {
    // A name GBK cannot write (a Korean or an accented folder name) is reached by its short form.
    if (WideFromGbk(GbkFromWide(path)) != path) return GbkFromWide(ShortPath(path));
    return GbkFromWide(path);
}
