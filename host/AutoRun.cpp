#include "AutoRun.h"

#include "AppError.h"

#include <memory>

std::string RunValueData(std::string_view modulePath) {
    std::string data(modulePath);
    if (data.find(' ') != std::string::npos) data = '"' + data + '"';
    return data;
}

void SetAutoRun(bool on, Registry& registry, std::string_view modulePath) {
    const std::unique_ptr<RegistryKey> key = registry.CreateMachineKey(kRunKeyPath);
    if (on) {
        if (!key || !key->SetString(kRunValueName, RunValueData(modulePath))) {
            throw AppError(std::string("Failed to set data for '") + kRunValueName + "'");
        }
    } else if (key) {
        key->DeleteValue(kRunValueName);  // a value that is not there is nothing to report
    }
}
