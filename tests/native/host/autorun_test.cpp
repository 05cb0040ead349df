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
    RecordedBoxes boxes;
    SetAutoRun(true, registry, boxes, "C:\\Program Files\\Pelorin\\Pelorin.exe");

    EXPECT_EQ(registry.machine.keys,
              (std::map<std::string, Values>{
                  {kRunKey, {{"Pelorin", "\"C:\\Program Files\\Pelorin\\Pelorin.exe\""}}}}));
    EXPECT_TRUE(registry.user.keys[kRunKey].empty());
    EXPECT_EQ(registry.openKeys, 0);
}

TEST(SetAutoRun, SwitchingOnAgainLeavesOneValueWithTheCurrentPath) {
    FakeRegistry registry;
    RecordedBoxes boxes;
    registry.machine.keys[kRunKey]["Other"] = "C:\\Other\\other.exe";

    SetAutoRun(true, registry, boxes, "C:\\Old\\Pelorin.exe");
    SetAutoRun(false, registry, boxes, "C:\\Old\\Pelorin.exe");
    SetAutoRun(true, registry, boxes, "C:\\New\\Pelorin.exe");
    SetAutoRun(true, registry, boxes, "C:\\Newer\\Pelorin.exe");

    EXPECT_EQ(registry.machine.keys[kRunKey],
              (Values{{"Other", "C:\\Other\\other.exe"}, {"Pelorin", "C:\\Newer\\Pelorin.exe"}}));
}

TEST(SetAutoRun, OffDeletesTheValueAndIsSilentWhenThereIsNone) {
    FakeRegistry registry;
    RecordedBoxes boxes;
    SetAutoRun(true, registry, boxes, "C:\\Pelorin\\Pelorin.exe");

    EXPECT_NO_THROW(SetAutoRun(false, registry, boxes, "C:\\Pelorin\\Pelorin.exe"));
    EXPECT_TRUE(registry.machine.keys[kRunKey].empty());
    EXPECT_NO_THROW(SetAutoRun(false, registry, boxes, "C:\\Pelorin\\Pelorin.exe"));
    EXPECT_EQ(registry.openKeys, 0);
    EXPECT_TRUE(boxes.boxes.empty());
}

// A user without administrator rights, then an administrator, on one machine: the machine
// key refuses to open (access denied) or to take the value, the user's own key takes it
// silently; only both refusals are told. A machine-wide value an administrator left for this
// exe is registration enough, and switching off cannot remove it: one box says so. Off
// clears both; no step leaves a key open.
TEST(SetAutoRun, WithoutRightsToTheMachineKeyTheValueGoesToTheUsersOwn) {
    enum class Refused { Nothing, MachineKey, MachineValue, BothKeys };
    const std::string kOld = "C:\\Old\\Pelorin.exe", kNew = "C:\\Program Files\\Pelorin\\Pelorin.exe";
    const std::string kNewData = '"' + kNew + '"', kNewOtherCase = "c:\\program files\\PELORIN\\pelorin.EXE";
    const struct {
        const char* what;
        Refused refused;
        bool on;
        std::string exe;
        Values machine, user;  // the Pelorin value in each Run key afterwards
        bool error;
        std::size_t boxes = 0;  // told so far
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
        {"administrator: on again", Refused::Nothing, true, kNew, {{"Pelorin", kNewData}}, {}, false},
        {"standard user: on, registered by the administrator",
         Refused::MachineKey,
         true,
         kNewOtherCase,
         {{"Pelorin", kNewData}},
         {},
         false},
        {"standard user: on, another exe",
         Refused::MachineKey,
         true,
         kOld,
         {{"Pelorin", kNewData}},
         {{"Pelorin", kOld}},
         false},
        {"standard user: off, told", Refused::MachineKey, false, kNew, {{"Pelorin", kNewData}}, {}, false, 1},
        {"value refused: off, silent", Refused::MachineValue, false, kNew, {}, {}, false, 1},
    };
    FakeRegistry registry;
    RecordedBoxes boxes;
    registry.user.keys[kRunKey]["Other"] = "C:\\Other\\other.exe";
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        registry.machine.refuseOpen =
            step.refused == Refused::MachineKey || step.refused == Refused::BothKeys;
        registry.machine.refuseWrite = step.refused == Refused::MachineValue;
        registry.user.refuseOpen = step.refused == Refused::BothKeys;

        bool error = false;
        try {
            SetAutoRun(step.on, registry, boxes, step.exe);
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
        ASSERT_EQ(boxes.boxes.size(), step.boxes);
    }
    EXPECT_EQ(boxes.boxes[0].text, "开机启动是管理员为本机所有用户设置的，只有管理员才能取消。");
    EXPECT_EQ(boxes.boxes[0].caption, "提示");
    EXPECT_EQ(boxes.boxes[0].icon, MessageIcon::Warning);
}

}  // namespace
