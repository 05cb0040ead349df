#include "AppError.h"
#include "AutoRun.h"
#include "HostFakes.h"

#include <gtest/gtest.h>

namespace {

const std::string kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
using Values = std::map<std::string, std::string>;

TEST(RunValueData, QuotesThePathExactlyWhenItHoldsABlank) {
    const struct {
        std::string path, data;
    } rows[] = {
        {"C:\\Pelorin\\Pelorin.exe", "C:\\Pelorin\\Pelorin.exe"},
        {"C:\\Program Files\\Pelorin\\Pelorin.exe", "\"C:\\Program Files\\Pelorin\\Pelorin.exe\""},
        {"C:\\Tools\\Pelorin 2.exe", "\"C:\\Tools\\Pelorin 2.exe\""},
        {"D:\\工具\\Pelorin.exe", "D:\\工具\\Pelorin.exe"},
        {"D:\\路由 工具\\Pelorin.exe", "\"D:\\路由 工具\\Pelorin.exe\""},
        {"\\\\server\\share\\Pelorin.exe", "\\\\server\\share\\Pelorin.exe"},
    };
    for (const auto& row : rows) EXPECT_EQ(RunValueData(row.path), row.data) << row.path;
}

TEST(SetAutoRun, OnWritesTheValueUnderTheMachineRunKeyAndClosesIt) {
    FakeRegistry registry;
    SetAutoRun(true, registry, "C:\\Program Files\\Pelorin\\Pelorin.exe");

    EXPECT_EQ(registry.keys, (std::map<std::string, Values>{
                                 {kRunKey, {{"Pelorin", "\"C:\\Program Files\\Pelorin\\Pelorin.exe\""}}}}));
    EXPECT_EQ(registry.openKeys, 0);
}

TEST(SetAutoRun, SwitchingOnAgainLeavesOneValueWithTheCurrentPath) {
    FakeRegistry registry;
    registry.keys[kRunKey]["Other"] = "C:\\Other\\other.exe";

    SetAutoRun(true, registry, "C:\\Old\\Pelorin.exe");
    SetAutoRun(false, registry, "C:\\Old\\Pelorin.exe");
    SetAutoRun(true, registry, "C:\\New\\Pelorin.exe");
    SetAutoRun(true, registry, "C:\\Newer\\Pelorin.exe");

    EXPECT_EQ(registry.keys[kRunKey],
              (Values{{"Other", "C:\\Other\\other.exe"}, {"Pelorin", "C:\\Newer\\Pelorin.exe"}}));
}

TEST(SetAutoRun, OffDeletesTheValueAndIsSilentWhenThereIsNone) {
    FakeRegistry registry;
    SetAutoRun(true, registry, "C:\\Pelorin\\Pelorin.exe");

    EXPECT_NO_THROW(SetAutoRun(false, registry, "C:\\Pelorin\\Pelorin.exe"));
    EXPECT_TRUE(registry.keys[kRunKey].empty());
    EXPECT_NO_THROW(SetAutoRun(false, registry, "C:\\Pelorin\\Pelorin.exe"));
    EXPECT_EQ(registry.openKeys, 0);
}

TEST(SetAutoRun, RefusedWriteRaisesTheErrorAndRefusedDeleteIsSilent) {
    const struct {
        const char* what;
        bool refuseOpen, refuseWrite;
    } rows[] = {{"key cannot be opened", true, false}, {"value cannot be written", false, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        FakeRegistry registry;
        registry.refuseOpen = row.refuseOpen;
        registry.refuseWrite = row.refuseWrite;

        try {
            SetAutoRun(true, registry, "C:\\Pelorin\\Pelorin.exe");
            ADD_FAILURE() << "no error";
        } catch (const AppError& error) {
            EXPECT_STREQ(error.what(), "Failed to set data for 'Pelorin'");
        }
        EXPECT_NO_THROW(SetAutoRun(false, registry, "C:\\Pelorin\\Pelorin.exe"));
        EXPECT_EQ(registry.openKeys, 0);
    }
}

}  // namespace
