#include "HostWineSupport.h"
#include "IpHistoryFile.h"
#include "ProfileText.h"
#include "Settings.h"
#include "WinIpHistoryFile.h"
#include "WinProfileFile.h"
#include "WinSettingsFolders.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

namespace {

// This file runs under other code pages too (ctest host_settings_code_page_*, with
// PELORIN_CODE_PAGE): the process must have the one asked for.
TEST(CodePage, IsTheOneThisRunIsFor) {
    const char* asked = std::getenv("PELORIN_CODE_PAGE");
    EXPECT_EQ(GetACP(), asked ? std::strtoul(asked, nullptr, 10) : 936ul);
}

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
    // "亐" (81 80) is no Big5 character; "乚" (81 5D) ends in "]", "丄" (81 41) in a letter.
    SetAll(saved, true, "15", "管理员", "p@ss=w;rd#1 路由乚丄亐");
    saved.way = RouterWay::Web;
    SaveSettings(saved, file);

    const std::vector<std::string> expectedLines = {
        "[set]",       "TimeSwitch=1",     "timer=15",
        "boot=1",      "loginname=管理员", "loginpassword=p@ss=w;rd#1 路由乚丄亐",
        "autologin=1", "hide=1",           "router=web"};
    const std::string written = ReadFileBytes(path);
    EXPECT_EQ(Lines(written), expectedLines);

    SettingsControls loaded;
    LoadSettings(loaded, file);
    EXPECT_EQ(loaded.texts, saved.texts);
    EXPECT_EQ(loaded.checked, saved.checked);
    EXPECT_EQ(loaded.way, RouterWay::Web);
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
                                   "hide=$1\r\n"
                                   "Router = UPnP\r\n"));
    SettingsControls window;
    LoadSettings(window, file);

    EXPECT_TRUE(window.checked[SettingsCheckBox::CheckBox3]);
    EXPECT_EQ(window.texts[SettingsEdit::Edit3], "7");  // the profile functions drop the blanks
    EXPECT_FALSE(window.checked[SettingsCheckBox::CheckBox5]);
    EXPECT_EQ(window.texts[SettingsEdit::Edit1], "");  // present and empty: not the default
    EXPECT_EQ(window.texts[SettingsEdit::Edit2], std::string(2047, 'x'));
    EXPECT_FALSE(window.checked[SettingsCheckBox::CheckBox2]);
    EXPECT_TRUE(window.checked[SettingsCheckBox::CheckBox1]);
    EXPECT_EQ(window.way, RouterWay::Upnp);
    EXPECT_EQ(window.minimiseRequests, 1);

    // The history beside it: its mark and header once, then a line for each change.
    const std::string history = FileBeside(path, "ip-history.csv");
    ASSERT_TRUE(AppendToHistoryFile(history, "h\r\n", "路由\r\n", 10));
    ASSERT_TRUE(AppendToHistoryFile(history, "h\r\n", "2\r\n", 10));
    EXPECT_EQ(ReadFileBytes(history), "\xEF\xBB\xBFh\r\n路由\r\n2\r\n");
    // Open in Excel, which lets others read but not write: refused, the file as it was.
    const HANDLE excel = CreateFileA(history.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(excel, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(AppendToHistoryFile(history, "h\r\n", "3\r\n", 10));
    CloseHandle(excel);
    EXPECT_EQ(ReadFileBytes(history), "\xEF\xBB\xBFh\r\n路由\r\n2\r\n");
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
    EXPECT_FALSE(AppendToHistoryFile(path, "h", "l", 10));

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

// ---- The file's own reader and writer against the profile functions (code page 936) ----

// Names, values and blanks a generated file is made of. "丄" (81 41) and "乤" (81 61) end in
// a letter, "乚" (81 5D) in "]"; Ctrl-Z counts as a blank to the profile functions.
const char* const kNames[] = {"set", "Set", " SET ", "timer", "TIMER",  "loginname", "k",   "管理", "丄a",
                              "乤A", "乚]", "乚",    "s]x",   ";timer", "[set",      "a b", "hide"};
const char* const kValues[] = {"",    "1",     "0x1", "abc", "管理员", "乚]",    "a=b", ";x",
                               "'q'", "\"q\"", "\"",  "''",  "'a\"",   "p@ss w", "  "};
const char* const kBlanks[] = {"", "", " ", "\t", "  ", "\x1A", "\v", "\f"};
const char* const kLineEnds[] = {"\r\n", "\r\n", "\n", "\r", "\n\r", "\r\n\r\n"};
constexpr char kMissing[] = "\x02";

struct Generator {
    std::mt19937 random{20261208};
    template <std::size_t N>
    const char* Pick(const char* const (&items)[N]) {
        return items[random() % N];
    }
    std::string Value() {
        const std::string quote = random() % 2 ? "\"" : "";  // around the length the program reads
        if (random() % 200 == 0) return quote + std::string(2040 + random() % 16, 'v') + quote;
        std::string value = Pick(kBlanks);
        for (unsigned parts = random() % 3; parts > 0; --parts) value += Pick(kValues);
        return value + Pick(kBlanks);
    }
    std::string File() {
        std::string file;
        for (unsigned lines = random() % 12; lines > 0; --lines) {
            const unsigned kind = random() % 8;
            file += Pick(kBlanks);
            // One section line in four has no "]" of its own (in "[乚" the only one is a trail byte).
            if (kind < 2)
                file += std::string("[") + Pick(kBlanks) + Pick(kNames) + Pick(kBlanks) +
                        (random() % 4 ? "]" : "");
            if (kind == 2) file += Pick(kNames);  // no "="
            if (kind >= 3)
                file += (kind == 3 ? "" : Pick(kNames)) + std::string(Pick(kBlanks)) + "=" + Value();
            file += Pick(kLineEnds);
        }
        return file;
    }
};

std::string OracleRead(const std::string& path, const char* section, const char* key) {
    char buffer[kMaxSettingText + 1];
    const DWORD length =
        GetPrivateProfileStringA(section, key, kMissing, buffer, sizeof buffer, path.c_str());
    return std::string(buffer, length);
}

// The GBK text as UTF-8 or UTF-16 with its byte order mark.
std::string Encoded(const std::string& gbk, unsigned form) {
    const std::wstring wide = WidePath(gbk);
    if (form == 1)
        return "\xFF\xFE" + std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * 2);
    std::string utf8(wide.size() * 3, '\0');
    utf8.resize(WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(),
                                    static_cast<int>(utf8.size()), nullptr, nullptr));
    return "\xEF\xBB\xBF" + utf8;
}

// The hostile files the program is started with (tests/wine/ui/settings_files_test.cpp) and
// then generated ones are read for four names and written three times, by the profile
// functions and by ours: the values read and the bytes written must be the same. Bytes that
// are no GBK the profile functions save as "?" or drop; ours keeps them, so after garbage only
// the values read count. One generated file in 32 is UTF-8 or UTF-16 with its mark, one
// missing: those go through WinProfileFile. The files take turns with a few names: deleting
// each one would cost more than the rest together. Each costs some 3 ms of Wine's own file
// calls: 34,000 files, 102,000 edits, by default; PELORIN_PROFILE_FILES sets another number.
TEST_F(SettingsFileTest, ReadsAndWritesAsTheProfileFunctionsDo) {
    if (GetACP() != 936) GTEST_SKIP() << "the profile functions are the reference on code page 936 only";
    std::string garbage;
    for (unsigned state = 12345; garbage.size() < 4096; state = state * 1103515245u + 12345u)
        garbage += static_cast<char>(state >> 16);
    const std::string longValue(1024 * 1024, 'x');
    const std::string hostile[] = {
        garbage,
        "[set]\r\ntimer=3\r\n" + garbage,
        "",
        "[set]\r\nloginname=" + longValue + "\r\ntimer=" + longValue + "\r\nautologin=1\r\n",
        "\xEF\xBB\xBF[set]\r\nloginname=\xE7\xAE\xA1\xE7\x90\x86\xE5\x91\x98\r\ntimer=7\r\n",
        "[set]\r\ntimer=5\r\nloginname=first\r\ntimer=9\r\nloginname=second\r\nautologin=1\r\n",
        "timer=5\r\nloginname=nobody\r\nautologin=1\r\n",
        "[other]\r\ntimer=5\r\nautologin=1\r\n",
        "[set]\n  timer = 4 \nloginname=\tuser\t\nTimeSwitch=1\n",
    };
    const char* asked = std::getenv("PELORIN_PROFILE_FILES");
    const int files = asked ? std::atoi(asked) : 34000;
    Generator generate;
    int differences = 0;
    for (int round = 0; round < files && differences < 10; ++round) {
        const std::string oracle = directory.Path() + std::to_string(round % 32) + ".ini",
                          ours = oracle + ".our";
        const bool isHostile = round < 9, garbled = round < 2;
        const unsigned form = isHostile ? 3 : generate.random() % 32;
        std::string bytes = isHostile ? hostile[round] : generate.File();
        if (form < 2) bytes = Encoded(bytes, form);
        if (form == 2) {
            DeleteFileA(oracle.c_str());
            DeleteFileA(ours.c_str());
        } else {
            ASSERT_TRUE(WriteFileBytes(oracle, bytes) && WriteFileBytes(ours, bytes));
        }
        WinProfileFile file{ours};
        const bool throughFile = form <= 2 || isHostile;
        std::string why;
        for (int query = 0; query < 4; ++query) {
            const char *section = isHostile ? "set" : generate.Pick(kNames), *key = generate.Pick(kNames);
            const std::string expected = OracleRead(oracle, section, key);
            const std::optional<std::string> value =
                throughFile ? file.Read(section, key)
                            : ReadProfileValue(bytes, section, key, kMaxSettingText);
            if (value.value_or(kMissing) != expected)
                why += std::string("[") + section + "] " + key + " read " + value.value_or("?") + ", not " +
                       expected + "; ";
        }
        for (int edit = 0; edit < 3; ++edit) {
            const char *section = generate.Pick(kNames), *key = generate.Pick(kNames);
            const std::string value = generate.Value();
            ASSERT_TRUE(WritePrivateProfileStringA(section, key, value.c_str(), oracle.c_str()));
            if (throughFile) {
                ASSERT_TRUE(file.Write(section, key, value));
                bytes = ReadFileBytes(ours);
            } else if (const std::optional<std::string> changed =
                           WriteProfileValue(bytes, section, key, value)) {
                bytes = *changed;
            }
            const std::string expected = ReadFileBytes(oracle);
            if (bytes != expected && !garbled)
                why += std::string("[") + section + "] " + key + "=" + value + " wrote " +
                       testing::PrintToString(bytes) + ", not " + testing::PrintToString(expected) + "; ";
        }
        if (!why.empty()) ADD_FAILURE() << ++differences << ": " << why;
    }
}

}  // namespace
