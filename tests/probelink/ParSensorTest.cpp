#include "probelink/ParSensor.h"

#include "support/SerialFakes.h"

#include <gtest/gtest.h>

#include <string>

namespace marevo {
namespace {

using test::ParReply;
using test::TScriptedPort;

TEST(ParSensor, ReplyGivesVoltsAndValue) {
    TScriptedPort port("noise" + ParReply(3355443) + std::string(20, 'x'));
    const auto volts = ReadParReply(port);
    ASSERT_TRUE(volts.has_value());
    EXPECT_NEAR(*volts, 1.0, 1e-12);
    EXPECT_GT(port.Left(), 0u); // only what the reply needed was taken
    EXPECT_NEAR(ParValue(2.5, 0.5, 0.25, 10.0), 80.0, 1e-12);
}

TEST(ParSensor, NoReplyUntilEnoughBytesOrWithoutAHash) {
    TScriptedPort few(ParReply(100));
    EXPECT_FALSE(ReadParReply(few).has_value()); // fewer than 24 waiting: nothing is read
    EXPECT_EQ(few.Left(), ParReply(100).size());
    TScriptedPort noHash(std::string(30, 'z'));
    EXPECT_FALSE(ReadParReply(noHash).has_value());
}

} // namespace
} // namespace marevo
