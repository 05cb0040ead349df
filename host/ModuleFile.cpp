#include "ModuleFile.h"

#include <windows.h>

std::string ModuleFileName() {
    char name[MAX_PATH] = {};
    const DWORD nameLength = GetModuleFileNameA(nullptr, name, MAX_PATH);
    std::string path(name, nameLength < MAX_PATH ? nameLength : MAX_PATH - 1);

    // The size asked for includes the NUL; the length given back on success does not.
    std::string full(MAX_PATH, '\0');
    DWORD fullLength = GetFullPathNameA(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (fullLength >= full.size()) {
        full.assign(fullLength, '\0');
        fullLength = GetFullPathNameA(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    }
    if (fullLength == 0 || fullLength >= full.size()) return path;
    full.resize(fullLength);
    return full;
}
