#include "shell/DataFiles.h"

#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <fstream>

namespace marevo {
namespace {

namespace fs = std::filesystem;

TEST(DataFiles, OnlyACruiseNameAndThreeDigitsIsALastFile) {
    const struct {
        const char* stored;
        const char* cruise; // nullptr: refused
        int cast;
    } cases[] = {
        {"Leg1007", "Leg1", 7},
        {"Demo20261210165200001", "Demo20261210165200", 1},
        {"Leg1999", "Leg1", 999},
        {"Leg1000", nullptr, 0},     // no cast 0
        {"Leg107", "Leg", 107},      // the last three digits are the cast
        {"007", nullptr, 0},         // no cruise name
        {"Leg1007.bin", nullptr, 0}, // an extension
        {"../etc/x001", nullptr, 0}, // a folder
        {"/abs/Leg1001", nullptr, 0},
        {"Leg1 00a", nullptr, 0},
        {"", nullptr, 0},
        {"a.b001", nullptr, 0}, // a dot in the cruise name
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        const auto got = LastFileCast(c.stored);
        if (!c.cruise) {
            EXPECT_FALSE(got.has_value());
            continue;
        }
        ASSERT_TRUE(got.has_value());
        EXPECT_EQ(got->cruise, c.cruise);
        EXPECT_EQ(got->cast, c.cast);
    }
}

TEST(DataFiles, ClearLogFilesDeletesOnlyOldEventLogs) {
    test::TTestEnv env;
    const fs::path txt = env.dir / "Txt";
    fs::create_directories(txt / "log_010101_000000.txt"); // a folder of that name stays
    for (const char* name :
         {"log_101226_165640.txt", "log_091226_080000.txt", "logbook.txt", "log_1.txt",
          "Log_101226_165640.txt", "log_101226_165640.txt.bak", "current.txt"})
        std::ofstream(txt / name) << "x";
    const fs::path current = txt / "log_111226_090000.txt";
    std::ofstream(current) << "in use";

    EXPECT_EQ(ClearLogFiles(txt, current), 2);
    EXPECT_FALSE(fs::exists(txt / "log_101226_165640.txt"));
    EXPECT_FALSE(fs::exists(txt / "log_091226_080000.txt"));
    for (const char* kept :
         {"logbook.txt", "log_1.txt", "Log_101226_165640.txt", "log_101226_165640.txt.bak",
          "current.txt", "log_111226_090000.txt", "log_010101_000000.txt"})
        EXPECT_TRUE(fs::exists(txt / kept)) << kept;
}

} // namespace
} // namespace marevo
