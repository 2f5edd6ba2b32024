#pragma once
// The header of a cast, and of a cruise (cast number 0), as kept in the cruise file: names, the
// times and positions of the start, bottom and end, pressure extremes, acquisition and
// extraction modes and the error counters of the processing steps.

#include "foundation/Extended.h"
#include "foundation/FlaggedValue.h"
#include "foundation/Record.h"
#include "foundation/ShortString.h"
#include "foundation/Stream.h"
#include "platform/Clock.h"
#include "records/AcquiMode.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace marevo {

// How the data of a cast were acquired.
enum TRawMode : std::uint8_t {
    rm_RealTime = 0,
    rm_linear = 1,
    rm_timed = 2,
    rm_fast = 3,
    rm_manual = 4,
};

// Display name; "?" for a byte outside the enumeration.
// A cast whose start time or position was never measured (a transcript without its "[SDT]",
// "[SGP]" or "[EGP]" line) keeps them as not-a-number: the header shows them unknown (an empty
// field), never a time or place that looks measured. The computations that need a latitude (depth)
// take NominalLatitude instead, the default position of a new cruise.
constexpr long double NominalLatitude = 45.54L;
inline bool IsKnownValue(long double v) { return v == v && v - v == 0; } // finite

constexpr std::string_view RawModeName(int mode) {
    constexpr std::string_view names[] = {"Real Time", "Linear", "Timed", "Fast", "Manual"};
    return mode >= 0 && mode < 5 ? names[mode] : std::string_view("?");
}

// ScanRate is a rate or step with a fraction for the linear and timed modes, a whole number
// otherwise.
constexpr int ScanRateDecimals(int rawMode) {
    return rawMode == rm_linear || rawMode == rm_timed ? 2 : 0;
}

// Text items of a header, by index:
//   cast header:   0 cast number, 1 cast name, 4 operator
//   cruise header: 0 cruise number, 1 cruise name, 2 cruise file name (no folder, no extension),
//                  3 vessel, 4 operator
using TInfoStr = std::array<TStr<40>, 6>;

#pragma pack(push, 1)
// The 864-byte form of a header in the cruise file. Only copied to and from TCastInfo as bytes:
// its multi-byte fields sit at unaligned offsets.
struct TCastInfoRecord {
    std::int32_t ID;
    TInfoStr InfoStr;
    TDateTime CastTime[3];
    TExtended latitude[3];
    TExtended longitude[3];
    TFlaggedValue BottomValue[4];
    TStr<255> comment;
    std::int32_t DataSetNb;
    std::int32_t FrameError;
    TRawMode RawMode;
    TExtended ScanRate;
    TExtended xSpare;
    std::int32_t DupTempNb;
    std::int32_t DupCondNb;
    std::int32_t DupOxyNb;
    TAcquiMode ExtractMode;
    TExtended ExtractStep;
    std::int32_t ExtractNb;
    TExtended MinPressure;
    std::int32_t ValidateError;
    std::int32_t DupAltiNb;
    std::int32_t StartTimeExtr;
    std::uint8_t InvalidCast;
    std::int32_t SortingExtractionError;
    std::int32_t OfflineFilteringError;
    TExtended PressureOffsetFilter;
    std::uint8_t reserve[145];
};
#pragma pack(pop)

MAREVO_RECORD_SIZE(TCastInfoRecord, 864);
MAREVO_RECORD_OFFSET(TCastInfoRecord, ID, 0);
MAREVO_RECORD_OFFSET(TCastInfoRecord, InfoStr, 4);
MAREVO_RECORD_OFFSET(TCastInfoRecord, CastTime, 250);
MAREVO_RECORD_OFFSET(TCastInfoRecord, latitude, 274);
MAREVO_RECORD_OFFSET(TCastInfoRecord, longitude, 304);
MAREVO_RECORD_OFFSET(TCastInfoRecord, BottomValue, 334);
MAREVO_RECORD_OFFSET(TCastInfoRecord, comment, 366);
MAREVO_RECORD_OFFSET(TCastInfoRecord, DataSetNb, 622);
MAREVO_RECORD_OFFSET(TCastInfoRecord, FrameError, 626);
MAREVO_RECORD_OFFSET(TCastInfoRecord, RawMode, 630);
MAREVO_RECORD_OFFSET(TCastInfoRecord, ScanRate, 631);
MAREVO_RECORD_OFFSET(TCastInfoRecord, xSpare, 641);
MAREVO_RECORD_OFFSET(TCastInfoRecord, DupTempNb, 651);
MAREVO_RECORD_OFFSET(TCastInfoRecord, DupCondNb, 655);
MAREVO_RECORD_OFFSET(TCastInfoRecord, DupOxyNb, 659);
MAREVO_RECORD_OFFSET(TCastInfoRecord, ExtractMode, 663);
MAREVO_RECORD_OFFSET(TCastInfoRecord, ExtractStep, 664);
MAREVO_RECORD_OFFSET(TCastInfoRecord, ExtractNb, 674);
MAREVO_RECORD_OFFSET(TCastInfoRecord, MinPressure, 678);
MAREVO_RECORD_OFFSET(TCastInfoRecord, ValidateError, 688);
MAREVO_RECORD_OFFSET(TCastInfoRecord, DupAltiNb, 692);
MAREVO_RECORD_OFFSET(TCastInfoRecord, StartTimeExtr, 696);
MAREVO_RECORD_OFFSET(TCastInfoRecord, InvalidCast, 700);
MAREVO_RECORD_OFFSET(TCastInfoRecord, SortingExtractionError, 701);
MAREVO_RECORD_OFFSET(TCastInfoRecord, OfflineFilteringError, 705);
MAREVO_RECORD_OFFSET(TCastInfoRecord, PressureOffsetFilter, 709);
MAREVO_RECORD_OFFSET(TCastInfoRecord, reserve, 719);

class TCastInfo {
public:
    std::int32_t ID = 0; // cast number in its cruise; 0 = the cruise header
    TInfoStr InfoStr{};
    std::array<TDateTime, 3> CastTime{}; // 0 start, 1 bottom (maximum pressure), 2 end
    // Decimal degrees, north and east positive; indexed as CastTime.
    std::array<TExtended, 3> latitude{};
    std::array<TExtended, 3> longitude{};
    // 0 maximum pressure reached [dbar]; 1 sea-bed pressure (maximum pressure plus the smallest
    // altimeter reading); 2 smallest valid altimeter reading [m]; 3 sea-bed depth from the
    // operator (sonar).
    std::array<TFlaggedValue, 4> BottomValue{};
    TStr<255> comment{};
    std::int32_t DataSetNb = 0;  // frames acquired
    std::int32_t FrameError = 0; // frames rejected as corrupt
    TRawMode RawMode = rm_RealTime;
    TExtended ScanRate{};
    TExtended xSpare{};
    // Which duplicated sensor feeds the main temperature, conductivity and oxygen parameter.
    std::int32_t DupTempNb = 0;
    std::int32_t DupCondNb = 0;
    std::int32_t DupOxyNb = 0;
    TAcquiMode ExtractMode = AM_Pressure;
    TExtended ExtractStep{};    // dbar, seconds or data sets, by ExtractMode
    std::int32_t ExtractNb = 0; // binned records less one
    TExtended MinPressure{};    // smallest pressure while ascending [dbar]
    std::int32_t ValidateError = 0;
    std::int32_t DupAltiNb = 0;
    std::int32_t StartTimeExtr = 0; // s of elapsed time that vertical binning skips
    std::uint8_t InvalidCast = 0;   // non-zero: shown unchecked in the cast lists
    std::int32_t SortingExtractionError = 0;
    std::int32_t OfflineFilteringError = 0;
    TExtended PressureOffsetFilter{}; // dbar
    // Zero in a new header; a header read from a file keeps the stored bytes, so rewriting a
    // header never loses what a later format may put there.
    std::array<std::uint8_t, 145> reserve{};

    // Defaults of a new cruise header; an empty name for the header shown when a requested cast
    // does not exist. Fields without a default keep their values. True unless it failed.
    bool SetDefCruise(std::string_view CruiseName);

    // The header of a new cast, prepared from the previous cast's header: number, name, times,
    // extraction, positions and bottom values. The operator, vessel and other items stay as they
    // were. The cruise file guards this step together with the settings it takes them from.
    void SetDefCast(std::int32_t castNb, TAcquiMode extractMode, TExtended extractStep);

    // The 864-byte form at the stream's position. True on success; a failure is logged and shown.
    bool WriteCastInfo(TStream& stream) const;
    // A header cut short by the end of the file is a failure like any other: it is logged and
    // shown, the result is false and the header keeps all the values it had before.
    bool ReadCastInfo(TStream& stream);

    TCastInfoRecord ToRecord() const;
    void FromRecord(const TCastInfoRecord& record);
};

} // namespace marevo
