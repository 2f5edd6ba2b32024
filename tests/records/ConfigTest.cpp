#include "records/Config.h"

#include "parameters/Parameter.h"
#include "support/AppEnv.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <set>
#include <vector>

namespace marevo {
namespace {

using test::ReadFileBytes;
using test::TAppEnv;

void WriteBytes(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

template <class T> void Poke(std::string& bytes, std::size_t offset, T value) {
    std::memcpy(bytes.data() + offset, &value, sizeof value);
}

template <class T> T Peek(const std::string& bytes, std::size_t offset) {
    T value;
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

// Format and count, then one display record per parameter of the default collection.
constexpr std::size_t DefaultDisplayBlock = 8 + 211 * ParaDisplayRecordSize;

TEST(ConfigFile, DefaultWritesReadsBackAndRewritesIdentically) {
    TAppEnv env;
    env.probe.DefaultParamCol();
    const auto first = env.dir / "first.cfg";
    ASSERT_TRUE(env.config.SaveToFile(first, InstalledCollections()));
    const std::string bytes = ReadFileBytes(first);
    ASSERT_EQ(bytes.size(),
              81u + 1208 + 3 * 620 + 200 + 272 + DefaultDisplayBlock + 512 + 56 + 536);
    EXPECT_EQ(bytes.substr(0, 5), std::string("\x04"
                                              "1.25"));
    EXPECT_EQ(bytes.substr(5, 36), std::string(36, '\0'));
    const std::int32_t index[] = {1289,
                                  1909,
                                  2529,
                                  3149,
                                  3349,
                                  3621,
                                  static_cast<std::int32_t>(3621 + DefaultDisplayBlock),
                                  static_cast<std::int32_t>(3621 + DefaultDisplayBlock + 512),
                                  static_cast<std::int32_t>(3621 + DefaultDisplayBlock + 568),
                                  0};
    for (int k = 0; k < 10; ++k)
        EXPECT_EQ(Peek<std::int32_t>(bytes, 41 + 4 * k), index[k]) << k;
    // GenCfg is the first block, byte for byte.
    EXPECT_EQ(bytes.substr(81, 1208),
              std::string(reinterpret_cast<const char*>(&env.config.GenCfg), 1208));

    TConfig back;
    back.Rosette.MaxBottlePos = 7;
    ASSERT_TRUE(back.ReadFromFile(first, InstalledCollections()));
    // The probe-dependent rosette settings are reset; the counts follow BottleList up to the
    // stored MaxBottlePos, 0 in the defaults.
    EXPECT_EQ(back.Rosette.RosetteType, ro_none);
    EXPECT_EQ(back.Rosette.TimeOut, 0.0);
    EXPECT_EQ(back.Rosette.FireDelay, 0.0);
    EXPECT_EQ(back.Rosette.MaxBottlePos, 0);
    EXPECT_EQ(back.Rosette.InstalledNb, 0);
    EXPECT_EQ(back.GenCfg.CruiseName.Get(), "qvtst");
    EXPECT_EQ(back.DataTextCfg.HeadList.List[2], 924);
    EXPECT_EQ(back.PlotParaPtr[1], env.probe.FindPara(401));
    EXPECT_EQ(back.CurParaPtr[5], env.probe.FindPara(407));

    const auto second = env.dir / "second.cfg";
    const auto third = env.dir / "third.cfg";
    ASSERT_TRUE(back.SaveToFile(second, InstalledCollections()));
    TConfig again;
    ASSERT_TRUE(again.ReadFromFile(second, InstalledCollections()));
    ASSERT_TRUE(again.SaveToFile(third, InstalledCollections()));
    EXPECT_EQ(ReadFileBytes(third), ReadFileBytes(second));
    // The first and second generation differ only where reading resets the rosette.
    const std::string two = ReadFileBytes(second);
    const std::size_t rosette = index[6];
    for (std::size_t i = 0; i < bytes.size(); ++i)
        if (bytes[i] != two[i]) {
            EXPECT_TRUE(i >= rosette + 40 && i < rosette + 72) << "byte " << i;
        }
    EXPECT_TRUE(env.LogMessages().empty());
}

TEST(ConfigFile, DefaultsOfTheBlocks) {
    TAppEnv env;
    const TConfig& c = env.config;
    EXPECT_EQ(c.AcquiCfg.AcquiMode, AM_Time);
    EXPECT_DOUBLE_EQ(c.AcquiCfg.TimeStep * 86400.0, 1.0);
    EXPECT_EQ(c.AcquiCfg.TimeMeanItv, c.AcquiCfg.TimeStep);
    EXPECT_EQ(c.AcquiCfg.VertMeanItv, c.AcquiCfg.VertStep);
    EXPECT_EQ(c.AcquiCfg.TimeStart, test::SampleTime());
    EXPECT_EQ(c.AcquiCfg.AllMax, 1000000);
    EXPECT_EQ(c.AcquiCfg.TrigPres.ToDouble(), 5.0);
    EXPECT_EQ(c.RemoteSetting.PressureMax.ToDouble(), 6000.0);
    EXPECT_EQ(c.RemoteSetting.TimeMaxStep, 100);
    EXPECT_DOUBLE_EQ(c.Rosette.TimeOut * 86400.0, 10.0);
    EXPECT_EQ(c.Rosette.LastInstalled, 18);
    EXPECT_EQ(c.Rosette.BottleList[17], 1);
    EXPECT_EQ(c.Rosette.BottleList[18], 0);
    EXPECT_EQ(c.Rosette.StartPressure.ToDouble(), 1000.0);
    EXPECT_EQ(c.HeaderTextCfg.TimeUnit, Time_Minute);
    EXPECT_EQ(c.BottleTextCfg.ParaList.count, 2);
    EXPECT_EQ(c.DataTextCfg.Direction, 1);
    EXPECT_EQ(c.DataTextCfg.CondUnit, 1);
    EXPECT_FLOAT_EQ(c.DataValidation.minTimeInterval, 0.005f);
    EXPECT_EQ(c.DataValidation.ShowFlagged, 1);
    EXPECT_DOUBLE_EQ(c.ExtractionFoldersCfg.AutomaticTextDataExportTimeout * 86400.0, 60.0);
}

struct TDamage {
    const char* name;
    std::function<void(std::string&)> damage;
    const char* reason; // nullptr: refused without a message
};

TEST(ConfigFile, DamagedFilesAreRefusedAndLeftAsTheyAre) {
    const TDamage cases[] = {
        {"another version", [](std::string& b) { b[4] = '4'; }, nullptr},
        {"empty", [](std::string& b) { b.clear(); }, nullptr},
        {"garbage", [](std::string& b) { b.assign(b.size(), '\xA5'); }, nullptr},
        {"garbage after the version",
         [](std::string& b) { std::fill(b.begin() + 41, b.end(), '\xA5'); },
         "bad value - index[0]"},
        {"block index moved", [](std::string& b) { Poke<std::int32_t>(b, 41, 1300); },
         "bad value - index[0]"},
        {"rosette index past the end",
         [](std::string& b) { Poke<std::int32_t>(b, 41 + 24, 0x7FFFFF00); }, "bad value - index"},
        {"cut short", [](std::string& b) { b.resize(b.size() - 10); }, "bad value - file size"},
        {"bytes appended", [](std::string& b) { b += "xx"; }, "bad value - file size"},
        {"plot list of 40", [](std::string& b) { Poke<std::int32_t>(b, 81, 40); },
         "bad value - ParaPlotList.count"},
        {"export list of -1", [](std::string& b) { Poke<std::int32_t>(b, 1289 + 304, -1); },
         "bad value - DataTextCfg.HeadList.count"},
        {"display block one parameter short",
         [](std::string& b) { Poke<std::int32_t>(b, 3621 + 4, 210); },
         "bad value - parameter display block"},
    };
    for (const TDamage& c : cases) {
        SCOPED_TRACE(c.name);
        TAppEnv env;
        env.probe.DefaultParamCol();
        const auto file = env.dir / "damaged.cfg";
        ASSERT_TRUE(env.config.SaveToFile(file, InstalledCollections()));
        std::string bytes = ReadFileBytes(file);
        c.damage(bytes);
        WriteBytes(file, bytes);

        EXPECT_FALSE(env.config.ReadFromFile(file, InstalledCollections()));
        EXPECT_EQ(ReadFileBytes(file), bytes);
        if (!c.reason) {
            EXPECT_TRUE(env.LogMessages().empty());
            EXPECT_TRUE(env.op.Events().empty());
            continue;
        }
        EXPECT_TRUE(env.Logged(std::string("Error in TConfig.ReadFromFile - Error while reading: "
                                           "TConfig.ReadFromFile: ") +
                               c.reason))
            << ::testing::PrintToString(env.LogMessages());
        ASSERT_FALSE(env.op.Events().empty());
        EXPECT_EQ(env.op.Events().back(), "Message Error [Error]: Configuration reading");
    }
}

TEST(Config, PlotListOperations) {
    TAppEnv env;
    env.probe.DefaultParamCol();
    TConfig& c = env.config;
    ASSERT_TRUE(c.UpdateAllParaPtr(InstalledCollections()));
    EXPECT_TRUE(c.ExistPlotPara(599));
    EXPECT_FALSE(c.ExistPlotPara(101));
    ASSERT_TRUE(c.RemoveScale(1));
    EXPECT_EQ(c.PlotCount(), 2);
    EXPECT_EQ(c.GenCfg.ParaPlotList.List[0], 400);
    EXPECT_EQ(c.GenCfg.ParaPlotList.List[1], 599);
    EXPECT_EQ(c.PlotParaPtr[1], env.probe.FindPara(599));
    EXPECT_EQ(c.PlotParaPtr[2], nullptr);
    EXPECT_FALSE(c.RemoveScale(2));

    // The cast collection comes first when it holds the number.
    TParameter* castPara = env.cast.Add(std::make_unique<TParameter>());
    castPara->SetDefPara(599);
    ASSERT_TRUE(c.UpdateAllParaPtr(InstalledCollections()));
    EXPECT_EQ(c.PlotParaPtr[1], castPara);

    TParaScale& s = env.probe.FindPara(400)->ParaScale;
    s.CurMin = TExtended(1.0);
    s.AutoMin = TExtended(2.0);
    c.GenCfg.DrawAutoY = 0;
    EXPECT_EQ(c.ScaleMin(0), 1.0L);
    c.GenCfg.DrawAutoY = 1;
    EXPECT_EQ(c.ScaleMin(0), 2.0L);
    EXPECT_EQ(c.ScaleMin(33), -5.0L);
    EXPECT_EQ(c.ScaleMax(33), 1000.0L);
    EXPECT_EQ(c.ScaleName(1), castPara->ParaText.ParaStr[4].Get() + " [" +
                                  castPara->ParaText.ParaStr[0].Get() + "]");
}

TEST(Config, BottlesFromTheRosetteLayout) {
    TAppEnv env;
    TRosetteInfo& r = env.config.Rosette;
    std::memset(r.BottleList, 0, sizeof r.BottleList);
    for (int k : {3, 5, 9, 30})
        r.BottleList[k - 1] = 1;
    r.MaxBottlePos = 12;
    env.config.SetBottlesPara();
    EXPECT_EQ(r.InstalledNb, 3);
    EXPECT_EQ(r.FirstInstalled, 3);
    EXPECT_EQ(r.LastInstalled, 9);

    const auto empty = [](std::set<int> fired) {
        return [fired](int k) { return !fired.count(k); };
    };
    const struct {
        int last;
        std::set<int> fired;
        int next;
    } cases[] = {
        {0, {}, 3}, {3, {}, 5}, {5, {}, 9}, {9, {}, 3}, {3, {5}, 9}, {9, {3, 5, 9}, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(env.config.NextBottle(c.last, empty(c.fired)), c.next) << c.last;
}

TEST(Config, NamesThatCannotLeaveTheDataRoot) {
    const struct {
        std::string name;
        bool safe;
    } cases[] = {
        {"qvtst", true},
        {std::string(40, 'a'), true},
        {"Cruise 7", true},
        {"..", false},
        {"a/b", false},
        {"a\\b", false},
        {"a.b", false},
        {"", false},
        {std::string(41, 'a'), false},
        {"/etc", false},
        {"tab\there", false},
        {"\xE4\xB8\xAD", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsSafeSettingsName(c.name), c.safe) << c.name;

    TAppEnv env;
    const std::filesystem::path root = "/data/";
    EXPECT_EQ(env.config.RawDir(root), "/data/qvtst/raw");
    EXPECT_EQ(env.config.BinDir(root), "/data/qvtst/bin");
    EXPECT_EQ(env.config.TxtDir(root), "/data/qvtst/txt");
    EXPECT_EQ(env.config.DefaultCruisePath(root), "/data/qvtst/qvtst.cru");
    for (const char* bad : {"..", "", "a/b"}) {
        env.config.GenCfg.CruiseName.Set(bad);
        EXPECT_TRUE(env.config.RootCruisePath(root).empty()) << bad;
        EXPECT_TRUE(env.config.RawDir(root).empty()) << bad;
        EXPECT_TRUE(env.config.CruisePathName(root).empty()) << bad;
    }
}

} // namespace
} // namespace marevo
