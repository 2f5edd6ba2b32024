#include "probelink/QvlUtil.h"

#include "SimDevice.h"
#include "SimProbe.h"
#include "foundation/DateTime.h"
#include "foundation/Runtime.h"
#include "parameters/ParaCatalogue.h"
#include "probelink/ByteSource.h"
#include "probelink/InputBuffer.h"
#include "records/CastInfo.h"
#include "support/AppEnv.h"
#include "support/Pty.h"
#include "support/TestEnv.h"

#include <fmt/core.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <deque>
#include <functional>
#include <thread>

namespace marevo {
namespace {

using test::TAppEnv;
using test::TTestEnv;

} // namespace

void PrintTo(TCmdError error, std::ostream* os) {
    *os << CmdErrorText(error);
}

namespace {

// A probe played by the test: every command line and control sequence written to the port is
// recorded, and the script's answer arrives a few milliseconds (of the fake clock) later.
class TScriptedProbe final : public ISerialDevice {
public:
    // Answer to a command line (without its LF); "" = no answer.
    std::function<std::string(const std::string& line)> onLine = [](const std::string&) {
        return std::string("ER 000\r\n");
    };
    // Answer to ^T alone / ^T DEL.
    std::function<std::string(bool withDel)> onCtrlT = [](bool) {
        return std::string("ER 000\r\n");
    };
    // While set, every status reading finds this much more of a data frame waiting.
    std::string flowChunk;
    std::vector<std::string> events; // "^T", "^T DEL", "DEL", or the command line

    bool Open(const std::filesystem::path&, const TSerialSettings&) override { return true; }
    bool IsOpen() const override { return true; }
    bool Status(TSerialStatus& status) override {
        Pull();
        status = {0, waiting_.size()};
        return true;
    }
    std::ptrdiff_t Read(void* buffer, std::size_t count) override {
        Pull();
        const std::size_t n = std::min(count, waiting_.size());
        std::memcpy(buffer, waiting_.data(), n);
        waiting_.erase(0, n);
        return static_cast<std::ptrdiff_t>(n);
    }
    std::ptrdiff_t Write(const void* data, std::size_t count) override {
        const std::string bytes(static_cast<const char*>(data), count);
        if (bytes == "\x14" || bytes == "\x14\x7f") {
            events.push_back(bytes.size() == 1 ? "^T" : "^T DEL");
            Later(onCtrlT(bytes.size() == 2));
        } else if (bytes == "\x7f") {
            events.push_back("DEL");
        } else {
            line_ += bytes;
            for (std::size_t lf; (lf = line_.find('\n')) != std::string::npos;) {
                const std::string line = line_.substr(0, lf);
                line_.erase(0, lf + 1);
                events.push_back(line);
                Later(onLine(line));
            }
        }
        return static_cast<std::ptrdiff_t>(count);
    }
    bool PurgeReceive() override {
        Pull();
        waiting_.clear();
        return true;
    }
    bool CtsHolding() override { return false; }
    void Close() override {}
    std::string LastError() const override { return {}; }

    int Count(const std::string& event) const {
        return static_cast<int>(std::count(events.begin(), events.end(), event));
    }

private:
    void Later(std::string bytes) {
        if (!bytes.empty())
            due_.push_back({Clock().TickMs() + 5, std::move(bytes)});
    }
    void Pull() {
        while (!due_.empty() && due_.front().first <= Clock().TickMs()) {
            waiting_ += due_.front().second;
            due_.pop_front();
        }
        waiting_ += flowChunk;
    }

    std::string line_;
    std::string waiting_;
    std::deque<std::pair<std::uint64_t, std::string>> due_;
};

struct TProtocolTest : ::testing::Test {
    TProtocolTest() {
        auto device = std::make_unique<TScriptedProbe>();
        probe = device.get();
        port = std::make_unique<TFileCOMM>(std::move(device));
        cast.Acqui.ProbeOnLine = true;
    }
    bool Send(TCmdId cmd, std::string_view param = {}) {
        return qvl.SendProbeCommand(cmd, *port, param);
    }

    TAppEnv env;
    TParamCollection& cast = env.cast;
    TScriptedProbe* probe = nullptr;
    std::unique_ptr<TFileCOMM> port;
    TQvlUtil qvl{&env.cast};
};

TEST_F(TProtocolTest, AnErrorAnswerTwiceFailsTheCommandWithTheProbesNumber) {
    probe->onLine = [](const std::string&) { return std::string("ER 012\r\n"); };
    EXPECT_FALSE(Send(cm_SN));
    EXPECT_EQ(qvl.GetError(), cer_ErCode);
    EXPECT_EQ(qvl.Qvl_Error, 12);
    EXPECT_EQ(probe->Count("SN"), 2);
    EXPECT_EQ(env.op.Status(), "Send Probe cmd Error Probe Error code");
}

TEST_F(TProtocolTest, AFailedFirstAttemptIsRetriedOnce) {
    int calls = 0;
    probe->onLine = [&](const std::string&) {
        return std::string(++calls == 1 ? "SN garbled\r\n" : "SN KPR-0712345\r\n");
    };
    EXPECT_TRUE(Send(cm_SN));
    EXPECT_EQ(qvl.GetError(), cer_OK);
    EXPECT_EQ(qvl.GetSnStr(), "KPR-0712345");
    EXPECT_EQ(cast.ProbeInfo.UnitSN.Get(), "KPR-0712345");
    EXPECT_EQ(cast.ProbeInfo.UnitType.Get(), "KPR");
}

TEST_F(TProtocolTest, LowerCaseAnswersReadAsUpperCase) {
    probe->onLine = [](const std::string&) { return std::string("sn kpr-0712345\r\n"); };
    EXPECT_TRUE(Send(cm_SN));
    EXPECT_EQ(qvl.GetSnStr(), "KPR-0712345");
    probe->onLine = [](const std::string&) { return std::string("er 000\r\n"); };
    EXPECT_TRUE(Send(cm_LP));
}

TEST_F(TProtocolTest, AnswerLengthLimit) {
    struct TCase {
        std::string answer;
        TCmdError error;
    } cases[] = {
        {std::string(199, 'A') + "\r\n", cer_format},  // read whole, then not a serial number
        {std::string(200, 'A') + "\r\n", cer_ResOver}, // refused while reading
        {std::string(300, 'A'), cer_ResOver},          // no LF at all
        {"\r\n\r\n", cer_ResEmpty}, // an empty line, and the second read's empty line too
    };
    for (const TCase& c : cases) {
        probe->onLine = [&](const std::string&) { return c.answer; };
        EXPECT_FALSE(Send(cm_SN)) << c.answer.size();
        EXPECT_EQ(qvl.GetError(), c.error) << c.answer.size();
    }
}

TEST_F(TProtocolTest, BinaryBytesInAnAnswerAreRefused) {
    probe->onLine = [](const std::string&) { return std::string("SN KPR-07\x81\x02\r\n", 13); };
    EXPECT_FALSE(Send(cm_SN));
    EXPECT_EQ(qvl.GetError(), cer_BinData);
}

TEST_F(TProtocolTest, TimeOutsOfASilentOrStalledProbe) {
    probe->onLine = [](const std::string&) { return std::string(); };
    EXPECT_FALSE(Send(cm_SN));
    EXPECT_EQ(qvl.GetError(), cer_FTimeOut); // not one byte within the first-byte time-out

    // Bytes that stop coming before the line ends: the window is over and the inter-byte delay
    // has passed.
    qvl.CommDelay[0] = 10.0;
    probe->events.clear();
    probe->onLine = [](const std::string&) { return std::string("SN KPR-07"); };
    const std::uint64_t start = Clock().TickMs();
    EXPECT_FALSE(Send(cm_SN));
    EXPECT_EQ(qvl.GetError(), cer_TimeOut);
    // Two attempts, each read twice on line, each ended after the 3 s window.
    EXPECT_GE(Clock().TickMs() - start, 4 * 3000u);
    EXPECT_EQ(probe->Count("SN"), 2);
}

TEST_F(TProtocolTest, DelaysThatAreNoNumbersKeepTheirDefaults) {
    double delays[10] = {1, std::nan(""), -2, 4, 0.25, 30, 0, 0, 0, 0};
    qvl.SetDelay(delays);
    EXPECT_EQ(qvl.Delays(), (TDelay{1, 0.5, 0.2, 4, 0.25, 30, 0, 0, 0, 0}));
    // A silent probe still ends in its time-out.
    probe->onLine = [](const std::string&) { return std::string(); };
    env.environ.CommDelay[6] = std::nan("");
    EXPECT_FALSE(Send(cm_SN));
    EXPECT_EQ(qvl.GetError(), cer_FTimeOut);
}

TEST_F(TProtocolTest, OffLineNothingIsTransmitted) {
    cast.Acqui.ProbeOnLine = false;
    EXPECT_TRUE(qvl.SendCmdprim(cm_SN, *port, ""));
    EXPECT_TRUE(probe->events.empty());
    EXPECT_EQ(qvl.CmdStr, "SN");
}

TEST_F(TProtocolTest, DataFormatSevenOnlyWhenEnabled) {
    probe->onLine = [](const std::string& line) {
        return line == "DF 6" ? std::string("DF 6\r\n") : std::string("ER 003\r\n");
    };
    env.environ.DF7Enabling = 0;
    EXPECT_EQ(qvl.GetDFProtocol(*port), 6);
    EXPECT_EQ(probe->Count("DF 7"), 0);
    EXPECT_EQ(probe->Count("DF 6"), 1);

    env.environ.DF7Enabling = 1;
    probe->events.clear();
    EXPECT_EQ(qvl.GetDFProtocol(*port), 6);
    EXPECT_EQ(probe->Count("DF 7"), 2); // refused twice, then DF 6
    EXPECT_EQ(qvl.GetDFNb(), 6);

    probe->onLine = [](const std::string&) { return std::string("ER 003\r\n"); };
    EXPECT_EQ(qvl.GetDFProtocol(*port), 0);
    EXPECT_EQ(qvl.GetError(), cer_Proto);
}

TEST_F(TProtocolTest, AttentionStopsAProbeThatIsSendingFrames) {
    probe->flowChunk = std::string("\x86\xfe\x10\x00\x00\x00\x00\x81", 8);
    // ^T alone is drowned in the flow; ^T DEL ends it and is acknowledged.
    probe->onCtrlT = [&](bool withDel) {
        if (!withDel)
            return probe->flowChunk.empty() ? std::string("ER 000\r\n") : std::string();
        probe->flowChunk.clear();
        return std::string("ER 000\r\n");
    };
    probe->onLine = [](const std::string& line) {
        return line == "DF 6" ? std::string("DF 6\r\n") : std::string();
    };
    EXPECT_EQ(qvl.GetDFProtocol(*port), 6);
    ASSERT_GE(probe->events.size(), 5u);
    EXPECT_EQ(probe->events[0], "^T");
    EXPECT_EQ(probe->events[1], "^T DEL");
    EXPECT_EQ(probe->events[2], "DEL");
    EXPECT_EQ(probe->events[3], "SO");
    EXPECT_EQ(probe->events[4], "^T"); // the following try gets its ER 000
}

TEST_F(TProtocolTest, NoAttentionWithinTenTries) {
    probe->onCtrlT = [](bool) { return std::string("ER 001\r\n"); };
    EXPECT_EQ(qvl.GetDFProtocol(*port), 0);
    EXPECT_EQ(probe->Count("^T"), 10);
    EXPECT_TRUE(env.Logged("Get probe attention error No probe connected"));
}

TEST_F(TProtocolTest, ProbeErrorNumberAfterControlT) {
    struct TCase {
        std::string waiting;
        bool ok;
        TCmdError error;
        int number;
    } cases[] = {
        {std::string(40, '\x55') + "ER 000\r\n", true, cer_OK, 0},
        {"ER 017\r\n", false, cer_ErCode, 17},
        {"nothing here", false, cer_OK, 0},
        {"", false, cer_receive, 0},
    };
    for (const TCase& c : cases) {
        probe->onCtrlT = [&](bool) { return c.waiting; };
        probe->Write("\x14\x7f", 2);
        Clock().SleepMs(10);
        qvl.cmd_error = cer_OK;
        qvl.Qvl_Error = 0;
        EXPECT_EQ(qvl.GetQvlError(*port), c.ok) << c.waiting;
        EXPECT_EQ(qvl.GetError(), c.error) << c.waiting;
        EXPECT_EQ(qvl.Qvl_Error, c.number) << c.waiting;
    }
}

TEST_F(TProtocolTest, StopEndsTheFlowAndSaysSO) {
    probe->onLine = [](const std::string&) { return std::string(); }; // SO is not answered
    EXPECT_TRUE(qvl.Stop(*port));
    EXPECT_EQ(probe->events, (std::vector<std::string>{"^T DEL", "DEL", "SO"}));
    probe->onCtrlT = [](bool) { return std::string(); };
    probe->events.clear();
    EXPECT_FALSE(qvl.Stop(*port)); // never acknowledged: told so, though SO still goes out
    EXPECT_EQ(qvl.GetError(), cer_noProbe);
    EXPECT_EQ(probe->Count("^T DEL"), 5);
    EXPECT_EQ(probe->Count("SO"), 1);
    EXPECT_EQ(env.op.Status(), "Stop acquisition Error No probe connected");
}

TEST_F(TProtocolTest, FireBottleAfterAttention) {
    EXPECT_TRUE(qvl.SendFBCommand(5, *port));
    EXPECT_EQ(probe->events, (std::vector<std::string>{"^T DEL", "FB 05"}));
    EXPECT_TRUE(env.Logged("Send FB cmd Bottle No=5"));
}

TEST_F(TProtocolTest, BottleHomeCanBeAborted) {
    qvl.RosHomeTimeOut = 30;
    probe->onCtrlT = [](bool withDel) {
        return withDel ? std::string() : std::string("ER 000\r\n");
    };
    env.op.CancelProgressAt(3);
    EXPECT_FALSE(qvl.BottleHome(1, port.get()));
    EXPECT_EQ(env.op.Status(), "GetAttention failed!");
    EXPECT_EQ(probe->Count("GO 01"), 1);
    EXPECT_EQ(probe->Count("RS"), 0);
}

TEST_F(TProtocolTest, BottleHomeAsksThePositionTwice) {
    qvl.RosHomeTimeOut = 30;
    probe->onLine = [](const std::string& line) {
        return std::string(line == "RS" ? "RS 2 999\r\n" : "ER 000\r\n");
    };
    EXPECT_TRUE(qvl.BottleHome(3, port.get()));
    EXPECT_EQ(probe->Count("RS"), 2);
    EXPECT_EQ(qvl.RosCurPos, 2);
    EXPECT_EQ(qvl.RosCurStatus, 0);
    EXPECT_EQ(cast.BtlAlarm.C_LastBtlNumber, 2);
    EXPECT_EQ(env.op.Status(), "Home position found");
}

TEST_F(TProtocolTest, MemoryCommands) {
    probe->onLine = [](const std::string& line) -> std::string {
        if (line == "DF 6")
            return "DF 6\r\n";
        if (line == "MS")
            return "MS 65536 600 64936 1 3 0 0 0 0\r\n";
        if (line == "CS 3")
            return "CS 3 600 LINEAR CAST003 0.5 27-02-2026 09:36:00\r\n";
        if (line == "DM")
            return "ERASED ER 000\r\n";
        return "ER 001\r\n";
    };
    ASSERT_TRUE(qvl.MemoryStatus(*port));
    EXPECT_EQ(qvl.LastMemoryCast(), 3);
    EXPECT_EQ(qvl.NextMemoryCast(), 4);
    EXPECT_EQ(qvl.AvailableMemorySet(), 64936);
    std::string text;
    ASSERT_TRUE(qvl.GetCastInfo(*port, 3, text));
    EXPECT_EQ(text, "3 600 LINEAR CAST003 0.5 27-02-2026 09:36:00");
    EXPECT_EQ(qvl.MemorySetNb(), 600);
    EXPECT_EQ(qvl.MemCast.MemCastName, "CAST003");
    ASSERT_TRUE(qvl.SendCD(*port, 3, 0));
    EXPECT_EQ(probe->events.back(), "CD 3 0");
    ASSERT_TRUE(qvl.DeleteMemory(*port));
    EXPECT_EQ(probe->Count("DM"), 1);
}

TEST_F(TProtocolTest, ErrorReportNamesStepCommandAnswerAndNumber) {
    probe->onLine = [](const std::string&) { return std::string("ER 012\r\n"); };
    qvl.FuncStr = "Get probe info";
    Send(cm_CA, "239");
    qvl.ShowError();
    const std::string expected =
        "\r\nMAREVO5 Function: Get probe info\r\n\r\nSent Command   : CA 239\r\n"
        "\r\nProbe Answer   : ER 012\r\n\r\nProtocol error : Probe Error code(12)\r\n";
    EXPECT_EQ(qvl.ErrorReport(), expected);
    EXPECT_EQ(env.op.Events().back(),
              "Message Error [KELPRA 7xx PROBE Communication Error]: " + expected);
    EXPECT_TRUE(env.Logged("KELPRA 7xx PROBE Communication Error"));
}

} // namespace
} // namespace marevo

// ---- Identification of the simulated probe
// --------------------------------------------------------

namespace marevo {
namespace {

using sim::TSimProbe;
using sim::TSimProbeSettings;

// Parameter number of a probe code, as the catalogue gives it.
int CatalogueNumberOf(int probeCode) {
    for (const TCatalogueEntry& e : CatalogueEntries())
        if (e.ProbeCode == probeCode)
            return e.Number;
    return -1;
}

std::vector<std::string> FileLines(const std::filesystem::path& file) {
    const std::string text = test::ReadFileBytes(file);
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; start < text.size(); start = end + 2) {
        end = text.find("\r\n", start);
        if (end == std::string::npos) {
            ADD_FAILURE() << "line without CR LF: " << text.substr(start);
            break;
        }
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

// What identification must have learned from the simulated probe: everything is derived from
// the probe's settings and its own answers.
void ExpectIdentified(TAppEnv& env, const TQvlUtil& qvl, const TSimProbe& probe, int format,
                      const std::filesystem::path& transcript) {
    const TSimProbeSettings& s = probe.Settings();
    TParamCollection& cast = env.cast;
    EXPECT_EQ(qvl.GetError(), cer_OK);
    EXPECT_EQ(qvl.GetDFNb(), format);
    EXPECT_EQ(cast.ProbeInfo.Protocol, format);
    EXPECT_EQ(qvl.GetSnStr(), s.serial);
    EXPECT_EQ(cast.ProbeInfo.UnitSN.Get(), s.serial);
    EXPECT_EQ(cast.ProbeInfo.UnitType.Get(), s.serial.substr(0, 3));
    EXPECT_EQ(cast.ProbeInfo.Firmware.Get(), s.firmware);
    EXPECT_FLOAT_EQ(cast.ProbeInfo.Voltage, static_cast<float>(s.battery));
    EXPECT_EQ(cast.ProbeInfo.SamplerType, s.rosetteType);
    EXPECT_EQ(cast.ProbeInfo.BottlesNumber, s.rosettePositions);
    EXPECT_EQ(cast.ProbeInfo.FireDelay, s.fireTimeOut);
    EXPECT_EQ(cast.ProbeInfo.SerialNumber, s.rosetteSerial);
    EXPECT_FLOAT_EQ(cast.ProbeInfo.BatteryVoltage, static_cast<float>(s.rosetteVolts));
    EXPECT_EQ(env.config.Rosette.MaxBottlePos, s.rosettePositions);
    EXPECT_EQ(cast.ProbeInfo.MarevoVersion.Get(), "Marevo");

    // The collection: frame head, the channels in the probe's order, the check field, then the
    // time base, speed and winch speed.
    std::vector<int> expected = {format == 5 ? 5 : format == 6 ? 6 : 7};
    for (const sim::TSimChannel& c : s.channels)
        expected.push_back(CatalogueNumberOf(c.code));
    expected.insert(expected.end(), {format == 5 ? 2 : 4, 100, 105, 810});
    std::vector<int> numbers;
    for (const auto& p : cast)
        numbers.push_back(p->GetParaNb());
    EXPECT_EQ(numbers, expected);
    for (const sim::TSimChannel& c : s.channels) {
        const TParameter* p = cast.FindQvlPara(c.code);
        ASSERT_NE(p, nullptr) << c.code;
        EXPECT_DOUBLE_EQ(p->ParaCalib.calib[0].ToDouble(), c.offset) << c.code;
        EXPECT_DOUBLE_EQ(p->ParaCalib.calib[1].ToDouble(), c.slope) << c.code;
        EXPECT_EQ(p->ParaCalib.DateStandard, c.calDate) << c.code;
        EXPECT_EQ(p->paraRaw.ConvType, c.length == 3 ? ParaConvByte3 : ParaConvSingle) << c.code;
    }
    ASSERT_TRUE(cast.BuildProbeInfo());
    EXPECT_EQ(cast.FrameInfo.RawSize, probe.FrameSize());

    // A frame of the probe decodes to the water it was measured in.
    cast.Acqui.ParaTims = cast.FindPara(100);
    const double t = 95.0;
    const auto frame = probe.Frame(3, t, 0);
    TRawBuffer buffer{};
    std::copy(frame.begin(), frame.end(), buffer.begin());
    const TDecodeContext decode = cast.DecodeContext();
    for (int i = 0; i < cast.FrameInfo.RawCount; ++i) {
        cast.Items(i)->ParaDecode(buffer, decode);
        cast.Items(i)->ParaCalibrate(decode);
    }
    const sim::TWater water = sim::MakeSyntheticProfile()->At(t);
    for (const sim::TSimChannel& c : s.channels)
        EXPECT_NEAR(cast.FindQvlPara(c.code)->Calibrated.value, sim::ChannelValue(c.code, water),
                    c.length == 3 ? 0.1 : 1e-3 * std::max(1.0, sim::ChannelValue(c.code, water)))
            << c.code;

    std::vector<std::string> lines = {
        fmt::format("[DF], DF {}", format),
        "[SN], SN " + s.serial,
        "[VN], VN " + s.firmware,
        fmt::format("[RB], RB {:.2f}", s.battery),
        "[TS], ER 000",
        "[SS], " + probe.SSAnswer(),
        fmt::format("[CA], CA {}", probe.HeadCode()),
    };
    for (const sim::TSimChannel& c : s.channels)
        lines.push_back("[CA], " + probe.CAAnswer(c.code));
    lines.push_back("[CA], " + probe.CAAnswer(probe.CheckCode()));
    lines.push_back(fmt::format("[RT], RT {} {} {:.1f} {:.1f}", s.rosetteType, s.rosettePositions,
                                s.fireTimeOut, s.homeTimeOut));
    EXPECT_EQ(FileLines(transcript), lines);
}

struct TIdentifyCase {
    std::vector<int> formats; // what the firmware accepts
    bool df7Enabled;
    int format; // what identification settles on
    const char* channels;
};

const TIdentifyCase IdentifyCases[] = {
    {{5, 6, 7}, true, 7, "0,1,2,82,83,239,25,12"},
    {{5, 6, 7}, false, 6, "0,1:3,2,239:3"},
    {{5}, true, 5, "0,1,2"},
};

TEST(ProbeIdentification, InTestTimeGivesCollectionInformationAndTranscript) {
    for (const TIdentifyCase& c : IdentifyCases) {
        SCOPED_TRACE(c.format);
        TAppEnv env;
        ASSERT_TRUE(env.probe.DefaultParamCol());
        env.environ.DF7Enabling = c.df7Enabled;
        TSimProbeSettings settings;
        settings.formats = c.formats;
        settings.channels = sim::ParseChannelList(c.channels);
        auto probe = std::make_shared<TSimProbe>(settings, sim::MakeSyntheticProfile());
        TFileCOMM port(std::make_unique<sim::TSimProbeDevice>(probe));
        TQvlUtil qvl(&env.cast);
        qvl.CurrentCastRawPath = [&] { return env.dir / "TEST001.raw"; };
        ASSERT_TRUE(qvl.GetProbeInfoA(-1, &port));
        qvl.CloseXfrFile();
        ExpectIdentified(env, qvl, *probe, c.format, env.dir / "TEST001.xfr");
        EXPECT_EQ(probe->Format(), c.format);
    }
}

TEST(ProbeIdentification, TranscriptIsCompletedWithTheCastPositions) {
    TAppEnv env;
    auto probe = std::make_shared<TSimProbe>(TSimProbeSettings{}, sim::MakeSyntheticProfile());
    TFileCOMM port(std::make_unique<sim::TSimProbeDevice>(probe));
    TQvlUtil qvl(&env.cast);
    qvl.CurrentCastRawPath = [&] { return env.dir / "TEST002.raw"; };
    ASSERT_TRUE(qvl.GetProbeInfoA(-1, &port));
    TCastInfo header;
    header.latitude[0] = TExtended::FromDouble(-17.978512);
    header.longitude[0] = TExtended::FromDouble(-37.225333);
    header.latitude[2] = TExtended::FromDouble(-17.97);
    header.longitude[2] = TExtended::FromDouble(-37.2201);
    env.cast.Loaded.CastHeader = &header;
    qvl.WriteXfrStart(EncodeDateTime(2026, 3, 9, 14, 25, 1));
    qvl.CompleteXfrFile();
    qvl.CloseXfrFile();
    const auto lines = FileLines(env.dir / "TEST002.xfr");
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(
        std::vector<std::string>(lines.end() - 3, lines.end()),
        (std::vector<std::string>{"[SDT], 9, 3, 2026, 14, 25, 1", "[SGP], -17.97851, -37.22533",
                                  "[EGP], -17.97000, -37.22010"}));
}

TEST_F(TProtocolTest, IdentificationStopsAtAChannelItCannotPlace) {
    struct TCase {
        const char* ss;
        const char* ca1;
        TCmdError error;
    } cases[] = {
        {"SS 310 0 777 304", "CA 0 15-03-2025 2 4 0.05 1", cer_ParaNb}, // unknown code 777
        {"SS 310 0 1 304", "ER 004", cer_ErCode},                       // calibration refused
    };
    for (const TCase& c : cases) {
        probe->onLine = [&](const std::string& line) -> std::string {
            const std::string answer = line == "DF 6"   ? "DF 6"
                                       : line == "SN"   ? "SN KPR-0712345"
                                       : line == "VN"   ? "VN FW:4.12"
                                       : line == "RB"   ? "RB 12.4"
                                       : line == "SS"   ? c.ss
                                       : line == "CA 0" ? "CA 0 15-03-2025 2 4 0.05 1"
                                       : line == "CA 1" ? c.ca1
                                                        : "ER 000";
            return answer + "\r\n";
        };
        env.cast.Clear();
        qvl.CurrentCastRawPath = [&] { return env.dir / "FAIL001.raw"; };
        EXPECT_FALSE(qvl.GetProbeInfoA(-1, port.get()));
        EXPECT_EQ(qvl.GetError(), c.error);
        qvl.CloseXfrFile();
        const std::string transcript = test::ReadFileBytes(env.dir / "FAIL001.xfr");
        EXPECT_NE(transcript.find("[CA], CA 0 15-03-2025 2 4 0.05 1\r\n"), std::string::npos);
        EXPECT_EQ(transcript.find("[RT]"), std::string::npos); // nothing after the failure
        EXPECT_EQ(probe->Count("RT"), 0);
    }
}

// The probe on a pseudo-terminal, served by a thread in real time, as the program would.
class TPtyProbeServer {
public:
    explicit TPtyProbeServer(std::shared_ptr<TSimProbe> probe) : probe_(std::move(probe)) {
        thread_ = std::thread([this] { Serve(); });
    }
    ~TPtyProbeServer() {
        stop_ = true;
        thread_.join();
    }
    const std::string& Path() const { return pty_.path; }

private:
    void Serve() {
        TSystemClock clock;
        while (!stop_) {
            pollfd p{pty_.master, POLLIN, 0};
            if (::poll(&p, 1, 1) == 1) {
                std::uint8_t buffer[512];
                const ssize_t n = ::read(pty_.master, buffer, sizeof buffer);
                if (n > 0)
                    probe_->Receive({buffer, static_cast<std::size_t>(n)}, clock.TickMs());
            }
            const std::string out = probe_->TakeOutput(clock.TickMs());
            if (!out.empty() && ::write(pty_.master, out.data(), out.size()) < 0)
                break;
        }
    }

    test::TPty pty_;
    std::shared_ptr<TSimProbe> probe_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

TEST(ProbeIdentification, OnAPseudoTerminalInEachDataFormat) {
    for (const TIdentifyCase& c : IdentifyCases) {
        SCOPED_TRACE(c.format);
        TAppEnv env;
        TSystemClock wallClock; // the probe answers in real time
        TRuntimeScope realTime({&wallClock, nullptr, nullptr, nullptr});
        ASSERT_TRUE(env.probe.DefaultParamCol());
        env.environ.DF7Enabling = c.df7Enabled;
        TSimProbeSettings settings;
        settings.formats = c.formats;
        settings.channels = sim::ParseChannelList(c.channels);
        settings.answerDelay = 0.005;
        auto probe = std::make_shared<TSimProbe>(settings, sim::MakeSyntheticProfile());
        {
            TPtyProbeServer server(probe);
            TQvlUtil qvl(&env.cast);
            qvl.CurrentCastRawPath = [&] { return env.dir / "PTY001.raw"; };
            const std::string device = server.Path();
            qvl.OpenProbePort = [&] {
                auto port = std::make_unique<TFileCOMM>();
                port->Open("CTD", "COM1:9600,n,8,1,n", [&](int) { return device; });
                return port;
            };
            ASSERT_TRUE(qvl.GetProbeInfoA(-1));
            qvl.CloseXfrFile();
            ExpectIdentified(env, qvl, *probe, c.format, env.dir / "PTY001.xfr");
        }
        EXPECT_EQ(probe->Format(), c.format);
    }
}

} // namespace
} // namespace marevo

namespace marevo {
namespace {

// OL starts the flow, the frame ring takes every frame from the port, and Stop ends it; a
// following attention finds the probe quiet.
TEST(ProbeIdentification, DataFlowFromOLIsReadFrameByFrameUntilStopped) {
    for (int format : {5, 6, 7}) {
        SCOPED_TRACE(format);
        TAppEnv env;
        ASSERT_TRUE(env.probe.DefaultParamCol());
        env.environ.DF7Enabling = 1;
        TSimProbeSettings settings;
        settings.formats = {format};
        auto probe = std::make_shared<TSimProbe>(settings, sim::MakeSyntheticProfile());
        TFileCOMM port(std::make_unique<sim::TSimProbeDevice>(probe));
        TQvlUtil qvl(&env.cast);
        ASSERT_TRUE(qvl.GetProbeInfoA(-1, &port));
        ASSERT_TRUE(env.cast.BuildProbeInfo());
        ASSERT_TRUE(qvl.SendProbeCommand(cm_OL, port));
        TRawBuffer frame{};
        TRingContext context;
        context.Protocol = format;
        context.SaveBytes = false;
        TCyclicInputBuffer ring(frame, env.cast.FrameInfo.RawSize, context);
        TPortByteSource source(port);
        int accepted = 0;
        const std::uint64_t start = Clock().TickMs();
        while (Clock().TickMs() - start < 10'000) { // 10 s of test time
            // As the data source does: the ring is asked only once a whole frame is waiting.
            if (source.Waiting() >= env.cast.FrameInfo.RawSize && ring.ReadNewRawSet(source)) {
                ++accepted;
                ++context.RawIndex;
            } else {
                Clock().SleepMs(5);
            }
        }
        EXPECT_NEAR(accepted, 240, 3);
        EXPECT_EQ(ring.FrameErrorNb(), 0);
        EXPECT_TRUE(qvl.Stop(port));
        EXPECT_FALSE(probe->Flowing());
        EXPECT_EQ(probe->Commands().back(), "SO");
    }
}

} // namespace
} // namespace marevo

namespace marevo {
namespace {

// A transcript read back: each line goes through the same checks and stores, the command named
// by the line itself, without a probe.
TEST(ProbeIdentification, TranscriptLinesFeedTheSameChecksAndStores) {
    TAppEnv env;
    auto temperature = std::make_unique<TParameter>();
    temperature->SetDefPara(110);
    env.cast.Add(std::move(temperature));
    TQvlUtil qvl(&env.cast);
    const auto feed = [&](const char* line) {
        qvl.SetAnswer(line);
        return qvl.CheckResult(cm_last) && qvl.SetInfo(cm_last);
    };
    EXPECT_TRUE(feed("SN KPR-0712345"));
    EXPECT_EQ(env.cast.ProbeInfo.UnitSN.Get(), "KPR-0712345");
    EXPECT_TRUE(feed("DF 7"));
    EXPECT_EQ(env.cast.ProbeInfo.Protocol, 7);
    EXPECT_TRUE(feed("CA 1 15-03-2025 2 3 0.5 2"));
    const TParameter* t = env.cast.FindPara(110);
    EXPECT_EQ(t->ParaCalib.calib[0].ToDouble(), 0.5);
    EXPECT_EQ(t->ParaCalib.calib[1].ToDouble(), 2.0);
    EXPECT_EQ(t->ParaCalib.calib[2].ToDouble(), 0.0);
    EXPECT_EQ(t->paraRaw.ConvType, ParaConvByte3);
    EXPECT_FALSE(feed("CA 1 15-03-2025 3 4 1 2")); // three announced, two given
    EXPECT_EQ(qvl.GetError(), cer_format);
    EXPECT_FALSE(feed("CA 82 15-03-2025 1 4 1")); // no parameter of that code to calibrate
    EXPECT_EQ(qvl.GetError(), cer_ParaNb);
    EXPECT_TRUE(feed("SS 310 0 1 777 304"));
    EXPECT_EQ(qvl.GetParaNb(), 5);
    EXPECT_EQ(qvl.GetParaListStr(), "310 0 1 777 304");
    EXPECT_EQ(env.cast.ProbeInfo.PaListStr.Get(), "310 0 1 777 304");
}

// The rosette answer goes to the configuration's rosette too; with no configuration to take it,
// the store fails and says so instead of passing for done.
TEST(ProbeIdentification, RosetteAnswerNeedsAConfiguration) {
    {
        TAppEnv env;
        TQvlUtil qvl(&env.cast);
        qvl.SetAnswer("RT 2 24 5.0 30.0");
        ASSERT_TRUE(qvl.CheckResult(cm_RT));
        EXPECT_TRUE(qvl.SetInfo(cm_RT));
        EXPECT_EQ(env.config.Rosette.MaxBottlePos, 24);
        EXPECT_EQ(env.cast.ProbeInfo.BottlesNumber, 24);
    }
    TTestEnv env; // no application objects: no configuration installed
    TParamCollection cast;
    TQvlUtil qvl(&cast);
    qvl.SetAnswer("RT 2 24 5.0 30.0");
    ASSERT_TRUE(qvl.CheckResult(cm_RT));
    EXPECT_FALSE(qvl.SetInfo(cm_RT));
    EXPECT_EQ(qvl.GetError(), cer_other);
    EXPECT_EQ(cast.ProbeInfo.BottlesNumber, 24);
    const auto messages = env.LogMessages();
    EXPECT_TRUE(std::any_of(messages.begin(), messages.end(), [](const std::string& m) {
        return m.rfind("Exc: Set Info cmd result Error ", 0) == 0 &&
               m.find("no configuration installed") != std::string::npos;
    }));
}

} // namespace
} // namespace marevo

namespace marevo {
namespace {

// A probe left sending frames: attention reads binary data, stops the flow (^T DEL, DEL, SO) and
// gets its ER 000 on a following try.
TEST(ProbeIdentification, AttentionEndsTheFlowOfTheSimulatedProbe) {
    TAppEnv env;
    TSimProbeSettings settings;
    settings.answerDelay = 0.05; // a frame is always on the line before the answer
    auto probe = std::make_shared<TSimProbe>(settings, sim::MakeSyntheticProfile());
    TFileCOMM port(std::make_unique<sim::TSimProbeDevice>(probe));
    TQvlUtil qvl(&env.cast);
    env.cast.Acqui.ProbeOnLine = true;
    ASSERT_TRUE(qvl.SendProbeCommand(cm_OL, port));
    Clock().SleepMs(500);
    ASSERT_TRUE(probe->Flowing());
    std::string castText;
    EXPECT_TRUE(qvl.GetCastInfo(port, 1, castText));
    EXPECT_FALSE(probe->Flowing());
    EXPECT_EQ(castText, "1 600 LINEAR CAST001 0.5 27-02-2026 09:36:00");
    const auto& commands = probe->Commands();
    EXPECT_EQ(std::vector<std::string>(commands.end() - 2, commands.end()),
              (std::vector<std::string>{"SO", "CS 1"}));
    EXPECT_TRUE(env.Logged("Ending Data Flow"));
}

} // namespace
} // namespace marevo

namespace marevo {
namespace {

// Homing the simulated rosette: the probe answers ^T only once the arm is home, then reports the
// home position; firing a bottle shows in the next frame heads.
TEST(ProbeIdentification, RosetteOfTheSimulatedProbeHomesAndFires) {
    TAppEnv env;
    auto probe = std::make_shared<TSimProbe>(TSimProbeSettings{}, sim::MakeSyntheticProfile());
    TFileCOMM port(std::make_unique<sim::TSimProbeDevice>(probe));
    TQvlUtil qvl(&env.cast);
    env.cast.Acqui.ProbeOnLine = true;
    qvl.RosHomeTimeOut = 30;
    ASSERT_TRUE(qvl.BottleHome(1, &port));
    EXPECT_EQ(qvl.RosCurPos, 0);
    EXPECT_EQ(env.cast.BtlAlarm.C_LastBtlNumber, 0);
    EXPECT_EQ(probe->Commands(), (std::vector<std::string>{"GO 01", "RS", "RS"}));
    ASSERT_TRUE(qvl.SendFBCommand(3, port));
    EXPECT_EQ(probe->BottleNumber(), 3);
    EXPECT_EQ(probe->BottleStatus(Clock().TickMs()), btl_CmdOK);
}

} // namespace
} // namespace marevo
