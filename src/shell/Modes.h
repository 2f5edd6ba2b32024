#pragma once
// The three operating modes of the main window and what each allows: normal, acquisition (a cast
// or a memory upload runs) and batch (a batch run). One pure function gives the state of every
// command, button and page from the mode, so the acquisition, the upload, the imports and the
// batch never overlap; the window applies the result to its widgets.

#include <array>
#include <cstddef>

namespace marevo {

class TConfig;

enum class TShellMode { Normal, Acquisition, Batch };

// The elements the modes switch, in the order of the mode table.
enum class TModeElement : std::size_t {
    FileMenu,
    ViewMenu,
    ToolsMenu,
    AcquisitionMenu,
    StartCastItem,
    StopCastItem,
    AlarmItems, // Alarm Set / Alarm Stop
    ConfigurationMenu,
    OpenConfigItem,  // Configuration › Open Config
    EnvironmentItem, // Configuration › Environment
    RemoteMenu,
    BatchMenu,
    OpenCommand, // File › Open and its tool
    PrintPlot,
    Terminal,
    ShowCursor,
    SaveButton, // "Save as Binary file": visible only after a raw file was opened
    PrecNext,
    AutoScales,
    CfgButton,
    SaveConfigButton,
    OpenConfigButton,
    StartStopButton,
    Fire,                 // button and menu item
    RawImport,            // raw import and small-logger import buttons
    EnvironmentPortPages, // port, GPS and repeater pages of the environment dialog
    EnvironmentDelaysPage,
    ValuesShowExtracted, // values window "Show Extracted only"
    BottlesPrintExport,  // bottles window Print and Export As Text
    LinkIndicators,      // enabled: showing the links live; normal mode shows them offline
    Count
};

struct TElementState {
    bool enabled = true;
    bool visible = true;
    bool checked = false; // ValuesShowExtracted only
    bool operator==(const TElementState&) const = default;
};

using TModeStates = std::array<TElementState, static_cast<std::size_t>(TModeElement::Count)>;

inline TElementState& At(TModeStates& states, TModeElement e) {
    return states[static_cast<std::size_t>(e)];
}
inline const TElementState& At(const TModeStates& states, TModeElement e) {
    return states[static_cast<std::size_t>(e)];
}

// The states after entering mode: elements the table leaves "unchanged" in that mode keep their
// state in current. rosette: a rosette is configured (fire and, in batch, the configuration menu).
TModeStates ModeStates(TShellMode mode, bool rosette, const TModeStates& current);

// Entering normal mode also forgets the probe-dependent rosette settings of the configuration
// (type none, time-out, fire delay and positions 0): the next probe sets them again.
void ResetProbeRosette(TConfig& config);

} // namespace marevo
