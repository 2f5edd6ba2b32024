#include "records/Bottles.h"

#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace marevo {
namespace {

using test::TTestEnv;
using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t HeadSize = 213;
constexpr std::size_t BottleSize = 274;

template <class T> void PutAt(Bytes& bytes, std::size_t offset, T value) {
    std::memcpy(bytes.data() + offset, &value, sizeof value);
}

template <class T> T At(const Bytes& bytes, std::size_t offset) {
    T value;
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

void WriteFile(const std::filesystem::path& file, const Bytes& bytes) {
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// A stored block of the given bottle numbers; every other byte (reserve, flag padding, unused
// channels) holds an arbitrary pattern, as a file may.
Bytes StoredBlock(const std::vector<std::int32_t>& numbers, std::int32_t first, std::int32_t last) {
    Bytes b(HeadSize + numbers.size() * BottleSize);
    for (std::size_t i = 0; i < b.size(); ++i)
        b[i] = static_cast<std::uint8_t>(i * 13 + 5);
    PutAt<std::int32_t>(b, 0, std::int32_t(numbers.size()));
    PutAt<std::int32_t>(b, 4, first);
    PutAt<std::int32_t>(b, 8, last);
    for (std::size_t k = 0; k < numbers.size(); ++k) {
        const std::size_t at = HeadSize + k * BottleSize;
        PutAt<std::int32_t>(b, at, numbers[k]);
        b[at + 4] = btl_Closed;
        PutAt<float>(b, at + 5 + 1 * 8, 100.5f + float(k)); // RawValue[1]
        b[at + 5 + 1 * 8 + 4] = 0;
    }
    return b;
}

// A stream that cannot tell its size, as a pipe or a socket.
class TUnsizedStream final : public TStream {
public:
    explicit TUnsizedStream(Bytes bytes) : inner_(std::move(bytes)) {}
    std::size_t Read(void* buffer, std::size_t count) override {
        return inner_.Read(buffer, count);
    }
    std::size_t Write(const void* buffer, std::size_t count) override {
        return inner_.Write(buffer, count);
    }
    std::int64_t Position() const override { return inner_.Position(); }
    void Seek(std::int64_t position) override { inner_.Seek(position); }
    std::int64_t Size() const override { return -1; }

private:
    TMemoryStream inner_;
};

TBottlesCollection& Filled(TBottlesCollection& list) {
    for (int nb : {3, 4, 7}) {
        TBottleInfo& b = list.Add();
        b.BottleNb = nb;
        b.BtlStatus = nb == 7 ? btl_RosError : btl_Closed;
        b.RawValue[0] = {float(nb) * 10.0f, 0};
        b.RawValue[30] = {-1.5f, 1};
    }
    list.FirstBottle = 2;
    list.LastBottle = 7;
    return list;
}

TEST(Bottles, EmptyListIsA213ByteBlockAndReadsBackItsLastBottle) {
    TTestEnv env;
    TBottlesCollection empty;
    empty.LastBottle = 4;
    TMemoryStream stream;
    ASSERT_TRUE(empty.BottlesToCruiseFile(stream));
    const Bytes& b = stream.Bytes();
    ASSERT_EQ(b.size(), HeadSize);
    EXPECT_EQ(At<std::int32_t>(b, 0), 0);
    EXPECT_EQ(At<std::int32_t>(b, 8), 4);
    for (std::size_t i = 12; i < HeadSize; ++i)
        ASSERT_EQ(b[i], 0) << i;

    TBottlesCollection list;
    Filled(list);
    list.TimeIndex = 5;
    list.PresIndex = 6;
    stream.Seek(0);
    ASSERT_TRUE(list.CruiseFileToBottles(stream));
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.FirstBottle, 0);
    EXPECT_EQ(list.LastBottle, 4);
    EXPECT_EQ(list.TimeIndex, 0);
    EXPECT_EQ(list.PresIndex, 0);
}

TEST(Bottles, WrittenBottlesFollowTheBlockHeadAndReadBackEqual) {
    TTestEnv env;
    TBottlesCollection list;
    TMemoryStream stream;
    ASSERT_TRUE(Filled(list).BottlesToCruiseFile(stream));
    const Bytes& b = stream.Bytes();
    ASSERT_EQ(b.size(), HeadSize + 3 * BottleSize);
    EXPECT_EQ(At<std::int32_t>(b, 0), 3);
    EXPECT_EQ(At<std::int32_t>(b, 4), 2);
    EXPECT_EQ(At<std::int32_t>(b, 8), 7);
    const std::size_t third = HeadSize + 2 * BottleSize;
    EXPECT_EQ(At<std::int32_t>(b, third), 7);
    EXPECT_EQ(b[third + 4], btl_RosError);
    EXPECT_EQ(At<float>(b, third + 5), 70.0f);
    EXPECT_EQ(At<float>(b, third + 5 + 30 * 8), -1.5f);
    EXPECT_EQ(b[third + 5 + 30 * 8 + 4], 1);
    for (std::size_t i = third + 253; i < third + BottleSize; ++i)
        ASSERT_EQ(b[i], 0) << i;

    TBottlesCollection back;
    stream.Seek(0);
    ASSERT_TRUE(back.CruiseFileToBottles(stream));
    ASSERT_EQ(back.Count(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(back.Items(i).BottleNb, list.Items(i).BottleNb) << i;
        EXPECT_EQ(back.Items(i).BtlStatus, list.Items(i).BtlStatus) << i;
        EXPECT_EQ(back.Items(i).RawValue, list.Items(i).RawValue) << i;
    }
    EXPECT_EQ(back.FirstBottle, 2);
    EXPECT_EQ(back.LastBottle, 7);
}

TEST(Bottles, StoredBlockReadAndWrittenBackGivesEveryByteAndKeepsDuplicates) {
    TTestEnv env;
    const Bytes stored = StoredBlock({5, 9, 5, 12}, 1, 12);
    const auto file = env.dir / "bottles.bin";
    WriteFile(file, stored);

    TBottlesCollection list;
    {
        TFileStream in(file, TFileMode::OpenRead);
        ASSERT_TRUE(list.CruiseFileToBottles(in));
    }
    ASSERT_EQ(list.Count(), 4);
    EXPECT_EQ(list.FirstBottle, 1);
    EXPECT_EQ(list.LastBottle, 12);

    // Both bottles numbered 5 are kept; the first one is found.
    TBottleInfo* found = nullptr;
    ASSERT_TRUE(list.GetBottleValue(5, found));
    EXPECT_EQ(found, &list.Items(0));
    EXPECT_EQ(found->RawValue[1], (TFlaggedValue{100.5f, 0}));
    EXPECT_EQ(list.Items(2).RawValue[1], (TFlaggedValue{102.5f, 0}));
    EXPECT_EQ(list.Items(3).BtlStatus, btl_Closed);
    EXPECT_FALSE(list.GetBottleValue(6, found));

    {
        TFileStream out(env.dir / "again.bin", TFileMode::Create);
        ASSERT_TRUE(list.BottlesToCruiseFile(out));
    }
    EXPECT_EQ(test::ReadFileBytes(env.dir / "again.bin"),
              std::string(stored.begin(), stored.end()));
    EXPECT_TRUE(env.LogMessages().empty());
}

TEST(Bottles, GetBottleValueOnAnEmptyListFindsNothing) {
    TBottlesCollection list;
    TBottleInfo* found = nullptr;
    EXPECT_FALSE(list.GetBottleValue(0, found));
    EXPECT_EQ(found, nullptr);
}

TEST(Bottles, ClearFreesTheBottlesAndResetsTheCounters) {
    TBottlesCollection list;
    Filled(list);
    list.TimeIndex = 11;
    list.PresIndex = 12;
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.FirstBottle, 0);
    EXPECT_EQ(list.LastBottle, 0);
    EXPECT_EQ(list.TimeIndex, 0);
    EXPECT_EQ(list.PresIndex, 0);
}

// A block cut short, or one whose count cannot be right, fails as a whole with the block's box
// and log line; the list is left cleared, never holding part of a block.
TEST(Bottles, TruncatedOrDamagedBlockFailsAndLeavesTheListCleared) {
    const Bytes three = StoredBlock({1, 2, 3}, 0, 3);
    Bytes negative = three;
    PutAt<std::int32_t>(negative, 0, -1);
    Bytes absurd = three;
    PutAt<std::int32_t>(absurd, 0, 0x7FFFFFFF);
    const std::string prefix = "FUNC: TBottlesCollection.CruiseFileToBottles"
                               "TBottlesCollection.CruiseFileToBottles: ";

    const struct {
        const char* what;
        Bytes bytes;
        std::string message;
    } cases[] = {
        {"empty file", {}, "read error - count"},
        {"cut in FirstBottle", Bytes(three.begin(), three.begin() + 6), "read error - FirstBottle"},
        {"cut in LastBottle", Bytes(three.begin(), three.begin() + 10), "read error - LastBottle"},
        {"cut in the reserve", Bytes(three.begin(), three.begin() + 100), "read error - reserve"},
        {"cut in the second bottle",
         Bytes(three.begin(), three.begin() + std::ptrdiff_t(HeadSize + BottleSize + 100)),
         "bad value - count (3 bottles, 374 bytes left)"},
        {"last byte missing", Bytes(three.begin(), three.end() - 1),
         "bad value - count (3 bottles, 821 bytes left)"},
        {"negative count", negative, "bad value - count"},
        {"absurd count", absurd, "bad value - count (2147483647 bottles, 822 bytes left)"},
    };
    for (const auto& c : cases) {
        TTestEnv env;
        const auto file = env.dir / "bottles.bin";
        WriteFile(file, c.bytes);
        TBottlesCollection list;
        Filled(list);
        TFileStream in(file, TFileMode::OpenRead);
        EXPECT_FALSE(list.CruiseFileToBottles(in)) << c.what;
        EXPECT_EQ(list.Count(), 0) << c.what;
        EXPECT_EQ(list.LastBottle, 0) << c.what;
        EXPECT_EQ(env.LogMessages(), std::vector<std::string>{prefix + c.message}) << c.what;
        EXPECT_EQ(env.op.Events(),
                  std::vector<std::string>{"Message Error [Error]: Read bottle from cruise file"})
            << c.what;
    }
}

// Without a known size the count cannot be checked in advance: the bottles are read one by one
// and the first short record ends the block.
TEST(Bottles, BlockCutShortInAStreamOfUnknownSizeFailsAtTheShortRecord) {
    TTestEnv env;
    const Bytes three = StoredBlock({1, 2, 3}, 0, 3);
    for (std::int32_t count : {3, 0x7FFFFFFF}) {
        Bytes cut(three.begin(), three.begin() + std::ptrdiff_t(HeadSize + BottleSize + 100));
        PutAt<std::int32_t>(cut, 0, count);
        TUnsizedStream stream(cut);
        TBottlesCollection list;
        EXPECT_FALSE(list.CruiseFileToBottles(stream)) << count;
        EXPECT_EQ(list.Count(), 0) << count;
        EXPECT_EQ(env.LogMessages().back(), "FUNC: TBottlesCollection.CruiseFileToBottles"
                                            "TBottlesCollection.CruiseFileToBottles: read error - "
                                            "bottle[1].RawValue")
            << count;
    }
}

TEST(Bottles, FailedBlockWriteStopsAtTheBottleAndIsReported) {
    TTestEnv env;
    TBottlesCollection list;
    TMemoryStream stream;
    stream.SetCapacityLimit(HeadSize + BottleSize + 100);
    EXPECT_FALSE(Filled(list).BottlesToCruiseFile(stream));
    EXPECT_EQ(stream.Bytes().size(), HeadSize + BottleSize + 100);
    EXPECT_EQ(env.LogMessages(),
              std::vector<std::string>{"FUNC: TBottlesCollection.BottlesToCruiseFile"
                                       "TBottlesCollection.BottlesToCruiseFile: write error - "
                                       "bottle[1].RawValue"});
    EXPECT_EQ(env.op.Events(),
              std::vector<std::string>{"Message Error [Error]: Write bottle in cruise file"});
}

// A single record keeps the bottle's own texts, with the size of the last field transferred in
// full between the prefix and the message; a short read leaves the bottle as it was.
TEST(BottleInfo, ShortRecordFailsWithTheBottleTextsAndKeepsTheBottle) {
    TBottleInfo source;
    source.BottleNb = 8;
    source.BtlStatus = btl_Closed;
    source.RawValue[2] = {3.25f, 0};
    TMemoryStream stream;
    {
        TTestEnv env;
        ASSERT_TRUE(source.WriteToStream(stream));
        ASSERT_EQ(stream.Bytes().size(), BottleSize);
    }

    const struct {
        std::size_t length;
        const char* message;
    } cuts[] = {
        {2, "0TBottleInfo.ReadFromStream: read error - BottleNb"},
        {4, "4TBottleInfo.ReadFromStream: read error - BtlStatus"},
        {100, "1TBottleInfo.ReadFromStream: read error - RawValue"},
        {273, "248TBottleInfo.ReadFromStream: read error - reserve"},
    };
    for (const auto& c : cuts) {
        TTestEnv env;
        TMemoryStream cut(
            Bytes(stream.Bytes().begin(), stream.Bytes().begin() + std::ptrdiff_t(c.length)));
        TBottleInfo bottle;
        bottle.BottleNb = 99;
        EXPECT_FALSE(bottle.ReadFromStream(cut)) << c.length;
        EXPECT_EQ(bottle.BottleNb, 99) << c.length;
        EXPECT_EQ(bottle.RawValue[2], ZeroFV) << c.length;
        EXPECT_EQ(
            env.LogMessages(),
            std::vector<std::string>{std::string("FUNC: TBottleInfo.ReadFromStream") + c.message})
            << c.length;
        EXPECT_EQ(env.op.Events(),
                  std::vector<std::string>{"Message Error [Error]: Read bottle Information"})
            << c.length;
    }

    TTestEnv env;
    TMemoryStream full;
    full.SetCapacityLimit(10);
    EXPECT_FALSE(source.WriteToStream(full));
    EXPECT_EQ(env.LogMessages(),
              std::vector<std::string>{
                  "FUNC: TBottleInfo.WriteToStream1TBottleInfo.WriteToStream: write error - "
                  "RawValue"});
    EXPECT_EQ(env.op.Events(),
              std::vector<std::string>{"Message Error [Error]: Write of bottle Information"});
}

} // namespace
} // namespace marevo
