#pragma once
// What the collection knows of the probe (stored with every collection block) and the layout of
// its data frame (rebuilt from the parameter list, never stored).

#include "foundation/Extended.h"
#include "foundation/Record.h"
#include "foundation/ShortString.h"
#include "platform/Clock.h"

#include <cstdint>

namespace marevo {

#pragma pack(push, 1)

// Description of the probe, filled from its replies by the command protocol.
struct alignas(8) TProbeInfo {
    TStr<30> UnitType;      // probe type
    TStr<30> Manufacturer;
    TStr<30> UnitSN;        // probe serial number
    TStr<30> HeadSN;        // sensor-head serial number
    std::uint8_t gap124[4];
    TExtended ScanRate;     // nominal scan rate [frames/s]
    std::uint8_t gap138[6];
    TDateTime PhysDate;
    TDateTime ElecDate;
    TStr<30> LabFacility;   // calibration laboratory
    TStr<30> LabTechnician;
    TStr<30> LabSN;
    std::uint8_t gap253[3];
    TDateTime LabDate;
    float Voltage;          // supply voltage [V]
    std::int32_t Protocol;  // above 5 the first filter runs on raw channels in real time
    TStr<127> PaListStr;    // the probe's sensor list as reported
    TStr<31> Firmware;
    std::int32_t FrameSize; // frame payload [bytes]
    std::uint8_t SamplerType;   // rosette type index
    std::uint8_t BottlesNumber; // bottles on the rosette
    std::uint16_t TimeOut;      // rosette time-out [s]
    std::uint16_t FireDelay;    // rosette fire delay [s]
    std::uint8_t gap442[2];
    std::int32_t SerialNumber;  // rosette serial number
    std::uint8_t ArmPosition;   // rosette arm position
    std::uint8_t gap449[3];
    float BatteryVoltage;       // rosette battery [V]
    TStr<30> MarevoVersion;     // version of the program that wrote the block
    std::uint8_t reserve[153];
};
MAREVO_RECORD_SIZE(TProbeInfo, 640);
MAREVO_RECORD_OFFSET(TProbeInfo, ScanRate, 128);
MAREVO_RECORD_OFFSET(TProbeInfo, PhysDate, 144);
MAREVO_RECORD_OFFSET(TProbeInfo, LabFacility, 160);
MAREVO_RECORD_OFFSET(TProbeInfo, LabDate, 256);
MAREVO_RECORD_OFFSET(TProbeInfo, Voltage, 264);
MAREVO_RECORD_OFFSET(TProbeInfo, Protocol, 268);
MAREVO_RECORD_OFFSET(TProbeInfo, PaListStr, 272);
MAREVO_RECORD_OFFSET(TProbeInfo, Firmware, 400);
MAREVO_RECORD_OFFSET(TProbeInfo, FrameSize, 432);
MAREVO_RECORD_OFFSET(TProbeInfo, SamplerType, 436);
MAREVO_RECORD_OFFSET(TProbeInfo, TimeOut, 438);
MAREVO_RECORD_OFFSET(TProbeInfo, SerialNumber, 444);
MAREVO_RECORD_OFFSET(TProbeInfo, ArmPosition, 448);
MAREVO_RECORD_OFFSET(TProbeInfo, BatteryVoltage, 452);
MAREVO_RECORD_OFFSET(TProbeInfo, MarevoVersion, 456);
MAREVO_RECORD_OFFSET(TProbeInfo, reserve, 487);

#pragma pack(pop)

// Layout of the data frame and positions of the key parameters. Positions are 0-based list
// indexes, -1 = absent; the position arrays are used 1-based, element 0 unused.
struct TFrameInfo {
    std::int32_t ListCount = 0; // parameters in the collection when the layout was built
    std::int32_t RawCount = 0;  // 1 + index of the last parameter carried in the probe frame
    std::int32_t RawSize = 0;   // probe frame payload [bytes]
    std::int32_t ExtCount = 0;  // leading parameters that come from inputs (frame, NMEA, external)
    std::int32_t ExtSize = 0;   // payload including the NMEA and external inputs [bytes]
    std::int32_t ExtPos = 0;
    std::int32_t TimsPos = -1;  // time counter (100)
    std::int32_t PresPos = -1;  // pressure (101)
    std::int32_t TimePos = 0;   // 1-based position of time (400), set when it is added
    std::int32_t DeptPos = 0;   // 1-based position of depth (403), set when it is added
    std::int32_t TempPosA[4] = {-1, -1, -1, -1}; // [1..3]: 110, 111, 112
    std::int32_t CondPosA[5] = {-1, -1, -1, -1, -1}; // [1..4]: 120, 121, 122, 166
    TExtended ScanRate = TExtended::FromDouble(10.0); // scan rate assumed for the frame
    bool DoPTeffect = false;     // a conductivity sensor has pressure-temperature coefficients
    bool LagTimeStarted = false; // the conductivity lag filter has been primed
    bool UseNmea = false;        // GPS parameters present
    bool UseExtPara = false;     // NMEA or external-input parameters present
    bool UseExternal = false;    // external PAR input (807) present
    std::int32_t AltiPosA[3] = {-1, -1, -1}; // [1..2]: 140, 221
    std::int32_t OxyPosA[3] = {-1, -1, -1};  // [1..2]: 130, 198
    bool UseExternalWinch = false; // external winch input (809) present
};

} // namespace marevo
