#pragma once
// Calendar arithmetic on TDateTime, independent of locale. Valid for years 1..9999 of the
// proleptic Gregorian calendar.
//
// Before 1899-12-30 the stored values count the day negatively but the time of day positively:
// 1899-12-29 18:00 is -1.75 (day -1, time 0.75), not -0.25.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Clock.h"

namespace marevo {

struct TDateParts {
    int year;
    int month;  // 1..12
    int day;    // 1..31
    int hour;   // 0..23
    int minute; // 0..59
    int second; // 0..59
    int msec;   // 0..999
};

constexpr double SecondsToDays(double seconds) {
    return seconds / SecondsPerDay;
}

bool IsLeapYear(int year);
// 0 when month is not 1..12.
int DaysInMonth(int year, int month);

// Raises EMarevoError naming the offending field when the date or the time is invalid.
TDateTime EncodeDateTime(int year, int month, int day, int hour = 0, int minute = 0, int second = 0,
                         int msec = 0);
// As EncodeDateTime, but reports an invalid date or time by returning false (out untouched).
bool TryEncodeDateTime(int year, int month, int day, int hour, int minute, int second, int msec,
                       TDateTime& out);

// Rounds to the nearest millisecond first, so 23:59:59.9996 is 00:00:00.000 of the next day.
// Raises EMarevoError for a value that is not finite or lies outside years 1..9999.
TDateParts DecodeDateTime(TDateTime dt);

// Tokens: "yyyy" year, "yy" year in century, "MM" month, "dd" day, "HH" hour (24 h), "mm"
// minute, "ss" second, "zzz" millisecond, all zero-padded. Anything else is copied as it is.
//   FormatDateTime("dd/MM/yyyy HH:mm:ss", dt) == "09/03/2026 14:25:01"
std::string FormatDateTime(std::string_view pattern, TDateTime dt);

// The day and the time of day of dt as DecodeDateTime sees them (millisecond-rounded), so that
// DateOf of 23:59:59.9996 is the next day and its TimeOf is 0.
TDateTime DateOf(TDateTime dt);
TDateTime TimeOf(TDateTime dt);

// Local wall-clock time of a Unix time stamp; msec is 0..999.
TDateTime LocalDateTimeFromUnix(std::int64_t unixSeconds, int msec);

} // namespace marevo
