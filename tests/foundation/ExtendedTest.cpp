#include "foundation/Extended.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace marevo {
namespace {

using Bytes = std::uint8_t[10];

TExtended Make(std::uint64_t mantissa, std::uint16_t signAndExponent) {
    TExtended x;
    std::memcpy(x.bytes, &mantissa, 8); // the host is little-endian, like the records
    x.bytes[8] = static_cast<std::uint8_t>(signAndExponent);
    x.bytes[9] = static_cast<std::uint8_t>(signAndExponent >> 8);
    return x;
}

std::string Hex(const TExtended& x) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (const std::uint8_t b : x.bytes) {
        text += digits[b >> 4];
        text += digits[b & 0xF];
        text += ' ';
    }
    return text;
}

std::uint64_t BitsOf(double d) {
    return std::bit_cast<std::uint64_t>(d);
}

constexpr double Inf = std::numeric_limits<double>::infinity();
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

struct TKnownPattern {
    const char* name;
    double value;
    Bytes bytes;
};

const TKnownPattern KnownPatterns[] = {
    {"one", 1.0, {0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F}},
    {"minus two", -2.0, {0, 0, 0, 0, 0, 0, 0, 0x80, 0x00, 0xC0}},
    {"half", 0.5, {0, 0, 0, 0, 0, 0, 0, 0x80, 0xFE, 0x3F}},
    {"ten", 10.0, {0, 0, 0, 0, 0, 0, 0, 0xA0, 0x02, 0x40}},
    {"max double", DBL_MAX, {0x00, 0xF8, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0x43}},
    {"min normal double", DBL_MIN, {0, 0, 0, 0, 0, 0, 0, 0x80, 0x01, 0x3C}},
    {"smallest denormal double",
     std::numeric_limits<double>::denorm_min(),
     {0, 0, 0, 0, 0, 0, 0, 0x80, 0xCD, 0x3B}},
    {"largest denormal double",
     DBL_MIN - std::numeric_limits<double>::denorm_min(),
     {0x00, 0xF0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x3C}},
    {"plus zero", 0.0, {0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x00}},
    {"minus zero", -0.0, {0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x80}},
    {"plus infinity", Inf, {0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x7F}},
    {"minus infinity", -Inf, {0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0xFF}},
    {"quiet NaN", NaN, {0, 0, 0, 0, 0, 0, 0, 0xC0, 0xFF, 0x7F}},
    {"negative quiet NaN", -NaN, {0, 0, 0, 0, 0, 0, 0, 0xC0, 0xFF, 0xFF}},
};

TEST(ExtendedTest, KnownValuesEncodeToTheirStoredBytes) {
    for (const TKnownPattern& c : KnownPatterns) {
        const TExtended expected = TExtended::FromBytes(c.bytes);
        EXPECT_EQ(Hex(TExtended::FromDouble(c.value)), Hex(expected)) << c.name;
        EXPECT_EQ(Hex(TExtended::FromLongDouble(c.value)), Hex(expected)) << c.name;
        EXPECT_EQ(Hex(TExtended::PortableFromLongDouble(c.value)), Hex(expected)) << c.name;
        EXPECT_EQ(Hex(TExtended(c.value)), Hex(expected)) << c.name;
    }
}

TEST(ExtendedTest, KnownStoredBytesDecodeToTheirValues) {
    for (const TKnownPattern& c : KnownPatterns) {
        const TExtended x = TExtended::FromBytes(c.bytes);
        const double d = x.ToDouble();
        const long double ld = x.ToLongDouble();
        if (std::isnan(c.value)) {
            EXPECT_TRUE(std::isnan(d)) << c.name;
            EXPECT_TRUE(std::isnan(ld)) << c.name;
            EXPECT_EQ(std::signbit(d), std::signbit(c.value)) << c.name;
            EXPECT_EQ(std::signbit(ld), std::signbit(c.value)) << c.name;
        } else {
            EXPECT_EQ(BitsOf(d), BitsOf(c.value)) << c.name;
            EXPECT_EQ(ld, static_cast<long double>(c.value)) << c.name;
            EXPECT_EQ(x.PortableToLongDouble(), ld) << c.name;
            EXPECT_EQ(std::signbit(ld), std::signbit(c.value)) << c.name;
        }
    }
}

TEST(ExtendedTest, EqualityComparesBytes) {
    EXPECT_EQ(TExtended(1.0), TExtended::FromLongDouble(1.0L));
    EXPECT_NE(TExtended(0.0), TExtended(-0.0));
    EXPECT_EQ(TExtended(NaN), TExtended(NaN));
    EXPECT_EQ(TExtended{}, TExtended(0.0));
}

struct TDecodeCase {
    const char* name;
    std::uint64_t mantissa;
    std::uint16_t signAndExponent;
    double expected;
};

// Patterns a double cannot hold exactly, and the lenient readings of malformed patterns.
const TDecodeCase DecodeCases[] = {
    {"tie below one rounds to even", 0x8000000000000400u, 0x3FFF, 1.0},
    {"just above the tie rounds up", 0x8000000000000401u, 0x3FFF, 1.0 + 0x1p-52},
    {"tie above odd rounds up to even", 0x8000000000000C00u, 0x3FFF, 1.0 + 0x1p-51},
    {"just below the tie rounds down", 0x80000000000003FFu, 0x3FFF, 1.0},
    {"rounding carries into the exponent", 0xFFFFFFFFFFFFFC00u, 0x3FFF, 2.0},
    {"negative values round by magnitude", 0x8000000000000401u, 0xBFFF, -(1.0 + 0x1p-52)},
    {"largest value below the overflow tie", 0xFFFFFFFFFFFFFBFFu, 0x43FE, DBL_MAX},
    {"overflow tie becomes infinity", 0xFFFFFFFFFFFFFC00u, 0x43FE, Inf},
    {"above double range becomes infinity", 0x8000000000000000u, 0x43FF, Inf},
    {"below double range becomes minus infinity", 0x8000000000000000u, 0xC3FF, -Inf},
    {"largest extended becomes infinity", 0xFFFFFFFFFFFFFFFFu, 0x7FFE, Inf},
    {"half the smallest denormal ties to zero", 0x8000000000000000u, 0x3BCC, 0.0},
    {"above half the smallest denormal rounds up", 0x8000000000000001u, 0x3BCC, 0x1p-1074},
    {"one and a half denormals tie to two", 0xC000000000000000u, 0x3BCD, 0x1p-1073},
    {"denormal rounding carries into the normals", 0xFFFFFFFFFFFFF800u, 0x3C00, DBL_MIN},
    {"far below the denormals is zero", 0xFFFFFFFFFFFFFFFFu, 0x3BCB, 0.0},
    {"negative underflow keeps the sign", 0x8000000000000000u, 0xBBCB, -0.0},
    {"extended denormal underflows to zero", 0x0000000000000001u, 0x0000, 0.0},
    {"pseudo-denormal counts its exponent as one", 0x8000000000000000u, 0x0000, 0.0},
    {"unnormal reads as mantissa times its scale", 0x4000000000000000u, 0x3FFF, 0.5},
    {"negative unnormal", 0x0000000000000003u, 0xC03E, -3.0},
    {"unnormal with zero mantissa is zero", 0x0000000000000000u, 0x3FFF, 0.0},
    {"negative pseudo-zero is minus zero", 0x0000000000000000u, 0xBFFF, -0.0},
    {"pseudo-infinity is NaN", 0x0000000000000000u, 0x7FFF, NaN},
    {"pseudo-NaN is NaN", 0x4000000000000001u, 0x7FFF, NaN},
    {"signalling NaN is NaN", 0x8000000000000001u, 0x7FFF, NaN},
    {"NaN with payload keeps its sign", 0xC123456789ABCDEFu, 0xFFFF, -NaN},
};

TEST(ExtendedTest, DecodesToNearestDoubleAndReadsMalformedPatternsLeniently) {
    for (const TDecodeCase& c : DecodeCases) {
        const double d = Make(c.mantissa, c.signAndExponent).ToDouble();
        if (std::isnan(c.expected)) {
            EXPECT_TRUE(std::isnan(d)) << c.name;
            EXPECT_EQ(std::signbit(d), std::signbit(c.expected)) << c.name;
        } else {
            EXPECT_EQ(BitsOf(d), BitsOf(c.expected)) << c.name << ": got " << d;
        }
    }
}

struct TLongDecodeCase {
    const char* name;
    std::uint64_t mantissa;
    std::uint16_t signAndExponent;
    int exponentOfUnit; // expected = mantissa * 2^exponentOfUnit
};

TEST(ExtendedTest, LongDoubleDecodingOfUnnormalsAndDenormalsUsesTheMantissaAsIs) {
    const TLongDecodeCase cases[] = {
        {"unnormal", 0x4000000000000000u, 0x3FFF, -63},
        {"unnormal with low bits", 0x0000000000012345u, 0x4010, 17 - 63},
        {"pseudo-denormal", 0x8000000000000001u, 0x0000, -16445},
        {"extended denormal", 0x0000000000000001u, 0x0000, -16445},
        {"largest extended denormal", 0x7FFFFFFFFFFFFFFFu, 0x0000, -16445},
    };
    for (const TLongDecodeCase& c : cases) {
        const long double expected =
            std::ldexp(static_cast<long double>(c.mantissa), c.exponentOfUnit);
        EXPECT_EQ(Make(c.mantissa, c.signAndExponent).ToLongDouble(), expected) << c.name;
    }
}

// Random bit patterns cover every class of double: normals across the whole exponent range,
// denormals (forced for a quarter of the samples), both zeros and both signs.
TEST(ExtendedTest, EveryFiniteDoubleRoundTripsBitForBit) {
    std::mt19937_64 random(20260309);
    const std::uint64_t exponentMask = std::uint64_t{0x7FF} << 52;
    int checked = 0;
    for (int i = 0; i < 1'000'000; ++i) {
        std::uint64_t bits = random();
        if (i % 4 == 0)
            bits &= ~exponentMask;
        if (i % 1000 == 1)
            bits &= std::uint64_t{1} << 63; // a zero of either sign
        if ((bits & exponentMask) == exponentMask)
            continue;
        const double value = std::bit_cast<double>(bits);
        const TExtended x = TExtended::FromDouble(value);
        ASSERT_EQ(BitsOf(x.ToDouble()), bits) << Hex(x);
        ASSERT_EQ(x, TExtended::FromLongDouble(value)) << value;
        ASSERT_EQ(x.ToLongDouble(), static_cast<long double>(value)) << Hex(x);
        ++checked;
    }
    EXPECT_GT(checked, 990'000);
}

#if LDBL_MANT_DIG == 64 && FLT_RADIX == 2

// On this host long double is the stored format itself, so the hardware is the reference.

TExtended HardwareBytes(long double value) {
    TExtended x;
    std::memcpy(x.bytes, &value, sizeof x.bytes);
    return x;
}

long double HardwareValue(const TExtended& x) {
    long double value = 0.0L;
    std::memcpy(&value, x.bytes, sizeof x.bytes);
    return value;
}

TEST(ExtendedTest, EncodingMatchesTheHardwareForSelectedValues) {
    const long double values[] = {
        1.0L,
        -2.0L,
        0.1L,
        -1.0L / 3.0L,
        3.14159265358979323846264338327950288L,
        1e4000L,
        -1e-4000L,
        LDBL_MAX,
        -LDBL_MAX,
        LDBL_MIN,
        std::numeric_limits<long double>::denorm_min(),
        -std::numeric_limits<long double>::denorm_min(),
        LDBL_MIN - std::numeric_limits<long double>::denorm_min(),
        std::ldexp(1.0L, -16400),
        0.0L,
        -0.0L,
        std::numeric_limits<long double>::infinity(),
        -std::numeric_limits<long double>::infinity(),
        std::numeric_limits<long double>::quiet_NaN(),
        -std::numeric_limits<long double>::quiet_NaN(),
    };
    for (const long double v : values) {
        const TExtended x = TExtended::FromLongDouble(v);
        EXPECT_EQ(Hex(x), Hex(HardwareBytes(v))) << static_cast<double>(v);
        EXPECT_EQ(Hex(HardwareBytes(x.ToLongDouble())), Hex(x)) << static_cast<double>(v);
    }
}

// A random pattern the hardware reads as an ordinary number: a normal (integer bit set) or a
// true denormal (exponent 0, integer bit clear). exponentSpan limits how far the exponent
// strays from the bias.
TExtended RandomValidPattern(std::mt19937_64& random, int exponentSpan) {
    std::uint64_t mantissa = random();
    const std::uint64_t draw = random();
    int exponent = 16383 + static_cast<int>(draw % (2 * exponentSpan + 1)) - exponentSpan;
    if (exponent < 1 || exponent > 0x7FFE || (draw >> 60) == 0) {
        exponent = 0;
        mantissa &= ~(std::uint64_t{1} << 63);
    } else {
        mantissa |= std::uint64_t{1} << 63;
    }
    const std::uint16_t sign = (draw >> 59) & 1 ? 0x8000 : 0;
    return Make(mantissa, static_cast<std::uint16_t>(sign | exponent));
}

TEST(ExtendedTest, RandomPatternsEncodeAndDecodeLikeTheHardware) {
    std::mt19937_64 random(7);
    for (int i = 0; i < 300'000; ++i) {
        const TExtended x = RandomValidPattern(random, 16383);
        const long double hardware = HardwareValue(x);
        ASSERT_EQ(Hex(HardwareBytes(x.ToLongDouble())), Hex(x));
        ASSERT_EQ(Hex(TExtended::FromLongDouble(hardware)), Hex(x));
        ASSERT_EQ(Hex(HardwareBytes(x.PortableToLongDouble())), Hex(x));
        ASSERT_EQ(Hex(TExtended::PortableFromLongDouble(hardware)), Hex(x));
    }
}

// Exponents near the double range exercise rounding, overflow and the denormal results.
TEST(ExtendedTest, RandomPatternsNarrowToDoubleLikeTheHardware) {
    std::mt19937_64 random(11);
    for (int i = 0; i < 300'000; ++i) {
        const TExtended x = RandomValidPattern(random, 1100);
        const double hardware = static_cast<double>(HardwareValue(x));
        ASSERT_EQ(BitsOf(x.ToDouble()), BitsOf(hardware)) << Hex(x);
    }
}

#endif

TEST(Power10, IsExactEnoughForTheFormulas) {
    EXPECT_NEAR(static_cast<double>(Power10(2.0L)), 100.0, 1e-13);
    EXPECT_NEAR(static_cast<double>(Power10(-3.0L)), 0.001, 1e-18);
    EXPECT_NEAR(static_cast<double>(Power10(0.5L)), std::sqrt(10.0), 1e-15);
    EXPECT_EQ(Power10(0.0L), 1.0L);
}

} // namespace
} // namespace marevo
