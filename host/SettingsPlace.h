#pragma once
#include <optional>
#include <string>
#include <string_view>

// Where setup.ini lives, decided once at start: beside the executable, as long as that folder
// and the file there can be written; otherwise in the user's own data folder.

// The file system as that choice sees it. Folders are given with their trailing backslash.
class SettingsFolders {
public:
    virtual ~SettingsFolders() = default;

    // Whether a new file can be made in the folder: one of a unique name is created there and
    // deleted again.
    virtual bool CanCreateFileIn(const std::string& folder) = 0;

    // The user's data folder for the program (%APPDATA%\Pelorin\), made when missing; nothing
    // when it cannot be had.
    virtual std::optional<std::string> UserDataFolder() = 0;

    virtual bool FileExists(const std::string& path) = 0;

    // Whether the existing file can be opened to be written and replaced: not when it is
    // read-only, another account's, or held open by another program that shares no writing.
    virtual bool CanWriteFile(const std::string& path) = 0;

    // Copies the file to `to`, which must not exist yet; the copy can be written.
    virtual bool CopyToNewFile(const std::string& from, const std::string& to) = 0;
};

// setup.ini beside the executable at `modulePath` while its folder can be written and the file
// there, if there is one, too. Otherwise
// setup.ini in the user's data folder, which starts as a copy of the file beside the
// executable, if there is one, the first time it is used. When the data folder cannot be
// written either, the file beside the executable (whose writes will be refused, as they
// were).
std::string ChooseSettingsFile(std::string_view modulePath, SettingsFolders& folders);
