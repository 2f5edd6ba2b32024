#pragma once
// The rosette bottles fired during a cast, each with the value of every acquired channel at the
// firing moment, and their block in the cruise file.

#include "foundation/BottleStatus.h"
#include "foundation/FlaggedValue.h"
#include "foundation/Record.h"
#include "foundation/Stream.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace marevo {

#pragma pack(push, 1)
// The 274-byte form of one bottle. Only copied to and from TBottleInfo as bytes: its multi-byte
// fields sit at unaligned offsets.
struct TBottleInfoRecord {
    std::int32_t BottleNb;
    TBottleStatus BtlStatus;
    TFlaggedValue RawValue[RawFVCount];
    std::uint8_t reserve[21];
};

// The head of the bottles block; the bottle records follow it in list order.
struct TBottlesBlockHeader {
    std::int32_t count;
    std::int32_t FirstBottle;
    std::int32_t LastBottle;
    std::uint8_t reserve[201];
};
#pragma pack(pop)

MAREVO_RECORD_SIZE(TBottleInfoRecord, 274);
MAREVO_RECORD_OFFSET(TBottleInfoRecord, BottleNb, 0);
MAREVO_RECORD_OFFSET(TBottleInfoRecord, BtlStatus, 4);
MAREVO_RECORD_OFFSET(TBottleInfoRecord, RawValue, 5);
MAREVO_RECORD_OFFSET(TBottleInfoRecord, reserve, 253);

MAREVO_RECORD_SIZE(TBottlesBlockHeader, 213);
MAREVO_RECORD_OFFSET(TBottlesBlockHeader, count, 0);
MAREVO_RECORD_OFFSET(TBottlesBlockHeader, FirstBottle, 4);
MAREVO_RECORD_OFFSET(TBottlesBlockHeader, LastBottle, 8);
MAREVO_RECORD_OFFSET(TBottlesBlockHeader, reserve, 12);

class TBottleInfo {
public:
    std::int32_t BottleNb = 0; // rosette position, 1-based
    TBottleStatus BtlStatus = btl_Ready;
    // Indexed by the parameter's position in the cast's collection; only acquired kinds are
    // filled, the others stay zero.
    TRawFVArray RawValue{};
    // Zero in a new bottle; kept as read otherwise.
    std::array<std::uint8_t, 21> reserve{};

    // The 274-byte form at the stream's position. A record cut short by the end of the file
    // fails: logged, shown, false, and the bottle keeps the values it had.
    bool WriteToStream(TStream& stream) const;
    bool ReadFromStream(TStream& stream);

    TBottleInfoRecord ToRecord() const;
    void FromRecord(const TBottleInfoRecord& record);
};

// Owns its bottles; each keeps its address until the list is cleared or destroyed.
class TBottlesCollection {
public:
    std::int32_t FirstBottle = 0; // stored and restored only
    // Bottle fired last; the next one to fire is searched after it.
    std::int32_t LastBottle = 0;
    std::int32_t TimeIndex = 0; // not stored
    std::int32_t PresIndex = 0; // not stored
    // Zero in a new list; kept as read otherwise.
    std::array<std::uint8_t, 201> reserve{};

    TBottlesCollection() = default;
    TBottlesCollection(const TBottlesCollection&) = delete;
    TBottlesCollection& operator=(const TBottlesCollection&) = delete;

    int Count() const { return static_cast<int>(items_.size()); }
    // i must lie in 0..Count()-1.
    TBottleInfo& Items(int i) { return *items_.at(static_cast<std::size_t>(i)); }
    const TBottleInfo& Items(int i) const { return *items_.at(static_cast<std::size_t>(i)); }
    // Appends a new zeroed bottle and returns it.
    TBottleInfo& Add();

    // Frees every bottle; FirstBottle, LastBottle, TimeIndex and PresIndex become 0.
    void Clear();

    // The first bottle in list order whose BottleNb is BottleID; false when there is none.
    bool GetBottleValue(std::int32_t BottleID, TBottleInfo*& bottle);

    // The bottles block: count, FirstBottle, LastBottle, reserve, then every bottle.
    bool BottlesToCruiseFile(TStream& stream) const;
    // Clears the list, then reads a block. A block cut short, or a count the stream cannot hold,
    // fails as a whole (logged, shown, false) and leaves the list cleared: it never holds a
    // partly read block.
    bool CruiseFileToBottles(TStream& stream);

private:
    // Raise on failure; the block operations report it.
    void WriteBlock(TStream& stream) const;
    void ReadBlock(TStream& stream);

    std::vector<std::unique_ptr<TBottleInfo>> items_;
};

} // namespace marevo
