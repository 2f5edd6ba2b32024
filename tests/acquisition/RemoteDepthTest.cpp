#include "acquisition/RemoteDepth.h"

#include "records/Environ.h"
#include "support/Pty.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace marevo {
namespace {

using test::TTestEnv;

// A display line that logs each write with its time, and fails writes from a given one on.
class TLoggingDisplay final : public ISerialDevice {
public:
    explicit TLoggingDisplay(IClock& clock) : clock_(clock) {}

    bool Open(const std::filesystem::path& device, const TSerialSettings& settings) override {
        openedPath = device;
        openedSettings = settings;
        open = openSucceeds;
        return open;
    }
    bool IsOpen() const override { return open; }
    bool Status(TSerialStatus&) override { return open; }
    std::ptrdiff_t Read(void*, std::size_t) override { return 0; }
    std::ptrdiff_t Write(const void* data, std::size_t count) override {
        ++writes;
        if (!open || (failFrom > 0 && writes >= failFrom))
            return -1;
        lines.push_back(
            {clock_.TickMs() - origin, std::string(static_cast<const char*>(data), count)});
        return std::ptrdiff_t(count);
    }
    bool PurgeReceive() override { return true; }
    bool CtsHolding() override { return false; }
    void Close() override { open = false; }
    std::string LastError() const override { return "gone"; }

    // What each line written was: "clear", "init" (an initialisation form), "update" (a pressure
    // line with a value), "message", "light" or "other".
    static std::string Kind(const std::string& line) {
        if (line[0] == 0x0C)
            return "clear";
        if (line[0] == 0x04)
            return line.find("PRESS:   ") != std::string::npos ? "init" : "update";
        if (line[0] == 0x01)
            return line.find("MSG:     ") == 4 ? "init" : "message";
        if (line[0] == 0x0E)
            return "light";
        return "other";
    }
    // "kind@seconds" of the clear, update and message lines, in order.
    std::vector<std::string> Events() const {
        std::vector<std::string> events;
        for (const auto& [ms, line] : lines) {
            const std::string kind = Kind(line);
            if (kind == "clear" || kind == "update" || kind == "message")
                events.push_back(kind + "@" + std::to_string(ms / 1000));
        }
        return events;
    }

    struct TLine {
        std::uint64_t ms;
        std::string bytes;
    };
    std::vector<TLine> lines;
    std::uint64_t origin = 0;
    bool open = true;
    bool openSucceeds = true;
    int writes = 0;
    int failFrom = 0; // 0: never
    std::filesystem::path openedPath;
    TSerialSettings openedSettings;

private:
    IClock& clock_;
};

TRDRValues SampleValues() {
    TRDRValues v;
    v.pressure.value = 42.5f;
    v.direction = DirectionDown;
    v.message = "WAIT";
    v.light = 10;
    return v;
}

// Drives a loop as the worker does, on the fake clock: waits until the next update or the next
// scripted request, whichever comes first.
struct TLoopRig {
    TTestEnv env;
    TLoggingDisplay display{env.clock};
    TRDRLoop loop{display, env.clock, [] { return SampleValues(); }, 10};

    TLoopRig() { display.origin = env.clock.TickMs(); }
    std::uint64_t Now() { return env.clock.TickMs() - display.origin; }
    // Runs until untilMs; requests: time [ms] → request bits.
    bool Run(std::uint64_t untilMs, std::map<std::uint64_t, unsigned> requests = {}) {
        loop.Start(env.clock.TickMs());
        for (;;) {
            const std::uint64_t update = Now() + loop.WaitMs(env.clock.TickMs());
            auto next = requests.begin();
            const bool request = next != requests.end() && next->first < update;
            const std::uint64_t at = request ? next->first : update;
            if (at > untilMs)
                return true;
            env.clock.AdvanceMs(at - Now());
            const unsigned bits = request ? next->second : 0u;
            if (request)
                requests.erase(next);
            if (!loop.Step(env.clock.TickMs(), bits))
                return false;
        }
    }
};

TEST(RDRLoop, UpdatesKeepTheirDeadlineWhateverTheRequests) {
    TLoopRig rig;
    EXPECT_TRUE(rig.Run(30'000, {{15'000, rdr_Message}}));
    const std::vector<std::string> want = {"clear@0", "update@10", "message@15", "update@20",
                                           "update@30"};
    EXPECT_EQ(rig.display.Events(), want);
}

TEST(RDRLoop, InitRequestInitialisesUpdatesAndSendsTheMessage) {
    TLoopRig rig;
    rig.Run(12'000, {{5'000, rdr_Init}});
    const std::vector<std::string> want = {"clear@0", "clear@5", "update@5", "message@5",
                                           "update@10"};
    EXPECT_EQ(rig.display.Events(), want);
    // The initialisation is the whole sequence, and the message carries the editor's text.
    std::vector<std::string> kinds;
    std::string message;
    for (const auto& line : rig.display.lines)
        if (line.ms == 5000) {
            kinds.push_back(TLoggingDisplay::Kind(line.bytes));
            message = line.bytes;
        }
    const std::vector<std::string> init = {"clear",  "init",  "other", "other", "init",   "light",
                                           "update", "other", "other", "light", "message"};
    EXPECT_EQ(kinds, init);
    EXPECT_TRUE(message == RDRMessageLine("WAIT"));
}

TEST(RDRLoop, ExitRequestEndsAtOnceWithoutWriting) {
    TLoopRig rig;
    EXPECT_FALSE(rig.Run(60'000, {{3'000, rdr_Exit | rdr_Message}}));
    EXPECT_EQ(rig.Now(), 3'000u);
    EXPECT_EQ(rig.display.Events(), std::vector<std::string>{"clear@0"});
}

TEST(RDRLoop, FailedWriteEndsItsSequenceAndTheNextUpdateTriesAgain) {
    TLoopRig rig;
    rig.display.failFrom = 2;
    EXPECT_FALSE(rig.loop.InitRDR());
    ASSERT_EQ(rig.display.lines.size(), 1u);
    EXPECT_TRUE(rig.display.lines[0].bytes == RDRClearLine());
    rig.display.failFrom = 0;
    EXPECT_TRUE(rig.loop.SendData());
    EXPECT_EQ(rig.display.lines.size(), 5u);
}

TEST(RDRLoop, IntervalBelowOneSecondCountsAsOne) {
    EXPECT_EQ(RDRIntervalMs(0), 1000u);
    EXPECT_EQ(RDRIntervalMs(-5), 1000u);
    EXPECT_EQ(RDRIntervalMs(10), 10'000u);
}

TEST(RDRLoop, ShownMirrorsTheUpdate) {
    TRDRValues v = SampleValues();
    v.castRunning = true;
    v.lastAlarm = "DOWN";
    TRDRShown shown = RDRShownOf(v);
    EXPECT_EQ(shown.depth, "42.50dbar");
    EXPECT_EQ(shown.caption, "ALARM:");
    EXPECT_EQ(shown.alarm, " NONE       ");
    EXPECT_EQ(shown.status, " RUN   ALR: DOWN");
    v.showSpeed = true;
    v.speed = 0.5;
    v.castRunning = false;
    shown = RDRShownOf(v);
    EXPECT_EQ(shown.caption, "SPEED:");
    EXPECT_EQ(shown.alarm, "0.50m/s");
    EXPECT_EQ(shown.status, " STOP");
}

TEST(RDRPort, LineSettingsLessTheFlowField) {
    const struct {
        const char* text;
        std::uint32_t baud;
        int stopBits; // 0: refused
    } cases[] = {
        {"COM7:19200,n,8,1,e", 19200, 1},
        {"COM3:9600,n,8,1", 9600, 1},
        {"COM3:9600,n,8,2", 9600, 2},
        {"COM3:9600,n,8,2,n", 9600, 2},
        {"COM3", 0, 0},
        {"COM3:9600,n,8", 0, 0},
        {"NONE", 0, 0},
    };
    for (const auto& c : cases) {
        const std::optional<TSerialSettings> s = RDRLineSettings(c.text);
        ASSERT_EQ(s.has_value(), c.stopBits != 0) << c.text;
        if (!s)
            continue;
        EXPECT_EQ(s->baud, c.baud) << c.text;
        EXPECT_EQ(s->stopBits, c.stopBits) << c.text;
        EXPECT_EQ(s->dataBits, 8) << c.text;
        EXPECT_EQ(s->parity, TParity::None) << c.text;
        EXPECT_FALSE(s->rtsCts) << c.text;
    }
}

TEST(RDRPort, OpensThroughThePortMap) {
    TTestEnv env;
    TEnviron environ;
    environ.Dir[FileTypeConfig].Set(env.dir.string());
    std::ofstream(env.dir / "Ports.map") << "COM7=/dev/display7\n";
    environ.RDRCommPort.CommCfgStr.Set("COM7:19200,n,8,1,e");
    TLoggingDisplay display(env.clock);
    display.open = false;
    EXPECT_TRUE(TRemoteDepthThread::InitComPort(environ, display));
    EXPECT_EQ(display.openedPath, "/dev/display7");
    EXPECT_EQ(display.openedSettings, (TSerialSettings{19200, TParity::None, 8, 1, false}));
    EXPECT_TRUE(env.op.Events().empty());
}

TEST(RDRSources, ReadsTheSnapshotAndThePanel) {
    TParamCollection::TAcquiSnapshot snap;
    snap.Pres.value = 7.0f;
    snap.Pres.flag = 0;
    snap.Direction = DirectionUp;
    snap.SpeedLow = 0.25L;
    std::strcpy(snap.LastAlarm, " UP ");
    TRDRSources sources([&snap] { return snap; });
    TRDRPanel panel;
    panel.castRunning = true;
    panel.SetMessage("STOP WINCH");
    panel.alarms.upChecked = true;
    panel.alarms.upLimit = 5;
    panel.light = 40;
    sources.SetPanel(panel);
    const std::vector<std::string> lines = RDRUpdateSequence(sources.Read());
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_TRUE(lines[0] == RDRPressureLine(snap.Pres));
    EXPECT_TRUE(lines[1] == RDRAlarmLine("5.00dbar"));
    EXPECT_TRUE(lines[2] == RDRStatusLine("RUN ALR: UP "));
    EXPECT_TRUE(lines[3] == RDRLightLine(40));
    EXPECT_EQ(sources.Read().message, "STOP WINCH");
}

TEST(RemoteDepthThread, ExitEndsTheWorkerWithoutWaitingOutTheInterval) {
    TTestEnv env;
    TSystemClock clock;
    auto display = std::make_unique<TLoggingDisplay>(clock);
    TLoggingDisplay* log = display.get();
    TRemoteDepthThread worker(
        std::move(display), [] { return SampleValues(); }, 3600, clock);
    worker.Start();
    EXPECT_TRUE(worker.Active());
    worker.MyDestroy(); // an hour's interval: this returns only because the exit wakes it
    EXPECT_FALSE(worker.Active());
    EXPECT_FALSE(log->open);
    ASSERT_GE(log->lines.size(), 1u);
    EXPECT_TRUE(log->lines[0].bytes == RDRClearLine());
}

TEST(RemoteDepthThread, WritesTheLinesOnAPseudoTerminal) {
    TTestEnv env;
    TSystemClock clock;
    test::TPty pty;
    auto port = std::make_unique<TPosixSerialDevice>();
    ASSERT_TRUE(port->Open(pty.path, TSerialSettings{}));
    TRemoteDepthThread worker(
        std::move(port), [] { return SampleValues(); }, 3600, clock);
    worker.Start();
    std::string init;
    for (const std::string& line : RDRInitSequence(SampleValues()))
        init += line;
    EXPECT_TRUE(pty.Receive(init.size()) == init);

    worker.SendMessage();
    const std::string message = RDRMessageLine("WAIT");
    EXPECT_TRUE(pty.Receive(message.size()) == message);

    worker.SendInitMessage();
    std::string again = init;
    for (const std::string& line : RDRUpdateSequence(SampleValues()))
        again += line;
    again += message;
    EXPECT_TRUE(pty.Receive(again.size()) == again);

    // The display goes away: the worker's writes fail, it goes on, and stops when asked.
    pty.CloseMaster();
    worker.SendInitMessage();
    worker.SendMessage();
    worker.MyDestroy();
    EXPECT_FALSE(worker.Active());
}

} // namespace
} // namespace marevo
