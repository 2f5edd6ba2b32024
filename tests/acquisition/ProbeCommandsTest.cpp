// Stop Data Flow and Clear Memory against the simulated probe, in fake time.

#include "acquisition/ProbeCommands.h"

#include "SimDevice.h"
#include "SimProbe.h"
#include "SimProfile.h"
#include "probelink/FileComm.h"
#include "probelink/QvlUtil.h"
#include "support/AppEnv.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace marevo {
namespace {

struct TProbeCommandsTest : ::testing::Test {
    TProbeCommandsTest() { env.probe.DefaultParamCol(); }
    std::unique_ptr<TFileCOMM> Port() {
        return std::make_unique<TFileCOMM>(std::make_unique<sim::TSimProbeDevice>(probe));
    }
    bool Sent(const std::string& command) const {
        const auto& c = probe->Commands();
        return std::any_of(c.begin(), c.end(),
                           [&](const std::string& line) { return line.starts_with(command); });
    }
    bool Said(const std::string& event) const {
        const auto e = env.op.Events();
        return std::any_of(e.begin(), e.end(), [&](const std::string& line) {
            return line.find(event) != std::string::npos;
        });
    }
    test::TAppEnv env;
    std::shared_ptr<sim::TSimProbe> probe =
        std::make_shared<sim::TSimProbe>(sim::TSimProbeSettings{}, sim::MakeSyntheticProfile());
    TQvlUtil qvl{&env.cast};
};

TEST_F(TProbeCommandsTest, StopDataFlowStopsAFlowingProbe) {
    auto flow = Port();
    ASSERT_TRUE(qvl.GetProbeInfoA(-1, flow.get()));
    ASSERT_TRUE(qvl.SendProbeCommand(cm_OL, *flow));
    env.clock.AdvanceMs(1000);
    ASSERT_TRUE(probe->Flowing());
    EXPECT_TRUE(StopDataFlow(qvl, env.cast, [this] { return Port(); }));
    EXPECT_FALSE(probe->Flowing());
    EXPECT_TRUE(env.Logged("Data Flow stopped"));
    EXPECT_FALSE(env.cast.Acqui.ProbeOnLine);
}

TEST_F(TProbeCommandsTest, StopDataFlowWithoutAPortSaysSoAndReportsFailure) {
    EXPECT_FALSE(StopDataFlow(qvl, env.cast, [] { return std::unique_ptr<TFileCOMM>(); }));
    EXPECT_TRUE(Said("[Error]: Opening CTD COM port"));
    EXPECT_FALSE(env.Logged("Data Flow stopped"));
}

TEST_F(TProbeCommandsTest, ClearMemoryErasesOnlyAfterYes) {
    for (bool yes : {false, true}) {
        SCOPED_TRACE(yes);
        env.op.ScriptAnswers({yes});
        EXPECT_EQ(ClearMemory(qvl, env.cast, [this] { return Port(); }), yes);
        EXPECT_EQ(Sent("DM"), yes);
        EXPECT_EQ(env.Logged("Memory erased"), yes);
        EXPECT_FALSE(env.cast.Acqui.ProbeOnLine);
    }
}

} // namespace
} // namespace marevo
