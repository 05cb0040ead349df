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

    EXPECT_EQ(registry.machine.keys,
              (std::map<std::string, Values>{
                  {kRunKey, {{"Pelorin", "\"C:\\Program Files\\Pelorin\\Pelorin.exe\""}}}}));
    EXPECT_TRUE(registry.user.keys[kRunKey].empty());
    EXPECT_EQ(registry.openKeys, 0);
}

TEST(SetAutoRun, SwitchingOnAgainLeavesOneValueWithTheCurrentPath) {
    FakeRegistry registry;
    registry.machine.keys[kRunKey]["Other"] = "C:\\Other\\other.exe";

    SetAutoRun(true, registry, "C:\\Old\\Pelorin.exe");
    SetAutoRun(false, registry, "C:\\Old\\Pelorin.exe");
    SetAutoRun(true, registry, "C:\\New\\Pelorin.exe");
    SetAutoRun(true, registry, "C:\\Newer\\Pelorin.exe");

    EXPECT_EQ(registry.machine.keys[kRunKey],
              (Values{{"Other", "C:\\Other\\other.exe"}, {"Pelorin", "C:\\Newer\\Pelorin.exe"}}));
}

TEST(SetAutoRun, OffDeletesTheValueAndIsSilentWhenThereIsNone) {
    FakeRegistry registry;
    SetAutoRun(true, registry, "C:\\Pelorin\\Pelorin.exe");

    EXPECT_NO_THROW(SetAutoRun(false, registry, "C:\\Pelorin\\Pelorin.exe"));
    EXPECT_TRUE(registry.machine.keys[kRunKey].empty());
    EXPECT_NO_THROW(SetAutoRun(false, registry, "C:\\Pelorin\\Pelorin.exe"));
    EXPECT_EQ(registry.openKeys, 0);
}

// A user without administrator rights, then an administrator, on one machine: the machine
// key refuses to open (access denied) or to take the value, the user's own key takes it
// silently; only both refusals are told. Off clears both; no step leaves a key open.
TEST(SetAutoRun, WithoutRightsToTheMachineKeyTheValueGoesToTheUsersOwn) {
    enum class Refused { Nothing, MachineKey, MachineValue, BothKeys };
    const std::string kOld = "C:\\Old\\Pelorin.exe", kNew = "C:\\Program Files\\Pelorin\\Pelorin.exe";
    const std::string kNewData = '"' + kNew + '"';
    const struct {
        const char* what;
        Refused refused;
        bool on;
        std::string exe;
        Values machine, user;  // the Pelorin value in each Run key afterwards
        bool error;
    } steps[] = {
        {"standard user: on", Refused::MachineKey, true, kOld, {}, {{"Pelorin", kOld}}, false},
        {"standard user: off", Refused::MachineKey, false, kOld, {}, {}, false},
        {"standard user: off again", Refused::MachineKey, false, kOld, {}, {}, false},
        {"standard user: on again, moved",
         Refused::MachineKey,
         true,
         kNew,
         {},
         {{"Pelorin", kNewData}},
         false},
        {"administrator: on", Refused::Nothing, true, kNew, {{"Pelorin", kNewData}}, {}, false},
        {"value refused: on",
         Refused::MachineValue,
         true,
         kOld,
         {{"Pelorin", kNewData}},
         {{"Pelorin", kOld}},
         false},
        {"administrator: off", Refused::Nothing, false, kOld, {}, {}, false},
        {"both refused: on", Refused::BothKeys, true, kNew, {}, {}, true},
        {"both refused: off", Refused::BothKeys, false, kNew, {}, {}, false},
    };
    FakeRegistry registry;
    registry.user.keys[kRunKey]["Other"] = "C:\\Other\\other.exe";
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        registry.machine.refuseOpen =
            step.refused == Refused::MachineKey || step.refused == Refused::BothKeys;
        registry.machine.refuseWrite = step.refused == Refused::MachineValue;
        registry.user.refuseOpen = step.refused == Refused::BothKeys;

        bool error = false;
        try {
            SetAutoRun(step.on, registry, step.exe);
        } catch (const AppError& raised) {
            EXPECT_STREQ(raised.what(), "Failed to set data for 'Pelorin'");
            error = true;
        }
        EXPECT_EQ(error, step.error);
        Values user = step.user;
        user["Other"] = "C:\\Other\\other.exe";
        EXPECT_EQ(registry.machine.keys[kRunKey], step.machine);
        EXPECT_EQ(registry.user.keys[kRunKey], user);
        EXPECT_EQ(registry.openKeys, 0);
    }
}

}  // namespace
