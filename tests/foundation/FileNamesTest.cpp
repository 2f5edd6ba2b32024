#include "foundation/FileNames.h"

#include <gtest/gtest.h>

#include <tuple>

namespace marevo {
namespace {

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

} // namespace
} // namespace marevo
