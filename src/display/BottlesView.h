#pragma once
// The bottles window without its widgets: its caption, the table of the fired bottles (one row
// per rosette position, one column per bottle parameter, each cell computed from the channel
// values stored with the bottle) and what a click on it asks of the bottle firing.

#include <string>
#include <vector>

namespace marevo {

class TConfig;
class TParamCollection;

inline constexpr const char* BottlesHint = "Click on Status cell, if not Closed, to fire AGAIN";

// "Bottles - Cruise : " + cruise, with " - Cast No: " + castNb when castNb > 0.
std::string BottlesCaption(const std::string& cruise, int castNb);

struct TBottleTable {
    std::string caption = "Bottles";
    int rows = 2; // with the header row; row k > 0 is rosette position k
    std::vector<std::string> headers{"N."};
    std::vector<int> widths{20};
    std::vector<bool> hidden;                    // per row: height 0
    std::vector<std::vector<std::string>> cells; // [row][column]; row 0 unused

    int Columns() const { return static_cast<int>(headers.size()); }
    std::string Cell(int row, int column) const;
    // Position k shows no bottle record: its status cell (column 1) is empty. What
    // TConfig::NextBottle asks.
    bool StatusCellEmpty(int k) const;
};

// The table of the cast in hand: the layout (DrawFixedField) and a row per bottle
// (UpdateCurValue). On line, the rows of positions not installed are hidden. A bottle whose
// number lies outside the rosette's positions is logged and left out.
TBottleTable BottleTable(TParamCollection& cast, TConfig& config, bool onLine);

// ---- Clicks on the table ----------------------------------------------------------------------
// A sequential rosette always fires its next free position; a positional one the position asked.
bool SequentialRosette(int rosetteType);

struct TBottleClick {
    bool onLine = false;
    bool sequential = false;
    bool left = true; // left button: a status cell; right: a row
    int row = 0, column = 0;
    bool installed = false;  // position `row` holds a bottle
    std::string cell;        // the text of the clicked cell
    bool fireEnabled = true; // the "Fire Bottle" menu item of the main window
};

enum class TFireAction {
    None,        // nothing changes
    FireAgain,   // request set: fire position `requested` again now (asks the operator)
    OfferFire,   // request set; the pop-up item "Fire" enabled
    DisableFire, // the pop-up item "Fire" disabled
};

struct TFireRequest {
    TFireAction action = TFireAction::None;
    bool fireAgain = false;
    int requested = 0; // position; 0 the next free one
};

TFireRequest BottleClick(const TBottleClick& click);

} // namespace marevo
