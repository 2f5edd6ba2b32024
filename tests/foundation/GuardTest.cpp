#include "foundation/Guard.h"

#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <new>

namespace marevo {
namespace {

using test::TTestEnv;

TEST(Guard, FailureIsLoggedAsPrefixAndMessageAndReturnsTheFailureValue) {
    TTestEnv env;
    EXPECT_FALSE(Guard({"Error in TFoo.Save"}, [] { Raise("disk full"); }));
    EXPECT_EQ(GuardOr({"Error in TFoo.Count"}, -1, []() -> int { throw std::bad_alloc(); }), -1);
    EXPECT_EQ(env.LogMessages(), (std::vector<std::string>{"Error in TFoo.Savedisk full",
                                                           "Error in TFoo.CountOut of memory"}));
    EXPECT_TRUE(env.op.Events().empty());
}

TEST(Guard, OperatorStartedFailureShowsTheErrorBox) {
    TTestEnv env;
    Guard({"Error in TFoo.Open", "Open foo file"}, [] { throw 42; });
    EXPECT_EQ(env.LogMessages(), std::vector<std::string>{"Error in TFoo.OpenUnknown failure"});
    EXPECT_EQ(env.op.Events(), std::vector<std::string>{"Message Error [Error]: Open foo file"});
}

TEST(Guard, SuccessPassesTheResultThroughSilently) {
    TTestEnv env;
    EXPECT_TRUE(Guard({"Error in TFoo.Run"}, [] {}));
    EXPECT_EQ(GuardOr({"Error in TFoo.Get"}, 0, [] { return 7; }), 7);
    EXPECT_TRUE(env.LogMessages().empty());
}

} // namespace
} // namespace marevo
