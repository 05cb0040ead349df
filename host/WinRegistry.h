#pragma once
#include "Registry.h"

#include <windows.h>

// Owns one open registry key and closes it.
class RegKey {
public:
    RegKey() = default;
    explicit RegKey(HKEY key) : key_(key) {}
    RegKey(RegKey&& other) noexcept : key_(other.Release()) {}
    RegKey& operator=(RegKey&& other) noexcept;
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    ~RegKey() { Close(); }

    HKEY Get() const { return key_; }
    HKEY Release();
    void Close();

private:
    HKEY key_ = nullptr;
};

// The real registry.
class WinRegistry : public Registry {
public:
    std::unique_ptr<RegistryKey> CreateMachineKey(const std::string& path) override;
    std::unique_ptr<RegistryKey> CreateUserKey(const std::string& path) override;
    std::optional<std::string> MachineString(const std::string& path, const std::string& name) override;
};
