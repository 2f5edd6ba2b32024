#pragma once
// The definition records of one parameter. They are written to the parameter collection, the
// configuration, the cruise file and the binary cast file byte for byte as they lie here, so every
// alignment gap and reserved area is spelled out and kept as read.

#include "foundation/Extended.h"
#include "foundation/FlaggedValue.h"
#include "foundation/Record.h"
#include "foundation/ShortString.h"
#include "platform/Clock.h"

#include <array>
#include <cstdint>

namespace marevo {

class TParameter;

// ---- Enumerations: one byte holding the ordinal, in this order in every file ----------------

enum TParaType : std::uint8_t {
    Pt_None,
    Pt_Util,       // frame field that is not a measurement: sync byte, checksum, frame header
    Pt_Acqui,      // acquisition setting shown as a value (sampling rate)
    Pt_Raw,        // sensor channel decoded from the frame and calibrated
    Pt_Calc,       // computed from linked parameters
    Pt_CWC,        // seawater quantity computed from conductivity, temperature and pressure
    Pt_Nmea,       // GPS / NMEA input
    Pt_Tims,       // time base
    Pt_Bottle,     // bottle number and status
    Pt_Cruise,     // cruise header text field
    Pt_header,     // cast header text field
    Pt_Ext,        // external sensor input
    pt_Speed,      // probe speed, computed by the acquisition pipeline
    pt_WinchSpeed, // winch speed, computed by the acquisition pipeline
};

enum TParaConv : std::uint8_t {
    ParaConvNone,
    ParaConvByte,
    ParaConvWord,
    ParaConvSingle,
    ParaConvSB3,
    ParaConvSBAD,
    ParaConvByte3,
    ParaConvHDF4,
    ParaConvHDF5,
    ParaConvHDF6,
    ParaConvHDF7,
};

enum TParaCalibType : std::uint8_t {
    ParaCalibDummy,
    ParaCalibNone,
    ParaCalibLinear,
    ParacalibPoly3,
    ParacalibPoly5,
    ParacalibPoly8,
    ParaCalibLog,
    ParaCalibETime,
    ParaCalibQVLTime,
    ParaCalibPres0,
    ParaCalibFresh,
    ParaCalibPar,
    ParaCalibWetLab,
};

enum TParaFunctionType : std::uint8_t { Polynomial, logarithm, Marevo, Custom };
enum TSmoothType : std::uint8_t { Smo_None, Smo_Mean, Smo_LP1stOrder };
enum TValidParaType : std::uint8_t { NoValidate, Validate };
enum TInterpolType : std::uint8_t { InterpolNone, Interpolxxx };
enum TScaleType : std::uint8_t { st_None, st_Linear, st_Log, st_Other };
enum TLineType : std::uint8_t { LineNone, LinePlain, LineDotted, LineDash };
enum TParaStatus : std::uint8_t { ParaOk, ParaFailed, ParaMemError };

// Booleans in stored records are one byte, 0 or 1; kept as a byte so any stored value reads
// safely.
using TBoolByte = std::uint8_t;

constexpr int CalibCoefCount = 20;
constexpr int MaxLinks = 16;

#pragma pack(push, 1)

// Identity and limits.
struct alignas(8) TParaGeneral {
    std::int32_t ParaNb;                   // catalogue number, the key of the parameter
    TStr<10> CalibStr[CalibCoefCount];     // display names of the calibration coefficients
    TExtended AbsoMin;                     // absolute minimum of the quantity
    std::uint8_t gap234[6];
    TExtended AbsoMax;
    TStr<4> IDStr;                         // four-character identifier, e.g. "PRES"
    TStr<30> OrigName;
    TStr<30> OrigUnit;
    TBoolByte MainPara;
    TBoolByte Hidden;                      // hidden from the operator's lists
    std::uint8_t gap319[1];
    TExtended MinExt;                      // smallest span of an automatic plot scale
    std::uint8_t reserve[190];
};
MAREVO_RECORD_SIZE(TParaGeneral, 520);
MAREVO_RECORD_OFFSET(TParaGeneral, CalibStr, 4);
MAREVO_RECORD_OFFSET(TParaGeneral, AbsoMin, 224);
MAREVO_RECORD_OFFSET(TParaGeneral, AbsoMax, 240);
MAREVO_RECORD_OFFSET(TParaGeneral, IDStr, 250);
MAREVO_RECORD_OFFSET(TParaGeneral, OrigName, 255);
MAREVO_RECORD_OFFSET(TParaGeneral, OrigUnit, 286);
MAREVO_RECORD_OFFSET(TParaGeneral, MainPara, 317);
MAREVO_RECORD_OFFSET(TParaGeneral, Hidden, 318);
MAREVO_RECORD_OFFSET(TParaGeneral, MinExt, 320);
MAREVO_RECORD_OFFSET(TParaGeneral, reserve, 330);

// Index of each text use in ParaStr and Decimal.
enum TParaTextUse { txt_Unit = 0, txt_ListBox = 1, txt_Screen = 2, txt_File = 3 };

// Texts and decimals by use.
struct alignas(8) TParaText {
    TStr<30> ParaStr[6];     // unit, list-box name, screen name, file/print name, two name copies
    std::uint8_t gap186[2];
    std::int32_t Decimal[6]; // decimals by use: [2] screen, [3] file/print
    std::uint8_t reserve[204];
};
MAREVO_RECORD_SIZE(TParaText, 416);
MAREVO_RECORD_OFFSET(TParaText, Decimal, 188);
MAREVO_RECORD_OFFSET(TParaText, reserve, 212);

// The probe's code of a parameter that is no probe channel.
constexpr std::int32_t NoProbeCode = 999;

// How the channel arrives.
struct alignas(4) TParaRaw {
    std::int32_t PrbCross[8]; // [0] the probe's own code for the channel (999: none); rest zero
    TParaType ParaType;
    TParaConv ConvType;       // byte decoding of the frame field
    TParaCalibType CalibType; // calibration formula
    std::uint8_t reserve[201];
};
MAREVO_RECORD_SIZE(TParaRaw, 236);
MAREVO_RECORD_OFFSET(TParaRaw, ParaType, 32);
MAREVO_RECORD_OFFSET(TParaRaw, CalibType, 34);

// Position in the frame, rebuilt at every acquisition set-up and never stored.
struct alignas(4) TParaFrame {
    std::int32_t SizeByte;   // bytes the field occupies in the frame
    TBoolByte IsFrame;       // the field is part of the probe frame
    TBoolByte spare0;
    TBoolByte spare1;
    std::uint8_t gap7[1];
    std::int32_t PosInList;  // index in the frame's parameter list and in a TRawFVArray
    std::int32_t PosInFrame; // same index
    std::int32_t PtrInframe; // byte offset of the field in the frame
    std::uint8_t reserve[104];
};
MAREVO_RECORD_SIZE(TParaFrame, 124);
MAREVO_RECORD_OFFSET(TParaFrame, PosInList, 8);
MAREVO_RECORD_OFFSET(TParaFrame, PtrInframe, 16);

using TCalibArray = std::array<TExtended, CalibCoefCount>;

// Calibration.
struct alignas(8) TParaCalib {
    TExtended calib[CalibCoefCount]; // coefficients 0..19, packed without gaps
    TDateTime DateStandard;          // calibration date
    TDateTime DateSensor;
    TStr<30> SensorType;
    TStr<30> SensorSN;
    std::uint8_t gap278[2];
    std::int32_t status;
    std::uint8_t reserve[204];
};
MAREVO_RECORD_SIZE(TParaCalib, 488);
MAREVO_RECORD_OFFSET(TParaCalib, DateStandard, 200);
MAREVO_RECORD_OFFSET(TParaCalib, SensorType, 216);
MAREVO_RECORD_OFFSET(TParaCalib, SensorSN, 247);
MAREVO_RECORD_OFFSET(TParaCalib, status, 280);

using TParaLink = std::array<std::int32_t, MaxLinks>;

// Derivation of a computed parameter.
struct alignas(4) TParaFunction {
    std::int32_t ParaLink[MaxLinks]; // input parameter numbers, in the formula's order; 0 = none
    std::int32_t LinkNb;             // inputs used
    std::int32_t CalibLink;          // parameter whose coefficients the formula uses; 0 = none
    TParaFunctionType FunctionType;
    std::uint8_t gap73[3];
    std::int32_t FuncIndex;
    std::uint8_t reserve[204];
};
MAREVO_RECORD_SIZE(TParaFunction, 284);
MAREVO_RECORD_OFFSET(TParaFunction, LinkNb, 64);
MAREVO_RECORD_OFFSET(TParaFunction, FunctionType, 72);
MAREVO_RECORD_OFFSET(TParaFunction, FuncIndex, 76);

// Filtering, blanking and validation.
struct alignas(8) TParaSmooth {
    TSmoothType SmoothType;           // smoothing of the stored (binned) values
    std::uint8_t gap1[3];
    std::uint8_t SmoothFloat[7][16];  // real-valued settings per filter type 1..7 (unused)
    std::int32_t SmoothInt[7][4];     // integer settings per filter type 1..7; [k-1][0] = length
    std::int32_t BlankPara;           // parameter that controls blanking in plots; 0 = none
    TExtended BlankMin;
    std::uint8_t gap242[6];
    TExtended BlankMax;
    TValidParaType ValidType;         // validation limits on or off
    std::uint8_t gap259[1];
    float ValidMin;
    float ValidMax;
    std::uint8_t reserve[196];

    // Length setting of a filter type (samples of the mean, cut-off factor of the low-pass).
    std::int32_t& FilterLength(TSmoothType type) { return SmoothInt[type - 1][0]; }
};
MAREVO_RECORD_SIZE(TParaSmooth, 464);
MAREVO_RECORD_OFFSET(TParaSmooth, SmoothFloat, 4);
MAREVO_RECORD_OFFSET(TParaSmooth, SmoothInt, 116);
MAREVO_RECORD_OFFSET(TParaSmooth, BlankPara, 228);
MAREVO_RECORD_OFFSET(TParaSmooth, BlankMin, 232);
MAREVO_RECORD_OFFSET(TParaSmooth, BlankMax, 248);
MAREVO_RECORD_OFFSET(TParaSmooth, ValidType, 258);
MAREVO_RECORD_OFFSET(TParaSmooth, ValidMin, 260);
MAREVO_RECORD_OFFSET(TParaSmooth, ValidMax, 264);

// Interpolation settings, held in memory only.
struct alignas(8) TParaInterpol {
    TInterpolType InterpolType;
    std::uint8_t gap1[7];
    TExtended firstValue;
    std::uint8_t gap18[6];
    TExtended lastValue;
    std::uint8_t gap34[6];
    TExtended interval;
    std::uint8_t reserve[206];
};
MAREVO_RECORD_SIZE(TParaInterpol, 256);
MAREVO_RECORD_OFFSET(TParaInterpol, firstValue, 8);
MAREVO_RECORD_OFFSET(TParaInterpol, lastValue, 24);
MAREVO_RECORD_OFFSET(TParaInterpol, interval, 40);
MAREVO_RECORD_OFFSET(TParaInterpol, reserve, 50);

// Plot axis of the parameter.
struct alignas(8) TParaScale {
    TScaleType ScaleType;
    std::uint8_t gap1[7];
    TExtended CurMin;        // current axis minimum (greater than CurMax on a downward axis)
    std::uint8_t gap18[6];
    TExtended CurMax;
    std::uint8_t gap34[6];
    TExtended TrackMin;
    std::uint8_t gap50[6];
    TExtended TrackStep;     // axis step
    TLineType LineType;
    std::uint8_t gap67[1];
    std::int32_t Color;      // 0x00BBGGRR
    TBoolByte ManualDlg;
    TBoolByte bReserve;
    TBoolByte AutoScale;     // automatic scale on
    std::uint8_t gap75[5];
    TExtended AutoMin;
    std::uint8_t gap90[6];
    TExtended AutoMax;
    std::uint8_t gap106[6];
    TExtended eReserve;
    TBoolByte AutoScroll;
    std::uint8_t gap123[5];
    TExtended ScrollExt;     // scroll extent
    std::uint8_t EnableXAutoScale;
    std::uint8_t reserve[205];
};
MAREVO_RECORD_SIZE(TParaScale, 344);
MAREVO_RECORD_OFFSET(TParaScale, CurMin, 8);
MAREVO_RECORD_OFFSET(TParaScale, CurMax, 24);
MAREVO_RECORD_OFFSET(TParaScale, TrackMin, 40);
MAREVO_RECORD_OFFSET(TParaScale, TrackStep, 56);
MAREVO_RECORD_OFFSET(TParaScale, LineType, 66);
MAREVO_RECORD_OFFSET(TParaScale, Color, 68);
MAREVO_RECORD_OFFSET(TParaScale, ManualDlg, 72);
MAREVO_RECORD_OFFSET(TParaScale, AutoScale, 74);
MAREVO_RECORD_OFFSET(TParaScale, AutoMin, 80);
MAREVO_RECORD_OFFSET(TParaScale, AutoMax, 96);
MAREVO_RECORD_OFFSET(TParaScale, eReserve, 112);
MAREVO_RECORD_OFFSET(TParaScale, AutoScroll, 122);
MAREVO_RECORD_OFFSET(TParaScale, ScrollExt, 128);
MAREVO_RECORD_OFFSET(TParaScale, EnableXAutoScale, 138);
MAREVO_RECORD_OFFSET(TParaScale, reserve, 139);

// Reserved: carried and stored as one block.
struct TParaFormat {
    std::uint8_t bytes[301];
};
MAREVO_RECORD_SIZE(TParaFormat, 301);

constexpr int MaxParaListCount = 33;

// An ordered list of up to 33 parameters (plot, value, bottle and export lists of the settings).
struct alignas(4) TParaList {
    std::int32_t count;                      // entries in use
    std::int32_t List[MaxParaListCount];     // parameter numbers
    TBoolByte Avail[MaxParaListCount];       // the parameter exists in the current collection
    std::uint8_t gap169[3];
    // Stored references of the resolved parameters: meaningless in a file, kept as read. The
    // resolved parameters themselves are held beside the list by whoever resolves it.
    std::uint32_t Ptr[MaxParaListCount];
};
MAREVO_RECORD_SIZE(TParaList, 304);
MAREVO_RECORD_OFFSET(TParaList, List, 4);
MAREVO_RECORD_OFFSET(TParaList, Avail, 136);
MAREVO_RECORD_OFFSET(TParaList, Ptr, 172);

#pragma pack(pop)

// Related array types.
using TAFV16 = std::array<TFlaggedValue, MaxLinks>;     // the inputs of a formula
using TLinkPointer = std::array<TParameter*, MaxLinks>; // resolved inputs
// One frame as delivered to the parameters: the frame bytes (fewer than 256) followed by the GPS
// and external values appended to it, addressed by byte offset 0..256.
constexpr int RawBufferSize = 257;
using TRawBuffer = std::array<std::uint8_t, RawBufferSize>;

// Stored sizes of the per-parameter stream records.
constexpr int ParaDefinitionRecordSize = 2752;
constexpr int ParaDisplayRecordSize = 1541;
constexpr int ParaAcquiRecordSize = 728;

} // namespace marevo
