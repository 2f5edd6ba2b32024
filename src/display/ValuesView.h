#pragma once
// The values window without its widgets: the layout of the name/value panel, the texts of the
// values, the captions, the table of binned records with its row-to-record map, and the refresh
// during a cast. The window (ui/ValuesForm.h) shows what this computes; it never formats a value
// itself.
//
// The table keeps only the map from its rows to the cast's records: a cell is formatted when it
// is shown, so a cast of a million records costs a vector of integers, not a grid of strings.
// While a cast is being acquired the window shows only the texts that the refresh wrote in the
// acquisition worker's display hand-off (Live), never the series the worker is extending.

#include "processing/DerivedColumns.h"
#include "records/GenConfig.h"

#include <cstdint>
#include <string>
#include <vector>

namespace marevo {

class TConfig;
class TLinearArray;
class TParamCollection;
class TParameter;
struct TDataValidation;
struct TFlaggedValue;

// ---- Panel view
// ----------------------------------------------------------------------------------
inline constexpr int PanelColumns = 4;
// 5 rows, or (count + 1) / 2 above 10 entries.
int PanelRows(int count);
struct TPanelPlace {
    int row = 0, nameColumn = 0, valueColumn = 1;
};
// Entry i in row i mod rows; its name in column 2 × (i div rows), its value after it.
TPanelPlace PanelPlace(int entry, int rows);
struct TCellColours {
    std::uint32_t background = 0, text = 0; // 0xRRGGBB
};
// A name cell: white on grey 128, or grey on silver 192 when the parameter is not in the cast
// (or the place lies beyond the list).
TCellColours PanelNameColours(bool avail);

// ---- Texts and captions
// --------------------------------------------------------------------------- Fixed notation,
// precision 8, `decimals` decimals, "**" after a flagged value.
std::string ValueText(const TFlaggedValue& v, int decimals);
// The extracted value shown during a cast: the same, right-aligned in 10 characters.
std::string ExtractedText(const TFlaggedValue& v, int decimals);

inline constexpr const char* InitialValuesCaption = "Extracted Cast Values";
inline constexpr const char* RealTimeCaption = "Real Time Ctd Data";
inline constexpr const char* RealTimeExtractedCaption = "Real Time Ctd Data - Extracted";
// Rows holding a flagged value are shown: the validation setting, inverted while the main
// window's "Change 'Show' flagged data filter" button is down.
bool FlaggedRowsShown(const TDataValidation& validation, bool filterDown);
// The caption of a loaded table: on line, or by direction and flag filter.
std::string ValuesCaption(bool onLine, TDisplayDirection direction, bool flaggedShown);

// ---- The window's content
// -------------------------------------------------------------------------
struct TValueEntry {
    std::int32_t number = 0;
    TParameter* para = nullptr; // the cast's parameter; null when the cast has none
    bool derived = false;       // a derived column of the binned table (SA, CT, SIG0, RHO, N2)
    bool avail = false;         // listed as present and found in the cast
    std::string name;           // screen name
    int decimals = 0;           // screen decimals
    // The series shown (smoothed or binned); null when the parameter is not shown.
    const TLinearArray* series = nullptr;
};

class TValuesContent {
public:
    TValuesContent(TConfig& config, TParamCollection& cast);

    // The entries of the values list (at most 33), their names and availability; forgets the
    // highest record shown during a cast (DrawFixedField).
    void LayOut();
    const std::vector<TValueEntry>& Entries() const { return entries_; }
    int EntryCount() const { return static_cast<int>(entries_.size()); }

    // The records of the configured direction and, in the table view, the rows kept
    // (LoadSortedValue): flagged rows dropped when they are hidden. The smoothed series are
    // recomputed first. Leaves Live.
    void Load(bool table, bool flaggedShown);
    int FirstIndex = 0, LastIndex = -1;
    int RowCount() const { return static_cast<int>(records_.size()); }
    // Table row (0-based) to its record, -1 outside the table.
    int RecordOfRow(int row) const;
    // The row showing record, or the first kept row after it (a hidden flagged record); the last
    // row past the end; -1 for an empty table.
    int RowOfRecord(int record) const;
    // "N." column: FirstIndex + the row's number among the kept rows.
    std::string Label(int row) const;
    // The value text of entry in table row; empty where the series holds no such record.
    std::string Cell(int row, int entry) const;
    // The value text of entry for record (panel view).
    std::string RecordText(int record, int entry) const;

    // ---- During a cast
    // --------------------------------------------------------------------------- The refresh in
    // the acquisition worker's display hand-off (UpdateCurValue): nothing when the collection is
    // empty or the plot cursor is on. Extracted only: each entry's last binned (or smoothed) value,
    // and only once a record beyond the highest shown has been binned; otherwise each entry's
    // current value. True when LiveTexts changed.
    bool UpdateCurValue(bool extractedOnly, bool cursorOn);
    bool Live = false;
    std::vector<std::string> LiveTexts; // per entry

private:
    const TLinearArray* ShownSeries(TParameter& p, bool recompute) const;
    // The series of entry e: its derived column, or its parameter's shown series.
    const TLinearArray* EntrySeries(const TValueEntry& e, bool recompute);

    TConfig& config_;
    TParamCollection& cast_;
    std::vector<TValueEntry> entries_;
    std::vector<std::int32_t> records_;
    int highestShown_ = -1;
    TDerivedColumnCache derived_;
};

} // namespace marevo
