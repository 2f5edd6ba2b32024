#include "foundation/DateTime.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <optional>
#include <string>

#include "foundation/Guard.h"

namespace marevo {
namespace {

struct TEncodeCase {
    const char* name;
    TDateParts parts;
    TDateTime value;
};

const TEncodeCase EncodeCases[] = {
    {"origin", {1899, 12, 30, 0, 0, 0, 0}, 0.0},
    {"first day of 1900", {1900, 1, 1, 0, 0, 0, 0}, 2.0},
    {"Unix epoch", {1970, 1, 1, 0, 0, 0, 0}, 25569.0},
    {"noon of 2000-01-01", {2000, 1, 1, 12, 0, 0, 0}, 36526.5},
    {"9 March 2026", {2026, 3, 9, 0, 0, 0, 0}, 46090.0},
    {"6 a.m. after a leap day", {2024, 3, 1, 6, 0, 0, 0}, 45352.25},
    {"day before the origin", {1899, 12, 29, 0, 0, 0, 0}, -1.0},
    {"evening before the origin counts time forwards", {1899, 12, 29, 18, 0, 0, 0}, -1.75},
    {"first representable day", {1, 1, 1, 0, 0, 0, 0}, -693593.0},
    {"last representable day", {9999, 12, 31, 0, 0, 0, 0}, 2958465.0},
};

void ExpectParts(const TDateParts& got, const TDateParts& want, const std::string& name) {
    EXPECT_EQ(got.year, want.year) << name;
    EXPECT_EQ(got.month, want.month) << name;
    EXPECT_EQ(got.day, want.day) << name;
    EXPECT_EQ(got.hour, want.hour) << name;
    EXPECT_EQ(got.minute, want.minute) << name;
    EXPECT_EQ(got.second, want.second) << name;
    EXPECT_EQ(got.msec, want.msec) << name;
}

TEST(DateTimeTest, EncodesDaysSince30December1899) {
    for (const TEncodeCase& c : EncodeCases) {
        const TDateParts& p = c.parts;
        EXPECT_EQ(EncodeDateTime(p.year, p.month, p.day, p.hour, p.minute, p.second, p.msec),
                  c.value)
            << c.name;
    }
}

TEST(DateTimeTest, DecodesBackToTheEncodedParts) {
    for (const TEncodeCase& c : EncodeCases)
        ExpectParts(DecodeDateTime(c.value), c.parts, c.name);
}

// Every day from 0001-01-01 to 9999-12-31, checked against the standard library's calendar.
TEST(DateTimeTest, CivilDateOfEveryDayAgreesWithTheStandardCalendar) {
    using namespace std::chrono;
    constexpr int OriginFromUnixEpoch = 25569;
    for (int dayNumber = -693593; dayNumber <= 2958465; ++dayNumber) {
        const year_month_day ymd{sys_days{days{dayNumber - OriginFromUnixEpoch}}};
        const TDateParts p = DecodeDateTime(dayNumber);
        const int year = static_cast<int>(ymd.year());
        const int month = static_cast<int>(static_cast<unsigned>(ymd.month()));
        const int day = static_cast<int>(static_cast<unsigned>(ymd.day()));
        ASSERT_TRUE(p.year == year && p.month == month && p.day == day)
            << "day " << dayNumber << ": " << p.year << "-" << p.month << "-" << p.day;
        ASSERT_EQ(EncodeDateTime(year, month, day), static_cast<double>(dayNumber));
    }
}

TEST(DateTimeTest, EncodesAndFormatsTheTimeOfDay) {
    const TDateTime dt = EncodeDateTime(2026, 3, 9, 14, 25, 1);
    EXPECT_EQ(FormatDateTime("dd/MM/yyyy HH:mm:ss", dt), "09/03/2026 14:25:01");
    ExpectParts(DecodeDateTime(dt), {2026, 3, 9, 14, 25, 1, 0}, "14:25:01");
}

TEST(DateTimeTest, FormatsEachPattern) {
    const TDateTime dt = EncodeDateTime(2026, 3, 9, 14, 25, 1, 7);
    const struct {
        const char* pattern;
        const char* expected;
    } cases[] = {
        {"dd/MM/yyyy", "09/03/2026"},
        {"HH:mm:ss", "14:25:01"},
        {"ddMMyy", "090326"},
        {"HHmmss", "142501"},
        {"ddMMyy_HHmmss", "090326_142501"},
        {"HH:mm:ss.zzz", "14:25:01.007"},
        {"yyyy-MM-dd", "2026-03-09"},
        {"Cast d M y H m s z", "Cast d M y H m s z"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatDateTime(c.pattern, dt), c.expected) << c.pattern;
}

TEST(DateTimeTest, FormatsDatesBeforeTheOriginAndEarlyYears) {
    EXPECT_EQ(FormatDateTime("dd/MM/yyyy HH:mm", -1.75), "29/12/1899 18:00");
    EXPECT_EQ(FormatDateTime("dd/MM/yyyy yy", EncodeDateTime(5, 7, 4)), "04/07/0005 05");
}

TEST(DateTimeTest, LeapDaysExistOnlyInLeapYears) {
    const struct {
        int year;
        bool valid;
    } cases[] = {{2000, true},  {1900, false}, {2024, true}, {2023, false},
                 {2100, false}, {2400, true},  {4, true}};
    for (const auto& c : cases) {
        TDateTime out = -123.0;
        EXPECT_EQ(TryEncodeDateTime(c.year, 2, 29, 0, 0, 0, 0, out), c.valid) << c.year;
        EXPECT_EQ(IsLeapYear(c.year), c.valid) << c.year;
        EXPECT_EQ(DaysInMonth(c.year, 2), c.valid ? 29 : 28) << c.year;
        if (c.valid)
            EXPECT_EQ(out, EncodeDateTime(c.year, 3, 1) - 1.0) << c.year;
        else
            EXPECT_EQ(out, -123.0) << c.year;
    }
}

TEST(DateTimeTest, InvalidFieldsRaiseAndTryReportsFalse) {
    const TDateParts cases[] = {
        {2026, 13, 1, 0, 0, 0, 0},   {2026, 0, 1, 0, 0, 0, 0},  {2026, 1, 0, 0, 0, 0, 0},
        {2026, 1, 32, 0, 0, 0, 0},   {2026, 4, 31, 0, 0, 0, 0}, {2026, 1, 1, 24, 0, 0, 0},
        {2026, 1, 1, -1, 0, 0, 0},   {2026, 1, 1, 0, 60, 0, 0}, {2026, 1, 1, 0, 0, 60, 0},
        {2026, 1, 1, 0, 0, 0, 1000}, {2026, 1, 1, 0, 0, 0, -1}, {0, 1, 1, 0, 0, 0, 0},
        {10000, 1, 1, 0, 0, 0, 0},
    };
    for (const TDateParts& p : cases) {
        EXPECT_THROW(EncodeDateTime(p.year, p.month, p.day, p.hour, p.minute, p.second, p.msec),
                     EMarevoError)
            << p.year << "-" << p.month << "-" << p.day << " " << p.hour << ":" << p.minute << ":"
            << p.second << "." << p.msec;
        TDateTime out = 0.0;
        EXPECT_FALSE(
            TryEncodeDateTime(p.year, p.month, p.day, p.hour, p.minute, p.second, p.msec, out));
    }
}

TEST(DateTimeTest, InvalidMonthMessageNamesTheMonth) {
    std::optional<std::string> message;
    try {
        EncodeDateTime(2026, 13, 1);
    } catch (const EMarevoError& e) {
        message = e.what();
    }
    ASSERT_TRUE(message.has_value());
    EXPECT_NE(message->find("month 13"), std::string::npos) << *message;
}

TEST(DateTimeTest, DecodingRoundsToTheNearestMillisecond) {
    const TDateTime day = EncodeDateTime(2026, 3, 9);
    const struct {
        const char* name;
        TDateTime value;
        TDateParts expected;
    } cases[] = {
        {"a hair below midnight rolls into the next day",
         day + SecondsToDays(86399.9996),
         {2026, 3, 10, 0, 0, 0, 0}},
        {"just under half a millisecond rounds down",
         day + SecondsToDays(86399.9994),
         {2026, 3, 9, 23, 59, 59, 999}},
        {"end of year rolls into the next year",
         EncodeDateTime(2025, 12, 31) + 0.99999999999,
         {2026, 1, 1, 0, 0, 0, 0}},
        {"before the origin rolls to the earlier day", -1.99999999999, {1899, 12, 28, 0, 0, 0, 0}},
        {"14:25:01.250",
         day + SecondsToDays(14 * 3600 + 25 * 60 + 1.2501),
         {2026, 3, 9, 14, 25, 1, 250}},
    };
    for (const auto& c : cases)
        ExpectParts(DecodeDateTime(c.value), c.expected, c.name);
    EXPECT_EQ(FormatDateTime("dd/MM/yyyy HH:mm:ss.zzz", day + SecondsToDays(86399.9996)),
              "10/03/2026 00:00:00.000");
}

TEST(DateTimeTest, DecodingRejectsValuesOutsideTheCalendar) {
    const double cases[] = {std::numeric_limits<double>::quiet_NaN(),
                            std::numeric_limits<double>::infinity(),
                            -std::numeric_limits<double>::infinity(),
                            2958466.0,
                            -693594.0,
                            1e300};
    for (const double v : cases)
        EXPECT_THROW(DecodeDateTime(v), EMarevoError) << v;
}

TEST(DateTimeTest, DateOfAndTimeOfSplitTheRoundedValue) {
    const TDateTime day = EncodeDateTime(2026, 3, 9);
    const struct {
        const char* name;
        TDateTime value;
        TDateTime date;
        TDateTime time;
    } cases[] = {
        {"afternoon", 46090.6006, 46090.0, 0.6006},
        {"before the origin", -1.75, -1.0, 0.75},
        {"a hair below midnight", day + SecondsToDays(86399.9996), day + 1.0, 0.0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DateOf(c.value), c.date) << c.name;
        EXPECT_NEAR(TimeOf(c.value), c.time, 1e-12) << c.name;
    }
}

TEST(DateTimeTest, SecondsToDaysDividesByTheDayLength) {
    static_assert(SecondsToDays(86400.0) == 1.0);
    static_assert(SecondsToDays(21600.0) == 0.25);
    EXPECT_EQ(SecondsToDays(-43200.0), -0.5);
}

// Sets TZ for the lifetime of the object and restores the previous zone afterwards.
class TScopedTimeZone {
public:
    explicit TScopedTimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ"))
            previous_ = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~TScopedTimeZone() {
        if (previous_)
            setenv("TZ", previous_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    std::optional<std::string> previous_;
};

TEST(DateTimeTest, UnixTimeConvertsToLocalWallClock) {
    constexpr std::int64_t March9At142501Utc = 1773066301;
    const struct {
        const char* zone;
        std::int64_t unixSeconds;
        int msec;
        const char* expected;
    } cases[] = {
        {"UTC0", 0, 0, "01/01/1970 00:00:00.000"},
        {"UTC0", March9At142501Utc, 250, "09/03/2026 14:25:01.250"},
        {"XST-2", March9At142501Utc, 999, "09/03/2026 16:25:01.999"},
        {"XST10", March9At142501Utc, 0, "09/03/2026 04:25:01.000"},
        {"XST-10", March9At142501Utc, 0, "10/03/2026 00:25:01.000"},
    };
    for (const auto& c : cases) {
        const TScopedTimeZone zone(c.zone);
        EXPECT_EQ(
            FormatDateTime("dd/MM/yyyy HH:mm:ss.zzz", LocalDateTimeFromUnix(c.unixSeconds, c.msec)),
            c.expected)
            << c.zone << " " << c.unixSeconds;
    }
}

} // namespace
} // namespace marevo
