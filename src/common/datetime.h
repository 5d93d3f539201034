#pragma once

// Dates, times and date-times held exactly: a count of microseconds. Dates and date-times
// count from 1899-12-30 00:00, the day 0 of the serials spreadsheets use, on the proleptic
// Gregorian calendar (year 0 is 1 BC); times count from midnight as a duration, which MariaDB
// lets run past a day and below zero. A double serial loses microseconds from the 1970s on
// (about 40 µs near the year 9999); the count keeps them over every year a server sends.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace rg {

constexpr int64_t kMicrosPerSecond = 1'000'000;
constexpr int64_t kMicrosPerDay = 86'400 * kMicrosPerSecond;
// PostgreSQL's infinity and -infinity: after and before every other value.
constexpr int64_t kInfinityMicros = INT64_MAX;
constexpr int64_t kMinusInfinityMicros = INT64_MIN;
// Dates between these counts (about 290,000 years either way) are shown as dates; the
// counts between them and the infinities are free for cells that hold no date.
constexpr int64_t kLastDateMicros = 290'000LL * 146'097 / 400 * kMicrosPerDay;
constexpr int64_t kFirstDateMicros = -kLastDateMicros;

inline bool isInfinityMicros(int64_t us) {
    return us == kInfinityMicros || us == kMinusInfinityMicros;
}
inline bool isDateMicros(int64_t us) {
    return us >= kFirstDateMicros && us <= kLastDateMicros;
}

// Days since 1970-01-01 of a proleptic Gregorian date, and the date of such a day.
int64_t daysFromCivil(int64_t year, unsigned month, unsigned day);
struct CivilDay {
    int64_t year;
    int month, day;
};
CivilDay civilFromDays(int64_t days);

// The count of a civil date and time of day; nullopt beyond the range above or for a month or
// day that does not exist.
std::optional<int64_t> microsOfCivil(int64_t year, int month, int day, int64_t timeOfDay = 0);

// Serials and counts. Before day 0 a serial's fraction still counts forward from midnight
// (-1.25 is 1899-12-29 06:00), as spreadsheets have it; a time's serial is its fraction of
// a day. Serials outside the years 1 to 9999 (and NaN) are no date: nullopt.
std::optional<int64_t> microsOfSerial(double serial, bool time = false);
double serialOfMicros(int64_t us, bool time = false);

// The texts of the program: "yyyy-MM-dd" (a BC date with " BC" after it, a year beyond 9999
// with all its digits), "yyyy-MM-dd hh:mm:ss" and the time "hh:mm:ss", the latter two with
// the fraction of a second when it is not zero, trailing zeros left out, as PostgreSQL
// writes it ("03:04:05.12"). A time beyond a day shows its hours ("25:00:00", "-838:59:59").
// The infinities show as "infinity" and "-infinity".
std::string formatDateMicros(int64_t us);
std::string formatDateTimeMicros(int64_t us);
std::string formatTimeMicros(int64_t us);

// Readers of those texts and of what servers send: an ISO date with a year of four digits
// or more and an optional " BC"; a date-time with ' ' or 'T', up to nine digits of fraction
// (rounded to the microsecond) and a time zone offset that is left out (the time stays as
// the server wrote it); a time with an optional sign and hours beyond 24; "infinity",
// "-infinity".
std::optional<int64_t> parseDateMicros(std::string_view s);
std::optional<int64_t> parseDateTimeMicros(std::string_view s);
std::optional<int64_t> parseTimeMicros(std::string_view s);

} // namespace rg
