#include "foundation/Stream.h"

#include "foundation/Guard.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

namespace marevo {
namespace {

using test::TTestEnv;

TEST(RecordStreams, FieldsAreLittleEndianByteImages) {
    TMemoryStream s;
    TRecordWriter w(s, "write error - ");
    w.Put<std::int32_t>(-2, "a");
    w.Put<std::uint16_t>(0x1234, "b");
    w.Put<double>(1.0, "c");
    EXPECT_EQ(s.Bytes(), (std::vector<std::uint8_t>{0xFE, 0xFF, 0xFF, 0xFF, 0x34, 0x12, 0, 0, 0, 0,
                                                    0, 0, 0xF0, 0x3F}));
    s.Seek(0);
    TRecordReader r(s, "read error - ");
    EXPECT_EQ(r.Get<std::int32_t>("a"), -2);
    EXPECT_EQ(r.Get<std::uint16_t>("b"), 0x1234);
    EXPECT_EQ(r.Get<double>("c"), 1.0);
}

TEST(RecordStreams, ShortReadOrWriteNamesTheField) {
    TMemoryStream s(std::vector<std::uint8_t>{1, 2, 3});
    TRecordReader r(s, "TThing.Read: read error - ");
    try {
        r.Get<std::int32_t>("Count");
        FAIL() << "a short read must raise";
    } catch (const EMarevoError& e) {
        EXPECT_STREQ(e.what(), "TThing.Read: read error - Count");
    }
    TMemoryStream full;
    full.SetCapacityLimit(2);
    TRecordWriter w(full, "TThing.Write: write error - ");
    EXPECT_THROW(w.Put<std::int32_t>(1, "Count"), EMarevoError);
}

TEST(FileStream, WritesReadsSeeksAndReportsOpenFailures) {
    TTestEnv env;
    const auto name = env.dir / "data.bin";
    {
        TFileStream f(name, TFileMode::Create);
        EXPECT_EQ(f.Write("abcdef", 6), 6u);
        f.Sync();
        EXPECT_EQ(f.Size(), 6);
    }
    {
        TFileStream f(name, TFileMode::OpenReadWrite);
        f.Seek(2);
        EXPECT_EQ(f.Write("XY", 2), 2u);
        f.Seek(0);
        char buf[8] = {};
        EXPECT_EQ(f.Read(buf, 8), 6u);
        EXPECT_STREQ(buf, "abXYef");
        EXPECT_EQ(f.Position(), 6);
    }
    try {
        TFileStream missing(env.dir / "missing.bin", TFileMode::OpenRead);
        FAIL() << "opening a missing file must raise";
    } catch (const EMarevoError& e) {
        EXPECT_NE(std::string(e.what()).find("missing.bin"), std::string::npos);
    }
}

} // namespace
} // namespace marevo

namespace marevo {
namespace {

TEST(AtomicWrite, FailedWriteLeavesTheOldFileWhole) {
    test::TTestEnv env;
    const auto name = env.dir / "Param.col";
    WriteFileAtomically(name, [](TStream& s) { s.Write("old contents", 12); });
    EXPECT_EQ(test::ReadFileBytes(name), "old contents");

    EXPECT_THROW(WriteFileAtomically(name,
                                     [](TStream& s) {
                                         s.Write("new", 3);
                                         Raise("disk full");
                                     }),
                 EMarevoError);
    EXPECT_EQ(test::ReadFileBytes(name), "old contents");
    // Nothing but the file itself: the temporary of the failed write is gone.
    for (const auto& e : std::filesystem::directory_iterator(env.dir))
        EXPECT_TRUE(e.path() == name || e.path().filename().string().starts_with("log_"))
            << e.path();

    WriteFileAtomically(name, [](TStream& s) { s.Write("new contents", 12); });
    EXPECT_EQ(test::ReadFileBytes(name), "new contents");
}

} // namespace
} // namespace marevo
