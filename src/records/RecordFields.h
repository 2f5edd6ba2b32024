#pragma once
// Conversion between an in-memory object and the packed record of its stored form.
//
// Each field of such an object holds exactly the bytes of its stored field (integers, doubles,
// TExtended, TStr, flagged values); only the offsets differ, because the object keeps its
// members aligned while the record is packed. One table of (name, offset in the object, offset in
// the record, size) therefore drives the copy both ways and the field-by-field transfer through
// TRecordReader/TRecordWriter, which then name the field a short file cut off.

#include "foundation/Stream.h"

#include <cstddef>
#include <cstring>
#include <span>
#include <string_view>
#include <type_traits>

namespace marevo {

struct TFieldMap {
    std::string_view name;
    std::size_t objectOffset;
    std::size_t recordOffset;
    std::size_t size;
};

template <std::size_t ObjectSize, std::size_t RecordSize>
constexpr TFieldMap FieldMap(std::string_view name, std::size_t objectOffset,
                             std::size_t recordOffset) {
    static_assert(ObjectSize == RecordSize, "an object field must hold its stored bytes exactly");
    return {name, objectOffset, recordOffset, RecordSize};
}

#define MAREVO_FIELD_MAP(Object, Record, field)                                                    \
    ::marevo::FieldMap<sizeof(Object::field), sizeof(Record::field)>(                              \
        #field, offsetof(Object, field), offsetof(Record, field))

// True when the fields follow one another in the record without a hole and fill it exactly.
constexpr bool FieldsFillRecord(std::span<const TFieldMap> fields, std::size_t recordSize) {
    std::size_t at = 0;
    for (const TFieldMap& f : fields) {
        if (f.recordOffset != at)
            return false;
        at += f.size;
    }
    return at == recordSize;
}

template <class Object, class Record>
void ObjectToRecord(const Object& object, Record& record, std::span<const TFieldMap> fields) {
    static_assert(std::is_trivially_copyable_v<Object> && std::is_standard_layout_v<Object>);
    static_assert(std::is_trivially_copyable_v<Record>);
    const auto* from = reinterpret_cast<const unsigned char*>(&object);
    auto* to = reinterpret_cast<unsigned char*>(&record);
    for (const TFieldMap& f : fields)
        std::memcpy(to + f.recordOffset, from + f.objectOffset, f.size);
}

template <class Object, class Record>
void RecordToObject(const Record& record, Object& object, std::span<const TFieldMap> fields) {
    static_assert(std::is_trivially_copyable_v<Object> && std::is_standard_layout_v<Object>);
    static_assert(std::is_trivially_copyable_v<Record>);
    const auto* from = reinterpret_cast<const unsigned char*>(&record);
    auto* to = reinterpret_cast<unsigned char*>(&object);
    for (const TFieldMap& f : fields)
        std::memcpy(to + f.objectOffset, from + f.recordOffset, f.size);
}

// lastCompleted, when given, receives the size of the last field transferred in full (0 before
// the first), also when a later field raises.
template <class Record>
void WriteFields(TRecordWriter& writer, const Record& record, std::span<const TFieldMap> fields,
                 std::size_t* lastCompleted = nullptr) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&record);
    if (lastCompleted)
        *lastCompleted = 0;
    for (const TFieldMap& f : fields) {
        writer.PutBytes(bytes + f.recordOffset, f.size, f.name);
        if (lastCompleted)
            *lastCompleted = f.size;
    }
}

template <class Record>
void ReadFields(TRecordReader& reader, Record& record, std::span<const TFieldMap> fields,
                std::size_t* lastCompleted = nullptr) {
    auto* bytes = reinterpret_cast<unsigned char*>(&record);
    if (lastCompleted)
        *lastCompleted = 0;
    for (const TFieldMap& f : fields) {
        reader.GetBytes(bytes + f.recordOffset, f.size, f.name);
        if (lastCompleted)
            *lastCompleted = f.size;
    }
}

} // namespace marevo
