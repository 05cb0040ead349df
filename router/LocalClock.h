#pragma once
#include "DayTime.h"

// The PC's local wall-clock time.
class LocalClock : public Clock {
public:
    double Now() override;
    std::uint64_t Milliseconds() override;
};
