#include "shell/Modes.h"

#include "records/Config.h"

#include <gtest/gtest.h>

namespace marevo {
namespace {

using E = TModeElement;
using M = TShellMode;

TEST(Modes, NormalAcquisitionBatchFollowTheModeTable) {
    // Enabled per mode, as the mode table gives it, with a rosette configured; '-' where the
    // table says "unchanged" (checked below against the state before).
    const struct {
        E element;
        char normal, acqui, batch;
    } table[] = {
        {E::FileMenu, 1, 0, 0},
        {E::ViewMenu, 1, 1, 0},
        {E::ToolsMenu, 1, 0, 0},
        {E::AcquisitionMenu, 1, 1, 0},
        {E::StartCastItem, 1, 0, '-'},
        {E::StopCastItem, 0, 1, '-'},
        {E::AlarmItems, 0, '-', '-'},
        {E::ConfigurationMenu, 1, 1, 1},
        {E::OpenConfigItem, 1, 0, '-'},
        {E::EnvironmentItem, 1, 0, '-'},
        {E::RemoteMenu, 1, 0, 0},
        {E::BatchMenu, 1, 0, 1},
        {E::OpenCommand, 1, 0, 0},
        {E::PrintPlot, 1, 0, 0},
        {E::Terminal, 1, 0, 0},
        {E::ShowCursor, 1, 0, 0},
        {E::PrecNext, 1, 0, 0},
        {E::AutoScales, 1, '-', 0},
        {E::CfgButton, 1, '-', 0},
        {E::SaveConfigButton, 1, '-', 0},
        {E::OpenConfigButton, 1, 0, 0},
        {E::StartStopButton, 1, '-', 0},
        {E::Fire, 0, 1, 1},
        {E::RawImport, 1, 0, '-'},
        {E::EnvironmentPortPages, 1, 0, '-'},
        {E::EnvironmentDelaysPage, 1, 1, '-'},
        {E::ValuesShowExtracted, 0, 1, '-'},
        {E::BottlesPrintExport, 1, 0, '-'},
    };
    // Every element starts in the opposite of what normal mode gives, so an element a mode
    // leaves alone shows.
    TModeStates start{};
    for (const auto& row : table)
        At(start, row.element).enabled = row.normal == 0;
    const TModeStates normal = ModeStates(M::Normal, true, start);
    for (const M mode : {M::Acquisition, M::Batch}) {
        const TModeStates in = ModeStates(mode, true, normal);
        const TModeStates back = ModeStates(M::Normal, true, in);
        for (const auto& row : table) {
            SCOPED_TRACE(static_cast<int>(row.element));
            const char want = mode == M::Acquisition ? row.acqui : row.batch;
            EXPECT_EQ(At(normal, row.element).enabled, row.normal == 1);
            if (want == '-')
                EXPECT_EQ(At(in, row.element).enabled, At(normal, row.element).enabled);
            else
                EXPECT_EQ(At(in, row.element).enabled, want == 1);
            EXPECT_EQ(At(back, row.element), At(normal, row.element)) << "back to normal";
        }
    }
}

TEST(Modes, RosetteSaveButtonAndLinkIndicators) {
    const TModeStates normal = ModeStates(M::Normal, false, {});
    // Without a rosette there is nothing to fire, and batch mode closes the configuration menu.
    EXPECT_FALSE(At(ModeStates(M::Acquisition, false, normal), E::Fire).enabled);
    EXPECT_FALSE(At(ModeStates(M::Batch, false, normal), E::Fire).enabled);
    EXPECT_FALSE(At(ModeStates(M::Batch, false, normal), E::ConfigurationMenu).enabled);

    // The binary save button is hidden in normal and acquisition mode, only disabled in batch.
    TModeStates shown = normal;
    At(shown, E::SaveButton) = {true, true};
    EXPECT_FALSE(At(ModeStates(M::Normal, false, shown), E::SaveButton).visible);
    EXPECT_FALSE(At(ModeStates(M::Acquisition, false, shown), E::SaveButton).visible);
    const TElementState batchSave = At(ModeStates(M::Batch, false, shown), E::SaveButton);
    EXPECT_TRUE(batchSave.visible);
    EXPECT_FALSE(batchSave.enabled);

    // The values window's "Show Extracted only" is unchecked on every mode change.
    TModeStates checked = normal;
    At(checked, E::ValuesShowExtracted).checked = true;
    EXPECT_FALSE(At(ModeStates(M::Acquisition, false, checked), E::ValuesShowExtracted).checked);

    // The link indicators go offline in normal mode and are left to the cast otherwise.
    TModeStates live = normal;
    At(live, E::LinkIndicators).enabled = true;
    EXPECT_TRUE(At(ModeStates(M::Acquisition, false, live), E::LinkIndicators).enabled);
    EXPECT_FALSE(At(ModeStates(M::Normal, false, live), E::LinkIndicators).enabled);
}

TEST(Modes, NormalModeForgetsTheProbesRosette) {
    TConfig config;
    config.Rosette.RosetteType = ro_SBE;
    config.Rosette.TimeOut = 0.001;
    config.Rosette.FireDelay = 0.0001;
    config.Rosette.MaxBottlePos = 24;
    config.Rosette.StartPressure = TExtended::FromDouble(900);
    ResetProbeRosette(config);
    EXPECT_EQ(config.Rosette.RosetteType, ro_none);
    EXPECT_EQ(config.Rosette.TimeOut, 0);
    EXPECT_EQ(config.Rosette.FireDelay, 0);
    EXPECT_EQ(config.Rosette.MaxBottlePos, 0);
    EXPECT_EQ(config.Rosette.StartPressure.ToDouble(), 900) << "the operator's own settings stay";
}

} // namespace
} // namespace marevo
