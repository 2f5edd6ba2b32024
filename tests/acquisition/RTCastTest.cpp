// A real-time cast against the simulated probe, in fake time: the start, the worker on its
// thread, the stop.

#include "acquisition/RTCast.h"

#include "SimDevice.h"
#include "SimProbe.h"
#include "SimProfile.h"
#include "acquisition/CastFilesAside.h"
#include "probelink/FileComm.h"
#include "probelink/QvlUtil.h"
#include "probelink/RawStream.h"
#include "storage/CruiseFile.h"
#include "support/AppEnv.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
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
        rt.OpenProbePort = [this] { return Port(); };
        rt.OpenSource = [this](const fs::path& raw, TParamCollection& cast, bool& isOpen) {
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

} // namespace
} // namespace marevo
