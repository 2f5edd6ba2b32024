#include "probelink/InputBuffer.h"

#include "SimProbe.h"
#include "SimProfile.h"
#include "support/Pty.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <thread>

namespace marevo {
namespace {

using test::TTestEnv;
using TBytes = std::vector<std::uint8_t>;

constexpr int FrameSize = 40;

// Frame k of a 24 Hz probe: counter k, time 1000 + 42 k ms, channel bytes from k.
TBytes Frame(TFrameFormat format, int k, int frameSize = FrameSize, std::uint64_t time = 0,
             bool coarse = false) {
    TFrameHead head;
    head.counter = static_cast<std::uint16_t>(k);
    head.timeCount = time ? time : 1000 + 42ull * static_cast<unsigned>(k);
    head.coarseTime = coarse;
    TBytes channels(static_cast<std::size_t>(frameSize));
    for (std::size_t i = 0; i < channels.size(); ++i)
        channels[i] = static_cast<std::uint8_t>(k * 7 + static_cast<int>(i));
    return EncodeFrame(format, head, channels, frameSize);
}

TBytes Stream(TFrameFormat format, int first, int count, int frameSize = FrameSize) {
    TBytes s;
    for (int k = first; k < first + count; ++k) {
        const TBytes f = Frame(format, k, frameSize);
        s.insert(s.end(), f.begin(), f.end());
    }
    return s;
}

// A ring fed from a byte stream as a raw file, with the pipeline's frame count kept up to date.
struct TReplay {
    TReplay(const TBytes& bytes, int protocol, int frameSize = FrameSize)
        : in(bytes), source(in), ring(prb, frameSize, context) {
        context.Protocol = protocol;
    }

    // Reads until the stream is used up; returns the time counters (bytes 1-4) delivered.
    std::vector<std::uint32_t> Run() {
        std::vector<std::uint32_t> times;
        while (in.Position() < in.Size()) {
            if (ring.ReadNewRawSet(source)) {
                delivered.emplace_back(prb.begin(), prb.begin() + ring.FrameSize());
                times.push_back(prb[1] | prb[2] << 8 | prb[3] << 16 | std::uint32_t(prb[4]) << 24);
                ++context.RawIndex;
            }
        }
        return times;
    }

    TRawBuffer prb{};
    TRingContext context;
    TMemoryStream in;
    TStreamByteSource source;
    TCyclicInputBuffer ring;
    std::vector<TBytes> delivered;
};

std::vector<std::uint32_t> Times(std::initializer_list<int> frames) {
    std::vector<std::uint32_t> t;
    for (int k : frames)
        t.push_back(1000 + 42u * static_cast<unsigned>(k));
    return t;
}

TEST(CheckFields, ChecksumAndCrcOfKnownBytes) {
    const TBytes digits = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(FrameCrc16(digits), 0x31C3); // the CRC-16/XMODEM check value
    EXPECT_EQ(FrameChecksum8(TBytes{0x01, 0x02, 0x04}), 0x07);
    EXPECT_EQ(FrameChecksum8(TBytes{0, 0, 0}), 0xFF);
    for (TFrameFormat f : {TFrameFormat::DF5, TFrameFormat::DF6, TFrameFormat::DF7}) {
        EXPECT_FALSE(FrameCheckOK(f, TBytes(40, 0))) << "all zero never passes";
        TBytes frame = Frame(f, 3);
        EXPECT_TRUE(FrameCheckOK(f, frame));
        frame[10] ^= 0x10;
        EXPECT_FALSE(FrameCheckOK(f, frame));
    }
}

// A set from the probe's memory: check field, then the counter one more than the last unless
// the transmission (re)started; DF7 counts with 11 bits.
TEST(CheckFields, MemorySetsAreCheckedForCheckFieldAndCounter) {
    struct TCase {
        TFrameFormat format;
        int k;
        bool anyCounter;
        std::uint16_t last;
        bool flip;
        bool ok;
    };
    const TCase cases[] = {
        {TFrameFormat::DF5, 5, false, 4, false, true},
        {TFrameFormat::DF5, 6, false, 4, false, false}, // a set lost before it
        {TFrameFormat::DF5, 6, true, 4, false, true},   // after a restart
        {TFrameFormat::DF5, 128, false, 127, false, true}, // 7 bits wrap
        {TFrameFormat::DF5, 5, true, 4, true, false},
        {TFrameFormat::DF6, 5, false, 4, false, true},
        {TFrameFormat::DF6, 5, false, 5, false, false}, // the same set twice
        {TFrameFormat::DF6, 5, true, 4, true, false},
        {TFrameFormat::DF7, 300, false, 299, false, true},
        {TFrameFormat::DF7, 300, false, 43, false, false},
        {TFrameFormat::DF7, 2048, false, 2047, false, true}, // 11 bits wrap
        {TFrameFormat::DF7, 300, false, 299, true, false},
        {TFrameFormat::None, 5, true, 4, false, false},
    };
    for (const TCase& c : cases) {
        TBytes set = Frame(c.format == TFrameFormat::None ? TFrameFormat::DF6 : c.format, c.k);
        if (c.flip)
            set[12] ^= 0x01;
        EXPECT_EQ(MemorySetOK(c.format, set, c.anyCounter, c.last), c.ok)
            << static_cast<int>(c.format) << " set " << c.k;
    }
    // A set with a byte lost is a set shifted by one: it fails too.
    TBytes shifted = Stream(TFrameFormat::DF6, 5, 2);
    EXPECT_FALSE(MemorySetOK(TFrameFormat::DF6,
                             std::span(shifted).subspan(1, static_cast<std::size_t>(FrameSize)),
                             true, 0));
}

TEST(CheckFields, ChannelsAreWrittenAsTheProbeSendsThem) {
    struct Case {
        TParaConv conv;
        double value;
        TBytes bytes;
    };
    const Case cases[] = {
        {ParaConvByte, 200.4, {200}},
        {ParaConvByte, 300, {255}}, // clamped
        {ParaConvWord, 0x1234, {0x34, 0x12}},
        {ParaConvByte3, 1234.5, {0x39, 0x30, 0x00}}, // 12345 tenths
        {ParaConvByte3, -0.1, {0xFF, 0xFF, 0xFF}},   // two's complement
        {ParaConvSingle, 1.0, {0x00, 0x00, 0x80, 0x3F}},
    };
    for (const Case& c : cases) {
        std::uint8_t at[4] = {};
        EXPECT_EQ(EncodeChannel(c.conv, c.value, at), ChannelSize(c.conv));
        EXPECT_EQ(TBytes(at, at + ChannelSize(c.conv)), c.bytes) << int(c.conv) << " " << c.value;
    }
}

TEST(FrameRing, CleanStreamsOfEachFormatAreDeliveredWhole) {
    for (int protocol : {5, 6, 7, 0}) {
        TTestEnv env;
        const TFrameFormat format = FrameFormatOfProtocol(protocol);
        TReplay r(Stream(format, 0, 50), protocol);
        r.Run();
        ASSERT_EQ(r.delivered.size(), 50u) << protocol;
        EXPECT_EQ(r.delivered[17], Frame(format, 17)) << protocol;
        EXPECT_EQ(r.ring.FrameErrorNb(), 0);
        EXPECT_EQ(r.ring.CRCErrorNb(), 0);
        EXPECT_EQ(r.ring.TIMEErrorNb(), 0);
        EXPECT_TRUE(env.op.Events().empty()) << protocol;
    }
}

TEST(FrameRing, DF7CountersRunPast127) {
    TTestEnv env;
    TReplay r(Stream(TFrameFormat::DF7, 100, 60), 7);
    r.Run();
    EXPECT_EQ(r.delivered.size(), 60u);
    EXPECT_EQ(r.ring.LastSynchroIndex(), 159);
}

// One damaged stream per row, with what must come out of it.
TEST(FrameRing, DamagedStreams) {
    struct Case {
        const char* what;
        TBytes bytes;
        std::vector<std::uint32_t> times; // time counters delivered, in order
        int frameErrors, crcErrors;
        bool resynchronised; // "Synchronize probe rx" shown
    };
    const TBytes clean = Stream(TFrameFormat::DF6, 0, 10);
    auto corrupted = clean;
    corrupted[4 * FrameSize + 12] ^= 0x01;
    auto lost = clean;
    lost.erase(lost.begin() + 4 * FrameSize + 5, lost.begin() + 4 * FrameSize + 12);
    const TBytes midFrame(clean.begin() + 13, clean.end());
    auto skipped = Stream(TFrameFormat::DF6, 0, 4);
    for (int k : {9, 10, 11}) { // counter jumps with good CRCs, times continuous
        TFrameHead h;
        h.counter = static_cast<std::uint16_t>(k);
        h.timeCount = 1000 + 42u * static_cast<unsigned>(k - 5);
        const TBytes f = EncodeFrame(TFrameFormat::DF6, h, {}, FrameSize);
        skipped.insert(skipped.end(), f.begin(), f.end());
    }
    const Case cases[] = {
        {"clean", clean, Times({0, 1, 2, 3, 4, 5, 6, 7, 8, 9}), 0, 0, false},
        // The bad frame is dropped; the next one is still aligned and passes the plain check.
        {"one corrupted frame", corrupted, Times({0, 1, 2, 3, 5, 6, 7, 8, 9}), 1, 1, false},
        // Frame 4 is lost with the gap: the aligned check fails once (a frame error), the next
        // read fails too and the search finds frame 5's boundary in it.
        {"seven bytes lost", lost, Times({0, 1, 2, 3, 5, 6, 7, 8, 9}), 1, 2, true},
        {"starts mid-frame", midFrame, Times({1, 2, 3, 4, 5, 6, 7, 8, 9}), 1, 2, true},
        {"counter jumps", skipped, Times({0, 1, 2, 3, 4, 5, 6}), 0, 0, false},
    };
    for (const Case& c : cases) {
        TTestEnv env;
        TReplay r(c.bytes, 6);
        EXPECT_EQ(r.Run(), c.times) << c.what;
        EXPECT_EQ(r.ring.FrameErrorNb(), c.frameErrors) << c.what;
        EXPECT_EQ(r.ring.CRCErrorNb(), c.crcErrors) << c.what;
        EXPECT_EQ(r.ring.TIMEErrorNb(), 0) << c.what;
        EXPECT_EQ(env.Logged("Synchronize probe rx"), c.resynchronised) << c.what;
        for (const TBytes& f : r.delivered)
            EXPECT_TRUE(FrameCheckOK(TFrameFormat::DF6, f)) << c.what;
    }
}

TEST(TimeCheck, FirstTwoFramesAreNotCheckedAndCoarseFramesOnlyOnReplay) {
    TTestEnv env;
    // Frame 1 is 5 s after frame 0: with RawIndex < 2 nobody looks.
    TBytes s = Frame(TFrameFormat::DF6, 0, FrameSize, 1000);
    for (const TBytes& f : {Frame(TFrameFormat::DF6, 1, FrameSize, 6000),
                            Frame(TFrameFormat::DF6, 2, FrameSize, 6042),
                            Frame(TFrameFormat::DF6, 3, FrameSize, 6043, true)})
        s.insert(s.end(), f.begin(), f.end());
    TReplay replay(s, 6);
    EXPECT_EQ(replay.Run().size(), 4u);

    TReplay live(s, 6);
    live.context.RealTimeOn = true;
    EXPECT_EQ(live.Run().size(), 3u);      // the 0.01 s frame is refused in real time...
    EXPECT_EQ(live.ring.TIMEErrorNb(), 0); // ...without counting a time error
}

TEST(TimeCheck, GapStartsRecoveryThatEndsAfterDatasetCountFrames) {
    TTestEnv env;
    TBytes s;
    std::uint64_t t = 1000;
    for (int k = 0; k < 40; ++k) {
        t += (k == 10) ? 5000 : 42; // a 5 s gap before frame 10
        const TBytes f = Frame(TFrameFormat::DF6, k, FrameSize, t);
        s.insert(s.end(), f.begin(), f.end());
    }
    TReplay r(s, 6);
    r.context.datasetCount = 5;
    std::vector<bool> recovering;
    std::vector<std::uint32_t> times;
    while (r.in.Position() < r.in.Size()) {
        if (r.ring.ReadNewRawSet(r.source)) {
            times.push_back(r.prb[1] | r.prb[2] << 8 | r.prb[3] << 16 |
                            std::uint32_t(r.prb[4]) << 24);
            ++r.context.RawIndex;
        }
        recovering.push_back(r.context.NoStream);
    }
    // The frame after the gap is refused and counted; the frames after it come through.
    EXPECT_EQ(times.size(), 39u);
    EXPECT_EQ(std::find(times.begin(), times.end(), 1000 + 42 * 10 + 5000), times.end());
    EXPECT_GE(r.ring.TIMEErrorNb(), 1);
    EXPECT_TRUE(recovering[10]);
    EXPECT_FALSE(recovering.back()); // recovery has ended
}

TEST(RawFile, SavesWriteEveryReceivedByteOnceAndInOrder) {
    TTestEnv env;
    const TBytes input = Stream(TFrameFormat::DF6, 0, 1200); // 48000 bytes: the ring wraps twice
    TReplay r(input, 6);
    TMemoryStream raw;
    int saves = 0;
    while (r.in.Position() < r.in.Size()) {
        r.ring.ReadNewRawSet(r.source);
        if (r.in.Position() % (FrameSize * 37) == 0) // saves at an odd period, wrapping
            saves += r.ring.SaveToRawFile(raw);
    }
    EXPECT_GT(saves, 30);
    r.ring.SaveToRawFile(raw);
    // The ordinary save holds the newest frame back for the next save...
    EXPECT_EQ(raw.Size() + FrameSize, static_cast<std::int64_t>(input.size()));
    // ...and the last save of the cast includes it.
    EXPECT_TRUE(r.ring.SaveToRawFile(raw, true));
    EXPECT_EQ(raw.Bytes(), input);
    EXPECT_FALSE(r.ring.SaveToRawFile(raw));
    EXPECT_TRUE(env.Logged("No new data to write"));
    EXPECT_EQ(r.ring.LostByteNb(), 0);
}

TEST(RawFile, SavesThatFallBehindReportTheLostBytes) {
    TTestEnv env;
    const TBytes input = Stream(TFrameFormat::DF6, 0, 600); // 24000 bytes without a save
    TReplay r(input, 6);
    r.Run();
    EXPECT_EQ(r.ring.LostByteNb(), 24000 - RingSize);
    // Each loss is logged with its count; together they are the whole loss.
    const std::string head = "Error in InputBuffer.CyclicWrite ";
    const std::string tail = " received bytes overwritten before they were saved";
    std::int64_t logged = 0;
    for (const std::string& m : env.LogMessages()) {
        if (m.rfind(head, 0) != 0)
            continue;
        ASSERT_GT(m.size(), head.size() + tail.size()) << m;
        ASSERT_EQ(m.substr(m.size() - tail.size()), tail) << m;
        logged += std::stoll(m.substr(head.size(), m.size() - head.size() - tail.size()));
    }
    EXPECT_EQ(logged, 24000 - RingSize);
    TMemoryStream raw;
    ASSERT_TRUE(r.ring.SaveToRawFile(raw, true));
    // What is saved is the last RingSize bytes received, whole and in order.
    EXPECT_EQ(raw.Bytes(), TBytes(input.end() - RingSize, input.end()));
    EXPECT_FALSE(env.LogMessages().empty());
}

TEST(FrameRing, ImpossibleFrameSizeIsRefused) {
    TTestEnv env;
    TRawBuffer prb{};
    TRingContext context;
    TCyclicInputBuffer ring(prb, 300, context);
    TMemoryStream in(Stream(TFrameFormat::DF6, 0, 5));
    TStreamByteSource source(in);
    EXPECT_FALSE(ring.ReadNewRawSet(source));
    EXPECT_TRUE(env.Logged("Error in InputBuffer.CreateAssert TInputBuffer.Create: FrameSize=300"));
}

TEST(FrameRing, AppendedValuesFollowTheFrame) {
    TTestEnv env;
    TRawBuffer unused{};
    TRingContext extContext;
    TCyclicInputBuffer ext(unused, 4 * 3, extContext);
    ext.SetExtValue(1, -17.5f);
    ext.SetExtValue(2, 37.25f);
    TReplay r(Stream(TFrameFormat::DF6, 0, 3), 6);
    r.context.UseExtPara = true;
    r.context.AppendedValues = 2;
    r.context.ExtRing = &ext;
    r.Run();
    float values[2];
    std::memcpy(values, r.prb.data() + FrameSize, sizeof values);
    EXPECT_EQ(values[0], -17.5f);
    EXPECT_EQ(values[1], 37.25f);

    ext.StoreRecord();
    TMemoryStream extFile;
    ASSERT_TRUE(ext.SaveToRawFile(extFile)); // auxiliary records are saved as soon as stored
    EXPECT_EQ(extFile.Size(), 12);
}

// Long streams with flipped bits, dropped and inserted bytes and garbage bursts: no frame with a
// wrong check field ever comes out, and after each damaged stretch frames come again within a
// few clean frames.
TEST(FrameRing, RandomDamageNeverDeliversABadFrameAndRecoversQuickly) {
    TTestEnv env;
    std::mt19937 rng(20261209);
    int worstRecovery = 0;
    for (int round = 0; round < 20; ++round) {
        TBytes stream;
        std::vector<std::pair<std::size_t, int>> cleanStarts; // stream offset, first clean frame
        int k = 0;
        for (int stretch = 0; stretch < 30; ++stretch) {
            const int cleanFrames = 6 + static_cast<int>(rng() % 10);
            cleanStarts.emplace_back(stream.size(), k);
            for (int i = 0; i < cleanFrames; ++i, ++k) {
                const TBytes f = Frame(TFrameFormat::DF6, k);
                stream.insert(stream.end(), f.begin(), f.end());
            }
            // Damage one or two frames' worth of the stream.
            TBytes damaged;
            for (int i = 0; i < 1 + static_cast<int>(rng() % 2); ++i, ++k) {
                const TBytes f = Frame(TFrameFormat::DF6, k);
                damaged.insert(damaged.end(), f.begin(), f.end());
            }
            switch (rng() % 4) {
            case 0:
                damaged[rng() % damaged.size()] ^= static_cast<std::uint8_t>(1 << (rng() % 8));
                break;
            case 1:
                damaged.erase(damaged.begin() + static_cast<long>(rng() % damaged.size()));
                break;
            case 2:
                damaged.insert(damaged.begin() + static_cast<long>(rng() % damaged.size()),
                               static_cast<std::uint8_t>(rng()));
                break;
            default:
                for (auto& b : damaged)
                    b = static_cast<std::uint8_t>(rng());
            }
            stream.insert(stream.end(), damaged.begin(), damaged.end());
        }
        TReplay r(stream, 6);
        std::vector<std::uint32_t> times = r.Run();
        for (const TBytes& f : r.delivered)
            ASSERT_TRUE(FrameCheckOK(TFrameFormat::DF6, f)) << "round " << round;
        // Each clean stretch after the first: how many of its frames were missed at its start.
        for (std::size_t s = 1; s < cleanStarts.size(); ++s) {
            const int first = cleanStarts[s].second;
            int missed = 0;
            while (std::find(times.begin(), times.end(), 1000 + 42u * unsigned(first + missed)) ==
                       times.end() &&
                   missed < 6)
                ++missed;
            worstRecovery = std::max(worstRecovery, missed);
        }
    }
    std::cout << "worst recovery: " << worstRecovery << " clean frames\n";
    EXPECT_LE(worstRecovery, 3);
}

// Which frame of Frame(format, k) each delivered frame is; -1 for bytes that were never sent.
std::vector<int> SentIndices(const std::vector<TBytes>& delivered, TFrameFormat format, int count) {
    std::map<TBytes, int> sent;
    for (int k = 0; k < count; ++k)
        sent.emplace(Frame(format, k), k);
    std::vector<int> indices;
    for (const TBytes& f : delivered) {
        const auto it = sent.find(f);
        indices.push_back(it == sent.end() ? -1 : it->second);
    }
    return indices;
}

std::vector<int> Range(int first, int last, std::initializer_list<int> without = {}) {
    std::vector<int> r;
    for (int k = first; k <= last; ++k)
        if (std::find(without.begin(), without.end(), k) == without.end())
            r.push_back(k);
    return r;
}

// Frames lost in two re-synchronisations close together: the frame found between them comes out
// once, and the search after it does not go back into bytes already delivered.
TEST(FrameRing, ResynchronisingTwiceDeliversNoFrameTwice) {
    for (int protocol : {5, 6, 7}) {
        TTestEnv env;
        const TFrameFormat format = FrameFormatOfProtocol(protocol);
        TBytes s;
        for (int k = 0; k < 30; ++k) {
            TBytes f = Frame(format, k);
            if (k == 12 || k == 14)
                f.erase(f.begin() + 20);
            s.insert(s.end(), f.begin(), f.end());
        }
        TReplay r(s, protocol);
        r.Run();
        EXPECT_EQ(SentIndices(r.delivered, format, 30), Range(0, 29, {12, 14})) << protocol;
    }
}

// Damage done to the bytes of one frame on the line.
struct TLineDamage {
    int frame;
    enum { Drop, Flip, Insert, Garbage } kind;
    int offset = 0;        // byte of the frame (from its end when negative)
    std::uint8_t bits = 0; // Flip: the bits flipped; Insert: the byte; Garbage: the byte count
};

// Frames 0..count-1 with the damage done (Garbage goes before the frame), and which frames were
// damaged.
std::pair<TBytes, std::set<int>> DamagedStream(TFrameFormat format, int count,
                                               const std::vector<TLineDamage>& damage) {
    TBytes s;
    std::set<int> damaged;
    std::minstd_rand noise(7);
    for (int k = 0; k < count; ++k) {
        TBytes f = Frame(format, k);
        for (const TLineDamage& d : damage) {
            if (d.frame != k)
                continue;
            damaged.insert(k);
            const auto at =
                f.begin() + (d.offset < 0 ? static_cast<int>(f.size()) + d.offset : d.offset);
            switch (d.kind) {
            case TLineDamage::Drop: f.erase(at); break;
            case TLineDamage::Flip: *at ^= d.bits; break;
            case TLineDamage::Insert: f.insert(at, d.bits); break;
            case TLineDamage::Garbage:
                damaged.erase(k); // the frame itself comes whole after the garbage
                for (int i = 0; i < d.bits; ++i)
                    s.push_back(static_cast<std::uint8_t>(noise()));
                break;
            }
        }
        s.insert(s.end(), f.begin(), f.end());
    }
    return {s, damaged};
}

// Damaged streams in each format: every frame delivered is one the probe sent, whole, none twice
// and in order, and the frames the damage did not touch come through (DF5 may lose one where it
// takes up the sequence again). The counters wrap in the middle of the stream.
TEST(FrameRing, DamagedStreamsOfEachFormatDeliverOnlySentFramesOnce) {
    using D = TLineDamage;
    struct Case {
        const char* what;
        std::vector<TLineDamage> damage;
    };
    const Case cases[] = {
        {"one flipped bit", {{15, D::Flip, 10, 0x01}}},
        {"flips in neighbouring frames", {{15, D::Flip, 10, 0x01}, {16, D::Flip, 3, 0x80}}},
        {"a byte dropped in frames 12 and 14", {{12, D::Drop, 20}, {14, D::Drop, 20}}},
        {"drops in neighbouring frames", {{20, D::Drop, 5}, {21, D::Drop, 30}}},
        {"an inserted byte", {{18, D::Insert, 7, 0x5A}}},
        {"an insert and a drop next to it", {{18, D::Insert, 7, 0x5A}, {19, D::Drop, 2}}},
        {"drop, flip and insert in a row",
         {{25, D::Drop, 0}, {26, D::Flip, 1, 0x10}, {27, D::Insert, -1, 0x00}}},
        {"the boundary between two frames lost", {{33, D::Drop, -1}, {34, D::Drop, 0}}},
        {"97 bytes of noise", {{30, D::Garbage, 0, 97}}},
        {"noise, then a dropped byte", {{30, D::Garbage, 0, 61}, {31, D::Drop, 9}}},
        // Two equal flips leave an 8-bit checksum right: counter, time, channel bytes.
        {"counter flipped, checksum right", {{17, D::Flip, 0, 0x02}, {17, D::Flip, 20, 0x02}}},
        {"time flipped, checksum right", {{17, D::Flip, 3, 0x04}, {17, D::Flip, 25, 0x04}}},
        {"two such frames in a row",
         {{17, D::Flip, 0, 0x01},
          {17, D::Flip, 20, 0x01},
          {18, D::Flip, 4, 0x01},
          {18, D::Flip, 21, 0x01}}},
    };
    constexpr int Count = 60;
    for (int protocol : {5, 6, 7}) {
        const TFrameFormat format = FrameFormatOfProtocol(protocol);
        for (const Case& c : cases) {
            TTestEnv env;
            const auto [bytes, damaged] = DamagedStream(format, Count, c.damage);
            TReplay r(bytes, protocol);
            r.Run();
            const std::vector<int> got = SentIndices(r.delivered, format, Count);
            const std::string what = "DF" + std::to_string(protocol) + ", " + c.what;
            for (std::size_t i = 0; i < got.size(); ++i) {
                EXPECT_NE(got[i], -1) << what << ": a frame that was never sent";
                EXPECT_EQ(damaged.count(got[i]), 0u) << what << ": frame " << got[i] << " damaged";
                if (i > 0) {
                    EXPECT_GT(got[i], got[i - 1]) << what << ": out of order or twice";
                }
            }
            int lost = 0;
            for (int k = 0; k < Count; ++k)
                lost += damaged.count(k) == 0 && std::find(got.begin(), got.end(), k) == got.end();
            EXPECT_LE(lost, protocol == 5 ? 1 : 0) << what;
        }
    }
}

// What a probe may send without any damage: the sequence is taken up again after each event,
// with at most one frame lost there, in each format.
TEST(FrameRing, StreamEventsLoseAtMostOneFrame) {
    struct Case {
        const char* what;
        int skip;                              // bytes missing at the start
        std::function<TFrameHead(int k)> head; // head of frame k
    };
    auto at = [](int counter, std::uint64_t time, bool coarse = false) {
        TFrameHead h;
        h.counter = static_cast<std::uint16_t>(counter);
        h.timeCount = time;
        h.coarseTime = coarse;
        return h;
    };
    const Case cases[] = {
        {"11-bit counter wrap", 0, [&](int k) { return at(2030 + k, 1000 + 42 * k); }},
        {"probe restarted", 0,
         [&](int k) { return k < 20 ? at(50 + k, 90000 + 42 * k) : at(k - 20, 1000 + 42 * k); }},
        {"5 s without frames", 0,
         [&](int k) { return at(k < 20 ? k : k + 119, 1000 + 42 * k + (k < 20 ? 0 : 5000)); }},
        {"a time gap, the counter going on", 0,
         [&](int k) { return at(k, 1000 + 42 * k + (k < 20 ? 0 : 3000)); }},
        {"a frame every 10 s", 0, [&](int k) { return at(k, 1000 + 10000 * k); }},
        {"a frame every 0.5 s in 0.01 s counts", 0,
         [&](int k) { return at(k, 100 + 50 * k, true); }},
        {"starts in the middle of a frame", 17, [&](int k) { return at(k, 1000 + 42 * k); }},
    };
    constexpr int Count = 40;
    for (int protocol : {5, 6, 7}) {
        const TFrameFormat format = FrameFormatOfProtocol(protocol);
        for (const Case& c : cases) {
            TTestEnv env;
            std::map<TBytes, int> sent;
            TBytes s;
            for (int k = 0; k < Count; ++k) {
                TBytes channels(FrameSize, static_cast<std::uint8_t>(k));
                const TBytes f = EncodeFrame(format, c.head(k), channels, FrameSize);
                sent.emplace(f, k);
                s.insert(s.end(), f.begin(), f.end());
            }
            TReplay r(TBytes(s.begin() + c.skip, s.end()), protocol);
            r.Run();
            const std::string what = "DF" + std::to_string(protocol) + ", " + c.what;
            int previous = -1;
            for (const TBytes& f : r.delivered) {
                ASSERT_EQ(sent.count(f), 1u) << what;
                EXPECT_GT(sent[f], previous) << what;
                previous = sent[f];
            }
            EXPECT_GE(r.delivered.size(), Count - (c.skip > 0 ? 2u : 1u)) << what;
        }
    }
}

// A faulty line: before each byte a random byte may be inserted, and the byte may be lost or have
// one bit flipped, each with its own probability.
struct TLineFaults {
    double drop = 0, insert = 0, flip = 0;
};

TBytes Damage(const TBytes& clean, const TLineFaults& faults, std::mt19937& rng) {
    std::uniform_real_distribution<double> chance(0.0, 1.0);
    TBytes out;
    out.reserve(clean.size() + clean.size() / 16);
    for (std::uint8_t b : clean) {
        if (chance(rng) < faults.insert)
            out.push_back(static_cast<std::uint8_t>(rng()));
        if (chance(rng) < faults.drop)
            continue;
        if (chance(rng) < faults.flip)
            b = static_cast<std::uint8_t>(b ^ (1u << (rng() % 8)));
        out.push_back(b);
    }
    return out;
}

struct TDamageCount {
    int delivered = 0;
    int damaged = 0;    // delivered frames that the probe never sent...
    int headIntact = 0; // ...of which only the channel bytes or the check field differ
    int repeated = 0;   // frames delivered more than once
};

// Frames of the simulated probe's cast (its channels, 24 Hz) sent over a faulty line.
TDamageCount ReplayFaultyLine(int protocol, int frames, const TLineFaults& faults,
                              std::uint32_t seed) {
    sim::TSimProbeSettings settings;
    settings.format = protocol;
    const sim::TSimProbe probe(settings, sim::MakeSyntheticProfile());
    const int head = FrameHeadSize(FrameFormatOfProtocol(protocol));
    std::set<TBytes> sent, heads;
    TBytes clean;
    for (int k = 0; k < frames; ++k) {
        const TBytes f = probe.Frame(static_cast<std::uint64_t>(k), k / 24.0, 0);
        sent.insert(f);
        heads.emplace(f.begin(), f.begin() + head);
        clean.insert(clean.end(), f.begin(), f.end());
    }
    std::mt19937 rng(seed);
    TReplay r(Damage(clean, faults, rng), protocol, probe.FrameSize());
    r.Run();
    TDamageCount count;
    std::set<TBytes> seen;
    for (const TBytes& f : r.delivered) {
        ++count.delivered;
        if (sent.count(f) == 0) {
            ++count.damaged;
            count.headIntact += heads.count(TBytes(f.begin(), f.begin() + head)) > 0;
        }
        count.repeated += !seen.insert(f).second;
    }
    return count;
}

// How many damaged frames a faulty line gets through the ring, printed; the bounds are loose (a
// checksum alone lets several times as many through at these rates).
TEST(FrameRing, DamagedFramesLetThroughByAFaultyLine) {
    TTestEnv env;
    struct Case {
        int protocol;
        const char* what;
        TLineFaults faults;
        double boundPercent; // of the frames delivered
    };
    const Case cases[] = {
        {5, "1 % flips", {0, 0, 0.01}, 1.5},
        {5, "0.1 % drops, inserts and flips", {0.001, 0.001, 0.001}, 0.5},
        {5, "1 % drops, inserts and flips", {0.01, 0.01, 0.01}, 4},
        {6, "1 % drops, inserts and flips", {0.01, 0.01, 0.01}, 0.1},
        {7, "1 % drops, inserts and flips", {0.01, 0.01, 0.01}, 0.1},
    };
    for (const Case& c : cases) {
        const TDamageCount n = ReplayFaultyLine(c.protocol, 20000, c.faults, 4242);
        const double percent = 100.0 * n.damaged / std::max(n.delivered, 1);
        std::cout << "DF" << c.protocol << ", " << c.what << ": " << n.delivered
                  << " frames of 20000 delivered, " << n.damaged << " of them damaged (" << percent
                  << " %; " << n.headIntact << " with an intact head), " << n.repeated
                  << " repeated\n";
        EXPECT_GT(n.delivered, 5000) << c.protocol << " " << c.what;
        EXPECT_LE(percent, c.boundPercent) << c.protocol << " " << c.what;
        EXPECT_EQ(n.repeated, 0) << c.protocol << " " << c.what;
    }
}

} // namespace
} // namespace marevo

namespace marevo {
namespace {

// The kernel hands pseudo-terminal bytes over shortly after they are written.
bool WaitForWaiting(IByteSource& source, int count) {
    for (int i = 0; i < 2000 && source.Waiting() < count; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return source.Waiting() >= count;
}

TEST(FrameRing, LivePortIsReadOnlyWhenAWholeFrameIsWaiting) {
    TTestEnv env;
    test::TPty pty;
    TFileCOMM port;
    ASSERT_TRUE(port.Open("CTD", "COM1:115200,n,8,1,n", [&](int) {
        return std::filesystem::path(pty.path);
    })) << port.OpenError();
    TPortByteSource source(port);
    TRawBuffer prb{};
    TRingContext context;
    TCyclicInputBuffer ring(prb, FrameSize, context);

    const TBytes frame = Frame(TFrameFormat::DF6, 0);
    pty.Send(std::string(frame.begin(), frame.begin() + 25));
    ASSERT_TRUE(WaitForWaiting(source, 25));
    EXPECT_FALSE(ring.ReadNewRawSet(source));
    EXPECT_EQ(source.Waiting(), 25); // nothing taken while the frame is incomplete
    pty.Send(std::string(frame.begin() + 25, frame.end()));
    ASSERT_TRUE(WaitForWaiting(source, FrameSize));
    EXPECT_TRUE(ring.ReadNewRawSet(source));
    EXPECT_EQ(TBytes(prb.begin(), prb.begin() + FrameSize), frame);
}

} // namespace
} // namespace marevo
