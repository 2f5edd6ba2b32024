#include "acquisition/RosetteRules.h"

#include <gtest/gtest.h>

namespace marevo {
namespace {

TRosetteInfo Installed(std::initializer_list<int> positions, int max = 12) {
    TRosetteInfo r{};
    r.RosetteType = ro_1014;
    r.MaxBottlePos = max;
    for (int k : positions)
        r.BottleList[k - 1] = 1;
    return r;
}

TRosettePage Page(const std::string& start, const std::string& p1, const std::string& wait) {
    TRosettePage page = RosettePageFrom(Installed({1, 2}));
    page.startPressure = start;
    for (auto& p : page.pressure)
        p = "10";
    page.pressure[0] = p1;
    page.waitOnSampling = wait;
    return page;
}

TEST(RosetteRules, RosettePageChecksGiveDefaultsWithTheirWarnings) {
    const std::string crlf = "\r\n";
    struct TCase {
        const char* name;
        TRosettePage page;
        double start, p1, wait;
        std::vector<std::string> warnings;
    } cases[] = {
        {"all good", Page("1000", "500", "30"), 1000, 500, 30, {}},
        {"start abc", Page("abc", "500", "30"), 1000, 500, 30,
         {"Bottle start pressure value is invalid." + crlf +
          "Default value: 1000.0[dbar] will be used!"}},
        {"start out of range", Page("20000", "500", "30"), 1000, 500, 30,
         {"Bottle start pressure value is invalid." + crlf +
          "Value must be >= 0 and <= 10000.0!" + crlf +
          "Default value: 1000.0[dbar] will be used!"}},
        {"bottle above start", Page("1000", "1200", "30"), 1000, 0, 30,
         {"Bottle 1 pressure value is invalid." + crlf +
          "Value must be less than Start Pressure: 1000.0[dbar]!" + crlf +
          "Default value: 0.0[dbar] will be used!"}},
        {"bottle not a number", Page("1000", "x", "30"), 1000, 0, 30,
         {"Bottle 1 pressure value is invalid." + crlf +
          "Default value: 0.0[dbar] will be used!"}},
        {"wait 5000", Page("1000", "500", "5000"), 1000, 500, 120,
         {"Bottle wait on sampling value is invalid." + crlf +
          "Value must be >= 0 and <= 3600!" + crlf + "Default value: 120[s] will be used!"}},
        {"wait abc", Page("1000", "500", "abc"), 1000, 500, 120,
         {"Bottle wait on sampling value is invalid." + crlf +
          "Default value: 120[s] will be used!"}},
    };
    for (const TCase& c : cases) {
        const TRosettePageCheck r = CheckRosettePage(c.page, Installed({1, 2}));
        EXPECT_EQ(r.startPressure, c.start) << c.name;
        EXPECT_EQ(r.pressure[0], c.p1) << c.name;
        EXPECT_EQ(r.waitOnSampling, c.wait) << c.name;
        EXPECT_EQ(r.warnings, c.warnings) << c.name;
    }
}

// With a start pressure of 0 no bottle pressure passes: one warning per bottle, 0.0 kept, and
// the check ends.
TEST(RosetteRules, StartPressureZeroWarnsOncePerBottleAndEnds) {
    TRosettePage page = Page("0", "abc", "10");
    const TRosettePageCheck r = CheckRosettePage(page, Installed({1, 2}));
    EXPECT_EQ(r.warnings.size(), std::size_t(MaxBottles));
    EXPECT_EQ(r.startPressure, 0.0);
    for (double p : r.pressure)
        EXPECT_EQ(p, 0.0);
    EXPECT_EQ(r.shown.pressure[5], "0.0");
}

TEST(RosetteRules, EnablingFollowsSamplingTypeAndInstalledPositions) {
    std::array<bool, MaxBottles> installed{};
    installed[2] = true;
    const TRosetteEnabling manual = RosetteEnabling(0, installed);
    EXPECT_FALSE(manual.edits);
    EXPECT_FALSE(manual.position[2]);
    const TRosetteEnabling automatic = RosetteEnabling(1, installed);
    EXPECT_TRUE(automatic.edits);
    EXPECT_TRUE(automatic.position[2]);
    EXPECT_FALSE(automatic.position[3]);
}

TEST(RosetteRules, FirstBottleDialogContent) {
    TRosetteInfo r = Installed({2, 5, 11}, 12);
    r.RosetteType = ro_SBE;
    r.TimeOut = SecondsToDays(30);
    r.FireDelay = SecondsToDays(0.5);
    r.BottleList[20] = 1; // beyond the rosette's positions
    const TFirstBottleContent c = FirstBottleContent(r);
    EXPECT_EQ(RosetteTypeLabel(c.typeIndex), "SBE 32 Carousel");
    EXPECT_EQ(c.timeOut, "30");
    EXPECT_EQ(c.fireDelay, "0.5");
    EXPECT_EQ(c.maxBottles, "12");
    EXPECT_EQ(c.installed, (std::vector<std::string>{"02", "05", "11"}));
    EXPECT_TRUE(c.okEnabled);
    EXPECT_FALSE(FirstBottleContent(Installed({}, 12)).okEnabled);
    EXPECT_EQ(InstalledItemNumber("05"), 5);
    EXPECT_EQ(InstalledItemNumber("x"), 0);
}

TEST(RosetteRules, FiringStyleAndLabels) {
    const std::pair<int, std::string_view> labels[] = {
        {ro_none, "NONE"},  {ro_1014, "GO 1018/1016/1014"}, {ro_1015, "GO 1015"},
        {ro_1016, "GO 1018/1016/1014"}, {ro_SBE, "SBE 32 Carousel"}, {ro_MISS, "MISS"},
        {ro_KC, "KC Denmark"}};
    for (const auto& [type, label] : labels)
        EXPECT_EQ(RosetteTypeLabel(type), label);
    for (int type : {ro_1015, ro_MISS, ro_KC})
        EXPECT_FALSE(PositionalRosette(type)) << type;
    for (int type : {ro_1014, ro_1016, ro_SBE})
        EXPECT_TRUE(PositionalRosette(type)) << type;
}

} // namespace
} // namespace marevo
