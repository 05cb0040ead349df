#pragma once
#include "SettingsPlace.h"

// The file system and the shell's application-data folder.
class WinSettingsFolders : public SettingsFolders {
public:
    bool CanCreateFileIn(const std::string& folder) override;
    std::optional<std::string> UserDataFolder() override;
    bool FileExists(const std::string& path) override;
    bool CanWriteFile(const std::string& path) override;
    bool CopyToNewFile(const std::string& from, const std::string& to) override;
};

// ChooseSettingsFile on this machine, for this user.
std::string SettingsFileForThisUser(std::string_view modulePath);
