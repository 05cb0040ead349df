#pragma once
#include "ProfileStore.h"
#include <string>

// A private profile file read and written as its bytes (ProfileText.h), whatever the system's
// code page. Nothing stays open: each call opens and closes the file.
class WinProfileFile : public ProfileStore {
public:
    explicit WinProfileFile(std::string path);

    std::optional<std::string> Read(const std::string& section, const std::string& key) override;
    bool Write(const std::string& section, const std::string& key, const std::string& value) override;
    void Flush() noexcept override {}  // every write is on the disk when it returns
    std::string Path() const override { return path_; }

private:
    std::string path_;
};
