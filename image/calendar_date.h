#pragma once
// Conversion of the version record's time stamp (seconds since 2000-01-01 00:00) to calendar
// parts in the Gregorian calendar.

#include <cstdint>

namespace image {

struct CalendarDate {
    int year = 2000;
    int month = 1; // 1 .. 12
    int day = 1;   // 1 .. 31
    int hour = 0;
    int minute = 0;
    int second = 0;
    bool operator==(const CalendarDate&) const = default;
};

CalendarDate secondsToDate(uint32_t seconds);

// Days in `month` (1 .. 12) of `year`.
int daysInMonth(int year, int month);

} // namespace image
