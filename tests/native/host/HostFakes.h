#pragma once
#include "AppError.h"
#include "Gateway.h"
#include "ProfileStore.h"
#include "Registry.h"
#include "SettingsView.h"
#include "RecordedBoxes.h"

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// What happened, in order, across the fakes that share one log.
using EventLog = std::vector<std::string>;

inline const char* Name(SettingsEdit edit) {
    switch (edit) {
    case SettingsEdit::Edit1: return "Edit1";
    case SettingsEdit::Edit2: return "Edit2";
    case SettingsEdit::Edit3: return "Edit3";
    }
    return "?";
}

inline const char* Name(SettingsCheckBox box) {
    switch (box) {
    case SettingsCheckBox::CheckBox1: return "CheckBox1";
    case SettingsCheckBox::CheckBox2: return "CheckBox2";
    case SettingsCheckBox::CheckBox3: return "CheckBox3";
    case SettingsCheckBox::CheckBox5: return "CheckBox5";
    }
    return "?";
}

// The main window's settings controls as created: the built-in texts, every box off. A box
// whose state changes runs its handler from `onClick` (none: nothing runs) and logs it.
struct FakeSettingsWindow : SettingsView {
    explicit FakeSettingsWindow(EventLog& log) : log(log) {}

    EventLog& log;
    std::map<SettingsEdit, std::string> texts = {
        {SettingsEdit::Edit1, "admin"}, {SettingsEdit::Edit2, "531862"}, {SettingsEdit::Edit3, "1"}};
    std::map<SettingsCheckBox, bool> checked = {{SettingsCheckBox::CheckBox1, false},
                                                {SettingsCheckBox::CheckBox2, false},
                                                {SettingsCheckBox::CheckBox3, false},
                                                {SettingsCheckBox::CheckBox5, false}};
    std::map<SettingsCheckBox, std::function<void(bool)>> onClick;
    std::vector<std::string> errors;
    int minimiseRequests = 0;

    std::string Text(SettingsEdit edit) const override { return texts.at(edit); }
    void SetText(SettingsEdit edit, const std::string& text) override {
        log.push_back(std::string(Name(edit)) + "=" + text);
        texts[edit] = text;
    }
    bool Checked(SettingsCheckBox box) const override { return checked.at(box); }
    void SetChecked(SettingsCheckBox box, bool state) override {
        log.push_back(std::string(Name(box)) + "=" + (state ? "on" : "off"));
        if (checked.at(box) == state) return;
        checked[box] = state;
        log.push_back(std::string(Name(box)) + " click");
        if (const auto handler = onClick.find(box); handler != onClick.end()) handler->second(state);
    }
    void PostMinimise() override {
        log.push_back("minimise");
        ++minimiseRequests;
    }
    void ReportError(const AppError& error) override {
        log.push_back(std::string("error: ") + error.what());
        errors.push_back(error.what());
    }
};

// An INI file in memory. `refuseFrom` names the first key whose write the platform refuses.
struct FakeProfile : ProfileStore {
    explicit FakeProfile(EventLog& log) : log(log) {}

    EventLog& log;
    std::string path = "C:\\Program Files\\Pelorin\\setup.ini";
    std::map<std::string, std::map<std::string, std::string>> sections;
    std::optional<std::string> refuseFrom;
    bool refusing = false;

    std::optional<std::string> Read(const std::string& section, const std::string& key) override {
        log.push_back("read " + section + "/" + key);
        const auto found = sections.find(section);
        if (found == sections.end()) return std::nullopt;
        const auto value = found->second.find(key);
        if (value == found->second.end()) return std::nullopt;
        return value->second;
    }
    bool Write(const std::string& section, const std::string& key, const std::string& value) override {
        log.push_back("write " + section + "/" + key + "=" + value);
        if (key == refuseFrom) refusing = true;
        if (refusing) return false;
        sections[section][key] = value;
        return true;
    }
    void Flush() noexcept override { log.push_back("flush"); }
    std::string Path() const override { return path; }
};

// The registry as key paths with their values; `refuseOpen` and `refuseWrite` stand for a
// user without the rights to the machine-wide hive.
struct FakeRegistry : Registry {
    std::map<std::string, std::map<std::string, std::string>> keys;
    bool refuseOpen = false, refuseWrite = false;
    int openKeys = 0;

    struct Key : RegistryKey {
        Key(FakeRegistry& registry, std::string path) : registry(registry), path(std::move(path)) {
            ++registry.openKeys;
        }
        ~Key() override { --registry.openKeys; }
        bool SetString(const std::string& name, const std::string& data) override {
            if (registry.refuseWrite) return false;
            registry.keys[path][name] = data;
            return true;
        }
        bool DeleteValue(const std::string& name) override { return registry.keys[path].erase(name) == 1; }

        FakeRegistry& registry;
        std::string path;
    };

    std::unique_ptr<RegistryKey> CreateMachineKey(const std::string& path) override {
        if (refuseOpen) return nullptr;
        keys[path];
        return std::make_unique<Key>(*this, path);
    }
};

// Gives the scripted answers in turn, then fails; records the buffer sizes asked for.
struct ScriptedAdapters : AdapterSource {
    std::deque<AdapterAnswer> answers;
    std::vector<std::size_t> requestedSizes;

    AdapterAnswer RequestAdapters(std::size_t bufferSize) override {
        requestedSizes.push_back(bufferSize);
        if (answers.empty()) return AdapterAnswer{};
        AdapterAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

inline AdapterAnswer GatewayAnswer(const std::string& gateway) {
    return {AdapterAnswer::Status::Ok, 0, gateway};
}

inline AdapterAnswer TooSmallAnswer(std::size_t neededSize) {
    return {AdapterAnswer::Status::BufferTooSmall, neededSize, ""};
}
