#include "SettingsPlace.h"

#include "Concat.h"
#include "Settings.h"

std::string ChooseSettingsFile(std::string_view modulePath, SettingsFolders& folders) {
    const std::string besideExe = SettingsFilePath(modulePath);
    const std::string exeFolder = besideExe.substr(0, besideExe.size() - (sizeof kSettingsFileName - 1));
    if (folders.CanCreateFileIn(exeFolder) &&
        (!folders.FileExists(besideExe) || folders.CanWriteFile(besideExe)))
        return besideExe;

    const std::optional<std::string> dataFolder = folders.UserDataFolder();
    if (!dataFolder || !folders.CanCreateFileIn(*dataFolder)) return besideExe;
    const std::string own = Concat({*dataFolder, kSettingsFileName});
    // A copy that fails leaves the defaults, as a missing file does.
    if (!folders.FileExists(own) && folders.FileExists(besideExe)) folders.CopyToNewFile(besideExe, own);
    return own;
}
