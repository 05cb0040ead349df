#pragma once
// Whole files through the Windows API, for the tests that run under Wine.
#include <windows.h>

#include <string>

// The file's bytes; empty when it cannot be read. Others may go on writing it meanwhile.
inline std::string ReadFileBytes(const std::string& path) {
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::string bytes;
    char chunk[4096];
    DWORD read = 0;
    while (ReadFile(file, chunk, sizeof chunk, &read, nullptr) && read > 0) bytes.append(chunk, read);
    CloseHandle(file);
    return bytes;
}

// Replaces the file with `bytes`; false when it cannot be written whole.
inline bool WriteFileBytes(const std::string& path, const std::string& bytes) {
    const HANDLE file =
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

// Deletes the folder (with its trailing backslash) and all it holds, read-only files included.
inline void RemoveDirectoryTree(const std::string& directory) {
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((directory + "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveDirectoryTree(directory + name + "\\");
            } else {
                SetFileAttributesA((directory + name).c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA((directory + name).c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(directory.c_str());
}
