#include "shell/Modes.h"

#include "records/Config.h"

namespace marevo {

TModeStates ModeStates(TShellMode mode, bool rosette, const TModeStates& current) {
    using E = TModeElement;
    TModeStates s = current;
    const auto set = [&](E e, bool enabled) { At(s, e).enabled = enabled; };
    const bool normal = mode == TShellMode::Normal;
    const bool acqui = mode == TShellMode::Acquisition;
    const bool batch = mode == TShellMode::Batch;

    set(E::FileMenu, normal);
    set(E::ViewMenu, !batch);
    set(E::ToolsMenu, normal);
    set(E::AcquisitionMenu, !batch);
    if (!batch) {
        set(E::StartCastItem, normal);
        set(E::StopCastItem, acqui);
    }
    if (normal)
        set(E::AlarmItems, false);
    set(E::ConfigurationMenu, !batch || rosette);
    if (!batch) {
        set(E::OpenConfigItem, normal);
        set(E::EnvironmentItem, normal);
    }
    set(E::RemoteMenu, normal);
    set(E::BatchMenu, !acqui);
    for (E e : {E::OpenCommand, E::PrintPlot, E::Terminal, E::ShowCursor, E::PrecNext})
        set(e, normal);

    // The binary save button is shown again only after a raw file is opened.
    if (batch)
        set(E::SaveButton, false);
    else
        At(s, E::SaveButton).visible = false;

    for (E e : {E::AutoScales, E::CfgButton, E::SaveConfigButton, E::OpenConfigButton})
        if (!acqui)
            set(e, normal);
    if (acqui)
        set(E::OpenConfigButton, false);
    if (!acqui)
        set(E::StartStopButton, normal);
    set(E::Fire, !normal && rosette);
    if (!batch) {
        set(E::RawImport, normal);
        set(E::EnvironmentPortPages, normal);
        set(E::EnvironmentDelaysPage, true);
        set(E::ValuesShowExtracted, acqui);
        At(s, E::ValuesShowExtracted).checked = false;
        set(E::BottlesPrintExport, normal);
    }
    if (normal)
        set(E::LinkIndicators, false);
    return s;
}

void ResetProbeRosette(TConfig& config) {
    config.Rosette.RosetteType = ro_none;
    config.Rosette.TimeOut = 0;
    config.Rosette.FireDelay = 0;
    config.Rosette.MaxBottlePos = 0;
}

} // namespace marevo
