#include "shell/StatusBar.h"

#include <gtest/gtest.h>

namespace marevo {
namespace {

TEST(StatusBar, PanelsAlternateCaptionsAndValues) {
    TStatusInputs in;
    in.cruiseName = "Leg1";
    in.castNumber = 7;
    in.configName = "qvtst";
    in.dupTempNb = 1;
    in.dupCondNb = 0;
    in.statusMessage = "Import Raw File completed";
    const auto p = StatusPanels(in);
    const std::array<std::string, StatusPanelCount> want{
        "Cruise", "Leg1",   "No",    "7",     "Config", "qvtst",  "Bottle",
        "",       "Duplic", "T2+C1", "Alarm", "None",   "Status", "Import Raw File completed"};
    EXPECT_EQ(p, want);
}

TEST(StatusBar, CastBottleAndAlarmPanelsFollowTheState) {
    const struct {
        const char* what;
        TStatusInputs in;
        const char* cast;
        const char* bottle;
        const char* alarm;
    } cases[] = {
        {"no cast, not acquiring", {.castNumber = 0}, "", "", "None"},
        {"acquiring, no bottle yet", {.acquiring = true}, "", "Ready", "None"},
        {"a bottle closed", {.acquiring = true, .bottle = std::pair{5, 2}}, "", "5:Closed", "None"},
        {"a bottle outside acquisition", {.bottle = std::pair{5, 2}}, "", "", "None"},
        {"an alarm enabled", {.castNumber = 12, .alarmEnabled = true}, "12", "", "Active"},
        {"an alarm sounding",
         {.alarmEnabled = true, .alarmSounding = "Altimeter Alarm"},
         "",
         "",
         "Altimeter Alarm"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto p = StatusPanels(c.in);
        EXPECT_EQ(p[3], c.cast);
        EXPECT_EQ(p[7], c.bottle);
        EXPECT_EQ(p[11], c.alarm);
    }
}

} // namespace
} // namespace marevo
