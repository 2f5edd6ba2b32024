// A real-time cast against the simulated probe, in fake time: the start, the worker on its
// thread, the stop.

#include "acquisition/RTCast.h"

#include "SimDevice.h"
#include "SimProbe.h"
#include "SimProfile.h"
#include "acquisition/CastFilesAside.h"
#include "acquisition/DataExtraction.h"
#include "probelink/FileComm.h"
#include "probelink/QvlUtil.h"
#include "probelink/RawStream.h"
#include "storage/CruiseFile.h"
#include "support/AppEnv.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <mutex>
#include <thread>

namespace marevo {
namespace {

namespace fs = std::filesystem;
using sim::TSimProbe;
using sim::TSimProbeSettings;
using test::ReadFileBytes;

// The windows of a headless host: the value period's copy, kept under a lock (the inline main
// thread runs the steps on the worker).
class THost final : public ICastHost, public IAcquiView {
public:
    void SetAcquiEnv() override { acquiEnv = true; }
    void SetNormalEnv() override { acquiEnv = false; }
    IAcquiView& View() override { return *this; }
    void UpdateCurValue(const TAcquiLive& live) override {
        std::lock_guard guard(lock);
        last = live;
    }
    std::int32_t Frames() {
        std::lock_guard guard(lock);
        return last.frames;
    }
    std::atomic<bool> acquiEnv{false};
    std::mutex lock;
    TAcquiLive last;
};

// The simulated probe's line, keeping every byte the host read from it.
class TCapturingDevice final : public ISerialDevice {
public:
    TCapturingDevice(std::unique_ptr<ISerialDevice> inner, std::string& capture)
        : inner_(std::move(inner)), capture_(capture) {}
    bool Open(const fs::path& d, const TSerialSettings& s) override { return inner_->Open(d, s); }
    bool IsOpen() const override { return inner_->IsOpen(); }
    bool Status(TSerialStatus& s) override { return inner_->Status(s); }
    std::ptrdiff_t Read(void* buffer, std::size_t count) override {
        const std::ptrdiff_t n = inner_->Read(buffer, count);
        if (n > 0)
            capture_.append(static_cast<const char*>(buffer), std::size_t(n));
        return n;
    }
    std::ptrdiff_t Write(const void* d, std::size_t n) override { return inner_->Write(d, n); }
    bool PurgeReceive() override { return inner_->PurgeReceive(); }
    bool CtsHolding() override { return inner_->CtsHolding(); }
    void Close() override { inner_->Close(); }
    std::string LastError() const override { return inner_->LastError(); }

private:
    std::unique_ptr<ISerialDevice> inner_;
    std::string& capture_;
};

struct TRTCastTest : ::testing::Test {
    TRTCastTest() {
        env.probe.DefaultParamCol();
        env.environ.DataRoot.Set(Root().string() + "/");
        env.config.GenCfg.CruiseName.Set("CR");
        // The protocol takes its delays from the environment, as the program's do.
        std::copy(DefaultCommDelay.begin(), DefaultCommDelay.end(), env.environ.CommDelay);
        EXPECT_TRUE(file.NewCruise(Root(), [](TCastInfo& c) {
            c.InfoStr[1].Set("CR");
            c.InfoStr[2].Set("CR");
            return true;
        }));
        probe = std::make_shared<TSimProbe>(TSimProbeSettings{}, sim::MakeSyntheticProfile());
        Wire(rt);
    }
    // The cast's ports on the simulated probe.
    void Wire(TRTCast& r) {
        r.OpenProbePort = [this] { return Port(); };
        r.OpenSource = [this](const fs::path& raw, TParamCollection& cast, bool& isOpen) {
            TRawStream::TPorts ports;
            ports.probe = std::make_unique<TFileCOMM>(std::make_unique<TCapturingDevice>(
                std::make_unique<sim::TSimProbeDevice>(probe), received));
            return TRawStream::CreateOnPorts(std::move(ports), isOpen, raw, &cast);
        };
    }
    std::unique_ptr<TFileCOMM> Port() {
        return std::make_unique<TFileCOMM>(std::make_unique<sim::TSimProbeDevice>(probe));
    }
    fs::path Root() const { return env.dir / "data"; }
    fs::path Cruise() const { return Root() / "CR" / "CR.cru"; }
    fs::path Raw(int n) const {
        return Root() / "CR" / "raw" / ("CR00" + std::to_string(n) + ".raw");
    }
    TSafetyFiles Files() const { return {{}, {}, Cruise()}; }
    // Waits (real time) until the worker has handed over frames values.
    bool WaitForFrames(std::int32_t frames) {
        for (int i = 0; i < 20'000 && host.Frames() < frames; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return host.Frames() >= frames;
    }

    test::TAppEnv env;
    TCruisefile file{env.cast};
    THost host;
    std::shared_ptr<TSimProbe> probe;
    std::string received; // what the cast's probe port read
    TRTCast rt{file, host};
};

TEST_F(TRTCastTest, SaveAndExitStoresTheCastWithEveryReceivedByte) {
    ASSERT_TRUE(rt.Start(Files()));
    EXPECT_TRUE(host.acquiEnv);
    EXPECT_TRUE(fs::exists(RecoveryCopyName(Cruise()))); // protected while it runs
    ASSERT_TRUE(WaitForFrames(100));
    ASSERT_TRUE(rt.Stop(TCloseAnswer::SaveAndExit));
    EXPECT_FALSE(rt.Running());
    EXPECT_FALSE(host.acquiEnv);
    EXPECT_EQ(rt.LostByteNb(), 0);
    EXPECT_FALSE(fs::exists(RecoveryCopyName(Cruise())));
    EXPECT_EQ(file.GetLastIndex(), 1);
    const std::string raw = ReadFileBytes(Raw(1));
    const int frameSize = env.cast.FrameInfo.RawSize;
    ASSERT_GT(frameSize, 0);
    EXPECT_GE(raw.size(), 100u * frameSize);
    EXPECT_EQ(raw.size() % frameSize, 0u);
    // The raw file is what the port received from the first frame on: before it only the start
    // command's answer, after it only what came during the stop.
    const std::size_t at = received.find(raw);
    ASSERT_NE(at, std::string::npos);
    EXPECT_LT(at, 64u);
    EXPECT_EQ(received.substr(0, at).find('\0'), std::string::npos); // text only before it
    EXPECT_TRUE(fs::exists(Root() / "CR" / "bin" / "CR001.bin"));
    std::ifstream xfr(Raw(1).replace_extension(".xfr"), std::ios::binary);
    std::string transcript((std::istreambuf_iterator<char>(xfr)), {});
    for (const char* tag : {"[SDT]", "[SGP]", "[EGP]"})
        EXPECT_NE(transcript.find(tag), std::string::npos) << tag;
    EXPECT_TRUE(env.Logged("Append cast done"));
    // The binary file is what processing the raw file again gives.
    TParamCollection again;
    again.UseSettings(&env.config, &env.environ, &env.probe);
    TCruisefile reader(again);
    ASSERT_TRUE(reader.ReadCast(Cruise(), 1));
    again.BuildProbeInfo();
    ASSERT_TRUE(again.InitRoundBuffer() && again.InitLinearBuffer());
    again.Loaded.CastHeader = &reader.CastInfoc.Cast;
    again.Loaded.CruiseHeader = &reader.CastInfoc.Cruise;
    again.Loaded.Bottles = &reader.CastInfoc.Bottles;
    ASSERT_TRUE(ReplayRawFile(again, Raw(1)));
    ASSERT_EQ(again.BinSave(env.dir / "again.bin"), ParaOk);
    EXPECT_TRUE(ReadFileBytes(env.dir / "again.bin") ==
                ReadFileBytes(Root() / "CR" / "bin" / "CR001.bin"));
    bool report = false;
    for (const std::string& m : env.LogMessages())
        report = report || m.starts_with("End Acq: Frame[");
    EXPECT_TRUE(report);
}

TEST_F(TRTCastTest, ContinueKeepsTheCastProtectedAndAnUnconfirmedAbortToo) {
    ASSERT_TRUE(rt.Start(Files()));
    ASSERT_TRUE(WaitForFrames(10));
    EXPECT_FALSE(rt.Stop(TCloseAnswer::Continue));
    env.op.ScriptAnswers({false});
    EXPECT_FALSE(rt.Stop(TCloseAnswer::AbortCast));
    EXPECT_TRUE(rt.Running());
    EXPECT_TRUE(fs::exists(RecoveryCopyName(Cruise())));
    env.op.ScriptAnswers({true});
    EXPECT_FALSE(rt.Stop(TCloseAnswer::AbortCast));
    EXPECT_FALSE(rt.Running());
    EXPECT_FALSE(fs::exists(RecoveryCopyName(Cruise())));
    EXPECT_EQ(file.GetLastIndex(), 0); // not stored
    EXPECT_FALSE(env.Logged("Append cast done"));
}

TEST_F(TRTCastTest, LeftoversOfAnInterruptedCastAreRenamedAsideNotOverwritten) {
    fs::create_directories(Raw(1).parent_path());
    for (const fs::path& f : CastDataFiles(Raw(1)))
        std::ofstream(f, std::ios::binary) << "left by " << f.extension().string();
    std::ofstream(CastDataFiles(Raw(1))[0].string() + ".1") << "an older one";
    ASSERT_TRUE(rt.Start(Files()));
    ASSERT_TRUE(WaitForFrames(5));
    ASSERT_TRUE(rt.Stop(TCloseAnswer::SaveAndExit));
    for (const fs::path& f : CastDataFiles(Raw(1))) {
        const fs::path aside = f.string() + (f.extension() == ".raw" ? ".2" : ".1");
        EXPECT_EQ(ReadFileBytes(aside), "left by " + f.extension().string()) << aside;
    }
    EXPECT_EQ(ReadFileBytes(Raw(1).string() + ".1"), "an older one");
    EXPECT_GT(ReadFileBytes(Raw(1)).size(), 5u * env.cast.FrameInfo.RawSize);
}

// A cast that ended without being stored (the program died) leaves its three files under the
// next cast's name: the next start offers them, and recovers them as that cast of the cruise.
TEST_F(TRTCastTest, AnInterruptedCastIsOfferedAndRecoveredAtTheNextStart) {
    {
        TRTCast interrupted(file, host);
        Wire(interrupted);
        ASSERT_TRUE(interrupted.Start(Files()));
        ASSERT_TRUE(WaitForFrames(100));
    } // ended unstored: its files stay, as a killed program leaves them
    const std::string raw1 = ReadFileBytes(Raw(1));
    ASSERT_GT(raw1.size(), 0u);
    env.op.SetDefaultAnswer(true); // the cruise's safety copy, then the interrupted cast
    ASSERT_TRUE(rt.Start(Files()));
    EXPECT_EQ(rt.RawFile(), Raw(2));
    ASSERT_TRUE(WaitForFrames(10));
    ASSERT_TRUE(rt.Stop(TCloseAnswer::SaveAndExit));
    EXPECT_EQ(file.GetLastIndex(), 2);
    EXPECT_TRUE(ReadFileBytes(Raw(1)) == raw1) << "recovered in place";
    EXPECT_TRUE(fs::exists(Root() / "CR" / "bin" / "CR001.bin"));
    EXPECT_FALSE(fs::exists(Raw(1).string() + ".1"));
    EXPECT_TRUE(env.Logged("The interrupted cast CR001 was recovered as cast 1"));
}

TEST_F(TRTCastTest, AConfirmedAbortPutsTheCastFilesAsideAtOnce) {
    ASSERT_TRUE(rt.Start(Files()));
    ASSERT_TRUE(WaitForFrames(10));
    env.op.ScriptAnswers({true});
    EXPECT_FALSE(rt.Stop(TCloseAnswer::AbortCast));
    for (const fs::path& f : CastDataFiles(Raw(1))) {
        EXPECT_FALSE(fs::exists(f)) << f;
        EXPECT_TRUE(fs::exists(f.string() + ".1")) << f;
    }
}

TEST_F(TRTCastTest, AProbeThatDoesNotAnswerLeavesEverythingIdle) {
    rt.OpenProbePort = [] {
        struct TSilent final : ISerialDevice {
            bool Open(const fs::path&, const TSerialSettings&) override { return true; }
            bool IsOpen() const override { return true; }
            bool Status(TSerialStatus& s) override { return s.waiting = 0, true; }
            std::ptrdiff_t Read(void*, std::size_t) override { return 0; }
            std::ptrdiff_t Write(const void*, std::size_t n) override { return std::ptrdiff_t(n); }
            bool PurgeReceive() override { return true; }
            bool CtsHolding() override { return false; }
            void Close() override {}
            std::string LastError() const override { return {}; }
        };
        return std::make_unique<TFileCOMM>(std::make_unique<TSilent>());
    };
    EXPECT_FALSE(rt.Start(Files()));
    EXPECT_FALSE(rt.Running());
    EXPECT_FALSE(host.acquiEnv);
    EXPECT_FALSE(env.cast.Acqui.ProbeOnLine);
    EXPECT_FALSE(env.cast.Acqui.RealTimeOn);
    EXPECT_EQ(env.cast.Loaded.TypeLoaded, FileTypeNone);
    EXPECT_FALSE(fs::exists(RecoveryCopyName(Cruise())));
}


// The automatic export in the time-out mode, on its own thread as the worker appends rows: it
// exports over and over (a period of 1 ms of test time), survives an unconfirmed abort, and ends
// with the cast by a final export equal to the export of the stored cast; no row is torn.
TEST_F(TRTCastTest, AutomaticExportRunsWithTheCastAndEndsWithIt) {
    TExtractionTextFoldersCfg& x = env.config.ExtractionFoldersCfg;
    x.AutomaticTextDataExportMode = TEMOnTimeout;
    x.AutomaticTextDataExportTimeout = 0.001 / 86'400.0;
    const fs::path txt = Root() / "CR" / "txt" / "CR001.txt";
    ASSERT_TRUE(rt.Start(Files()));
    ASSERT_TRUE(rt.Exporting());
    ASSERT_TRUE(WaitForFrames(200));
    env.op.ScriptAnswers({false});
    EXPECT_FALSE(rt.Stop(TCloseAnswer::AbortCast));
    EXPECT_TRUE(rt.Exporting()) << "an unconfirmed abort keeps the export";
    ASSERT_TRUE(WaitForFrames(400));
    ASSERT_TRUE(rt.Stop(TCloseAnswer::SaveAndExit));
    EXPECT_FALSE(rt.Exporting());
    EXPECT_GE(rt.Extraction()->Exports(), 3);
    const std::string exported = ReadFileBytes(txt);
    std::int32_t start = 0;
    ASSERT_TRUE(env.cast.TxtSave(env.dir / "whole.txt", false, false, start));
    EXPECT_GT(start, 0);
    EXPECT_TRUE(exported == ReadFileBytes(env.dir / "whole.txt"));
    for (const std::string& m : env.LogMessages())
        EXPECT_FALSE(m.starts_with("DataExtractionThread") || m.find("TxtSave") != std::string::npos)
            << m;
}

// The export's body step by step on the fake clock, over the rows of a finished cast: which wake
// exports what, in each mode.
TEST_F(TRTCastTest, ExportBodyExportsByModeAndEndsWithTheFinalForm) {
    ASSERT_TRUE(rt.Start(Files()));
    ASSERT_TRUE(WaitForFrames(300));
    ASSERT_TRUE(rt.Stop(TCloseAnswer::SaveAndExit));
    std::int32_t rows = 0;
    ASSERT_TRUE(env.cast.TxtSave(env.dir / "whole.txt", false, false, rows));
    const std::string whole = ReadFileBytes(env.dir / "whole.txt");
    ASSERT_GT(rows, 1);

    struct TCase {
        TAutomaticTextDataExportMode mode;
        bool append;
        bool realTime;
        int periodicExports; // after one start and two time-outs
        bool keepsOld;       // the final export is appended to what the file held
    } cases[] = {
        {TEMOnTimeout, false, true, 2, false}, // the second time-out finds no new row
        {TEMOnTimeout, true, true, 2, false},
        {TEMOnTimeout, false, false, 0, false}, // not in real time: no periodic export
        {TEMOnEndAcquisition, false, true, 0, false},
        {TEMOnEndAcquisition, true, true, 0, true},
    };
    int n = 0;
    for (const TCase& c : cases) {
        SCOPED_TRACE(n);
        const fs::path file = env.dir / ("auto" + std::to_string(n++) + ".txt");
        std::ofstream(file, std::ios::binary) << "old\r\n";
        env.cast.Acqui.RealTimeOn = c.realTime;
        TCastRowLock lock;
        TDataExtractionThread x(env.cast, lock);
        x.Initialize({c.mode, 1000, c.append});
        x.Prepare(file);
        EXPECT_TRUE(x.Wake(true)); // the start
        EXPECT_EQ(x.Exports(), 0);
        EXPECT_TRUE(x.Wake(false));
        EXPECT_TRUE(x.Wake(false));
        EXPECT_EQ(x.Exports(), c.periodicExports);
        if (c.periodicExports > 0) {
            EXPECT_EQ(x.StartIdx(), rows);
            EXPECT_TRUE(ReadFileBytes(file) == "old\r\n" + whole) << "the rows, appended once";
        }
        x.RequestTerminate();
        EXPECT_FALSE(x.Wake(true));
        EXPECT_EQ(x.Exports(), c.periodicExports + 1);
        EXPECT_TRUE(ReadFileBytes(file) == (c.keepsOld ? "old\r\n" + whole : whole));
    }
    env.cast.Acqui.RealTimeOn = false;
}

TEST(AutomaticExport, FileNameAndPeriodFollowTheConfiguration) {
    TConfig config;
    config.GenCfg.CruiseName.Set("CR");
    TExtractionTextFoldersCfg& x = config.ExtractionFoldersCfg;
    x.AutomaticTextDataExportMode = TEMDisabled;
    x.AutomaticTextDataExportCastFileName = 0;
    x.AutomaticTextDataExportFileName.Set("/fixed/all.txt");
    const fs::path root = "/data";
    EXPECT_EQ(AutomaticExportFileName(config, root, "/data/CR/raw/CR004.raw"), fs::path());
    x.AutomaticTextDataExportMode = TEMOnTimeout;
    EXPECT_EQ(AutomaticExportFileName(config, root, "/data/CR/raw/CR004.raw"),
              fs::path("/data/CR/txt/CR004.txt"));
    x.AutomaticTextDataExportCastFileName = 1;
    EXPECT_EQ(AutomaticExportFileName(config, root, "/data/CR/raw/CR004.raw"),
              fs::path("/fixed/all.txt"));
    x.AutomaticTextDataExportFileName.Set("");
    EXPECT_EQ(AutomaticExportFileName(config, root, "/data/CR/raw/CR004.raw"), fs::path());

    const struct {
        double seconds;
        std::uint32_t ms;
    } periods[] = {{0, 10'000}, {2.5, 2'500}, {-1, 10'000}, {1e9, 86'400'000}};
    for (const auto& p : periods) {
        x.AutomaticTextDataExportTimeout = p.seconds / 86'400.0;
        EXPECT_EQ(TExtractionSetup::From(x).periodMs, p.ms) << p.seconds;
    }
}

} // namespace
} // namespace marevo
