#include "WinRegistry.h"

#include "WinGbkText.h"

#include <utility>

RegKey& RegKey::operator=(RegKey&& other) noexcept {
    if (this != &other) {
        Close();
        key_ = other.Release();
    }
    return *this;
}

HKEY RegKey::Release() { return std::exchange(key_, nullptr); }

void RegKey::Close() {
    if (key_) RegCloseKey(std::exchange(key_, nullptr));
}

namespace {

class WinRegistryKey : public RegistryKey {
public:
    explicit WinRegistryKey(RegKey key) : key_(std::move(key)) {}

    bool SetString(const std::string& name, const std::string& data) override {
        // The data is a GBK path that may name a Chinese folder: stored in UTF-16, Windows
        // reads it right on any code page.
        const WideText wide = WideFromGbk(data);
        const auto* bytes = reinterpret_cast<const BYTE*>(wide.c_str());
        const auto size = static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t));  // with the NUL
        return RegSetValueExW(key_.Get(), WideFromGbk(name).c_str(), 0, REG_SZ, bytes, size) == ERROR_SUCCESS;
    }

    bool DeleteValue(const std::string& name) override {
        return RegDeleteValueW(key_.Get(), WideFromGbk(name).c_str()) == ERROR_SUCCESS;
    }

private:
    RegKey key_;
};

std::unique_ptr<RegistryKey> CreateKey(HKEY hive, const std::string& path) {
    HKEY opened = nullptr;
    const LONG result = RegCreateKeyExA(hive, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                        KEY_ALL_ACCESS, nullptr, &opened, nullptr);
    if (result != ERROR_SUCCESS) return nullptr;
    return std::make_unique<WinRegistryKey>(RegKey(opened));
}

}  // namespace

std::unique_ptr<RegistryKey> WinRegistry::CreateMachineKey(const std::string& path) {
    return CreateKey(HKEY_LOCAL_MACHINE, path);
}

std::unique_ptr<RegistryKey> WinRegistry::CreateUserKey(const std::string& path) {
    return CreateKey(HKEY_CURRENT_USER, path);
}

std::optional<std::string> WinRegistry::MachineString(const std::string& path, const std::string& name) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, WideFromGbk(path).c_str(), 0, KEY_QUERY_VALUE, &opened) !=
        ERROR_SUCCESS)
        return std::nullopt;
    const RegKey key(opened);
    const WideText wideName = WideFromGbk(name);
    DWORD type = REG_NONE, size = 0;
    if (RegQueryValueExW(key.Get(), wideName.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::nullopt;
    WideText data(size / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(key.Get(), wideName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                         &size) != ERROR_SUCCESS)
        return std::nullopt;
    data.resize(size / sizeof(wchar_t));
    // Stored with its NUL, or without one by a careless writer.
    while (!data.empty() && data.back() == L'\0') data.pop_back();
    return GbkFromWide(std::wstring_view(data.data(), data.size()));
}
