#include "foundation/Runtime.h"

#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace marevo {
namespace {

using test::TTestEnv;

TEST(WaitSeconds, ReturnsOnlyOnceTheTimeHasStrictlyPassed) {
    TTestEnv env;
    const std::uint64_t start = env.clock.TickMs();
    WaitSeconds(0.25);
    EXPECT_EQ(env.clock.TickMs() - start, 251u);
    WaitSeconds(0.0);
    EXPECT_EQ(env.clock.TickMs() - start, 252u);
}

} // namespace
} // namespace marevo
