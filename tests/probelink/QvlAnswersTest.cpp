#include "probelink/QvlAnswers.h"

#include "foundation/DateTime.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

namespace marevo {
namespace {

using test::TTestEnv;

// One answer, the check it goes through, and the verdict: cer_OK, cer_format or cer_ErCode.
struct TCheckCase {
    const char* answer;
    TCmdError expected;
    int probeError = 0;
};

template <class Check>
void ExpectVerdicts(std::initializer_list<TCheckCase> cases, Check check) {
    for (const TCheckCase& c : cases) {
        const TAnswerCheck got = check(c.answer);
        EXPECT_EQ(got.error, c.expected) << "'" << c.answer << "'";
        if (c.expected == cer_ErCode) {
            EXPECT_EQ(got.probeError, c.probeError) << c.answer;
        }
    }
}

TEST(QvlAnswers, ErrorAnswersNeedThreeDigits) {
    ExpectVerdicts({{"ER 000", cer_OK}, {"ER 012", cer_ErCode, 12}, {"ER 12", cer_format},
                    {"ER 0123", cer_format}, {"ER abc", cer_format}, {"SN 000", cer_format},
                    {"", cer_format}},
                   [](const char* a) { return CheckErCode(a); });
}

TEST(QvlAnswers, SerialNumberFormAndRefusals) {
    TSnAnswer sn;
    ExpectVerdicts({{"SN KPR-0712345", cer_OK},
                    {"SN  KPR-0712345 extra", cer_OK},
                    {"SN KPR0712345X", cer_format}, // no "-" in 4th place
                    {"SN KPR-07123A5", cer_format}, // serial not a number
                    {"SN KPR-071234", cer_format},  // 10 characters
                    {"SN", cer_format},
                    {"ER 012", cer_ErCode, 12},
                    // A bare acknowledgement is no serial number, even without an error number.
                    {"ER 000", cer_format}},
                   [&](const char* a) { return CheckSN(a, sn); });
    ASSERT_TRUE(CheckSN("SN KPR-0712345", sn).Ok());
    EXPECT_EQ(sn.serial, "KPR-0712345");
}

TEST(QvlAnswers, VersionIsReadAfterTheColon) {
    TVnAnswer vn;
    ASSERT_TRUE(CheckVN("VN KELPRA CTD Firmware:4.12", vn).Ok());
    EXPECT_EQ(vn.version, "4.12");
    EXPECT_DOUBLE_EQ(static_cast<double>(vn.number), 4.12);
    EXPECT_EQ(vn.firmware, "KELPRA CTD Firmware:4.12");
    ASSERT_TRUE(CheckVN("VN FW: 3_07 beta", vn).Ok()); // "_" dropped, 6 characters taken
    EXPECT_EQ(vn.version, "307");
    ExpectVerdicts({{"VN no colon here", cer_format}, {"VN FW:abc", cer_format},
                    {"VN FW:4.1_", cer_format}, {"ER 007", cer_ErCode, 7}},
                   [&](const char* a) { return CheckVN(a, vn); });
}

TEST(QvlAnswers, NumbersAreReadWithADotWhateverTheWord) {
    long double v = 0;
    int n = 0;
    EXPECT_TRUE(CheckRB("RB 12.40", v).Ok());
    EXPECT_DOUBLE_EQ(static_cast<double>(v), 12.4);
    EXPECT_EQ(CheckRB("RB 12,40", v).error, cer_format);
    EXPECT_TRUE(CheckDF("DF 7", n).Ok());
    EXPECT_EQ(n, 7);
    EXPECT_EQ(CheckDF("DF 6.0", n).error, cer_format);
    EXPECT_EQ(CheckDF("ER 003", n).error, cer_ErCode);
    EXPECT_TRUE(CheckSC("SC 24", v).Ok());
    EXPECT_EQ(CheckSC("SC fast", v).error, cer_format);
}

TEST(QvlAnswers, ClockAcknowledgementOrTranscriptForm) {
    TTestEnv env;
    ExpectVerdicts({{"ER 000", cer_OK}, {"ER 005", cer_ErCode, 5},
                    {"TS 09-12-2026 04:15:39", cer_OK}, {"TS 00-00-0000 04:15:39", cer_format},
                    {"TS 09-12-2026", cer_format}, {"OK", cer_format}},
                   [](const char* a) { return CheckTS(a); });
}

TEST(QvlAnswers, ChannelListOfAtMost64Integers) {
    std::vector<std::int32_t> list;
    ASSERT_TRUE(CheckSS("SS 310 0 1 2 304", list).Ok());
    EXPECT_EQ(list, (std::vector<std::int32_t>{310, 0, 1, 2, 304}));
    std::string long64 = "SS", long65;
    for (int i = 0; i < 64; ++i)
        long64 += " 1";
    long65 = long64 + " 1";
    EXPECT_TRUE(CheckSS(long64, list).Ok());
    EXPECT_EQ(CheckSS(long65, list).error, cer_format);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(CheckSS("SS 1 x 2", list).error, cer_format);
}

TEST(QvlAnswers, CalibrationWordsMustMatchTheirCount) {
    TTestEnv env;
    TCalibAnswer ca;
    ASSERT_TRUE(CheckCA("CA 1 15-03-2025 2 3 0.0021 0.99987", ca).Ok());
    EXPECT_EQ(ca.channel, 1);
    EXPECT_EQ(ca.coefNb, 2);
    EXPECT_EQ(ca.length, 3);
    EXPECT_EQ(ca.date, EncodeDateTime(2025, 3, 15));
    EXPECT_DOUBLE_EQ(static_cast<double>(ca.coefs[1]), 0.99987);
    EXPECT_TRUE(CheckCA("CA 304 15-03-2025 0 0", ca).Ok());
    ExpectVerdicts({{"CA 1 15-03-2025 3 4 0.1 0.2", cer_format}, // 3 announced, 2 given
                    {"CA 1 15-03-2025 1 4 0.1 0.2", cer_format}, // one word too many
                    {"CA 1 00-00-0000 1 4 0.1", cer_format},     // no date
                    {"CA 1 15-03-2025 1 4 x", cer_format},
                    {"CA 1 15-03-2025", cer_format},
                    {"ER 004", cer_ErCode, 4}},
                   [&](const char* a) { return CheckCA(a, ca); });
    std::string twentyOne = "CA 1 15-03-2025 21 4";
    for (int i = 0; i < 21; ++i)
        twentyOne += " 1";
    EXPECT_EQ(CheckCA(twentyOne, ca).error, cer_format);
}

TEST(QvlAnswers, MemoryCastDescriptions) {
    TTestEnv env;
    TMemoryCastAnswer cs;
    ASSERT_TRUE(CheckCS("CS 3 600 TIMED CAST003 0.5 27-02-2026 09:36:00", cs).Ok());
    EXPECT_EQ(cs.castNb, 3);
    EXPECT_EQ(cs.setNb, 600);
    EXPECT_EQ(cs.acquiMode, 2);
    EXPECT_EQ(cs.castName, "CAST003");
    EXPECT_EQ(cs.dateTime, EncodeDateTime(2026, 2, 27, 9, 36, 0));
    // Cast 0 is "no such cast": nothing else is read.
    ASSERT_TRUE(CheckCS("CS 0 0 LINEAR NONE 0 01-01-2000 00:00:00", cs).Ok());
    EXPECT_EQ(cs.castNb, 0);
    EXPECT_EQ(cs.setNb, 0);
    ExpectVerdicts({{"CS 3 600 SLOW CAST003 0.5 27-02-2026 09:36:00", cer_format},
                    {"CS 3 600 LINEAR CAST003 -1 27-02-2026 09:36:00", cer_format},
                    {"CS 3 600 LINEAR CAST003 0.5 27-02-2026 9:36", cer_format},
                    {"CS 3 600 LINEAR CAST003 0.5 27-02-2026", cer_format},
                    {"CS 3 600 BOTTLE CAST003 0.5 27-02-2026 09:36:00", cer_OK}},
                   [&](const char* a) { return CheckCS(a, cs); });
}

TEST(QvlAnswers, RosetteAnswers) {
    TRosetteAnswer rt;
    ASSERT_TRUE(CheckRT("RT 2 24 5.0 30.0", rt).Ok());
    EXPECT_EQ(rt.homeTimeOut, 30.0L);
    ASSERT_TRUE(CheckRT("RT 1 12 5.0 30.0", rt).Ok()); // homes in a firing's time
    EXPECT_EQ(rt.homeTimeOut, 5.0L);
    EXPECT_EQ(CheckRT("RT 1 12 5.0", rt).error, cer_format);
    int position = -1, status = -1;
    ASSERT_TRUE(CheckRS("RS 4 999", position, status).Ok());
    EXPECT_EQ(position, 4);
    EXPECT_EQ(status, 0);
    TRosetteIdAnswer rq;
    ASSERT_TRUE(CheckRQ("RQ 1234 7 11.90", rq).Ok());
    EXPECT_EQ(rq.armPosition, 7);
    EXPECT_EQ(CheckRQ("RQ 1234 256 11.90", rq).error, cer_format);
}

TEST(QvlAnswers, MemoryStatusAndErase) {
    std::array<std::int32_t, 6> ms{};
    ASSERT_TRUE(CheckMS("MS 65536 600 64936 1 3 0 0 0 0", ms).Ok());
    EXPECT_EQ(ms[2], 64936);
    EXPECT_EQ(ms[4], 3);
    EXPECT_EQ(CheckMS("MS 65536 600 64936 1 3 0 0 0", ms).error, cer_format);
    EXPECT_TRUE(CheckDM("DONE ER 000").Ok());
    EXPECT_EQ(CheckDM("ER 009").error, cer_ErCode);
}

TEST(QvlAnswers, DatesAndTimesOfAnswers) {
    TTestEnv env;
    EXPECT_EQ(StrToProbeDate(" 15/03/2025 "), EncodeDateTime(2025, 3, 15));
    EXPECT_EQ(StrToProbeDate("15-03-2025"), EncodeDateTime(2025, 3, 15));
    EXPECT_EQ(StrToProbeDate("1-3-25"), 0); // 7 characters or fewer
    EXPECT_EQ(StrToProbeDate("31-02-2025"), 0);
    EXPECT_TRUE(env.Logged("Exc: Date Cnv Error '31-02-2025' is not a valid date"));
    EXPECT_DOUBLE_EQ(StrToProbeTime("12:00:00"), 0.5);
    EXPECT_EQ(StrToProbeTime("25:00:00"), 0);
    EXPECT_EQ(ProbeDateTimeStr(EncodeDateTime(2026, 12, 9, 4, 15, 39)), "09-12-2026 04:15:39");
}

TEST(QvlAnswers, TranscriptLines) {
    EXPECT_EQ(XfrAnswerLine(cm_DF, "DF 6"), "[DF], DF 6");
    EXPECT_EQ(XfrStartLine(EncodeDateTime(2026, 3, 9, 14, 5, 7)), "[SDT], 9, 3, 2026, 14, 5, 7");
    EXPECT_EQ(XfrPositionLine("SGP", -17.978512345L, -37.2253333L),
              "[SGP], -17.97851, -37.22533");
    EXPECT_EQ(XfrPositionLine("EGP", 0, 179.99999999L), "[EGP], 0.00000, 180.00000");
}

TEST(QvlAnswers, CommandsAreKnownByTheirFirstWord) {
    EXPECT_EQ(IdentifyCommand("CA 1 15-03-2025 0 0"), cm_CA);
    EXPECT_EQ(IdentifyCommand("rq 1 2 3"), cm_RQ);
    EXPECT_EQ(IdentifyCommand("XX 1"), cm_last);
    EXPECT_EQ(CmdText(cm_RQ), "RQ");
    EXPECT_EQ(CmdErrorText(cer_ResOver), "Answer to long");
}

} // namespace
} // namespace marevo
