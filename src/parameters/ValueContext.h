#pragma once
// What the value operations of a parameter (current value, series computation, first filter,
// smoothing) read from the collection and the settings. The parameter layer sits below the
// collections and the configuration, so their owner lends these values through TValueContext
// (ValueContextOf in processing/ParaValueContext.h builds one).

#include "parameters/DerivedFormulas.h"
#include "parameters/ParaRecords.h"

#include <cstdint>

namespace marevo {

struct TValueContext {
    std::int32_t PostLBIndexO = -1; // newest accepted sample in the PostLinBuf series; -1 = none
    std::int32_t MaxIndex = -1;     // newest binned sample (SortInfo.MaxIndex); -1 = none
    std::int32_t RawIndex = 0;      // frames read since the acquisition reset
    std::int32_t RingIndex = 0;     // slot of the newest frame in InCyBuf and RawInCyBuf
    const TParameter* TimeBase = nullptr; // the collection's time-base parameter (ParaTims)
    long double SpeedLow = 0;       // smoothed probe speed, m/s
    long double WinchSpeed = 0;     // m/s
    bool UseNmea = false;           // the collection takes GPS values
    bool UseExtPara = false;        // the collection takes external-sensor values
    bool ValidateLimits = false;    // the configuration's data-validation switch
    // CurValue/CalcValue also write the screen text (CurrentStr, CurrentStr0). The acquisition
    // pipeline, which reads values many times a frame, leaves the texts to the windows that show
    // them.
    bool UpdateText = true;

    TFormulaSettings Formula{};

    // First filter of each new frame value.
    TSmoothType FirstFilterType = Smo_None;
    std::int32_t FirstFilterSamples = 0;      // length of the running mean, frames
    std::int32_t FirstFilterCutoffFactor = 0; // F of the low-pass, alpha = 1 / (F + 1)
};

} // namespace marevo
