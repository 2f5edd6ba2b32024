#include "foundation/MarevoTypes.h"

#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <cmath>

namespace marevo {
namespace {

using test::TTestEnv;

TEST(TextOperations, WordNumberCountsBlankSeparatedWords) {
    const std::pair<const char*, int> cases[] = {
        {"", 0},          {"    ", 0},      {"ER 000", 2},       {"  ab    cd  ", 2},
        {"a\tb", 1},      {"\r\nSN 1234\r\n", 2}, {"x", 1},      {"a b c d e", 5},
    };
    for (const auto& [text, count] : cases)
        EXPECT_EQ(WordNumber(text), count) << '"' << text << '"';
}

TEST(TextOperations, ExtractWordTakesTheNthWordTrimmed) {
    const std::tuple<const char*, int, const char*> cases[] = {
        {"ER 000", 1, "ER"},   {"ER 000", 2, "000"},    {"ER 000", 3, ""},
        {"ER 000", 0, ""},     {"ER 000", -1, ""},      {"  VN   3.21\r\n", 2, "3.21"},
        {"", 1, ""},           {"one", 1, "one"},
    };
    for (const auto& [text, n, word] : cases)
        EXPECT_EQ(ExtractWord(text, n), word) << '"' << text << "\" " << n;
}

TEST(FileNames, CruiseAndCastNumberComeOutOfCastAndCruiseNames) {
    const std::tuple<const char*, const char*, int> cases[] = {
        // name, cruise, cast number
        {"/home/op/MarevoData/CR/bin/CR007.bin", "CR", 7},
        {"/home/op/MarevoData/CR/CR.CRU", "CR", 0},
        {"CR.cru", "CR", 0},
        {"CR007", "CR", 7},
        {"/home/j.doe/MarevoData/CR/raw/CR123.raw", "CR", 123},
        {"/home/j.doe/CR045", "CR", 45},
        {"A1.bin", "", 0}, // too short for a cast file name
        {"AB", "", 0},
    };
    for (const auto& [name, cruise, cast] : cases) {
        EXPECT_EQ(ExtractCruise(name), cruise) << name;
        EXPECT_EQ(ExtractCastNumber(name), cast) << name;
    }
}

TEST(FileNames, BaseFileNameStopsAtTheFirstDot) {
    EXPECT_EQ(BaseFileName("/data/CR/bin/CR007.bin"), "CR007");
    EXPECT_EQ(BaseFileName("CR007.raw.bak"), "CR007");
    EXPECT_EQ(BaseFileName("C:\\MarevoData\\CR\\CR007.xfr"), "CR007");
    EXPECT_EQ(BaseFileName("/data/CR/CR007"), "/data/CR/CR007"); // no dot: unchanged
}

TEST(FileNames, RightCharsAndCastNumbers) {
    EXPECT_EQ(RightChars("abcdef", 3), "def");
    EXPECT_EQ(RightChars("ab", 3), "ab");
    EXPECT_EQ(RightChars("ab", 0), "");
    EXPECT_EQ(CastNumberText(7), "007");
    EXPECT_EQ(CastNumberText(1234), "234");
}

TEST(FileNames, StandardNamesSitUnderTheirFolders) {
    const std::filesystem::path root = "/home/op/MarevoData";
    EXPECT_EQ(ParamColName(root / "Cfg"), "/home/op/MarevoData/Cfg/Param.col");
    EXPECT_EQ(EnvironName(root / "Cfg"), "/home/op/MarevoData/Cfg/Environ.env");
    EXPECT_EQ(DefaultConfigName(root / "Cfg", "Default"), "/home/op/MarevoData/Cfg/Default.cfg");
    EXPECT_EQ(CruiseFolder(root, "CR"), "/home/op/MarevoData/CR");
    EXPECT_EQ(DefaultCruiseName(root, "CR"), "/home/op/MarevoData/CR/CR.cru");
    EXPECT_EQ(BinFileName(root / "CR" / "bin", "CR", 1234), "/home/op/MarevoData/CR/bin/CR234.bin");
    EXPECT_EQ(BinFileOf(root, "/elsewhere/CR/raw/CR012.raw"), "/home/op/MarevoData/CR/bin/CR012.bin");
    EXPECT_EQ(DefaultDataRoot().filename(), "MarevoData");
}

TEST(TextOperations, AnswerCharactersAreTheProbesPrintableSet) {
    for (int c = 0; c < 256; ++c) {
        const int upper = (c >= 'a' && c <= 'z') ? c - 32 : c;
        const bool expected =
            c == 9 || c == 10 || c == 13 || (upper >= 32 && upper <= 93) || upper == 95;
        EXPECT_EQ(IsAnswerChar(static_cast<unsigned char>(c)), expected) << c;
    }
    EXPECT_TRUE(IsAnswerChar('a'));
    EXPECT_TRUE(IsAnswerChar('_'));
    EXPECT_TRUE(IsAnswerChar(']'));
    EXPECT_TRUE(IsAnswerChar(' '));
    EXPECT_FALSE(IsAnswerChar('^'));
    EXPECT_FALSE(IsAnswerChar('{'));
    EXPECT_FALSE(IsAnswerChar(0));
    EXPECT_FALSE(IsAnswerChar(0xB0));
}

TEST(WaitSeconds, ReturnsOnlyOnceTheTimeHasStrictlyPassed) {
    TTestEnv env;
    const std::uint64_t start = env.clock.TickMs();
    WaitSeconds(0.25);
    EXPECT_EQ(env.clock.TickMs() - start, 251u);
    WaitSeconds(0.0);
    EXPECT_EQ(env.clock.TickMs() - start, 252u);
}

TEST(Power10, IsExactEnoughForTheFormulas) {
    EXPECT_NEAR(static_cast<double>(Power10(2.0L)), 100.0, 1e-13);
    EXPECT_NEAR(static_cast<double>(Power10(-3.0L)), 0.001, 1e-18);
    EXPECT_NEAR(static_cast<double>(Power10(0.5L)), std::sqrt(10.0), 1e-15);
    EXPECT_EQ(Power10(0.0L), 1.0L);
}

} // namespace
} // namespace marevo
