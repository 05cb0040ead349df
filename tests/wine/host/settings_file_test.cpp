#include "HostWineSupport.h"
#include "Settings.h"
#include "WinProfileFile.h"
#include "WinSettingsFolders.h"

#include <gtest/gtest.h>

namespace {

struct SettingsFileTest : testing::Test {
    TempDirectory directory;
    std::string path = directory.Path() + "setup.ini";
    WinProfileFile file{path};

    static void SetAll(SettingsControls& window, bool on, const std::string& interval,
                       const std::string& user, const std::string& password) {
        for (auto& [box, checked] : window.checked) checked = on;
        window.texts[SettingsEdit::Edit3] = interval;
        window.texts[SettingsEdit::Edit1] = user;
        window.texts[SettingsEdit::Edit2] = password;
    }
};

TEST_F(SettingsFileTest, MissingFileGivesTheDefaultsAndIsNotCreated) {
    SettingsControls window;
    LoadSettings(window, file);

    EXPECT_EQ(window.texts[SettingsEdit::Edit1], "admin");
    EXPECT_EQ(window.texts[SettingsEdit::Edit2], "lumko");
    EXPECT_EQ(window.texts[SettingsEdit::Edit3], "10");
    for (const auto& [box, on] : window.checked) EXPECT_FALSE(on);
    EXPECT_EQ(window.minimiseRequests, 0);
    EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(SettingsFileTest, EveryKeyRoundTripsThroughTheFile) {
    SettingsControls saved;
    SetAll(saved, true, "15", "管理员", "p@ss=w;rd#1 路由");
    SaveSettings(saved, file);

    const std::vector<std::string> expectedLines = {"[set]",
                                                    "TimeSwitch=1",
                                                    "timer=15",
                                                    "boot=1",
                                                    "loginname=管理员",
                                                    "loginpassword=p@ss=w;rd#1 路由",
                                                    "autologin=1",
                                                    "hide=1"};
    const std::string written = ReadFileBytes(path);
    EXPECT_EQ(Lines(written), expectedLines);

    SettingsControls loaded;
    LoadSettings(loaded, file);
    EXPECT_EQ(loaded.texts, saved.texts);
    EXPECT_EQ(loaded.checked, saved.checked);
    EXPECT_EQ(loaded.minimiseRequests, 1);

    // Saving what was loaded changes nothing in the file.
    SaveSettings(loaded, file);
    EXPECT_EQ(ReadFileBytes(path), written);

    // And back: flags written as 0 switch boxes off.
    SetAll(saved, false, "abc", "root", "");
    SaveSettings(saved, file);
    LoadSettings(loaded, file);
    EXPECT_EQ(loaded.texts, saved.texts);
    EXPECT_EQ(loaded.checked, saved.checked);
}

TEST_F(SettingsFileTest, ReadsAFileWrittenByHand) {
    const std::string longPassword(3000, 'x');
    ASSERT_TRUE(WriteFileBytes(path,
                               "[Set]\r\n"
                               "TimeSwitch = 0x1\r\n"
                               "timer=  7  \r\n"
                               "boot=yes\r\n"
                               "LOGINNAME=\r\n"
                               "loginpassword=" +
                                   longPassword +
                                   "\r\n"
                                   "hide=$1\r\n"));
    SettingsControls window;
    LoadSettings(window, file);

    EXPECT_TRUE(window.checked[SettingsCheckBox::CheckBox3]);
    EXPECT_EQ(window.texts[SettingsEdit::Edit3], "7");  // the profile functions drop the blanks
    EXPECT_FALSE(window.checked[SettingsCheckBox::CheckBox5]);
    EXPECT_EQ(window.texts[SettingsEdit::Edit1], "");  // present and empty: not the default
    EXPECT_EQ(window.texts[SettingsEdit::Edit2], std::string(2047, 'x'));
    EXPECT_FALSE(window.checked[SettingsCheckBox::CheckBox2]);
    EXPECT_TRUE(window.checked[SettingsCheckBox::CheckBox1]);
    EXPECT_EQ(window.minimiseRequests, 1);
}

TEST_F(SettingsFileTest, RefusedWriteRaisesTheErrorAndWritesNothingAfterTheFailedKey) {
    ASSERT_TRUE(CreateDirectoryA(path.c_str(), nullptr));  // where the file should be
    SettingsControls window;
    SetAll(window, true, "15", "管理员", "secret");
    RecordingProfile recorded(file);

    try {
        SaveSettings(window, recorded);
        ADD_FAILURE() << "no error";
    } catch (const AppError& error) {
        EXPECT_EQ(std::string(error.what()), "Unable to write to " + path);
    }
    EXPECT_EQ(recorded.writes, std::vector<std::string>{"TimeSwitch"});
    const DWORD attributes = GetFileAttributesA(path.c_str());
    EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY));

    // Loading from there gives the defaults.
    SettingsControls loaded;
    LoadSettings(loaded, file);
    EXPECT_EQ(loaded.texts[SettingsEdit::Edit1], "admin");
    EXPECT_TRUE(loaded.errors.empty());
}

// The probe leaves nothing behind; a copy of a read-only file can be saved to and never
// replaces the user's own file.
TEST_F(SettingsFileTest, TheFolderProbeLeavesNothingAndTheCopyCanBeWritten) {
    WinSettingsFolders folders;
    EXPECT_TRUE(folders.CanCreateFileIn(directory.Path()));
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((directory.Path() + "*.*").c_str(), &found);
    int entries = 0;
    if (search != INVALID_HANDLE_VALUE) {
        do ++entries;
        while (FindNextFileA(search, &found));
        FindClose(search);
    }
    EXPECT_EQ(entries, 2);  // "." and ".."
    EXPECT_FALSE(folders.CanCreateFileIn(directory.Path() + "missing\\"));

    const std::string original = directory.Path() + "original.ini", copy = path;
    ASSERT_TRUE(WriteFileBytes(original, "[set]\r\nloginname=原来\r\n"));
    SetFileAttributesA(original.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(folders.FileExists(original));
    EXPECT_FALSE(folders.FileExists(directory.Path()));
    ASSERT_TRUE(folders.CopyToNewFile(original, copy));
    EXPECT_FALSE(GetFileAttributesA(copy.c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(file.Write("set", "timer", "9"));
    EXPECT_EQ(file.Read("set", "loginname"), std::optional<std::string>("原来"));
    EXPECT_FALSE(folders.CopyToNewFile(original, copy));
    EXPECT_EQ(file.Read("set", "timer"), std::optional<std::string>("9"));
}

}  // namespace
