#pragma once
// The cast data files of a collection (binary cast file, text export, raw-file replay; the
// operations themselves are members of TParamCollection) and the pure text pieces of the export,
// kept here so that they can be checked on their own.
//
// Binary cast file, little-endian:
//   0    int32   n, the number of parameter records
//   4    392     TSortInfo as in memory, its reserve zeroed
//   396  201     reserved, zero
//   597  n times int32 position in the collection, int32 ParaNb, the SortedBuffer in the array
//                format (TFlaggedArray::WriteArray)
// Only the stored types have a record (TParamRaw::IsStoredType); computed series follow from
// them. The parameter definitions are the cast's probe block in the cruise file.

#include "foundation/FlaggedValue.h"
#include "parameters/ValueContext.h"
#include "platform/Clock.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace marevo {

class TParameter;
class TParamCollection;
struct TTextFileCfg;

// A column of an export, as ResolveExportColumn finds it.
struct TExportColumn {
    // The parameter; null when neither the collection nor its probe collection holds the number.
    TParameter* para = nullptr;
    // Whether para->SortedBuffer is the column's series (a parameter of the exporting collection,
    // or a derived column); otherwise the column has no values (flagged rows).
    bool own = false;
    // Whether para is a derived column (DerivedColumns.h): computed already, never recomputed
    // or smoothed by the exporter.
    bool derived = false;
    // The derived column's parameter, which para points to, for as long as the column is used.
    std::shared_ptr<TParameter> holder;
};

// The column of an export for a parameter number: the exporting collection's parameter first,
// then the probe collection's (own false), and for a derived number (IsDerivedColumn) the
// derived column computed now from the collection's binned table.
TExportColumn ResolveExportColumn(const TParamCollection& col, std::int32_t number);

// The data export's columns (cfg.ParaList) of a collection, ready to be read for as long as this
// object lives: resolved by ResolveExportColumn, brought up to date, the conductivities computed
// in the export's unit (back in the general unit when the object goes, for an acquisition running
// meanwhile), and smoothed when the export smooths. With a problem in the list ("Parameter list
// empty", "Parameter not found:  - N") nothing is computed and problem says what it is.
class TExportColumns {
public:
    struct TColumn : TExportColumn {
        bool smoothed = false; // read the SmoothBuffer
    };
    TExportColumns(const TParamCollection& col, const TTextFileCfg& cfg,
                   const TValueContext& general);
    ~TExportColumns();
    TExportColumns(const TExportColumns&) = delete;
    TExportColumns& operator=(const TExportColumns&) = delete;

    std::vector<TColumn> columns; // in the list's order
    std::string problem;

private:
    void ComputeConductivities(const TValueContext& ctx);
    TValueContext general_;
    bool changedUnit_ = false;
};

// The conductivity columns, which an export computes in its own unit.
bool IsExportConductivity(std::int32_t number);

// Bytes before the first parameter record, and the reserved block after the binning record.
constexpr int CastFileReserveSize = 201;
constexpr int CastFileHeadSize = 4 + 392 + CastFileReserveSize;

// The pressed state of the main window's "Change 'Show' flagged data filter" tool. Rows holding
// a flagged value are exported when exactly one of this and DataValidation.ShowFlagged is set.
void SetShowDataErrorButton(bool down);
bool ShowDataErrorButton();

// value rounded to 8 significant digits, written with exactly `decimals` decimals and "." as
// decimal separator whatever the locale; from 1e8 on in scientific notation ("1.2345678E+08").
// A value that rounds to zero is written without a sign.
std::string ExportNumberText(long double value, int decimals);

// The time column: seconds since the start of the cast in the export's time unit (TTimeUnit),
// castStart (days) for the date-time forms.
//   90 s, minute: "1.5000"; 3725.4 s, hhh:mm:ss: "001:02:05"; 65.6 s, hhh:mm:ss.ddd:
//   "000:01:05.600"; the hours keep their last three digits.
std::string ExportTimeText(long double seconds, std::uint8_t timeUnit, TDateTime castStart);

// A field of a text export line read back: "hhh:mm:ss" or "hhh:mm:ss.ddd" as seconds (flag 0),
// any other text as a number with "." and an optional exponent (flag 0 when the whole field is
// one, flag 1 otherwise), an empty field InvalidFV. No value for a clock time that is none.
std::optional<TFlaggedValue> ReadExportField(std::string_view field);

// A column number of an export: the exporting collection's parameter (own = true), else the
// probe collection's (own = false, the cast holds no series of it); null when neither has it.
TParameter* ResolveExportColumn(const TParamCollection& col, std::int32_t number, bool& own);

// Whether a line of a text export holds data: at least 5 characters, each a blank, "-", ".", a
// digit, ":", "E" or "e". Lines with tabs, commas, "/", "**", letters or the degree sign do not.
bool IsExportDataLine(std::string_view line);

} // namespace marevo
