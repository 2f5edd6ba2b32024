#include "foundation/DateTime.h"

#include <cmath>
#include <cstdlib>
#include <ctime>

#include "foundation/Guard.h"

namespace marevo {

namespace {

constexpr std::int64_t MsPerDay = 86'400'000;
// 1970-01-01, the origin of the civil-day count below, is day 25569 of TDateTime.
constexpr std::int64_t UnixEpochDay = 25569;
// TDateTime days of 0001-01-01 and 9999-12-31.
constexpr std::int64_t FirstDay = -693593;
constexpr std::int64_t LastDay = 2958465;

// Days from 1970-01-01 to the given proleptic Gregorian date. Counts in 400-year eras of
// 146097 days, with years starting on 1 March so the leap day is the last day of a year.
std::int64_t DaysFromCivil(int year, int month, int day) {
    const std::int64_t y = year - (month <= 2 ? 1 : 0);
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yearOfEra = y - era * 400;
    const std::int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

struct TCivilDate {
    int year;
    int month;
    int day;
};

TCivilDate CivilFromDays(std::int64_t daysSince1970) {
    const std::int64_t z = daysSince1970 + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t dayOfEra = z - era * 146097;
    const std::int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t shiftedMonth = (5 * dayOfYear + 2) / 153; // 0 = March
    const int day = static_cast<int>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
    const int month = static_cast<int>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
    const int year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
    return {year, month, day};
}

// Why the fields do not make a date and time, or "" when they do.
std::string InvalidField(int year, int month, int day, int hour, int minute, int second, int msec) {
    if (year < 1 || year > 9999)
        return "year " + std::to_string(year) + " is outside 1..9999";
    if (month < 1 || month > 12)
        return "month " + std::to_string(month) + " is outside 1..12";
    if (day < 1 || day > DaysInMonth(year, month))
        return "day " + std::to_string(day) + " does not exist in " + std::to_string(year) + "-" +
               std::to_string(month);
    if (hour < 0 || hour > 23)
        return "hour " + std::to_string(hour) + " is outside 0..23";
    if (minute < 0 || minute > 59)
        return "minute " + std::to_string(minute) + " is outside 0..59";
    if (second < 0 || second > 59)
        return "second " + std::to_string(second) + " is outside 0..59";
    if (msec < 0 || msec > 999)
        return "millisecond " + std::to_string(msec) + " is outside 0..999";
    return {};
}

TDateTime Compose(int year, int month, int day, int hour, int minute, int second, int msec) {
    const std::int64_t dayNumber = DaysFromCivil(year, month, day) + UnixEpochDay;
    const std::int64_t msOfDay = ((hour * 60LL + minute) * 60 + second) * 1000 + msec;
    const double time = static_cast<double>(msOfDay) / static_cast<double>(MsPerDay);
    const double date = static_cast<double>(dayNumber);
    return dayNumber < 0 ? date - time : date + time;
}

struct TRounded {
    std::int64_t day;     // TDateTime day number
    std::int64_t msOfDay; // 0..MsPerDay-1
};

TRounded RoundToMs(TDateTime dt) {
    // Checked before rounding so the conversion to an integer cannot overflow.
    if (!std::isfinite(dt) || std::fabs(dt) > static_cast<double>(LastDay + 1))
        Raise("Invalid date-time value " + std::to_string(dt));
    // Rounding the signed count keeps the day-negative, time-positive convention: the quotient
    // truncates towards zero and the remainder's magnitude is the time of day.
    const std::int64_t totalMs = std::llround(dt * static_cast<double>(MsPerDay));
    const TRounded r{totalMs / MsPerDay, std::llabs(totalMs % MsPerDay)};
    if (r.day < FirstDay || r.day > LastDay)
        Raise("Date-time value " + std::to_string(dt) + " is outside years 1..9999");
    return r;
}

void AppendPadded(std::string& out, int value, int width) {
    const std::string digits = std::to_string(value);
    if (static_cast<int>(digits.size()) < width)
        out.append(static_cast<std::size_t>(width) - digits.size(), '0');
    out += digits;
}

} // namespace

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static constexpr int Days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12)
        return 0;
    return month == 2 && IsLeapYear(year) ? 29 : Days[month - 1];
}

TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int msec) {
    const std::string problem = InvalidField(year, month, day, hour, minute, second, msec);
    if (!problem.empty())
        Raise("Invalid date or time: " + problem);
    return Compose(year, month, day, hour, minute, second, msec);
}

bool TryEncodeDateTime(int year, int month, int day, int hour, int minute, int second, int msec,
                       TDateTime& out) {
    if (!InvalidField(year, month, day, hour, minute, second, msec).empty())
        return false;
    out = Compose(year, month, day, hour, minute, second, msec);
    return true;
}

TDateParts DecodeDateTime(TDateTime dt) {
    const TRounded r = RoundToMs(dt);
    const TCivilDate date = CivilFromDays(r.day - UnixEpochDay);
    const int ms = static_cast<int>(r.msOfDay);
    return {date.year,        date.month,     date.day, ms / 3'600'000,
            ms / 60'000 % 60, ms / 1000 % 60, ms % 1000};
}

std::string FormatDateTime(std::string_view pattern, TDateTime dt) {
    const TDateParts p = DecodeDateTime(dt);
    std::string out;
    out.reserve(pattern.size() + 4);
    std::size_t i = 0;
    while (i < pattern.size()) {
        const std::string_view rest = pattern.substr(i);
        if (rest.starts_with("yyyy")) {
            AppendPadded(out, p.year, 4);
            i += 4;
        } else if (rest.starts_with("zzz")) {
            AppendPadded(out, p.msec, 3);
            i += 3;
        } else if (rest.starts_with("yy")) {
            AppendPadded(out, p.year % 100, 2);
            i += 2;
        } else if (rest.starts_with("MM")) {
            AppendPadded(out, p.month, 2);
            i += 2;
        } else if (rest.starts_with("dd")) {
            AppendPadded(out, p.day, 2);
            i += 2;
        } else if (rest.starts_with("HH")) {
            AppendPadded(out, p.hour, 2);
            i += 2;
        } else if (rest.starts_with("mm")) {
            AppendPadded(out, p.minute, 2);
            i += 2;
        } else if (rest.starts_with("ss")) {
            AppendPadded(out, p.second, 2);
            i += 2;
        } else {
            out += pattern[i];
            ++i;
        }
    }
    return out;
}

TDateTime DateOf(TDateTime dt) {
    return static_cast<double>(RoundToMs(dt).day);
}

TDateTime TimeOf(TDateTime dt) {
    return static_cast<double>(RoundToMs(dt).msOfDay) / static_cast<double>(MsPerDay);
}

TDateTime LocalDateTimeFromUnix(std::int64_t unixSeconds, int msec) {
    const std::time_t seconds = static_cast<std::time_t>(unixSeconds);
    std::tm local{};
    if (localtime_r(&seconds, &local) == nullptr)
        Raise("Cannot convert Unix time " + std::to_string(unixSeconds) + " to local time");
    // A leap second (tm_sec 60) has no place in TDateTime; it is held at :59.
    const int second = local.tm_sec > 59 ? 59 : local.tm_sec;
    return EncodeDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                          local.tm_min, second, msec);
}

} // namespace marevo
