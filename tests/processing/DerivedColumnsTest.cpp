// The derived (TEOS-10) columns of a binned table, as the exports resolve them.

#include "processing/DerivedColumns.h"

#include "parameters/ParaNumbers.h"
#include "parameters/Parameter.h"
#include "parameters/Teos10.h"
#include "processing/CastFiles.h"
#include "processing/Collections.h"
#include "processing/ParamCollection.h"
#include "records/CastInfo.h"
#include "records/Config.h"
#include "records/ConfigFields.h"

#include "support/AppEnv.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

namespace marevo {
namespace {

using test::TAppEnv;

// A binned table of pressure, temperature (IPTS-68) and salinity filled by hand, of a cast in
// the South Atlantic: rows 0..3 down, 4..6 up, temperature flagged on row 2.
struct TDerivedRig : TAppEnv {
    TCastInfo header;
    static constexpr int MaxDown = 3;
    const std::vector<std::array<TFlaggedValue, 3>> rows = {
        {{{5.0f, 0}, {18.2f, 0}, {35.61f, 0}}},   {{{55.0f, 0}, {17.9f, 0}, {35.58f, 0}}},
        {{{120.0f, 0}, {15.0f, 1}, {35.40f, 0}}}, {{{600.0f, 0}, {6.1f, 0}, {34.52f, 0}}},
        {{{580.0f, 0}, {6.3f, 0}, {34.53f, 0}}},  {{{300.0f, 0}, {11.0f, 0}, {34.95f, 0}}},
        {{{20.0f, 0}, {18.0f, 0}, {35.60f, 0}}},
    };

    TDerivedRig() {
        for (int n : {PressurePara, TemperaturePara, SalinityPara}) {
            TParameter* p = cast.Add(std::make_unique<TParameter>());
            p->SetDefPara(n);
            p->CreateBuffers(4);
        }
        header.latitude[0] = TExtended::FromDouble(-34.5);
        header.longitude[0] = TExtended::FromDouble(-20.25);
        cast.Loaded.CastHeader = &header;
        const int numbers[] = {PressurePara, TemperaturePara, SalinityPara};
        for (int c = 0; c < 3; ++c) {
            TLinearArray& s = *cast.FindPara(numbers[c])->SortedBuffer;
            for (const auto& row : rows)
                s.AddFV(row[c]);
        }
        cast.Bin.SortInfo.MaxIndex = static_cast<int>(rows.size()) - 1;
        cast.Bin.SortInfo.MaxDownIndex = MaxDown;
    }

    // SA, CT and p of a row by the TEOS-10 functions themselves.
    std::array<double, 3> State(int r) const {
        const double p = rows[r][0].value;
        const double SA = teos10::SA_from_SP(rows[r][2].value, p, -20.25, -34.5);
        return {SA, teos10::CT_from_t(SA, teos10::T90FromT68(rows[r][1].value), p), p};
    }

    const TLinearArray& Column(std::int32_t number, TExportColumn& c) {
        c = ResolveExportColumn(cast, number);
        EXPECT_TRUE(c.para && c.own && c.derived) << number;
        return *c.para->SortedBuffer;
    }
};

// Every row equals the TEOS-10 functions of its inputs; a flagged input flags the row (and the
// N2 rows that take it); N2 pairs rows of one direction only, the first row of each flagged.
TEST(DerivedColumns, RowsAreTheTeos10FunctionsOfTheBinnedInputs) {
    TDerivedRig rig;
    const int n = static_cast<int>(rig.rows.size());
    struct Case {
        std::int32_t number;
        std::function<double(int)> expected; // NaN: the row is flagged
    };
    const auto flaggedRow = [&](int r) { return r == 2; };
    const Case cases[] = {
        {AbsoluteSalinityPara, [&](int r) { return flaggedRow(r) ? NAN : rig.State(r)[0]; }},
        {ConservativeTempPara, [&](int r) { return flaggedRow(r) ? NAN : rig.State(r)[1]; }},
        {Sigma0Teos10Para,
         [&](int r) {
             const auto s = rig.State(r);
             return flaggedRow(r) ? NAN : teos10::Sigma0(s[0], s[1]);
         }},
        {InSituDensityTeos10Para,
         [&](int r) {
             const auto s = rig.State(r);
             return flaggedRow(r) ? NAN : teos10::Rho(s[0], s[1], s[2]);
         }},
        {BuoyancyFreqPara,
         [&](int r) {
             const bool first = r == 0 || r == TDerivedRig::MaxDown + 1;
             if (first || flaggedRow(r) || flaggedRow(r - 1))
                 return double(NAN);
             const auto a = rig.State(r - 1), b = rig.State(r);
             return teos10::Nsquared(a[0], a[1], a[2], b[0], b[1], b[2], -34.5);
         }},
    };
    for (const Case& c : cases) {
        TExportColumn column;
        const TLinearArray& s = rig.Column(c.number, column);
        ASSERT_EQ(s.Count(), n) << c.number;
        for (int r = 0; r < n; ++r) {
            const double want = c.expected(r);
            const TFlaggedValue got = s.Data()[r];
            if (std::isnan(want)) {
                EXPECT_NE(got.flag, 0) << c.number << " row " << r;
            } else {
                EXPECT_EQ(got.flag, 0) << c.number << " row " << r;
                EXPECT_EQ(got.value, static_cast<float>(want)) << c.number << " row " << r;
            }
        }
    }
    // The input series stay as they were, and the collection holds no derived parameter.
    EXPECT_EQ(rig.cast.FindPara(TemperaturePara)->SortedBuffer->Data()[2].flag, 1);
    for (std::int32_t number = FirstDerivedColumn; number <= LastDerivedColumn; ++number)
        EXPECT_EQ(rig.cast.FindPara(number), nullptr);
}

TEST(DerivedColumns, UnknownPositionOrMissingInputFlagsEveryRow) {
    struct Case {
        const char* what;
        std::function<void(TDerivedRig&)> change;
    } const cases[] = {
        {"unknown latitude",
         [](TDerivedRig& r) { r.header.latitude[0] = TExtended::FromDouble(NAN); }},
        {"no cast header", [](TDerivedRig& r) { r.cast.Loaded.CastHeader = nullptr; }},
        {"no salinity",
         [](TDerivedRig& r) { r.cast.FindPara(SalinityPara)->SortedBuffer.reset(); }},
    };
    for (const Case& c : cases) {
        TDerivedRig rig;
        c.change(rig);
        TExportColumn column;
        const TLinearArray& s = rig.Column(AbsoluteSalinityPara, column);
        ASSERT_EQ(s.Count(), static_cast<int>(rig.rows.size())) << c.what;
        for (int r = 0; r < s.Count(); ++r)
            EXPECT_NE(s.Data()[r].flag, 0) << c.what << " row " << r;
    }
}

// The text export writes a derived column with its decimals and name, and the data export's
// column list takes the derived numbers where the other lists refuse them.
TEST(DerivedColumns, TextExportWritesThemWithTheirDecimals) {
    TDerivedRig rig;
    TTextFileCfg& cfg = rig.config.DataTextCfg;
    cfg = TTextFileCfg{};
    std::vector<std::string> refused;
    ASSERT_TRUE(SetConfigFields(rig.config, {"DataTextCfg.ParaList=2001,2005"}, refused));
    EXPECT_FALSE(SetConfigFields(rig.config, {"BottleTextCfg.ParaList=2001"}, refused));
    cfg.Separator = sep_space;
    cfg.Direction = Direction_Down;
    cfg.HeadList.count = 0;
    rig.environ.DataRoot.Set((rig.dir / "data").string() + "/");
    rig.cast.Loaded.TypeLoaded = FileTypeBinary;
    std::int32_t start = 0;
    ASSERT_TRUE(rig.cast.TxtSave(rig.dir / "out.txt", false, false, start));
    const auto s1 = rig.State(1), s0 = rig.State(0);
    const std::string row1 =
        ExportNumberText(static_cast<float>(s1[0]), 4) + " " +
        ExportNumberText(
            static_cast<float>(teos10::Nsquared(s0[0], s0[1], s0[2], s1[0], s1[1], s1[2], -34.5)),
            8) +
        "\r\n";
    const std::string text = test::ReadFileBytes(rig.dir / "out.txt");
    EXPECT_NE(text.find("\r\n" + row1), std::string::npos) << text;
    EXPECT_EQ(MakeDerivedParameter(Sigma0Teos10Para)->HeaderPrompt(), "SIG0");
    EXPECT_EQ(MakeDerivedParameter(ConservativeTempPara)->ParaText.Decimal[txt_File], 4);
    EXPECT_EQ(MakeDerivedParameter(BuoyancyFreqPara)->ParaText.Decimal[txt_File], 8);
    EXPECT_EQ(MakeDerivedParameter(1999), nullptr);
}

// The plot and values lists keep a derived number as any other: the stored configuration has the
// same bytes as with a catalogue number in its place, and reads back with the number, its entry
// resolved to the column's definition.
TEST(DerivedColumns, StoredListsKeepTheNumberInTheSameLayout) {
    TDerivedRig rig;
    rig.probe.DefaultParamCol();
    const TConfigCollections collections(rig.cast, rig.probe);
    const auto save = [&](std::int32_t plotted, std::int32_t shown, const char* name) {
        TGenConfig& gen = rig.config.GenCfg;
        gen.ParaPlotList.count = 2;
        gen.ParaPlotList.List[0] = PressurePara;
        gen.ParaPlotList.List[1] = plotted;
        gen.CurParaList.count = 1;
        gen.CurParaList.List[0] = shown;
        EXPECT_TRUE(rig.config.SaveToFile(rig.dir / name, collections));
        return test::ReadFileBytes(rig.dir / name);
    };
    const std::string plain = save(TemperaturePara, SalinityPara, "plain.cfg");
    const std::string derived = save(Sigma0Teos10Para, AbsoluteSalinityPara, "derived.cfg");
    ASSERT_EQ(plain.size(), derived.size());
    std::size_t differing = 0;
    for (std::size_t i = 0; i < plain.size(); ++i)
        differing += plain[i] != derived[i];
    EXPECT_LE(differing, 8u); // the two list numbers, four bytes each

    TConfig back;
    ASSERT_TRUE(back.ReadFromFile(rig.dir / "derived.cfg", collections));
    EXPECT_EQ(back.GenCfg.ParaPlotList.List[1], Sigma0Teos10Para);
    EXPECT_EQ(back.GenCfg.CurParaList.List[0], AbsoluteSalinityPara);
    EXPECT_EQ(back.PlotParaPtr[1], DerivedColumnDefinition(Sigma0Teos10Para));
    EXPECT_EQ(back.ScaleName(1), "Sigma0 TEOS-10 [kg/m^3]");
    // The cast holds pressure, temperature and salinity: the entries are available.
    rig.config = back;
    rig.cast.BuildCalcList();
    EXPECT_TRUE(rig.config.GenCfg.ParaPlotList.Avail[1]);
    EXPECT_TRUE(rig.config.GenCfg.CurParaList.Avail[0]);
    EXPECT_EQ(DerivedColumnDefinition(PressurePara), nullptr);
}

} // namespace
} // namespace marevo
