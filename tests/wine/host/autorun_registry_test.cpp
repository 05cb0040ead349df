#include "AppError.h"
#include "AutoRun.h"
#include "ModuleFile.h"
#include "RecordedBoxes.h"
#include "WinRegistry.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

constexpr char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

struct RunValue {
    DWORD type = REG_NONE;
    std::string bytes;  // as stored, the terminating NUL included
};

// Reads the Run keys with the plain registry calls, apart from the code under test.
struct RunKeyTest : testing::Test {
    WinRegistry registry;
    RecordedBoxes boxes;

    void SetUp() override { DeleteRunValues(); }
    void TearDown() override { DeleteRunValues(); }

    static void DeleteRunValues() {
        for (const HKEY hive : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
            HKEY key = nullptr;
            if (RegOpenKeyExA(hive, kRunKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
                RegDeleteValueA(key, "Pelorin");
                RegCloseKey(key);
            }
        }
    }

    static std::optional<RunValue> ReadRunValue(HKEY hive = HKEY_LOCAL_MACHINE) {
        HKEY key = nullptr;
        if (RegOpenKeyExA(hive, kRunKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return std::nullopt;
        RunValue value;
        DWORD size = 0;
        std::optional<RunValue> result;
        if (RegQueryValueExA(key, "Pelorin", nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
            value.bytes.assign(size, '\0');
            auto* data = reinterpret_cast<BYTE*>(value.bytes.data());
            if (RegQueryValueExA(key, "Pelorin", nullptr, &value.type, data, &size) == ERROR_SUCCESS) {
                value.bytes.resize(size);
                result = value;
            }
        }
        RegCloseKey(key);
        return result;
    }

    // Values whose name is "Pelorin" in any letter case, as the registry compares names.
    static int CountPelorinValues(HKEY hive = HKEY_LOCAL_MACHINE) {
        HKEY key = nullptr;
        if (RegOpenKeyExA(hive, kRunKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return 0;
        int count = 0;
        for (DWORD index = 0;; ++index) {
            char name[256];
            DWORD nameSize = sizeof name;
            if (RegEnumValueA(key, index, name, &nameSize, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS)
                break;
            if (lstrcmpiA(name, "Pelorin") == 0) ++count;
        }
        RegCloseKey(key);
        return count;
    }
};

TEST_F(RunKeyTest, WritesTheDataAsAStringWithItsNulQuotedWhenThePathHasABlank) {
    const struct {
        std::string path, data;
    } rows[] = {
        {"C:\\Pelorin\\Pelorin.exe", "C:\\Pelorin\\Pelorin.exe"},
        {"C:\\Program Files\\Pelorin\\Pelorin.exe", "\"C:\\Program Files\\Pelorin\\Pelorin.exe\""},
        {"D:\\路由 工具\\Pelorin.exe", "\"D:\\路由 工具\\Pelorin.exe\""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path);
        SetAutoRun(true, registry, boxes, row.path);

        const std::optional<RunValue> value = ReadRunValue();
        ASSERT_TRUE(value);
        EXPECT_EQ(value->type, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(value->bytes, row.data + '\0');
    }
}

TEST_F(RunKeyTest, SwitchingOnAgainLeavesExactlyOneValueWithTheCurrentPath) {
    SetAutoRun(true, registry, boxes, "C:\\Old\\Pelorin.exe");
    SetAutoRun(false, registry, boxes, "C:\\Old\\Pelorin.exe");
    SetAutoRun(true, registry, boxes, "C:\\New\\Pelorin.exe");
    SetAutoRun(true, registry, boxes, "C:\\Newer place\\Pelorin.exe");

    EXPECT_EQ(CountPelorinValues(), 1);
    const std::optional<RunValue> value = ReadRunValue();
    ASSERT_TRUE(value);
    EXPECT_EQ(value->bytes, std::string("\"C:\\Newer place\\Pelorin.exe\"") + '\0');
}

TEST_F(RunKeyTest, RegistersTheRunningExecutable) {
    const std::string module = ModuleFileName();
    ASSERT_GE(module.size(), 4u);
    EXPECT_EQ(module.substr(1, 2), ":\\") << module;
    EXPECT_EQ(module.substr(module.size() - 4), ".exe") << module;
    EXPECT_NE(GetFileAttributesA(module.c_str()), INVALID_FILE_ATTRIBUTES) << module;

    SetAutoRun(true, registry, boxes, module);

    const std::optional<RunValue> value = ReadRunValue();
    ASSERT_TRUE(value);
    EXPECT_EQ(value->bytes, RunValueData(module) + '\0');
}

TEST_F(RunKeyTest, OffDeletesTheValueAndIsSilentWhenThereIsNone) {
    SetAutoRun(true, registry, boxes, "C:\\Pelorin\\Pelorin.exe");
    ASSERT_TRUE(ReadRunValue());

    EXPECT_NO_THROW(SetAutoRun(false, registry, boxes, "C:\\Pelorin\\Pelorin.exe"));
    EXPECT_FALSE(ReadRunValue());
    EXPECT_EQ(CountPelorinValues(), 0);
    EXPECT_NO_THROW(SetAutoRun(false, registry, boxes, "C:\\Pelorin\\Pelorin.exe"));
}

// Wine gives everyone the rights to the machine-wide key; a standard user on Windows has none.
struct MachineKeyRefused : WinRegistry {
    std::unique_ptr<RegistryKey> CreateMachineKey(const std::string&) override { return nullptr; }
};

TEST_F(RunKeyTest, OnLeavesOneValueInTheRightPlaceAndOffNoneInEither) {
    MachineKeyRefused standardUser;
    const std::string exe = "C:\\Program Files\\Pelorin\\Pelorin.exe";
    const std::string stored = '"' + exe + '"' + '\0';

    // A standard user: the user's own key, nothing machine-wide.
    SetAutoRun(true, standardUser, boxes, exe);
    EXPECT_EQ(CountPelorinValues(HKEY_CURRENT_USER), 1);
    EXPECT_EQ(CountPelorinValues(HKEY_LOCAL_MACHINE), 0);
    std::optional<RunValue> value = ReadRunValue(HKEY_CURRENT_USER);
    ASSERT_TRUE(value);
    EXPECT_EQ(value->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(value->bytes, stored);

    // With the rights: the machine-wide value, and the user's own is gone.
    SetAutoRun(true, registry, boxes, exe);
    EXPECT_EQ(CountPelorinValues(HKEY_LOCAL_MACHINE), 1);
    EXPECT_EQ(CountPelorinValues(HKEY_CURRENT_USER), 0);
    value = ReadRunValue(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(value);
    EXPECT_EQ(value->bytes, stored);

    // A standard user after the administrator: the machine-wide value, read back through
    // the registry, names this exe (in other letters): nothing of the user's own.
    SetAutoRun(true, standardUser, boxes, "c:\\program files\\PELORIN\\pelorin.exe");
    EXPECT_EQ(CountPelorinValues(HKEY_LOCAL_MACHINE), 1);
    EXPECT_EQ(CountPelorinValues(HKEY_CURRENT_USER), 0);
    // Switched off, the value stays and the user is told once.
    EXPECT_NO_THROW(SetAutoRun(false, standardUser, boxes, exe));
    EXPECT_EQ(CountPelorinValues(HKEY_LOCAL_MACHINE), 1);
    EXPECT_EQ(boxes.boxes.size(), 1u);

    // Off, with a value in each: none in either.
    SetAutoRun(true, standardUser, boxes, "C:\\Elsewhere\\Pelorin.exe");
    ASSERT_EQ(CountPelorinValues(HKEY_LOCAL_MACHINE) + CountPelorinValues(HKEY_CURRENT_USER), 2);
    EXPECT_NO_THROW(SetAutoRun(false, registry, boxes, exe));
    EXPECT_EQ(CountPelorinValues(HKEY_LOCAL_MACHINE) + CountPelorinValues(HKEY_CURRENT_USER), 0);

    // Off as a standard user: the user's own value goes, a missing one is no error.
    SetAutoRun(true, standardUser, boxes, exe);
    EXPECT_NO_THROW(SetAutoRun(false, standardUser, boxes, exe));
    EXPECT_NO_THROW(SetAutoRun(false, standardUser, boxes, exe));
    EXPECT_EQ(CountPelorinValues(HKEY_CURRENT_USER), 0);
    EXPECT_EQ(boxes.boxes.size(), 1u);
}

TEST(RegKey, ClosesItsKeyAndHandsItOverOnMove) {
    HKEY opened = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_QUERY_VALUE, &opened), ERROR_SUCCESS);
    {
        RegKey first(opened);
        RegKey second(std::move(first));
        EXPECT_EQ(first.Get(), nullptr);
        EXPECT_EQ(second.Get(), opened);
        EXPECT_EQ(RegQueryInfoKeyA(second.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                   nullptr, nullptr, nullptr, nullptr, nullptr),
                  ERROR_SUCCESS);
    }
    EXPECT_EQ(RegQueryInfoKeyA(opened, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr),
              ERROR_INVALID_HANDLE);
}

}  // namespace
