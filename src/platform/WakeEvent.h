#pragma once
// A wake-up event for workers: a worker waits on it for at most a time of the clock seam, and
// another thread signals it to end the wait early (a stop request, new work). Auto-reset: a
// signal wakes one wait, or the next one when nobody waits yet.

#include "platform/Clock.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace marevo {

class TWakeEvent {
public:
    void Signal();
    // Forgets a signal nobody has taken.
    void Reset();
    // Waits until signalled or ms milliseconds of clock time have passed; true when signalled
    // (the signal is taken).
    bool Wait(IClock& clock, std::uint32_t ms);

private:
    std::mutex lock_;
    std::condition_variable cv_;
    bool signalled_ = false;
};

} // namespace marevo
