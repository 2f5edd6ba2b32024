#include "foundation/SeqLock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace marevo {
namespace {

// Fields that only make sense together: a torn copy breaks their relation.
struct TPair {
    long double a = 0;
    long double twice = 0;
    std::int32_t n = 0;
};

TEST(SeqLock, AReaderNeverSeesHalfAWrite) {
    TSeqLock<TPair> shared;
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (std::int32_t i = 1; i <= 200000; ++i)
            shared.Store({i * 0.5L, i * 1.0L, i});
        done = true;
    });
    long reads = 0, torn = 0;
    std::int32_t lastSeen = 0;
    bool wentBack = false;
    while (!done || reads == 0) {
        const TPair p = shared.Load();
        ++reads;
        if (p.twice != 2 * p.a || p.a != p.n * 0.5L)
            ++torn;
        wentBack = wentBack || p.n < lastSeen;
        lastSeen = p.n;
    }
    writer.join();
    EXPECT_EQ(torn, 0) << "of " << reads << " reads";
    EXPECT_FALSE(wentBack);
    EXPECT_EQ(shared.Load().n, 200000);
}

} // namespace
} // namespace marevo
