#include "parameters/ParaCatalogue.h"

#include "parameters/ParaNames.h"
#include "parameters/Parameter.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace marevo {
namespace {

class ParaCatalogueTest : public ::testing::Test {
protected:
    test::TTestEnv env;
};

double Value(const TExtended& e) {
    return e.ToDouble();
}

template <class T> bool SameBytes(const T& a, const T& b) {
    return std::memcmp(&a, &b, sizeof(T)) == 0;
}

template <class T> bool AllBytesAre(const T& record, std::uint8_t byte) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(&record);
    return std::all_of(p, p + sizeof(T), [&](std::uint8_t b) { return b == byte; });
}

// Fills every record SetDefPara may touch, gaps and reserved areas included.
void Scribble(TParameter& p, std::uint8_t byte) {
    std::memset(&p.ParaGeneral, byte, sizeof p.ParaGeneral);
    std::memset(&p.ParaScale, byte, sizeof p.ParaScale);
    std::memset(&p.ParaSmooth, byte, sizeof p.ParaSmooth);
    std::memset(&p.ParaText, byte, sizeof p.ParaText);
    std::memset(&p.paraRaw, byte, sizeof p.paraRaw);
    std::memset(&p.ParaCalib, byte, sizeof p.ParaCalib);
    std::memset(&p.ParaFunction, byte, sizeof p.ParaFunction);
    std::memset(&p.ParaFormat, byte, sizeof p.ParaFormat);
    std::memset(&p.ParaInterpol, byte, sizeof p.ParaInterpol);
}

// The records SetDefPara rebuilds whatever the number, byte for byte.
void ExpectSameDefinitionRecords(const TParameter& a, const TParameter& b, int number) {
    EXPECT_TRUE(SameBytes(a.ParaGeneral, b.ParaGeneral)) << number;
    EXPECT_TRUE(SameBytes(a.ParaScale, b.ParaScale)) << number;
    EXPECT_TRUE(SameBytes(a.ParaSmooth, b.ParaSmooth)) << number;
    EXPECT_TRUE(SameBytes(a.paraRaw, b.paraRaw)) << number;
    EXPECT_TRUE(SameBytes(a.ParaCalib, b.ParaCalib)) << number;
    EXPECT_TRUE(SameBytes(a.ParaFunction, b.ParaFunction)) << number;
    EXPECT_TRUE(SameBytes(a.ParaInterpol, b.ParaInterpol)) << number;
}

// The six texts and six decimals of a catalogue entry as they should read.
void ExpectSameTexts(const TParameter& a, const TParameter& b, int number) {
    for (int use = 0; use < 6; ++use) {
        EXPECT_EQ(a.ParaText.ParaStr[use].Get(), b.ParaText.ParaStr[use].Get())
            << number << " text " << use;
        EXPECT_EQ(a.ParaText.Decimal[use], b.ParaText.Decimal[use]) << number << " decimal " << use;
    }
}

std::vector<std::string> CoefNames(const TParameter& p) {
    std::vector<std::string> names;
    for (const auto& name : p.ParaGeneral.CalibStr)
        names.push_back(name.Get());
    return names;
}

std::vector<std::int32_t> Links(const TParameter& p) {
    return {std::begin(p.ParaFunction.ParaLink), std::end(p.ParaFunction.ParaLink)};
}

// ---- The catalogue and the default sequence ---------------------------------------------------

TEST_F(ParaCatalogueTest, CatalogueHoldsItsNumbersInAscendingOrder) {
    EXPECT_EQ(CatalogueSize(), 210);
    const auto entries = CatalogueEntries();
    ASSERT_EQ(entries.size(), 210u);
    EXPECT_TRUE(std::is_sorted(entries.begin(), entries.end(),
                               [](const auto& a, const auto& b) { return a.Number < b.Number; }));
    for (const TCatalogueEntry& e : entries)
        EXPECT_EQ(FindCatalogueEntry(e.Number), &e) << e.Number;

    for (const int outside : {-1, 8, 51, 99, 102, 139, 426, 901, 927, 1001, 1051, 99999})
        EXPECT_EQ(FindCatalogueEntry(outside), nullptr) << outside;
}

TEST_F(ParaCatalogueTest, DefaultSequenceHoldsEveryCatalogueNumberOnceAnd426) {
    const std::vector<int>& sequence = DefaultParaSequence();
    ASSERT_EQ(sequence.size(), 211u);
    std::map<int, int> seen;
    for (const int number : sequence) {
        ++seen[number];
        if (number != 426) {
            EXPECT_NE(FindCatalogueEntry(number), nullptr) << number;
        }
    }
    EXPECT_EQ(FindCatalogueEntry(426), nullptr);
    EXPECT_EQ(seen[426], 1);
    for (const TCatalogueEntry& e : CatalogueEntries())
        EXPECT_EQ(seen[e.Number], 1) << e.Number;
}

TEST_F(ParaCatalogueTest, DefaultSequenceStartsAndEndsAsTheCollectionDoes) {
    const std::vector<int>& sequence = DefaultParaSequence();
    struct TCase {
        std::size_t position; // 1-based
        int number;
        const char* name;
    };
    const TCase cases[] = {
        {1, 0, "None"},        {2, 1, "Synchro byte"}, {10, 100, "Time(s)"},    {93, 426, "New"},
        {14, 101, "Pressure"}, {210, 606, "Density"},  {211, 607, "SeaW S.G."},
    };
    for (const TCase& c : cases) {
        ASSERT_EQ(sequence.at(c.position - 1), c.number) << c.position;
        TParameter p;
        p.SetDefPara(c.number);
        EXPECT_EQ(p.ParaGeneral.OrigName.Get(), c.name) << c.number;
    }
}

// The cast collection adds a computed parameter only when its inputs are already there, in the
// default collection's order.
TEST_F(ParaCatalogueTest, InputsOfComputedParametersComeBeforeThemInTheSequence) {
    const std::vector<int>& sequence = DefaultParaSequence();
    auto position = [&](int number) {
        return std::find(sequence.begin(), sequence.end(), number) - sequence.begin();
    };
    int computed = 0;
    for (const TCatalogueEntry& e : CatalogueEntries()) {
        if (e.LinkNb == 0)
            continue;
        ++computed;
        for (int i = 0; i < e.LinkNb; ++i) {
            ASSERT_NE(FindCatalogueEntry(e.ParaLink[i]), nullptr) << e.Number;
            EXPECT_LT(position(e.ParaLink[i]), position(e.Number)) << e.Number;
        }
        for (int i = e.LinkNb; i < MaxLinks; ++i)
            EXPECT_EQ(e.ParaLink[i], 0) << e.Number;
    }
    EXPECT_EQ(computed, 32);
}

// ---- Identity
// ------------------------------------------------------------------------------------

TEST_F(ParaCatalogueTest, SetDefParaGivesTheIdentityOfTheEntry) {
    struct TCase {
        int number;
        const char* id;
        const char* name;
        const char* unit;
        int probe;
        TParaType type;
        TParaConv conv;
        TParaCalibType calib;
    };
    const TCase cases[] = {
        {0, "NONE", "None", "", 999, Pt_None, ParaConvNone, ParaCalibNone},
        {3, "HDF4", "DF4 header", "", 300, Pt_Util, ParaConvHDF4, ParaCalibNone},
        {52, "SCRT", "Sampling rate", "Hz", 999, Pt_Acqui, ParaConvNone, ParaCalibNone},
        {100, "TIMS", "Time(s)", "s", 301, Pt_Tims, ParaConvByte, ParaCalibQVLTime},
        {101, "PRES", "Pressure", "dbar", 0, Pt_Raw, ParaConvSingle, ParaCalibPres0},
        {105, "PSPE", "Probe Speed", "m/s", 999, pt_Speed, ParaConvByte, ParaCalibNone},
        {110, "TMP1", "Temperature[1]", "\u00B0C", 1, Pt_Raw, ParaConvSingle, ParacalibPoly5},
        {137, "CURY", "Tilt-Y", "\u00B0", 14, Pt_Raw, ParaConvSingle, ParaCalibNone},
        {145, "SMTS", "Ammonia", "(mV)", 23, Pt_Raw, ParaConvSingle, ParacalibPoly5},
        {152, "U412", "UPW_412", "", 30, Pt_Raw, ParaConvSingle, ParacalibPoly5},
        {213, "Tint", "Temp. int.", "(\u00B0C)", 67, Pt_Raw, ParaConvSingle, ParacalibPoly5},
        {224, "TPG ", "Total Pressure Gas", "Bar", 123, Pt_Raw, ParaConvSingle, ParacalibPoly5},
        {404, "SALI", "Salinity", "PSU", 999, Pt_CWC, ParaConvSingle, ParacalibPoly5},
        {464, "H2S_", "H2S", "mV mg/l", 999, Pt_Calc, ParaConvSingle, ParacalibPoly5},
        {604, "SSig", "In situ Sigma Theta", "", 999, Pt_CWC, ParaConvSingle, ParacalibPoly5},
        {607, "SSG", "SeaW S.G.", " - ", 999, Pt_CWC, ParaConvSingle, ParacalibPoly5},
        {609, "SigT", "Sigma T", "kg/m^3", 999, Pt_CWC, ParaConvSingle, ParacalibPoly5}, // sigma-t: S, T, 0 dbar
        {701, "XP1 ", "Turner-Chla", "ug/l", 201, Pt_Raw, ParaConvSingle, ParacalibPoly5},
        {711, "Br  ", "Bromide", "mV", 211, Pt_Raw, ParaConvSingle, ParacalibPoly5},
        {715, "Chla", "Trx-chl(a) ", "ug/l", 215, Pt_Raw, ParaConvSingle, ParacalibPoly5},
        {718, "Cdom", "ECO-CDOM ", "ppb", 115, Pt_Raw, ParaConvSingle, ParaCalibWetLab},
        {739, "O2", "RIII O2% Raw", "cnt", 152, Pt_Raw, ParaConvSingle, ParaCalibNone},
        {740, "DO2%", "RIII O2%", "%", 999, Pt_Calc, ParaConvSingle, ParacalibPoly5},
        {807, "PARR", "PAR reference", "uE/cm2/s", 999, Pt_Ext, ParaConvSingle, ParaCalibNone},
        {810, "WNSP", "Winch speed", "m/min", 999, pt_WinchSpeed, ParaConvSingle, ParaCalibNone},
        {926, "CRL2", "cruise Parameter List (Col)", "", 999, Pt_Cruise, ParaConvNone,
         ParaCalibNone},
        {1003, "HCFN", "cast file name", "", 999, Pt_header, ParaConvNone, ParaCalibNone},
        {1050, "HMOD", "cast mode", "", 999, Pt_header, ParaConvNone, ParaCalibNone},
    };
    for (const TCase& c : cases) {
        TParameter p;
        p.SetDefPara(c.number);
        EXPECT_EQ(p.GetParaNb(), c.number);
        EXPECT_EQ(p.ParaGeneral.IDStr.Get(), c.id) << c.number;
        EXPECT_EQ(p.ParaGeneral.OrigName.Get(), c.name) << c.number;
        EXPECT_EQ(p.ParaGeneral.OrigUnit.Get(), c.unit) << c.number;
        EXPECT_EQ(p.getQVLParaNb(), c.probe) << c.number;
        EXPECT_EQ(ParaTypeName(p.paraRaw.ParaType), ParaTypeName(c.type)) << c.number;
        EXPECT_EQ(ParaConvName(p.paraRaw.ConvType), ParaConvName(c.conv)) << c.number;
        EXPECT_EQ(ParaCalibTypeName(p.paraRaw.CalibType), ParaCalibTypeName(c.calib)) << c.number;
        for (int i = 1; i < 8; ++i)
            EXPECT_EQ(p.paraRaw.PrbCross[i], 0) << c.number;
    }
}

// The records hold Windows-1252: the degree sign is the single byte 0xB0.
TEST_F(ParaCatalogueTest, DegreeSignIsStoredAsOneWindows1252Byte) {
    TParameter p;
    p.SetDefPara(110);
    EXPECT_EQ(p.ParaGeneral.OrigUnit.Raw(), "\xB0"
                                            "C");
    EXPECT_EQ(p.ParaText.ParaStr[txt_Unit].Raw(), "\xB0"
                                                  "C");
    p.SetDefPara(601);
    EXPECT_EQ(p.ParaText.ParaStr[txt_File].Raw(), "Conductivity @20\xB0"
                                                  "C");
    p.SetDefPara(137);
    EXPECT_EQ(p.ParaGeneral.OrigUnit.Raw(), "\xB0");
}

// Every type row, with its ends and with the general sensor row beside its exceptions.
TEST_F(ParaCatalogueTest, TypeDecodingAndCalibrationFollowTheRowsAndTheirExceptions) {
    struct TCase {
        int number;
        TParaType type;
        TParaConv conv;
        TParaCalibType calib;
    };
    const TCase cases[] = {
        {1, Pt_Util, ParaConvByte, ParaCalibNone},
        {2, Pt_Util, ParaConvByte, ParaCalibNone},
        {4, Pt_Util, ParaConvWord, ParaCalibNone},
        {5, Pt_Util, ParaConvHDF5, ParaCalibNone},
        {6, Pt_Util, ParaConvHDF6, ParaCalibNone},
        {7, Pt_Util, ParaConvHDF7, ParaCalibNone},
        // The sensor channels and their exceptions.
        {111, Pt_Raw, ParaConvSingle, ParacalibPoly5},
        {132, Pt_Raw, ParaConvSingle, ParacalibPoly5},
        {241, Pt_Raw, ParaConvSingle, ParacalibPoly5},
        {701, Pt_Raw, ParaConvSingle, ParacalibPoly5},
        {716, Pt_Raw, ParaConvSingle, ParacalibPoly5},
        {724, Pt_Raw, ParaConvSingle, ParacalibPoly5},
        {738, Pt_Raw, ParaConvSingle, ParacalibPoly5},
        {130, Pt_Raw, ParaConvSingle, ParaCalibNone},
        {143, Pt_Raw, ParaConvSingle, ParaCalibNone},
        {201, Pt_Raw, ParaConvSingle, ParaCalibNone},
        {230, Pt_Raw, ParaConvSingle, ParaCalibNone},
        {166, Pt_Raw, ParaConvSingle, ParaCalibFresh},
        {222, Pt_Raw, ParaConvSingle, ParacalibPoly3},
        {223, Pt_Raw, ParaConvSingle, ParacalibPoly3},
        {717, Pt_Raw, ParaConvSingle, ParaCalibWetLab},
        {723, Pt_Raw, ParaConvSingle, ParaCalibWetLab},
        // Computed.
        {399, Pt_Calc, ParaConvSingle, ParacalibPoly5},
        {403, Pt_Calc, ParaConvSingle, ParacalibPoly5},
        {412, Pt_Calc, ParaConvSingle, ParacalibPoly5},
        {406, Pt_CWC, ParaConvSingle, ParacalibPoly5},
        {450, Pt_CWC, ParaConvSingle, ParacalibPoly5},
        {599, Pt_CWC, ParaConvSingle, ParacalibPoly5},
        {610, Pt_CWC, ParaConvSingle, ParacalibPoly5},
        // Bottles, inputs, headers.
        {500, Pt_Bottle, ParaConvSingle, ParaCalibNone},
        {501, Pt_Bottle, ParaConvSingle, ParaCalibNone},
        {800, Pt_Nmea, ParaConvSingle, ParacalibPoly5},
        {806, Pt_Nmea, ParaConvSingle, ParacalibPoly5},
        {808, Pt_Nmea, ParaConvSingle, ParacalibPoly5},
        {809, Pt_Ext, ParaConvSingle, ParaCalibNone},
        {900, Pt_Cruise, ParaConvNone, ParaCalibNone},
        {1000, Pt_header, ParaConvNone, ParaCalibNone},
    };
    for (const TCase& c : cases) {
        TParameter p;
        p.SetDefPara(c.number);
        EXPECT_EQ(ParaTypeName(p.paraRaw.ParaType), ParaTypeName(c.type)) << c.number;
        EXPECT_EQ(ParaConvName(p.paraRaw.ConvType), ParaConvName(c.conv)) << c.number;
        EXPECT_EQ(ParaCalibTypeName(p.paraRaw.CalibType), ParaCalibTypeName(c.calib)) << c.number;
    }
}

TEST_F(ParaCatalogueTest, MainHiddenAndSmoothingFollowTheirLists) {
    struct TCase {
        int number;
        bool main;
        bool hidden;
        TSmoothType smooth;
    };
    const TCase cases[] = {
        {0, true, false, Smo_Mean},    {1, false, false, Smo_Mean},   {7, false, false, Smo_Mean},
        {52, true, false, Smo_Mean},   {100, true, false, Smo_None},  {101, true, false, Smo_None},
        {105, true, false, Smo_Mean},  {110, false, false, Smo_Mean}, {133, false, false, Smo_Mean},
        {134, true, false, Smo_Mean},  {136, true, true, Smo_Mean},   {149, true, true, Smo_Mean},
        {165, true, true, Smo_Mean},   {166, true, false, Smo_Mean},  {198, false, false, Smo_Mean},
        {201, true, true, Smo_Mean},   {208, false, true, Smo_Mean},  {230, false, true, Smo_Mean},
        {221, false, false, Smo_Mean}, {399, false, false, Smo_Mean}, {401, true, false, Smo_Mean},
        {701, false, false, Smo_Mean}, {740, false, false, Smo_Mean}, {800, true, false, Smo_None},
        {801, true, false, Smo_None},  {802, true, true, Smo_Mean},   {807, true, false, Smo_Mean},
        {808, true, true, Smo_Mean},   {809, false, true, Smo_Mean},  {810, false, true, Smo_Mean},
        {1050, true, false, Smo_Mean},
    };
    for (const TCase& c : cases) {
        TParameter p;
        p.SetDefPara(c.number);
        EXPECT_EQ(p.ParaGeneral.MainPara, c.main ? 1 : 0) << c.number;
        EXPECT_EQ(p.ParaGeneral.Hidden, c.hidden ? 1 : 0) << c.number;
        EXPECT_EQ(p.ParaSmooth.SmoothType, c.smooth) << c.number;
    }
}

// ---- Texts and decimals
// --------------------------------------------------------------------------

TEST_F(ParaCatalogueTest, TextsAreUnitAndNameExceptTheListedNames) {
    struct TCase {
        int number;
        const char* listBox;
        const char* screen;
        const char* file;
    };
    const TCase cases[] = {
        {101, "Pressure", "Pres", "Pressure"},
        {135, "Transissometer", "Tr%", "Transmissometer"},
        {142, "H-Vel", "Horizantal-Vel", "Horizontal Velocity"},
        {150, "AlphaTracka", "AlphaTracka", "AlphaTracka-(CHELSEA)"},
        {199, "Depth Upwel", "Depth Upwel.", "Depth Upwelling"},
        {408, "QPS2300 PAR", "QSP2300 PAR", "QSP2300 PAR"},
        {601, "Conductivity@20C", "Cond@20C", "Conductivity @20\u00B0C"},
        {802, "Baromoter", "Barometer", "Barometer"},
        {926, "cruise Parameter List (Col)", "Parameter List", "Parameter List"},
        // Not listed: every use shows the name, blanks included.
        {146, "Turbidity", "Turbidity", "Turbidity"},
        {717, "ECO-Chl(a) ", "ECO-Chl(a) ", "ECO-Chl(a) "},
        {1003, "cast file name", "cast file name", "cast file name"},
    };
    for (const TCase& c : cases) {
        TParameter p;
        p.SetDefPara(c.number);
        const auto& text = p.ParaText.ParaStr;
        EXPECT_EQ(text[txt_ListBox].Get(), c.listBox) << c.number;
        EXPECT_EQ(text[txt_Screen].Get(), c.screen) << c.number;
        EXPECT_EQ(text[txt_File].Get(), c.file) << c.number;
        EXPECT_EQ(text[txt_Unit].Get(), p.ParaGeneral.OrigUnit.Get()) << c.number;
        EXPECT_EQ(text[4].Get(), p.ParaGeneral.OrigName.Get()) << c.number;
        EXPECT_EQ(text[5].Get(), p.ParaGeneral.OrigName.Get()) << c.number;
    }
}

TEST_F(ParaCatalogueTest, Entry137HasNoUnitTextNorNameCopies) {
    TParameter p;
    p.SetDefPara(137);
    EXPECT_EQ(p.ParaGeneral.OrigUnit.Get(), "\u00B0");
    EXPECT_EQ(p.ParaGeneral.OrigName.Get(), "Tilt-Y");
    const auto& text = p.ParaText.ParaStr;
    EXPECT_EQ(text[txt_Unit].Get(), "");
    EXPECT_EQ(text[4].Get(), "");
    EXPECT_EQ(text[5].Get(), "");
    EXPECT_EQ(text[txt_ListBox].Get(), "TiltY");
    EXPECT_EQ(text[txt_Screen].Get(), "Tilt Y");
    EXPECT_EQ(text[txt_File].Get(), "Tilt Y");
    EXPECT_EQ(p.ParaText.Decimal[txt_Screen], 2);
    EXPECT_EQ(p.ParaText.Decimal[txt_File], 4);

    // Nor does it keep those of a definition it replaces.
    p.SetDefPara(101);
    p.SetDefPara(137);
    EXPECT_EQ(text[txt_Unit].Get(), "");
    EXPECT_EQ(text[4].Get(), "");
    EXPECT_EQ(text[5].Get(), "");
}

// Two members of each row of the decimals table, its first and last where they differ.
TEST_F(ParaCatalogueTest, DecimalsFollowTheirTable) {
    struct TCase {
        int number;
        int screen;
        int file;
    };
    const TCase cases[] = {
        {0, 0, 0},   {1050, 0, 0}, {130, 1, 1}, {802, 1, 1}, {145, 1, 2}, {806, 1, 2}, {105, 2, 2},
        {810, 2, 2}, {101, 2, 3},  {805, 2, 3}, {135, 2, 4}, {142, 2, 4}, {100, 3, 3}, {710, 3, 3},
        {110, 3, 4}, {605, 3, 4},  {604, 5, 5}, {801, 5, 5}, {147, 6, 6}, {807, 6, 6},
    };
    for (const TCase& c : cases) {
        TParameter p;
        Scribble(p, 0x5A);
        p.SetDefPara(c.number);
        const auto& decimal = p.ParaText.Decimal;
        EXPECT_EQ(decimal[txt_Screen], c.screen) << c.number;
        EXPECT_EQ(decimal[txt_File], c.file) << c.number;
        for (const int use : {0, 1, 4, 5})
            EXPECT_EQ(decimal[use], 0) << c.number << " use " << use;
    }
}

// ---- Limits, axis, coefficients, links
// -----------------------------------------------------------

TEST_F(ParaCatalogueTest, LimitsAndAxisFollowTheirTable) {
    constexpr std::int32_t AnyColor = -1;
    struct TCase {
        int number;
        double absoMin, absoMax, minExt, curMin, curMax, trackStep;
        std::int32_t color;
    };
    const TCase cases[] = {
        {100, -10, 10000, 1, 0, 1000, 10, 0},
        {101, -10, 10000, 5, 0, 100, 15, 0},
        {105, -10, 10, -10, -10, 10, 1, 0},
        {110, -5, 100, 0.2, 0, 30, 0.05, 16711680},
        {112, -5, 100, 0.2, 0, 30, 0.5, 16711680},
        {121, -1, 2500, 0.2, 0, 60, 2, 32768},
        {403, -10, 10000, 5, 200, 0, 10, 0},
        {405, -10, 20, 0.5, 0, 15, 0.5, 128},
        {407, -1, 500, 2, 0, 120, 1, 8421504},
        {599, -1, 5000, 0.5, 2, 60, 2, 255},
        {603, -10, 10000, 50, 800, 1500, 20, 16711935},
        {606, -10, 2000, 0, 0, 2000, 10, 16711935},
        {801, -180, 360, 1, 0, 180, 5, 0},
        // The radiometer channels, whose colour is free.
        {152, 0, 5000, 20, 0, 5000, 20, AnyColor},
        {165, 0, 5000, 20, 0, 5000, 20, AnyColor},
        // Header texts keep the base limits and axis.
        {900, -10, 10000, 1, 0, 1000, 10, 0},
    };
    for (const TCase& c : cases) {
        TParameter p;
        p.SetDefPara(c.number);
        EXPECT_EQ(Value(p.ParaGeneral.AbsoMin), c.absoMin) << c.number;
        EXPECT_EQ(Value(p.ParaGeneral.AbsoMax), c.absoMax) << c.number;
        EXPECT_EQ(Value(p.ParaGeneral.MinExt), c.minExt) << c.number;
        EXPECT_EQ(Value(p.ParaScale.CurMin), c.curMin) << c.number;
        EXPECT_EQ(Value(p.ParaScale.CurMax), c.curMax) << c.number;
        EXPECT_EQ(Value(p.ParaScale.TrackStep), c.trackStep) << c.number;
        if (c.color != AnyColor) {
            EXPECT_EQ(p.ParaScale.Color, c.color) << c.number;
        }
    }
}

TEST_F(ParaCatalogueTest, CoefficientNamesDefaultToAThroughEWithTheListedAdditions) {
    const std::string A = "A", B = "B", C = "C", D = "D", E = "E", _ = "";
    struct TCase {
        int number;
        std::vector<std::string> first11; // indices 0..10; the rest are empty
    };
    const TCase cases[] = {
        {110, {A, B, C, D, E, _, _, _, _, _, _}},
        {900, {A, B, C, D, E, _, _, _, _, _, _}},
        {101, {A, B, C, D, E, _, _, "Offset", "Tcomp", "Toffset", "TSlope"}},
        {120, {A, B, C, D, E, "ALPHA", "T0", "BETA", _, _, _}},
        {166, {A, B, C, D, E, "ALPHA", "T0", "BETA", _, _, _}},
        {147, {"Offset", "Slope", C, D, E, _, _, _, _, _, _}},
        {739, {A, B, C, D, E, "F", "Offset", "Slope", "CnvFactor", "Membr.type", _}},
        {807, {"Offset", "Scale Fac", "Multiplier", D, E, _, _, _, _, _, _}},
        {809, {"Offset", "Scale Fac", C, D, E, _, _, _, _, _, _}},
    };
    for (const TCase& c : cases) {
        TParameter p;
        p.SetDefPara(c.number);
        std::vector<std::string> expected = c.first11;
        expected.resize(CalibCoefCount);
        EXPECT_EQ(CoefNames(p), expected) << c.number;
    }
}

TEST_F(ParaCatalogueTest, ComputedParametersLinkTheirInputsInOrder) {
    struct TCase {
        int number;
        std::vector<std::int32_t> links;
        std::int32_t calibLink;
    };
    const TCase cases[] = {
        {399, {120}, 0},
        {404, {101, 401, 399}, 0},
        {405, {131, 101, 401}, 131},
        {406, {407, 401, 404}, 0},
        {462, {132, 401}, 0},
        {464, {205, 401}, 205},
        {610, {404, 609}, 0},
        {607, {609}, 0},
        {740, {739, 101, 401}, 739},
        // Not computed: no links.
        {101, {}, 0},
        {131, {}, 0},
        {426, {}, 0},
    };
    for (const TCase& c : cases) {
        TParameter p;
        p.SetDefPara(c.number);
        std::vector<std::int32_t> expected = c.links;
        expected.resize(MaxLinks);
        EXPECT_EQ(Links(p), expected) << c.number;
        EXPECT_EQ(p.ParaFunction.LinkNb, static_cast<std::int32_t>(c.links.size())) << c.number;
        EXPECT_EQ(p.ParaFunction.CalibLink, c.calibLink) << c.number;
        EXPECT_EQ(p.ParaFunction.FunctionType, Polynomial) << c.number;
        EXPECT_EQ(p.ParaFunction.FuncIndex, 0) << c.number;
    }
}

// ---- SetDefPara as a whole
// -----------------------------------------------------------------------

TEST_F(ParaCatalogueTest, SetDefParaCarriesEveryEntryIntoTheRecords) {
    for (const TCatalogueEntry& e : CatalogueEntries()) {
        TParameter p;
        p.SetDefPara(e.Number);
        const TParaGeneral& g = p.ParaGeneral;
        EXPECT_EQ(g.IDStr.Get(), e.IDStr) << e.Number;
        EXPECT_EQ(g.OrigName.Get(), e.Name) << e.Number;
        EXPECT_EQ(g.OrigUnit.Get(), e.Unit) << e.Number;
        EXPECT_EQ(g.MainPara, e.MainPara) << e.Number;
        EXPECT_EQ(g.Hidden, e.Hidden) << e.Number;
        EXPECT_EQ(Value(g.AbsoMin), e.AbsoMin) << e.Number;
        EXPECT_EQ(Value(g.AbsoMax), e.AbsoMax) << e.Number;
        EXPECT_EQ(Value(g.MinExt), e.MinExt) << e.Number;
        for (int i = 0; i < CalibCoefCount; ++i)
            EXPECT_EQ(g.CalibStr[i].Get(), e.CalibStr[i]) << e.Number << " coefficient " << i;
        EXPECT_EQ(p.paraRaw.PrbCross[0], e.ProbeCode) << e.Number;
        EXPECT_EQ(p.paraRaw.ParaType, e.ParaType) << e.Number;
        EXPECT_EQ(p.paraRaw.ConvType, e.ConvType) << e.Number;
        EXPECT_EQ(p.paraRaw.CalibType, e.CalibType) << e.Number;
        for (int use = 0; use < 6; ++use) {
            EXPECT_EQ(p.ParaText.ParaStr[use].Get(), e.ParaStr[use]) << e.Number << " " << use;
            EXPECT_EQ(p.ParaText.Decimal[use], e.Decimal[use]) << e.Number << " " << use;
        }
        EXPECT_EQ(Value(p.ParaScale.CurMin), e.CurMin) << e.Number;
        EXPECT_EQ(Value(p.ParaScale.CurMax), e.CurMax) << e.Number;
        EXPECT_EQ(Value(p.ParaScale.TrackStep), e.TrackStep) << e.Number;
        EXPECT_EQ(p.ParaScale.Color, e.Color) << e.Number;
        EXPECT_EQ(Links(p), std::vector<std::int32_t>(e.ParaLink.begin(), e.ParaLink.end()))
            << e.Number;
        EXPECT_EQ(p.ParaFunction.LinkNb, e.LinkNb) << e.Number;
        EXPECT_EQ(p.ParaFunction.CalibLink, e.CalibLink) << e.Number;
    }
}

TEST_F(ParaCatalogueTest, PressureIsTheProbesRawPressureChannel) {
    TParameter p;
    p.SetDefPara(101);
    EXPECT_EQ(p.ParaGeneral.IDStr.Get(), "PRES");
    EXPECT_EQ(p.ParaGeneral.OrigName.Get(), "Pressure");
    EXPECT_EQ(p.ParaGeneral.OrigUnit.Get(), "dbar");
    EXPECT_EQ(p.getQVLParaNb(), 0);
    EXPECT_EQ(p.paraRaw.ParaType, Pt_Raw);
    EXPECT_EQ(p.paraRaw.ConvType, ParaConvSingle);
    EXPECT_EQ(p.paraRaw.CalibType, ParaCalibPres0);
    EXPECT_EQ(p.ParaText.ParaStr[txt_Screen].Get(), "Pres");
    EXPECT_EQ(p.ParaText.Decimal[txt_Screen], 2);
    EXPECT_EQ(p.ParaText.ParaStr[txt_File].Get(), "Pressure");
    EXPECT_EQ(p.ParaText.Decimal[txt_File], 3);
    EXPECT_EQ(p.ParaSmooth.SmoothType, Smo_None);
    const std::vector<std::string> names = CoefNames(p);
    EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 11),
              (std::vector<std::string>{"A", "B", "C", "D", "E", "", "", "Offset", "Tcomp",
                                        "Toffset", "TSlope"}));
}

TEST_F(ParaCatalogueTest, SalinityIsComputedFromPressureTemperatureAndConductivity) {
    TParameter p;
    p.SetDefPara(404);
    EXPECT_EQ(p.paraRaw.ParaType, Pt_CWC);
    EXPECT_EQ(p.ParaGeneral.OrigName.Get(), "Salinity");
    EXPECT_EQ(p.ParaGeneral.OrigUnit.Get(), "PSU");
    EXPECT_EQ(p.ParaFunction.LinkNb, 3);
    EXPECT_EQ(p.ParaFunction.ParaLink[0], 101);
    EXPECT_EQ(p.ParaFunction.ParaLink[1], 401);
    EXPECT_EQ(p.ParaFunction.ParaLink[2], 399);
    EXPECT_EQ(p.ParaFunction.ParaLink[3], 0);
}

// The base definition on its own, as a number outside the catalogue gets it: every byte around
// the named fields zero, however the records were filled before.
TEST_F(ParaCatalogueTest, NumberOutsideTheCatalogueGetsTheBaseDefinition) {
    const TDateTime now = test::SampleTime() + 12.5;
    env.clock.Set(now);
    for (const int number : {426, -3, 9999}) {
        TParameter p;
        Scribble(p, 0xA5);
        p.SetDefPara(number);

        const TParaGeneral& g = p.ParaGeneral;
        EXPECT_EQ(g.ParaNb, number);
        EXPECT_EQ(g.IDStr.Get(), "NEW_");
        EXPECT_EQ(g.OrigName.Get(), "New");
        EXPECT_EQ(g.OrigUnit.Get(), "");
        EXPECT_EQ(Value(g.AbsoMin), -10);
        EXPECT_EQ(Value(g.AbsoMax), 10000);
        EXPECT_EQ(Value(g.MinExt), 1);
        EXPECT_EQ(g.MainPara, 1);
        EXPECT_EQ(g.Hidden, 0);
        std::vector<std::string> names = {"A", "B", "C", "D", "E"};
        names.resize(CalibCoefCount);
        EXPECT_EQ(CoefNames(p), names);
        EXPECT_TRUE(AllBytesAre(g.reserve, 0));
        EXPECT_TRUE(AllBytesAre(g.gap234, 0));

        EXPECT_EQ(p.paraRaw.PrbCross[0], 999);
        EXPECT_EQ(p.paraRaw.ParaType, Pt_Raw);
        EXPECT_EQ(p.paraRaw.ConvType, ParaConvSingle);
        EXPECT_EQ(p.paraRaw.CalibType, ParacalibPoly5);
        EXPECT_TRUE(AllBytesAre(p.paraRaw.reserve, 0));

        const TParaCalib& calib = p.ParaCalib;
        for (int i = 0; i < CalibCoefCount; ++i)
            EXPECT_EQ(Value(calib.calib[i]), i == 1 ? 1.0 : 0.0) << i;
        // Copied out first: the dates are unaligned doubles inside the packed record.
        const TDateTime dateStandard = calib.DateStandard, dateSensor = calib.DateSensor;
        EXPECT_EQ(dateStandard, now);
        EXPECT_EQ(dateSensor, now);
        EXPECT_EQ(calib.SensorType.Get(), "");
        EXPECT_EQ(calib.SensorSN.Get(), "");
        EXPECT_EQ(calib.status, 0);
        EXPECT_TRUE(AllBytesAre(calib.reserve, 0));

        EXPECT_TRUE(AllBytesAre(p.ParaFunction, 0));

        const TParaSmooth& smooth = p.ParaSmooth;
        EXPECT_EQ(smooth.SmoothType, Smo_Mean);
        EXPECT_EQ(smooth.SmoothInt[0][0], 10);
        EXPECT_EQ(smooth.SmoothInt[1][0], 4);
        EXPECT_EQ(smooth.BlankPara, 0);
        EXPECT_EQ(Value(smooth.BlankMin), -1);
        EXPECT_EQ(Value(smooth.BlankMax), 1000000);
        EXPECT_EQ(smooth.ValidType, NoValidate);
        EXPECT_EQ(smooth.ValidMin, 0.0f);
        EXPECT_EQ(smooth.ValidMax, 100.0f);
        EXPECT_TRUE(AllBytesAre(smooth.SmoothFloat, 0));
        EXPECT_TRUE(AllBytesAre(smooth.reserve, 0));

        const TParaInterpol& interpol = p.ParaInterpol;
        EXPECT_EQ(interpol.InterpolType, InterpolNone);
        EXPECT_EQ(Value(interpol.firstValue), 0);
        EXPECT_EQ(Value(interpol.lastValue), 1000000);
        EXPECT_EQ(Value(interpol.interval), 1);
        EXPECT_TRUE(AllBytesAre(interpol.reserve, 0));

        const TParaScale& scale = p.ParaScale;
        EXPECT_EQ(scale.ScaleType, st_Linear);
        EXPECT_EQ(Value(scale.CurMin), 0);
        EXPECT_EQ(Value(scale.CurMax), 1000);
        EXPECT_EQ(Value(scale.TrackMin), 0);
        EXPECT_EQ(Value(scale.TrackStep), 10);
        EXPECT_EQ(scale.LineType, LinePlain);
        EXPECT_EQ(scale.Color, 0);
        EXPECT_EQ(scale.AutoScale, 0);
        EXPECT_EQ(Value(scale.AutoMin), 0);
        EXPECT_EQ(Value(scale.AutoMax), 100);
        EXPECT_EQ(scale.AutoScroll, 0);
        EXPECT_EQ(Value(scale.ScrollExt), 100);
        EXPECT_EQ(scale.EnableXAutoScale, 0);
        EXPECT_TRUE(AllBytesAre(scale.eReserve, 0));
        EXPECT_TRUE(AllBytesAre(scale.gap75, 0));
        EXPECT_TRUE(AllBytesAre(scale.reserve, 0));

        // Texts and format are not the base definition's to set.
        EXPECT_TRUE(AllBytesAre(p.ParaText, 0xA5)) << number;
        EXPECT_TRUE(AllBytesAre(p.ParaFormat, 0xA5)) << number;
    }
}

TEST_F(ParaCatalogueTest, NumberOutsideTheCatalogueKeepsTheTextsItHad) {
    TParameter p;
    p.SetDefPara(101);
    p.SetDefPara(426);
    EXPECT_EQ(p.ParaGeneral.OrigName.Get(), "New");
    EXPECT_EQ(p.ParaText.ParaStr[txt_Screen].Get(), "Pres");
    EXPECT_EQ(p.ParaText.ParaStr[txt_Unit].Get(), "dbar");
    EXPECT_EQ(p.ParaText.Decimal[txt_File], 3);
}

// A second SetDefPara leaves nothing of the first in the records it rebuilds: they come out as
// on a parameter that never held another definition, to the byte.
TEST_F(ParaCatalogueTest, SecondSetDefParaLeavesNothingOfTheFirst) {
    const std::pair<int, int> cases[] = {
        {101, 404}, {404, 137}, {137, 101}, {740, 1050}, {147, 426}, {807, 110}, {426, 601},
    };
    for (const auto& [first, second] : cases) {
        TParameter fresh;
        fresh.SetDefPara(second);

        TParameter reused;
        reused.SetDefPara(first);
        reused.SetDefPara(second);
        ExpectSameDefinitionRecords(reused, fresh, second);
        if (FindCatalogueEntry(second) != nullptr)
            ExpectSameTexts(reused, fresh, second);

        TParameter scribbled;
        Scribble(scribbled, 0xFF);
        scribbled.SetDefPara(second);
        ExpectSameDefinitionRecords(scribbled, fresh, second);
        if (FindCatalogueEntry(second) != nullptr)
            ExpectSameTexts(scribbled, fresh, second);
        EXPECT_TRUE(AllBytesAre(scribbled.ParaFormat, 0xFF)) << second;
    }
}

// ---- Enumerator names
// ----------------------------------------------------------------------------

TEST_F(ParaCatalogueTest, EnumeratorsHaveTheirOwnNames) {
    EXPECT_EQ(ParaTypeName(Pt_None), "Pt_None");
    EXPECT_EQ(ParaTypeName(Pt_Raw), "Pt_Raw");
    EXPECT_EQ(ParaTypeName(Pt_header), "Pt_header");
    EXPECT_EQ(ParaTypeName(pt_WinchSpeed), "pt_WinchSpeed");
    EXPECT_EQ(ParaConvName(ParaConvNone), "ParaConvNone");
    EXPECT_EQ(ParaConvName(ParaConvSingle), "ParaConvSingle");
    EXPECT_EQ(ParaConvName(ParaConvHDF7), "ParaConvHDF7");
    EXPECT_EQ(ParaCalibTypeName(ParaCalibDummy), "ParaCalibDummy");
    EXPECT_EQ(ParaCalibTypeName(ParacalibPoly5), "ParacalibPoly5");
    EXPECT_EQ(ParaCalibTypeName(ParaCalibQVLTime), "ParaCalibQVLTime");
    EXPECT_EQ(ParaCalibTypeName(ParaCalibWetLab), "ParaCalibWetLab");
    // An ordinal a damaged file may hold.
    EXPECT_EQ(ParaTypeName(static_cast<TParaType>(14)), "?");
    EXPECT_EQ(ParaConvName(static_cast<TParaConv>(200)), "?");
    EXPECT_EQ(ParaCalibTypeName(static_cast<TParaCalibType>(13)), "?");
}

} // namespace
} // namespace marevo
