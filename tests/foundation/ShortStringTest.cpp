#include "foundation/ShortString.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace marevo {
namespace {

struct TConversionCase {
    const char* name;
    std::string utf8;
    std::string cp1252;
};

// Pairs that convert both ways.
const TConversionCase BothWays[] = {
    {"plain ASCII", "CTD cast 12", "CTD cast 12"},
    {"degree Celsius", "\u00B0C", "\xB0\x43"},
    {"euro sign", "\u20AC", "\x80"},
    {"trade mark", "\u2122", "\x99"},
    {"Y with diaeresis", "\u0178", "\x9F"},
    {"Latin-1 letters", "Ren\u00E9 \u00C5ngstr\u00F6m", "Ren\xE9 \xC5ngstr\xF6m"},
    {"last byte", "\u00FF", "\xFF"},
    {"undefined byte 0x81", "\u0081", "\x81"},
    {"undefined byte 0x9D", "\u009D", "\x9D"},
    {"embedded NUL", std::string("a\0b", 3), std::string("a\0b", 3)},
    {"empty", "", ""},
};

TEST(ShortStringTest, TextConvertsBetweenUtf8AndWindows1252) {
    for (const TConversionCase& c : BothWays) {
        EXPECT_EQ(Utf8ToCp1252(c.utf8), c.cp1252) << c.name;
        EXPECT_EQ(Cp1252ToUtf8(c.cp1252), c.utf8) << c.name;
    }
}

TEST(ShortStringTest, UnrepresentableOrInvalidUtf8BecomesQuestionMarks) {
    const TConversionCase cases[] = {
        {"Greek omega has no byte", "\u03A9", "?"},
        {"C1 control whose byte is taken by the euro", "\u0080", "?"},
        {"character outside the basic plane", "T\U0001F30A", "T?"},
        {"byte that never starts a sequence", "a\xFFz", "a?z"},
        {"stray continuation byte", "\x80X", "?X"},
        {"sequence cut short by the end", "x\xE2\x82", "x?"},
        {"sequence cut short by ASCII", "\xE2\x82Z", "?Z"},
        {"overlong form of slash", "\xC0\xAF", "??"},
        {"overlong three-byte form", "\xE0\x80\xAF", "???"},
        {"surrogate half", "\xED\xA0\x80", "???"},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", "????"},
    };
    for (const TConversionCase& c : cases)
        EXPECT_EQ(Utf8ToCp1252(c.utf8), c.cp1252) << c.name;
}

TEST(ShortStringTest, EveryByteSurvivesTheRoundTripThroughUtf8) {
    std::string all;
    for (int b = 0; b < 256; ++b) {
        const std::string one(1, static_cast<char>(b));
        EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(one)), one) << "byte " << b;
        all += one;
    }
    EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
}

TEST(ShortStringTest, FieldHasTheStoredLayout) {
    static_assert(sizeof(TStr<1>) == 2 && sizeof(TStr<20>) == 21 && sizeof(TStr<255>) == 256);
    static_assert(alignof(TStr<20>) == 1);
    static_assert(std::is_trivially_copyable_v<TStr<20>>);

    TStr<10> field{};
    field.Set("\u00B0C");
    const unsigned char expected[11] = {2, 0xB0, 0x43, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(&field, expected, sizeof expected), 0);
    EXPECT_EQ(field.Get(), "\u00B0C");
    EXPECT_EQ(field.Raw(), "\xB0\x43");
}

TEST(ShortStringTest, ZeroFilledFieldIsEmpty) {
    const TStr<8> field{};
    EXPECT_EQ(field.Get(), "");
    EXPECT_TRUE(field.Raw().empty());
}

TEST(ShortStringTest, LengthByteAboveCapacityIsClampedToCapacity) {
    TStr<4> field{};
    const unsigned char stored[5] = {200, 'a', 'b', 'c', 'd'};
    std::memcpy(&field, stored, sizeof stored);
    EXPECT_EQ(field.Raw(), "abcd");
    EXPECT_EQ(field.Get(), "abcd");
}

TEST(ShortStringTest, SetTruncatesToCapacityInStoredBytes) {
    struct TCase {
        const char* name;
        const char* text;
        const char* stored;
    };
    const TCase cases[] = {
        {"ASCII", "abcdef", "abcd"},
        {"two UTF-8 bytes per character, one stored", "\u00B0\u00B0\u00B0\u00B0\u00B0\u00B0",
         "\xB0\xB0\xB0\xB0"},
        {"exactly the capacity", "wxyz", "wxyz"},
    };
    for (const TCase& c : cases) {
        TStr<4> field{};
        field.Set(c.text);
        EXPECT_EQ(field.len, 4) << c.name;
        EXPECT_EQ(field.Raw(), c.stored) << c.name;
    }
}

TEST(ShortStringTest, SetOfShorterTextKeepsTheBytesAfterIt) {
    TStr<8> field{};
    const char stored[9] = {5, 'H', 'E', 'L', 'L', 'O', '\xAA', '\xBB', '\xCC'};
    std::memcpy(&field, stored, sizeof stored);
    field.Set("hi");
    const char expected[9] = {2, 'h', 'i', 'L', 'L', 'O', '\xAA', '\xBB', '\xCC'};
    EXPECT_EQ(std::memcmp(&field, expected, sizeof expected), 0);
    EXPECT_EQ(field.Get(), "hi");
}

TEST(ShortStringTest, ReadingAndWritingBackLeavesEveryByteUnchanged) {
    TStr<12> field{};
    const char stored[13] = {7,      'S',    'a',    'l',  '\xB0', '\x80', '\x81',
                             '\x9D', '\x01', '\xFE', '\0', '\x7F', '\xFF'};
    std::memcpy(&field, stored, sizeof stored);
    field.Set(field.Get());
    EXPECT_EQ(std::memcmp(&field, stored, sizeof stored), 0);
}

} // namespace
} // namespace marevo
