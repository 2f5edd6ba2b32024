#pragma once
// Stored records are byte images: packed structs written as laid out, little-endian, with every
// alignment gap and reserved area spelled out as a named byte array and kept as read, so that
// reading a record and writing it back gives every byte again.
//
// A record is declared with the alignment its stored layout was built for (alignas), so that its
// fields sit aligned in memory exactly as in the file and may be used, and referenced, directly.
//
//   #pragma pack(push, 1)
//   struct alignas(8) TSomething {
//       std::int32_t Count;        // 0
//       std::uint8_t gap4[4];      // 4: alignment gap of the stored layout
//       TExtended Rate;            // 8
//       std::uint8_t gap18[6];     // 18
//   };
//   #pragma pack(pop)
//   MAREVO_RECORD_SIZE(TSomething, 24);
//   MAREVO_RECORD_OFFSET(TSomething, Rate, 8);

#include <bit>
#include <cstddef>
#include <type_traits>

static_assert(std::endian::native == std::endian::little,
              "stored records are little-endian byte images; this host is not little-endian");

#define MAREVO_RECORD_SIZE(T, n)                                                                \
    static_assert(std::is_trivially_copyable_v<T>, #T " must be a plain byte image");          \
    static_assert(sizeof(T) == (n), #T " must occupy " #n " bytes")

#define MAREVO_RECORD_OFFSET(T, field, n)                                                       \
    static_assert(offsetof(T, field) == (n), #T "." #field " must sit at byte " #n)
