#pragma once
// The binning set-up and progress of a collection, stored byte for byte in the binary cast file.

#include "foundation/Extended.h"
#include "foundation/Record.h"
#include "platform/Clock.h"
#include "records/CollectionTypes.h"
#include "records/AcquiMode.h"

#include <cstdint>

namespace marevo {

#pragma pack(push, 1)

struct alignas(8) TSortInfo {
    TAcquiMode SortType;       // binning mode
    TVerticalUnit VerticalUnit;
    std::uint8_t gap2[2];
    std::int32_t SAllStep;     // scan mode: take every n-th sample
    std::int32_t SAllMax;      // scan mode: maximum number of rows
    std::int32_t SAllStart;    // scan mode: first sample
    std::int32_t reservedInt;
    std::uint8_t reservedBool;
    std::uint8_t gap21[3];
    TExtended SPresDelta;      // vertical step [dbar or m]
    std::uint8_t gap34[6];
    TDateTime STimeDelta;      // time step [days]
    TDateTime STimeOffset;     // first time bin [days]
    TExtended MaxDownPres;     // greatest bin pressure met so far
    std::uint8_t gap66[6];
    TExtended MinUpPres;
    std::uint8_t gap82[2];
    std::int32_t MaxDownIndex; // row of the deepest bin; -1 = none
    std::int32_t MaxIndex;     // last row written; -1 = none
    std::uint8_t gap92[4];
    TExtended SPresOffset;     // centre of the first bin
    std::uint8_t gap106[6];
    TDateTime STrigStart;      // timed start
    TExtended reserved;
    std::uint8_t gap130[6];
    TExtended STrigPres;       // immersion trigger pressure [dbar]
    std::uint8_t gap146[6];
    TExtended STrigCond;       // immersion trigger conductivity
    std::uint8_t gap162[6];
    TExtended Quality;
    std::uint8_t gap178[2];
    std::int32_t SAllMeanNb;   // scan mode: samples averaged per row
    TDateTime STrigEnd;        // timed end
    std::uint8_t reserve[193];
    std::uint8_t gap385[7];
};
MAREVO_RECORD_SIZE(TSortInfo, 392);
MAREVO_RECORD_OFFSET(TSortInfo, SAllStep, 4);
MAREVO_RECORD_OFFSET(TSortInfo, reservedBool, 20);
MAREVO_RECORD_OFFSET(TSortInfo, SPresDelta, 24);
MAREVO_RECORD_OFFSET(TSortInfo, STimeDelta, 40);
MAREVO_RECORD_OFFSET(TSortInfo, STimeOffset, 48);
MAREVO_RECORD_OFFSET(TSortInfo, MaxDownPres, 56);
MAREVO_RECORD_OFFSET(TSortInfo, MinUpPres, 72);
MAREVO_RECORD_OFFSET(TSortInfo, MaxDownIndex, 84);
MAREVO_RECORD_OFFSET(TSortInfo, MaxIndex, 88);
MAREVO_RECORD_OFFSET(TSortInfo, SPresOffset, 96);
MAREVO_RECORD_OFFSET(TSortInfo, STrigStart, 112);
MAREVO_RECORD_OFFSET(TSortInfo, reserved, 120);
MAREVO_RECORD_OFFSET(TSortInfo, STrigPres, 136);
MAREVO_RECORD_OFFSET(TSortInfo, STrigCond, 152);
MAREVO_RECORD_OFFSET(TSortInfo, Quality, 168);
MAREVO_RECORD_OFFSET(TSortInfo, SAllMeanNb, 180);
MAREVO_RECORD_OFFSET(TSortInfo, STrigEnd, 184);
MAREVO_RECORD_OFFSET(TSortInfo, reserve, 192);

#pragma pack(pop)

} // namespace marevo
