#include "records/ConfigFields.h"

#include "records/Config.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace marevo {
namespace {

TEST(ConfigFields, EveryFieldReadsBackWhatItShows) {
    TConfig config;
    std::set<std::string> names;
    for (const TConfigField& f : ConfigFields()) {
        SCOPED_TRACE(f.name);
        EXPECT_TRUE(names.insert(f.name).second) << "named twice";
        std::string shown = f.get(config);
        // A duration shows its seconds after the days; the days alone are the value.
        shown = shown.substr(0, shown.find(" ("));
        std::string why;
        TConfig copy;
        copy.Assign(config);
        ASSERT_TRUE(f.set(copy, shown, why)) << why;
        EXPECT_EQ(f.get(copy), f.get(config));
    }
    EXPECT_GT(names.size(), 200u) << "every record field, arrays entry by entry";
    EXPECT_NE(FindConfigField("acquicfg.vertstep"), nullptr) << "names match whatever the case";
}

TEST(ConfigFields, ValuesAreCheckedAndStoredAllOrNone) {
    TConfig config;
    std::vector<std::string> refused;
    ASSERT_TRUE(SetConfigFields(config,
                                {"AcquiCfg.VertStep=0.5", "AcquiCfg.VertMean=1",
                                 "AcquiCfg.TimeStep=10s", "DataTextCfg.ParaList=101, 401,599",
                                 "GenCfg.CruiseName=Leg 1", "GenCfg.AlarmLimit[2]=12.5"},
                                refused));
    EXPECT_EQ(config.AcquiCfg.VertStep.ToDouble(), 0.5);
    EXPECT_EQ(config.AcquiCfg.VertMean, 1);
    EXPECT_NEAR(config.AcquiCfg.TimeStep * 86400, 10, 1e-9);
    EXPECT_EQ(config.DataTextCfg.ParaList.count, 3);
    EXPECT_EQ(config.DataTextCfg.ParaList.List[2], 599);
    EXPECT_EQ(config.GenCfg.CruiseName.Get(), "Leg 1");
    EXPECT_EQ(config.GenCfg.AlarmLimit[2].ToDouble(), 12.5);

    const struct {
        std::string assignment;
        const char* reason;
    } refusals[] = {
        {"AcquiCfg.VertMean=2", "AcquiCfg.VertMean: must be a whole number from 0 to 1"},
        {"AcquiCfg.VertStep=1,5", "AcquiCfg.VertStep: must be a number"},
        {"AcquiCfg.VertStep=nan", "AcquiCfg.VertStep: must be a number"},
        {"AcquiCfg.Nothing=1", "AcquiCfg.Nothing: no such setting"},
        {"AcquiCfg.VertStep", "\"AcquiCfg.VertStep\": write FIELD=VALUE"},
        {"DataTextCfg.ParaList=101,4242", "DataTextCfg.ParaList: \"4242\" is not a parameter"},
        {"GenCfg.ParaPlotList=101,110,111,120,121,130,140,401,404,599",
         "GenCfg.ParaPlotList: holds at most 9 parameters"},
        {"GenCfg.CruiseName=" + std::string(41, 'x'),
         "GenCfg.CruiseName: is longer than 40 characters"},
        {"GenCfg.CurrentCTDSpeedWeight=0",
         "GenCfg.CurrentCTDSpeedWeight: must be a whole number from 1 to 100"},
        {"ExtractionFoldersCfg.AutomaticTextDataExportTimeout=9s",
         "Automatic data export timeout must be greater than 10 seconds"},
    };
    for (const auto& r : refusals) {
        SCOPED_TRACE(r.assignment);
        TConfig before;
        before.Assign(config);
        EXPECT_FALSE(SetConfigFields(config, {"AcquiCfg.VertStep=2", r.assignment}, refused));
        ASSERT_EQ(refused.size(), 1u);
        EXPECT_NE(refused[0].find(r.reason), std::string::npos) << refused[0];
        EXPECT_EQ(config.AcquiCfg.VertStep.ToDouble(), 0.5) << "nothing stored";
    }
}

} // namespace
} // namespace marevo
