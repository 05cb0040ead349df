#pragma once
#include <cstdint>

// Local wall-clock time stamps as a day count from 30 December 1899, with the time of day
// as fraction.

struct LocalTime {
    int year, month, day;
    int hour = 0, minute = 0, second = 0, millisecond = 0;
};

double DayCount(const LocalTime& time);
// The time a day count stands for, to the nearest millisecond.
LocalTime LocalTimeOf(double dayCount);

constexpr double kMinutesPerDay = 1440.0;

class Clock {
public:
    virtual ~Clock() = default;
    virtual double Now() = 0;  // the current local time as a day count
    // A steady count of milliseconds, for how long a change of address takes.
    virtual std::uint64_t Milliseconds() = 0;
};
