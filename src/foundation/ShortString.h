#pragma once
// Windows-1252 text and the length-prefixed string field of stored records.
//
// Stored records keep text as single-byte Windows-1252. Inside the program text is UTF-8; the
// conversion happens only where a record field is read or written.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>

namespace marevo {

// Characters without a Windows-1252 byte, and bytes that are not valid UTF-8, become '?'
// (one '?' per invalid sequence).
std::string Utf8ToCp1252(std::string_view utf8);

// Never fails: the five bytes Windows-1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D)
// become U+0081 etc., which Utf8ToCp1252 turns back into the same bytes, so any byte string
// survives the round trip.
std::string Cp1252ToUtf8(std::string_view cp1252);

// Record field of capacity N: N + 1 bytes, the first holding the length, then the characters.
// Bytes past the length are undefined in the file and are kept untouched, so a record read and
// written back is unchanged byte for byte. A zero-filled field is the empty string.
template <std::size_t N> struct TStr {
    static_assert(N >= 1 && N <= 255, "the length must fit its single byte");

    std::uint8_t len;
    char chars[N];

    // The characters, single-byte; a length byte above N is clamped to N.
    std::string_view Raw() const {
        static_assert(sizeof(TStr) == N + 1 && alignof(TStr) == 1);
        static_assert(std::is_trivially_copyable_v<TStr> && std::is_standard_layout_v<TStr>);
        return {chars, std::min<std::size_t>(len, N)};
    }

    // The text as UTF-8.
    std::string Get() const { return Cp1252ToUtf8(Raw()); }

    // Stores utf8, converted and cut to N bytes. Bytes after the new length keep their value.
    void Set(std::string_view utf8) {
        const std::string encoded = Utf8ToCp1252(utf8);
        const std::size_t count = std::min(encoded.size(), N);
        std::memcpy(chars, encoded.data(), count);
        len = static_cast<std::uint8_t>(count);
    }
};

} // namespace marevo
