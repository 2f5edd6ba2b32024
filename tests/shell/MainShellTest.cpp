// The main window's logic without widgets, on a temporary data root: start-up and closing, a
// cruise of four imported casts to open, walk, save and export, the configuration commands.

#include "shell/CruiseEditor.h"
#include "shell/MainShell.h"

#include "foundation/FileNames.h"
#include "support/AppEnv.h"
#include "support/Cruises.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <map>

namespace marevo {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;

// What the shell asked of its windows, one word per call.
struct TRecordingView : IShellView {
    void ClearDataWindows() override { calls.push_back("clear"); }
    void SetPlotCaption(const std::string& c) override { caption = c; }
    void RebuildPlot() override { calls.push_back("plot"); }
    void RefreshValues(bool rows) override { calls.push_back(rows ? "values+rows" : "values"); }
    std::vector<std::string> calls;
    std::string caption;
};

// Every file under root with a hash of its bytes, the event logs left out.
std::map<std::string, std::size_t> Files(const fs::path& root) {
    std::map<std::string, std::size_t> files;
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file() && !e.path().filename().string().starts_with("log_"))
            files[e.path().string()] = std::hash<std::string>{}(ReadFileBytes(e.path()));
    return files;
}

struct TMainShellTest : ::testing::Test {
    fs::path Root() const { return env.dir / "data"; }
    fs::path Bin(int k) const { return Root() / "CR" / "bin" / ("CR" + CastNumberText(k) + ".bin"); }
    fs::path CruisePath() const { return Root() / "CR" / "CR.cru"; }

    // Cruise CR with four casts of the same recording: cast 2 marked invalid, cast 3 without
    // its binary file.
    void MakeCruise() {
        ASSERT_TRUE(test::MakeImportedCruise(shell, env, 4))
            << ::testing::PrintToString(env.op.Events());
        TCruisefile file;
        ASSERT_TRUE(file.OpenCruiseFile(CruisePath()));
        ASSERT_TRUE(file.ReadCastNb1(2));
        file.CastInfoc.Cast.InvalidCast = 1;
        ASSERT_TRUE(file.WriteCastNb());
        file.CloseCruiseFile();
        fs::remove(Bin(3));
        env.op.Clear();
    }

    bool Shown(const std::string& event) const {
        const auto e = env.op.Events();
        return std::any_of(e.begin(), e.end(),
                           [&](const std::string& s) { return s.find(event) != std::string::npos; });
    }

    test::TAppEnv env;
    TRecordingView view;
    TMainShell shell{env, view};
};

TEST_F(TMainShellTest, FirstStartOnAnEmptyRootThenCloseKeepsTheLastCast) {
    const TStartUpResult start = shell.StartUp();
    ASSERT_TRUE(start.completed) << ::testing::PrintToString(env.LogMessages());
    EXPECT_TRUE(start.settings.paramColCreated);
    EXPECT_TRUE(start.settings.configCreated);
    EXPECT_TRUE(fs::exists(Root() / "Cfg" / "Param.col"));
    EXPECT_EQ(TMainShell::Caption().rfind("MAREVO ", 0), 0u);
    shell.FirstShow();
    EXPECT_EQ(env.environ.LastFile.Get(), "");
    const auto panels = shell.Panels();
    EXPECT_EQ(panels[0], "Cruise");
    EXPECT_EQ(panels[5], env.environ.ConfigName.Get());

    MakeCruise();
    ASSERT_TRUE(shell.OpenCast("CR", 4));
    EXPECT_EQ(view.caption, "Cast: CR004.bin");
    EXPECT_EQ(shell.Panels()[3], "4");
    shell.Close();

    // The next start reopens cast 4.
    TRecordingView view2;
    TMainShell next(env, view2);
    ASSERT_TRUE(next.StartUp().completed);
    EXPECT_EQ(env.environ.LastFile.Get(), "CR004");
    next.FirstShow();
    EXPECT_EQ(next.LoadedCastNumber(), 4);
}

TEST_F(TMainShellTest, NavigationSkipsInvalidCastsAndMissingFiles) {
    ASSERT_TRUE(shell.StartUp().completed);
    MakeCruise();
    ASSERT_TRUE(shell.OpenCast("CR", 1));
    shell.Next();
    EXPECT_EQ(shell.LoadedCastNumber(), 4);
    EXPECT_FALSE(shell.Tools().nextEnabled);
    shell.Previous(); // 3 has no binary file, 2 is invalid
    EXPECT_EQ(shell.LoadedCastNumber(), 1);
    EXPECT_FALSE(shell.Tools().precEnabled);
    env.op.Clear();
    shell.Previous();
    EXPECT_EQ(env.op.Events(), std::vector<std::string>{"Beep 0 0"});
    EXPECT_EQ(shell.LoadedCastNumber(), 1);
}

TEST_F(TMainShellTest, CruiseEditorWritesHeadersAndCheckMarksBackAndRestoresTheCruise) {
    ASSERT_TRUE(shell.StartUp().completed);
    MakeCruise();
    env.config.GenCfg.CruiseName.Set("ELSEWHERE");
    {
        TCruiseEditor editor(env);
        EXPECT_EQ(editor.Cruises(), std::vector<std::string>{"CR"});
        EXPECT_EQ(editor.Cruise(), "CR");
        EXPECT_EQ(editor.ShownCast(), 0);
        std::vector<bool> checks;
        for (const TCastListItem& c : editor.Casts())
            checks.push_back(c.checked);
        EXPECT_EQ(checks, (std::vector<bool>{true, true, false, true, true}));
        EXPECT_EQ(editor.Casts()[0].text.rfind("Cruise : ", 0), 0u);

        EXPECT_FALSE(editor.SetChecked(0, false)); // the cruise header stays checked
        EXPECT_TRUE(editor.SetChecked(2, true));
        EXPECT_TRUE(editor.SetChecked(4, false));
        ASSERT_TRUE(editor.SelectCast(1));
        editor.Header().InfoStr[1].Set("Station 7");
        editor.Header().comment.Set("calm sea");
        ASSERT_TRUE(editor.SelectCast(0)); // writes cast 1 back
        editor.Header().InfoStr[3].Set("RV Test");
    } // closing writes the cruise header back
    EXPECT_EQ(env.config.GenCfg.CruiseName.Get(), "ELSEWHERE");

    TCruisefile file;
    ASSERT_TRUE(file.OpenCruiseFile(CruisePath()));
    const auto read = [&](int k) {
        EXPECT_TRUE(file.ReadCastNb1(k));
        return file.CastInfoc.Cast;
    };
    EXPECT_EQ(read(0).InfoStr[3].Get(), "RV Test");
    EXPECT_EQ(read(1).InfoStr[1].Get(), "Station 7");
    EXPECT_EQ(read(1).comment.Get(), "calm sea");
    EXPECT_EQ(read(2).InvalidCast, 0);
    EXPECT_EQ(read(4).InvalidCast, 1);
    file.CloseCruiseFile();

    // The main window's navigation follows the marks: 2 is back, 4 is left out.
    env.config.GenCfg.CruiseName.Set("CR");
    fs::copy_file(Bin(2), Bin(3));
    ASSERT_TRUE(shell.OpenCast("CR", 1));
    shell.Next();
    EXPECT_EQ(shell.LoadedCastNumber(), 2);
    ASSERT_TRUE(shell.OpenCast("CR", 3));
    shell.Next();
    EXPECT_EQ(shell.LoadedCastNumber(), 3);
}

TEST_F(TMainShellTest, ALastFileThatDoesNotOpenOrNamesNoCastIsCleared) {
    ASSERT_TRUE(shell.StartUp().completed);
    MakeCruise();
    struct TCase {
        const char* lastFile;
        bool failStatus;
    } cases[] = {{"CR003", true}, {"CR009", true}, {"../x/CR001", false}, {"CR001.bin", false}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.lastFile);
        env.environ.LastFile.Set(c.lastFile);
        env.environ.LastType = FileTypeBinary;
        env.op.Clear();
        shell.FirstShow();
        EXPECT_EQ(env.environ.LastFile.Get(), "");
        EXPECT_EQ(env.environ.LastType, FileTypeNone);
        EXPECT_FALSE(shell.CastLoaded());
        EXPECT_EQ(env.op.Status() == "Fail to open last data file", c.failStatus);
    }
}

TEST_F(TMainShellTest, SaveRewritesTheCastOnlyOverAWrittenFile) {
    ASSERT_TRUE(shell.StartUp().completed);
    EXPECT_FALSE(shell.Save());
    EXPECT_TRUE(Shown("No Data Loaded!"));
    MakeCruise();
    // A raw open shows the save button.
    ASSERT_TRUE(shell.OpenRawCast("CR", 1));
    EXPECT_TRUE(shell.Tools().saveVisible);

    // The binary file cannot be replaced (a folder stands in its place).
    fs::remove(Bin(1));
    fs::create_directory(Bin(1));
    const std::string cruiseBefore = ReadFileBytes(CruisePath());
    env.op.SetDefaultAnswer(true);
    EXPECT_FALSE(shell.Save());
    EXPECT_TRUE(Shown("Confirm [Save As Binary File]: Save Current Data as: CR001.BIN"));
    EXPECT_EQ(ReadFileBytes(CruisePath()), cruiseBefore);
    EXPECT_TRUE(shell.Tools().saveVisible);

    fs::remove(Bin(1));
    EXPECT_TRUE(shell.Save());
    EXPECT_TRUE(fs::is_regular_file(Bin(1)));
    EXPECT_FALSE(shell.Tools().saveVisible);
}

TEST_F(TMainShellTest, ARawFileOfACastTheCruiseLacksIsNotReplayed) {
    ASSERT_TRUE(shell.StartUp().completed);
    MakeCruise();
    const fs::path raw = Root() / "CR" / "raw" / "CR007.RAW";
    fs::copy_file(Root() / "CR" / "raw" / "CR001.raw", raw);
    ASSERT_TRUE(shell.OpenCast("CR", 1));
    EXPECT_FALSE(shell.OpenDataFile(fs::path(raw).replace_extension(".raw"), FileTypeRaw));
    EXPECT_FALSE(shell.CastLoaded());
    EXPECT_EQ(env.cast.Acqui.RawIndex, 0);
}

TEST_F(TMainShellTest, ExportsProposeTheCruisesTextFolderAndRefuseItsData) {
    ASSERT_TRUE(shell.StartUp().completed);
    MakeCruise();
    ASSERT_TRUE(shell.OpenCast("CR", 4));
    const fs::path txt = Root() / "CR" / "txt";
    EXPECT_EQ(shell.ProposedBottleText(), txt / "CR004_btl.txt");
    EXPECT_EQ(shell.ProposedHeaderText(), txt / "CR.txt");
    EXPECT_EQ(shell.ProposedCastText(), txt / "CR004.txt");
    EXPECT_TRUE(shell.ExportCastText(shell.ProposedCastText()));
    EXPECT_TRUE(shell.ExportHeaderText(shell.ProposedHeaderText()));
    EXPECT_GT(fs::file_size(txt / "CR004.txt"), 0u);
    EXPECT_GT(fs::file_size(txt / "CR.txt"), 0u);
    const std::string cruise = ReadFileBytes(CruisePath());
    EXPECT_FALSE(shell.ExportHeaderText(CruisePath()));
    EXPECT_EQ(ReadFileBytes(CruisePath()), cruise);
}

TEST_F(TMainShellTest, AnUnreadableConfigurationKeepsTheCurrentOneAndChangesNoFile) {
    ASSERT_TRUE(shell.StartUp().completed);
    const fs::path cfg = Root() / "Cfg";
    std::ofstream(cfg / "Bad.cfg", std::ios::binary) << "not a configuration";
    env.environ.Preferences.AutoCfgCheck = 0;
    env.config.GenCfg.DrawAutoX = 1; // a change not saved
    const auto before = Files(Root());
    const std::string name = env.environ.ConfigName.Get();

    EXPECT_FALSE(shell.OpenConfig(cfg / "Bad.cfg"));
    EXPECT_TRUE(Shown("[Error]: Invalid configuration file!\n\rThe current configuration will be "
                      "reloaded"));
    EXPECT_EQ(env.environ.ConfigName.Get(), name);
    EXPECT_EQ(Files(Root()), before);
    EXPECT_EQ(env.config.GenCfg.DrawAutoX, 0); // the file read again

    // Outside the configuration folder: refused, naming the folder.
    env.op.Clear();
    EXPECT_FALSE(shell.SaveConfigAs(env.dir / "elsewhere.cfg"));
    EXPECT_TRUE(Shown(cfg.string()));
    EXPECT_EQ(Files(Root()), before);

    EXPECT_TRUE(shell.SaveConfigAs(cfg / "Deep.cfg"));
    EXPECT_EQ(env.environ.ConfigName.Get(), "Deep");
    EXPECT_TRUE(shell.OpenConfig(cfg / "Deep.cfg"));
}

// The copies an interrupted cast leaves beside the environment, the configuration and the cruise
// file: OK puts the copy in place, Cancel keeps the file, the copy goes either way.
TEST_F(TMainShellTest, RecoveryCopiesOfTheThreeFiles) {
    ASSERT_TRUE(shell.StartUp().completed);
    MakeCruise();
    shell.Close();
    const fs::path environ = Root() / "Cfg" / "Environ.env";
    const fs::path config = env.environ.ConfigFileName();
    int round = 0; // each change gives another version
    struct TCase {
        fs::path file;
        std::function<void()> change; // a valid other version of the file
    } files[] = {
        {environ, [&] {
             env.environ.LastFile.Set("CR00" + std::to_string(++round % 9 + 1));
             env.environ.EnvToFile({});
         }},
        {config, [&] {
             env.config.GenCfg.DrawAutoX = ++round % 2;
             env.config.SaveToFile(config, env.Collections());
         }},
        {CruisePath(), [&] {
             TCruisefile f;
             ASSERT_TRUE(f.OpenCruiseFile(CruisePath()));
             f.CastInfoc.Cast = f.CastInfoc.Cruise;
             f.CastInfoc.Cast.comment.Set("changed " + std::to_string(++round));
             ASSERT_TRUE(f.WriteCastNb());
             f.CloseCruiseFile();
         }},
    };
    for (const bool ok : {true, false}) {
        for (TCase& c : files) {
            SCOPED_TRACE(c.file.string() + (ok ? " OK" : " Cancel"));
            const std::string before = ReadFileBytes(c.file);
            c.change();
            const std::string changed = ReadFileBytes(c.file);
            ASSERT_TRUE(changed != before);
            const fs::path copy = fs::path(c.file).replace_extension(".bak");
            std::ofstream(copy, std::ios::binary) << before;

            TRecordingView view2;
            TMainShell next(env, view2);
            env.op.SetDefaultAnswer(ok);
            ASSERT_TRUE(next.StartUp().completed);
            ASSERT_TRUE(next.OpenCast("CR", 1));
            EXPECT_EQ(ReadFileBytes(c.file) == before, ok);
            EXPECT_EQ(ReadFileBytes(c.file) == changed, !ok);
            EXPECT_FALSE(fs::exists(copy));
            // The next case starts from what is there now.
            if (ok)
                std::ofstream(c.file, std::ios::binary | std::ios::trunc) << changed;
        }
    }
}

TEST_F(TMainShellTest, ToolButtonsNeedACastAndSmoothingEnoughRows) {
    ASSERT_TRUE(shell.StartUp().completed);
    // Without a cast each button is released with a beep.
    for (const auto& press : std::vector<std::function<void()>>{
             [&] { shell.SetAutoScale(true, true); }, [&] { shell.SetAutoScale(false, true); },
             [&] { shell.SetSmooth(true); }, [&] { shell.SetShowCursor(true); }}) {
        env.op.Clear();
        press();
        EXPECT_EQ(env.op.Events(), std::vector<std::string>{"Beep 0 0"});
    }
    const TToolState& t = shell.Tools();
    EXPECT_FALSE(t.autoX || t.autoY || t.smooth || t.cursor);

    MakeCruise();
    ASSERT_TRUE(shell.OpenCast("CR", 1));
    const int rows = env.cast.Bin.SortInfo.MaxIndex + 1;
    ASSERT_GT(rows, 2);
    ASSERT_TRUE(env.config.CurParaPtr[0]);
    TParaSmooth& smooth = env.config.CurParaPtr[0]->ParaSmooth;
    smooth.SmoothType = Smo_Mean;
    smooth.FilterLength(Smo_Mean) = rows + 1;
    shell.SetSmooth(true);
    EXPECT_FALSE(t.smooth);
    EXPECT_TRUE(Shown("[Warning]: Smoothing not applicable on some parameter"));
    smooth.FilterLength(Smo_Mean) = rows;
    shell.SetSmooth(true);
    EXPECT_TRUE(t.smooth);
    EXPECT_EQ(env.config.GenCfg.DrawSmooth, 1);
}

TEST_F(TMainShellTest, RebuildTakesOnlyACruiseOfTheDataRoot) {
    ASSERT_TRUE(shell.StartUp().completed);
    MakeCruise();
    const fs::path elsewhere = env.dir / "CR.cru";
    fs::copy_file(CruisePath(), elsewhere);
    EXPECT_EQ(shell.RebuildCruise(elsewhere).outcome, TRebuildOutcome::Failed);
    EXPECT_TRUE(Shown("[Rebuild cruise file]: Only the cruise file of a cruise folder"));
    const TRebuildResult r = shell.RebuildCruise(CruisePath());
    EXPECT_EQ(r.outcome, TRebuildOutcome::Rebuilt);
    EXPECT_EQ(r.casts, 4);
}

TEST_F(TMainShellTest, ClosingAfterAFailedStartWritesNothing) {
    fs::create_directories(Root() / "Cfg");
    std::ofstream(Root() / "Cfg" / "Environ.env", std::ios::binary) << std::string(64, 'x');
    const auto before = Files(Root());
    EXPECT_FALSE(shell.StartUp().completed);
    shell.Close();
    EXPECT_EQ(Files(Root()), before);
}

} // namespace
} // namespace marevo
