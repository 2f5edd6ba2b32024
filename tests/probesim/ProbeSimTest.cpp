#include "SimAux.h"
#include "SimDevice.h"
#include "SimProbe.h"
#include "SimProfile.h"

#include "foundation/BottleStatus.h"
#include "foundation/Stream.h"
#include "probelink/ByteSource.h"
#include "probelink/FrameFormat.h"
#include "probelink/InputBuffer.h"
#include "probelink/Nmea.h"
#include "probelink/ParSensor.h"
#include "support/SerialFakes.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace marevo::sim {
namespace {

// Sends a command line to the probe at t ms and returns what it has sent by t + 100 ms.
std::string Exchange(TSimProbe& probe, const std::string& line, std::uint64_t& t) {
    probe.Receive({reinterpret_cast<const std::uint8_t*>(line.data()), line.size()}, t);
    t += 100;
    return probe.TakeOutput(t);
}

std::shared_ptr<const IProfile> Synthetic() { return MakeSyntheticProfile(); }

TEST(SimProbe, AnswersCommandsAndRefusesWhatItDoesNotKnow) {
    TSimProbe probe({}, Synthetic());
    std::uint64_t t = 1000;
    EXPECT_EQ(Exchange(probe, "SN\n", t), "SN KPR-0712345\r\n");
    EXPECT_EQ(Exchange(probe, "DF 7\n", t), "DF 7\r\n");
    EXPECT_EQ(probe.Format(), 7);
    EXPECT_EQ(Exchange(probe, "DF 4\n", t), "ER 003\r\n");
    EXPECT_EQ(Exchange(probe, "SS\n", t), "SS 311 0 1 2 82 83 239 25 12 304\r\n");
    EXPECT_EQ(Exchange(probe, "CA 1\n", t), "CA 1 15-03-2025 2 4 0.0021 0.99987\r\n");
    EXPECT_EQ(Exchange(probe, "CA 77\n", t), "ER 004\r\n");
    EXPECT_EQ(Exchange(probe, "TS 09-03-2026 14:25:01\n", t), "ER 000\r\n");
    EXPECT_EQ(Exchange(probe, "TS yesterday\n", t), "ER 005\r\n");
    EXPECT_EQ(Exchange(probe, "XX\n", t), "ER 001\r\n");
    EXPECT_EQ(Exchange(probe, "\x14", t), "ER 000\r\n");
    EXPECT_EQ(Exchange(probe, "ms\n", t), "MS 65536 600 64936 1 1 0 0 0 0\r\n");
    EXPECT_EQ(Exchange(probe, "CS 1\n", t), "CS 1 600 LINEAR CAST001 0.5 27-02-2026 09:36:00\r\n");
    EXPECT_EQ(Exchange(probe, "CS 2\n", t), "CS 0 0 LINEAR NONE 0 01-01-2000 00:00:00\r\n");
}

TEST(SimProbe, AnswersComeAfterTheirDelay) {
    TSimProbe probe({}, Synthetic());
    probe.Receive({reinterpret_cast<const std::uint8_t*>("RB\n"), 3}, 1000);
    EXPECT_EQ(probe.TakeOutput(1019), "");
    EXPECT_EQ(probe.TakeOutput(1020), "RB 12.40\r\n");
}

TEST(SimProbe, DataFlowFromOLAtTheScanRateUntilControlT) {
    for (int format : {5, 6, 7}) {
        TSimProbeSettings settings;
        settings.format = format;
        settings.channels = ParseChannelList("0,1:3,2");
        TSimProbe probe(settings, Synthetic());
        const std::uint64_t t = 25;
        probe.Receive({reinterpret_cast<const std::uint8_t*>("OL\n"), 3}, 0);
        ASSERT_EQ(probe.TakeOutput(t), "ER 000\r\n");
        const std::string flow = probe.TakeOutput(t + 10'000);
        EXPECT_TRUE(probe.Flowing());
        // 10 s at 24 Hz, every frame whole and accepted by the frame ring of that format.
        ASSERT_EQ(flow.size() % static_cast<std::size_t>(probe.FrameSize()), 0u);
        const auto frames = flow.size() / static_cast<std::size_t>(probe.FrameSize());
        EXPECT_NEAR(static_cast<double>(frames), 240.0, 3.0) << format;
        TMemoryStream stream;
        stream.Write(flow.data(), flow.size());
        stream.Seek(0);
        TStreamByteSource source(stream);
        TRawBuffer buffer{};
        TRingContext context;
        context.Protocol = format;
        TCyclicInputBuffer ring(buffer, probe.FrameSize(), context);
        int accepted = 0;
        while (stream.Position() < stream.Size())
            if (ring.ReadNewRawSet(source)) {
                ++accepted;
                ++context.RawIndex;
            }
        EXPECT_EQ(accepted, static_cast<int>(frames)) << format;
        EXPECT_EQ(ring.FrameErrorNb(), 0) << format;

        // ^T is acknowledged amid the frames; the flow goes on until SO.
        const std::uint8_t attention[] = {0x14, 0x7F};
        probe.Receive(attention, t + 10'000);
        EXPECT_TRUE(probe.Flowing());
        const std::string more = probe.TakeOutput(t + 10'100);
        EXPECT_NE(more.find("ER 000\r\n"), std::string::npos);
        EXPECT_GT(more.size(), 8u);
        probe.Receive({reinterpret_cast<const std::uint8_t*>("SO\n"), 3}, t + 10'100);
        EXPECT_FALSE(probe.Flowing());
        probe.TakeOutput(t + 10'100);
        EXPECT_EQ(probe.TakeOutput(t + 20'000), "");
        // Without ^T a command is not heard during the flow.
        probe.Receive({reinterpret_cast<const std::uint8_t*>("OL\n"), 3}, t + 20'000);
        probe.Receive({reinterpret_cast<const std::uint8_t*>("SO\n"), 3}, t + 20'100);
        EXPECT_TRUE(probe.Flowing());
    }
}

TEST(SimProbe, RosetteBottleMovesThroughTheFrameHeads) {
    TSimProbeSettings settings;
    settings.format = 6;
    TSimProbe probe(settings, Synthetic());
    std::uint64_t t = 0;
    Exchange(probe, "FB 05\n", t); // no answer: the frames tell
    const auto head = [&](std::uint64_t at) {
        const auto frame = probe.Frame(0, 1.0, at);
        return std::pair<int, int>{frame[5] & 0x1F, frame[5] >> 5};
    };
    EXPECT_EQ(head(t), (std::pair<int, int>{5, btl_CmdOK}));
    EXPECT_EQ(head(t + 2000), (std::pair<int, int>{5, btl_Closed}));
    EXPECT_EQ(Exchange(probe, "GO 01\n", t), "ER 000\r\n");
    EXPECT_EQ(head(t), (std::pair<int, int>{5, btl_home}));
    // The probe answers ^T once the rosette is home, and RS then gives the home position.
    probe.Receive({reinterpret_cast<const std::uint8_t*>("\x14"), 1}, t);
    EXPECT_EQ(probe.TakeOutput(t + 1000), "");
    EXPECT_EQ(probe.TakeOutput(t + 3000), "ER 000\r\n");
    t += 3000;
    EXPECT_EQ(Exchange(probe, "RS\n", t), "RS 0 999\r\n");
}

TEST(SimProbe, MemoryCastIsTransmittedFromTheGivenSetAndErased) {
    TSimProbeSettings settings;
    settings.memory = {TSimMemoryCast{.number = 2, .sets = 50}};
    TSimProbe probe(settings, Synthetic());
    std::uint64_t t = 0;
    probe.Receive({reinterpret_cast<const std::uint8_t*>("CD 2 20\n"), 8}, t);
    const std::string data = probe.TakeOutput(t + 1000);
    EXPECT_EQ(data.size(), 30u * static_cast<std::size_t>(probe.FrameSize()));
    EXPECT_EQ(Exchange(probe, "CD 3 0\n", t), "ER 002\r\n");
    probe.Receive({reinterpret_cast<const std::uint8_t*>("DM\n"), 3}, t);
    EXPECT_EQ(probe.TakeOutput(t + 1000), ""); // erasing takes its time
    EXPECT_EQ(probe.TakeOutput(t + 2100), "ER 000\r\n");
    t += 2100;
    EXPECT_EQ(Exchange(probe, "MS\n", t), "MS 65536 0 65536 0 0 0 0 0 0\r\n");
}

TEST(SimProbe, FaultsAreParsedAndApplied) {
    const TSimFaults f = ParseFaults("drop=0.01,flip=0.002,silence=10:3,gap=20:2,bindata,lower");
    EXPECT_EQ(f.dropRate, 0.01);
    EXPECT_EQ(f.silenceAt, 10);
    EXPECT_EQ(f.gapFor, 2);
    EXPECT_TRUE(f.binaryInAnswers);
    EXPECT_THROW(ParseFaults("melt=1"), std::invalid_argument);
    EXPECT_THROW(ParseFaults("gap=20"), std::invalid_argument);
    const TSimFaults gone = ParseFaults("vanish=20"), back = ParseFaults("vanish=20:4");
    EXPECT_EQ(gone.vanishAt, 20);
    EXPECT_LT(gone.vanishFor, 0) << "gone for good";
    EXPECT_EQ(back.vanishAt, 20);
    EXPECT_EQ(back.vanishFor, 4);

    TSimProbeSettings settings;
    settings.faults.lowerCase = true;
    settings.faults.binaryInAnswers = true;
    TSimProbe probe(settings, Synthetic());
    std::uint64_t t = 0;
    EXPECT_EQ(Exchange(probe, "RB\n", t), std::string("\x81\xfe\x02\x00", 4) + "rb 12.40\r\n");

    settings.faults = ParseFaults("silence=0:5");
    TSimProbe silent(settings, Synthetic());
    t = 0;
    EXPECT_EQ(Exchange(silent, "SN\n", t), "");
    t = 6000;
    EXPECT_EQ(Exchange(silent, "SN\n", t), "SN KPR-0712345\r\n");

    settings.faults = ParseFaults("drop=0.05,seed=7");
    TSimProbe lossy(settings, Synthetic());
    t = 0;
    Exchange(lossy, "OL\n", t);
    const std::string flow = lossy.TakeOutput(10'000);
    EXPECT_LT(flow.size(), lossy.FramesSent() * static_cast<std::uint64_t>(lossy.FrameSize()));
}

TEST(SimProbe, ChannelListsAreCheckedAndBuildTheFrame) {
    const auto channels = ParseChannelList("0, 1:3,2");
    ASSERT_EQ(channels.size(), 3u);
    EXPECT_EQ(channels[1].length, 3);
    EXPECT_THROW(ParseChannelList("0,9999"), std::invalid_argument);
    EXPECT_THROW(ParseChannelList(""), std::invalid_argument);
    EXPECT_THROW(ParseChannelList("0:2"), std::invalid_argument);
    TSimProbeSettings settings;
    settings.channels = channels;
    settings.format = 5;
    TSimProbe probe(settings, Synthetic());
    EXPECT_EQ(probe.FrameSize(), 6 + 4 + 3 + 4 + 1);
}

TEST(SimProfile, SyntheticCastGoesDownAndComesBack) {
    TSyntheticCast cast;
    cast.heaveAmplitude = 0;
    const auto profile = MakeSyntheticProfile(cast);
    EXPECT_DOUBLE_EQ(profile->At(0).pressure, cast.soakPressure);
    const double bottomAt = cast.soakSeconds + (cast.bottomPressure - cast.soakPressure);
    EXPECT_DOUBLE_EQ(profile->At(bottomAt + 1).pressure, cast.bottomPressure);
    EXPECT_DOUBLE_EQ(profile->At(bottomAt + cast.bottomSeconds + 100).pressure,
                     cast.bottomPressure - 100);
    const TWater surface = profile->At(0), deep = profile->At(bottomAt);
    EXPECT_GT(surface.temperature, deep.temperature);
    EXPECT_GT(surface.conductivity, deep.conductivity);
    EXPECT_NEAR(deep.altimeter, cast.seaBed - cast.bottomPressure, 1e-9);
}

TEST(SimProfile, RecordedCastIsPlayedAtTheScanRate) {
    const std::filesystem::path file =
        std::filesystem::path(MAREVO_SOURCE_DIR) / "data/real-casts" /
        "south-atlantic-2011-24hz.cnv.bz2";
    if (!std::filesystem::exists(file))
        GTEST_SKIP() << "no recorded cast at " << file;
    const auto profile = LoadCnvProfile(file, 24.0);
    // The cast's first scans are at the surface; it reaches about 1036 dbar.
    double deepest = 0;
    for (double t = 0; t < 71325 / 24.0; t += 1.0)
        deepest = std::max(deepest, profile->At(t).pressure);
    EXPECT_NEAR(deepest, 1035.9, 1.0);
    EXPECT_GT(profile->At(1200).conductivity, 30.0); // mS/cm, not S/m
}

TEST(SimAux, GpsSentencesReadBackAsTheTrack) {
    test::TTestEnv env;
    TSimGps gps;
    const std::string sentences = gps.Sentences(3600, test::SampleTime());
    TNmeaReader reader;
    reader.Feed({reinterpret_cast<const std::uint8_t*>(sentences.data()), sentences.size()});
    double lat = 0, lon = 0;
    gps.PositionAt(3600, lat, lon);
    for (int i = 0; i < 2; ++i) {
        const TNmeaFix fix = reader.ReadSentence("$GP");
        ASSERT_EQ(fix.result, TNmeaResult::Fix) << i;
        EXPECT_NEAR(fix.latitude, lat, 1e-5);
        EXPECT_NEAR(fix.longitude, lon, 1e-5);
    }
    EXPECT_EQ(NmeaSentence("GPGLL,A"), "$GPGLL,A*3D\r\n");
}

TEST(SimAux, ParReplyReadsBackAsItsVolts) {
    TSimPar par;
    for (double volts : {0.0, 0.4, 1.234567, 4.9}) {
        const std::string bytes = par.Reply("*Q0!", volts) + par.Reply("*2D!", volts);
        test::TScriptedPort source(bytes);
        const auto read = ReadParReply(source);
        ASSERT_TRUE(read) << volts;
        EXPECT_NEAR(*read, volts, 2e-6) << volts;
    }
    EXPECT_EQ(par.Reply("*XX!", 1.0), "");
}

} // namespace
} // namespace marevo::sim
