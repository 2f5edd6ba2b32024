#include "acquisition/RDRControl.h"

#include "records/Environ.h"
#include "support/SerialFakes.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace marevo {
namespace {

using test::TTestEnv;

struct TEditorRig {
    TTestEnv env;
    std::vector<unsigned> requests;
    std::vector<std::string> published;
    TRDRMessageEditor editor{[this](unsigned r) { requests.push_back(r); }};
    TEditorRig() {
        editor.TextChanged = [this](std::string_view t) { published.emplace_back(t); };
    }
};

TEST(RDRMessageEditor, AsksTenSecondsAfterTheLastEditAndSendsOnOK) {
    TEditorRig rig;
    rig.editor.EditMsgChange("HOL", 0);
    rig.editor.EditMsgChange("HOLD", 4'000);
    EXPECT_FALSE(rig.editor.RDRViewTimerTimer(13'999));
    rig.env.op.ScriptAnswers({true});
    EXPECT_TRUE(rig.editor.RDRViewTimerTimer(14'000));
    EXPECT_FALSE(rig.editor.TimerOn());
    EXPECT_EQ(rig.env.op.Events(),
              std::vector<std::string>{"Confirm [Warning]: Do you want to send the inserted "
                                       "message?\n\rHOLD -> OK"});
    EXPECT_EQ(rig.requests, std::vector<unsigned>{rdr_Message});
    EXPECT_EQ(rig.editor.LastMsgSent(), "HOLD");
    EXPECT_EQ(rig.published.back(), "HOLD");
}

TEST(RDRMessageEditor, CancelPutsTheLastMessageBack) {
    TEditorRig rig;
    rig.editor.EditMsgChange("UP", 0);
    rig.editor.SendMsgClick();
    EXPECT_FALSE(rig.editor.TimerOn());
    rig.editor.EditMsgChange("UP NOW", 1'000);
    rig.env.op.ScriptAnswers({false});
    EXPECT_TRUE(rig.editor.RDRViewTimerTimer(11'000));
    EXPECT_EQ(rig.editor.Text(), "UP");
    EXPECT_EQ(rig.published.back(), "UP");
    EXPECT_EQ(rig.requests, std::vector<unsigned>{rdr_Message});
    rig.editor.InitRDRClick();
    EXPECT_EQ(rig.requests, (std::vector<unsigned>{rdr_Message, rdr_Init}));
}

TEST(RemoteDepthSwitch, StartsWhenEnabledOnceAndStopsWhenDisabled) {
    TTestEnv env;
    TSystemClock clock;
    TEnviron environ;
    environ.Dir[FileTypeConfig].Set(env.dir.string());
    std::ofstream(env.dir / "Ports.map") << "COM3=/dev/display3\n";
    environ.RDRCommPort.CommCfgStr.Set("COM3:9600,n,8,1");
    TRDRSources sources({});
    int made = 0;
    bool openSucceeds = true;
    TRemoteDepthSwitch sw(
        sources,
        [&]() -> std::unique_ptr<ISerialDevice> {
            ++made;
            auto device = std::make_unique<test::TFakeSerialDevice>();
            device->openSucceeds = openSucceeds;
            return device;
        },
        clock);

    environ.RemoteDepth.Enabled = 0;
    EXPECT_FALSE(sw.Apply(environ));
    EXPECT_EQ(made, 0);
    environ.RemoteDepth.Enabled = 1;
    EXPECT_TRUE(sw.Apply(environ));
    EXPECT_TRUE(sw.Apply(environ)); // one worker at a time
    EXPECT_EQ(made, 1);
    environ.RemoteDepth.Enabled = 0;
    EXPECT_FALSE(sw.Apply(environ));
    EXPECT_FALSE(sw.Active());

    openSucceeds = false;
    environ.RemoteDepth.Enabled = 1;
    EXPECT_FALSE(sw.Apply(environ));
    EXPECT_EQ(environ.RemoteDepth.Enabled, 0);
    EXPECT_EQ(env.op.Events(),
              std::vector<std::string>{"Message Error [Error]: " + std::string(RDRPortError)});
}

} // namespace
} // namespace marevo
