#pragma once

#include <cstdint>

// Proleptic Gregorian calendar arithmetic on day numbers counted from 1970-01-01, without the
// C library's time-zone machinery (gmtime_r takes a lock and looks at TZ on every call) and
// without Qt, for the sampling path.
struct CivilDate
{
    std::int64_t Year;
    int Month; // 1..12
    int Day;   // 1..31
};

constexpr std::int64_t DaysFromCivil(std::int64_t year, int month, int day)
{
    year -= month <= 2;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t yearOfEra = year - era * 400;
    const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

constexpr CivilDate CivilFromDays(std::int64_t days)
{
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t mp = (5 * dayOfYear + 2) / 153;
    const int day = int(dayOfYear - (153 * mp + 2) / 5 + 1);
    const int month = int(mp < 10 ? mp + 3 : mp - 9);
    return {yearOfEra + era * 400 + (month <= 2), month, day};
}

// 0 for Sunday to 6 for Saturday.
constexpr int WeekdayFromDays(std::int64_t days)
{
    return int(days >= -4 ? (days + 4) % 7 : (days + 5) % 7 + 6);
}

constexpr bool IsValidCivilDate(std::int64_t year, int month, int day)
{
    if (month < 1 || month > 12 || day < 1)
        return false;
    constexpr int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return day <= lengths[month - 1] + (month == 2 && leap);
}
