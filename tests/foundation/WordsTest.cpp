#include "foundation/Words.h"

#include <gtest/gtest.h>

#include <tuple>
#include <utility>

namespace marevo {
namespace {

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

} // namespace
} // namespace marevo
