#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace rg {

// The one module that turns values into texts: "." as decimal separator, no thousands
// separator, floating point with up to 15 significant digits, dates "yyyy-MM-dd",
// times "hh:mm:ss", date and time "yyyy-MM-dd hh:mm:ss", Booleans "True"/"False".
std::string formatFloat(double d);
// The shortest digits that read back as the same double, for texts a program reads again
// (filter literals, settings); NaN and the infinities as "nan", "inf" and "-inf".
std::string formatShortest(double d);
std::string formatInt(int64_t i);
std::string formatBool(bool b);
// Serials as dates and times (datetime.h has the texts); a serial outside the years 1 to
// 9999 shows as the number it is. A time's serial is a duration in days.
std::string formatDate(double serial);
std::string formatTime(double serial);
std::string formatDateTime(double serial);

struct CivilDateTime {
    int year = 1899, month = 12, day = 30;
    int hour = 0, minute = 0, second = 0, millisecond = 0;
};

// Day-count serial with day 0 = 1899-12-30 and the time of day as the fraction.
// Serials outside the years 1 to 9999 give day 0.
CivilDateTime fromSerial(double serial);
double dateSerial(int year, int month, int day);
double timeSerial(int hour, int minute, int second, int millisecond = 0);

// Parsers for the texts the formatters write (and what databases commonly send):
// "yyyy-MM-dd", "hh:mm:ss[.fff]", "yyyy-MM-dd hh:mm:ss[.fff]" (also with 'T').
std::optional<double> parseDate(std::string_view s);
std::optional<double> parseTime(std::string_view s);
std::optional<double> parseDateTime(std::string_view s);
// A decimal number as text ("12", "-3.5", "1e3", surrounding blanks allowed).
std::optional<double> parseNumber(std::string_view s);

} // namespace rg
