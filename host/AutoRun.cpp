#include "AutoRun.h"

#include "AppError.h"
#include "Concat.h"
#include "GbkText.h"

#include <memory>

namespace {

constexpr char kMachineValueCaption[] = "提示";
constexpr char kMachineValueText[] = "开机启动是管理员为本机所有用户设置的，只有管理员才能取消。";

// The key is closed when the call returns.
bool WriteRunValue(const std::unique_ptr<RegistryKey>& key, const std::string& data) {
    return key && key->SetString(kRunValueName, data);
}

void DeleteRunValue(const std::unique_ptr<RegistryKey>& key) {
    if (key) key->DeleteValue(kRunValueName);  // a value that is not there is nothing to report
}

// Whether the machine-wide value stays though this user may not change it.
bool SwitchOff(Registry& registry) {
    DeleteRunValue(registry.CreateUserKey(kRunKeyPath));
    if (const std::unique_ptr<RegistryKey> machine = registry.CreateMachineKey(kRunKeyPath)) {
        DeleteRunValue(machine);
        return false;
    }
    return registry.MachineString(kRunKeyPath, kRunValueName).has_value();
}

}  // namespace

std::string RunValueData(std::string_view modulePath) {
    std::string data(modulePath);
    if (data.find(' ') != std::string::npos) data = Concat({"\"", data, "\""});
    return data;
}

bool RunValueNames(std::string_view data, std::string_view modulePath) {
    while (!data.empty() && data.front() == ' ') data.remove_prefix(1);
    if (!data.empty() && data.front() == '"') {
        data.remove_prefix(1);
        data = data.substr(0, data.find('"'));
    } else {
        while (!data.empty() && data.back() == ' ') data.remove_suffix(1);
    }
    return SameGbkTextIgnoringCase(data, modulePath);
}

void SetAutoRun(bool on, Registry& registry, MessageBoxes& boxes, std::string_view modulePath) {
    if (!on) {
        if (SwitchOff(registry))
            boxes.ShowMessage(kMachineValueText, kMachineValueCaption, MessageIcon::Warning);
        return;
    }
    const std::string data = RunValueData(modulePath);
    if (WriteRunValue(registry.CreateMachineKey(kRunKeyPath), data)) {
        // A value left by a start without administrator rights would start the program twice.
        DeleteRunValue(registry.CreateUserKey(kRunKeyPath));
        return;
    }
    const std::optional<std::string> machine = registry.MachineString(kRunKeyPath, kRunValueName);
    if (machine && RunValueNames(*machine, modulePath)) {
        DeleteRunValue(registry.CreateUserKey(kRunKeyPath));
    } else if (!WriteRunValue(registry.CreateUserKey(kRunKeyPath), data)) {
        throw AppError(Concat({"Failed to set data for '", kRunValueName, "'"}));
    }
}
