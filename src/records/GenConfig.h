#pragma once
// The general settings of a configuration (GenCfg): the plot, bottles-window and values-window
// parameter lists, display switches, units, sensor choices, the current cruise, the alarms, the
// post-processing corrections and filters. The configuration file holds it byte for byte as its
// first block, so the record is the stored form itself and its users read the fields directly.

#include "foundation/Extended.h"
#include "foundation/Record.h"
#include "foundation/ShortString.h"
#include "parameters/ParaRecords.h"

#include <cstdint>
#include <initializer_list>

namespace marevo {

enum TValueMode : std::uint8_t { vm_normal = 0, vm_scroll = 1 };

// Which part of a cast the plot and the text export show.
enum TDisplayDirection : std::uint8_t {
    Direction_None = 0,
    Direction_Down = 1,
    Direction_Up = 2,
    Direction_Both = 3,
};

enum TPressureOffsetFilterType : std::uint8_t { POF_None = 0, POF_Auto = 1 };

#pragma pack(push, 1)

struct alignas(8) TGenConfig {
    // In each list entries 0..count-1 are used; Avail is set when a cast is prepared and Ptr is
    // resolved again after loading.
    TParaList ParaPlotList{};   // entry 0 the vertical axis, 1..8 the horizontal scales
    TParaList BottleParaList{}; // columns of the bottles window
    TParaList CurParaList{};    // parameters of the values window
    TValueMode ValueMode = vm_normal;
    std::uint8_t CursorOn = 0;
    std::uint8_t FileType = 0; // TFileType of the last opened file
    TDisplayDirection Direction = Direction_None;
    std::uint8_t DrawBottles = 0;
    std::uint8_t DrawSmooth = 0;
    std::uint8_t DrawAutoX = 0;
    std::uint8_t DrawAutoY = 0;
    std::uint8_t TimeUnit = 0;  // 0 second, 1 minute, 2 hour, 3 day
    std::uint8_t CondUnit = 0;  // 0 uS/cm, 1 mS/cm, 2 S/m
    std::uint8_t PosFormat = 0; // 0 degree, 1 minute, 2 second
    std::uint8_t gap923[1] = {};
    std::int32_t DupTempNb = 0; // 0..2 sensor 1..3, 3 none
    std::int32_t DupCondNb = 0; // 0..2 sea-water sensor 1..3, 3 fresh water, 4 none
    std::int32_t DupOxyNb = 0;  // 0..1 sensor 1..2, 2 none
    TStr<40> CruiseName = {};
    // Indexed as AlarmLimit: 0 altimeter [m], 1 down [dbar], 2 up [dbar], 3 time,
    // 4 communication (no limit), 5 vessel depth minus [m].
    std::uint8_t AlarmChecked[6] = {};
    std::uint8_t gap983[1] = {};
    TExtended AlarmLimit[6] = {};
    std::uint8_t CondPTEffect = 0;
    std::uint8_t PressureTEffect = 0;
    std::uint8_t CondLagEffect = 0;
    std::uint8_t gap1047[1] = {};
    TExtended TimeLagCompensationOffset = {};
    std::uint8_t gap1058[6] = {};
    TExtended TimeLagCompensationSlope = {};
    std::uint8_t CondForcedFlow = 0;
    std::uint8_t gap1075[5] = {};
    TExtended FlowRate = {}; // ml/s
    std::uint8_t ManualLagCompensation = 0;
    std::uint8_t gap1091[5] = {};
    TExtended EdTimeLag = {}; // samples
    std::uint8_t gap1106[2] = {};
    std::int32_t DupAltimNb = 0;      // 0 acoustic altimeter, 1 sea-bed contact, 2 none
    TExtended ThetaRefPress = {};     // dbar
    std::uint8_t firstFilterType = 0; // 0 none, 1 mean, 2 low pass
    std::uint8_t gap1123[1] = {};
    std::int32_t firstFilterSamplesNumber = 0;
    std::int32_t firstFilterCutoffPeriodFactor = 0;
    std::uint8_t gap1132[4] = {};
    TExtended FreshWaterConversion = {};  // pressure-to-depth factor for fresh water
    std::uint8_t salt_freshWaterFlag = 0; // 1 sea-water depth formula, 0 fresh-water factor
    std::uint8_t gap1147[5] = {};
    TExtended TotDisSolCoeff = {};
    std::uint8_t TempPTEffect = 0;
    std::uint8_t gap1163[5] = {};
    TExtended ThermCompensation = {}; // per dbar
    std::uint8_t gap1178[2] = {};
    std::int32_t CurrentCTDSpeedWeight = 0; // % of the current value, 1..100
    std::int32_t CurrentScanRateWeight = 0; // % of the current value, 1..100
    TPressureOffsetFilterType PressureOffsetFilterType = POF_None;
    std::uint8_t gap1189[3] = {};
    TExtended PressureOffsetFilterConductivityThreshold = {}; // mS/cm
    std::uint8_t gap1202[6] = {};
};

#pragma pack(pop)

MAREVO_RECORD_SIZE(TGenConfig, 1208);
MAREVO_RECORD_OFFSET(TGenConfig, ParaPlotList, 0);
MAREVO_RECORD_OFFSET(TGenConfig, BottleParaList, 304);
MAREVO_RECORD_OFFSET(TGenConfig, CurParaList, 608);
MAREVO_RECORD_OFFSET(TGenConfig, ValueMode, 912);
MAREVO_RECORD_OFFSET(TGenConfig, CursorOn, 913);
MAREVO_RECORD_OFFSET(TGenConfig, FileType, 914);
MAREVO_RECORD_OFFSET(TGenConfig, Direction, 915);
MAREVO_RECORD_OFFSET(TGenConfig, DrawBottles, 916);
MAREVO_RECORD_OFFSET(TGenConfig, DrawSmooth, 917);
MAREVO_RECORD_OFFSET(TGenConfig, DrawAutoX, 918);
MAREVO_RECORD_OFFSET(TGenConfig, DrawAutoY, 919);
MAREVO_RECORD_OFFSET(TGenConfig, TimeUnit, 920);
MAREVO_RECORD_OFFSET(TGenConfig, CondUnit, 921);
MAREVO_RECORD_OFFSET(TGenConfig, PosFormat, 922);
MAREVO_RECORD_OFFSET(TGenConfig, gap923, 923);
MAREVO_RECORD_OFFSET(TGenConfig, DupTempNb, 924);
MAREVO_RECORD_OFFSET(TGenConfig, DupCondNb, 928);
MAREVO_RECORD_OFFSET(TGenConfig, DupOxyNb, 932);
MAREVO_RECORD_OFFSET(TGenConfig, CruiseName, 936);
MAREVO_RECORD_OFFSET(TGenConfig, AlarmChecked, 977);
MAREVO_RECORD_OFFSET(TGenConfig, gap983, 983);
MAREVO_RECORD_OFFSET(TGenConfig, AlarmLimit, 984);
MAREVO_RECORD_OFFSET(TGenConfig, CondPTEffect, 1044);
MAREVO_RECORD_OFFSET(TGenConfig, PressureTEffect, 1045);
MAREVO_RECORD_OFFSET(TGenConfig, CondLagEffect, 1046);
MAREVO_RECORD_OFFSET(TGenConfig, gap1047, 1047);
MAREVO_RECORD_OFFSET(TGenConfig, TimeLagCompensationOffset, 1048);
MAREVO_RECORD_OFFSET(TGenConfig, gap1058, 1058);
MAREVO_RECORD_OFFSET(TGenConfig, TimeLagCompensationSlope, 1064);
MAREVO_RECORD_OFFSET(TGenConfig, CondForcedFlow, 1074);
MAREVO_RECORD_OFFSET(TGenConfig, gap1075, 1075);
MAREVO_RECORD_OFFSET(TGenConfig, FlowRate, 1080);
MAREVO_RECORD_OFFSET(TGenConfig, ManualLagCompensation, 1090);
MAREVO_RECORD_OFFSET(TGenConfig, gap1091, 1091);
MAREVO_RECORD_OFFSET(TGenConfig, EdTimeLag, 1096);
MAREVO_RECORD_OFFSET(TGenConfig, gap1106, 1106);
MAREVO_RECORD_OFFSET(TGenConfig, DupAltimNb, 1108);
MAREVO_RECORD_OFFSET(TGenConfig, ThetaRefPress, 1112);
MAREVO_RECORD_OFFSET(TGenConfig, firstFilterType, 1122);
MAREVO_RECORD_OFFSET(TGenConfig, gap1123, 1123);
MAREVO_RECORD_OFFSET(TGenConfig, firstFilterSamplesNumber, 1124);
MAREVO_RECORD_OFFSET(TGenConfig, firstFilterCutoffPeriodFactor, 1128);
MAREVO_RECORD_OFFSET(TGenConfig, gap1132, 1132);
MAREVO_RECORD_OFFSET(TGenConfig, FreshWaterConversion, 1136);
MAREVO_RECORD_OFFSET(TGenConfig, salt_freshWaterFlag, 1146);
MAREVO_RECORD_OFFSET(TGenConfig, gap1147, 1147);
MAREVO_RECORD_OFFSET(TGenConfig, TotDisSolCoeff, 1152);
MAREVO_RECORD_OFFSET(TGenConfig, TempPTEffect, 1162);
MAREVO_RECORD_OFFSET(TGenConfig, gap1163, 1163);
MAREVO_RECORD_OFFSET(TGenConfig, ThermCompensation, 1168);
MAREVO_RECORD_OFFSET(TGenConfig, gap1178, 1178);
MAREVO_RECORD_OFFSET(TGenConfig, CurrentCTDSpeedWeight, 1180);
MAREVO_RECORD_OFFSET(TGenConfig, CurrentScanRateWeight, 1184);
MAREVO_RECORD_OFFSET(TGenConfig, PressureOffsetFilterType, 1188);
MAREVO_RECORD_OFFSET(TGenConfig, gap1189, 1189);
MAREVO_RECORD_OFFSET(TGenConfig, PressureOffsetFilterConductivityThreshold, 1192);
MAREVO_RECORD_OFFSET(TGenConfig, gap1202, 1202);

// count := the number of entries given, which become the first entries of List; the entries
// above them, Avail and Ptr keep their values. Raises for more than 33 numbers.
void SetParaListNumbers(TParaList& list, std::initializer_list<std::int32_t> numbers);

// The general-settings part of the configuration's SetDefault. Fields without a default, the
// gaps and AlarmLimit[4] (the communication alarm has no limit) keep their values: zero in a new
// record.
void SetGenConfigDefaults(TGenConfig& cfg);

} // namespace marevo
