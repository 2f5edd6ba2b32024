#include "foundation/Extended.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

namespace marevo {

namespace {

constexpr int ExponentBias = 16383;
constexpr std::uint16_t ExponentAllOnes = 0x7FFF;
constexpr std::uint64_t IntegerBit = std::uint64_t{1} << 63;
constexpr std::uint64_t QuietNanMantissa = 0xC000000000000000u;
// Exponent of the unit in the last place of a denormal (exponent field 0): 2^(1 - 16383 - 63).
constexpr int DenormalUlpExponent = 1 - ExponentBias - 63;

constexpr int LongDoubleDigits = std::numeric_limits<long double>::digits;
static_assert(LongDoubleDigits >= 64 || LongDoubleDigits == std::numeric_limits<double>::digits,
              "long double must be at least 64-bit-mantissa or the same as double");

TExtended Pack(bool negative, std::uint16_t exponent, std::uint64_t mantissa) {
    TExtended result;
    for (int i = 0; i < 8; ++i)
        result.bytes[i] = static_cast<std::uint8_t>(mantissa >> (8 * i));
    const std::uint16_t signAndExponent =
        static_cast<std::uint16_t>((negative ? 0x8000u : 0u) | (exponent & ExponentAllOnes));
    result.bytes[8] = static_cast<std::uint8_t>(signAndExponent);
    result.bytes[9] = static_cast<std::uint8_t>(signAndExponent >> 8);
    return result;
}

struct TUnpacked {
    bool negative;
    std::uint16_t exponent;
    std::uint64_t mantissa;
};

TUnpacked Unpack(const TExtended& x) {
    std::uint64_t mantissa = 0;
    for (int i = 7; i >= 0; --i)
        mantissa = (mantissa << 8) | x.bytes[i];
    const std::uint16_t signAndExponent =
        static_cast<std::uint16_t>(x.bytes[8] | (std::uint16_t{x.bytes[9]} << 8));
    return {(signAndExponent & 0x8000u) != 0,
            static_cast<std::uint16_t>(signAndExponent & ExponentAllOnes), mantissa};
}

TExtended Infinity(bool negative) {
    return Pack(negative, ExponentAllOnes, IntegerBit);
}

// Hosts whose long double is the 80-bit extended format itself (x86): canonical values then
// convert by copying their ten bytes, which is what the arithmetic below computes, only faster.
constexpr bool LongDoubleIsExtended = std::numeric_limits<long double>::digits == 64 &&
                                      std::numeric_limits<long double>::max_exponent == 16384 &&
                                      sizeof(long double) >= 10;

// NaN, or an exponent 0x7FFF without the integer bit: the value is not a number.
bool IsNotANumber(const TUnpacked& u) {
    return u.exponent == ExponentAllOnes && u.mantissa != IntegerBit;
}

} // namespace

TExtended TExtended::FromDouble(double value) {
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
    const bool negative = (bits >> 63) != 0;
    const int exponent = static_cast<int>((bits >> 52) & 0x7FF);
    const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);

    if (exponent == 0x7FF)
        return fraction == 0 ? Infinity(negative)
                             : Pack(negative, ExponentAllOnes, QuietNanMantissa);
    if (exponent == 0) {
        if (fraction == 0)
            return Pack(negative, 0, 0);
        // Denormal double: fraction * 2^-1074. Move the leading one up to the integer bit.
        const int leading = 63 - std::countl_zero(fraction);
        const int unbiased = leading - 1074;
        return Pack(negative, static_cast<std::uint16_t>(unbiased + ExponentBias),
                    fraction << (63 - leading));
    }
    return Pack(negative, static_cast<std::uint16_t>(exponent - 1023 + ExponentBias),
                IntegerBit | (fraction << 11));
}

TExtended TExtended::FromLongDouble(long double value) {
    if constexpr (LongDoubleIsExtended) {
        if (!std::isnan(value)) { // NaNs take the one quiet pattern
            TExtended x;
            std::memcpy(x.bytes, &value, sizeof x.bytes);
            return x;
        }
    }
    return PortableFromLongDouble(value);
}

TExtended TExtended::PortableFromLongDouble(long double value) {
    if constexpr (LongDoubleDigits < 64) {
        return FromDouble(static_cast<double>(value));
    } else {
        const bool negative = std::signbit(value);
        if (std::isnan(value))
            return Pack(negative, ExponentAllOnes, QuietNanMantissa);
        if (std::isinf(value))
            return Infinity(negative);
        if (value == 0.0L)
            return Pack(negative, 0, 0);

        const long double magnitude = std::fabs(value);
        int binaryExponent = 0;
        // magnitude = m * 2^binaryExponent with m in [0.5, 1), i.e. 1.xxx * 2^(binaryExponent-1).
        std::frexp(magnitude, &binaryExponent);
        int exponent = binaryExponent - 1 + ExponentBias;
        if (exponent >= ExponentAllOnes)
            return Infinity(negative);

        // Scale so that the integer part is the 64-bit mantissa; the scaling is exact.
        const bool denormal = exponent <= 0;
        const long double scaled =
            std::ldexp(magnitude, denormal ? -DenormalUlpExponent : 64 - binaryExponent);
        const long double integerPart = std::floor(scaled);
        const long double remainder = scaled - integerPart;
        std::uint64_t mantissa = static_cast<std::uint64_t>(integerPart);
        if (remainder > 0.5L || (remainder == 0.5L && (mantissa & 1) != 0)) {
            ++mantissa;
            if (mantissa == 0) {
                // Rounded up past 2^64 - 1: the mantissa becomes 2^63 one binade higher.
                mantissa = IntegerBit;
                if (++exponent >= ExponentAllOnes)
                    return Infinity(negative);
            }
        }
        if (denormal)
            exponent = (mantissa & IntegerBit) != 0 ? 1 : 0;
        return Pack(negative, static_cast<std::uint16_t>(exponent), mantissa);
    }
}

double TExtended::ToDouble() const {
    const TUnpacked u = Unpack(*this);
    const double sign = u.negative ? -1.0 : 1.0;
    if (u.exponent == ExponentAllOnes) {
        if (IsNotANumber(u))
            return std::copysign(std::numeric_limits<double>::quiet_NaN(), sign);
        return sign * std::numeric_limits<double>::infinity();
    }
    if (u.mantissa == 0)
        return sign * 0.0;

    // Normalise so the leading one sits at bit 63; value = 1.xxx * 2^unbiased.
    const int shift = std::countl_zero(u.mantissa);
    const std::uint64_t mantissa = u.mantissa << shift;
    const int effectiveExponent = u.exponent == 0 ? 1 : u.exponent;
    int unbiased = effectiveExponent - ExponentBias - shift;
    if (unbiased > 1023)
        return sign * std::numeric_limits<double>::infinity();

    std::uint64_t bits = 0;
    if (unbiased >= -1022) {
        std::uint64_t kept = mantissa >> 11;
        const std::uint64_t dropped = mantissa & 0x7FF;
        if (dropped > 0x400 || (dropped == 0x400 && (kept & 1) != 0)) {
            if (++kept == (std::uint64_t{1} << 53)) {
                kept >>= 1;
                if (++unbiased > 1023)
                    return sign * std::numeric_limits<double>::infinity();
            }
        }
        bits = (static_cast<std::uint64_t>(unbiased + 1023) << 52) |
               (kept & ((std::uint64_t{1} << 52) - 1));
    } else {
        // Denormal double: count units of 2^-1074; value = mantissa * 2^(unbiased - 63).
        const int dropBits = -unbiased - 1011;
        if (dropBits > 64)
            return sign * 0.0; // below half the smallest denormal
        const std::uint64_t kept = dropBits == 64 ? 0 : mantissa >> dropBits;
        const std::uint64_t droppedMask =
            dropBits == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << dropBits) - 1;
        const std::uint64_t dropped = mantissa & droppedMask;
        const std::uint64_t half = std::uint64_t{1} << (dropBits - 1);
        // A carry out of the denormal range lands on the smallest normal's encoding, as it must.
        bits = kept + ((dropped > half || (dropped == half && (kept & 1) != 0)) ? 1 : 0);
    }
    if (u.negative)
        bits |= std::uint64_t{1} << 63;
    return std::bit_cast<double>(bits);
}

long double TExtended::ToLongDouble() const {
    if constexpr (LongDoubleIsExtended) {
        // Only canonical patterns: the explicit integer bit set exactly for normal numbers.
        const TUnpacked u = Unpack(*this);
        const bool integerBit = (u.mantissa >> 63) != 0;
        if (u.exponent != ExponentAllOnes && integerBit == (u.exponent != 0)) {
            long double value = 0;
            std::memcpy(&value, bytes, sizeof bytes);
            return value;
        }
    }
    return PortableToLongDouble();
}

long double TExtended::PortableToLongDouble() const {
    if constexpr (LongDoubleDigits < 64) {
        return ToDouble();
    } else {
        const TUnpacked u = Unpack(*this);
        const long double sign = u.negative ? -1.0L : 1.0L;
        if (u.exponent == ExponentAllOnes) {
            if (IsNotANumber(u))
                return std::copysign(std::numeric_limits<long double>::quiet_NaN(), sign);
            return sign * std::numeric_limits<long double>::infinity();
        }
        // The mantissa converts exactly, so ldexp rounds at most once (and only where the host
        // range is narrower than the stored one).
        const int effectiveExponent = u.exponent == 0 ? 1 : u.exponent;
        return sign * std::ldexp(static_cast<long double>(u.mantissa),
                                 effectiveExponent - ExponentBias - 63);
    }
}

long double Power10(long double x) { return std::exp(x * std::log(10.0L)); }

} // namespace marevo
