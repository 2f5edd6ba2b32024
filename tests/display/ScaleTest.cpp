// Tick values, positions and labels of the plot axes.

#include "display/Scale.h"

#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>
#include <string>
#include <vector>

namespace marevo {
namespace {

std::vector<std::string> Labels(const std::vector<RTic>& tics) {
    std::vector<std::string> out;
    for (const RTic& t : tics)
        if (!t.slab.empty())
            out.push_back(t.slab);
    return out;
}

struct TTickCase {
    const char* name;
    bool log;
    long double atOrigin, atEnd;
    int length;
    ScalePos orientation;
    std::vector<std::string> labels;   // exactly these, in tick order; empty: not checked
    std::vector<std::string> contains; // among the labels
    long double lastLabelled;          // the largest labelled value; NaN: not checked
};

TEST(ScaleTicks, TableOfAxes) {
    test::TTestEnv env;
    const TTickCase cases[] = {
        {"vertical 0..1000 on 500 px", false, 0, 1000, 500, gauche,
         {"0", "100", "200", "300", "400", "500", "600", "700", "800", "900", "1000"}, {}, 1000},
        {"reversed 1000..0", false, 1000, 0, 500, gauche, {}, {"0", "1000"}, 1000},
        {"salinity 34.5..35.5 on 280 px", false, 34.5, 35.5, 280, bas,
         {"34.6", "34.8", "35.0", "35.2", "35.4"}, {}, 35.4},
        {"log 0.01..100 on 400 px, decades", true, 0.01, 100, 400, bas,
         {"100", "10", "1", "0.1", "0.01"}, {}, 100},
        {"log 10..1000 on 560 px, 1-2-5", true, 10, 1000, 560, bas,
         {"1000", "500", "200", "100", "50", "20", "10"}, {}, 1000},
        {"log 1..2 on 400 px, dense", true, 1, 2, 400, bas, {}, {"2.0", "1.5", "1.0"}, 2},
        {"log 0..100: one decade below 100", true, 0, 100, 400, bas, {}, {"100"}, 100},
        {"0..5e-9", false, 0, 5e-9L, 400, bas, {}, {"0", "1.0E-9", "5.0E-9"}, 5e-9L},
        {"0..1e11", false, 0, 1e11L, 500, bas, {}, {"0", "5.0E10", "1.0E11"}, 1e11L},
        {"0..1e15", false, 0, 1e15L, 561, bas, {}, {"0", "5.0E14", "1.0E15"}, 1e15L},
        {"0..999 on 3000 px", false, 0, 999, 3000, bas, {}, {"0", "500"}, 990},
        {"-1..1", false, -1, 1, 300, bas, {}, {"-1.0", "0.0", "1.0"}, 1},
        {"log both ends <= 0, drawn linear", true, -10, 0, 400, bas, {}, {"-10", "0"}, 0},
    };
    for (const TTickCase& c : cases) {
        SCOPED_TRACE(c.name);
        TScale scale;
        ASSERT_TRUE(scale.SetScale(0, 0, "T", c.log, 1, 0, c.atEnd, c.atOrigin, c.orientation,
                                   c.length));
        ASSERT_TRUE(scale.SetScaleDone());
        const std::vector<RTic> tics = scale.Prepare();
        ASSERT_FALSE(tics.empty());
        if (!c.labels.empty()) {
            EXPECT_EQ(Labels(tics), c.labels);
        }
        const auto labels = Labels(tics);
        for (const std::string& l : c.contains)
            EXPECT_NE(std::find(labels.begin(), labels.end(), l), labels.end()) << l;

        std::vector<int> labelled;
        long double lastLabelled = -std::numeric_limits<long double>::infinity();
        for (const RTic& t : tics) {
            EXPECT_GE(t.ixp, 0);
            EXPECT_LE(t.ixp, c.length);
            // A tick sits where the axis maps its value.
            EXPECT_NEAR(t.ixp, static_cast<double>(scale.Map().Pos(t.xp)), 0.5001);
            if (!t.slab.empty()) {
                labelled.push_back(t.ixp);
                lastLabelled = std::max(lastLabelled, t.xp);
            }
        }
        std::sort(labelled.begin(), labelled.end());
        for (std::size_t i = 1; i < labelled.size(); ++i)
            EXPECT_GE(labelled[i] - labelled[i - 1], 30) << "labels at " << labelled[i - 1];
        if (!std::isnan(c.lastLabelled)) {
            EXPECT_NEAR(static_cast<double>(lastLabelled), static_cast<double>(c.lastLabelled),
                        std::fabs(static_cast<double>(c.lastLabelled)) * 1e-9);
        }
    }
}

TEST(ScaleTicks, SpecExamplesOfMinorTicks) {
    test::TTestEnv env;
    TScale decades;
    ASSERT_TRUE(decades.SetScale(0, 0, "", true, 1, 0, 100, 0.01L, bas, 400));
    std::set<long double> minor;
    for (const RTic& t : decades.Prepare())
        if (t.slab.empty())
            minor.insert(std::round(t.xp * 1000) / 1000);
    EXPECT_EQ(minor, (std::set<long double>{0.03L, 0.05L, 0.3L, 0.5L, 3, 5, 30, 50}));

    TScale linear;
    ASSERT_TRUE(linear.SetScale(0, 0, "", false, 1, 0, 1000, 0, gauche, 500));
    const auto tics = linear.Prepare();
    EXPECT_EQ(tics.size(), 51u); // every 20 dbar, labels every 100
    // Reversed: the same values, positions mirrored.
    TScale reversed;
    ASSERT_TRUE(reversed.SetScale(0, 0, "", false, 1, 0, 0, 1000, gauche, 500));
    for (const RTic& t : reversed.Prepare())
        EXPECT_EQ(t.ixp, 500 - static_cast<int>(std::lround(static_cast<double>(t.xp) / 2)));
}

TEST(ScaleTicks, AxesThatCannotBeDrawnAreRefusedWhole) {
    test::TTestEnv env;
    const long double nan = std::numeric_limits<long double>::quiet_NaN();
    const long double inf = std::numeric_limits<long double>::infinity();
    struct TCase {
        long double atOrigin, atEnd;
        int length;
        const char* status;
    } cases[] = {
        {5, 5, 400, "Scale.Set_Scale : sext=0.0!"},
        {0, 10, 0, "Scale.Set_Scale : length<1!"},
        {0, 10, -3, "Scale.Set_Scale : length<1!"},
        {nan, 10, 400, "Scale.Set_Scale : range not finite!"},
        {0, inf, 400, "Scale.Set_Scale : range not finite!"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.status);
        TScale scale;
        ASSERT_TRUE(scale.SetScale(0, 0, "good", false, 1, 0, 10, 0, bas, 400));
        const TScaleRec before = scale.Info();
        scale.SetScale(7, 7, "bad", false, 1, 0, c.atEnd, c.atOrigin, bas, c.length);
        EXPECT_FALSE(scale.SetScaleDone());
        EXPECT_TRUE(scale.Prepare().empty());
        EXPECT_EQ(scale.Info().title, before.title);
        EXPECT_EQ(scale.Info().POrg, before.POrg);
        EXPECT_TRUE(env.Logged(c.status));
        EXPECT_EQ(env.op.Status(), c.status);
    }
    // Told once, not on every resize of a window too small for it.
    test::TTestEnv quiet;
    TScale scale;
    for (int i = 0; i < 3; ++i)
        scale.SetScale(0, 0, "", false, 1, 0, 10, 0, bas, 0);
    EXPECT_EQ(quiet.LogMessages().size(), 1u);
    const auto events = quiet.op.Events();
    EXPECT_TRUE(std::none_of(events.begin(), events.end(),
                             [](const std::string& e) { return e.starts_with("Message"); }));
}

TEST(ScaleLabels, ReadTheValueOfTheirTick) {
    struct TCase {
        long double v, step;
        const char* text;
    } cases[] = {
        {250000, 50000, "2.5E5"},   {150000, 50000, "1.5E5"},     {123456, 1, "123456"},
        {0.00002L, 0.00001L, "2.0E-5"}, {34.6L, 0.2L, "34.6"},    {35, 0.2L, "35.0"},
        {0.05L, 0.05L, "0.05"},     {100, 20, "100"},             {0, 2e10L, "0"},
        {0, 1e-9L, "0"},            {1.25e15L, 5e13L, "1.25E15"}, {-0.00000000001L, 0.5L, "0.0"},
        {-150000, 50000, "-1.5E5"}, {1e15L, 1e14L, "1.0E15"},     {-35.2L, 0.2L, "-35.2"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(ScaleLabel(c.v, c.step), c.text) << static_cast<double>(c.v);
}

TEST(ScaleNiceNumbers, StepTable) {
    struct TCase {
        long double x, up, down;
    } cases[] = {
        {1, 2, 0.5L}, {2, 5, 1}, {5, 10, 2}, {0.01L, 0.02L, 0.005L}, {1000, 2000, 500},
        {3, 5, 2},    {7, 10, 5},
    };
    for (const TCase& c : cases) {
        EXPECT_NEAR(static_cast<double>(NextUp(c.x)), static_cast<double>(c.up), 1e-12 * c.up);
        EXPECT_NEAR(static_cast<double>(NextDown(c.x)), static_cast<double>(c.down),
                    1e-12 * c.down);
    }
    EXPECT_EQ(NextPowerOfTen(5), 10);
    EXPECT_EQ(NextPowerOfTen(1000), 10000);
    EXPECT_EQ(NiceAtLeast(1000), 1000);
    EXPECT_EQ(NiceAtLeast(1001), 2000);
    EXPECT_EQ(DecadeAtLeast(1000), 1000);
    EXPECT_EQ(DecadeAtLeast(0.011L), 0.1L);
}

} // namespace
} // namespace marevo
