#include "platform/WakeEvent.h"

namespace marevo {

void TWakeEvent::Signal() {
    {
        std::lock_guard guard(lock_);
        signalled_ = true;
    }
    cv_.notify_all();
}

void TWakeEvent::Reset() {
    std::lock_guard guard(lock_);
    signalled_ = false;
}

bool TWakeEvent::Wait(IClock& clock, std::uint32_t ms) {
    std::unique_lock lock(lock_);
    const bool woken = clock.WaitFor(cv_, lock, ms, [this] { return signalled_; });
    signalled_ = false;
    return woken;
}

} // namespace marevo
