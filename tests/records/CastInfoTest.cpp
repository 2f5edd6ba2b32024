#include "records/CastInfo.h"

#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace marevo {
namespace {

using test::SampleTime;
using test::TTestEnv;
using Bytes = std::vector<std::uint8_t>;

// A header with a distinct value in every field.
TCastInfo SampleHeader() {
    TCastInfo h;
    h.ID = 17;
    const char* items[] = {"17", "Cast 17", "Atlantis", "RV Meteor", "J. Doe", "spare"};
    for (int i = 0; i < 6; ++i)
        h.InfoStr[i].Set(items[i]);
    h.CastTime = {46090.25, 46090.375, 46090.5};
    h.latitude = {TExtended(43.125), TExtended(43.25), TExtended(43.375)};
    h.longitude = {TExtended(-9.5), TExtended(-9.625), TExtended(-9.75)};
    h.BottomValue[0] = {512.5f, 0};
    h.BottomValue[1] = {530.25f, 0};
    h.BottomValue[2] = {17.75f, 0};
    h.BottomValue[3] = {0.0f, 1};
    h.comment.Set("CTD Nord, 2.5 °C");
    h.DataSetNb = 12345;
    h.FrameError = 3;
    h.RawMode = rm_timed;
    h.ScanRate = TExtended(0.25);
    h.xSpare = TExtended(-1.5);
    h.DupTempNb = 1;
    h.DupCondNb = 2;
    h.DupOxyNb = 1;
    h.ExtractMode = AM_All;
    h.ExtractStep = TExtended(4.0);
    h.ExtractNb = 99;
    h.MinPressure = TExtended(1.25);
    h.ValidateError = 7;
    h.DupAltiNb = 1;
    h.StartTimeExtr = 30;
    h.InvalidCast = 1;
    h.SortingExtractionError = 5;
    h.OfflineFilteringError = 6;
    h.PressureOffsetFilter = TExtended(0.0125);
    return h;
}

Bytes RecordBytes(const TCastInfo& h) {
    const TCastInfoRecord record = h.ToRecord();
    const auto* p = reinterpret_cast<const std::uint8_t*>(&record);
    return Bytes(p, p + sizeof record);
}

Bytes Written(const TCastInfo& h) {
    TMemoryStream stream;
    EXPECT_TRUE(h.WriteCastInfo(stream));
    return stream.Bytes();
}

template <class T> T At(const Bytes& bytes, std::size_t offset) {
    T value;
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

double ExtAt(const Bytes& bytes, std::size_t offset) {
    TExtended e;
    std::memcpy(e.bytes, bytes.data() + offset, 10);
    return e.ToDouble();
}

void WriteFile(const std::filesystem::path& file, const Bytes& bytes) {
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

TEST(CastInfoNames, RawAndExtractModeNamesAndScanRateDecimals) {
    const std::pair<int, std::string_view> rawModes[] = {
        {rm_RealTime, "Real Time"},
        {rm_linear, "Linear"},
        {rm_timed, "Timed"},
        {rm_fast, "Fast"},
        {rm_manual, "Manual"},
        {5, "?"},
        {-1, "?"},
    };
    for (auto [mode, name] : rawModes)
        EXPECT_EQ(RawModeName(mode), name) << mode;
    const std::pair<int, std::string_view> acquiModes[] = {
        {AM_Pressure, "Linear"}, {AM_Time, "Time"}, {AM_All, "Dataset"}, {3, "?"}};
    for (auto [mode, name] : acquiModes)
        EXPECT_EQ(AcquiModeName(mode), name) << mode;
    const std::pair<int, int> decimals[] = {
        {rm_RealTime, 0}, {rm_linear, 2}, {rm_timed, 2}, {rm_fast, 0}, {rm_manual, 0}};
    for (auto [mode, n] : decimals)
        EXPECT_EQ(ScanRateDecimals(mode), n) << mode;
}

TEST(CastInfo, SetDefCruiseSetsTheCruiseDefaultsAndKeepsEverythingElse) {
    TTestEnv env;
    TCastInfo h = SampleHeader();
    const TCastInfo before = h;
    EXPECT_TRUE(h.SetDefCruise("NewCruise"));

    EXPECT_EQ(h.ID, 0);
    const char* items[] = {"0", "NewCruise", "NewCruise", "Ship Name", "", "spare"};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(h.InfoStr[i].Get(), items[i]) << i;
    for (TDateTime t : h.CastTime)
        EXPECT_EQ(t, SampleTime());
    for (int i : {0, 2}) {
        EXPECT_DOUBLE_EQ(h.latitude[i].ToDouble(), 45.54) << i;
        EXPECT_DOUBLE_EQ(h.longitude[i].ToDouble(), 9.2834) << i;
    }
    EXPECT_EQ(h.RawMode, rm_RealTime);
    EXPECT_EQ(h.ExtractMode, AM_Time);
    EXPECT_EQ(h.ScanRate.ToDouble(), 1.0);
    EXPECT_EQ(h.DupTempNb, 0);
    EXPECT_EQ(h.DupCondNb, 0);
    EXPECT_EQ(h.DupOxyNb, 0);
    EXPECT_EQ(h.DupAltiNb, 0);
    EXPECT_EQ(h.comment.Get(), "");

    // The bottom position, bottom values, counters and the extraction results are the cast's.
    EXPECT_EQ(h.latitude[1], before.latitude[1]);
    EXPECT_EQ(h.longitude[1], before.longitude[1]);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(h.BottomValue[i], before.BottomValue[i]) << i;
    EXPECT_EQ(h.DataSetNb, 12345);
    EXPECT_EQ(h.FrameError, 3);
    EXPECT_EQ(h.ValidateError, 7);
    EXPECT_EQ(h.SortingExtractionError, 5);
    EXPECT_EQ(h.OfflineFilteringError, 6);
    EXPECT_EQ(h.ExtractStep, before.ExtractStep);
    EXPECT_EQ(h.ExtractNb, 99);
    EXPECT_EQ(h.MinPressure, before.MinPressure);
    EXPECT_EQ(h.StartTimeExtr, 30);
    EXPECT_EQ(h.InvalidCast, 1);
    EXPECT_EQ(h.PressureOffsetFilter, before.PressureOffsetFilter);
    EXPECT_EQ(h.xSpare, before.xSpare);
    EXPECT_TRUE(env.LogMessages().empty());
}

TEST(CastInfo, SetDefCruiseCutsTheNameTo40Characters) {
    TTestEnv env;
    const std::string name50 = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwx";
    ASSERT_EQ(name50.size(), 50u);
    const std::pair<std::string, std::string> cases[] = {
        {name50, name50.substr(0, 40)}, {"", ""}, {"Côte d'Azur", "Côte d'Azur"}};
    for (const auto& [given, stored] : cases) {
        TCastInfo h;
        EXPECT_TRUE(h.SetDefCruise(given));
        EXPECT_EQ(h.InfoStr[1].Get(), stored);
        EXPECT_EQ(h.InfoStr[2].Get(), stored);
    }
}

TEST(CastInfo, SetDefCastPreparesTheNextCastFromThePreviousHeader) {
    TTestEnv env;
    TCastInfo h = SampleHeader();
    const TCastInfo before = h;
    h.SetDefCast(18, AM_Pressure, TExtended(0.5));

    EXPECT_EQ(h.ID, 18);
    EXPECT_EQ(h.InfoStr[0].Get(), "18");
    EXPECT_EQ(h.InfoStr[1].Get(), "Cast 18");
    EXPECT_EQ(h.RawMode, rm_RealTime);
    EXPECT_EQ(h.ExtractMode, AM_Pressure);
    EXPECT_EQ(h.ExtractStep.ToDouble(), 0.5);
    EXPECT_EQ(h.ExtractNb, 0);
    for (TDateTime t : h.CastTime)
        EXPECT_EQ(t, SampleTime());
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(h.latitude[i], before.latitude[0]) << i;
        EXPECT_EQ(h.longitude[i], before.longitude[0]) << i;
    }
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(h.BottomValue[i].value, 0.0f) << i;
        EXPECT_EQ(h.BottomValue[i].flag, before.BottomValue[i].flag) << i;
    }
    EXPECT_EQ(h.comment.Get(), "");
    // Inherited from the previous cast.
    EXPECT_EQ(h.InfoStr[3].Get(), "RV Meteor");
    EXPECT_EQ(h.InfoStr[4].Get(), "J. Doe");
    EXPECT_EQ(h.DupCondNb, 2);
}

TEST(CastInfo, WrittenHeaderHoldsEveryFieldAtItsOffset) {
    TTestEnv env;
    const Bytes b = Written(SampleHeader());
    ASSERT_EQ(b.size(), 864u);

    const std::pair<std::size_t, std::int32_t> ints[] = {
        {0, 17},   {622, 12345}, {626, 3}, {651, 1},  {655, 2}, {659, 1},
        {674, 99}, {688, 7},     {692, 1}, {696, 30}, {701, 5}, {705, 6},
    };
    for (auto [offset, value] : ints)
        EXPECT_EQ(At<std::int32_t>(b, offset), value) << offset;

    const std::pair<std::size_t, std::uint8_t> singleBytes[] = {
        {4, 2},
        {5, '1'},
        {45, 7},
        {46, 'C'},
        {4 + 5 * 41, 5},
        {366, 16},
        {366 + 1 + 14, 0xB0},
        {630, rm_timed},
        {663, AM_All},
        {700, 1},
        {334 + 28, 1}, // flag of BottomValue[3]
    };
    for (auto [offset, value] : singleBytes)
        EXPECT_EQ(b[offset], value) << offset;

    const std::pair<std::size_t, double> doubles[] = {
        {250, 46090.25}, {258, 46090.375}, {266, 46090.5}};
    for (auto [offset, value] : doubles)
        EXPECT_EQ(At<double>(b, offset), value) << offset;

    const std::pair<std::size_t, double> exts[] = {
        {274, 43.125}, {284, 43.25}, {294, 43.375}, {304, -9.5}, {314, -9.625}, {324, -9.75},
        {631, 0.25},   {641, -1.5},  {664, 4.0},    {678, 1.25}, {709, 0.0125},
    };
    for (auto [offset, value] : exts)
        EXPECT_EQ(ExtAt(b, offset), value) << offset;

    const std::pair<std::size_t, float> floats[] = {
        {334, 512.5f}, {342, 530.25f}, {350, 17.75f}, {358, 0.0f}};
    for (auto [offset, value] : floats)
        EXPECT_EQ(At<float>(b, offset), value) << offset;

    for (std::size_t i = 719; i < 864; ++i)
        ASSERT_EQ(b[i], 0) << i;
}

TEST(CastInfo, ReadThenWriteGivesBackEveryByteOfAStoredHeader) {
    TTestEnv env;
    // Arbitrary bytes everywhere: string tails, flag padding and the reserve included.
    Bytes stored(864);
    for (std::size_t i = 0; i < stored.size(); ++i)
        stored[i] = static_cast<std::uint8_t>(i * 37 + 11);
    stored[4] = 3; // InfoStr[0] is three characters long
    const auto file = env.dir / "header.bin";
    WriteFile(file, stored);

    TCastInfo h;
    {
        TFileStream in(file, TFileMode::OpenRead);
        ASSERT_TRUE(h.ReadCastInfo(in));
        EXPECT_EQ(in.Position(), 864);
    }
    EXPECT_EQ(h.ID, At<std::int32_t>(stored, 0));
    EXPECT_EQ(h.InfoStr[0].Raw(), std::string_view(reinterpret_cast<const char*>(&stored[5]), 3));
    EXPECT_EQ(h.CastTime[2], At<double>(stored, 266));
    EXPECT_EQ(h.BottomValue[1].flag, stored[346]);
    EXPECT_EQ(h.InvalidCast, stored[700]);
    EXPECT_EQ(h.PressureOffsetFilter.ToDouble(), ExtAt(stored, 709));
    EXPECT_EQ(h.reserve[144], stored[863]);

    {
        TFileStream out(env.dir / "again.bin", TFileMode::Create);
        ASSERT_TRUE(h.WriteCastInfo(out));
    }
    EXPECT_EQ(test::ReadFileBytes(env.dir / "again.bin"),
              std::string(stored.begin(), stored.end()));
    EXPECT_TRUE(env.LogMessages().empty());
}

// A header cut short by the end of its file fails: the operator sees the box, the log names the
// field that was cut, and the header in memory is the one it was before the read.
TEST(CastInfo, TruncatedHeaderFailsWithBoxAndLogLineAndLeavesTheHeaderAsItWas) {
    const Bytes full = Written(SampleHeader());
    const std::pair<std::size_t, std::string> cuts[] = {
        {0, "ID"},
        {3, "ID"},
        {4, "InfoStr"},
        {300, "latitude"},
        {366, "comment"},
        {700, "InvalidCast"},
        {718, "PressureOffsetFilter"},
        {863, "reserve"},
    };
    for (const auto& [length, field] : cuts) {
        TTestEnv env;
        const auto file = env.dir / "cut.bin";
        WriteFile(file, Bytes(full.begin(), full.begin() + std::ptrdiff_t(length)));

        TCastInfo h;
        ASSERT_TRUE(h.SetDefCruise("Before"));
        const Bytes before = RecordBytes(h);
        TFileStream in(file, TFileMode::OpenRead);
        EXPECT_FALSE(h.ReadCastInfo(in)) << length;
        EXPECT_EQ(RecordBytes(h), before) << length;
        EXPECT_EQ(env.LogMessages(),
                  std::vector<std::string>{
                      "FUNC: CastInfo.ReadCastInfoTCastInfo.ReadCastInfo: read error - " + field})
            << length;
        EXPECT_EQ(env.op.Events(),
                  std::vector<std::string>{"Message Error [Error]: Read Cast information "})
            << length;
    }
}

TEST(CastInfo, FailedWriteIsReportedAndReturnsFalse) {
    TTestEnv env;
    TMemoryStream full;
    full.SetCapacityLimit(500);
    EXPECT_FALSE(SampleHeader().WriteCastInfo(full));
    EXPECT_EQ(env.LogMessages(),
              std::vector<std::string>{
                  "FUNC: CastInfo.WriteCastInfoTCastInfo.WriteCastInfo: write error - comment"});
    EXPECT_EQ(env.op.Events(),
              std::vector<std::string>{"Message Error [Error]: Write Cast information "});
}

} // namespace
} // namespace marevo
