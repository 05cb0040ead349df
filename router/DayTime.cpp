#include "DayTime.h"

namespace {

// Days from 1 March of year 0 (proleptic Gregorian) to the given date.
constexpr long DaysFromCivil(long year, long month, long day) {
    year -= month <= 2;
    const long era = (year >= 0 ? year : year - 399) / 400;
    const long yearOfEra = year - era * 400;
    const long dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra;
}

// The inverse of DaysFromCivil.
void CivilFromDays(long days, int& year, int& month, int& day) {
    const long era = (days >= 0 ? days : days - 146096) / 146097;
    const long dayOfEra = days - era * 146097;
    const long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long shiftedMonth = (5 * dayOfYear + 2) / 153;
    day = static_cast<int>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
    month = static_cast<int>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
    year = static_cast<int>(yearOfEra + era * 400 + (month <= 2));
}

constexpr long long kMillisecondsPerDay = 86400000;
constexpr long kDay0 = DaysFromCivil(1899, 12, 30);

}  // namespace

double DayCount(const LocalTime& time) {
    const long days = DaysFromCivil(time.year, time.month, time.day) - kDay0;
    const long milliseconds =
        ((time.hour * 60L + time.minute) * 60L + time.second) * 1000L + time.millisecond;
    return static_cast<double>(days) + static_cast<double>(milliseconds) / 86400000.0;
}

LocalTime LocalTimeOf(double dayCount) {
    const double milliseconds = dayCount * static_cast<double>(kMillisecondsPerDay);
    const long long total =
        static_cast<long long>(milliseconds < 0 ? milliseconds - 0.5 : milliseconds + 0.5);
    // The days divided out in floating point, which may miss by one either way, so the 32-bit
    // exe needs none of the runtime's 64-bit division helpers. Days before day 0 still have
    // their time of day counted forwards from midnight.
    long long days =
        static_cast<long long>(static_cast<double>(total) / static_cast<double>(kMillisecondsPerDay));
    long long rest = total - days * kMillisecondsPerDay;
    if (rest < 0) {
        rest += kMillisecondsPerDay;
        --days;
    } else if (rest >= kMillisecondsPerDay) {
        rest -= kMillisecondsPerDay;
        ++days;
    }
    const long inDay = static_cast<long>(rest);
    LocalTime time{};
    CivilFromDays(static_cast<long>(days) + kDay0, time.year, time.month, time.day);
    time.hour = static_cast<int>(inDay / 3600000);
    time.minute = static_cast<int>(inDay / 60000 % 60);
    time.second = static_cast<int>(inDay / 1000 % 60);
    time.millisecond = static_cast<int>(inDay % 1000);
    return time;
}
