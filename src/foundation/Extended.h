#pragma once
// The 10-byte extended-precision float found in stored binary records. Layout, little-endian:
//   bytes 0..7  mantissa, 64 bits, with an explicit integer bit (bit 63)
//   bytes 8..9  bit 15 = sign, bits 0..14 = exponent, bias 16383
// A normal value is mantissa * 2^(exponent - 16383 - 63). Conversions work on the bits, so they
// give the same result whatever long double is on the host (80-bit, plain double or quad).

#include <cstdint>
#include <cstring>

namespace marevo {

struct TExtended {
    std::uint8_t bytes[10];

    // Uninitialised, like the record field it stands for; TExtended{} is +0.0.
    TExtended() = default;
    explicit TExtended(double value) : TExtended(FromDouble(value)) {}

    static TExtended FromBytes(const std::uint8_t (&raw)[10]) {
        TExtended result;
        std::memcpy(result.bytes, raw, sizeof raw);
        return result;
    }

    // Exact when long double has at most 64 mantissa bits; otherwise rounded to nearest-even.
    // NaN is written as the quiet NaN (exponent 0x7FFF, mantissa 0xC000000000000000).
    static TExtended FromLongDouble(long double value);
    // Always exact: every double, denormals included, is a normal extended value.
    static TExtended FromDouble(double value);

    // Out-of-range values become +-infinity, tiny ones round to a denormal or +-0. Any NaN
    // pattern, and an exponent of 0x7FFF without the integer bit, reads as NaN. Unnormals and
    // pseudo-denormals read as mantissa * 2^(exponent - 16383 - 63), exponent 0 counting as 1.
    long double ToLongDouble() const;
    double ToDouble() const;

    // The same conversions by arithmetic alone, whatever the host's long double. Where long
    // double is the stored format itself, the two above copy the bytes of canonical values
    // instead; these stay for the other hosts and for the tests that compare them.
    static TExtended PortableFromLongDouble(long double value);
    long double PortableToLongDouble() const;

    // Byte equality: +0 and -0 differ, identical NaN patterns are equal.
    bool operator==(const TExtended&) const = default;
};

static_assert(sizeof(TExtended) == 10 && alignof(TExtended) == 1,
              "TExtended must fit packed records byte for byte");

// 10^x as exp(x * ln 10) in extended precision; an overflow is the caller's to handle.
long double Power10(long double x);

} // namespace marevo
