#include "Settings.h"

#include "AppError.h"
#include "Concat.h"
#include "GbkText.h"
#include "IntegerText.h"

#include <cstdint>
#include <utility>

namespace {

// One key of the file and the control it belongs to.
struct Setting {
    const char* key;
    bool isFlag;
    SettingsCheckBox box;     // flags
    SettingsEdit edit;        // texts
    const char* defaultText;  // texts; every flag is off by default
};

constexpr Setting Flag(const char* key, SettingsCheckBox box) {
    return {key, true, box, SettingsEdit::Edit1, nullptr};
}

constexpr Setting Text(const char* key, SettingsEdit edit, const char* defaultText) {
    return {key, false, SettingsCheckBox::CheckBox1, edit, defaultText};
}

// In the order the keys are read and written.
constexpr Setting kSettings[] = {
    Flag("TimeSwitch", SettingsCheckBox::CheckBox3),     Text("timer", SettingsEdit::Edit3, "10"),
    Flag("boot", SettingsCheckBox::CheckBox5),           Text("loginname", SettingsEdit::Edit1, "admin"),
    Text("loginpassword", SettingsEdit::Edit2, "lumko"), Flag("autologin", SettingsCheckBox::CheckBox2),
    Flag("hide", SettingsCheckBox::CheckBox1),
};

constexpr bool kFlagDefault = false;

constexpr char kRouterWayKey[] = "router";
constexpr char kWebWay[] = "web";
constexpr char kUpnpWay[] = "upnp";
constexpr char kDialupWay[] = "dialup";
constexpr char kEchoKey[] = "ipcheck";
constexpr char kDialEntryKey[] = "dialup";

// Flushes the profile cache however the load or save ends.
class FlushOnExit {
public:
    explicit FlushOnExit(ProfileStore& store) : store_(store) {}
    FlushOnExit(const FlushOnExit&) = delete;
    FlushOnExit& operator=(const FlushOnExit&) = delete;
    ~FlushOnExit() { store_.Flush(); }

private:
    ProfileStore& store_;
};

}  // namespace

std::string SettingsFilePath(std::string_view modulePath) {
    return Concat({modulePath.substr(0, FileNameStart(modulePath)), kSettingsFileName});
}

bool FlagValue(const std::optional<std::string>& value, bool defaultValue) {
    if (!value) return defaultValue;
    const std::optional<std::int32_t> number = ParseInteger(*value);
    return number ? *number != 0 : defaultValue;
}

std::string TextValue(const std::optional<std::string>& value, std::string_view defaultText) {
    if (!value) return std::string(defaultText);
    return value->substr(0, kMaxSettingText);
}

RouterWay RouterWayValue(const std::optional<std::string>& value) {
    if (!value) return RouterWay::Automatic;
    if (SameGbkTextIgnoringCase(*value, kWebWay)) return RouterWay::Web;
    if (SameGbkTextIgnoringCase(*value, kUpnpWay)) return RouterWay::Upnp;
    if (SameGbkTextIgnoringCase(*value, kDialupWay)) return RouterWay::Dialup;
    return RouterWay::Automatic;
}

void LoadSettings(SettingsView& view, ProfileStore& store) {
    {
        FlushOnExit flush(store);
        for (const Setting& setting : kSettings) {
            const std::optional<std::string> value = store.Read(kSettingsSection, setting.key);
            if (!setting.isFlag) {
                view.SetText(setting.edit, TextValue(value, setting.defaultText));
                continue;
            }
            // A handler's error must not cost the keys after it: skipping them would leave the
            // built-in user name and password in their boxes, and the next save would write
            // those over the stored ones.
            try {
                view.SetChecked(setting.box, FlagValue(value, kFlagDefault));
            } catch (const AppError& error) {
                view.ReportError(error);
            }
        }
        view.SetPinnedWay(RouterWayValue(store.Read(kSettingsSection, kRouterWayKey)));
        view.SetEchoSetting(TextValue(store.Read(kSettingsSection, kEchoKey), ""));
        view.SetDialEntrySetting(TextValue(store.Read(kSettingsSection, kDialEntryKey), ""));
    }
    if (view.Checked(SettingsCheckBox::CheckBox1)) view.PostMinimise();
}

void SaveSettings(const SettingsView& view, ProfileStore& store) {
    FlushOnExit flush(store);
    const auto write = [&store](const char* key, const std::string& value) {
        if (!store.Write(kSettingsSection, key, value))
            throw AppError(Concat({"Unable to write to ", store.Path()}));
    };
    for (const Setting& setting : kSettings) {
        write(setting.key,
              setting.isFlag ? (view.Checked(setting.box) ? "1" : "0") : view.Text(setting.edit));
    }
    switch (view.PinnedWay()) {
    case RouterWay::Web: write(kRouterWayKey, kWebWay); break;
    case RouterWay::Upnp: write(kRouterWayKey, kUpnpWay); break;
    case RouterWay::Dialup: write(kRouterWayKey, kDialupWay); break;
    case RouterWay::Automatic: break;
    }
    // The user's own list, or "off", stays as it was written; the defaults are never written.
    if (const std::string echo = view.EchoSetting(); !echo.empty()) write(kEchoKey, echo);
    if (const std::string entry = view.DialEntrySetting(); !entry.empty()) write(kDialEntryKey, entry);
}
