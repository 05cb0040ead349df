#pragma once
// Whole files through the Windows API, for the tests that run under Wine. Paths are GBK text,
// given to Windows in UTF-16 (code page 936), so a Chinese folder name is right on any
// system code page.
#include <windows.h>

#include <string>

inline std::wstring WidePath(const std::string& gbk) {
    std::wstring wide(gbk.size() + 1, L'\0');
    const int length =
        MultiByteToWideChar(936, 0, gbk.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
    wide.resize(length > 0 ? static_cast<std::size_t>(length) - 1 : 0);
    return wide;
}

// The file's bytes; empty when it cannot be read. Others may go on writing it meanwhile.
inline std::string ReadFileBytes(const std::string& path) {
    const HANDLE file = CreateFileW(WidePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
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
    const HANDLE file = CreateFileW(WidePath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

// Deletes the folder (with its trailing backslash) and all it holds, read-only files included.
inline void RemoveDirectoryTree(const std::wstring& directory) {
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((directory + L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveDirectoryTree(directory + name + L"\\");
            } else {
                SetFileAttributesW((directory + name).c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW((directory + name).c_str());
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(directory.c_str());
}
inline void RemoveDirectoryTree(const std::string& directory) { RemoveDirectoryTree(WidePath(directory)); }
