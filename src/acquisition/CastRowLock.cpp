#include "acquisition/CastRowLock.h"

#include "foundation/Runtime.h"

#include <thread>

namespace marevo {

void TCastRowLock::lock() {
    while (mainWaiting_.load() > 0)
        std::this_thread::yield();
    lock_.lock();
}

void TCastRowLock::LockServing() {
    ++mainWaiting_;
    while (!lock_.try_lock())
        MainThread().Serve(1);
    --mainWaiting_;
}

} // namespace marevo
