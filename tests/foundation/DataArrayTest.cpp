#include "foundation/DataArray.h"

#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <limits>

namespace marevo {
namespace {

using test::TTestEnv;

TFlaggedValue FV(float v, std::uint8_t f = 0) { return TFlaggedValue{v, f}; }

TEST(LinearArray, StartsEmptyWithCapacity33AndGrowsBy32) {
    TTestEnv env;
    TLinearArray a;
    EXPECT_EQ(a.Count(), 0);
    EXPECT_EQ(a.MaxIndice, 32);
    for (int i = 0; i < 33; ++i)
        a.AddFV(FV(float(i)));
    EXPECT_EQ(a.MaxIndice, 32);
    a.AddFV(FV(33.0f));
    EXPECT_EQ(a.MaxIndice, 64);
    EXPECT_EQ(a.Count(), 34);
    for (int i = 0; i < 34; ++i)
        EXPECT_EQ(a.AtFV(i), FV(float(i))) << i;
    EXPECT_TRUE(env.LogMessages().empty());
}

TEST(LinearArray, AddFVAtPadsWithInvalidValuesAndShortensInsideTheSeries) {
    TTestEnv env;
    TLinearArray a;
    a.AddFVAt(FV(5.5f), 5);
    ASSERT_EQ(a.Count(), 6);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(a.AtFV(i), InvalidFV) << i;
    EXPECT_EQ(a.AtFV(5), FV(5.5f));

    a.AddFVAt(FV(2.5f), 2);
    EXPECT_EQ(a.Count(), 3);
    EXPECT_EQ(a.AtFV(2), FV(2.5f));

    a.AddFVAt(FV(100.0f), 100); // beyond the capacity: grows in steps of 32
    EXPECT_EQ(a.Count(), 101);
    EXPECT_EQ(a.MaxIndice, 128);
    EXPECT_EQ(a.AtFV(99), InvalidFV);
    EXPECT_THROW(a.AddFVAt(FV(1.0f), -1), EArrayIndexError);
    EXPECT_EQ(a.Count(), 101);
}

TEST(LinearArray, AtFVChecksTheCapacityNotTheCount) {
    TTestEnv env;
    TLinearArray a;
    a.AddFV(FV(1.0f));
    EXPECT_EQ(a.AtFV(20), ZeroFV); // spare capacity: zeroed, no error
    EXPECT_TRUE(env.LogMessages().empty());

    EXPECT_EQ(a.AtFV(33), InvalidFV);
    EXPECT_EQ(env.LogMessages(),
              std::vector<std::string>{"Error in TFlaggedArray.AtFVTLinearArray.AtFV: index error"});
}

TEST(LinearArray, IndexErrorsAreLoggedWithTheirPrefixAndLeaveTheArrayUnchanged) {
    struct Case {
        const char* what;
        std::function<void(TLinearArray&)> call;
        const char* logged;
    };
    const Case cases[] = {
        {"AtValue", [](TLinearArray& a) { a.AtValue(-1); },
         "Error setting value in linear arrayTLinearArray.AtModifyFV: index error"},
        {"AtFlag", [](TLinearArray& a) { EXPECT_EQ(a.AtFlag(40), 1); },
         "Error in TFlaggedArray.AtFlagTLinearArray.AtModifyFV: index error"},
        {"SetFVAt", [](TLinearArray& a) { a.SetFVAt(FV(9.0f), 33); },
         "Error in TLinearArray.SetFVAtTLinearArray.SetFVAt: index error"},
        {"AtModifyFV", [](TLinearArray& a) { a.AtModifyFV(-1, FV(9.0f)); },
         "Error in TFlaggedArray.AtModifyFVTFlaggedArray.AtModifyFV: index error"},
        {"AtModify", [](TLinearArray& a) { a.AtModify(33, 9.0f, 0); },
         "Error in TFlaggedArray.AtModifyTFlaggedArray.AtModify: index error"},
    };
    for (const Case& c : cases) {
        TTestEnv env;
        TLinearArray a;
        a.AddFV(FV(1.0f));
        c.call(a);
        EXPECT_EQ(env.LogMessages(), std::vector<std::string>{c.logged}) << c.what;
        EXPECT_EQ(a.Count(), 1) << c.what;
        EXPECT_EQ(a.AtFV(0), FV(1.0f)) << c.what;
    }
}

TEST(LinearArray, LastOfAnEmptyArrayIsLoggedNotRaised) {
    TTestEnv env;
    TLinearArray a;
    EXPECT_EQ(a.LastFV(), InvalidFV);
    a.LastValue();
    EXPECT_EQ(a.LastFlag(), 1);
    EXPECT_EQ(env.LogMessages(),
              (std::vector<std::string>{"Error in TFlaggedArray.LastFVRange check error",
                                        "Error in TFlaggedArray.LastValueRange check error",
                                        "Error in TFlaggedArray.LastFlagRange check error"}));
}

TEST(LinearArray, ClearDiscardsContentsAndReturnsCapacityTo33) {
    TTestEnv env;
    TLinearArray a;
    for (int i = 0; i < 100; ++i)
        a.AddFV(FV(float(i)));
    a.Clear();
    EXPECT_EQ(a.Count(), 0);
    EXPECT_EQ(a.MaxIndice, 32);
    EXPECT_EQ(a.AtFV(5), ZeroFV);
}

TEST(LinearArray, SequentialReaderStopsAtTheCapacity) {
    TTestEnv env;
    TLinearArray a;
    a.AddFV(FV(1.0f));
    a.AddFV(FV(2.0f, 1));
    EXPECT_EQ(a.NextFV(), FV(1.0f));
    EXPECT_EQ(a.NextFlag(), 1);
    a.ReadIndice = a.MaxIndice;
    a.NextValue();
    EXPECT_EQ(env.LogMessages(), std::vector<std::string>{
                                     "Error in TLinearArray.NextvalueTFlaggedArray.LoadSize: "
                                     "Indice error"});
}

TEST(LinearArray, LoadCountCopiesTheBuffer) {
    TTestEnv env;
    const TFlaggedValue buf[3] = {FV(1.0f), FV(2.0f, 1), FV(3.0f)};
    TLinearArray a = TLinearArray::LoadCount(buf, 3);
    EXPECT_EQ(a.MaxIndice, 3);
    EXPECT_EQ(a.AtFV(2), FV(3.0f));
    EXPECT_EQ(a.AtFV(1), FV(2.0f, 1));

    TLinearArray none = TLinearArray::LoadCount(buf, 0);
    EXPECT_EQ(none.Count(), 0);
    EXPECT_TRUE(env.Logged("Error in TLinearArray.LoadCountTFlaggedArray.LoadSize: ItemNo error"));
}

TEST(LinearArray, GrowthStopsAtTheStorageLimitWithoutCorruptingTheSeries) {
    TTestEnv env;
    TLinearArray a;
    a.AddFVAt(FV(1.0f), MaxFVIndex);
    EXPECT_EQ(a.Count(), MaxFVIndex + 1);
    a.AddFV(FV(2.0f));
    EXPECT_EQ(a.Count(), MaxFVIndex + 1);
    EXPECT_EQ(a.LastFV(), FV(1.0f));
    EXPECT_EQ(env.LogMessages(),
              (std::vector<std::string>{"Error in TLinearArray.IncMemRange check error",
                                        "Error in TLinearArray.AddFVRange check error"}));
}

TEST(LinearArray, ReservedSeriesKeepsItsElementsAndNeverMovesWhileGrowingIntoTheRoom) {
    TTestEnv env;
    TLinearArray a;
    a.AddFV({1.5f, 0});
    a.AddFV({2.5f, 1});
    a.Reserve(100'000);
    EXPECT_EQ(a.Count(), 2);
    EXPECT_EQ(a.AtFV(1), (TFlaggedValue{2.5f, 1}));
    const TFlaggedValue* storage = a.Data();
    for (int k = 2; k < 100'000; ++k)
        a.AddFV({float(k), 0});
    EXPECT_EQ(a.Data(), storage);
    EXPECT_EQ(a.AtFV(0), (TFlaggedValue{1.5f, 0}));
    a.Reserve(-1);
    a.Reserve(std::numeric_limits<long long>::max());
    EXPECT_EQ(a.Count(), 100'000);
    EXPECT_TRUE(env.LogMessages().empty());
}

TEST(CyclicArray, AdditionsWrapAndPrecFVLooksBack) {
    TTestEnv env;
    TCyclicArray ring(2000);
    EXPECT_EQ(ring.MaxIndice, 2000);
    for (int i = 0; i < 2001; ++i)
        ring.AddFV(FV(float(i)));
    EXPECT_EQ(ring.LastIndice, 0);
    EXPECT_EQ(ring.LastFV(), FV(2000.0f));
    EXPECT_EQ(ring.PrecFV(0), FV(2000.0f));
    EXPECT_EQ(ring.PrecFV(1), FV(1999.0f)); // slot 1999
    EXPECT_EQ(ring.PrecValue(2), 1998.0f);
    EXPECT_EQ(ring.PrecFVI(3, 10), FV(7.0f));
    EXPECT_EQ(ring.PrecVI(11, 10), 1999.0f);
    EXPECT_EQ(ring.PrecFlag(0), 0);
    EXPECT_TRUE(env.LogMessages().empty());
}

TEST(CyclicArray, BaseAtFVFoldsNegativeIndicesIntoTheRing) {
    TTestEnv env;
    TCyclicArray ring(2000);
    ring.AtModifyFV(1999, FV(42.0f));
    ring.AtModifyFV(5, FV(5.0f));
    const TFlaggedArray& base = ring;
    EXPECT_EQ(base.AtFV(-1), FV(42.0f));
    EXPECT_EQ(base.AtFV(5), FV(5.0f));
    EXPECT_EQ(base.AtFV(2005), FV(5.0f));
    EXPECT_EQ(base.AtValue(-1995), 5.0f);
    EXPECT_EQ(base.AtFlag(2000), 0); // folds to slot 0
    EXPECT_TRUE(env.LogMessages().empty());

    // Below -MaxIndice the fold fails: an index error, and no valid-looking zero.
    EXPECT_EQ(base.AtFV(-2001), InvalidFV);
    EXPECT_EQ(env.LogMessages(),
              std::vector<std::string>{"Error in TFlaggedArray.AtFVTLinearArray.AtFV: index error"});
}

TEST(CyclicArray, ResetKeepsContentsAndCapacity) {
    TTestEnv env;
    TCyclicArray ring(10);
    for (int i = 0; i < 5; ++i)
        ring.AddFV(FV(float(i + 1)));
    ring.Reset();
    EXPECT_EQ(ring.LastIndice, -1);
    EXPECT_EQ(ring.MaxIndice, 10);
    EXPECT_EQ(ring.AtFV(3), FV(4.0f));
    ring.AddFV(FV(9.0f)); // first addition after a reset goes to slot 0
    EXPECT_EQ(ring.AtFV(0), FV(9.0f));
}

TEST(CyclicArray, AddFVAtReachesTheExtraElementAndRaisesOutsideTheStorage) {
    TTestEnv env;
    TCyclicArray ring(10);
    ring.AddValueAt(7.0f, 10); // the extra element ring additions never reach
    EXPECT_EQ(ring.LastIndice, 10);
    EXPECT_EQ(ring.LastFV(), FV(7.0f));
    ring.AddFV(FV(8.0f));
    EXPECT_EQ(ring.LastIndice, 1);
    EXPECT_THROW(ring.AddFVAt(FV(1.0f), 11), EArrayIndexError);
    EXPECT_THROW(ring.AddValueAt(1.0f, -1), EArrayIndexError);
    EXPECT_EQ(ring.LastIndice, 1);
}

TEST(CyclicArray, EmptyRingHasNoSlotsToAddTo) {
    TTestEnv env;
    TCyclicArray ring(0);
    ring.AddFV(FV(1.0f));
    EXPECT_EQ(ring.PrecFV(0), InvalidFV);
    EXPECT_EQ(env.LogMessages(),
              (std::vector<std::string>{"Error in TCyclicArray.AddFVDivision by zero",
                                        "Error in TCyclicArray.PrecFVDivision by zero"}));
}

TEST(ArrayBinaryForm, NewLinearArrayWrites280BytesAndReadsBack) {
    TTestEnv env;
    TLinearArray fresh;
    TMemoryStream s;
    ASSERT_TRUE(fresh.WriteArray(s));
    ASSERT_EQ(s.Size(), 280);
    const std::vector<std::uint8_t> head(s.Bytes().begin(), s.Bytes().begin() + 16);
    EXPECT_EQ(head, (std::vector<std::uint8_t>{32, 0, 0, 0, 32, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF,
                                               0xFF, 0xFF, 0xFF, 0xFF}));

    TLinearArray back;
    back.AddFV(FV(3.0f));
    s.Seek(0);
    ASSERT_TRUE(back.ReadArray(s));
    EXPECT_EQ(back.MaxIndice, 32);
    EXPECT_EQ(back.LastIndice, -1);
    EXPECT_EQ(back.ReadIndice, -1);
    EXPECT_EQ(back.AtFV(0), ZeroFV);
}

TEST(ArrayBinaryForm, SeriesRoundTripKeepsEveryByte) {
    TTestEnv env;
    TLinearArray a;
    for (int i = 0; i < 40; ++i)
        a.AddFV(FV(float(i) * 0.25f, std::uint8_t(i % 2)));
    TMemoryStream s;
    ASSERT_TRUE(a.WriteArray(s));
    EXPECT_EQ(s.Size(), 16 + 65 * 8);

    TLinearArray b;
    s.Seek(0);
    ASSERT_TRUE(b.ReadArray(s));
    EXPECT_EQ(b.Count(), 40);
    EXPECT_EQ(b.MaxIndice, 64);
    TMemoryStream again;
    ASSERT_TRUE(b.WriteArray(again));
    EXPECT_EQ(again.Bytes(), s.Bytes());
}

TEST(ArrayBinaryForm, FailuresNameTheField) {
    TTestEnv env;
    TLinearArray a;
    TMemoryStream full;
    full.SetCapacityLimit(6); // room for FAIncrement and half of MaxIndice
    EXPECT_FALSE(a.WriteArray(full));

    TMemoryStream written;
    a.WriteArray(written);
    std::vector<std::uint8_t> truncated(written.Bytes().begin(), written.Bytes().end() - 1);
    TMemoryStream shortStream(truncated);
    TLinearArray b;
    EXPECT_FALSE(b.ReadArray(shortStream));
    EXPECT_EQ(b.MaxIndice, 32); // fields read so far keep their values

    EXPECT_EQ(env.LogMessages(),
              (std::vector<std::string>{
                  "Error in TFlaggedArray.WriteArrayTFlaggedArray.WriteArray: write error - "
                  "MaxIndice",
                  "Error in TFlaggedArray.ReadArrayTFlaggedArray.ReadArray: read error - PVA"}));
}

TEST(ArrayBinaryForm, DamagedCountsAreRefused) {
    struct Case {
        std::int32_t increment, maxIndice, lastIndice;
        const char* logged;
    };
    const Case cases[] = {
        {0, 32, -1, "TFlaggedArray.ReadArray: bad value - FAIncrement"},
        {32, -5, -1, "TFlaggedArray.ReadArray: bad value - MaxIndice"},
        {32, MaxFVIndex + 1, -1, "TFlaggedArray.ReadArray: bad value - MaxIndice"},
        {32, 4, 5, "TFlaggedArray.ReadArray: bad value - LastIndice"},
    };
    for (const Case& c : cases) {
        TTestEnv env;
        TMemoryStream s;
        TRecordWriter w(s, "");
        w.Put(c.increment, "");
        w.Put(c.maxIndice, "");
        w.Put(c.lastIndice, "");
        w.Put(std::int32_t{-1}, "");
        s.Seek(0);
        TLinearArray a;
        EXPECT_FALSE(a.ReadArray(s));
        EXPECT_LE(a.LastIndice, a.MaxIndice);
        EXPECT_EQ(env.LogMessages(),
                  std::vector<std::string>{std::string("Error in TFlaggedArray.ReadArray") +
                                           c.logged});
        a.AddFV(FV(1.0f)); // still usable
        EXPECT_EQ(a.LastFV(), FV(1.0f));
    }
    FAIncrement = 32;
}

} // namespace
} // namespace marevo
