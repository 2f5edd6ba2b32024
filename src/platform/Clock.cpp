#include "platform/Clock.h"

#include <chrono>
#include <ctime>
#include <thread>

namespace marevo {

namespace {
// 1899-12-30, the origin of TDateTime, counted from 1970-01-01.
constexpr int DateTimeEpochShiftDays = 25569;
} // namespace

TDateTime TSystemClock::Now() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    std::tm local{};
    localtime_r(&ts.tv_sec, &local);
    using namespace std::chrono;
    const sys_days day{year{local.tm_year + 1900} / month{unsigned(local.tm_mon + 1)} /
                       std::chrono::day{unsigned(local.tm_mday)}};
    const double seconds = local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec +
                           static_cast<int>(ts.tv_nsec / 1'000'000) / 1000.0;
    return (day.time_since_epoch().count() + DateTimeEpochShiftDays) + seconds / SecondsPerDay;
}

std::uint64_t TSystemClock::TickMs() {
    using namespace std::chrono;
    return static_cast<std::uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void TSystemClock::SleepMs(std::uint32_t ms) {
    if (ms == 0)
        std::this_thread::yield();
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

TFakeClock::TFakeClock(TDateTime start) : now_(start) {}

TDateTime TFakeClock::Now() {
    std::lock_guard guard(lock_);
    return now_;
}

std::uint64_t TFakeClock::TickMs() {
    std::lock_guard guard(lock_);
    return tick_;
}

void TFakeClock::SleepMs(std::uint32_t ms) {
    // A yield still lets fake time move, or a poll loop on a stopped clock would never end.
    AdvanceMs(ms == 0 ? 1 : ms);
}

bool TFakeClock::WaitFor(std::condition_variable& /*cv*/, std::unique_lock<std::mutex>& lock,
                         std::uint32_t ms, const std::function<bool()>& ready) {
    if (ready())
        return true;
    lock.unlock();
    SleepMs(ms);
    lock.lock();
    return ready();
}

void TFakeClock::Set(TDateTime now) {
    std::lock_guard guard(lock_);
    now_ = now;
}

void TFakeClock::AdvanceMs(std::uint64_t ms) {
    std::lock_guard guard(lock_);
    tick_ += ms;
    now_ += static_cast<double>(ms) / 1000.0 / SecondsPerDay;
}

} // namespace marevo
