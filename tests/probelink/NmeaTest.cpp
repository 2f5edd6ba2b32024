#include "probelink/Nmea.h"

#include <gtest/gtest.h>

#include <cmath>

namespace marevo {
namespace {

// Appends "*hh" and CR LF to the sentence body ("$" included).
std::string WithChecksum(const std::string& body) {
    std::uint8_t sum = 0;
    for (char c : body.substr(1))
        sum ^= static_cast<std::uint8_t>(c);
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X\r\n", sum);
    return body + tail;
}

std::span<const std::uint8_t> Bytes(const std::string& s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

TEST(NmeaReader, SentencesGiveTheirFixOrNone) {
    struct Case {
        const char* what;
        std::string input;
        const char* prefix;
        TNmeaResult result;
        double latitude, longitude;
    };
    const Case cases[] = {
        // Sentences as receivers send them (published examples with their own checksums).
        {"GGA north east", "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n",
         "$GP", TNmeaResult::Fix, 48.1173, 11.516666667},
        {"GLL north west", "$GPGLL,4916.45,N,12311.12,W,225444,A,*1D\r\n", "$GP", TNmeaResult::Fix,
         49.274166667, -123.185333333},
        {"GGA north west", "$GPGGA,092750.000,5321.6802,N,00630.3372,W,1,8,1.03,61.7,M,55.2,M,,*76\r\n",
         "$GP", TNmeaResult::Fix, 53.361336667, -6.505620000},
        {"another sentence type", "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n",
         "$GP", TNmeaResult::NoFix, 0, 0},
        // Made up for the cases receivers rarely show.
        {"south west", WithChecksum("$GPGGA,101010,4530.0000,S,00830.0000,W,1,05,1.2,5.0,M,,M,,"),
         "$GP", TNmeaResult::Fix, -45.5, -8.5},
        {"other talker", WithChecksum("$GNGGA,101010,1758.7100,S,03713.5200,W,2,12,0.8,3.0,M,,M,,"),
         "$GN", TNmeaResult::Fix, -17.978500, -37.225333333},
        {"talker not configured", WithChecksum("$GNGGA,101010,1758.7100,S,03713.5200,W,2,12,0.8,,,,,,"),
         "$GP", TNmeaResult::NoFix, 0, 0},
        {"bad checksum", "$GPGLL,4916.45,N,12311.12,W,225444,A,*1E\r\n$GPGLL,4916.45,N,1231",
         "$GP", TNmeaResult::NoFix, 0, 0},
        {"checksum not hex", "$GPGLL,4916.45,N,12311.12,W,225444,A,*1G\r\n..............",
         "$GP", TNmeaResult::NoFix, 0, 0},
        {"garbage before $", "\x01\xFF garbage $$$ " +
                                 WithChecksum("$GPGLL,4530.0000,N,00830.0000,E,101010,A,"),
         "$GP", TNmeaResult::Fix, 45.5, 8.5},
        {"quality 0", WithChecksum("$GPGGA,101010,4530.0000,S,00830.0000,W,0,00,,,M,,M,,"), "$GP",
         TNmeaResult::BadGGA, 0, 0},
        {"status V", WithChecksum("$GPGLL,4530.0000,N,00830.0000,E,101010,V,"), "$GP",
         TNmeaResult::BadGLL, 0, 0},
        {"unreadable latitude", WithChecksum("$GPGGA,101010,45x0.0000,S,00830.0000,W,1,05,,,M,,M,,"),
         "$GP", TNmeaResult::BadGGA, 0, 0},
        {"empty longitude", WithChecksum("$GPGLL,4530.0000,N,,E,101010,A,"), "$GP",
         TNmeaResult::BadGLL, 0, 0},
        {"missing *", "$GPGLL,4530.0000,N,00830.0000,E,101010,A,\r\n$GPGLL,4530.0000", "$GP",
         TNmeaResult::NoFix, 0, 0},
    };
    for (const Case& c : cases) {
        TNmeaReader reader;
        reader.Feed(Bytes(c.input));
        const TNmeaFix fix = reader.ReadSentence(c.prefix);
        EXPECT_EQ(fix.result, c.result) << c.what;
        if (c.result == TNmeaResult::Fix) {
            EXPECT_NEAR(fix.latitude, c.latitude, 1e-8) << c.what;
            EXPECT_NEAR(fix.longitude, c.longitude, 1e-8) << c.what;
        }
    }
}

TEST(NmeaReader, SentenceSplitAcrossReadsIsTakenOnceWhole) {
    const std::string s = WithChecksum("$GPGGA,101010,4530.0000,S,00830.0000,W,1,05,1.2,5.0,M,,M,,");
    TNmeaReader reader;
    const std::size_t cut = s.find('*') + 1; // the checksum has not arrived
    reader.Feed(Bytes(s.substr(0, cut)));
    EXPECT_EQ(reader.ReadSentence("$GP").result, TNmeaResult::NoFix);
    reader.Feed(Bytes(s.substr(cut)));
    const TNmeaFix fix = reader.ReadSentence("$GP");
    EXPECT_EQ(fix.result, TNmeaResult::Fix);
    EXPECT_DOUBLE_EQ(fix.latitude, -45.5);
}

TEST(NmeaReader, OneSentencePerCallAndShortTailsWait) {
    const std::string a = WithChecksum("$GPGLL,4530.0000,N,00830.0000,E,101010,A,");
    const std::string b = WithChecksum("$GPGLL,1000.0000,N,01000.0000,E,101011,A,");
    TNmeaReader reader;
    reader.Feed(Bytes(a + b));
    EXPECT_NEAR(reader.ReadSentence("$GP").latitude, 45.5, 1e-12);
    EXPECT_NEAR(reader.ReadSentence("$GP").latitude, 10.0, 1e-12);
    reader.Feed(Bytes("$GPGLL,1"));
    EXPECT_EQ(reader.ReadSentence("$GP").result, TNmeaResult::NoFix); // 30 bytes or fewer wait
    EXPECT_EQ(reader.Unread(), 10u); // the line end of the last sentence and the new start
}

TEST(NmeaReader, AFloodKeepsTheNewestBytes) {
    TNmeaReader reader;
    reader.Feed(Bytes(std::string(5000, 'x')));
    const std::string s = WithChecksum("$GPGLL,4530.0000,N,00830.0000,E,101010,A,");
    reader.Feed(Bytes(s));
    EXPECT_LE(reader.Unread(), TNmeaReader::Capacity);
    EXPECT_EQ(reader.ReadSentence("$GP").result, TNmeaResult::Fix);
}

TEST(NmeaReader, MessagesOfTheBadFixes) {
    EXPECT_EQ(NmeaResultMessage(TNmeaResult::BadGGA), "GPS GGA BAD QUALITY STATUS/COVERAGE");
    EXPECT_EQ(NmeaResultMessage(TNmeaResult::BadGLL), "GPS GLL BAD QUALITY STATUS/COVERAGE");
    EXPECT_EQ(NmeaResultMessage(TNmeaResult::Fix), "");
}

} // namespace
} // namespace marevo
