#include "platform/WakeEvent.h"
#include "platform/MainThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace marevo {
namespace {

TEST(WakeEvent, AnUnsignalledWaitPassesItsTimeOnTheFakeClock) {
    TFakeClock clock;
    TWakeEvent event;
    const auto tick = clock.TickMs();
    EXPECT_FALSE(event.Wait(clock, 40));
    EXPECT_EQ(clock.TickMs() - tick, 40u);
}

TEST(WakeEvent, ASignalEndsOneWaitAtOnceAndIsTakenByIt) {
    TFakeClock clock;
    TWakeEvent event;
    event.Signal();
    const auto tick = clock.TickMs();
    EXPECT_TRUE(event.Wait(clock, 40));
    EXPECT_EQ(clock.TickMs(), tick);
    EXPECT_FALSE(event.Wait(clock, 1)); // auto-reset
    event.Signal();
    event.Reset();
    EXPECT_FALSE(event.Wait(clock, 1));
}

TEST(WakeEvent, ASignalFromAnotherThreadWakesAWaitOnTheSystemClock) {
    TSystemClock clock;
    TWakeEvent event;
    std::atomic<bool> woken{false};
    std::thread waiter([&] { woken = event.Wait(clock, 60'000); });
    event.Signal();
    waiter.join(); // a wait that missed the signal would hold the test for a minute
    EXPECT_TRUE(woken);
}

TEST(QueuedMainThread, StepsFromAWorkerRunOnTheServingThreadAndTheWorkerWaitsForThem) {
    TQueuedMainThread main;
    const auto mainId = std::this_thread::get_id();
    std::atomic<bool> ranOnMain{false};
    std::atomic<int> after{0};
    std::thread worker([&] {
        for (int i = 0; i < 3; ++i)
            main.Run([&] { ranOnMain = std::this_thread::get_id() == mainId; });
        after = 1;
    });
    while (main.Served() < 3)
        main.Serve(50);
    worker.join();
    EXPECT_TRUE(ranOnMain);
    EXPECT_EQ(after, 1);
    bool inline_ = false;
    main.Run([&] { inline_ = true; }); // on the main thread itself: at once
    EXPECT_TRUE(inline_);
    EXPECT_EQ(main.Served(), 3u);
}

TEST(QueuedMainThread, APostedStepDoesNotHoldTheWorkerAndRunsWhenServed) {
    TQueuedMainThread main;
    const auto mainId = std::this_thread::get_id();
    std::atomic<bool> ranOnMain{false};
    // The worker ends before anything is served: it never waited for its step.
    std::thread worker([&] { main.Post([&] { ranOnMain = std::this_thread::get_id() == mainId; }); });
    worker.join();
    EXPECT_FALSE(ranOnMain);
    while (main.Served() < 1)
        main.Serve(50);
    EXPECT_TRUE(ranOnMain);
}

} // namespace
} // namespace marevo
