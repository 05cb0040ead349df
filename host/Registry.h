#pragma once
#include <memory>
#include <optional>
#include <string>

// An open registry key; destroying it closes the key.
class RegistryKey {
public:
    virtual ~RegistryKey() = default;

    // Writes a REG_SZ value, its terminating NUL included, replacing any earlier data.
    virtual bool SetString(const std::string& name, const std::string& data) = 0;

    // Deletes the value; false when it does not exist or the platform refuses.
    virtual bool DeleteValue(const std::string& name) = 0;
};

// The registry as the start-with-Windows registration needs it.
class Registry {
public:
    virtual ~Registry() = default;

    // Opens HKEY_LOCAL_MACHINE\<path> with full access, creating the key when it does not
    // exist; nothing when the platform refuses (a user without administrator rights).
    virtual std::unique_ptr<RegistryKey> CreateMachineKey(const std::string& path) = 0;

    // The same under HKEY_CURRENT_USER, the user's own hive.
    virtual std::unique_ptr<RegistryKey> CreateUserKey(const std::string& path) = 0;

    // A REG_SZ value under HKEY_LOCAL_MACHINE\<path>, which every user may read; nothing when
    // the key or the value is missing. The key is closed when the call returns.
    virtual std::optional<std::string> MachineString(const std::string& path, const std::string& name) = 0;
};
