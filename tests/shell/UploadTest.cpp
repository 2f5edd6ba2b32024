// The memory upload against the simulated probe, in fake time: the cast list, the transfer of
// the selected casts with lost, flipped and stalled sets, abort, skip and failures.

#include "shell/Upload.h"

#include "SimDevice.h"
#include "SimProbe.h"
#include "SimProfile.h"
#include "foundation/FileNames.h"
#include "probelink/FileComm.h"
#include "probelink/RawStream.h"
#include "shell/MainShell.h"
#include "storage/CruiseFile.h"
#include "support/AppEnv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace marevo {
namespace {

namespace fs = std::filesystem;
using sim::TSimMemoryCast;
using sim::TSimProbe;
using sim::TSimProbeSettings;
using sim::TSimSetFault;
using test::ReadFileBytes;

// The dialog as the upload leaves it, and a hook on the progress text.
class TDialogHost final : public TShellUploadHost {
public:
    using TShellUploadHost::TShellUploadHost;
    void ResetDialog() override { ++resets; }
    void UnselectItem(int index) override { unselected.push_back(index); }
    void EnableSkipAbort() override { skipAbort = true; }
    void ShowResult(const std::string& text) override {
        result = text;
        if (onResult)
            onResult(text);
    }
    int resets = 0;
    bool skipAbort = false;
    std::vector<int> unselected;
    std::string result;
    std::function<void(const std::string&)> onResult;
};

// The main thread that runs the steps at once and counts them.
class TCountingMainThread final : public IMainThread {
public:
    void Run(const std::function<void()>& step) override {
        ++steps;
        step();
    }
    int steps = 0;
};

struct TUploadTest : ::testing::Test {
    TUploadTest() {
        env.probe.DefaultParamCol();
        std::copy(DefaultCommDelay.begin(), DefaultCommDelay.end(), env.environ.CommDelay);
    }

    // The probe in format with three recorded casts (120 linear, 240 timed, 360 linear sets at
    // 0.5 s) and the given transfer faults; the cruise CR current.
    void Make(int format, std::vector<TSimSetFault> faults,
              std::vector<TSimMemoryCast> memory = {}) {
        ASSERT_TRUE(shell.StartUp().completed);
        env.environ.DF7Enabling = 1;
        ASSERT_TRUE(shell.NewCruise([](TCastInfo& c) {
            c.InfoStr[1].Set("CR");
            c.InfoStr[2].Set("CR");
            return true;
        }));
        env.config.GenCfg.CruiseName.Set("CR");
        TSimProbeSettings s;
        s.format = format;
        s.formats = {format};
        if (memory.empty())
            for (int k = 1; k <= 3; ++k)
                memory.push_back({.number = k,
                                  .sets = 120 * k,
                                  .mode = k == 2 ? "TIMED" : "LINEAR",
                                  .name = "CAST00" + std::to_string(k),
                                  .interval = 0.5,
                                  .start = 46080.4 + k * 0.1});
        s.memory = memory;
        s.faults.setFaults = std::move(faults);
        probe = std::make_shared<TSimProbe>(s, sim::MakeSyntheticProfile());
        upload = std::make_unique<TUploadMemoryThread>(shell.CruiseFile(), host);
        upload->OpenProbePort = [this] { return Port(); };
        upload->OpenSource = [this](const fs::path& raw, TParamCollection& cast, bool& isOpen) {
            TRawStream::TPorts ports;
            ports.probe = Port();
            return TRawStream::CreateOnPorts(std::move(ports), isOpen, raw, &cast);
        };
    }
    std::unique_ptr<TFileCOMM> Port() {
        return std::make_unique<TFileCOMM>(std::make_unique<sim::TSimProbeDevice>(probe));
    }
    TUploadList List() {
        TQvlUtil qvl(&env.cast);
        return UpdateListBox(qvl, [this] { return Port(); });
    }
    // Lists the casts, selects those given (0-based) and runs the upload to its end.
    void Upload(const std::vector<int>& chosen) {
        const TUploadList list = List();
        ASSERT_TRUE(list.filled);
        std::vector<bool> selected(list.items.size(), false);
        for (int i : chosen)
            selected[static_cast<std::size_t>(i)] = true;
        upload->SetList(list.items, selected);
        commandsBefore = probe->Commands().size();
        upload->Start();
        upload->Pass();
        for (int pass = 0; pass < 100'000 && upload->Uploading(); ++pass)
            upload->Pass();
        ASSERT_FALSE(upload->Uploading());
    }
    // The probe commands since the upload started.
    std::vector<std::string> Commands() const {
        return {probe->Commands().begin() + static_cast<std::ptrdiff_t>(commandsBefore),
                probe->Commands().end()};
    }
    std::string Sets(int cast, int count) const {
        std::string bytes;
        for (int k = 0; k < count; ++k) {
            const auto set = probe->MemorySet(probe->Settings().memory[cast - 1], k);
            bytes.append(set.begin(), set.end());
        }
        return bytes;
    }
    fs::path Root() const { return env.dir / "data"; }
    fs::path Raw(int k) const { return Root() / "CR" / "raw" / ("CR" + CastNumberText(k) + ".raw"); }
    fs::path CruisePath() const { return Root() / "CR" / "CR.cru"; }
    bool Shown(const std::string& event) const {
        const auto e = env.op.Events();
        return std::any_of(e.begin(), e.end(),
                           [&](const std::string& s) { return s.find(event) != std::string::npos; });
    }
    bool SameAcquiCfg(const TAcquiCfg& a) const {
        return std::memcmp(&a, &env.config.AcquiCfg, sizeof a) == 0;
    }

    test::TAppEnv env;
    IShellView view;
    TMainShell shell{env, view};
    TDialogHost host{shell};
    std::shared_ptr<TSimProbe> probe;
    std::unique_ptr<TUploadMemoryThread> upload;
    std::size_t commandsBefore = 0;
};

struct TFormatCase {
    int format;
};

struct TUploadFormatTest : TUploadTest, ::testing::WithParamInterface<int> {};

TEST_P(TUploadFormatTest, LostFlippedAndStalledSetsAreSentAgainAndEveryCastIsStoredWhole) {
    const int format = GetParam();
    Make(format, {{TSimSetFault::Lose, 1, 40}, {TSimSetFault::Flip, 2, 70},
                  {TSimSetFault::Stall, 3, 100}});
    const TAcquiCfg before = env.config.AcquiCfg;
    Upload({0, 1, 2});

    const std::string name = "UploadProbeMemoryCastDF" + std::to_string(format);
    for (int frame : {40, 70, 100})
        EXPECT_TRUE(env.Logged(name + " failed calling GetOneSet: frame " + std::to_string(frame) +
                               " Retry: 3"))
            << frame;
    TCruisefile cruise;
    ASSERT_TRUE(cruise.OpenCruiseFile(CruisePath()));
    EXPECT_EQ(cruise.LastIndex, 3);
    for (int k = 1; k <= 3; ++k) {
        SCOPED_TRACE(k);
        EXPECT_TRUE(ReadFileBytes(Raw(k)) == Sets(k, 120 * k)); // no gap, no duplicate
        ASSERT_TRUE(cruise.ReadCastNb1(k));
        const TCastInfo& c = cruise.CastInfoc.Cast;
        EXPECT_EQ(c.DataSetNb, 120 * k);
        EXPECT_EQ(c.FrameError, 0);
        EXPECT_EQ(c.RawMode, k == 2 ? rm_timed : rm_linear);
        EXPECT_DOUBLE_EQ(c.ScanRate.ToDouble(), k == 2 ? 2.0 : 0.5);
        EXPECT_EQ(c.InfoStr[1].Get(), "CAST00" + std::to_string(k));
        // The start from the probe; the end as the replay of the raw file measured it.
        EXPECT_NEAR(c.CastTime[0], 46080.4 + k * 0.1, 1e-7);
        EXPECT_NEAR((c.CastTime[2] - c.CastTime[0]) * 86400, (120 * k - 1) * 0.5, 0.01);
    }
    cruise.CloseCruiseFile();
    for (int k = 1; k <= 3; ++k) {
        ASSERT_TRUE(shell.OpenCast("CR", k));
        EXPECT_EQ(env.cast.Bin.SortInfo.MaxIndex + 1, 120 * k) << k;
    }
    EXPECT_TRUE(SameAcquiCfg(before));
    EXPECT_EQ(host.unselected, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(host.result, "Upload cast: 3 of 3\r\nCast #3, Dataset #360 of #360");
    EXPECT_EQ(host.resets, 1);
    EXPECT_FALSE(probe->Transferring());
    EXPECT_EQ(shell.Mode(), TShellMode::Normal);
}

INSTANTIATE_TEST_SUITE_P(Formats, TUploadFormatTest, ::testing::Values(5, 6, 7));

TEST_F(TUploadTest, AbortDuringTheSecondCastKeepsTheFirstAndRestoresEverything) {
    Make(6, {});
    const TAcquiCfg before = env.config.AcquiCfg;
    const fs::path cfg = env.environ.ConfigFileName();
    ASSERT_TRUE(fs::exists(cfg));
    const std::string cfgBytes = ReadFileBytes(cfg);
    host.onResult = [&](const std::string& text) {
        if (text.find("Cast #2, Dataset #50 ") != std::string::npos)
            upload->Abort();
    };
    Upload({0, 1, 2});
    EXPECT_FALSE(probe->Transferring()); // the probe stopped sending
    EXPECT_EQ(probe->Commands().back(), "SO");
    TCruisefile cruise;
    ASSERT_TRUE(cruise.OpenCruiseFile(CruisePath()));
    EXPECT_EQ(cruise.LastIndex, 1);
    EXPECT_TRUE(SameAcquiCfg(before));
    EXPECT_TRUE(ReadFileBytes(cfg) == cfgBytes);
    EXPECT_EQ(shell.Mode(), TShellMode::Normal);
    EXPECT_FALSE(env.cast.Acqui.ProbeOnLine);
    EXPECT_EQ(host.resets, 1);
    // The cast abandoned keeps its bytes under a name no rebuild takes for a cast.
    EXPECT_FALSE(fs::exists(Raw(2)));
    fs::path partial = Raw(2);
    partial += ".partial";
    EXPECT_EQ(fs::file_size(partial) % static_cast<std::uintmax_t>(probe->FrameSize()), 0u);
    EXPECT_GE(fs::file_size(partial), 50u * probe->FrameSize());
}

TEST_F(TUploadTest, SkipDuringTheSecondCastStopsTheProbeAndGoesOnWithTheThird) {
    Make(6, {});
    host.onResult = [&](const std::string& text) {
        if (text.find("Cast #2, Dataset #50 ") != std::string::npos)
            upload->Skip();
    };
    Upload({0, 1, 2});
    const auto cmds = Commands();
    const auto cd3 = std::find(cmds.begin(), cmds.end(), "CD 3 0");
    ASSERT_NE(cd3, cmds.end());
    const auto cd2 = std::find(cmds.begin(), cmds.end(), "CD 2 0");
    EXPECT_NE(std::find(cd2, cd3, "SO"), cd3); // stopped before the third cast
    TCruisefile cruise;
    ASSERT_TRUE(cruise.OpenCruiseFile(CruisePath()));
    ASSERT_EQ(cruise.LastIndex, 2);
    ASSERT_TRUE(cruise.ReadCastNb1(2));
    EXPECT_EQ(cruise.CastInfoc.Cast.InfoStr[1].Get(), "CAST003");
    EXPECT_TRUE(ReadFileBytes(Raw(2)) == Sets(3, 360));
    EXPECT_EQ(host.unselected, (std::vector<int>{0, 1, 2}));
}

TEST_F(TUploadTest, OnlyTheSelectedCastsAreAskedForInListOrder) {
    std::vector<TSimMemoryCast> five;
    for (int k = 1; k <= 5; ++k)
        five.push_back({.number = k, .sets = 20, .name = "M" + std::to_string(k)});
    Make(6, {}, five);
    Upload({1, 3});
    const auto cmds = Commands();
    std::vector<std::string> asked;
    for (const std::string& c : cmds)
        if (c.starts_with("CS ") || c.starts_with("CD "))
            asked.push_back(c);
    EXPECT_EQ(asked, (std::vector<std::string>{"CS 2", "CS 2", "CD 2 0", "CS 4", "CS 4", "CD 4 0"}));
    EXPECT_EQ(host.unselected, (std::vector<int>{1, 3}));
    TCruisefile cruise;
    ASSERT_TRUE(cruise.OpenCruiseFile(CruisePath()));
    EXPECT_EQ(cruise.LastIndex, 2);
}

TEST_F(TUploadTest, ASetFailingThreeTimesEndsTheUploadAsAnAbortDoes) {
    Make(7, {{TSimSetFault::Flip, 1, 5, 3}});
    const TAcquiCfg before = env.config.AcquiCfg;
    Upload({0, 1});
    EXPECT_TRUE(Shown("Error uploading cast #1 from memory probe!"));
    EXPECT_TRUE(env.Logged("UploadProbeMemoryCastDF7 failed calling GetOneSet: frame 5 Retry: 1"));
    TCruisefile cruise;
    ASSERT_TRUE(cruise.OpenCruiseFile(CruisePath()));
    EXPECT_EQ(cruise.LastIndex, 0);
    EXPECT_TRUE(SameAcquiCfg(before));
    EXPECT_EQ(shell.Mode(), TShellMode::Normal);
    EXPECT_FALSE(probe->Transferring());
    EXPECT_EQ(host.resets, 1);
    const auto cmds = Commands();
    EXPECT_EQ(std::count(cmds.begin(), cmds.end(), std::string("CS 2")), 0);
}

TEST_F(TUploadTest, ACastTheProbeDescribesWithoutSetsFailsInsteadOfAppendingNothing) {
    Make(6, {});
    upload->SetList({"9 120 LINEAR CAST009 0.5 01-03-2026 10:00:00"}, {true});
    upload->Start();
    for (int pass = 0; pass < 1000 && (pass == 0 || upload->Uploading()); ++pass)
        upload->Pass();
    EXPECT_TRUE(env.Logged("UploadProbeMemoryCastDF6: the probe holds no data set of cast 9"));
    EXPECT_TRUE(Shown("Error uploading cast #9 from memory probe!"));
    EXPECT_FALSE(Shown("Cast Upload completed"));
    TCruisefile cruise;
    ASSERT_TRUE(cruise.OpenCruiseFile(CruisePath()));
    EXPECT_EQ(cruise.LastIndex, 0);
}

TEST_F(TUploadTest, TheSetsMoveOnTheWorkerAndOnlyTheProgressGoesToTheMainThread) {
    Make(5, {}, {{.number = 1, .sets = 400, .name = "LONG"}});
    TCountingMainThread counting;
    TRuntimeScope scope({nullptr, nullptr, &counting, nullptr});
    Upload({0});
    EXPECT_TRUE(ReadFileBytes(Raw(1)) == Sets(1, 400));
    // A cast's start, end and save and the environments take a handful of steps; the progress
    // one per 10 sets.
    EXPECT_LT(counting.steps, 400 / 10 + 20);
}

TEST_F(TUploadTest, AnEmptyMemoryGivesNoList) {
    Make(6, {}, {});
    probe = std::make_shared<TSimProbe>(
        [] {
            TSimProbeSettings s;
            s.memory.clear();
            return s;
        }(),
        sim::MakeSyntheticProfile());
    const TUploadList list = List();
    EXPECT_FALSE(list.filled);
    EXPECT_TRUE(list.items.empty());
    EXPECT_TRUE(Shown("No cast in memory !"));
}

TEST(UploadItems, CastNumberAndSelectionRules) {
    EXPECT_EQ(ItemCastNumber("12 360 LINEAR X 0.5 01-01-2026 00:00:00"), 12);
    EXPECT_EQ(ItemCastNumber("x12 360"), std::nullopt);
    EXPECT_EQ(ItemCastNumber(""), std::nullopt);
    EXPECT_EQ(ItemCastText("x12 360"), "x12");
    EXPECT_EQ(CountSelection({false, true, false, true}).CastCount, 2);
    EXPECT_TRUE(CountSelection({false, true}).uploadEnabled);
    EXPECT_FALSE(CountSelection({false, false}).uploadEnabled);
}

TEST(UploadItems, HeaderTakesTheProbesDescription) {
    TCastInfo c;
    TMemoryCast m;
    m.MemSetNb = 77;
    m.MemAcquiMode = rm_timed;
    m.MemInterval = 0.25L;
    m.MemCastName = std::string(50, 'N');
    m.MemDateTime = 46000.5;
    FillUploadedCastHeader(c, m);
    EXPECT_DOUBLE_EQ(c.ScanRate.ToDouble(), 4.0);
    EXPECT_EQ(c.InfoStr[1].Get(), std::string(40, 'N'));
    EXPECT_EQ(c.DataSetNb, 77);
    m.MemInterval = 0.01L; // too short to be a period: kept as it is
    FillUploadedCastHeader(c, m);
    EXPECT_DOUBLE_EQ(c.ScanRate.ToDouble(), 0.01);
}

} // namespace
} // namespace marevo
