#include "probelink/RawStream.h"

#include "probelink/FrameFormat.h"
#include "probelink/ParSensor.h"
#include "support/AppEnv.h"
#include "support/Pty.h"
#include "support/SerialFakes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <thread>

namespace marevo {
namespace {

using test::ParReply;
using test::TAppEnv;
using test::TFakeSerialDevice;
using TBytes = std::vector<std::uint8_t>;

constexpr int FrameSize = 40;

TBytes Frame(int k) {
    TFrameHead head;
    head.counter = static_cast<std::uint16_t>(k);
    head.timeCount = 1000 + 42ull * static_cast<unsigned>(k);
    TBytes channels(FrameSize);
    for (std::size_t i = 0; i < channels.size(); ++i)
        channels[i] = static_cast<std::uint8_t>(k * 7 + static_cast<int>(i));
    return EncodeFrame(TFrameFormat::DF6, head, channels, FrameSize);
}

std::string Text(const TBytes& bytes) {
    return {bytes.begin(), bytes.end()};
}

// A whole NMEA sentence with its checksum and CR LF.
std::string Sentence(const std::string& body) {
    std::uint8_t sum = 0;
    for (char c : body)
        sum ^= static_cast<std::uint8_t>(c);
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X\r\n", sum);
    return "$" + body + tail;
}

std::string Gga(const std::string& lat, const std::string& lon, char quality = '1') {
    return Sentence("GPGGA,123519," + lat + ",N," + lon + ",E," + quality +
                    ",08,0.9,545.4,M,46.9,M,,");
}

float FloatAt(const TRawBuffer& b, int offset) {
    float v;
    std::memcpy(&v, b.data() + offset, sizeof v);
    return v;
}

// A probe of 40-byte DF6 frames; GPS (800, 801, 808) and, when asked, external values appended.
struct TRig {
    explicit TRig(std::vector<std::int32_t> extList = {}) {
        TFrameInfo& info = env.probe.FrameInfo;
        info.RawSize = FrameSize;
        info.RawCount = 3;
        info.ExtCount = info.RawCount + 3 + static_cast<int>(extList.size());
        info.UseNmea = info.UseExtPara = true;
        info.UseExternal = std::find(extList.begin(), extList.end(), 807) != extList.end();
        env.probe.ProbeInfo.Protocol = 6;
        env.config.DataValidation.minTimeInterval = 0.005f;
        env.config.DataValidation.maxTimeInterval = 0.75f;
        env.config.DataValidation.datasetCount = 10;
        TEnviron& e = env.environ;
        e.NMEAParaList.count = 3;
        e.NMEAParaList.List[0] = 800;
        e.NMEAParaList.List[1] = 801;
        e.NMEAParaList.List[2] = 808;
        e.ExtParaList.count = static_cast<std::int32_t>(extList.size());
        std::copy(extList.begin(), extList.end(), e.ExtParaList.List);
        e.NMEAPrefix.Set("$GP");
        e.RefreshRate[2] = 10.0;
        e.ExtParOffsetV = TExtended(0.1);
        e.ExtParScale = TExtended(2.0);
        e.ExtParMultiplier = TExtended(1000.0);
    }

    // A live source over fake lines.
    std::unique_ptr<TRawStream> Open() {
        TRawStream::TPorts ports;
        ports.probe = Port(probe);
        ports.nmea = Port(gps);
        ports.ext = Port(ext);
        bool isOpen = false;
        auto source = TRawStream::CreateOnPorts(std::move(ports), isOpen, env.dir / "C001.raw");
        EXPECT_TRUE(isOpen);
        return source;
    }
    static std::unique_ptr<TFileCOMM> Port(TFakeSerialDevice*& line) {
        line = new TFakeSerialDevice;
        line->open = true;
        return std::make_unique<TFileCOMM>(std::unique_ptr<ISerialDevice>(line));
    }

    TAppEnv env;
    TFakeSerialDevice* probe = nullptr;
    TFakeSerialDevice* gps = nullptr;
    TFakeSerialDevice* ext = nullptr;
};

template <class Condition> bool PollFor(Condition condition) {
    for (int i = 0; i < 2000; ++i) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

// Frame and appended bytes as the pipeline sees them.
TBytes Delivered(const TRawStream& source) {
    const TRawBuffer& b = source.RawBuffer();
    return TBytes(b.begin(), b.begin() + FrameSize + 12);
}

TEST(RawStream, LiveFramesCarryThePositionReceivedAfterThePreviousFrameAndReplayTheSame) {
    TRig rig;
    test::TPty probePty, gpsPty;
    TEnviron& e = rig.env.environ;
    const std::filesystem::path cfg = rig.env.dir / "cfg/";
    std::filesystem::create_directories(cfg);
    e.Dir[FileTypeConfig].Set(cfg.string());
    std::ofstream(cfg / "Ports.map")
        << "COM7=" << probePty.path << "\nCOM8=" << gpsPty.path << "\n";
    e.ProbeCommPort.CommCfgStr.Set("COM7:9600,n,8,1,n");
    e.NMEACommPort.CommCfgStr.Set("COM8:4800,n,8,1,n");

    const std::filesystem::path raw = rig.env.dir / "C001.raw";
    const std::vector<std::string> fixes = {Gga("4530.0000", "00830.0000"),
                                            Gga("4531.2000", "00831.8000")};
    std::vector<TBytes> live;
    {
        bool isOpen = false;
        auto source = TRawStream::CreateEx(true, isOpen, raw);
        ASSERT_TRUE(isOpen);
        ASSERT_TRUE(source->NMEACommOk());
        for (int k = 0; k < 3; ++k) {
            if (k < 2) {
                gpsPty.Send(fixes[k]);
                ASSERT_TRUE(PollFor(
                    [&] { return source->NMEACommStream()->size() >= int(fixes[k].size()); }));
            }
            probePty.Send(Text(Frame(k)));
            ASSERT_TRUE(PollFor([&] { return source->GetNewFrame(); })) << "frame " << k;
            ++rig.env.probe.Acqui.RawIndex;
            live.push_back(Delivered(*source));
        }
        EXPECT_TRUE(source->SaveToRawFiles(true));
    }
    const auto appended = [&](int k, int i) {
        TRawBuffer b{};
        std::copy(live[k].begin(), live[k].end(), b.begin());
        return FloatAt(b, FrameSize + 4 * i);
    };
    EXPECT_EQ(appended(0, 0), 0.0f);
    EXPECT_EQ(appended(0, 2), 0.0f);
    EXPECT_FLOAT_EQ(appended(1, 0), 45.5f);
    EXPECT_FLOAT_EQ(appended(1, 1), 8.5f);
    EXPECT_EQ(appended(1, 2), 1.0f);
    EXPECT_FLOAT_EQ(appended(2, 0), 45.52f);
    EXPECT_FLOAT_EQ(appended(2, 1), 8.53f);
    for (int k = 0; k < 3; ++k)
        EXPECT_TRUE(std::equal(live[k].begin(), live[k].begin() + FrameSize, Frame(k).begin()));

    EXPECT_EQ(test::ReadFileBytes(raw), Text(Frame(0)) + Text(Frame(1)) + Text(Frame(2)));
    EXPECT_EQ(test::ReadFileBytes(rig.env.dir / "C001.ext").size(), 3u * 16u);

    rig.env.probe.Acqui.RawIndex = 0;
    auto replay = TRawStream::Create();
    ASSERT_TRUE(replay->OpenFile(raw));
    std::vector<TBytes> again;
    for (int calls = 0; !replay->EndOfStream() && calls < 10; ++calls) {
        if (replay->GetNewFrame()) {
            ++rig.env.probe.Acqui.RawIndex;
            again.push_back(Delivered(*replay));
        }
    }
    EXPECT_TRUE(replay->EndOfStream());
    EXPECT_EQ(again, live);
}

enum class TLink { CTD, GPS, PAR };

struct TLinkCase {
    TLink link;
    int firstOffMs;      // fake time at which the link is first reported lost
    const char* message; // status message shown when it is lost ("" for none)
};

class RawStreamLink : public ::testing::TestWithParam<TLinkCase> {};

// Steps of 100 ms with every input alive except the one under test; the PAR link is only checked
// on the steps that read a reply, so it is seen lost one step later.
TEST_P(RawStreamLink, SilenceForFiveSecondsTurnsTheLinkOffAndDataTurnsItBackOn) {
    const TLinkCase c = GetParam();
    TRig rig({807});
    auto source = rig.Open();
    const auto linkOff = [&] {
        switch (c.link) {
        case TLink::CTD: return source->CTDLinkOff();
        case TLink::GPS: return source->NMEALinkOff();
        case TLink::PAR: return source->PARLinkOff();
        }
        return false;
    };
    int k = 0;
    int offAt = -1;
    for (int t = 100; t <= 6000 && offAt < 0; t += 100) {
        rig.env.clock.AdvanceMs(100);
        if (c.link != TLink::CTD)
            rig.probe->received += Text(Frame(k++));
        source->GetNewFrame();
        if (linkOff())
            offAt = t;
    }
    EXPECT_EQ(offAt, c.firstOffMs);
    if (*c.message) {
        const auto messages = rig.env.LogMessages();
        EXPECT_EQ(std::count(messages.begin(), messages.end(), c.message), 1);
    }

    // Data returns: at the next step that reads the input.
    for (int step = 0; step < 3 && linkOff(); ++step) {
        rig.env.clock.AdvanceMs(100);
        rig.probe->received += Text(Frame(k++));
        if (c.link == TLink::GPS)
            rig.gps->received += Gga("4530.0000", "00830.0000");
        if (c.link == TLink::PAR)
            rig.ext->received += ParReply(0x123456) + ParReply(0x123456) + ParReply(0x123456);
        source->GetNewFrame();
    }
    EXPECT_FALSE(linkOff());
}

INSTANTIATE_TEST_SUITE_P(
    Links, RawStreamLink,
    ::testing::Values(TLinkCase{TLink::CTD, 5000, ""},
                      TLinkCase{TLink::GPS, 5000,
                                "TimeOut GPS Communication or GPGGA Sentence not found"},
                      TLinkCase{TLink::PAR, 5100, "TimeOut PAR Communication"}),
    [](const ::testing::TestParamInfo<TLinkCase>& info) {
        return std::string(info.param.link == TLink::CTD   ? "CTD"
                           : info.param.link == TLink::GPS ? "GPS"
                                                           : "PAR");
    });

// A probe adapter pulled out mid-cast: the loss is logged once, the device is opened again by its
// name every 2 s (quietly while it stays away), and frames flow again once it is back.
TEST(RawStream, AVanishedProbeDeviceIsOpenedAgainEveryTwoSecondsUntilItIsBack) {
    TRig rig;
    auto* line = new TFakeSerialDevice;
    auto port = std::make_unique<TFileCOMM>(std::unique_ptr<ISerialDevice>(line));
    ASSERT_TRUE(port->Open("CTD", "COM1:9600,n,8,1,n",
                           [](int) { return std::filesystem::path("/dev/ttyUSB7"); }));
    TRawStream::TPorts ports;
    ports.probe = std::move(port);
    ports.nmea = TRig::Port(rig.gps);
    ports.ext = TRig::Port(rig.ext);
    bool isOpen = false;
    auto source = TRawStream::CreateOnPorts(std::move(ports), isOpen, rig.env.dir / "C001.raw");
    ASSERT_TRUE(isOpen);
    line->received = Text(Frame(0));
    ASSERT_TRUE(source->GetNewFrame());

    line->errors = le_HangUp;
    line->openSucceeds = false;
    std::vector<int> reopenedAt;
    for (int t = 100, opens = line->opens; t <= 5000; t += 100, opens = line->opens) {
        rig.env.clock.AdvanceMs(100);
        EXPECT_FALSE(source->GetNewFrame());
        if (line->opens != opens)
            reopenedAt.push_back(t);
    }
    // The hang-up is read at 100 ms and acted upon in the next pass.
    EXPECT_EQ(reopenedAt, (std::vector<int>{2200, 4200}));
    EXPECT_TRUE(source->ProbeDeviceLost());
    const auto count = [&](std::string_view start) {
        const auto m = rig.env.LogMessages();
        return std::count_if(m.begin(), m.end(), [&](const std::string& s) {
            return s.starts_with(start);
        });
    };
    EXPECT_EQ(count("Probe link lost: /dev/ttyUSB7"), 1);

    // Plugged in again: opened by the same name at the next attempt, and the cast goes on.
    line->errors = 0;
    line->openSucceeds = true;
    line->received = Text(Frame(1));
    bool frame = false;
    for (int t = 5100; t <= 6500 && !frame; t += 100) {
        rig.env.clock.AdvanceMs(100);
        frame = source->GetNewFrame();
    }
    EXPECT_TRUE(frame);
    EXPECT_FALSE(source->ProbeDeviceLost());
    EXPECT_EQ(line->openedPath, std::filesystem::path("/dev/ttyUSB7"));
    EXPECT_EQ(count("Probe link lost"), 1);
    EXPECT_EQ(count("Probe link back: /dev/ttyUSB7"), 1);
}

TEST(RawStream, ParExchangeSendsItsRequestsOnTheClockAndStoresTheReplyAtItsIndex) {
    TRig rig({809, 807}); // 807 second in the list, after the three GPS values: float 5
    auto source = rig.Open();
    ASSERT_EQ(source->ExtFrameSize(), 4 * (3 + 2 + 1));
    const auto step = [&](std::uint64_t ms, int k) {
        rig.env.clock.AdvanceMs(ms);
        rig.probe->received += Text(Frame(k));
        EXPECT_TRUE(source->GetNewFrame());
    };
    step(100, 0); // within 0.2 s of the cycle start: a read attempt, nothing waiting
    EXPECT_EQ(rig.ext->sent, "");
    step(150, 1); // 0.25 s: the second request, then a read attempt
    EXPECT_EQ(rig.ext->sent, "*2D!\r\n");
    step(100, 2); // 0.35 s: second request already sent, nothing more
    EXPECT_EQ(rig.ext->sent, "*2D!\r\n");
    step(100, 3); // 0.45 s: a new cycle
    EXPECT_EQ(rig.ext->sent, "*2D!\r\n*Q0!\r\n");

    const std::uint32_t raw = 0x4A5B6C;
    rig.ext->received = "xx" + ParReply(raw) + ParReply(raw) + ParReply(raw);
    step(100, 4); // read: good reply, answered by a new query
    EXPECT_EQ(rig.ext->sent, "*2D!\r\n*Q0!\r\n*Q0!\r\n");
    step(10, 5); // the value rides on the next frame
    const double volts = raw / 3355443.0;
    EXPECT_NEAR(FloatAt(source->RawBuffer(), FrameSize + 4 * 4), (volts - 0.1) / 2.0 * 1000.0,
                1e-2);
    EXPECT_FALSE(source->PARLinkOff());
}

struct TGpsCase {
    std::string sentence;
    const char* message;
    bool moves;
};

class RawStreamGps : public ::testing::TestWithParam<TGpsCase> {};

TEST_P(RawStreamGps, OnlyAGoodFixMovesTheRecordedPosition) {
    const TGpsCase c = GetParam();
    TRig rig;
    auto source = rig.Open();
    rig.gps->received = Gga("4530.0000", "00830.0000");
    rig.probe->received = Text(Frame(0)) + Text(Frame(1)) + Text(Frame(2));
    ASSERT_TRUE(source->GetNewFrame());
    rig.gps->received = c.sentence;
    ASSERT_TRUE(source->GetNewFrame());
    ASSERT_TRUE(source->GetNewFrame());
    EXPECT_FLOAT_EQ(FloatAt(source->RawBuffer(), FrameSize), c.moves ? 45.52f : 45.5f);
    if (*c.message) {
        EXPECT_TRUE(rig.env.Logged(c.message));
    }
    const auto messages = rig.env.LogMessages();
    EXPECT_EQ(std::count_if(messages.begin(), messages.end(),
                            [](const std::string& m) { return m.find("GPS") != m.npos; }),
              *c.message ? 1 : 0);
}

std::string GpsCaseName(const ::testing::TestParamInfo<TGpsCase>& info) {
    static const char* const names[] = {"GoodGGA", "GGAQualityZero", "GLLStatusV", "RMC"};
    return names[info.index];
}

INSTANTIATE_TEST_SUITE_P(
    Sentences, RawStreamGps,
    ::testing::Values(
        TGpsCase{Gga("4531.2000", "00830.0000"), "", true},
        TGpsCase{Gga("4531.2000", "00830.0000", '0'), "GPS GGA BAD QUALITY STATUS/COVERAGE", false},
        TGpsCase{Sentence("GPGLL,4531.2000,N,00830.0000,E,123519,V,A"),
                 "GPS GLL BAD QUALITY STATUS/COVERAGE", false},
        TGpsCase{Sentence("GPRMC,123519,A,4531.2000,N,00830.0000,E,022.4,084.4,230394,,"), "",
                 false}),
    GpsCaseName);

TEST(RawStream, NoDataForLongerThanTheSavePeriodPurgesTheAuxiliaryQueues) {
    for (const auto& [silenceMs, purged] : {std::pair{9900, false}, std::pair{10100, true}}) {
        TRig rig({807});
        auto source = rig.Open();
        rig.probe->received = Text(Frame(0));
        ASSERT_TRUE(source->GetNewFrame());
        EXPECT_FALSE(source->NoData());
        rig.gps->received = Gga("4530.0000", "00830.0000");
        rig.ext->received = ParReply(1);
        rig.env.clock.AdvanceMs(static_cast<std::uint64_t>(silenceMs));
        EXPECT_FALSE(source->GetNewFrame());
        EXPECT_EQ(source->NoData(), purged) << silenceMs;
        EXPECT_EQ(rig.gps->received.empty(), purged) << silenceMs;
        EXPECT_EQ(rig.ext->received.empty(), purged) << silenceMs;
    }
}

TEST(RawStream, RawFileShorterThanOneFrameEndsAtOnce) {
    for (const std::size_t size : {std::size_t(0), std::size_t(FrameSize - 1)}) {
        TAppEnv env;
        env.probe.FrameInfo.RawSize = FrameSize;
        env.probe.ProbeInfo.Protocol = 6;
        const auto raw = env.dir / "C002.raw";
        std::ofstream(raw, std::ios::binary) << Text(Frame(0)).substr(0, size);
        auto source = TRawStream::Create();
        EXPECT_TRUE(source->EndOfStream());
        EXPECT_FALSE(source->OpenFile(raw)); // no appended values: no .ext
        EXPECT_FALSE(source->GetNewFrame());
        EXPECT_TRUE(source->EndOfStream()) << size;
    }
}

TEST(RawStream, MissingFilesAreLoggedAndLeaveTheSourceEnded) {
    TRig rig;
    const auto raw = rig.env.dir / "C003.raw";
    auto source = TRawStream::Create();
    EXPECT_FALSE(source->OpenFile(raw));
    EXPECT_TRUE(source->EndOfStream());
    EXPECT_FALSE(source->GetNewFrame());
    // A .raw whose .ext companion is missing cannot give its appended values.
    std::ofstream(raw, std::ios::binary) << Text(Frame(0));
    EXPECT_FALSE(source->OpenFile(raw));
    EXPECT_TRUE(source->EndOfStream());
    const auto messages = rig.env.LogMessages();
    EXPECT_EQ(std::count_if(messages.begin(), messages.end(),
                            [](const std::string& m) {
                                return m.rfind("Error in rawStream.OpenFile", 0) == 0;
                            }),
              2);
}

TEST(RawStream, ProbePortThatDoesNotOpenCreatesNoFiles) {
    TRig rig;
    rig.env.environ.ProbeCommPort.CommCfgStr.Set("NONE");
    bool isOpen = true;
    auto source = TRawStream::CreateEx(true, isOpen, rig.env.dir / "C004.raw");
    EXPECT_FALSE(isOpen);
    EXPECT_FALSE(std::filesystem::exists(rig.env.dir / "C004.raw"));
    EXPECT_FALSE(std::filesystem::exists(rig.env.dir / "C004.ext"));
    EXPECT_FALSE(source->GetNewFrame());
}

} // namespace
} // namespace marevo
