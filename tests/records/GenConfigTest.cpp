#include "records/GenConfig.h"

#include "foundation/Guard.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <vector>

namespace marevo {
namespace {

std::vector<std::int32_t> Numbers(const TParaList& list) {
    return {list.List, list.List + list.count};
}

TEST(GenConfig, NewRecordIsZeroAndDefaultsSetTheListedFields) {
    TGenConfig cfg;
    for (std::size_t i = 0; i < sizeof cfg; ++i)
        ASSERT_EQ(reinterpret_cast<const std::uint8_t*>(&cfg)[i], 0) << i;

    SetGenConfigDefaults(cfg);
    EXPECT_EQ(Numbers(cfg.ParaPlotList), (std::vector<std::int32_t>{400, 401, 599}));
    EXPECT_EQ(Numbers(cfg.CurParaList), (std::vector<std::int32_t>{100, 101, 401, 599, 404, 407}));
    EXPECT_EQ(Numbers(cfg.BottleParaList), (std::vector<std::int32_t>{501, 101, 401}));
    EXPECT_EQ(cfg.ValueMode, vm_scroll);
    EXPECT_EQ(cfg.CursorOn, 0);
    EXPECT_EQ(cfg.FileType, 2);
    EXPECT_EQ(cfg.Direction, Direction_Both);
    EXPECT_EQ(cfg.TimeUnit, 0);
    EXPECT_EQ(cfg.CondUnit, 1);
    EXPECT_EQ(cfg.PosFormat, 0);
    EXPECT_EQ(cfg.CruiseName.Get(), "qvtst");
    EXPECT_EQ(cfg.CondPTEffect, 1);
    EXPECT_EQ(cfg.PressureTEffect, 1);
    EXPECT_EQ(cfg.CondLagEffect, 1);
    EXPECT_EQ(cfg.CondForcedFlow, 0);
    EXPECT_EQ(cfg.ManualLagCompensation, 0);
    EXPECT_EQ(cfg.firstFilterType, 0);
    EXPECT_EQ(cfg.firstFilterSamplesNumber, 10);
    EXPECT_EQ(cfg.firstFilterCutoffPeriodFactor, 4);
    EXPECT_EQ(cfg.salt_freshWaterFlag, 1);
    EXPECT_EQ(cfg.TempPTEffect, 0);
    EXPECT_EQ(cfg.CurrentCTDSpeedWeight, 50);
    EXPECT_EQ(cfg.CurrentScanRateWeight, 50);
    EXPECT_EQ(cfg.PressureOffsetFilterType, POF_None);
    for (std::uint8_t checked : cfg.AlarmChecked)
        EXPECT_EQ(checked, 0);

    // The communication alarm (4) has no limit and no default.
    const double limits[] = {25.0, 2.0, 20.0, 200.0, 0.0, 50.0};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(cfg.AlarmLimit[i].ToDouble(), limits[i]) << i;

    struct {
        const char* name;
        TExtended value;
        long double expected;
    } const decimals[] = {
        {"TimeLagCompensationOffset", cfg.TimeLagCompensationOffset, 0.10438027L},
        {"TimeLagCompensationSlope", cfg.TimeLagCompensationSlope, 0.087383251L},
        {"FlowRate", cfg.FlowRate, 0.2L},
        {"EdTimeLag", cfg.EdTimeLag, 5.0L},
        {"ThetaRefPress", cfg.ThetaRefPress, 0.0L},
        {"FreshWaterConversion", cfg.FreshWaterConversion, 1.019716L},
        {"TotDisSolCoeff", cfg.TotDisSolCoeff, 0.65L},
        {"ThermCompensation", cfg.ThermCompensation, -7e-07L},
        {"PressureOffsetFilterConductivityThreshold", cfg.PressureOffsetFilterConductivityThreshold,
         0.1L},
    };
    for (const auto& d : decimals) {
        EXPECT_DOUBLE_EQ(d.value.ToDouble(), static_cast<double>(d.expected)) << d.name;
        // Where long double is the 10-byte format, the stored value is the nearest extended.
        if constexpr (std::numeric_limits<long double>::digits == 64) {
            EXPECT_EQ(d.value.ToLongDouble(), d.expected) << d.name;
        }
    }
}

TEST(GenConfig, DefaultsLeaveGapsAndFieldsWithoutDefaultAsTheyWere) {
    TGenConfig cfg;
    std::memset(static_cast<void*>(&cfg), 0xA5, sizeof cfg);
    SetGenConfigDefaults(cfg);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&cfg);

    struct {
        const char* what;
        std::size_t offset;
        std::size_t size;
    } const untouched[] = {
        {"ParaPlotList.List[3..32]", 4 + 3 * 4, 30 * 4},
        {"ParaPlotList.Avail, gap and Ptr", 136, 168},
        {"CurParaList.List[6..32]", 608 + 4 + 6 * 4, 27 * 4},
        {"gap923", 923, 1},
        {"CruiseName after its 5 characters", 936 + 1 + 5, 35},
        {"gap983", 983, 1},
        {"AlarmLimit[4]", 984 + 40, 10},
        {"gap1047", 1047, 1},
        {"gap1058", 1058, 6},
        {"gap1075", 1075, 5},
        {"gap1091", 1091, 5},
        {"gap1106", 1106, 2},
        {"gap1123", 1123, 1},
        {"gap1132", 1132, 4},
        {"gap1147", 1147, 5},
        {"gap1163", 1163, 5},
        {"gap1178", 1178, 2},
        {"gap1189", 1189, 3},
        {"gap1202", 1202, 6},
    };
    for (const auto& u : untouched)
        for (std::size_t i = 0; i < u.size; ++i)
            ASSERT_EQ(bytes[u.offset + i], 0xA5) << u.what << " byte " << i;
}

// The stored image of the defaults, read at the offsets of the configuration file's first block.
TEST(GenConfig, DefaultsLandAtTheirStoredOffsets) {
    TGenConfig cfg;
    SetGenConfigDefaults(cfg);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&cfg);
    auto int32At = [&](std::size_t offset) {
        std::int32_t v;
        std::memcpy(&v, bytes + offset, 4);
        return v;
    };
    auto extAt = [&](std::size_t offset) {
        TExtended e;
        std::memcpy(e.bytes, bytes + offset, 10);
        return e.ToDouble();
    };

    const std::pair<std::size_t, std::int32_t> ints[] = {
        {0, 3},   {4, 400},   {8, 401},   {12, 599}, {304, 3},   {308, 501},
        {608, 6}, {632, 407}, {1124, 10}, {1128, 4}, {1180, 50}, {1184, 50},
    };
    for (auto [offset, value] : ints)
        EXPECT_EQ(int32At(offset), value) << offset;

    const std::pair<std::size_t, std::uint8_t> singleBytes[] = {
        {912, 1}, {914, 2}, {915, 3}, {921, 1}, {936, 5}, {937, 'q'}, {1044, 1}, {1146, 1},
    };
    for (auto [offset, value] : singleBytes)
        EXPECT_EQ(bytes[offset], value) << offset;

    const std::pair<std::size_t, double> exts[] = {
        {984, 25.0}, {994, 2.0}, {1004, 20.0}, {1014, 200.0}, {1034, 50.0}, {1096, 5.0},
    };
    for (auto [offset, value] : exts)
        EXPECT_EQ(extAt(offset), value) << offset;
    EXPECT_DOUBLE_EQ(extAt(1136), 1.019716);
    EXPECT_DOUBLE_EQ(extAt(1192), 0.1);
}

TEST(GenConfig, SetParaListNumbersRefusesMoreThan33Entries) {
    test::TTestEnv env;
    TParaList list{};
    SetParaListNumbers(list, {1, 2, 3});
    SetParaListNumbers(list, {7});
    EXPECT_EQ(list.count, 1);
    EXPECT_EQ(list.List[0], 7);
    EXPECT_EQ(list.List[1], 2);
    EXPECT_THROW(SetParaListNumbers(list, {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12,
                                           13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24,
                                           25, 26, 27, 28, 29, 30, 31, 32, 33, 34}),
                 EMarevoError);
    EXPECT_EQ(list.count, 1);
}

} // namespace
} // namespace marevo
