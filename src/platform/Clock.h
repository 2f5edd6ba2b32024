#pragma once
// The clock seam. Everything that waits, times out or stamps a time reads the clock through this
// interface, so protocol time-outs and refresh periods can be tested in milliseconds of fake time.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

namespace marevo {

// Date-time as stored everywhere: days since 1899-12-30 00:00 local time, fraction = time of day.
using TDateTime = double;

constexpr double SecondsPerDay = 86400.0;

class IClock {
public:
    virtual ~IClock() = default;
    // Local date and time.
    virtual TDateTime Now() = 0;
    // Monotonic millisecond counter; only differences mean anything.
    virtual std::uint64_t TickMs() = 0;
    // Gives the processor away for about ms milliseconds (0: just yield).
    virtual void SleepMs(std::uint32_t ms) = 0;
    // Waits on cv (lock held by the caller) until ready() or about ms milliseconds have passed;
    // ready() as it stands at the end. The wait-able side of SleepMs, behind TWakeEvent.
    virtual bool WaitFor(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                         std::uint32_t ms, const std::function<bool()>& ready) {
        return cv.wait_for(lock, std::chrono::milliseconds(ms), ready);
    }
};

class TSystemClock final : public IClock {
public:
    TDateTime Now() override;
    std::uint64_t TickMs() override;
    void SleepMs(std::uint32_t ms) override;
};

// Test clock: time stands still until advanced; sleeping advances it, so code that polls the
// clock while sleeping between polls finishes at once in test time.
class TFakeClock final : public IClock {
public:
    explicit TFakeClock(TDateTime start = 46090.6006 /* 9 March 2026, 14:24:51.84 */);
    TDateTime Now() override;
    std::uint64_t TickMs() override;
    void SleepMs(std::uint32_t ms) override;
    // Not ready yet: the whole wait passes in test time at once (a signal from another thread
    // meanwhile is seen at the end).
    bool WaitFor(std::condition_variable& cv, std::unique_lock<std::mutex>& lock, std::uint32_t ms,
                 const std::function<bool()>& ready) override;

    void Set(TDateTime now);
    void AdvanceMs(std::uint64_t ms);

private:
    std::mutex lock_;
    TDateTime now_;
    std::uint64_t tick_ = 1'000'000;
};

} // namespace marevo
