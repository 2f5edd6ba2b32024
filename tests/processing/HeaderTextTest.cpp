#include "processing/HeaderText.h"

#include "foundation/DateTime.h"
#include "processing/ParaValueContext.h"
#include "records/CastInfo.h"
#include "support/AppEnv.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <limits>

#include <memory>
#include <vector>

namespace marevo {
namespace {

using test::TAppEnv;

TEST(PositionText, EachFormatBothHemispheres) {
    const struct {
        long double x;
        const char* degree;
        const char* minute;
        const char* second;
    } cases[] = {
        {45.5125L, " 45.51250", "  45°30.7500", "  45°30'45.000"},
        {-45.5125L, "-45.51250", " -45°30.7500", " -45°30'45.000"},
        {-179.0025L, "-179.00250", "-179°00.1500", "-179°00'09.000"},
        {5.1L, "  5.10000", "   5°06.0000", "   5°06'00.000"},
        {-0.5L, " -0.50000", "  -0°30.0000", "  -0°30'00.000"},
        {0, "  0.00000", "   0°00.0000", "   0°00'00.000"},
        // Rounding in the last unit written carries into the minutes and degrees.
        {12.99999999L, " 13.00000", "  13°00.0000", "  13°00'00.000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<double>(c.x));
        EXPECT_EQ(PositionText(c.x, Pos_Degree), c.degree);
        EXPECT_EQ(PositionText(c.x, Pos_Minute), c.minute);
        EXPECT_EQ(PositionText(c.x, Pos_Second), c.second);
    }
    EXPECT_EQ(PositionText(std::numeric_limits<long double>::quiet_NaN(), Pos_Second), "");
}

struct THeaderFixture : TAppEnv {
    TCastInfo cruise;
    TCastInfo cast;
    THeaderSources sources;
    std::vector<std::unique_ptr<TParameter>> paras;

    THeaderFixture() {
        cruise.InfoStr[2].Set("CR");
        cruise.CastTime[0] = EncodeDateTime(2026, 3, 9, 14, 25, 1);
        cruise.latitude[0] = TExtended(45.5125);
        cast.InfoStr[0].Set("7");
        cast.CastTime[0] = EncodeDateTime(2026, 3, 9, 14, 25, 1);
        cast.CastTime[1] = EncodeDateTime(2026, 3, 10);
        cast.latitude[0] = TExtended(-45.5125);
        cast.longitude[2] = TExtended(3.25);
        cast.BottomValue[0] = {1000, 0};
        cast.BottomValue[1] = InvalidFV;
        cast.BottomValue[2] = {12.5f, 1};
        cast.DataSetNb = 5120;
        cast.ExtractMode = AM_Time;
        cast.ExtractStep = TExtended(0.5);
        sources = {&cruise, &cast, &config, "SN-0042", {}};
    }
    TParameter& Para(int number) {
        paras.push_back(std::make_unique<TParameter>());
        paras.back()->SetDefPara(number);
        return *paras.back();
    }
    std::string Text(int number, int dataType = 0, std::span<TParameter* const> list = {}) {
        return HeaderString(Para(number), dataType, list, sources);
    }
};

TEST(HeaderString, DatesAndPositionsInTheFormatOfEachExport) {
    THeaderFixture f;
    f.config.DataTextCfg.PosFormat = Pos_Degree;
    f.config.HeaderTextCfg.PosFormat = Pos_Minute;
    f.config.BottleTextCfg.PosFormat = Pos_Second;
    const struct {
        int number;
        int dataType;
        const char* text;
    } cases[] = {
        {908, 0, "09/03/2026"},   {1006, 0, "09/03/2026 14:25:01"},
        {1008, 0, "10/03/2026"}, // midnight: the date alone
        {912, 0, "45.51250"},     {912, 1, "45°30.7500"},
        {912, 2, "45°30'45.000"}, {1012, 0, "-45.51250"},
        {1012, 1, "-45°30.7500"}, {1012, 2, "-45°30'45.000"},
        {1022, 1, "3°15.0000"},   {1022, 2, "3°15'00.000"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(f.Text(c.number, c.dataType), c.text) << c.number << " " << c.dataType;
    EXPECT_TRUE(f.LogMessages().empty());
}

TEST(HeaderString, NamesNumbersAndCastFields) {
    THeaderFixture f;
    EXPECT_EQ(f.Text(1003), "CR007");
    f.cast.InfoStr[0].Set("1234");
    EXPECT_EQ(f.Text(1003), "CR234");
    EXPECT_EQ(f.Text(1036), "5120");
    EXPECT_EQ(f.Text(1040), "Quorvel");
    EXPECT_EQ(f.Text(1042), "SN-0042");
    EXPECT_EQ(f.Text(1050), "Time");
    EXPECT_EQ(f.Text(401), ""); // no header field

    TParameter& bottom = f.Para(1024);
    bottom.ParaText.Decimal[txt_File] = 2;
    EXPECT_EQ(HeaderString(bottom, 0, {}, f.sources), "1000.00");
    TParameter& step = f.Para(1048);
    step.ParaText.Decimal[txt_File] = 3;
    EXPECT_EQ(HeaderString(step, 0, {}, f.sources), "0.500");
    TParameter& depth = f.Para(1026);
    depth.ParaText.Decimal[txt_File] = 1;
    TFormulaSettings atStart;
    atStart.Latitude = -45.5125;
    const TFlaggedValue expected = ComputeDerived(403, &f.cast.BottomValue[0], nullptr, atStart);
    ASSERT_TRUE(expected.Valid());
    EXPECT_EQ(HeaderString(depth, 0, {}, f.sources), fmt::format("{:.1f}", expected.value));
}

TEST(HeaderString, ParameterListAsLineAndAsColumns) {
    THeaderFixture f;
    TParameter* list[] = {&f.Para(101), nullptr, &f.Para(400), &f.Para(599)};
    f.config.HeaderTextCfg.TimeUnit = Time_Minute;
    f.config.HeaderTextCfg.CondUnit = 2;
    f.config.HeaderTextCfg.Separator = sep_comma;
    const std::string names =
        list[0]->HeaderPrompt() + "," + list[2]->HeaderPrompt() + "," + list[3]->HeaderPrompt();
    EXPECT_EQ(list[0]->HeaderPrompt(), "Pressure");
    EXPECT_EQ(f.Text(924, 1, list), names);
    EXPECT_EQ(f.Text(926, 1, std::span(list, 3)),
              "\r\nCol 1 : Pressure [dbar]\r\nCol 2 : Time [mn]");
    EXPECT_EQ(f.Text(926, 1, std::span(list + 3, 1)),
              "\r\nCol 1 : " + list[3]->HeaderPrompt() + " [S/m]");
    f.config.HeaderTextCfg.TimeUnit = Time_DateTime;
    f.config.HeaderTextCfg.Separator = sep_tab;
    EXPECT_EQ(f.Text(926, 1, std::span(list + 2, 1)), "\r\nCol 1 : Time []");
    EXPECT_EQ(f.Text(924, 1, std::span(list, 3)),
              list[0]->HeaderPrompt() + "\t" + list[2]->HeaderPrompt());

    // Blank-separated, a name with blanks becomes one column name; tab and comma keep them.
    TParameter* twoWords[] = {&f.Para(101), &f.Para(609)};
    twoWords[1]->ParaText.ParaStr[txt_File].Set("Sigma T");
    ASSERT_EQ(twoWords[1]->HeaderPrompt(), "Sigma T");
    EXPECT_EQ(f.Text(924, 1, twoWords), "Pressure\tSigma T");
    f.config.HeaderTextCfg.Separator = sep_space;
    EXPECT_EQ(f.Text(924, 1, twoWords), "Pressure Sigma_T");
}

TEST(HeaderString, MissingHeaderOrUnknownExportIsLogged) {
    THeaderFixture f;
    f.sources.Cast = nullptr;
    EXPECT_EQ(f.Text(1012), "");
    EXPECT_EQ(f.Text(1040), "Quorvel"); // needs no header
    EXPECT_EQ(f.Text(904, 3), "");
    const auto messages = f.LogMessages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].rfind("Error in Parameter.HeaderStringno cast header", 0), 0u);
    EXPECT_EQ(messages[1].rfind("Error in Parameter.HeaderStringexport type 3 unknown", 0), 0u);
}

TEST(HeaderValue, NumbersOfTheCastHeader) {
    THeaderFixture f;
    const struct {
        int number;
        TFlaggedValue value;
    } cases[] = {
        {1006, {static_cast<float>(f.cast.CastTime[0]), 0}},
        {1012, {-45.5125f, 0}},
        {1022, {3.25f, 0}},
        {1024, {1000, 0}},
        {1032, {12.5f, 1}},
        {1036, {5120, 0}},
        {1040, ZeroFV},
        {912, ZeroFV},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HeaderValue(f.Para(c.number), f.sources), c.value) << c.number;
    TFormulaSettings atStart;
    atStart.Latitude = -45.5125;
    EXPECT_EQ(HeaderValue(f.Para(1026), f.sources),
              ComputeDerived(403, &f.cast.BottomValue[0], nullptr, atStart));
    EXPECT_EQ(HeaderValue(f.Para(1030), f.sources), InvalidFV); // sea-bed pressure unknown
    f.sources.Cast = nullptr;
    EXPECT_EQ(HeaderValue(f.Para(1024), f.sources), InvalidFV);
    EXPECT_EQ(f.LogMessages().size(), 1u);
}

TEST(ValueContextOf, TakesTheCollectionAndSettings) {
    TAppEnv env;
    env.cast.Acqui.PostLBIndexO = 4;
    env.cast.Bin.SortInfo.MaxIndex = 3;
    env.cast.Acqui.RawIndex = 2010;
    env.cast.Acqui.InputCBIndexI = 9;
    env.cast.Acqui.C_SpeedLow = 1.5;
    env.cast.FrameInfo.UseNmea = true;
    env.genCfg.firstFilterType = Smo_LP1stOrder;
    env.genCfg.firstFilterCutoffPeriodFactor = 4;
    env.config.DataValidation.ValidateLimits = 1;
    const TValueContext ctx =
        ValueContextOf(env.cast, env.genCfg, env.config.DataValidation, 12.5L);
    EXPECT_EQ(ctx.PostLBIndexO, 4);
    EXPECT_EQ(ctx.MaxIndex, 3);
    EXPECT_EQ(ctx.RawIndex, 2010);
    EXPECT_EQ(ctx.RingIndex, 9);
    EXPECT_EQ(ctx.SpeedLow, 1.5L);
    EXPECT_TRUE(ctx.UseNmea);
    EXPECT_FALSE(ctx.UseExtPara);
    EXPECT_TRUE(ctx.ValidateLimits);
    EXPECT_EQ(ctx.FirstFilterType, Smo_LP1stOrder);
    EXPECT_EQ(ctx.FirstFilterCutoffFactor, 4);
    EXPECT_EQ(ctx.Formula.Latitude, 12.5L);
}

} // namespace
} // namespace marevo
