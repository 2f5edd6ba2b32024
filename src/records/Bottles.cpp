#include "records/Bottles.h"

#include "foundation/Guard.h"
#include "records/RecordFields.h"

#include <algorithm>
#include <string>

namespace marevo {

namespace {

#define BOTTLE_FIELD(field) MAREVO_FIELD_MAP(TBottleInfo, TBottleInfoRecord, field)
constexpr TFieldMap BottleFields[] = {
    BOTTLE_FIELD(BottleNb),
    BOTTLE_FIELD(BtlStatus),
    BOTTLE_FIELD(RawValue),
    BOTTLE_FIELD(reserve),
};
#undef BOTTLE_FIELD
static_assert(FieldsFillRecord(BottleFields, sizeof(TBottleInfoRecord)),
              "every byte of the stored bottle must come from one TBottleInfo field");

constexpr std::int64_t BottleRecordSize = sizeof(TBottleInfoRecord);

// Field names of the bottles inside a block carry the bottle's index: "bottle[2].RawValue".
std::string BottleInBlock(std::string_view failText, int index) {
    return std::string(failText) + "bottle[" + std::to_string(index) + "].";
}

// A failure inside body is raised again with the size of the last field transferred in full in
// front of its message, which is how the bottle's own reports tell how far the record got.
template <class Body> void WithLastCount(Body&& body) {
    std::size_t lastCompleted = 0;
    try {
        body(lastCompleted);
    } catch (...) {
        Raise(std::to_string(lastCompleted) + CurrentFailureMessage());
    }
}

} // namespace

// ---- TBottleInfo ------------------------------------------------------------------------------

TBottleInfoRecord TBottleInfo::ToRecord() const {
    TBottleInfoRecord record;
    ObjectToRecord(*this, record, BottleFields);
    return record;
}

void TBottleInfo::FromRecord(const TBottleInfoRecord& record) {
    RecordToObject(record, *this, BottleFields);
}

bool TBottleInfo::WriteToStream(TStream& stream) const {
    return Guard({"FUNC: TBottleInfo.WriteToStream", "Write of bottle Information"}, [&] {
        WithLastCount([&](std::size_t& lastCompleted) {
            TRecordWriter writer(stream, "TBottleInfo.WriteToStream: write error - ");
            WriteFields(writer, ToRecord(), BottleFields, &lastCompleted);
        });
    });
}

bool TBottleInfo::ReadFromStream(TStream& stream) {
    return Guard({"FUNC: TBottleInfo.ReadFromStream", "Read bottle Information"}, [&] {
        WithLastCount([&](std::size_t& lastCompleted) {
            TBottleInfoRecord record;
            TRecordReader reader(stream, "TBottleInfo.ReadFromStream: read error - ");
            ReadFields(reader, record, BottleFields, &lastCompleted);
            FromRecord(record);
        });
    });
}

// ---- TBottlesCollection -----------------------------------------------------------------------

TBottleInfo& TBottlesCollection::Add() {
    items_.push_back(std::make_unique<TBottleInfo>());
    return *items_.back();
}

void TBottlesCollection::Clear() {
    items_.clear();
    FirstBottle = 0;
    LastBottle = 0;
    TimeIndex = 0;
    PresIndex = 0;
}

bool TBottlesCollection::GetBottleValue(std::int32_t BottleID, TBottleInfo*& bottle) {
    for (const auto& item : items_)
        if (item->BottleNb == BottleID) {
            bottle = item.get();
            return true;
        }
    return false;
}

// A bottle that cannot be written or read ends the whole block: the records after it would land
// at the wrong offsets, or be read from them.
bool TBottlesCollection::BottlesToCruiseFile(TStream& stream) const {
    return Guard({"FUNC: TBottlesCollection.BottlesToCruiseFile", "Write bottle in cruise file"},
                 [&] { WriteBlock(stream); });
}

bool TBottlesCollection::CruiseFileToBottles(TStream& stream) {
    return Guard({"FUNC: TBottlesCollection.CruiseFileToBottles", "Read bottle from cruise file"},
                 [&] {
                     Clear();
                     ReadBlock(stream);
                 });
}

void TBottlesCollection::WriteBlock(TStream& stream) const {
    constexpr std::string_view failText = "TBottlesCollection.BottlesToCruiseFile: write error - ";
    TRecordWriter writer(stream, failText);
    writer.Put<std::int32_t>(Count(), "count");
    writer.Put<std::int32_t>(FirstBottle, "FirstBottle");
    writer.Put<std::int32_t>(LastBottle, "LastBottle");
    writer.PutBytes(reserve.data(), reserve.size(), "reserve");
    for (int i = 0; i < Count(); ++i) {
        TRecordWriter bottleWriter(stream, BottleInBlock(failText, i));
        WriteFields(bottleWriter, Items(i).ToRecord(), BottleFields);
    }
}

void TBottlesCollection::ReadBlock(TStream& stream) {
    constexpr std::string_view failText = "TBottlesCollection.CruiseFileToBottles: read error - ";
    TRecordReader reader(stream, failText);
    const auto count = reader.Get<std::int32_t>("count");
    const auto first = reader.Get<std::int32_t>("FirstBottle");
    const auto last = reader.Get<std::int32_t>("LastBottle");
    std::array<std::uint8_t, 201> reserved;
    reader.GetBytes(reserved.data(), reserved.size(), "reserve");

    // The count decides how much is read and kept, so a damaged one is refused before anything
    // is read for it. A stream of unknown size is still safe: the bottles are allocated one by
    // one as they are read, and the first short record ends the read.
    if (count < 0)
        Raise("TBottlesCollection.CruiseFileToBottles: bad value - count");
    const std::int64_t size = stream.Size();
    const std::int64_t position = stream.Position();
    if (size >= 0 && position >= 0) {
        const std::int64_t left = std::max<std::int64_t>(size - position, 0);
        if (count > left / BottleRecordSize)
            Raise("TBottlesCollection.CruiseFileToBottles: bad value - count (" +
                  std::to_string(count) + " bottles, " + std::to_string(left) + " bytes left)");
    }

    std::vector<std::unique_ptr<TBottleInfo>> bottles;
    for (int i = 0; i < count; ++i) {
        TBottleInfoRecord record;
        TRecordReader bottleReader(stream, BottleInBlock(failText, i));
        ReadFields(bottleReader, record, BottleFields);
        bottles.push_back(std::make_unique<TBottleInfo>());
        bottles.back()->FromRecord(record);
    }
    items_ = std::move(bottles);
    FirstBottle = first;
    LastBottle = last;
    reserve = reserved;
}

} // namespace marevo
