#include "image/calendar_date.h"

namespace image {

namespace {

constexpr int kSecondsPerDay = 86400;
constexpr int kMonthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

bool isLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

} // namespace

int daysInMonth(int year, int month) {
    if (month == 2 && isLeapYear(year))
        return 29;
    return kMonthDays[(month - 1) % 12];
}

CalendarDate secondsToDate(uint32_t seconds) {
    CalendarDate date;
    uint32_t days = seconds / kSecondsPerDay;
    const uint32_t rest = seconds % kSecondsPerDay;
    date.second = static_cast<int>(rest % 60);
    date.minute = static_cast<int>(rest / 60 % 60);
    date.hour = static_cast<int>(rest / 3600);
    // At most about 136 years fit in 32 bits of seconds, so walking year by year is cheap.
    for (;;) {
        const uint32_t yearDays = isLeapYear(date.year) ? 366 : 365;
        if (days < yearDays)
            break;
        days -= yearDays;
        ++date.year;
    }
    for (;;) {
        const uint32_t monthDays = static_cast<uint32_t>(daysInMonth(date.year, date.month));
        if (days < monthDays)
            break;
        days -= monthDays;
        ++date.month;
    }
    date.day = static_cast<int>(days) + 1;
    return date;
}

} // namespace image
