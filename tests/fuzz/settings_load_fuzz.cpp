// LoadSettings and SaveSettings on arbitrary stored values: what is loaded follows the key
// rules, what is saved is what was loaded, and loading the saved file again gives the same
// window.
//
// Input:
//   byte 0    bit k: the k-th key is present in the file (keys in file order)
//   byte 1    bits 0-3: the click handlers of CheckBox1, 2, 3 and 5 that fail;
//             bits 4-6: the first write the platform refuses while saving, 7: none
//   the rest  the values of the present keys, one a line ("\n"); missing lines are empty;
//             the bytes after them, a setup.ini that the saved values are then written into

#include "AppError.h"
#include "FakeSettingsWindow.h"
#include "FuzzChecks.h"
#include "ProfileStore.h"
#include "ProfileText.h"
#include "Settings.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

struct Key {
    const char* name;
    bool isFlag;
    SettingsCheckBox box;
    SettingsEdit edit;
    const char* defaultText;
};

const Key kKeys[] = {
    {"TimeSwitch", true, SettingsCheckBox::CheckBox3, SettingsEdit::Edit1, nullptr},
    {"timer", false, SettingsCheckBox::CheckBox1, SettingsEdit::Edit3, "10"},
    {"boot", true, SettingsCheckBox::CheckBox5, SettingsEdit::Edit1, nullptr},
    {"loginname", false, SettingsCheckBox::CheckBox1, SettingsEdit::Edit1, "admin"},
    {"loginpassword", false, SettingsCheckBox::CheckBox1, SettingsEdit::Edit2, "lumko"},
    {"autologin", true, SettingsCheckBox::CheckBox2, SettingsEdit::Edit1, nullptr},
    {"hide", true, SettingsCheckBox::CheckBox1, SettingsEdit::Edit1, nullptr},
};
constexpr std::size_t kKeyCount = sizeof kKeys / sizeof kKeys[0];

const SettingsCheckBox kBoxes[] = {SettingsCheckBox::CheckBox1, SettingsCheckBox::CheckBox2,
                                   SettingsCheckBox::CheckBox3, SettingsCheckBox::CheckBox5};

// The section "set" of an INI file in memory; the writes from `refuseFrom` on are refused.
struct MemoryProfile : ProfileStore {
    std::map<std::string, std::string> values;
    std::vector<std::string> reads, writes;
    std::size_t refuseFrom = kKeyCount;
    int flushes = 0;

    std::optional<std::string> Read(const std::string& section, const std::string& key) override {
        FUZZ_CHECK(section == "set");
        reads.push_back(key);
        const auto found = values.find(key);
        if (found == values.end()) return std::nullopt;
        return found->second;
    }
    bool Write(const std::string& section, const std::string& key, const std::string& value) override {
        FUZZ_CHECK(section == "set");
        writes.push_back(key);
        if (writes.size() > refuseFrom) return false;
        values[key] = value;
        return true;
    }
    void Flush() noexcept override { ++flushes; }
    std::string Path() const override { return "C:\\Pelorin\\setup.ini"; }
};

bool ReferenceFlag(const std::optional<std::string>& value) {
    if (!value) return false;
    const std::optional<std::int32_t> number = ReferenceInteger(*value);
    return number && *number != 0;
}

std::vector<std::string> KeyNames() {
    std::vector<std::string> names;
    for (const Key& key : kKeys) names.push_back(key.name);
    return names;
}

// A value the profile rules keep as it is: no blank at either end, no line break, no quote
// at the start.
bool KeptAsItIs(const std::string& value) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\x1A'; };
    return value.find_first_of("\r\n") == std::string::npos &&
           (value.empty() ||
            (!blank(value.front()) && !blank(value.back()) && value.front() != '"' && value.front() != '\''));
}

// Writes the saved values into `file` with the file's own writer: each key then has a value;
// one kept as it is reads as written, a second write of it changes nothing, and no other
// key's value moves.
void WriteIntoFile(std::string file, const std::map<std::string, std::string>& values) {
    std::vector<std::string> names = KeyNames();
    names.push_back("other");
    for (const auto& [key, value] : values) {
        std::vector<std::optional<std::string>> before;
        for (const std::string& name : names) before.push_back(ReadProfileValue(file, "set", name, 2047));
        if (const std::optional<std::string> changed = WriteProfileValue(file, "set", key, value))
            file = *changed;
        const std::optional<std::string> read = ReadProfileValue(file, "set", key, 2047);
        FUZZ_CHECK(read.has_value());
        if (!KeptAsItIs(value)) continue;
        FUZZ_CHECK(*read == value.substr(0, 2047));
        FUZZ_CHECK(!WriteProfileValue(file, "set", key, value));
        for (std::size_t n = 0; n < names.size(); ++n)
            if (names[n] != key) FUZZ_CHECK(ReadProfileValue(file, "set", names[n], 2047) == before[n]);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const unsigned present = data[0];
    const unsigned failingHandlers = data[1] & 0x0F;
    const std::size_t refuseFrom = (data[1] >> 4) & 7;

    MemoryProfile file;
    std::vector<std::optional<std::string>> stored(kKeyCount);
    std::string_view rest(reinterpret_cast<const char*>(data + 2), size - 2);
    for (std::size_t k = 0; k < kKeyCount; ++k) {
        if (!(present & (1u << k))) continue;
        const std::size_t end = std::min(rest.find('\n'), rest.size());
        stored[k] = std::string(rest.substr(0, end));
        rest.remove_prefix(std::min(end + 1, rest.size()));
        file.values[kKeys[k].name] = *stored[k];
    }

    FakeSettingsWindow window;
    std::map<SettingsCheckBox, std::string> failures;
    for (std::size_t b = 0; b < 4; ++b) {
        if (!(failingHandlers & (1u << b))) continue;
        const SettingsCheckBox box = kBoxes[b];
        failures[box] = std::string("refused by ") + Name(box);
        window.onClick[box] = [message = failures[box]](bool) { throw AppError(message); };
    }

    LoadSettings(window, file);

    // Every key read once, in order, then the way to the router, the echo services and the dial-up entry; the
    // cache flushed once; every value in its control.
    std::vector<std::string> keysRead = KeyNames();
    keysRead.push_back("router");
    keysRead.push_back("ipcheck");
    keysRead.push_back("dialup");
    FUZZ_CHECK(file.reads == keysRead);
    FUZZ_CHECK(file.flushes == 1);
    std::vector<std::string> expectedErrors;
    for (std::size_t k = 0; k < kKeyCount; ++k) {
        const Key& key = kKeys[k];
        if (key.isFlag) {
            const bool on = ReferenceFlag(stored[k]);
            FUZZ_CHECK(FlagValue(stored[k], false) == on);
            FUZZ_CHECK(window.Checked(key.box) == on);
            // Every box starts off, so only a flag that is on runs its handler.
            if (on && failures.count(key.box)) expectedErrors.push_back(failures[key.box]);
        } else {
            const std::string expected =
                stored[k] ? stored[k]->substr(0, 2047) : std::string(key.defaultText);
            FUZZ_CHECK(TextValue(stored[k], key.defaultText) == expected);
            FUZZ_CHECK(window.Text(key.edit) == expected);
        }
    }
    FUZZ_CHECK(window.errors == expectedErrors);
    FUZZ_CHECK(window.minimiseRequests == (window.Checked(SettingsCheckBox::CheckBox1) ? 1 : 0));

    // Saved: texts as loaded, flags as "1" or "0"; a refused write ends the save there.
    MemoryProfile saved;
    saved.refuseFrom = refuseFrom;
    bool refused = false;
    try {
        SaveSettings(window, saved);
    } catch (const AppError& error) {
        refused = true;
        FUZZ_CHECK(std::string(error.what()) == "Unable to write to C:\\Pelorin\\setup.ini");
    }
    FUZZ_CHECK(refused == (refuseFrom < kKeyCount));
    FUZZ_CHECK(saved.flushes == 1);
    FUZZ_CHECK(saved.writes.size() == std::min(refuseFrom + 1, kKeyCount));
    FUZZ_CHECK(saved.values.size() == std::min(refuseFrom, kKeyCount));
    for (std::size_t k = 0; k < saved.writes.size(); ++k) FUZZ_CHECK(saved.writes[k] == kKeys[k].name);
    WriteIntoFile(std::string(rest), saved.values);
    for (std::size_t k = 0; k < saved.values.size(); ++k) {
        const Key& key = kKeys[k];
        const std::string& value = saved.values.at(key.name);
        if (key.isFlag) {
            FUZZ_CHECK(value == (window.Checked(key.box) ? "1" : "0"));
            FUZZ_CHECK(FlagValue(value, !window.Checked(key.box)) == window.Checked(key.box));
        } else {
            FUZZ_CHECK(value == window.Text(key.edit) && value.size() <= 2047);
        }
    }
    if (refused) return 0;

    // Loading what was saved gives the same window.
    FakeSettingsWindow again;
    LoadSettings(again, saved);
    FUZZ_CHECK(again.texts == window.texts);
    FUZZ_CHECK(again.checked == window.checked);
    FUZZ_CHECK(again.errors.empty());
    return 0;
}
