// The batch processor on a temporary data root: a cruise of three imported casts processed
// again under another configuration, compared with the same casts processed one by one; the
// loop rules, the command list's editing and its ".bal" files.

#include "shell/Batch.h"

#include "foundation/FileNames.h"
#include "records/ConfigFields.h"
#include "shell/MainShell.h"
#include "support/AppEnv.h"
#include "support/Cruises.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>

namespace marevo {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;

// Every file under folder with a hash of its bytes.
std::map<std::string, std::size_t> Files(const fs::path& folder) {
    std::map<std::string, std::size_t> files;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        if (e.is_regular_file())
            files[fs::relative(e.path(), folder).string()] =
                std::hash<std::string>{}(ReadFileBytes(e.path()));
    return files;
}

TBatchCmdArray Codes(std::initializer_list<int> codes) {
    TBatchCmdArray list;
    std::memset(&list, 0, sizeof list);
    for (int c : codes)
        list.Codes[list.count++] = static_cast<std::uint8_t>(c);
    return list;
}

std::string Bytes(const TBatchCmdArray& list) {
    return std::string(reinterpret_cast<const char*>(&list), sizeof list);
}

struct TBatchTest : ::testing::Test {
    fs::path Root() const { return env.dir / "data"; }
    fs::path Cruise() const { return Root() / "CR"; }
    fs::path Bin(int k) const { return Cruise() / "bin" / ("CR" + CastNumberText(k) + ".bin"); }
    fs::path Raw(int k) const { return Cruise() / "raw" / ("CR" + CastNumberText(k) + ".raw"); }
    fs::path Cfg() const { return Root() / "Cfg"; }

    // Cruise CR of three casts of the same recording, imported under the current configuration;
    // "Marevo5Cfg1" bins them on another grid. The cruise folder is kept aside in "kept".
    void SetUp() override {
        ASSERT_TRUE(shell.StartUp().completed);
        env.environ.Preferences.AutoCfgCheck = 0;
        ASSERT_TRUE(test::MakeImportedCruise(shell, env, 3));

        std::vector<std::string> refused;
        ASSERT_TRUE(SetConfigFields(env.config, {"AcquiCfg.VertStep=0.5"}, refused));
        ASSERT_TRUE(env.config.SaveToFile(Cfg() / "Marevo5Cfg1.cfg", env.Collections()));
        ASSERT_TRUE(env.config.ReadFromFile(env.environ.ConfigFileName(), env.Collections()));
        fs::copy(Cruise(), env.dir / "kept", fs::copy_options::recursive);
        shell.OpenDataFile(Bin(99), FileTypeBinary); // nothing in hand
        env.op.Clear();
    }

    // The cruise folder as it was after the import, the current configuration read again.
    void Restore() {
        fs::remove_all(Cruise());
        fs::copy(env.dir / "kept", Cruise(), fs::copy_options::recursive);
        env.environ.ConfigName.Set(config);
        ASSERT_TRUE(env.config.ReadFromFile(env.environ.ConfigFileName(), env.Collections()));
    }

    // Each cast as reprocess and export do it: its raw file replayed under Marevo5Cfg1, its
    // binary file and cruise-file block written, then its text export from the binary file.
    std::map<std::string, std::size_t> OneByOne(std::initializer_list<int> casts) {
        EXPECT_TRUE(shell.OpenConfig(Cfg() / "Marevo5Cfg1.cfg"));
        for (int k : casts) {
            EXPECT_TRUE(shell.OpenDataFile(Raw(k), FileTypeRaw));
            EXPECT_EQ(env.cast.BinSave(Bin(k)), ParaOk);
            EXPECT_TRUE(shell.CruiseFile().UpdateLast());
            EXPECT_TRUE(shell.OpenDataFile(Bin(k), FileTypeBinary));
            EXPECT_TRUE(shell.ExportCastText(shell.ProposedCastText()));
        }
        return Files(Cruise());
    }

    bool Shown(const std::string& event) const {
        const auto e = env.op.Events();
        return std::any_of(e.begin(), e.end(),
                           [&](const std::string& s) { return s.find(event) != std::string::npos; });
    }

    test::TAppEnv env;
    IShellView view;
    TMainShell shell{env, view};
    TBatchTool batch{shell};
    std::string config = env.environ.ConfigName.Get();
};

TEST_F(TBatchTest, ARunEqualsTheCastsReprocessedAndExportedOneByOne) {
    config = env.environ.ConfigName.Get();
    const auto expected = OneByOne({1, 2, 3});
    Restore();
    ASSERT_NE(Files(Cruise()), expected) << "Marevo5Cfg1 must change the casts";

    batch.list = Codes({Bc_LoadCfg1, Bc_BeginLoop, Bc_ReadRaw, Bc_SaveAsBin, Bc_SaveAsText,
                        Bc_EndLoop});
    batch.FileList = {"CR001", "CR002", "CR003"};
    const TBatchRunResult result = batch.Execute();
    EXPECT_TRUE(result.Ok()) << ::testing::PrintToString(env.op.Events());
    EXPECT_TRUE(Files(Cruise()) == expected);
    EXPECT_EQ(env.op.Status(), "Batch: 3 casts, 0 failed");
    const auto events = env.op.Events();
    EXPECT_EQ(std::count_if(events.begin(), events.end(),
                            [](const std::string& e) { return e.starts_with("Progress Batch"); }),
              4);
}

// A failed read leaves the previous cast in hand: the entry stops there and nothing is written
// under its name.
TEST_F(TBatchTest, AMissingRawFileFailsOnlyItsEntry) {
    config = env.environ.ConfigName.Get();
    fs::remove(Raw(2));
    fs::remove(env.dir / "kept" / "raw" / "CR002.raw");
    const auto withoutRaw = OneByOne({1, 3});
    Restore();

    batch.list = Codes({Bc_LoadCfg1, Bc_BeginLoop, Bc_ReadRaw, Bc_SaveAsBin, Bc_SaveAsText,
                        Bc_EndLoop});
    batch.FileList = {"CR001", "CR002", "CR003"};
    const TBatchRunResult result = batch.Execute();
    EXPECT_EQ(result.failed, std::vector<std::string>{"CR002"});
    EXPECT_EQ(env.op.Status(), "Batch: 3 casts, 1 failed");
    EXPECT_TRUE(Files(Cruise()) == withoutRaw);
}

TEST_F(TBatchTest, LoopCases) {
    struct TCase {
        const char* what;
        TBatchCmdArray list;
        std::string loaded; // the cast in hand after the run, "" none
        std::vector<std::string> failed;
        bool texts; // text exports written
    };
    const std::vector<TCase> cases = {
        {"a new installation's list walks the casts", DefaultBatchList(), "", {}, false},
        {"Read Bin before the loop is not run", Codes({Bc_ReadBin, Bc_BeginLoop, Bc_EndLoop}), "",
         {}, false},
        {"Read Bin after the loop is not run", Codes({Bc_BeginLoop, Bc_EndLoop, Bc_ReadBin}), "",
         {}, false},
        {"the loop", Codes({Bc_BeginLoop, Bc_ReadBin, Bc_EndLoop}), "CR003", {}, false},
        {"the later BEGIN LOOP starts it",
         Codes({Bc_BeginLoop, Bc_SaveAsText, Bc_BeginLoop, Bc_ReadBin, Bc_EndLoop}), "CR003", {},
         false},
        {"END LOOP before BEGIN LOOP runs nothing",
         Codes({Bc_EndLoop, Bc_ReadBin, Bc_BeginLoop}), "", {}, false},
        {"an export without a read of its entry fails", Codes({Bc_BeginLoop, Bc_SaveAsText,
                                                               Bc_EndLoop}),
         "", {"CR001", "CR002", "CR003"}, false},
        {"an entry that is no cast of a cruise fails with nothing opened",
         Codes({Bc_BeginLoop, Bc_ReadBin, Bc_SaveAsText, Bc_EndLoop}), "", {}, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(Cruise() / "txt");
        shell.OpenDataFile(Bin(99), FileTypeBinary);
        batch.list = c.list;
        batch.FileList = {"CR001", "CR002", "CR003"};
        std::vector<std::string> failed = c.failed;
        if (std::string(c.what).starts_with("an entry")) {
            batch.FileList = {"../CR001", "CR/001", "ZZ001", "CR000", "CR1000", " "};
            failed = {"../CR001", "CR/001", "ZZ001", "CR000", "CR1000", ""};
        }
        const TBatchRunResult result = batch.Execute();
        EXPECT_EQ(result.failed, failed);
        EXPECT_EQ(shell.CastLoaded() ? env.cast.Loaded.FileLoaded.stem().string() : "", c.loaded);
        EXPECT_EQ(fs::exists(Cruise() / "txt" / "CR001.txt"), c.texts);
    }
}

// A configuration that cannot be loaded would process every cast wrongly: nothing is written.
TEST_F(TBatchTest, AConfigurationThatDoesNotLoadStopsTheRunBeforeTheLoop) {
    const auto before = Files(Cruise());
    batch.list = Codes({Bc_LoadCfg3, Bc_BeginLoop, Bc_ReadRaw, Bc_SaveAsBin, Bc_EndLoop});
    batch.FileList = {"CR001", "CR002"};
    const TBatchRunResult result = batch.Execute();
    EXPECT_FALSE(result.started);
    EXPECT_EQ(result.failed, (std::vector<std::string>{"CR001", "CR002"}));
    EXPECT_TRUE(Shown("[Error]: Invalid configuration file: " + (Cfg() / "Marevo5Cfg3.cfg").string() +
                      "\n\rThe current configuration will be reloaded!"));
    EXPECT_TRUE(Files(Cruise()) == before);
    EXPECT_FALSE(shell.CastLoaded());
}

// A binary file that cannot be written leaves the cast's block in the cruise file alone.
TEST_F(TBatchTest, AFailedBinaryWriteKeepsTheCruiseFile) {
    const std::string cruise = ReadFileBytes(Cruise() / "CR.cru");
    fs::remove(Bin(1));
    fs::create_directory(Bin(1));
    batch.list = Codes({Bc_BeginLoop, Bc_ReadRaw, Bc_SaveAsBin, Bc_SaveAsText, Bc_EndLoop});
    batch.FileList = {"CR001"};
    EXPECT_EQ(batch.Execute().failed, std::vector<std::string>{"CR001"});
    EXPECT_TRUE(ReadFileBytes(Cruise() / "CR.cru") == cruise);
    EXPECT_FALSE(fs::exists(Cruise() / "txt" / "CR001.txt"));
}

TEST_F(TBatchTest, CancelStopsAfterTheCurrentCast) {
    batch.list = Codes({Bc_BeginLoop, Bc_ReadBin, Bc_EndLoop});
    batch.FileList = {"CR001", "CR002", "CR003"};
    env.op.CancelProgressAt(2);
    const TBatchRunResult result = batch.Execute();
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(result.failed, (std::vector<std::string>{"CR002", "CR003"}));
    EXPECT_EQ(env.cast.Loaded.FileLoaded.stem().string(), "CR001");
}

TEST_F(TBatchTest, PauseBeepsAndWaitsForItsBox) {
    batch.list = Codes({Bc_BeginLoop, Bc_Pause, Bc_EndLoop});
    batch.FileList = {"CR001"};
    EXPECT_TRUE(batch.Execute().Ok());
    EXPECT_TRUE(Shown("Beep 4100 1000"));
    EXPECT_TRUE(Shown("Message Information []: Pause"));
}

TEST_F(TBatchTest, OverlayNeedsTwoEntriesAndKeepsTheList) {
    batch.list = Codes({Bc_BeginLoop, Bc_SaveAsText, Bc_EndLoop});
    const std::string list = Bytes(batch.list);
    batch.FileList = {"CR001"};
    EXPECT_FALSE(batch.Overlay());
    EXPECT_FALSE(shell.CastLoaded());
    batch.FileList = {"CR003", "CR001"};
    EXPECT_TRUE(batch.Overlay());
    EXPECT_EQ(env.cast.Loaded.FileLoaded.stem().string(), "CR001");
    EXPECT_TRUE(Bytes(batch.list) == list);
    EXPECT_FALSE(fs::exists(Cruise() / "txt" / "CR001.txt"));
}

TEST_F(TBatchTest, EditingRefusesPositionsOutOfBoundsAndAFullList) {
    EXPECT_TRUE(batch.insert(1, Bc_ReadRaw)); // BEGIN, Read Raw, END
    EXPECT_TRUE(batch.insert(3, Bc_Pause));   // appended
    EXPECT_EQ(batch.Count(), 4);
    EXPECT_EQ(batch.Code(1), Bc_ReadRaw);
    EXPECT_EQ(batch.Code(3), Bc_Pause);
    const std::string kept = Bytes(batch.list);
    for (int p : {-1, 5}) {
        env.op.Clear();
        EXPECT_FALSE(batch.insert(p, Bc_ReadBin));
        EXPECT_TRUE(Shown("[Error]: Batch function"));
        EXPECT_TRUE(Bytes(batch.list) == kept);
    }
    EXPECT_FALSE(batch.Delete(4));
    EXPECT_TRUE(Bytes(batch.list) == kept);
    EXPECT_TRUE(batch.Delete(1));
    EXPECT_EQ(batch.Count(), 3);
    EXPECT_EQ(batch.Code(1), Bc_EndLoop);

    while (batch.Count() < MaxBatchCommands)
        ASSERT_TRUE(batch.Add(Bc_Pause));
    const std::string full = Bytes(batch.list);
    env.op.Clear();
    EXPECT_FALSE(batch.Add(Bc_ReadBin));
    EXPECT_TRUE(Shown("Beep"));
    EXPECT_FALSE(batch.insert(0, Bc_ReadBin));
    EXPECT_TRUE(Bytes(batch.list) == full);

    EXPECT_EQ(TBatchTool::IndexOfCmd("Save Bottle As Text"), 9);
    EXPECT_EQ(TBatchTool::IndexOfCmd("END LOOP"), 17);
    EXPECT_EQ(TBatchTool::IndexOfCmd("Nothing"), -1);
}

TEST_F(TBatchTest, TheDefaultListSavesAsItsFiftySixBytesAndLoadsBack) {
    batch.Create();
    const fs::path bal = env.dir / "default.bal";
    ASSERT_TRUE(batch.SaveCmd(bal));
    std::string expected(56, '\0');
    expected[0] = 16;
    expected[1] = 17;
    expected[52] = 2;
    EXPECT_TRUE(ReadFileBytes(bal) == expected);
    batch.list = Codes({Bc_ReadBin});
    ASSERT_TRUE(batch.LoadCmd(bal));
    EXPECT_TRUE(Bytes(batch.list) == expected);
}

TEST_F(TBatchTest, BadBatchFilesAreRefusedAndTheListKept) {
    std::string good(56, '\0');
    good[0] = 16;
    good[1] = 17;
    good[52] = 2;
    const auto with = [&](std::size_t at, char byte) {
        std::string s = good;
        s[at] = byte;
        return s;
    };
    struct TCase {
        const char* what;
        std::string bytes;
    };
    const std::vector<TCase> cases = {
        {"short", good.substr(0, 55)},
        {"long", good + '\0'},
        {"count 52", with(52, 52)},
        {"count -1", std::string(good.substr(0, 52)) + std::string(4, '\xff')},
        {"code 18", with(1, 18)},
        {"empty", ""},
    };
    batch.list = Codes({Bc_LoadCfg2, Bc_BeginLoop, Bc_ReadBin, Bc_EndLoop});
    const std::string kept = Bytes(batch.list);
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path bal = env.dir / "bad.bal";
        std::ofstream(bal, std::ios::binary | std::ios::trunc) << c.bytes;
        env.op.Clear();
        EXPECT_FALSE(batch.LoadCmd(bal));
        EXPECT_TRUE(Shown("[Error]: Open Batch File"));
        EXPECT_TRUE(Bytes(batch.list) == kept);
    }
    EXPECT_FALSE(batch.LoadCmd(env.dir / "missing.bal"));
}

TEST_F(TBatchTest, TheEnvironmentsListsAndABadCommandListThere) {
    env.environ.BatchCmdList = Codes({Bc_BeginLoop, Bc_ReadBin, Bc_EndLoop});
    env.environ.BatchFileList = {"CR002"};
    batch.FromEnviron();
    EXPECT_EQ(batch.Count(), 3);
    EXPECT_EQ(batch.FileList, std::vector<std::string>{"CR002"});
    env.environ.BatchCmdList.Codes[1] = 40;
    batch.FromEnviron();
    EXPECT_TRUE(Bytes(batch.list) == Bytes(DefaultBatchList()));

    TBatchTool fresh(shell);
    EXPECT_EQ(fresh.FileList, std::vector<std::string>{"CR002"});
    env.environ.BatchFileList.clear();
    fresh.Create();
    EXPECT_EQ(fresh.FileList, (std::vector<std::string>{"qvtst001", "qvtst002", "qvtst003"}));
}

} // namespace
} // namespace marevo
