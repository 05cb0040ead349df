#include "DayTime.h"

namespace {

// Days from 1 March of year 0 (proleptic Gregorian) to the given date.
long DaysFromCivil(long year, long month, long day) {
    year -= month <= 2;
    const long era = (year >= 0 ? year : year - 399) / 400;
    const long yearOfEra = year - era * 400;
    const long dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra;
}

}  // namespace

double DayCount(const LocalTime& time) {
    static const long kDay0 = DaysFromCivil(1899, 12, 30);
    const long days = DaysFromCivil(time.year, time.month, time.day) - kDay0;
    const long milliseconds =
        ((time.hour * 60L + time.minute) * 60L + time.second) * 1000L + time.millisecond;
    return static_cast<double>(days) + static_cast<double>(milliseconds) / 86400000.0;
}
