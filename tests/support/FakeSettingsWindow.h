#pragma once
#include "AppError.h"
#include "SettingsView.h"

#include <functional>
#include <map>
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
    FakeSettingsWindow() : log(ownLog) {}
    explicit FakeSettingsWindow(EventLog& sharedLog) : log(sharedLog) {}
    FakeSettingsWindow(const FakeSettingsWindow&) = delete;  // `log` may be its own

    EventLog ownLog;
    EventLog& log;
    std::map<SettingsEdit, std::string> texts = {
        {SettingsEdit::Edit1, "admin"}, {SettingsEdit::Edit2, "531862"}, {SettingsEdit::Edit3, "1"}};
    std::map<SettingsCheckBox, bool> checked = {{SettingsCheckBox::CheckBox1, false},
                                                {SettingsCheckBox::CheckBox2, false},
                                                {SettingsCheckBox::CheckBox3, false},
                                                {SettingsCheckBox::CheckBox5, false}};
    std::map<SettingsCheckBox, std::function<void(bool)>> onClick;
    RouterWay way = RouterWay::Automatic;
    std::string echo;       // the "ipcheck" key
    std::string dialEntry;  // the "dialup" key
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
    RouterWay PinnedWay() const override { return way; }
    void SetPinnedWay(RouterWay pinned) override {
        static const char* const names[] = {"automatic", "web", "upnp", "dialup"};
        log.push_back(std::string("way=") + names[static_cast<int>(pinned)]);
        way = pinned;
    }
    std::string EchoSetting() const override { return echo; }
    void SetEchoSetting(const std::string& value) override {
        log.push_back("ipcheck=" + value);
        echo = value;
    }
    std::string DialEntrySetting() const override { return dialEntry; }
    void SetDialEntrySetting(const std::string& value) override {
        log.push_back("dialup=" + value);
        dialEntry = value;
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
