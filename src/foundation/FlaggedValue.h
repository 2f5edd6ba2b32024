#pragma once
// Every measured or computed sample is a flagged value: a single-precision number with a one-byte
// validity flag. 0 marks a valid sample; the system writes 1 for anything unusable (not acquired,
// failed computation, missing input, rejected by the limits, padding) and readers treat every
// non-zero flag as invalid.

#include "foundation/Record.h"

#include <array>
#include <cstdint>

namespace marevo {

struct TFlaggedValue {
    float value = 0.0f;
    std::uint8_t flag = 0;
    std::uint8_t pad[3] = {0, 0, 0}; // stored as found: zero in freshly cleared storage

    constexpr bool Valid() const { return flag == 0; }
    friend constexpr bool operator==(const TFlaggedValue& a, const TFlaggedValue& b) {
        return a.value == b.value && a.flag == b.flag;
    }
};
MAREVO_RECORD_SIZE(TFlaggedValue, 8);
MAREVO_RECORD_OFFSET(TFlaggedValue, flag, 4);

// The no-value result, and the padding of arrays extended by index.
inline constexpr TFlaggedValue InvalidFV{0.0f, 1};
inline constexpr TFlaggedValue ZeroFV{0.0f, 0};

// The values of one data frame, indexed by a parameter's position in the frame list.
inline constexpr int RawFVCount = 31;
using TRawFVArray = std::array<TFlaggedValue, RawFVCount>;

// Highest element index any array may hold.
inline constexpr int MaxFVIndex = 10'000'000;

} // namespace marevo
