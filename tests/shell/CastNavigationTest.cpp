#include "shell/CastNavigation.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace marevo {
namespace {

// A cruise of four casts: 2 marked invalid, 3's binary file missing.
struct TCruise {
    std::map<int, bool> valid{{1, true}, {2, false}, {3, true}, {4, true}};
    std::map<int, bool> opens{{1, true}, {3, false}, {4, true}};
    std::vector<int> tried; // the casts whose file was opened, in order
    TCastValidity Valid() {
        return [this](int k) -> std::optional<bool> {
            const auto it = valid.find(k);
            if (it == valid.end())
                return std::nullopt;
            return it->second;
        };
    }
    TCastOpener Open() {
        return [this](int k) {
            tried.push_back(k);
            return opens[k];
        };
    }
};

TEST(CastNavigation, NextSkipsInvalidAndUnreadableCasts) {
    TCruise c;
    const TNavigationResult r = NavigateNext(1, 4, c.Valid(), c.Open());
    EXPECT_EQ(r.opened, 4);
    EXPECT_EQ(c.tried, (std::vector<int>{3, 4})) << "2 is invalid, 3's file does not open";
    EXPECT_FALSE(r.cleared);
    EXPECT_FALSE(r.beep);
    EXPECT_EQ(r.precEnabled, true);
    EXPECT_EQ(r.nextEnabled, false) << "4 is the last cast";
}

TEST(CastNavigation, PreviousFromFourOpensOneAndClosesPrec) {
    TCruise c;
    const TNavigationResult r = NavigatePrevious(4, c.Valid(), c.Open());
    EXPECT_EQ(r.opened, 1);
    EXPECT_EQ(c.tried, (std::vector<int>{3, 1}));
    EXPECT_EQ(r.precEnabled, false);
    EXPECT_EQ(r.nextEnabled, true);
}

TEST(CastNavigation, NothingThatWayBeepsAndDisablesTheButton) {
    TCruise c;
    const TNavigationResult prec = NavigatePrevious(1, c.Valid(), c.Open());
    EXPECT_TRUE(prec.beep);
    EXPECT_EQ(prec.precEnabled, false);
    EXPECT_FALSE(prec.nextEnabled.has_value()) << "the other button is left alone";
    const TNavigationResult next = NavigateNext(4, 4, c.Valid(), c.Open());
    EXPECT_TRUE(next.beep);
    EXPECT_EQ(next.nextEnabled, false);
    EXPECT_TRUE(c.tried.empty());
}

TEST(CastNavigation, AFailedOpenClearsAndAFailedReadStops) {
    TCruise c;
    c.opens[4] = false;
    const TNavigationResult r = NavigateNext(1, 4, c.Valid(), c.Open());
    EXPECT_EQ(r.opened, 0);
    EXPECT_TRUE(r.cleared) << "3 and 4 failed to open: nothing is loaded";
    EXPECT_EQ(r.nextEnabled, false);

    TCruise unreadable;
    unreadable.valid.erase(3); // cast 3 cannot be read: the walk stops before 4
    const TNavigationResult s = NavigateNext(1, 4, unreadable.Valid(), unreadable.Open());
    EXPECT_EQ(s.opened, 0);
    EXPECT_TRUE(unreadable.tried.empty());
}

} // namespace
} // namespace marevo
