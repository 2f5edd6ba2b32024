#pragma once
// The bin-by-bin engine behind the collection's vertical and time binning. One object serves one
// call: it reads the settings and the inputs of the collection, bins the newest sample or closes
// the bin in progress, and leaves all state in the collection, so that the next call (or a later
// one after the collection was stored) carries on where this one stopped.
//
// Rows are written to the SortedBuffer of every input parameter (the first FrameInfo.ExtCount of
// the collection) at the same index, so every binned series has the same length.

#include "foundation/FlaggedValue.h"
#include "parameters/DerivedFormulas.h"
#include "processing/ParamCollection.h"

#include <optional>

namespace marevo {

// Element k of a post-processed or binned series; invalid when the series or the element does
// not exist.
inline TFlaggedValue BinElement(const TLinearArray* series, int k) {
    if (!series || k < 0 || k > series->LastIndice)
        return InvalidFV;
    return series->Data()[k];
}

enum class TBinAxis { Pressure, Depth, Time };
enum class TBinMethod { Average, Interpolate };

class TBinner {
public:
    // Raises EMarevoError when the collection cannot be binned (no pressure or time counter, an
    // input without its series).
    TBinner(TParamCollection& col, TBinAxis axis, TBinMethod method);

    // Whether the step of the pass is a usable number; a pass set up with a step of zero or less
    // bins nothing (SetSortInfo has reported it).
    bool Usable() const { return usable_; }
    // Bins the sample at PostLBIndexO.
    void Sample();
    // Closes the bin in progress at the end of the cast, then applies the last-value rule.
    void End();

    // Depth [m] of a pressure [dbar] by the depth settings and the cast's start latitude;
    // nullopt when either lies outside the formula's limits.
    std::optional<long double> Depth(long double pressure) const;

private:
    // Bin coordinate of sample k in comparison units (dbar, m, or s for time); nullopt when the
    // sample cannot be binned. Also records c_SortPres or c_SortTime.
    std::optional<long double> Coordinate(int k, bool record);
    // A bin position (centre, edge or span) of the collection in comparison units: time is kept
    // in days there and compared in seconds, rounded to the microsecond so that a sample exactly
    // on an edge falls on the side the configured numbers say.
    long double U(long double position) const;

    bool InWindow(long double v) const;
    void MoveCentre(long double delta);
    void Add(int k, long double v);
    bool BinHasSamples() const;
    // Writes the bin in progress as row MaxIndex+1; closing upwards pairs the samples met while
    // rising.
    void WriteBin(bool upwards);
    void WriteRow(const TFlaggedValue* values);
    TFlaggedValue EmptyValue(int i) const;
    void ClearBin();
    // Writes the rows up to (not including) row end that a jump of the sample skipped.
    void FillGap(int end);
    void Forward(long double v, int k);
    void Backward(long double v, int k);

    TParamCollection& col_;
    TBinAxis axis_;
    TBinMethod method_;
    int count_ = 0;     // inputs
    int axisItem_ = -1; // input holding the row coordinate: pressure, or time counter for time
    int presItem_ = -1; // pressure input (-1: none, only possible in time binning)
    long double step_ = 0, half_ = 0, first_ = 0; // in collection units (dbar, m or days)
    bool usable_ = false;
    bool firstAvailable_ = false; // "Use first available pressure"
    TFormulaSettings depthSettings_{};
};

} // namespace marevo
