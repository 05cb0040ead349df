#include "AutoRun.h"

#include "AppError.h"

#include <memory>

namespace {

// The key is closed when the call returns.
bool WriteRunValue(const std::unique_ptr<RegistryKey>& key, const std::string& data) {
    return key && key->SetString(kRunValueName, data);
}

void DeleteRunValue(const std::unique_ptr<RegistryKey>& key) {
    if (key) key->DeleteValue(kRunValueName);  // a value that is not there is nothing to report
}

}  // namespace

std::string RunValueData(std::string_view modulePath) {
    std::string data(modulePath);
    if (data.find(' ') != std::string::npos) data = '"' + data + '"';
    return data;
}

void SetAutoRun(bool on, Registry& registry, std::string_view modulePath) {
    if (!on) {
        DeleteRunValue(registry.CreateMachineKey(kRunKeyPath));
        DeleteRunValue(registry.CreateUserKey(kRunKeyPath));
        return;
    }
    const std::string data = RunValueData(modulePath);
    if (WriteRunValue(registry.CreateMachineKey(kRunKeyPath), data)) {
        // A value left by a start without administrator rights would start the program twice.
        DeleteRunValue(registry.CreateUserKey(kRunKeyPath));
    } else if (!WriteRunValue(registry.CreateUserKey(kRunKeyPath), data)) {
        throw AppError(std::string("Failed to set data for '") + kRunValueName + "'");
    }
}
