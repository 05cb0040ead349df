#include "ProfileText.h"

#include "GbkText.h"

#include <vector>

namespace {

struct Key {
    std::string name;
    std::optional<std::string> value;
};

struct Section {
    std::string name;
    std::vector<Key> keys;
};

struct Profile {
    std::vector<Section> sections;  // the first one has no name
};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\x1A'; }

bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::string_view WithoutLeadingBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    return text;
}

void AddLine(Profile& profile, std::string_view line, const Key*& previous) {
    if (line.front() == '[') {
        // A trail byte may be "]": the name ends at the last "]" that is a character.
        std::size_t close = std::string_view::npos;
        for (std::size_t at = 0; at < line.size(); at += GbkCharLength(line, at))
            if (line[at] == ']') close = at;
        if (close != std::string_view::npos && close > 0) {
            profile.sections.push_back({std::string(Trimmed(line.substr(1, close - 1))), {}});
            previous = nullptr;
            return;
        }
    }
    Key key;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
        key.name = std::string(line);
    } else {
        key.name = std::string(Trimmed(line.substr(0, equals)));
        key.value = std::string(WithoutLeadingBlanks(line.substr(equals + 1)));
    }
    // Of lines without a name in a row, only the first is kept.
    if (!key.name.empty() || !previous || !previous->name.empty()) {
        std::vector<Key>& keys = profile.sections.back().keys;
        keys.push_back(std::move(key));
        previous = &keys.back();
    }
}

Profile Parse(std::string_view file) {
    Profile profile;
    profile.sections.push_back({});
    const Key* previous = nullptr;
    std::size_t at = 0;
    while (at < file.size()) {
        std::size_t end = at;
        while (end < file.size() && !IsLineEnd(file[end])) ++end;
        const std::string_view line = Trimmed(file.substr(at, end - at));
        if (!line.empty()) AddLine(profile, line, previous);
        at = end;
        while (at < file.size() && IsLineEnd(file[at])) ++at;
    }
    return profile;
}

Section* FindSection(Profile& profile, std::string_view name) {
    for (Section& section : profile.sections)
        if (SameGbkTextIgnoringCase(section.name, Trimmed(name))) return &section;
    return nullptr;
}

Key* FindKey(Section& section, std::string_view name) {
    for (Key& key : section.keys)
        if (SameGbkTextIgnoringCase(key.name, Trimmed(name))) return &key;
    return nullptr;
}

std::string Text(const Profile& profile) {
    std::string text;
    for (const Section& section : profile.sections) {
        if (!section.name.empty()) {
            text += '[';
            text += section.name;
            text += "]\r\n";
        }
        for (const Key& key : section.keys) {
            text += key.name;
            if (key.value) {
                text += '=';
                text += *key.value;
            }
            text += "\r\n";
        }
    }
    return text;
}

}  // namespace

std::optional<std::string> ReadProfileValue(std::string_view file, std::string_view section,
                                            std::string_view key, std::size_t maxLength) {
    Profile profile = Parse(file);
    Section* found = FindSection(profile, section);
    const Key* entry = found ? FindKey(*found, key) : nullptr;
    if (!entry || !entry->value) return std::nullopt;
    std::string_view value = Trimmed(*entry->value);
    // The closing quote goes only when it fits the caller's buffer with its NUL.
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value.remove_prefix(1);
        if (value.size() <= maxLength + 1) value.remove_suffix(1);
    }
    return std::string(value.substr(0, maxLength));
}

std::optional<std::string> WriteProfileValue(std::string_view file, std::string_view section,
                                             std::string_view key, std::string_view value) {
    Profile profile = Parse(file);
    Section* found = FindSection(profile, section);
    // A name made here keeps its trailing blanks, as the profile functions keep them.
    if (!found)
        found = &profile.sections.emplace_back(Section{std::string(WithoutLeadingBlanks(section)), {}});
    value = WithoutLeadingBlanks(value);
    if (Key* entry = FindKey(*found, key)) {
        if (entry->value == value) return std::nullopt;
        entry->value = std::string(value);
    } else {
        found->keys.push_back({std::string(WithoutLeadingBlanks(key)), std::string(value)});
    }
    return Text(profile);
}
