// The main window off screen on a temporary data root: the first start, the modes on the real
// actions, an import as long work with its progress bar, the open-data dialog, one instance per
// data root and the manual.

#include "ui/MainForm.h"

#include "foundation/FileNames.h"
#include "foundation/Runtime.h"
#include "support/AppEnv.h"
#include "support/Cruises.h"
#include "ui/DataDialogs.h"
#include "ui/HelpViewer.h"
#include "ui/Instance.h"
#include "ui/PlotForm.h"
#include "ui/PrintDialogs.h"
#include "ui/QtSeams.h"
#include "ui/BottlesForm.h"
#include "ui/ValuesForm.h"

#include <QMenuBar>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QListWidget>
#include <QTextBrowser>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <fstream>

namespace marevo {
namespace {

namespace fs = std::filesystem;

struct TMainFormTest : ::testing::Test {
    TMainFormTest() {
        form.OpenDataDialog = [] { return std::nullopt; };
        form.NewCruiseDialog = [](TCastInfo& c) {
            c.InfoStr[1].Set("CR");
            c.InfoStr[2].Set("CR");
            return true;
        };
    }
    bool Enabled(const char* name) const { return form.Action(name)->isEnabled(); }
    // The window started on a new cruise CR holding one imported logger cast, shown.
    void ImportOneCast() {
        ASSERT_TRUE(form.StartUp());
        form.Action("FileNew")->trigger();
        env.config.GenCfg.CruiseName.Set("CR");
        const auto raws = test::LoggerCopies(env.dir / "logger", 1);
        form.LoggerFilesDialog = [raws] { return raws; };
        form.Action("ImportLoggersTool")->trigger();
        form.WaitLongWork();
        ASSERT_EQ(form.Shell().LoadedCastNumber(), 1);
    }

    test::TAppEnv env;
    TMainForm form{env};
};

TEST_F(TMainFormTest, FirstStartOnAnEmptyRootShowsTheCaptionAndPanels) {
    ASSERT_TRUE(form.StartUp()) << ::testing::PrintToString(env.LogMessages());
    form.FirstShow();
    form.WaitLongWork();
    EXPECT_EQ(form.windowTitle().toStdString(), TMainShell::Caption());
    EXPECT_TRUE(fs::exists(env.dir / "data" / "Cfg" / "Param.col"));
    EXPECT_EQ(env.environ.LastFile.Get(), "");
    const char* captions[] = {"Cruise", "No", "Config", "Bottle", "Duplic", "Alarm", "Status"};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(form.PanelText(2 * i).toStdString(), captions[i]);
    EXPECT_EQ(form.PanelText(5), QString::fromStdString(env.environ.ConfigName.Get()));
    EXPECT_FALSE(form.ProgressShown());
    // Normal mode: the save button waits for a raw file, the links are offline.
    EXPECT_FALSE(form.Action("SaveTool")->isVisible());
    EXPECT_EQ(form.LinkState(0), 0);
}

TEST_F(TMainFormTest, ModesSwitchTheRealActions) {
    ASSERT_TRUE(form.StartUp());
    // Batch leaves the items of the menus it turns off (and the imports) as they were.
    struct TRow {
        const char* action;
        bool normal, acquisition, batch;
    } rows[] = {
        {"FileMenu", true, false, false},     {"ViewMenu", true, true, false},
        {"StartCast", true, false, true},    {"StopCast", false, true, false},
        {"OpenConfig", true, false, true},   {"BatchMenu", true, false, true},
        {"FileOpen", true, false, false},     {"PrecTool", true, false, false},
        {"FireTool", false, false, false},    {"ImportRawTool", true, false, true},
        {"RemoteMenu", true, false, false},   {"AlarmSet", false, false, false},
    };
    TMainShell& shell = form.Shell();
    const auto check = [&](int column) {
        for (const TRow& r : rows) {
            const bool want = column == 0 ? r.normal : column == 1 ? r.acquisition : r.batch;
            EXPECT_EQ(Enabled(r.action), want) << r.action << " in mode " << column;
        }
    };
    check(0);
    shell.SetAcquiEnv();
    check(1);
    shell.SetNormalEnv();
    check(0);
    shell.SetBatchEnv();
    check(2);
    shell.SetNormalEnv();
    check(0);
}

// Reports each progress step and whether the window showed its bar then.
class TBarOperator final : public IOperator {
public:
    explicit TBarOperator(TMainForm& form) : form_(form) {}
    void Message(std::string_view, std::string_view, TMessageKind) override {}
    bool Confirm(std::string_view, std::string_view) override { return true; }
    void ShowStatus(std::string_view) override {}
    void ClearStatus() override {}
    void Beep(int, int) override {}
    bool Progress(std::string_view, std::int64_t, std::int64_t) override {
        bool shown = false;
        RunOnGuiThread([&] { shown = form_.ProgressShown(); });
        ++steps;
        barShownAtEveryStep = barShownAtEveryStep && shown;
        return true;
    }
    std::atomic<int> steps{0};
    std::atomic<bool> barShownAtEveryStep{true};

private:
    TMainForm& form_;
};

TEST_F(TMainFormTest, AnImportRunsAsLongWorkWithTheBarThenShowsItsCast) {
    ASSERT_TRUE(form.StartUp());
    form.Action("FileNew")->trigger();
    env.config.GenCfg.CruiseName.Set("CR");
    const auto raws = test::LoggerCopies(env.dir / "logger", 2);
    form.LoggerFilesDialog = [&] { return raws; };

    TBarOperator op(form);
    TRuntimeScope scope({nullptr, &op, nullptr, nullptr});
    form.Action("ImportLoggersTool")->trigger();
    EXPECT_TRUE(form.LongWorkRunning());
    EXPECT_FALSE(form.menuBar()->isEnabled()); // the commands are off meanwhile
    form.WaitLongWork();

    EXPECT_GT(op.steps, 0);
    EXPECT_TRUE(op.barShownAtEveryStep);
    EXPECT_FALSE(form.ProgressShown());
    EXPECT_EQ(form.Shell().LoadedCastNumber(), 2);
    EXPECT_EQ(form.PlotWindow()->windowTitle(), QStringLiteral("Cast: CR002.bin"));
    EXPECT_EQ(form.PanelText(3), QStringLiteral("2"));
    // The values and bottles windows show the cast opened.
    EXPECT_TRUE(form.ValuesWindow()->windowTitle().startsWith(QStringLiteral("Extracted Cast Values")));
    EXPECT_EQ(form.BottlesWindow()->windowTitle(), QStringLiteral("Bottles - Cruise : CR - Cast No: 2"));
}

TEST_F(TMainFormTest, ParameterDialogsOfTheValuesAndBottlesWindows) {
    ASSERT_TRUE(form.StartUp());
    std::vector<QString> titles;
    form.ParaListDialog = [&](const QString& title, TParaList& list) {
        titles.push_back(title);
        if (title != QStringLiteral("Values Window"))
            return false; // the bottles' dialog is cancelled
        list.count = 1;
        list.List[0] = 101;
        return true;
    };
    const TParaList bottlesBefore = env.config.GenCfg.BottleParaList;
    form.Action("ValuesParameters")->trigger();
    form.ValuesWindow()->ParameterAction->trigger();
    form.Action("BottlesParameters")->trigger();
    EXPECT_EQ(titles, (std::vector<QString>{QStringLiteral("Values Window"),
                                            QStringLiteral("Values Window"),
                                            QStringLiteral("Bottles Window")}));
    EXPECT_EQ(form.ValuesWindow()->Content().EntryCount(), 1);
    EXPECT_EQ(env.config.GenCfg.BottleParaList.count, bottlesBefore.count);
}

TEST_F(TMainFormTest, PrintWithoutAQueueOffersAPdfInTheCruiseTextFolder) {
    if (PrinterReady())
        GTEST_SKIP() << "a print queue exists: the page would go to paper";
    ASSERT_NO_FATAL_FAILURE(ImportOneCast());

    fs::path proposed;
    const fs::path chosen = env.dir / "page.pdf";
    form.FileDialog = [&](bool save, const QString&, const fs::path& p, const QString&) {
        EXPECT_TRUE(save);
        proposed = p;
        return chosen;
    };
    ASSERT_TRUE(form.Action("PrintPlotTool")->isEnabled());
    form.Action("PrintPlotTool")->trigger();
    EXPECT_EQ(proposed, form.Shell().CruiseTextFolder() / "CR001.pdf");
    ASSERT_TRUE(fs::exists(chosen));
    EXPECT_EQ(test::ReadFileBytes(chosen).substr(0, 5), "%PDF-");
}

TEST_F(TMainFormTest, ExtractCastDataWritesTheFormatOfTheChosenFilter) {
    ASSERT_NO_FATAL_FAILURE(ImportOneCast());

    const fs::path proposed = form.Shell().ProposedCastText();
    const struct {
        TExportFormat format;
        fs::path chosen, written;
        const char* magic;
    } cases[] = {
        {TExportFormat::NetCdf, env.dir / "out" / "cast", env.dir / "out" / "cast.nc",
         "\x89HDF"},
        {TExportFormat::Odv, proposed, proposed.parent_path() / "CR001_odv.txt", "//ODV"},
        {TExportFormat::Text, proposed, proposed, "Cast 1"},
    };
    for (const auto& c : cases) {
        fs::path offered;
        form.ExportCastDialog = [&](const fs::path& p) {
            offered = p;
            return std::optional{std::pair{c.chosen, c.format}};
        };
        form.Action("ExportCast")->trigger();
        form.WaitLongWork();
        EXPECT_EQ(offered, proposed);
        ASSERT_TRUE(fs::exists(c.written)) << c.written;
        const std::string magic = c.magic;
        EXPECT_TRUE(test::ReadFileBytes(c.written).starts_with(magic)) << c.written;
    }
}

// The cast export's file dialog offers the three formats; with MAREVO_SCREENSHOT_DIR set it is
// saved there as the manual's picture (docs/manual/make-export-screenshots.sh).
TEST(ExportCastDialog, OffersTheThreeFormats) {
    const fs::path dir = fs::temp_directory_path() / "marevo-export-dialog" / "CR" / "txt";
    fs::create_directories(dir);
    for (const char* name : {"CR001.txt", "CR002.nc", "CR003.nc"})
        std::ofstream(dir / name) << "x";
    const std::unique_ptr<QFileDialog> dialog = NewExportCastDialog(nullptr, dir / "CR004.txt");
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    EXPECT_EQ(dialog->nameFilters(),
              (QStringList{QStringLiteral("Text (*.txt)"), QStringLiteral("NetCDF (*.nc)"),
                           QStringLiteral("ODV spreadsheet (*.txt)")}));
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
    if (const char* shots = std::getenv("MAREVO_SCREENSHOT_DIR")) {
        dialog->selectNameFilter(QStringLiteral("NetCDF (*.nc)"));
        dialog->selectFile(QStringLiteral("CR004.nc"));
        dialog->resize(760, 420);
        dialog->show();
        for (int i = 0; i < 20; ++i)
            QApplication::processEvents();
        EXPECT_TRUE(dialog->grab().save(
            QString::fromStdString((fs::path(shots) / "export-formats.png").string())));
    }
    fs::remove_all(dir.parent_path().parent_path());
}

TEST(OpenDataDialog, InvalidCastsCannotBeChosen) {
    const std::vector<TCastListItem> casts = {
        {"001 : A", true, true}, {"002 : B", false, false}, {"003 : C", true, true}};
    TOpenDataDialog dialog({"AA", "CR"}, [&](const std::string&) { return casts; }, "cr", 3);
    EXPECT_EQ(dialog.Cruise(), "CR"); // matched without regard to case
    EXPECT_EQ(dialog.Cast(), 3);
    dialog.CastList()->setCurrentRow(1);
    EXPECT_EQ(dialog.Cast(), 0);
    EXPECT_FALSE(dialog.CastList()->item(1)->flags() & Qt::ItemIsEnabled);
}

TEST(InstanceLock, OnePerDataRoot) {
    const fs::path root = fs::temp_directory_path() / "marevo-instance-test";
    TInstanceLock first(root), second(root), other(root / "other");
    ASSERT_TRUE(first.TryLock());
    EXPECT_FALSE(second.TryLock());
    EXPECT_TRUE(other.TryLock());
    EXPECT_FALSE(fs::exists(root)); // nothing is written in the data root
}

TEST(Manual, TheContentsAndAChapterOpen) {
    const fs::path folder = ManualFolder();
    ASSERT_FALSE(folder.empty());
    THelpViewer viewer(folder);
    EXPECT_TRUE(viewer.Browser()->toPlainText().contains(QStringLiteral("Marevo")));
    viewer.ShowChapter(QStringLiteral("import.md"));
    EXPECT_TRUE(viewer.Browser()->toPlainText().contains(QStringLiteral("Import")));
}

} // namespace
} // namespace marevo
