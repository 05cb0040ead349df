#pragma once
#include <optional>
#include <string>

// A private profile (INI) file as the settings see it: one file, keys under sections.
class ProfileStore {
public:
    virtual ~ProfileStore() = default;

    // The value of the key as the file holds it; nothing when the file, the section or the
    // key is missing. A key present with an empty value gives the empty text.
    virtual std::optional<std::string> Read(const std::string& section, const std::string& key) = 0;

    // Writes one key; false when the platform refuses the write.
    virtual bool Write(const std::string& section, const std::string& key, const std::string& value) = 0;

    // Flushes the platform's cache for the file. Its outcome is of no interest to anyone.
    virtual void Flush() noexcept = 0;

    // The file's full path, as errors name it.
    virtual std::string Path() const = 0;
};
