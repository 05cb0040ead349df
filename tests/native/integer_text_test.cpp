#include "DayTime.h"
#include "IntegerText.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(ParseInteger, AcceptsSignedDecimalAndPrefixedHexadecimal) {
    const struct {
        const char* text;
        std::optional<std::int32_t> value;
    } rows[] = {
        {"5", 5},
        {"+5", 5},
        {"-3", -3},
        {"-0", 0},
        {"007", 7},
        {"$A", 10},
        {"$a", 10},
        {"xA", 10},
        {"XA", 10},
        {"0x1A", 26},
        {"0X1a", 26},
        {"-$10", -16},
        {" 12", 12},
        {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},
        {"$7FFFFFFF", INT32_MAX},
        {"$FFFFFFFF", -1},
        {"2147483648", std::nullopt},
        {"-2147483649", std::nullopt},
        {"$100000000", std::nullopt},
        {"99999999999999999999", std::nullopt},
        {"", std::nullopt},
        {"+", std::nullopt},
        {"-", std::nullopt},
        {"$", std::nullopt},
        {"0x", std::nullopt},
        {"5x", std::nullopt},
        {"12 ", std::nullopt},
        {"1 2", std::nullopt},
        {"yes", std::nullopt},
        {"true", std::nullopt},
        {"$G", std::nullopt},
        {"0b1", std::nullopt},
        {"1.5", std::nullopt},
        {"--1", std::nullopt},
        {"+-1", std::nullopt},
        {"0x-1", std::nullopt},
        {"1a", std::nullopt},
        {"A", std::nullopt},
        {"1A", std::nullopt},  // hex digits need a prefix
    };
    for (const auto& row : rows) EXPECT_EQ(ParseInteger(row.text), row.value) << '"' << row.text << '"';
}

TEST(IntervalMinutes, TrimsBlanksAndControlsAndFallsBackToOne) {
    const struct {
        const char* text;
        std::int32_t minutes;
    } rows[] = {
        {"10", 10}, {" 5 ", 5}, {"\t5\r\n", 5}, {"5x", 1},  {"$A", 10}, {"0", 0},
        {"-3", -3}, {"", 1},    {"   ", 1},     {"abc", 1}, {"1 0", 1}, {"4294967296", 1},
    };
    for (const auto& row : rows) EXPECT_EQ(IntervalMinutes(row.text), row.minutes) << '"' << row.text << '"';
}

TEST(DayCount, CountsDaysFrom30December1899WithTheTimeAsFraction) {
    EXPECT_EQ(DayCount({1899, 12, 30}), 0.0);
    EXPECT_EQ(DayCount({1900, 1, 1}), 2.0);
    EXPECT_EQ(DayCount({1900, 3, 1}), 61.0);  // 1900 was no leap year
    EXPECT_EQ(DayCount({2000, 1, 1}), 36526.0);
    EXPECT_EQ(DayCount({2024, 3, 1}) - DayCount({2024, 2, 28}), 2.0);
    EXPECT_EQ(DayCount({2026, 12, 7, 12}), DayCount({2026, 12, 7}) + 0.5);
    const double oneMinute = DayCount({2026, 12, 7, 10, 31}) - DayCount({2026, 12, 7, 10, 30});
    EXPECT_NEAR(oneMinute, 1 / kMinutesPerDay, 1e-9);
    EXPECT_NEAR(DayCount({2026, 12, 7, 23, 59, 59, 999}), DayCount({2026, 12, 8}), 1.2e-8);
}

}  // namespace
