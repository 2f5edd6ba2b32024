#include "platform/Clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>

namespace marevo {
namespace {

TEST(SystemClock, NowIsTheLocalDateTimeInDaysSince1899) {
    TSystemClock clock;
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    const double now = clock.Now();
    // Whole days since 1899-12-30 of today's local date, as an independent count.
    std::tm origin{};
    origin.tm_year = -1;
    origin.tm_mon = 11;
    origin.tm_mday = 30;
    origin.tm_hour = 12;
    std::tm today = local;
    today.tm_hour = 12;
    today.tm_min = today.tm_sec = 0;
    const double days = std::difftime(timegm(&today), timegm(&origin)) / SecondsPerDay;
    EXPECT_NEAR(now, days + (local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec) / SecondsPerDay,
                2.0 / SecondsPerDay);
}

TEST(SystemClock, TickIsMonotonicAndSleepWaits) {
    TSystemClock clock;
    const auto a = clock.TickMs();
    clock.SleepMs(20);
    EXPECT_GE(clock.TickMs() - a, 19u);
}

TEST(FakeClock, StandsStillUntilAdvancedOrSlept) {
    TFakeClock clock(100.0);
    const auto tick = clock.TickMs();
    EXPECT_EQ(clock.Now(), 100.0);
    clock.SleepMs(500);
    clock.AdvanceMs(1000);
    EXPECT_EQ(clock.TickMs() - tick, 1500u);
    EXPECT_NEAR(clock.Now(), 100.0 + 1.5 / SecondsPerDay, 1e-12);
    clock.SleepMs(0); // a yield still moves fake time, so poll loops end
    EXPECT_EQ(clock.TickMs() - tick, 1501u);
}

} // namespace
} // namespace marevo
