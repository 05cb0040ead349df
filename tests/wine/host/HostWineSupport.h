#pragma once
#include "FakeSettingsWindow.h"
#include "MessageBoxes.h"
#include "ProfileStore.h"
#include "RecordedBoxes.h"
#include "WinFiles.h"

#include <windows.h>

#include <map>
#include <string>
#include <vector>

// The settings controls as the window creates them; no box runs a handler.
using SettingsControls = FakeSettingsWindow;

// Passes every call on to the real file and records the keys it was asked to write.
struct RecordingProfile : ProfileStore {
    explicit RecordingProfile(ProfileStore& file) : file(file) {}

    ProfileStore& file;
    std::vector<std::string> writes;

    std::optional<std::string> Read(const std::string& section, const std::string& key) override {
        return file.Read(section, key);
    }
    bool Write(const std::string& section, const std::string& key, const std::string& value) override {
        writes.push_back(key);
        return file.Write(section, key, value);
    }
    void Flush() noexcept override { file.Flush(); }
    std::string Path() const override { return file.Path(); }
};

// A directory of its own under the temporary directory, removed with its contents. Its name
// holds a blank and GBK text, as the folder of a user's programs may.
class TempDirectory {
public:
    TempDirectory() {
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        static int count = 0;
        path_ = std::string(temp) + "Pelorin 配置 " + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(++count) + "\\";
        CreateDirectoryW(WidePath(path_).c_str(), nullptr);  // GBK on any code page
    }
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;
    ~TempDirectory() { RemoveDirectoryTree(path_); }

    const std::string& Path() const { return path_; }  // with the trailing backslash

private:
    std::string path_;
};

// The file's non-empty lines, split at CR and LF.
inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (const char c : text) {
        if (c == '\r' || c == '\n') {
            if (!line.empty()) lines.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}
