#pragma once
// What the decoding and calibration of a frame parameter read from, and write to, the collection
// that drives the acquisition. The parameter layer sits below the collections, so the collection
// lends these through TDecodeContext (TParamCollection::DecodeContext builds one per frame), and
// owns the header-decoding state itself.

#include "foundation/BottleStatus.h"
#include "foundation/FlaggedValue.h"

#include <cstdint>

namespace marevo {

// State of the frame-header decodings (DF4 to DF7) of one collection; its acquisition reset
// calls Reset. Times are probe times in seconds, kept as singles as the probe's time base is.
struct THeaderDecodeState {
    std::uint16_t FrameCounter = 0;     // sequence number of the current frame
    std::uint16_t PrevFrameCounter = 0; // sequence number of the frame before
    float TimeOrigin = -1;              // probe time of the first frame of the cast; < 0: unset
    float AbsoluteTime = -1;            // probe time of the current frame
    float RelativeTime = -1;            // time given to the time-base parameter
    std::uint8_t PrevBottleByte = 0;    // bottle byte of the previous DF4/DF5/DF6 frame

    void Reset() { *this = THeaderDecodeState{}; }
};

// Borrowed from the collection for the decoding of one frame; every pointer may be null when
// the collection has no such item (a header decoding then fails, the other conversions do not
// need them).
struct TDecodeContext {
    THeaderDecodeState* Header = nullptr;
    // The cast has started (real-time status rt_starting or later): the time origin stays fixed.
    bool CastStarted = false;
    std::uint8_t* BtlNumber = nullptr;  // C_BtlNumber
    TBottleStatus* BtlStatus = nullptr; // C_BtlStatus
    TFlaggedValue* TimeBase = nullptr;  // Current of the time-base parameter (ParaTims)
    std::int32_t RawIndex = 0;          // frames taken in, for the failure message
    long double SpeedLow = 0;           // C_SpeedLow, smoothed probe speed, m/s
    long double WinchSpeed = 0;         // C_WinchSpeed, m/s
};

} // namespace marevo
