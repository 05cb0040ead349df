// The real Pelorin.exe started with settings files as they turn up on users' machines:
// empty, garbage, huge values, a byte order mark, keys twice, no section, a file held open,
// a directory in the file's place, a folder named in GBK with a blank. Each must start and
// show what it can; a close must either save exactly what the window holds or say that the
// file cannot be written and keep running. The cases and what happened go to
// docs/settings-files.md.
#include "AppUnderTest.h"
#include "ControlIds.h"
#include "MessageBoxWatch.h"
#include "Report.h"
#include "RigSupport.h"
#include "WindowAccess.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace ControlId;

constexpr DWORD kCloseMs = 10000;
constexpr std::size_t kLongValueBytes = 1024 * 1024;

enum class Place { File, LockedFile, Directory };
enum class OnClose { Saves, Refuses };

struct SettingsCase {
    const char* name;
    std::string bytes;
    Place place;
    const char* folderName;  // "" for a generated one
    OnClose onClose;
    // What the window should show after the start, as "user|password|interval|TimeSwitch boot
    // autologin hide"; nullptr: whatever it can.
    const char* shows;
};

// Deterministic bytes of every value, NULs and line breaks among them.
std::string Garbage(std::size_t size) {
    std::string bytes;
    unsigned state = 12345;
    for (std::size_t i = 0; i < size; ++i) {
        state = state * 1103515245u + 12345u;
        bytes += static_cast<char>(state >> 16);
    }
    return bytes;
}

std::vector<SettingsCase> Cases() {
    const std::string longValue(kLongValueBytes, 'x');
    return {
        {"empty file", "", Place::File, "", OnClose::Saves, "admin|lumko|10|0000"},
        {"binary garbage (4 KB)", Garbage(4096), Place::File, "", OnClose::Saves, "admin|lumko|10|0000"},
        {"garbage after the section", "[set]\r\ntimer=3\r\n" + Garbage(4096), Place::File, "", OnClose::Saves,
         nullptr},
        {"values of 1 MB",
         "[set]\r\nloginname=" + longValue + "\r\ntimer=" + longValue + "\r\nautologin=1\r\n", Place::File,
         "", OnClose::Saves, nullptr},
        // 管理员 in UTF-8, after a UTF-8 byte order mark.
        {"UTF-8 with BOM",
         "\xEF\xBB\xBF[set]\r\nloginname=\xE7\xAE\xA1\xE7\x90\x86\xE5\x91\x98\r\ntimer=7\r\n", Place::File,
         "", OnClose::Saves, "管理员|lumko|7|0000"},
        {"keys twice",
         "[set]\r\ntimer=5\r\nloginname=first\r\ntimer=9\r\nloginname=second\r\nautologin=1\r\n", Place::File,
         "", OnClose::Saves, "first|lumko|5|0010"},
        {"no section", "timer=5\r\nloginname=nobody\r\nautologin=1\r\n", Place::File, "", OnClose::Saves,
         "admin|lumko|10|0000"},
        {"another section only", "[other]\r\ntimer=5\r\nautologin=1\r\n", Place::File, "", OnClose::Saves,
         "admin|lumko|10|0000"},
        {"LF line ends, blanks around", "[set]\n  timer = 4 \nloginname=\tuser\t\nTimeSwitch=1\n",
         Place::File, "", OnClose::Saves, nullptr},
        {"file held open by another program", "[set]\r\ntimer=6\r\n", Place::LockedFile, "", OnClose::Refuses,
         "admin|lumko|6|0000"},
        {"a directory named setup.ini", "", Place::Directory, "", OnClose::Refuses, "admin|lumko|10|0000"},
        {"folder \"测试 目录\" (GBK, a blank)", "[set]\r\nloginname=用户\r\ntimer=8\r\n", Place::File,
         "测试 目录", OnClose::Saves, "用户|lumko|8|0000"},
    };
}

constexpr const char* kKeys[] = {"TimeSwitch",    "timer",     "boot", "loginname",
                                 "loginpassword", "autologin", "hide"};

// The seven values as the window holds them, in the file's terms and key order.
std::vector<std::string> WindowValues(HWND form) {
    auto flag = [&](int id) { return std::string(Checked(Control(form, id)) ? "1" : "0"); };
    return {flag(CheckBox3),
            Text(Control(form, Edit3)),
            flag(CheckBox5),
            Text(Control(form, Edit1)),
            Text(Control(form, Edit2)),
            flag(CheckBox2),
            flag(CheckBox1)};
}

// A value too long to show is given by its length.
std::string Short(const std::string& value) {
    return value.size() > 40 ? "(" + std::to_string(value.size()) + " bytes)" : value;
}

std::string Shown(const std::vector<std::string>& values) {
    return Short(values[3]) + "|" + Short(values[4]) + "|" + Short(values[1]) + "|" + values[0] + values[2] +
           values[5] + values[6];
}

// The report names no temporary folder, so it stays the same from run to run.
std::string WithoutFolder(std::string text, const std::string& folder) {
    const std::size_t at = text.find(folder);
    return at == std::string::npos ? text : text.replace(at, folder.size(), "<folder>\\");
}

// The seven values as the profile functions read them back from the file.
std::vector<std::string> FileValues(const std::string& path) {
    std::vector<std::string> values;
    std::vector<char> buffer(4 * kLongValueBytes);
    for (const char* key : kKeys) {
        const DWORD length = GetPrivateProfileStringA("set", key, "(missing)", buffer.data(),
                                                      static_cast<DWORD>(buffer.size()), path.c_str());
        values.emplace_back(buffer.data(), length);
    }
    return values;
}

std::string Describe(const std::string& bytes, Place place) {
    if (place == Place::Directory) return "a directory";
    std::string shown = std::to_string(bytes.size()) + " bytes";
    return place == Place::LockedFile ? shown + ", opened without write sharing" : shown;
}

TEST(SettingsFiles, HostileFilesStartAndEveryCloseSavesWholeOrSaysSo) {
    RequireRig();
    const ULONGLONG started = GetTickCount64();
    std::string table = TableRow({"case", "setup.ini", "window shows (user\\|password\\|interval\\|flags)",
                                  "expected on close", "on close", "file afterwards", "verdict"});
    table += "|---|---|---|---|---|---|---|\n";
    bool all = true;

    for (const SettingsCase& settingsCase : Cases()) {
        SCOPED_TRACE(settingsCase.name);
        std::string why;
        LaunchSettings launch;
        launch.waitForMainWindow = false;
        launch.folderName = settingsCase.folderName;
        if (settingsCase.place == Place::Directory) {
            launch.setupIniIsDirectory = true;
        } else {
            launch.setupIni = settingsCase.bytes;
        }
        AppUnderTest app(launch);
        // Started minimised or not, the form exists and answers.
        HWND form = nullptr;
        const bool up = WaitUntil(
            [&] { return (form = app.TopWindow("TForm1")) && Responsive(form) && Control(form, Edit4); },
            kStartTimeoutMs);
        ASSERT_TRUE(up) << "did not start";
        Sleep(300);
        const std::vector<std::string> held = WindowValues(form);
        if (settingsCase.shows && Shown(held) != settingsCase.shows) why += "shows " + Shown(held) + "; ";
        const std::string before = ReadFileBytes(app.SettingsPath());

        // Another program holds the file open and lets others only read it.
        HANDLE holder = INVALID_HANDLE_VALUE;
        if (settingsCase.place == Place::LockedFile) {
            holder = CreateFileA(app.SettingsPath().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
            EXPECT_NE(holder, INVALID_HANDLE_VALUE);
        }
        PostClose(form);
        std::optional<SeenBox> box;
        WaitUntil([&] { return !app.Running() || (box = WaitForBox(app.ProcessId(), 0)).has_value(); },
                  kCloseMs);
        std::string onClose, fileAfter;
        if (!app.Running()) {
            onClose = "saved and ended";
            const std::vector<std::string> saved = FileValues(app.SettingsPath());
            const bool whole = saved == held;
            fileAfter = whole ? "holds exactly the window's values" : "DIFFERS from the window";
            if (!whole) {
                for (std::size_t key = 0; key < saved.size(); ++key) {
                    if (saved[key] != held[key])
                        why += std::string(kKeys[key]) + " saved as " + saved[key].substr(0, 40) + "; ";
                }
            }
            if (settingsCase.onClose != OnClose::Saves) why += "saved, a refusal was expected; ";
        } else if (box) {
            const std::string expected = "Unable to write to " + app.SettingsPath() + ".";
            onClose = box->caption + ": " + box->text;
            if (box->caption != "Pelorin" || box->text != expected) why += "box " + onClose + "; ";
            EXPECT_TRUE(CloseBox(box->window));
            Sleep(500);
            const bool alive = app.Running() && Responsive(form) && Visible(form);
            onClose += alive ? ", keeps running" : ", NOT RUNNING";
            if (!alive) why += "gone after the box; ";
            const bool same = ReadFileBytes(app.SettingsPath()) == before;
            fileAfter = settingsCase.place == Place::Directory ? "still a directory"
                        : same                                 ? "unchanged"
                                                               : "CHANGED";
            if (!same) why += "file changed; ";
            if (settingsCase.onClose != OnClose::Refuses) why += "refused, saving was expected; ";
            app.End();
        } else {
            onClose = "neither ended nor told";
            why += "no end and no box after a close; ";
        }
        if (holder != INVALID_HANDLE_VALUE) CloseHandle(holder);
        if (!why.empty()) ADD_FAILURE() << why;
        all = all && why.empty();
        table +=
            TableRow({Cell(settingsCase.name), Describe(settingsCase.bytes, settingsCase.place),
                      Cell(Shown(held), 60), settingsCase.onClose == OnClose::Saves ? "saves" : "refuses",
                      Cell(WithoutFolder(onClose, app.Folder()), 100), fileAfter,
                      why.empty() ? "as expected" : "**FAILED**: " + Cell(why)});
    }

    const std::string report =
        "# Hostile settings files met by Pelorin\n\n"
        "Generated by the test `SettingsFiles.HostileFilesStartAndEveryCloseSavesWholeOrSaysSo` "
        "(`tests/wine/ui/settings_files_test.cpp`, ctest `ui_settings_files_in_rig`): the real 64-bit "
        "`Pelorin.exe` under Wine, started once per case with the given `setup.ini` beside it, then closed "
        "by its close box. Do not edit by hand.\n\n"
        "A close must either end the program with the file holding exactly the seven values the window held "
        "(read back through the profile functions) or show \"Unable to write to <path>.\" and keep running "
        "with the file as it was. The flags are TimeSwitch, boot, autologin and hide. A setup.ini that "
        "cannot "
        "be written from the start (read-only, another account's) sends the settings to the user's own file: "
        "`SettingsFiles.FromAFolderThatCannotBeWrittenTheSettingsLiveInTheUsersOwnFile`. The held "
        "file is opened by the driver, allowing others only to read, from just before the close until the "
        "outcome is seen.\n\n" +
        table + "\n" + (all ? "All cases as expected; " : "SOME CASES FAILED; ") +
        std::to_string((GetTickCount64() - started + 500) / 1000) + " s in all.\n";
    EXPECT_TRUE(WriteReport("settings-files.md", report)) << "PELORIN_REPORT_DIR not set";
}

// The user's own setup.ini, used when the program's folder cannot be written.
std::string UsersOwnSettingsFile() {
    char appData[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData);
    return std::string(appData) + "\\Pelorin\\setup.ini";
}

// The names in the folder, with their sizes.
std::string Listing(const std::string& folder) {
    std::string names;
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do names += std::string(found.cFileName) + " " + std::to_string(found.nFileSizeLow) + "; ";
    while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

// The program in a folder where no file can be made (an immutable folder), or beside a
// setup.ini that cannot be written (an immutable file), both made by run-with-readonly-ini.sh
// with the same setup.ini: the first start takes that file's values, every close saves to the
// user's own file, the next start shows what was saved, and the program's folder stays as it
// was.
void SettingsLiveInTheUsersOwnFile(const char* variable, bool programInPlace) {
    RequireRig();
    const char* folder = std::getenv(variable);
    if (!folder || !*folder) GTEST_SKIP() << "no immutable folder or file here (run-with-readonly-ini.sh)";
    const std::string own = UsersOwnSettingsFile();
    DeleteFileA(own.c_str());
    LaunchSettings launch;
    launch.folderName = folder;
    launch.programInPlace = programInPlace;
    const std::string expected[] = {"beside|pw|7|0000", "换了|pw|9|0000"};
    std::string before;

    for (const std::string& shows : expected) {
        SCOPED_TRACE(shows);
        AppUnderTest app(launch);
        const HWND form = app.WaitForMainWindow();
        ASSERT_TRUE(form);
        if (before.empty()) before = Listing(app.Folder()) + ReadFileBytes(app.SettingsPath());
        EXPECT_EQ(Shown(WindowValues(form)), shows);
        SetText(Control(form, Edit1), "换了");
        SetText(Control(form, Edit3), "9");

        PostClose(form);
        EXPECT_TRUE(app.WaitForExit(kCloseMs)) << "the close did not end the program";
        EXPECT_EQ(FileValues(own), (std::vector<std::string>{"0", "9", "0", "换了", "pw", "0", "0"}));
        EXPECT_EQ(Listing(app.Folder()) + ReadFileBytes(app.SettingsPath()), before);
    }
    DeleteFileA(own.c_str());
}

TEST(SettingsFiles, FromAFolderThatCannotBeWrittenTheSettingsLiveInTheUsersOwnFile) {
    SettingsLiveInTheUsersOwnFile("PELORIN_LOCKED_FOLDER", true);
}

TEST(SettingsFiles, BesideASetupIniThatCannotBeWrittenTheSettingsLiveInTheUsersOwnFile) {
    SettingsLiveInTheUsersOwnFile("PELORIN_READONLY_FOLDER", false);
}

}  // namespace
