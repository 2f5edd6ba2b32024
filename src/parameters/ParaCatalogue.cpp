#include "parameters/ParaCatalogue.h"

#include "foundation/Runtime.h"
#include "parameters/Parameter.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <iterator>
#include <stdexcept>

namespace marevo {

namespace {

// ---- Number lists ------------------------------------------------------------------------------
// The tables below name their numbers as lists such as "110-241, 701-739, 800": single numbers
// and ranges, a range standing for the catalogue numbers it spans. Each list is checked while the
// catalogue is built at compile time, so a number that is no catalogue entry, or a list that does
// not parse, stops the build instead of going unnoticed.

struct TNumberRange {
    int lo;
    int hi;
};

// Calls fn for each single number or range of the list, in order.
template <class Fn> constexpr void ForEachRange(std::string_view list, Fn fn) {
    std::size_t i = 0;
    auto isDigit = [&] { return i < list.size() && list[i] >= '0' && list[i] <= '9'; };
    auto number = [&] {
        if (!isDigit())
            throw std::logic_error("number list: number expected");
        int value = 0;
        while (isDigit())
            value = value * 10 + (list[i++] - '0');
        return value;
    };
    while (i < list.size()) {
        const int lo = number();
        int hi = lo;
        if (i < list.size() && list[i] == '-') {
            ++i;
            hi = number();
            if (hi <= lo)
                throw std::logic_error("number list: empty range");
        }
        fn(TNumberRange{lo, hi});
        if (i < list.size()) {
            if (list.substr(i, 2) != ", ")
                throw std::logic_error("number list: \", \" expected");
            i += 2;
        }
    }
}

constexpr bool InList(std::string_view list, int number) {
    bool found = false;
    ForEachRange(list,
                 [&](TNumberRange r) { found = found || (r.lo <= number && number <= r.hi); });
    return found;
}

// ---- Colours -----------------------------------------------------------------------------------
// As stored: 0x00BBGGRR.

constexpr std::int32_t clBlack = 0x000000;
constexpr std::int32_t clMaroon = 0x000080;
constexpr std::int32_t clGreen = 0x008000;
constexpr std::int32_t clOlive = 0x008080;
constexpr std::int32_t clNavy = 0x800000;
constexpr std::int32_t clPurple = 0x800080;
constexpr std::int32_t clTeal = 0x808000;
constexpr std::int32_t clGray = 0x808080;
constexpr std::int32_t clRed = 0x0000FF;
constexpr std::int32_t clBlue = 0xFF0000;
constexpr std::int32_t clFuchsia = 0xFF00FF;

// ---- Identity ----------------------------------------------------------------------------------
// Number, IDStr, name, unit and, for a probe channel, the probe's own code. Identifiers keep
// their blanks ("TPG ", "Br  ") and so do the names that end in one ("ECO-CDOM ").

struct TIdentityRow {
    int number;
    std::string_view id;
    std::string_view name;
    std::string_view unit;
    int probeCode = NoProbeCode;
};

constexpr TIdentityRow Identities[] = {
    // Frame fields and the acquisition setting.
    {0, "NONE", "None", ""},
    {1, "SYOF", "Synchro byte", "#", 302},
    {2, "CSUM", "Check sum byte", "#", 303},
    {3, "HDF4", "DF4 header", "", 300},
    {4, "CS16", "Check sum word", "#", 304},
    {5, "HDF5", "DF5 header", "", 310},
    {6, "HDF6", "DF6 header", "", 310},
    {7, "HDF7", "DF7 header", "", 311},
    {52, "SCRT", "Sampling rate", "Hz"},

    // Time base, pressure, probe speed.
    {100, "TIMS", "Time(s)", "s", 301},
    {101, "PRES", "Pressure", "dbar", 0},
    {105, "PSPE", "Probe Speed", "m/s"},

    // Probe sensor channels.
    {110, "TMP1", "Temperature[1]", "°C", 1},
    {111, "TMP2", "Temperature[2]", "°C", 82},
    {112, "TMP3", "Temperature[3]", "°C", 100},
    {120, "CND1", "Conductivity[1]", "mS/cm", 2},
    {121, "CND2", "Conductivity[2]", "mS/cm", 83},
    {122, "CND3", "Conductivity[3]", "mS/cm", 96},
    {130, "OXYR", "Oxygen Raw[1]", "cnt", 239},
    {131, "PHRW", "PH Raw", "cnt", 238},
    {132, "REDO", "Redox", "mV", 8},
    {133, "CO2R", "CO2", "mV", 10},
    {134, "CHL_", "Chl(a)", "ug/L", 11},
    {135, "TRAN", "Transmissometer", "%", 12},
    {136, "CURX", "Tilt-X", "°", 13},
    {137, "CURY", "Tilt-Y", "°", 14},
    {138, "CURC", "Compass", "°", 15},
    {140, "ALT1", "Acoustic altimeter (Raw[1])", "m", 87},
    {141, "VVEL", "V-Vel", "mm/s", 17},
    {142, "HVEL", "H-Vel", "mm/s", 18},
    {143, "HDIR", "H-Dir", "°", 19},
    {145, "SMTS", "Ammonia", "(mV)", 23},
    {146, "TURB", "Turbidity", "FTU", 24},
    {147, "PAR_", "PAR", "umol s-1 m-2", 25},
    {148, "CARW", "Ca", "mV", 26},
    {149, "CURW", "Cu", "mV", 27},
    {150, "CHEL", "Alpha Track", "mV", 28},
    {151, "LSS_", "Scatt.(LSS)", "mV", 29},
    {152, "U412", "UPW_412", "", 30},
    {153, "U443", "UPW_443", "", 31},
    {154, "U490", "UPW_490", "", 32},
    {155, "U510", "UPW_510", "", 33},
    {156, "U555", "UPW_555", "", 34},
    {157, "U670", "UPW_670", "", 35},
    {158, "U683", "UPW_683", "", 36},
    {159, "D412", "DOWNW_412", "", 37},
    {160, "D443", "DOWNW_443", "", 38},
    {161, "D490", "DOWNW_490", "", 39},
    {162, "D510", "DOWNW_510", "", 40},
    {163, "D555", "DOWNW_555", "", 41},
    {164, "D670", "DOWNW_670", "", 42},
    {165, "D683", "DOWNW_683", "", 43},
    {166, "CNDU", "Cond Fresh", "uS/cm", 89},
    {186, "TILX", "Tilt-X(KPX12)", "°", 65},
    {187, "TILY", "Tilt-Y(KPX12)", "°", 66},
    {190, "SNDR", "Sound-Vel Sensor", "m/s", 81},
    {192, "MICM", "Water speed", "mm/s", 74},
    {193, "GAMA", "Gamma Counter", "", 75},
    {194, "PHSE", "pH Sediment", "pH", 76},
    {195, "PHDI", "pH-differential", "pH", 77},
    {197, "REDH", "Eh-H", "mV", 79},
    {198, "OX2R", "Oxygen Raw[2]", "cnt", 88},
    {199, "DPUP", "Depth Upwelling", "dbar", 85},
    {200, "DPDO", "Depth Downwelling", "dbar", 86},
    {201, "QSPR", "QSP2300 RAW", "uE s-1 cm-2", 99},
    {205, "H2SR", "H2S RAW", "cnt", 103},
    {206, "OPC1", "OPC-TRAP[1]", "cnt", 104},
    {207, "OPC2", "OPC-TRAP[2]", "cnt", 105},
    {208, "FLAR", "Flu AutoRange(Raw)", "#", 236},
    {209, "TUAR", "Turb AutoRange(Raw)", "#", 237},
    {210, "RODR", "Rhodamine Auto(Raw)", "#", 235},
    {211, "NITR", "Nitrate", "(mV)", 21},
    {212, "CLOR", "Chloride", "(mV)", 111},
    {213, "Tint", "Temp. int.", "(°C)", 67},
    {216, "FLUO", "Fluoride", "(mV)", 109},
    {217, "IODE", "Iodide", "(mV)", 110},
    {218, "RODA", "Rhodamine", "ug/L", 112},
    {221, "ALT2", "Sea bed contact (Raw[2])", "m", 113},
    {222, "OS3L", "OBS3 Low Range", "(NTU)", 121},
    {223, "OS3H", "OBS3 High Range", "(NTU)", 122},
    {224, "TPG ", "Total Pressure Gas", "Bar", 123},
    {230, "FLRW", "Fluoroscein AutoRange(Raw)", "#", 234},
    {240, "TRB2", "Turb #2", "FTU", 138},
    {241, "TRB3", "Turb #3", "FTU", 139},

    // Computed parameters.
    {399, "CNMS", "Cond mS/cm", "mS/cm"},
    {400, "TIME", "Time", "s"},
    {401, "TEMP", "Temperature", "°C"},
    {402, "TITS", "Temperature ITS90", "°C"},
    {403, "DEPT", "Depth", "m"},
    {404, "SALI", "Salinity", "PSU"},
    {405, "PH__", "PH", "pH"},
    {406, "OXPP", "Oxygen mg/L", "mg/L"},
    {407, "OXPC", "Oxygen %", "%"},
    {408, "QSP2", "PAR QSP sensor", "uE s-1 cm-2"},
    {409, "FLAS", "Fluo-AutoRange", "ug/l"},
    {410, "TUAS", "Turb-AutoRange", "FTU"},
    {411, "OXUN", "Oxygen mg/Kg", "mg/kg"},
    {412, "RODS", "Rhodamine-Auto", "ug/l"},
    {440, "ALTI", "Altimeter", "m"},
    {450, "TDSF", "TDS FW", "g/l"},
    {460, "FLCL", "Fluoroscein AutoRange", "ug/l"},
    {462, "REDX", "Redox std", "mV"},
    {464, "H2S_", "H2S", "mV mg/l"},

    // Bottles.
    {500, "BTNO", "Bottle No", "#"},
    {501, "BTST", "Bottle Status", "#"},

    // Seawater quantities.
    {599, "COND", "Conductivity", "mS/cm"},
    {600, "TETA", "Theta", "°C"},
    {601, "CN20", "Cond@20C", "uS/cm"},
    {602, "CN25", "Cond@25C", "uS/cm"},
    {603, "SNDV", "Sound Velocity", "m/s"},
    {604, "SSig", "In situ Sigma Theta", ""},
    {605, "ALFP", "Alpha P", ""},
    {606, "DENS", "Density", "Kg/m^3"},
    {607, "SSG", "SeaW S.G.", " - "},
    {608, "REST", "Resistivity", "OHM*cm"},
    {609, "SigT", "Sigma T", "kg/m^3"},
    {610, "TDSS", "TDS SW", "g/l"},

    // Auxiliary sensor channels.
    {701, "XP1 ", "Turner-Chla", "ug/l", 201},
    {702, "XP2 ", "Turner-Turb", "FTU", 202},
    {703, "XP3 ", "Analog 03", "mV", 203},
    {704, "XP4 ", "Analog 04", "mV", 204},
    {705, "XP5 ", "Analog 05", "mV", 205},
    {706, "XP6 ", "Analog 06", "mV", 206},
    {707, "XP7 ", "Analog 07", "mV", 207},
    {708, "XP8 ", "Analog 08", "mV", 208},
    {709, "XP9 ", "Analog 09", "mV", 209},
    {710, "XP10", "Analog 10", "mV", 210},
    {711, "Br  ", "Bromide", "mV", 211},
    {712, "Pert", "Phycoerythrin", "ug/l", 212},
    {713, "Pcya", "Phycocyanin", "ug/l", 213},
    {714, "Flus", "Fluoroscein", "ug/l", 214},
    {715, "Chla", "Trx-chl(a) ", "ug/l", 215},
    {716, "Neph", "Trx-Neph", "FTU", 216},
    {717, "Clra", "ECO-Chl(a) ", "ug/l", 114},
    {718, "Cdom", "ECO-CDOM ", "ppb", 115},
    {719, "Sctg", "ECO-SCATT ", "1/m", 116},
    {720, "Pcyn", "ECO-PHYCYA ", "ppb", 117},
    {721, "Prtr", "ECO-PHYERY ", "ppb", 118},
    {722, "Rdmn", "ECO-RHOD ", "ppb", 119},
    {723, "Urnn", "ECO-URAN ", "ppb", 120},
    {724, "OPPC", "Optical O2%", "%", 106},
    {725, "OPPM", "Optical O2ppm", "ppm", 107},
    {726, "CDOM", "CDOM", "ug/l", 217},
    {727, "VX1_", "Vlux F_ConcCorr 1", "QSU", 140},
    {728, "VX2_", "Vlux F_ConcCorr 2", "QSU", 141},
    {729, "VX3_", "Vlux F_ConcCorr 3", "QSU", 142},
    {730, "VX4_", "Vlux Turb", "QSU", 143},
    {731, "VX5_", "Vlux ABS", "QSU", 144},
    {732, "VX6_", "Vlux UV_Ratio 1", "QSU", 145},
    {733, "VX7_", "Vlux UV_Ratio 2", "QSU", 146},
    {734, "VX8_", "Vlux UV_Ratio 3", "QSU", 147},
    {735, "VX9_", "Vlux F_Conc 1", "QSU", 148},
    {736, "VX10", "Vlux F_Conc 2", "QSU", 149},
    {737, "VX11", "Vlux F_Conc 3", "QSU", 150},
    {738, "VX12", "Vlux Data Flag", "QSU", 151},
    {739, "O2", "RIII O2% Raw", "cnt", 152},
    {740, "DO2%", "RIII O2%", "%"},

    // GPS, meteorological and external inputs.
    {800, "LATI", "Latitude", "°"},
    {801, "LONG", "Longitude", "°"},
    {802, "AIRP", "Barometer", "mbar"},
    {803, "WDIR", "Wind direction", "°"},
    {804, "WSPE", "Wind speed", "cm/s"},
    {805, "AIRT", "Air temp.", "°C"},
    {806, "SEAL", "Sea Level", "cm"},
    {807, "PARR", "PAR reference", "uE/cm2/s"},
    {808, "PSTA", "GPS Status", "#"},
    {809, "WNCH", "Winch meter", "m"},
    {810, "WNSP", "Winch speed", "m/min"},

    // Cruise header fields.
    {900, "CRNA", "Cruise name", ""},
    {902, "CRFN", "cruise file name", ""},
    {904, "CRNB", "cruise number", ""},
    {906, "CROP", "cruise operator", ""},
    {908, "CRSD", "cruise start date", ""},
    {910, "CRED", "cruise end date", ""},
    {912, "CRSA", "cruise start latitude", ""},
    {914, "CREA", "cruise end latitude", ""},
    {916, "CRSO", "cruise start longitude", ""},
    {918, "CREO", "cruise end longitude", ""},
    {920, "CRVE", "cruise vessel", ""},
    {922, "CRCO", "cruise comment", ""},
    {924, "CRL1", "cruise Parameter List (line)", ""},
    {926, "CRL2", "cruise Parameter List (Col)", ""},

    // Cast header fields.
    {1000, "HCID", "cast ID", ""},
    {1002, "HCAN", "cast name", ""},
    {1003, "HCFN", "cast file name", ""},
    {1004, "HCNB", "cast number", ""},
    {1005, "HCOP", "cast operator", ""},
    {1006, "HSTI", "cast start time", ""},
    {1008, "HBTI", "cast bottom time", ""},
    {1010, "HETI", "cast end time", ""},
    {1012, "HSLA", "cast start latitude", ""},
    {1014, "HBLA", "cast bottom latitude", ""},
    {1016, "HELA", "cast end latitude", ""},
    {1018, "HSLO", "cast start longitude", ""},
    {1020, "HBLO", "cast bottom longitude", ""},
    {1022, "HELO", "cast end longitude", ""},
    {1024, "HMPR", "cast max pressure", ""},
    {1026, "HMDE", "cast max depth", ""},
    {1028, "HTPR", "cast total pressure", ""},
    {1030, "HTDE", "cast total depth", ""},
    {1032, "HMAL", "cast min altitude", ""},
    {1034, "HVDE", "cast vessel depth", ""},
    {1036, "HRNB", "cast dataset no", ""},
    {1038, "HFER", "cast frame error no", ""},
    {1040, "HPRB", "cast probe type", ""},
    {1042, "HPSN", "cast probe SN", ""},
    {1044, "HCMT", "cast comment", ""},
    {1046, "HSCA", "cast scan rate", ""},
    {1048, "HSTE", "cast step", ""},
    {1050, "HMOD", "cast mode", ""},
};

constexpr std::size_t EntryCount = std::size(Identities);

// ---- Type, decoding and calibration
// -------------------------------------------------------------- A number takes the row that names
// it; a general row gives way to the rows that follow it.

struct TKindRow {
    std::string_view numbers;
    TParaType type;
    TParaConv conv;
    TParaCalibType calib;
    bool general = false;
};

constexpr TKindRow Kinds[] = {
    {"0", Pt_None, ParaConvNone, ParaCalibNone},
    {"1, 2", Pt_Util, ParaConvByte, ParaCalibNone},
    {"3", Pt_Util, ParaConvHDF4, ParaCalibNone},
    {"4", Pt_Util, ParaConvWord, ParaCalibNone},
    {"5", Pt_Util, ParaConvHDF5, ParaCalibNone},
    {"6", Pt_Util, ParaConvHDF6, ParaCalibNone},
    {"7", Pt_Util, ParaConvHDF7, ParaCalibNone},
    {"52", Pt_Acqui, ParaConvNone, ParaCalibNone},
    {"100", Pt_Tims, ParaConvByte, ParaCalibQVLTime},
    {"101", Pt_Raw, ParaConvSingle, ParaCalibPres0},
    {"105", pt_Speed, ParaConvByte, ParaCalibNone},
    {"110-241, 701-739", Pt_Raw, ParaConvSingle, ParacalibPoly5, true},
    {"130, 131, 136, 137, 138, 141, 142, 143, 198, 201, 205, 208, 209, 210, 230, 739", Pt_Raw,
     ParaConvSingle, ParaCalibNone},
    {"166", Pt_Raw, ParaConvSingle, ParaCalibFresh},
    {"222, 223", Pt_Raw, ParaConvSingle, ParacalibPoly3},
    {"717-723", Pt_Raw, ParaConvSingle, ParaCalibWetLab},
    {"399-403, 405, 407-410, 412, 440, 460, 462, 464, 740", Pt_Calc, ParaConvSingle,
     ParacalibPoly5},
    {"404, 406, 411, 450, 599-610", Pt_CWC, ParaConvSingle, ParacalibPoly5},
    {"500, 501", Pt_Bottle, ParaConvSingle, ParaCalibNone},
    {"800-806, 808", Pt_Nmea, ParaConvSingle, ParacalibPoly5},
    {"807, 809", Pt_Ext, ParaConvSingle, ParaCalibNone},
    {"810", pt_WinchSpeed, ParaConvSingle, ParaCalibNone},
    {"900-926", Pt_Cruise, ParaConvNone, ParaCalibNone},
    {"1000-1050", Pt_header, ParaConvNone, ParaCalibNone},
};

// ---- Flags -------------------------------------------------------------------------------------

// Every other entry is a main parameter.
constexpr std::string_view NotMainParameters =
    "1, 2, 3, 4, 5, 6, 7, 110, 111, 112, 120, 121, 122, 130, 131, 133, 140, 198, 208, 209, 210, "
    "221, 230, 399, 701, 702, 703, 704, 705, 706, 707, 708, 709, 710, 711, 712, 713, 714, 715, "
    "716, 717, 718, 719, 720, 721, 722, 723, 724, 725, 726, 727, 728, 729, 730, 731, 732, 733, "
    "734, 735, 736, 737, 738, 739, 740, 809, 810";

// Every other entry shows in the operator's lists.
constexpr std::string_view HiddenParameters =
    "136, 137, 138, 141, 142, 143, 149, 150, 151, 152, 153, 154, 155, 156, 157, 158, 159, 160, "
    "161, 162, 163, 164, 165, 186, 187, 190, 192, 193, 194, 195, 199, 200, 201, 206, 207, 208, "
    "209, 210, 230, 802, 803, 804, 805, 806, 808, 809, 810";

// The time base, pressure and the GPS position are stored unsmoothed; everything else, catalogue
// number or not, starts with the running mean.
constexpr std::string_view UnsmoothedParameters = "100, 101, 800, 801";

// ---- Texts -------------------------------------------------------------------------------------
// The list-box, screen and file/print names equal the name except for these entries.

struct TNamesRow {
    int number;
    std::string_view listBox;
    std::string_view screen;
    std::string_view file;
};

constexpr TNamesRow Names[] = {
    {101, "Pressure", "Pres", "Pressure"},
    {105, "CTD Speed", "CTD Speed", "CTD Speed"},
    {110, "T sensor 1", "Temp(1)", "Temperature sensor 1"},
    {111, "T sensor 2", "Temp(2)", "Temperature sensor 2"},
    {112, "T sensor 3", "Temp(3)", "Temperature sensor 3"},
    {120, "C sensor 1", "Cond(1)", "Conductivity sensor 1"},
    {121, "C sensor 2", "Cond(2)", "Conductivity sensor 2"},
    {122, "C sensor 3", "Cond(3)", "Conductivity sensor 3"},
    {130, "Oxy Raw 1", "Oxy Raw(1)", "Oxygen Raw sensor 1"},
    {131, "pH Raw", "pH Raw", "pH Raw"},
    {132, "Eh", "Eh", "Eh"},
    {133, "CO2", "CO2", "Co2"},
    {134, "Chl(a)", "Chlorophyl", "Chlorophyl"},
    {135, "Transissometer", "Tr%", "Transmissometer"},
    {136, "TiltX", "Tilt X", "Tilt X"},
    {137, "TiltY", "Tilt Y", "Tilt Y"},
    {140, "Alti sensor 1", "Alti Raw(1)", "Altimeter sensor 1"},
    {141, "V-Vel", "Vertical-Vel", "Vertical Velocity"},
    {142, "H-Vel", "Horizantal-Vel", "Horizontal Velocity"},
    {143, "H-Dir", "Horizontal Dir", "Horizontal Direction"},
    {145, "S-Matter", "Suspended Matter", "Suspended Matter"},
    {148, "Ca", "Calcium", "Calcium"},
    {149, "Cu", "Copper", "Copper"},
    {150, "AlphaTracka", "AlphaTracka", "AlphaTracka-(CHELSEA)"},
    {151, "LSS-(SEATECH)", "LSS-(SEATECH)", "LSS-(SEATECH)"},
    {152, "Up-412", "Upwelling 412", "Up-412"},
    {153, "Up-443", "Upwelling 443", "Up-443"},
    {154, "Up-490", "Upwelling 490", "Up-490"},
    {155, "Up-510", "Upwelling 510", "Up-510"},
    {156, "Up-555", "Upwelling 555", "Up-555"},
    {157, "Up-670", "Upwelling 670", "Up-670"},
    {158, "Up-683", "Upwelling 683", "Up-683"},
    {159, "Dw-412", "Downwelling 412", "Dw-412"},
    {160, "Dw-443", "Downwelling 443", "Dw-443"},
    {161, "Dw-490", "Downwelling 490", "Dw-490"},
    {162, "Dw-510", "Downwelling 510", "Dw-510"},
    {163, "Dw-555", "Downwelling 555", "Dw-555"},
    {164, "Dw-670", "Downwelling 670", "Dw-670"},
    {165, "Dw-683", "Downwelling 683", "Dw-683"},
    {166, "CondF", "CondF", "Cond Fresh Water"},
    {186, "KPX12-TiltX", "KPX12-TiltX", "KPX12-TiltX"},
    {187, "KPX12-TiltY", "KPX12-TiltY", "KPX12-TiltY"},
    {190, "S-Vel", "Sound Vel", "Sound Velocity"},
    {192, "uMulinet", "Micro Mulinet", "uMulinet"},
    {194, "PH sediment", "pH Sed", "pH sediment"},
    {195, "PH diff", "pH diff", "pH differential"},
    {198, "Oxy Raw 2", "Oxy Raw(2)", "Oxygen Raw sensor 2"},
    {199, "Depth Upwel", "Depth Upwel.", "Depth Upwelling"},
    {200, "Depth Downw", "Depth Downw", "Depth Downwelling"},
    {201, "Qsp2300 RAW", "Qsp2300 RAW", "Qsp2300 RAW"},
    {208, "Chl(a) AutoRange RAW", "Chl(a) AutoRange RAW", "Fluorometer AutoRange RAW"},
    {209, "Turb.AutoRange RAW", "Turb.AutoRange RAW", "Turbidimeter AutoRange RAW"},
    {210, "Rhodamine.Auto RAW", "Rhodamine.Auto RAW", "Rhodamine.Auto RAW"},
    {221, "Alti sensor 2", "Alti Raw(2)", "Altimeter sensor 2"},
    {224, "TDGP", "TDGP", "Total Pressure Gas"},
    {230, "Fluoroscein AutoRange RAW", "Fluoroscein AutoRange RAW", "Fluoroscein AutoRange RAW"},
    {399, "Cond raw", "Cond raw", "Cond raw"},
    {401, "Temperature", "Temp.", "Temperature"},
    {402, "Temperature ITS_90", "Temp. ITS_90", "Temperature ITS_90"},
    {405, "pH", "pH", "pH"},
    {408, "QPS2300 PAR", "QSP2300 PAR", "QSP2300 PAR"},
    {409, "Chl(a)AutoScale", "Chl(a)AutoScale", "Fluorometer AutoScale"},
    {410, "Turb.AutoScale", "Turb.AutoScale", "Turbidity AutoScale"},
    {411, "Oxygen mg/Kg", "Oxygen mg/kg", "Oxygen mg/Kg"},
    {412, "Rhodamine Auto", "Rhodamine Auto", "Rhodamine Auto"},
    {460, "Fluoroscein AutoScale", "Fluoroscein AutoScale", "Fluoroscein AutoScale"},
    {462, "Eh Std", "Eh Std", "Eh Std"},
    {500, "BottleNo", "BottleNo", "BottleNo"},
    {501, "BOTTLE-Status", "Status", "BOTTLE-Status"},
    {599, "Conductivity", "Cond", "Conductivity"},
    {601, "Conductivity@20C", "Cond@20C", "Conductivity @20°C"},
    {602, "Conductivity@25C", "Cond@25C", "Conductivity @25°C"},
    {603, "Sound Vel", "Sound Vel", "Sound Velocity (calc)"},
    {604, "In situ SigmaT", "In situ SigmaT", "In situ SigmaT"},
    {606, "Density", "Dens", "Density"},
    {607, "SeaW S.G.", "SSG", "SeaW S.G."},
    {608, "Resistivity", "REST", "Resistivity"},
    {609, "SigmaT", "SigmaT", "SigmaT"},
    {800, "Latitude", "Latitude", "GPS Latitude"},
    {801, "Longitude", "Longitude", "GPS Longitude"},
    {802, "Baromoter", "Barometer", "Barometer"},
    {803, "Wind Dir", "Wind Dir", "Wind Direction"},
    {804, "Wind Speed", "Wind Speed", "Wind Speed"},
    {805, "Air Temp", "Air Temp", "Air Temperature"},
    {806, "SeaLevel", "SeaLevel", "SeaLevel"},
    {807, "PAR-Ref", "PAR-Ref", "PAR-Ref"},
    {809, "Winch", "Winch", "Winch"},
    {810, "Winch Sp", "Winch Sp", "Winch Sp"},
    {924, "cruise Parameter List (line)", "Parameter List", "Parameter List"},
    {926, "cruise Parameter List (Col)", "Parameter List", "Parameter List"},
};

// Entries whose unit text and two name copies stay empty although they have a unit and a name.
constexpr std::string_view WithoutUnitText = "137";

// ---- Decimals ----------------------------------------------------------------------------------
// Screen and file/print decimals; the other four uses have none. Every entry is in one row.

struct TDecimalsRow {
    int screen;
    int file;
    std::string_view numbers;
};

constexpr TDecimalsRow Decimals[] = {
    {0, 0,
     "0, 1, 2, 3, 4, 5, 6, 7, 52, 211, 212, 213, 216, 217, 500, 501, 808, 900, 902, 904, 906, "
     "908, 910, 912, 914, 916, 918, 920, 922, 924, 926, 1000, 1002, 1003, 1004, 1005, 1006, 1008, "
     "1010, 1012, 1014, 1016, 1018, 1020, 1022, 1024, 1026, 1028, 1030, 1032, 1034, 1036, 1038, "
     "1040, 1042, 1044, 1046, 1048, 1050"},
    {1, 1,
     "130, 132, 133, 148, 149, 150, 151, 166, 186, 187, 192, 193, 197, 198, 205, 206, 207, 407, "
     "462, 601, 602, 724, 802"},
    {1, 2, "145, 803, 804, 806"},
    {2, 2,
     "105, 199, 200, 208, 209, 210, 222, 223, 230, 403, 406, 409, 411, 440, 460, 464, 711, 712, "
     "713, 714, 715, 716, 717, 718, 720, 721, 722, 723, 725, 726, 727, 728, 729, 730, 731, 732, "
     "733, 734, 735, 736, 737, 738, 739, 740, 809, 810"},
    {2, 3, "101, 134, 143, 146, 218, 240, 241, 410, 412, 805"},
    {2, 4, "135, 136, 137, 138, 141, 142"},
    {3, 3,
     "100, 131, 194, 195, 224, 400, 405, 603, 606, 608, 701, 702, 703, 704, 705, 706, 707, 708, "
     "709, 710"},
    {3, 4, "110, 111, 112, 120, 121, 122, 140, 221, 399, 401, 402, 404, 450, 599, 600, 605"},
    {5, 5, "604, 607, 609, 610, 800, 801"},
    {6, 6,
     "147, 152, 153, 154, 155, 156, 157, 158, 159, 160, 161, 162, 163, 164, 165, 190, 201, 408, "
     "719, 807"},
};

// ---- Limits and plot defaults ------------------------------------------------------------------
// AbsoMin, AbsoMax, MinExt (smallest span of an automatic scale), then the axis CurMin, CurMax,
// TrackStep and its colour. Every entry is in exactly one row of the two tables below or of
// BaseLimits.

struct TLimitsRow {
    std::string_view numbers;
    double absoMin;
    double absoMax;
    double minExt;
    double curMin;
    double curMax;
    double trackStep;
    std::int32_t color;
};

// The principal entries.
constexpr TLimitsRow PrincipalLimits[] = {
    {"100", -10, 10000, 1, 0, 1000, 10, clBlack},
    {"101", -10, 10000, 5, 0, 100, 15, clBlack},
    {"105", -10, 10, -10, -10, 10, 1, clBlack},
    {"110", -5, 100, 0.2, 0, 30, 0.05, clBlue},
    {"111, 112", -5, 100, 0.2, 0, 30, 0.5, clBlue},
    {"120, 121, 122", -1, 2500, 0.2, 0, 60, 2, clGreen},
    {"399", -1, 5000, 0.5, 2, 60, 2, clBlue},
    {"401", -10, 100, 0.2, 0, 30, 1, clBlue},
    {"403", -10, 10000, 5, 200, 0, 10, clBlack}, // runs from 200 down to 0: depth grows downwards
    {"404", -1, 1000, 0.5, 20, 50, 5, clGreen},
    {"405", -10, 20, 0.5, 0, 15, 0.5, clMaroon},
    {"406", -1, 50, 0.5, 0, 50, 0.5, clGray},
    {"407", -1, 500, 2, 0, 120, 1, clGray},
    {"599", -1, 5000, 0.5, 2, 60, 2, clRed},
    {"600", -3, 100, 0.2, 0, 30, 2, clFuchsia},
    {"603", -10, 10000, 50, 800, 1500, 20, clFuchsia},
    {"606", -10, 2000, 0, 0, 2000, 10, clFuchsia},
    {"609", 0, 50, 0.5, 0, 100, 2, clFuchsia},
    {"800", -90, 90, 1, 0, 100, 5, clBlack},
    {"801", -180, 360, 1, 0, 180, 5, clBlack},
};

// The other measured quantities: limits wide enough for any sensor of the kind, an axis spanning
// the values usually met at sea, and the colour of the principal entry of the same kind where
// there is one. Computed entries take the result limits of their formula where it has them
// (464 H2S, 604 sigma, 605 "Alpha P", 608 resistivity).
constexpr TLimitsRow OtherLimits[] = {
    {"52", 0, 100, 1, 0, 50, 5, clBlack},                                     // Hz
    {"400", -10, 10000, 1, 0, 1000, 10, clBlack},                             // s, as 100
    {"402, 213", -10, 100, 0.2, 0, 30, 1, clBlue},                            // degC, as 401
    {"411, 725", -1, 50, 0.5, 0, 50, 0.5, clGray},                            // mg/kg, ppm, as 406
    {"724, 740", -1, 500, 2, 0, 120, 1, clGray},                              // %, as 407
    {"601, 602", -1, 100000, 5, 0, 60000, 1000, clGreen},                     // uS/cm, sea water
    {"166", -1, 100000, 5, 0, 2000, 50, clGreen},                             // uS/cm, fresh water
    {"604", 0, 200, 0.5, 20, 30, 1, clFuchsia},                               // kg/m^3 anomaly
    {"605", -1, 1000, 0.001, 0.9, 1, 0.01, clFuchsia},                        // specific volume
    {"607", 0.9, 1.2, 0.001, 1, 1.03, 0.005, clFuchsia},                      // specific gravity
    {"608", -1, 1000, 1, 0, 100, 10, clRed},                                  // OHM*cm
    {"450", -1, 1000, 0.1, 0, 2, 0.1, clGreen},                               // g/l, fresh water
    {"610", -1, 1000, 0.5, 0, 50, 5, clGreen},                                // g/l, sea water
    {"190", 1300, 1700, 5, 1400, 1600, 10, clFuchsia},                        // m/s
    {"194", 0, 14, 0.5, 0, 14, 1, clMaroon},                                  // pH
    {"195", -14, 14, 0.5, -2, 2, 0.5, clMaroon},                              // pH difference
    {"199, 200", -10, 10000, 5, 0, 100, 10, clBlack},                         // dbar, as 101
    {"140, 221, 440", -1, 300, 1, 0, 100, 5, clNavy},                         // m above the sea bed
    {"135", -10, 110, 5, 0, 100, 10, clNavy},                                 // % transmission
    {"136, 137, 186, 187", -90, 90, 1, -90, 90, 10, clBlack},                 // deg of tilt
    {"138, 143, 803", 0, 360, 10, 0, 360, 30, clBlack},                       // deg of bearing
    {"141, 142, 192", -5000, 5000, 10, -1000, 1000, 100, clBlack},            // mm/s
    {"134, 409, 701, 715, 717", -1, 1000, 0.5, 0, 50, 1, clGreen},            // chlorophyll ug/l
    {"218, 412, 460, 712, 713, 714", -1, 1000, 0.5, 0, 50, 1, clPurple},      // other pigments ug/l
    {"718, 720, 721, 722, 723, 726", -1, 1000, 0.5, 0, 100, 5, clPurple},     // ppb, CDOM ug/l
    {"719", 0, 10, 0.0001, 0, 0.01, 0.001, clNavy},                           // backscattering 1/m
    {"146, 222, 240, 241, 410, 702, 716", -1, 4000, 0.5, 0, 100, 5, clOlive}, // FTU, NTU
    {"223", -1, 4000, 5, 0, 1000, 50, clOlive},                               // NTU, high range
    {"464", -5, 100, 1, 0, 100, 5, clOlive},                                  // H2S
    {"147, 201, 408, 807", 0, 5000, 1, 0, 2500, 100, clOlive},                // PAR
    {"152-165", 0, 5000, 20, 0, 5000, 20, clTeal},                            // radiometers
    {"132, 197, 462", -1000, 1000, 10, -500, 500, 50, clOlive},               // redox mV
    // Ion-selective electrodes, mV.
    {"145, 148, 149, 211, 212, 216, 217, 711", -1000, 1000, 10, -500, 500, 50, clPurple},
    {"133", 0, 5000, 10, 0, 5000, 100, clTeal},                     // mV
    {"150, 151", 0, 5000, 10, 0, 5000, 100, clNavy},                // mV
    {"703-710", -5000, 5000, 10, 0, 5000, 100, clBlack},            // analogue inputs, mV
    {"130, 198, 739", 0, 100000, 100, 0, 70000, 1000, clGray},      // oxygen counts
    {"131", 0, 100000, 100, 0, 70000, 1000, clMaroon},              // pH counts
    {"205", 0, 100000, 100, 0, 70000, 1000, clOlive},               // H2S counts
    {"208, 209, 210, 230", 0, 100000, 100, 0, 70000, 1000, clTeal}, // auto-range counts
    {"193, 206, 207", 0, 100000, 10, 0, 1000, 50, clBlack},         // particle counts
    {"224", 0, 10, 0.1, 0, 2, 0.1, clBlack},                        // bar
    {"727-737", -1, 10000, 1, 0, 1000, 50, clTeal},                 // QSU
    {"738", 0, 65535, 1, 0, 100, 10, clBlack},                      // flag word
    {"500", 0, 100, 1, 0, 24, 1, clBlack},                          // bottle number
    {"501, 808", 0, 10, 1, 0, 10, 1, clBlack},                      // status codes
    {"802", 800, 1100, 5, 950, 1050, 10, clBlack},                  // mbar
    {"804", 0, 10000, 10, 0, 2000, 100, clBlack},                   // cm/s
    {"805", -50, 60, 0.2, -10, 40, 5, clRed},                       // degC of air
    {"806", -1000, 1000, 10, -200, 200, 20, clNavy},                // cm
    {"809", -10, 10000, 5, 0, 1000, 50, clBlack},                   // m of cable
    {"810", -200, 200, 1, -100, 100, 10, clBlack},                  // m/min
};

// ---- Coefficient names -------------------------------------------------------------------------
// Names replacing the default "A" ... "E" and empty, from index first on.

struct TCoefNamesRow {
    std::string_view numbers;
    int first;
    std::array<std::string_view, 5> names;
};

constexpr TCoefNamesRow CoefNames[] = {
    {"101", 7, {"Offset", "Tcomp", "Toffset", "TSlope"}},
    {"120, 121, 122, 166", 5, {"ALPHA", "T0", "BETA"}},
    {"147", 0, {"Offset", "Slope", "C", "D", "E"}},
    {"739", 5, {"F", "Offset", "Slope", "CnvFactor", "Membr.type"}},
    {"807", 0, {"Offset", "Scale Fac", "Multiplier", "D", "E"}},
    {"809", 0, {"Offset", "Scale Fac", "C", "D", "E"}},
};

// ---- Inputs of computed parameters -------------------------------------------------------------
// Input numbers in the order the formula takes them, LinkNb, CalibLink (0: none).

struct TLinksRow {
    int number;
    std::array<std::int32_t, MaxLinks> links;
    std::int32_t linkNb;
    std::int32_t calibLink;
};

constexpr TLinksRow Links[] = {
    {399, {120}, 1, 0},
    {400, {100}, 1, 0},
    {401, {110}, 1, 0},
    {402, {110}, 1, 0},
    {403, {101}, 1, 0},
    {404, {101, 401, 399}, 3, 0},
    {405, {131, 101, 401}, 3, 131},
    {406, {407, 401, 404}, 3, 0},
    {407, {130, 101, 401}, 3, 130},
    {408, {201}, 1, 201},
    {409, {208}, 1, 208},
    {410, {209}, 1, 209},
    {411, {407, 401, 404}, 3, 0},
    {412, {210}, 1, 210},
    {440, {140}, 1, 0},
    {450, {399}, 1, 0},
    {460, {230}, 1, 230},
    {462, {132, 401}, 2, 0},
    {464, {205, 401}, 2, 205},
    {599, {399}, 1, 0},
    {600, {101, 401, 404}, 3, 0},
    {601, {399, 401}, 2, 0},
    {602, {399, 401}, 2, 0},
    {603, {101, 401, 404}, 3, 0},
    {604, {101, 401, 404}, 3, 0},
    {605, {101, 401, 404}, 3, 0},
    {606, {609}, 1, 0},
    {607, {609}, 1, 0},
    {608, {599}, 1, 0},
    {609, {401, 404}, 2, 0},
    {610, {404, 609}, 2, 0},
    {740, {739, 101, 401}, 3, 739},
};

// ---- Default collection ------------------------------------------------------------------------

constexpr int NotInCatalogue = 426; // kept in the sequence as a "New" parameter

constexpr int Sequence[] = {
    0,    1,    2,    4,    3,    5,    6,    7,    52,   100,  105,  724,  725,  101,  110,  111,
    112,  120,  121,  122,  130,  131,  132,  133,  134,  218,  135,  136,  137,  138,  140,  141,
    142,  143,  145,  211,  212,  216,  217,  146,  240,  241,  147,  148,  149,  150,  151,  152,
    153,  154,  155,  156,  157,  158,  159,  160,  161,  162,  163,  164,  165,  166,  186,  187,
    190,  192,  193,  194,  195,  197,  198,  199,  200,  201,  205,  206,  207,  208,  209,  210,
    221,  213,  222,  223,  224,  230,  400,  401,  402,  399,  599,  403,  426,  404,  405,  407,
    408,  409,  410,  412,  440,  450,  608,  460,  462,  464,  500,  501,  406,  411,  600,  601,
    602,  603,  604,  609,  610,  605,  701,  702,  703,  704,  705,  706,  707,  708,  709,  710,
    711,  712,  713,  714,  715,  727,  728,  729,  730,  731,  732,  733,  734,  735,  736,  737,
    738,  739,  740,  716,  717,  718,  719,  720,  721,  722,  723,  726,  800,  801,  802,  803,
    804,  805,  806,  808,  807,  809,  810,  900,  902,  904,  906,  908,  910,  912,  914,  916,
    918,  920,  922,  924,  926,  1003, 1000, 1002, 1004, 1005, 1006, 1008, 1010, 1012, 1014, 1016,
    1018, 1020, 1022, 1024, 1026, 1028, 1030, 1032, 1034, 1036, 1038, 1040, 1042, 1044, 1046, 1048,
    1050, 606,  607,
};

// ---- Base defaults -----------------------------------------------------------------------------
// What every parameter starts from, catalogue number or not.

// Also the limits of the catalogue's frame fields and header texts, which have no quantity to
// bound or plot.
constexpr TLimitsRow BaseLimits = {"0-7, 900-926, 1000-1050", -10, 10000, 1, 0, 1000, 10, clBlack};
constexpr std::string_view BaseCoefNames[] = {"A", "B", "C", "D", "E"};
constexpr std::string_view BaseIDStr = "NEW_";
constexpr std::string_view BaseName = "New";

// ---- Assembly ----------------------------------------------------------------------------------
// The entries are put together from the tables above at compile time. Every check below throws,
// which makes a slip in a table a build error.

using TCatalogue = std::array<TCatalogueEntry, EntryCount>;

constexpr int IndexOf(const TCatalogue& catalogue, int number) {
    for (std::size_t k = 0; k < catalogue.size(); ++k)
        if (catalogue[k].Number == number)
            return static_cast<int>(k);
    return -1;
}

// Calls fn(index) for each entry the list names. A single number, or the end of a range, that
// is no catalogue number is a slip in the table.
template <class Fn>
constexpr void ForEachEntry(const TCatalogue& catalogue, std::string_view list, Fn fn) {
    ForEachRange(list, [&](TNumberRange r) {
        if (IndexOf(catalogue, r.lo) < 0 || IndexOf(catalogue, r.hi) < 0)
            throw std::logic_error("table names a number outside the catalogue");
        for (std::size_t k = 0; k < catalogue.size(); ++k)
            if (r.lo <= catalogue[k].Number && catalogue[k].Number <= r.hi)
                fn(k);
    });
}

// Every character of the catalogue's texts is one Windows-1252 byte: count UTF-8 lead bytes.
constexpr void CheckFits(std::string_view utf8, std::size_t capacity) {
    std::size_t length = 0;
    for (const char c : utf8)
        length += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    if (length > capacity)
        throw std::logic_error("text longer than its record field");
}

constexpr void SetLimits(TCatalogueEntry& e, const TLimitsRow& row) {
    e.AbsoMin = row.absoMin;
    e.AbsoMax = row.absoMax;
    e.MinExt = row.minExt;
    e.CurMin = row.curMin;
    e.CurMax = row.curMax;
    e.TrackStep = row.trackStep;
    e.Color = row.color;
}

constexpr TCatalogue BuildCatalogue() {
    TCatalogue catalogue{};
    for (std::size_t k = 0; k < EntryCount; ++k) {
        const TIdentityRow& row = Identities[k];
        if (k > 0 && row.number <= Identities[k - 1].number)
            throw std::logic_error("identities out of order");
        TCatalogueEntry& e = catalogue[k];
        e.Number = row.number;
        e.IDStr = row.id;
        e.Name = row.name;
        e.Unit = row.unit;
        e.ProbeCode = row.probeCode;
        e.ParaStr[txt_Unit] = row.unit;
        for (int use = txt_ListBox; use < 6; ++use)
            e.ParaStr[use] = row.name;
        std::copy(std::begin(BaseCoefNames), std::end(BaseCoefNames), e.CalibStr.begin());
    }

    // General rows first, so that the rows naming exceptions win whatever the table order.
    std::array<int, EntryCount> kinds{};
    for (const bool general : {true, false})
        for (const TKindRow& row : Kinds)
            if (row.general == general)
                ForEachEntry(catalogue, row.numbers, [&](std::size_t k) {
                    if (!general && ++kinds[k] > 1)
                        throw std::logic_error("entry in two type rows");
                    catalogue[k].ParaType = row.type;
                    catalogue[k].ConvType = row.conv;
                    catalogue[k].CalibType = row.calib;
                });
    for (const TCatalogueEntry& e : catalogue)
        if (e.Number != 0 && e.ParaType == Pt_None)
            throw std::logic_error("entry without a type row");

    ForEachEntry(catalogue, NotMainParameters,
                 [&](std::size_t k) { catalogue[k].MainPara = false; });
    ForEachEntry(catalogue, HiddenParameters, [&](std::size_t k) { catalogue[k].Hidden = true; });

    for (const TNamesRow& row : Names) {
        const int k = IndexOf(catalogue, row.number);
        if (k < 0)
            throw std::logic_error("names for a number outside the catalogue");
        catalogue[k].ParaStr[txt_ListBox] = row.listBox;
        catalogue[k].ParaStr[txt_Screen] = row.screen;
        catalogue[k].ParaStr[txt_File] = row.file;
    }
    ForEachEntry(catalogue, WithoutUnitText, [&](std::size_t k) {
        catalogue[k].ParaStr[txt_Unit] = {};
        catalogue[k].ParaStr[4] = {};
        catalogue[k].ParaStr[5] = {};
    });

    std::array<int, EntryCount> decimals{};
    for (const TDecimalsRow& row : Decimals)
        ForEachEntry(catalogue, row.numbers, [&](std::size_t k) {
            ++decimals[k];
            catalogue[k].Decimal[txt_Screen] = row.screen;
            catalogue[k].Decimal[txt_File] = row.file;
        });

    std::array<int, EntryCount> limits{};
    auto applyLimits = [&](const TLimitsRow& row) {
        ForEachEntry(catalogue, row.numbers, [&](std::size_t k) {
            ++limits[k];
            SetLimits(catalogue[k], row);
        });
    };
    for (const TLimitsRow& row : PrincipalLimits)
        applyLimits(row);
    for (const TLimitsRow& row : OtherLimits)
        applyLimits(row);
    applyLimits(BaseLimits);

    for (std::size_t k = 0; k < EntryCount; ++k)
        if (decimals[k] != 1 || limits[k] != 1)
            throw std::logic_error("entry not in exactly one decimals and one limits row");

    for (const TCoefNamesRow& row : CoefNames)
        ForEachEntry(catalogue, row.numbers, [&](std::size_t k) {
            for (std::size_t i = 0; i < row.names.size() && !row.names[i].empty(); ++i)
                catalogue[k].CalibStr[row.first + i] = row.names[i];
        });

    for (const TLinksRow& row : Links) {
        const int k = IndexOf(catalogue, row.number);
        if (k < 0 || (row.calibLink != 0 && IndexOf(catalogue, row.calibLink) < 0))
            throw std::logic_error("links of or to a number outside the catalogue");
        int used = 0;
        for (const std::int32_t link : row.links) {
            if (link != 0 && IndexOf(catalogue, link) < 0)
                throw std::logic_error("link to a number outside the catalogue");
            used += link != 0;
        }
        if (used != row.linkNb)
            throw std::logic_error("LinkNb differs from the links listed");
        catalogue[k].ParaLink = row.links;
        catalogue[k].LinkNb = row.linkNb;
        catalogue[k].CalibLink = row.calibLink;
    }

    for (const TCatalogueEntry& e : catalogue) {
        CheckFits(e.IDStr, 4);
        CheckFits(e.Name, 30);
        CheckFits(e.Unit, 30);
        for (const std::string_view text : e.ParaStr)
            CheckFits(text, 30);
        for (const std::string_view name : e.CalibStr)
            CheckFits(name, 10);
    }
    return catalogue;
}

constexpr TCatalogue Catalogue = BuildCatalogue();
static_assert(Catalogue.size() == 210);

// The default sequence holds every catalogue number once, and 426.
constexpr bool SequenceIsComplete() {
    std::array<int, EntryCount> seen{};
    int outside = 0;
    for (const int number : Sequence) {
        const int k = IndexOf(Catalogue, number);
        if (k >= 0)
            ++seen[k];
        else if (number == NotInCatalogue)
            ++outside;
        else
            return false;
    }
    return outside == 1 && std::all_of(seen.begin(), seen.end(), [](int n) { return n == 1; });
}
static_assert(std::size(Sequence) == 211 && SequenceIsComplete());

TExtended Ext(double value) {
    return TExtended::FromDouble(value);
}

// The base definition, written whatever the number. The texts and the format are left as they
// are.
void SetBaseDefaults(TParameter& p, std::int32_t number) {
    TParaGeneral& general = p.ParaGeneral;
    std::memset(&general, 0, sizeof general);
    general.ParaNb = number;
    general.IDStr.Set(BaseIDStr);
    general.OrigName.Set(BaseName);
    general.AbsoMin = Ext(BaseLimits.absoMin);
    general.AbsoMax = Ext(BaseLimits.absoMax);
    general.MinExt = Ext(BaseLimits.minExt);
    general.MainPara = true;
    for (std::size_t i = 0; i < std::size(BaseCoefNames); ++i)
        general.CalibStr[i].Set(BaseCoefNames[i]);

    TParaRaw& raw = p.paraRaw;
    std::memset(&raw, 0, sizeof raw);
    raw.PrbCross[0] = NoProbeCode;
    raw.ParaType = Pt_Raw;
    raw.ConvType = ParaConvSingle;
    raw.CalibType = ParacalibPoly5;

    TParaCalib& calib = p.ParaCalib;
    std::memset(&calib, 0, sizeof calib);
    calib.calib[1] = Ext(1);
    calib.DateStandard = Clock().Now();
    calib.DateSensor = calib.DateStandard;

    // No links, FunctionType Polynomial, FuncIndex 0.
    std::memset(&p.ParaFunction, 0, sizeof p.ParaFunction);

    TParaSmooth& smooth = p.ParaSmooth;
    std::memset(&smooth, 0, sizeof smooth);
    smooth.SmoothType = DefaultSmoothType(number);
    smooth.FilterLength(Smo_Mean) = 10;      // samples
    smooth.FilterLength(Smo_LP1stOrder) = 4; // cut-off period factor
    smooth.BlankMin = Ext(-1);
    smooth.BlankMax = Ext(1'000'000);
    smooth.ValidType = NoValidate;
    smooth.ValidMin = 0;
    smooth.ValidMax = 100;

    TParaInterpol& interpol = p.ParaInterpol;
    std::memset(&interpol, 0, sizeof interpol);
    interpol.firstValue = Ext(0);
    interpol.lastValue = Ext(1'000'000);
    interpol.interval = Ext(1);

    TParaScale& scale = p.ParaScale;
    std::memset(&scale, 0, sizeof scale);
    scale.ScaleType = st_Linear;
    scale.CurMin = Ext(BaseLimits.curMin);
    scale.CurMax = Ext(BaseLimits.curMax);
    scale.TrackMin = Ext(0);
    scale.TrackStep = Ext(BaseLimits.trackStep);
    scale.LineType = LinePlain;
    scale.Color = BaseLimits.color;
    scale.AutoMin = Ext(0);
    scale.AutoMax = Ext(100);
    scale.ScrollExt = Ext(100);
}

// A catalogue entry over the base definition: identity, texts, decimals, limits, axis,
// coefficient names and links.
void SetCatalogueDefinition(TParameter& p, const TCatalogueEntry& e) {
    TParaGeneral& general = p.ParaGeneral;
    general.IDStr.Set(e.IDStr);
    general.OrigName.Set(e.Name);
    general.OrigUnit.Set(e.Unit);
    general.MainPara = e.MainPara;
    general.Hidden = e.Hidden;
    general.AbsoMin = Ext(e.AbsoMin);
    general.AbsoMax = Ext(e.AbsoMax);
    general.MinExt = Ext(e.MinExt);
    for (std::size_t i = 0; i < e.CalibStr.size(); ++i)
        general.CalibStr[i].Set(e.CalibStr[i]);

    p.paraRaw.PrbCross[0] = e.ProbeCode;
    p.paraRaw.ParaType = e.ParaType;
    p.paraRaw.ConvType = e.ConvType;
    p.paraRaw.CalibType = e.CalibType;

    // All six texts and decimals come from the entry, so that none of a previous definition
    // stays behind, not even the empty unit text and name copies of 137.
    for (std::size_t use = 0; use < e.ParaStr.size(); ++use) {
        p.ParaText.ParaStr[use].Set(e.ParaStr[use]);
        p.ParaText.Decimal[use] = e.Decimal[use];
    }

    p.ParaScale.CurMin = Ext(e.CurMin);
    p.ParaScale.CurMax = Ext(e.CurMax);
    p.ParaScale.TrackStep = Ext(e.TrackStep);
    p.ParaScale.Color = e.Color;

    std::copy(e.ParaLink.begin(), e.ParaLink.end(), std::begin(p.ParaFunction.ParaLink));
    p.ParaFunction.LinkNb = e.LinkNb;
    p.ParaFunction.CalibLink = e.CalibLink;
}

} // namespace

const TCatalogueEntry* FindCatalogueEntry(int number) {
    const auto it =
        std::lower_bound(Catalogue.begin(), Catalogue.end(), number,
                         [](const TCatalogueEntry& e, int wanted) { return e.Number < wanted; });
    return it != Catalogue.end() && it->Number == number ? &*it : nullptr;
}

int CatalogueSize() {
    return static_cast<int>(Catalogue.size());
}

std::span<const TCatalogueEntry> CatalogueEntries() {
    return Catalogue;
}

const std::vector<int>& DefaultParaSequence() {
    static const std::vector<int> sequence(std::begin(Sequence), std::end(Sequence));
    return sequence;
}

TSmoothType DefaultSmoothType(int number) {
    return InList(UnsmoothedParameters, number) ? Smo_None : Smo_Mean;
}

void TParameter::SetDefPara(std::int32_t ParaIndex) {
    SetBaseDefaults(*this, ParaIndex);
    // A number outside the catalogue keeps the base definition, and its texts stay as they were.
    if (const TCatalogueEntry* entry = FindCatalogueEntry(ParaIndex))
        SetCatalogueDefinition(*this, *entry);
}

} // namespace marevo
