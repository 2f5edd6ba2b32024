#pragma once
// The derived columns of a binned table: TEOS-10 quantities (Absolute Salinity, Conservative
// Temperature, sigma0, in-situ density and the buoyancy frequency squared) computed from the
// binned pressure (101), temperature (401, IPTS-68) and practical salinity (404) and the cast's
// start position. Their numbers (ParaNumbers.h, 2001..2005) name no parameter of a collection:
// each column is a TParameter of its own, held by the caller beside the collection, with its
// texts, unit and decimals and its SortedBuffer computed from the table.
//
// A row is flagged (InvalidFV) where an input is flagged or missing, where the position is
// unknown, and where the standard has no value. N2 on row i is that of rows i-1 and i of the
// same direction (rows 0..MaxDownIndex down, the rest up), at the cast's latitude; the first row
// of each direction is flagged.

#include "foundation/DataArray.h"
#include "foundation/FlaggedValue.h"

#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace marevo {

class TParameter;
class TParamCollection;
class TProbeCollection;

// What the derived columns are computed from.
struct TDerivedInputs {
    const TLinearArray* pressure = nullptr;                      // dbar
    const TLinearArray* temperature = nullptr;                   // degC, IPTS-68
    const TLinearArray* salinity = nullptr;                      // PSS-78
    std::int32_t maxDownIndex = -1;                              // last row of the down-cast
    std::int32_t maxIndex = -1;                                  // last row of the table
    double longitude = std::numeric_limits<double>::quiet_NaN(); // degrees east
    double latitude = std::numeric_limits<double>::quiet_NaN();  // degrees north
};

// Rows 0..maxIndex of derived column `number`; empty for a number that is none.
std::vector<TFlaggedValue> DerivedSeries(std::int32_t number, const TDerivedInputs& in);

// A parameter defined as derived column `number` (identifier, names, unit, decimals; never
// smoothed, no formula of its own), its SortedBuffer empty; null for a number that is none.
std::unique_ptr<TParameter> MakeDerivedParameter(std::int32_t number);

// The inputs of a cast's collection: its binned series of 101, 401 and 404, brought up to date,
// and the start position of its cast header (unknown without a header).
TDerivedInputs DerivedInputsOf(const TParamCollection& col);

// Derived column `number` of the collection, its SortedBuffer filled; null for a number that is
// none.
std::unique_ptr<TParameter> ComputeDerivedColumn(const TParamCollection& col, std::int32_t number);

// The numbers of the derived columns in the order the choice lists offer them.
const std::vector<std::int32_t>& DerivedColumnNumbers();

// The run's one definition of derived column `number` (null for a number that is none): what the
// choice lists show and where a plot entry keeps its axis (ParaScale). The configuration's lists
// resolve a derived number to it; it holds no series and belongs to no collection. Its axis is
// not part of the stored display block: it starts each run from the column's default range.
TParameter* DerivedColumnDefinition(std::int32_t number);

// The collection can compute derived column `number`: it holds pressure, temperature and
// practical salinity.
bool DerivedColumnAvailable(const TProbeCollection& col, std::int32_t number);

// Derived columns of one table, each computed once and kept while the table stays the same: the
// same cast (file, header, position) and the same rows. A live table that grows is computed again
// only when its row count has changed.
class TDerivedColumnCache {
public:
    TDerivedColumnCache();
    ~TDerivedColumnCache();
    // A copy starts empty: it computes its columns when asked.
    TDerivedColumnCache(const TDerivedColumnCache&);
    TDerivedColumnCache& operator=(const TDerivedColumnCache&);
    TDerivedColumnCache(TDerivedColumnCache&&) noexcept;
    TDerivedColumnCache& operator=(TDerivedColumnCache&&) noexcept;

    // Column `number` of col with its SortedBuffer; null for a number that is none or a column
    // col cannot compute.
    const TParameter* Get(const TParamCollection& col, std::int32_t number);
    void Clear();

private:
    struct TKey {
        const void* header = nullptr;
        std::string file;
        int type = 0;
        std::int32_t maxIndex = -1, maxDownIndex = -1;
        double latitude = 0, longitude = 0;
        bool operator==(const TKey&) const = default;
    };
    struct TEntry {
        std::int32_t number = 0;
        TKey key;
        std::unique_ptr<TParameter> column;
    };
    static TKey KeyOf(const TParamCollection& col);
    std::vector<TEntry> columns_;
};

} // namespace marevo
