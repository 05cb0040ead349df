#include "MessagePump.h"
#include "MessageTimer.h"

#include <gtest/gtest.h>

namespace {

TEST(MessageTimer, SwitchesTicksOnAndOffAsItsIntervalAndHandlerSay) {
    int ticks = 0;
    TMessageTimer timer(30, [&](TMessageTimer& sender) {
        EXPECT_EQ(&sender, &timer);
        ++ticks;
    });
    EXPECT_FALSE(timer.Enabled());

    timer.SetInterval(0);
    EXPECT_FALSE(timer.SwitchOn());  // an interval of 0 starts nothing
    EXPECT_FALSE(timer.Enabled());

    timer.SetInterval(30);
    EXPECT_TRUE(timer.SwitchOn());
    EXPECT_TRUE(PumpUntil([&] { return ticks >= 3; }, 2000));  // periodic

    timer.SetInterval(0);  // no ticks, still on
    EXPECT_TRUE(timer.Enabled());
    PumpFor(50);
    const int stopped = ticks;
    PumpFor(150);
    EXPECT_EQ(ticks, stopped);

    timer.SetInterval(20);  // ticks again without switching on
    EXPECT_TRUE(PumpUntil([&] { return ticks > stopped; }, 2000));

    timer.SetOnTimer(nullptr);  // no handler: the system timer goes, the flag stays
    EXPECT_TRUE(timer.Enabled());

    timer.SwitchOff();
    EXPECT_FALSE(timer.Enabled());
}

TEST(MessageTimer, SwitchingOnARunningTimerStartsItsPeriodAfresh) {
    int ticks = 0;
    TMessageTimer timer(200, [&](TMessageTimer&) { ++ticks; });
    timer.SwitchOn();
    // Switched on again every 100 ms, a 200 ms timer never comes due.
    for (int i = 0; i < 5; ++i) {
        PumpFor(100);
        timer.SwitchOn();
    }
    EXPECT_EQ(ticks, 0);
    EXPECT_TRUE(PumpUntil([&] { return ticks == 1; }, 2000));
}

TEST(MessageTimer, SharesOneWindowMadeWithTheFirstTimerAndDestroyedWithTheLast) {
    ASSERT_EQ(TMessageTimer::SharedWindow(), nullptr);
    HWND shared = nullptr;
    {
        TMessageTimer first;
        shared = TMessageTimer::SharedWindow();
        ASSERT_TRUE(IsWindow(shared));
        char className[32] = {};
        GetClassNameA(shared, className, sizeof className);
        EXPECT_STREQ(className, "TPUtilWindow");
        EXPECT_EQ(GetWindowLongA(shared, GWL_EXSTYLE) & WS_EX_TOOLWINDOW, WS_EX_TOOLWINDOW);
        {
            TMessageTimer second;
            EXPECT_EQ(TMessageTimer::SharedWindow(), shared);
        }
        EXPECT_TRUE(IsWindow(shared));
        // A WM_TIMER that names no live timer is not taken for one.
        SendMessageA(shared, WM_TIMER, 12345, 0);
    }
    EXPECT_FALSE(IsWindow(shared));
    EXPECT_EQ(TMessageTimer::SharedWindow(), nullptr);
    TMessageTimer again;
    EXPECT_TRUE(IsWindow(TMessageTimer::SharedWindow()));
}

}  // namespace
