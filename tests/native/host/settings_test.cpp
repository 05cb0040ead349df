#include "AutoRun.h"
#include "HostFakes.h"
#include "IpHistoryFile.h"
#include "Settings.h"
#include "SettingsPlace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace {

const std::string kFile = "C:\\Program Files\\Pelorin\\setup.ini";
const std::string kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kExe = "C:\\Pelorin\\Pelorin.exe";

bool Contains(const EventLog& log, const std::string& event) {
    return std::find(log.begin(), log.end(), event) != log.end();
}

int Clicks(const EventLog& log) {
    return static_cast<int>(std::count_if(log.begin(), log.end(), [](const std::string& event) {
        return event.size() > 6 && event.compare(event.size() - 6, 6, " click") == 0;
    }));
}

// ---- Reading one value ----

TEST(FlagValue, IsOnForANonZeroIntegerAndTheDefaultForAnythingElse) {
    enum Expect { Off, On, Default };
    const struct {
        const char* value;  // nullptr: no such key
        Expect expect;
    } rows[] = {
        {"1", On},
        {"0", Off},
        {"-0", Off},
        {"+1", On},
        {"-1", On},
        {" 1", On},
        {"2", On},
        {"00", Off},
        {"0x1", On},
        {"0X10", On},
        {"0x0", Off},
        {"$10", On},
        {"$0", Off},
        {"x1", On},
        {"X0", Off},
        {"$FFFFFFFF", On},
        {"-2147483648", On},
        {"0x", Default},
        {"0X", Default},
        {"$", Default},
        {"yes", Default},
        {"true", Default},
        {"on", Default},
        {"", Default},
        {nullptr, Default},
        {"1.0", Default},
        {"0xG", Default},
        {"4294967296", Default},
        {"0x100000000", Default},
        {"+-1", Default},
    };
    for (const auto& row : rows) {
        const auto value = row.value ? std::optional<std::string>(row.value) : std::nullopt;
        for (const bool defaultValue : {false, true}) {
            const bool expected = row.expect == Default ? defaultValue : row.expect == On;
            EXPECT_EQ(FlagValue(value, defaultValue), expected)
                << (row.value ? '"' + std::string(row.value) + '"' : "missing") << ", default "
                << defaultValue;
        }
    }
}

TEST(TextValue, KeepsTheTextAsStoredUpTo2047BytesAndDefaultsOnlyWhenMissing) {
    const std::string longest(2047, 'a');
    const struct {
        std::optional<std::string> value;
        std::string expected;
    } rows[] = {
        {std::string("secret"), "secret"},
        {std::string(" padded "), " padded "},
        {std::string("管理员"), "管理员"},
        {std::string("a=b;c#d"), "a=b;c#d"},
        {std::string(""), ""},
        {std::nullopt, "lumko"},
        {longest, longest},
        {longest + "b", longest},
        {std::string(3000, 'c'), std::string(2047, 'c')},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(TextValue(row.value, "lumko"), row.expected)
            << (row.value ? std::to_string(row.value->size()) + " bytes" : "missing");
    }
}

TEST(SettingsFilePath, IsTheExecutablesDirectoryWithSetupIni) {
    const struct {
        std::string module, file;
    } rows[] = {
        {"C:\\Program Files\\Pelorin\\Pelorin.exe", "C:\\Program Files\\Pelorin\\setup.ini"},
        {"C:\\Pelorin.exe", "C:\\setup.ini"},
        {"\\\\server\\share\\tools\\Pelorin.exe", "\\\\server\\share\\tools\\setup.ini"},
        {"D:\\工具\\路由\\Pelorin.exe", "D:\\工具\\路由\\setup.ini"},
        // "誠" is D5 5C in GBK: its second byte is no backslash.
        {"D:\\誠\\Pelorin.exe", "D:\\誠\\setup.ini"},
        {"D:\\tools\\誠.exe", "D:\\tools\\setup.ini"},
        {"D:\\tools\\a誠誠.exe", "D:\\tools\\setup.ini"},
        // "乗" is 81 5C and "燶" A0 5C: lead bytes from 0x81 on, not only from 0xA1.
        {"D:\\tools\\乗.exe", "D:\\tools\\setup.ini"},
        {"C:\\燶\\x燶.exe", "C:\\燶\\setup.ini"},
        {"C:/Pelorin/Pelorin.exe", "C:/Pelorin/setup.ini"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(SettingsFilePath(row.module), row.file) << row.module;
        EXPECT_EQ(FileBeside(row.module, kSettingsFileName), row.file) << row.module;
    }
}

TEST(RouterWayValue, PinsOnlyWebUpnpOrDialupInAnyCase) {
    const struct {
        std::optional<std::string> value;
        RouterWay way;
    } rows[] = {
        {std::string("web"), RouterWay::Web},        {std::string("UPnP"), RouterWay::Upnp},
        {std::string("WEB"), RouterWay::Web},        {std::string("upnp"), RouterWay::Upnp},
        {std::nullopt, RouterWay::Automatic},        {std::string(""), RouterWay::Automatic},
        {std::string("auto"), RouterWay::Automatic}, {std::string("upnp2"), RouterWay::Automatic},
        {std::string("we"), RouterWay::Automatic},   {std::string("DialUp"), RouterWay::Dialup},
    };
    for (const auto& row : rows)
        EXPECT_EQ(RouterWayValue(row.value), row.way) << row.value.value_or("missing");
}

// ip-history.csv as it grows: mark and header once, CR LF, the oldest records dropped.
TEST(AppendedHistory, KeepsMarkHeaderAndTheNewestRecordsRepairingWhatItFinds) {
    const std::string mark = "\xEF\xBB\xBF", head = "time,ip\r\n";
    const struct {
        const char* what;
        std::string current;
        std::size_t maxLines;
        std::string expected;
    } rows[] = {
        {"a new file", "", 10, mark + head + "c\r\n"},
        {"a file with records", mark + head + "a\r\nb\r\n", 10, mark + head + "a\r\nb\r\nc\r\n"},
        {"full: the oldest goes", mark + head + "a\r\nb\r\n", 3, mark + head + "b\r\nc\r\n"},
        {"over full", mark + head + "a\r\nb\r\nx\r\n", 2, mark + head + "c\r\n"},
        {"no mark, LF ends, a half line", head + "a\nb", 10, mark + head + "a\r\nb\r\nc\r\n"},
        {"no header, empty lines", mark + "\r\na\r\n\r\n", 10, mark + head + "a\r\nc\r\n"},
        {"a mark alone", mark, 10, mark + head + "c\r\n"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(AppendedHistory(row.current, head, "c\r\n", row.maxLines), row.expected) << row.what;
    }
    EXPECT_EQ(AppendedHistory(mark + head, "time,ip", "c", 10), mark + head + "c\r\n");
    // Records kept while the file refused them go in together, the oldest beyond the limit
    // dropped.
    std::string kept;
    for (const char* record : {"k1", "k2\r\n", "k3"}) KeepUnwritten(kept, record, 2);
    EXPECT_EQ(kept, "k2\r\nk3\r\n");
    EXPECT_EQ(AppendedHistory(mark + head + "a\r\n", head, kept, 3), mark + head + "k2\r\nk3\r\n");
}

// Folders by name: those where a file can be made, the files there are, the copies made.
struct FakeFolders : SettingsFolders {
    std::set<std::string> writable, files, locked;
    std::optional<std::string> dataFolder;
    std::vector<std::string> copies;

    bool CanCreateFileIn(const std::string& folder) override { return writable.count(folder) == 1; }
    std::optional<std::string> UserDataFolder() override { return dataFolder; }
    bool FileExists(const std::string& path) override { return files.count(path) == 1; }
    bool CanWriteFile(const std::string& path) override { return locked.count(path) == 0; }
    bool CopyToNewFile(const std::string& from, const std::string& to) override {
        copies.push_back(from + " -> " + to);
        files.insert(to);
        return true;
    }
};

TEST(ChooseSettingsFile, BesideTheExeWhileItsFolderCanBeWrittenElseTheUsersOwnStartingAsACopy) {
    // "誠" is D5 5C in GBK: the exe's folder ends after it, not inside it.
    const std::string exe = "D:\\誠\\Pelorin.exe", exeFolder = "D:\\誠\\", beside = exeFolder + "setup.ini";
    const std::string data = "C:\\Users\\林\\AppData\\Roaming\\Pelorin\\", own = data + "setup.ini";
    enum : unsigned {
        ExeFolderWritable = 1,
        DataFolderWritable = 2,
        NoDataFolder = 4,
        BesideFile = 8,
        OwnFile = 16,
        BesideFileLocked = 32,  // read-only, another account's, held open by another program
    };
    const struct {
        const char* what;
        unsigned machine;
        std::string file;
        bool copied;
    } rows[] = {
        {"a folder that can be written", ExeFolderWritable | DataFolderWritable | BesideFile | OwnFile,
         beside, false},
        {"first start from an unwritable folder", DataFolderWritable | BesideFile, own, true},
        {"a later start", DataFolderWritable | BesideFile | OwnFile, own, false},
        {"no file beside the exe", DataFolderWritable, own, false},
        {"data folder unwritable too", BesideFile, beside, false},
        {"no data folder", NoDataFolder | BesideFile, beside, false},
        {"first start with a locked file",
         ExeFolderWritable | DataFolderWritable | BesideFile | BesideFileLocked, own, true},
        {"a later start with a locked file",
         ExeFolderWritable | DataFolderWritable | BesideFile | BesideFileLocked | OwnFile, own, false},
        {"a locked file, no data folder", ExeFolderWritable | NoDataFolder | BesideFile | BesideFileLocked,
         beside, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        FakeFolders folders;
        if (row.machine & ExeFolderWritable) folders.writable.insert(exeFolder);
        if (row.machine & DataFolderWritable) folders.writable.insert(data);
        if (!(row.machine & NoDataFolder)) folders.dataFolder = data;
        if (row.machine & BesideFile) folders.files.insert(beside);
        if (row.machine & OwnFile) folders.files.insert(own);
        if (row.machine & BesideFileLocked) folders.locked.insert(beside);

        EXPECT_EQ(ChooseSettingsFile(exe, folders), row.file);
        EXPECT_EQ(folders.copies,
                  row.copied ? std::vector<std::string>{beside + " -> " + own} : std::vector<std::string>{});
    }
}

// ---- Loading ----

struct LoadSettingsTest : testing::Test {
    EventLog log;
    FakeSettingsWindow window{log};
    FakeProfile file{log};
    FakeRegistry registry;
    RecordedBoxes boxes;

    LoadSettingsTest() {
        file.path = kFile;
        window.onClick[SettingsCheckBox::CheckBox5] = [this](bool on) {
            SetAutoRun(on, registry, boxes, kExe);
        };
    }

    void Store(std::map<std::string, std::string> keys) { file.sections["set"] = std::move(keys); }

    static std::map<std::string, std::string> EverythingOn() {
        return {{"TimeSwitch", "1"},       {"timer", "15"},       {"boot", "1"}, {"loginname", "管理员"},
                {"loginpassword", "p@ss"}, {"autologin", "1"},    {"hide", "1"}, {"router", "upnp"},
                {"ipcheck", "off"},        {"dialup", "宽带连接"}};
    }
};

TEST_F(LoadSettingsTest, MissingFileGivesTheDefaultsAndRunsNothing) {
    LoadSettings(window, file);

    EXPECT_EQ(window.texts[SettingsEdit::Edit1], "admin");
    EXPECT_EQ(window.texts[SettingsEdit::Edit2], "lumko");
    EXPECT_EQ(window.texts[SettingsEdit::Edit3], "10");
    for (const auto& [box, on] : window.checked) EXPECT_FALSE(on) << Name(box);
    EXPECT_EQ(Clicks(log), 0);
    EXPECT_EQ(window.minimiseRequests, 0);
    EXPECT_TRUE(window.errors.empty());
    EXPECT_TRUE(registry.machine.keys.empty());
    EXPECT_TRUE(registry.user.keys.empty());
}

TEST_F(LoadSettingsTest, PutsEachValueIntoItsControlBeforeReadingTheNextThenFlushesAndMinimises) {
    Store(EverythingOn());
    LoadSettings(window, file);

    const EventLog expected = {
        "read set/TimeSwitch",
        "CheckBox3=on",
        "CheckBox3 click",
        "read set/timer",
        "Edit3=15",
        "read set/boot",
        "CheckBox5=on",
        "CheckBox5 click",
        "read set/loginname",
        "Edit1=管理员",
        "read set/loginpassword",
        "Edit2=p@ss",
        "read set/autologin",
        "CheckBox2=on",
        "CheckBox2 click",
        "read set/hide",
        "CheckBox1=on",
        "CheckBox1 click",
        "read set/router",
        "way=upnp",
        "read set/ipcheck",
        "ipcheck=off",
        "read set/dialup",
        "dialup=宽带连接",
        "flush",
        "minimise",
    };
    EXPECT_EQ(log, expected);
}

TEST_F(LoadSettingsTest, TimeSwitchOnRunsTheTimedChangeHandler) {
    std::vector<bool> timedChangeClicks;
    window.onClick[SettingsCheckBox::CheckBox3] = [&](bool on) { timedChangeClicks.push_back(on); };
    Store({{"TimeSwitch", "1"}});

    LoadSettings(window, file);

    EXPECT_EQ(timedChangeClicks, std::vector<bool>{true});
    EXPECT_TRUE(window.checked[SettingsCheckBox::CheckBox3]);
}

TEST_F(LoadSettingsTest, BootOnRegistersTheExecutableToStartWithWindows) {
    Store({{"boot", "1"}});

    LoadSettings(window, file);

    EXPECT_EQ(registry.machine.keys[kRunKey], (std::map<std::string, std::string>{{"Pelorin", kExe}}));
    EXPECT_EQ(registry.openKeys, 0);
    EXPECT_TRUE(window.errors.empty());
}

// Without the rights to the machine-wide Run key the registration goes to the user's own, and
// only when that is refused as well is the error told. Either way the load must apply every
// key, or the built-in user name and password would be saved over the stored ones.
TEST_F(LoadSettingsTest, RegistrationRefusedMachineWideGoesToTheUserAndTheLoadGoesOn) {
    const struct {
        const char* what;
        bool refuseOpen, userRefusesToo;
    } rows[] = {
        {"machine key cannot be opened", true, false},
        {"machine value cannot be written", false, false},
        {"neither key can be opened", true, true},
        {"neither value can be written", false, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        log.clear();
        FakeRegistry refusing;
        FakeSettingsWindow loaded{log};
        loaded.onClick[SettingsCheckBox::CheckBox5] = [&](bool on) { SetAutoRun(on, refusing, boxes, kExe); };
        for (FakeRegistry::Hive* hive : {&refusing.machine, &refusing.user}) {
            if (hive == &refusing.user && !row.userRefusesToo) break;
            hive->refuseOpen = row.refuseOpen;
            hive->refuseWrite = !row.refuseOpen;
        }
        Store(EverythingOn());

        LoadSettings(loaded, file);

        using Values = std::map<std::string, std::string>;
        EXPECT_EQ(loaded.errors, row.userRefusesToo
                                     ? std::vector<std::string>{"Failed to set data for 'Pelorin'"}
                                     : std::vector<std::string>{});
        const Values registered = row.userRefusesToo ? Values{} : Values{{"Pelorin", kExe}};
        EXPECT_EQ(refusing.user.keys[kRunKey], registered);
        EXPECT_TRUE(refusing.machine.keys[kRunKey].empty());
        EXPECT_TRUE(loaded.checked[SettingsCheckBox::CheckBox5]);
        EXPECT_EQ(loaded.texts[SettingsEdit::Edit1], "管理员");
        EXPECT_EQ(loaded.texts[SettingsEdit::Edit2], "p@ss");
        EXPECT_TRUE(loaded.checked[SettingsCheckBox::CheckBox2]);
        EXPECT_TRUE(loaded.checked[SettingsCheckBox::CheckBox1]);
        EXPECT_EQ(loaded.minimiseRequests, 1);
        EXPECT_TRUE(Contains(log, "flush"));

        // The close that follows writes back what the user had stored.
        const auto stored = file.sections["set"];
        SaveSettings(loaded, file);
        EXPECT_EQ(file.sections["set"], stored);
    }
}

TEST_F(LoadSettingsTest, AFlagEqualToTheBoxStateRunsNothing) {
    for (const bool state : {false, true}) {
        SCOPED_TRACE(state ? "boxes on, file on" : "boxes off, file off");
        log.clear();
        for (auto& [box, on] : window.checked) on = state;
        const char* flag = state ? "1" : "0";
        Store({{"TimeSwitch", flag}, {"boot", flag}, {"autologin", flag}, {"hide", flag}});

        LoadSettings(window, file);

        EXPECT_EQ(Clicks(log), 0);
        EXPECT_TRUE(registry.machine.keys.empty());
        EXPECT_TRUE(registry.user.keys.empty());
    }
}

TEST_F(LoadSettingsTest, StartMinimisedPostsTheMinimiseRequestOnlyWhenOn) {
    const struct {
        const char* hide;
        int requests;
    } rows[] = {{"1", 1}, {"0x1", 1}, {"$1", 1}, {"0", 0}, {"yes", 0}, {"", 0}};
    for (const auto& row : rows) {
        FakeSettingsWindow loaded{log};
        Store({{"hide", row.hide}});
        LoadSettings(loaded, file);
        EXPECT_EQ(loaded.minimiseRequests, row.requests) << "hide=" << row.hide;
    }
}

TEST_F(LoadSettingsTest, EmptyTextsStayEmptyAndFlagsWithoutAnIntegerStayOff) {
    Store({{"TimeSwitch", "yes"}, {"timer", ""}, {"boot", "true"}, {"loginname", ""}, {"autologin", "on"}});

    LoadSettings(window, file);

    EXPECT_EQ(window.texts[SettingsEdit::Edit3], "");
    EXPECT_EQ(window.texts[SettingsEdit::Edit1], "");
    EXPECT_EQ(window.texts[SettingsEdit::Edit2], "lumko");
    EXPECT_EQ(Clicks(log), 0);
}

// ---- Saving ----

struct SaveSettingsTest : testing::Test {
    EventLog log;
    FakeSettingsWindow window{log};
    FakeProfile file{log};

    SaveSettingsTest() { file.path = kFile; }

    static EventLog Writes(const std::vector<std::pair<std::string, std::string>>& keys) {
        EventLog writes;
        for (const auto& [key, value] : keys) writes.push_back("write set/" + key + "=" + value);
        return writes;
    }
};

TEST_F(SaveSettingsTest, WritesTheSevenKeysInOrderAndAPinnedWayThenFlushes) {
    const struct {
        bool timedChange, autoRun, autoLogin, minimised;
        std::string interval, user, password;
        RouterWay way;
        std::string echo, dialEntry;  // written as read, and only when there is one
        EventLog expected;
    } rows[] = {
        {true, false, true, false, " 5 ", "管理员", "p=w;d#", RouterWay::Dialup, "http://192.0.2.10/ off",
         "宽带连接",
         Writes({{"TimeSwitch", "1"},
                 {"timer", " 5 "},
                 {"boot", "0"},
                 {"loginname", "管理员"},
                 {"loginpassword", "p=w;d#"},
                 {"autologin", "1"},
                 {"hide", "0"},
                 {"router", "dialup"},
                 {"ipcheck", "http://192.0.2.10/ off"},
                 {"dialup", "宽带连接"}})},
        {false, true, false, true, "abc", "", "", RouterWay::Automatic, "", "",
         Writes({{"TimeSwitch", "0"},
                 {"timer", "abc"},
                 {"boot", "1"},
                 {"loginname", ""},
                 {"loginpassword", ""},
                 {"autologin", "0"},
                 {"hide", "1"}})},
    };
    for (const auto& row : rows) {
        log.clear();
        window.checked[SettingsCheckBox::CheckBox3] = row.timedChange;
        window.checked[SettingsCheckBox::CheckBox5] = row.autoRun;
        window.checked[SettingsCheckBox::CheckBox2] = row.autoLogin;
        window.checked[SettingsCheckBox::CheckBox1] = row.minimised;
        window.texts[SettingsEdit::Edit3] = row.interval;
        window.texts[SettingsEdit::Edit1] = row.user;
        window.texts[SettingsEdit::Edit2] = row.password;
        window.way = row.way;
        window.echo = row.echo;
        window.dialEntry = row.dialEntry;

        SaveSettings(window, file);

        EventLog expected = row.expected;
        expected.push_back("flush");
        EXPECT_EQ(log, expected);
    }
}

TEST_F(SaveSettingsTest, RefusedWriteRaisesTheErrorAndWritesNothingAfterTheFailedKey) {
    const char* keys[] = {"TimeSwitch",    "timer",     "boot", "loginname",
                          "loginpassword", "autologin", "hide", "router"};
    window.way = RouterWay::Web;
    for (std::size_t failing = 0; failing < std::size(keys); ++failing) {
        SCOPED_TRACE(keys[failing]);
        log.clear();
        file.sections.clear();
        file.refusing = false;
        file.refuseFrom = keys[failing];

        try {
            SaveSettings(window, file);
            ADD_FAILURE() << "no error";
        } catch (const AppError& error) {
            EXPECT_STREQ(error.what(), ("Unable to write to " + kFile).c_str());
        }

        EventLog attempted;
        for (const auto& event : log) {
            if (event.rfind("write ", 0) == 0) attempted.push_back(event.substr(10, event.find('=') - 10));
        }
        EXPECT_EQ(attempted, std::vector<std::string>(keys, keys + failing + 1));
        EXPECT_EQ(file.sections["set"].size(), failing);
        EXPECT_EQ(log.back(), "flush");
    }
}

}  // namespace
