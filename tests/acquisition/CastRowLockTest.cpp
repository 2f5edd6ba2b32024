// The main thread takes the cast's row lock without ever blocking a holder that waits for it.

#include "acquisition/CastRowLock.h"

#include "foundation/Runtime.h"
#include "platform/MainThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace marevo {
namespace {

// The export holds the lock and hands a status message to the main thread; meanwhile a window
// step on the main thread wants the lock. A plain lock there would wait for ever.
TEST(CastRowLock, MainThreadServesAHolderThatWaitsForItThenTakesTheLock) {
    TQueuedMainThread mainThread;
    TRuntimeScope runtime({nullptr, nullptr, &mainThread, nullptr});
    TCastRowLock rows;
    std::atomic<bool> holding{false}, served{false};
    std::thread exporter([&] {
        std::lock_guard guard(rows);
        holding = true;
        mainThread.Run([&] { served = true; });
    });
    while (!holding)
        std::this_thread::yield();
    rows.LockServing();
    EXPECT_TRUE(served);
    rows.unlock();
    exporter.join();
}

} // namespace
} // namespace marevo
