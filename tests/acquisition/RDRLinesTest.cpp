#include "acquisition/RDRLines.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace marevo {
namespace {

std::string B(std::initializer_list<unsigned char> bytes) {
    return std::string(bytes.begin(), bytes.end());
}

TFlaggedValue Pres(float value, std::uint8_t flag = 0) {
    TFlaggedValue v;
    v.value = value;
    v.flag = flag;
    return v;
}

struct TLineCase {
    const char* what;
    std::string got;
    std::string want;
};

TEST(RDRLines, ExactBytes) {
    TRDRAlarms upOff;
    upOff.downChecked = true;
    upOff.downLimit = 500;
    TRDRAlarms downOn;
    downOn.downChecked = true;
    downOn.downLimit = 500;
    const std::string alarm20 = "ABCDEFGHIJKLMNOPQRST";
    const TLineCase cases[] = {
        {"pressure", RDRPressureLine(Pres(123.4f)), B({0x04, 0x01, 0x14}) + "PRESS:123.40dbar"},
        {"negative pressure", RDRPressureLine(Pres(-0.35f)),
         B({0x04, 0x01, 0x14}) + "PRESS:-0.35dbar"},
        {"invalid pressure", RDRPressureLine(Pres(123.4f, 1)),
         B({0x04, 0x01, 0x14}) + "PRESS:------dbar"},
        {"up, alarm off", RDRAlarmLine(RDRAlarmText(DirectionUp, upOff)),
         B({0x0A, 0x0D}) + "ALARM: NONE       "},
        {"down, alarm on", RDRAlarmLine(RDRAlarmText(DirectionDown, downOn)),
         B({0x0A, 0x0D}) + "ALARM:500.00dbar"},
        {"speed", RDRSpeedLine(0.85), B({0x0A, 0x0D}) + "SPEED:0.85m/s"},
        {"no cast", RDRStatusLine(RDRStatusText(false, "DOWN")),
         B({0x0A, 0x0D}) + "STATUS:STOP        "},
        {"cast, long alarm", RDRStatusLine(RDRStatusText(true, alarm20)),
         B({0x0A, 0x0D}) + "STATUS:RUN ALR:ABCDEFGHIJKLMN"},
        {"cast, short alarm", RDRStatusLine(RDRStatusText(true, " UP ")),
         B({0x0A, 0x0D}) + "STATUS:RUN ALR: UP "},
        {"message of 10", RDRMessageLine("HOLD AT 50"),
         B({0x01, 0x0A, 0x0A, 0x0A}) + "MSG: HOLD AT 50     "},
        {"message too long", RDRMessageLine("0123456789ABCDEFG"),
         B({0x01, 0x0A, 0x0A, 0x0A}) + "MSG: 0123456789ABCDE"},
        {"control characters",
         RDRMessageLine("A\x0C"
                        "B\tC"),
         B({0x01, 0x0A, 0x0A, 0x0A}) + "MSG: A B C          "},
        {"Windows-1252",
         RDRMessageLine("\xC2\xB0"
                        "C \xE2\x82\xAC"),
         B({0x01, 0x0A, 0x0A, 0x0A}) + "MSG: " + B({0xB0}) + "C " + B({0x80}) +
             std::string(11, ' ')},
        {"light", RDRLightLine(10), B({0x0E, 0x0A})},
        {"light clamped high", RDRLightLine(300), B({0x0E, 0xFF})},
        {"light clamped low", RDRLightLine(-5), B({0x0E, 0x00})},
    };
    for (const TLineCase& c : cases)
        EXPECT_TRUE(c.got == c.want) << c.what;
}

TEST(RDRLines, NumbersIgnoreTheLocale) {
    const char* german = std::setlocale(LC_ALL, "de_DE.UTF-8");
    const std::string text = RDRNumber(1234.5);
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(text, "1234.50") << (german ? "de_DE" : "C locale only");
}

TEST(RDRLines, InitSequenceClearFirstLightLast) {
    TRDRValues v;
    v.light = 7;
    std::string all;
    for (const std::string& line : RDRInitSequence(v))
        all += line;
    const std::string want = B({0x0C, 0x01, 0x04, 0x14}) + B({0x04, 0x01, 0x14}) +
                             "PRESS:   " + B({0x0A, 0x0D}) + "ALARM:   " + B({0x0A, 0x0D}) +
                             "STATUS:  " + B({0x01, 0x0A, 0x0A, 0x0A}) +
                             "MSG:     " + B({0x0E, 0x07});
    EXPECT_TRUE(all == want);
    v.showSpeed = true;
    EXPECT_TRUE(RDRInitSequence(v)[2] == B({0x0A, 0x0D}) + "SPEED:   ");
}

TEST(RDRLines, UpdateSequenceFollowsTheSelector) {
    TRDRValues v;
    v.pressure = Pres(12.0f);
    v.direction = DirectionDown;
    v.alarms.downChecked = true;
    v.alarms.downLimit = 80;
    v.speed = 1.2;
    v.light = 3;
    const std::vector<std::string> alarm = RDRUpdateSequence(v);
    ASSERT_EQ(alarm.size(), 4u);
    EXPECT_TRUE(alarm[1] == RDRAlarmLine("80.00dbar"));
    EXPECT_TRUE(alarm[2] == RDRStatusLine("STOP        "));
    EXPECT_TRUE(alarm[3] == RDRLightLine(3));
    v.showSpeed = true;
    EXPECT_TRUE(RDRUpdateSequence(v)[1] == RDRSpeedLine(1.2));
}

} // namespace
} // namespace marevo
