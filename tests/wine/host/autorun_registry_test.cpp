#include "AppError.h"
#include "AutoRun.h"
#include "ModuleFile.h"
#include "WinRegistry.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

constexpr char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

struct RunValue {
    DWORD type = REG_NONE;
    std::string bytes;  // as stored, the terminating NUL included
};

// Reads the Run key with the plain registry calls, apart from the code under test.
struct RunKeyTest : testing::Test {
    WinRegistry registry;

    void SetUp() override { DeleteRunValue(); }
    void TearDown() override { DeleteRunValue(); }

    static void DeleteRunValue() {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
            RegDeleteValueA(key, "Pelorin");
            RegCloseKey(key);
        }
    }

    static std::optional<RunValue> ReadRunValue() {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
            return std::nullopt;
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
    static int CountPelorinValues() {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return 0;
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
        SetAutoRun(true, registry, row.path);

        const std::optional<RunValue> value = ReadRunValue();
        ASSERT_TRUE(value);
        EXPECT_EQ(value->type, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(value->bytes, row.data + '\0');
    }
}

TEST_F(RunKeyTest, SwitchingOnAgainLeavesExactlyOneValueWithTheCurrentPath) {
    SetAutoRun(true, registry, "C:\\Old\\Pelorin.exe");
    SetAutoRun(false, registry, "C:\\Old\\Pelorin.exe");
    SetAutoRun(true, registry, "C:\\New\\Pelorin.exe");
    SetAutoRun(true, registry, "C:\\Newer place\\Pelorin.exe");

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

    SetAutoRun(true, registry, module);

    const std::optional<RunValue> value = ReadRunValue();
    ASSERT_TRUE(value);
    EXPECT_EQ(value->bytes, RunValueData(module) + '\0');
}

TEST_F(RunKeyTest, OffDeletesTheValueAndIsSilentWhenThereIsNone) {
    SetAutoRun(true, registry, "C:\\Pelorin\\Pelorin.exe");
    ASSERT_TRUE(ReadRunValue());

    EXPECT_NO_THROW(SetAutoRun(false, registry, "C:\\Pelorin\\Pelorin.exe"));
    EXPECT_FALSE(ReadRunValue());
    EXPECT_EQ(CountPelorinValues(), 0);
    EXPECT_NO_THROW(SetAutoRun(false, registry, "C:\\Pelorin\\Pelorin.exe"));
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
