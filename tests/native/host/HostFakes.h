#pragma once
#include "AppError.h"
#include "FakeSettingsWindow.h"
#include "Gateway.h"
#include "ProfileStore.h"
#include "RecordedBoxes.h"
#include "Registry.h"

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

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

// The registry as key paths with their values, one map per hive. A hive's `refuseOpen` and
// `refuseWrite` stand for a user without the rights to it.
struct FakeRegistry : Registry {
    struct Hive {
        std::map<std::string, std::map<std::string, std::string>> keys;
        bool refuseOpen = false, refuseWrite = false;
    };
    Hive machine, user;
    int openKeys = 0;

    struct Key : RegistryKey {
        Key(FakeRegistry& registry, Hive& hive, std::string path)
            : registry(registry), hive(hive), path(std::move(path)) {
            ++registry.openKeys;
        }
        ~Key() override { --registry.openKeys; }
        bool SetString(const std::string& name, const std::string& data) override {
            if (hive.refuseWrite) return false;
            hive.keys[path][name] = data;
            return true;
        }
        bool DeleteValue(const std::string& name) override { return hive.keys[path].erase(name) == 1; }

        FakeRegistry& registry;
        Hive& hive;
        std::string path;
    };

    std::unique_ptr<RegistryKey> CreateMachineKey(const std::string& path) override {
        return Open(machine, path);
    }
    std::unique_ptr<RegistryKey> CreateUserKey(const std::string& path) override { return Open(user, path); }
    std::optional<std::string> MachineString(const std::string& path, const std::string& name) override {
        const auto key = machine.keys.find(path);
        if (key == machine.keys.end() || !key->second.count(name)) return std::nullopt;
        return key->second.at(name);
    }

private:
    std::unique_ptr<RegistryKey> Open(Hive& hive, const std::string& path) {
        if (hive.refuseOpen) return nullptr;
        hive.keys[path];
        return std::make_unique<Key>(*this, hive, path);
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
