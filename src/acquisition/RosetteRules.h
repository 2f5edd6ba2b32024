#pragma once
// The rules of bottle firing that need no probe and no window: the firing style of each rosette
// type, the operator's question, the bottle log line, the next free position, the content of the
// first-bottle dialog, and the checks and enabling of the rosette page of the configuration
// window. The worker, the main window, the configuration window and the command-line tool all
// take their texts from here.

#include "foundation/DateTime.h"
#include "records/Config.h"

#include <array>
#include <bitset>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace marevo {

// Positions 1..MaxBottles; bit k: position k. Bit 0 is unused.
using TBottleSet = std::bitset<MaxBottles + 1>;

// A positional rosette fires the position asked for; a sequential one (ro_1015, ro_MISS, ro_KC)
// always fires its next free position, except when a bottle is fired again.
bool PositionalRosette(int rosetteType);
// The label of a rosette type in the first-bottle dialog; "NONE" for an unknown type.
std::string_view RosetteTypeLabel(int rosetteType);
constexpr int RosetteTypeCount = 7;

// General number format: the shortest text of the value, "." as decimal separator ("120", "0.2").
std::string GeneralNumber(double value);

// The question of a manual request.
std::string FireQuestion(bool again, int bottle);
constexpr std::string_view FireQuestionCaption = "Warning";

// TConfig::NextBottle over the positions the cast already holds a bottle for.
std::int32_t NextFreeBottle(const TRosetteInfo& rosette, std::int32_t last,
                            const TBottleSet& recorded);

// The label of the operator dialog for an item awaiting confirmation, and for items that fire on
// their own after the waiting time.
std::string ConfirmLabel(int bottle);
std::string WaitLabel(double waitOnSampling);

// ---- First-bottle dialog ----------------------------------------------------------------------
struct TFirstBottleContent {
    int typeIndex = 0;             // item of the "Sampler type" list
    std::string timeOut;           // "Time Out [s]"
    std::string fireDelay;         // "Fire delay [s]"
    std::string maxBottles;        // "Max Bottles"
    std::vector<std::string> installed; // "01".."36", increasing
    // "OK" can be pressed: an item is selected. An empty list leaves it disabled.
    bool okEnabled = false;
};
TFirstBottleContent FirstBottleContent(const TRosetteInfo& rosette);
// The position of an item of the installed list ("05" → 5); 0 for anything else.
int InstalledItemNumber(std::string_view item);

// ---- Rosette page of the configuration window -------------------------------------------------
// What the page shows.
struct TRosettePage {
    std::array<bool, MaxBottles> installed{}; // "Available Bottles"
    std::array<bool, MaxBottles> checked{};   // bottle<k>CB
    std::array<std::string, MaxBottles> pressure; // bottle<k>PressEd
    std::string waitOnSampling;               // WaitOnSamplingEd
    std::string startPressure;                // StartPressEd
    int samplingType = 0;                     // 0 "Manual", 1 "Automatic"
    int operatorAuth = 0;                     // 0 "Yes", 1 "No"
};

// The page filled from the settings (SetFields).
TRosettePage RosettePageFrom(const TRosetteInfo& rosette);

// RestoreFields: the values checked, the edits as they show afterwards (defaults put in), and the
// warnings in the order the operator sees them.
struct TRosettePageCheck {
    std::array<double, MaxBottles> pressure{};
    double startPressure = 0;
    double waitOnSampling = 0;
    TRosettePage shown;
    std::vector<std::string> warnings;
    bool installedChanged = false;
};
TRosettePageCheck CheckRosettePage(const TRosettePage& page, const TRosetteInfo& before);
// Writes a checked page into the settings (the probe-given fields stay).
void ApplyRosettePage(const TRosettePageCheck& check, TRosetteInfo& rosette);
constexpr std::string_view RosetteWarningCaption = "Warning";

// The enabling rule: with "Manual" nothing of the automatic part; with "Automatic" the two edits,
// the authorisation and the two controls of each installed position.
struct TRosetteEnabling {
    bool edits = false; // "Wait On Sampling [s]", "Start Pressure [dbar]", "Operator Authorization"
    std::array<bool, MaxBottles> position{};
};
TRosetteEnabling RosetteEnabling(int samplingType, const std::array<bool, MaxBottles>& installed);

} // namespace marevo
