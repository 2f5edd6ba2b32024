// The Batch menu off screen: the command list dialog's drops, the file selection dialog's drag of
// casts, and a run on the worker in batch mode with its bar, its Cancel and its failure.

#include "shell/Batch.h"
#include "ui/BatchDialogs.h"
#include "ui/MainForm.h"
#include "ui/QtSeams.h"

#include "foundation/FileNames.h"
#include "foundation/Runtime.h"
#include "support/AppEnv.h"
#include "support/Cruises.h"

#include <QAction>
#include <QMenuBar>
#include <QPushButton>

#include <gtest/gtest.h>

#include <cstring>
#include <mutex>

namespace marevo {
namespace {

namespace fs = std::filesystem;

std::string Bytes(const TBatchCmdArray& list) {
    return std::string(reinterpret_cast<const char*>(&list), sizeof list);
}

struct TBatchUiTest : ::testing::Test {
    TBatchUiTest() {
        form.OpenDataDialog = [] { return std::nullopt; };
    }

    // Cruise CR of three imported casts.
    void MakeCruise() {
        ASSERT_TRUE(form.StartUp());
        TMainShell& shell = form.Shell();
        ASSERT_TRUE(test::MakeImportedCruise(shell, env, 3));
        form.WaitLongWork();
    }

    void SetList(std::initializer_list<int> codes) {
        TBatchCmdArray& list = form.Batch().list;
        std::memset(&list, 0, sizeof list);
        for (int c : codes)
            list.Codes[list.count++] = static_cast<std::uint8_t>(c);
    }

    // Each entry's end as the GUI thread sees it: the mode and the bar's position.
    void WatchEntries(std::function<void(int)> also = {}) {
        auto shown = form.Batch().EntryDone;
        form.Batch().EntryDone = [this, shown, also](int i) {
            shown(i);
            RunOnGuiThread([&] {
                std::lock_guard<std::mutex> hold(lock);
                modes.push_back(form.Shell().Mode());
                bars.push_back(form.ProgressValue());
                if (also)
                    also(i);
            });
        };
    }

    test::TAppEnv env;
    TMainForm form{env};
    std::mutex lock;
    std::vector<TShellMode> modes;
    std::vector<int> bars;
};

TEST_F(TBatchUiTest, CommandDialogDropsRefuseASecondLoopMarkerAndAFullListAndCancelRestores) {
    ASSERT_TRUE(form.StartUp());
    TBatchTool& batch = form.Batch();
    const std::string before = Bytes(batch.list);
    TBatchCommandDlg dialog(batch, env.dir);
    QListWidget* names = dialog.Commands();
    ASSERT_EQ(names->count(), BatchCommandCount);
    EXPECT_EQ(dialog.List()->count(), 2);

    EXPECT_FALSE(dialog.DropAt(0)); // nothing selected
    names->setCurrentRow(Bc_EndLoop);
    EXPECT_FALSE(dialog.DropAt(0));
    names->setCurrentRow(Bc_ReadRaw);
    EXPECT_TRUE(dialog.DropAt(1));
    names->setCurrentRow(Bc_SaveAsBin);
    EXPECT_TRUE(dialog.DropAt(40)); // past the end: appended
    ASSERT_EQ(dialog.List()->count(), 4);
    EXPECT_EQ(dialog.List()->item(1)->text(), QStringLiteral("Read Raw"));
    EXPECT_EQ(dialog.List()->item(3)->text(), QStringLiteral("Save As Bin"));

    names->setCurrentRow(Bc_Pause);
    while (batch.Count() < MaxBatchCommands)
        ASSERT_TRUE(dialog.DropAt(batch.Count()));
    EXPECT_FALSE(dialog.DropAt(batch.Count()));
    EXPECT_FALSE(dialog.DropAt(0));
    EXPECT_EQ(dialog.List()->count(), MaxBatchCommands);

    dialog.reject();
    EXPECT_TRUE(Bytes(batch.list) == before);
    EXPECT_TRUE(Bytes(env.environ.BatchCmdList) == before);

    TBatchCommandDlg again(batch, env.dir);
    again.Commands()->setCurrentRow(Bc_ReadBin);
    ASSERT_TRUE(again.DropAt(1));
    again.accept();
    EXPECT_TRUE(Bytes(env.environ.BatchCmdList) == Bytes(batch.list));
    EXPECT_EQ(batch.Count(), 3);
}

TEST_F(TBatchUiTest, FileDialogDraggingCastsOneAndThreeGivesTheirNames) {
    MakeCruise();
    env.config.GenCfg.FileType = FileTypeRaw;
    TBatchFileDialog dialog(form.Shell(), form.Batch());
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Open RAW Data File"));
    ASSERT_EQ(dialog.Casts()->count(), 3);
    EXPECT_TRUE(dialog.OkButton()->isEnabled());
    dialog.Files()->clear();
    dialog.Casts()->clearSelection();
    dialog.Casts()->item(2)->setSelected(true);
    dialog.Casts()->item(0)->setSelected(true);
    dialog.AddSelectedCasts();
    dialog.accept();
    EXPECT_EQ(form.Batch().FileList, (std::vector<std::string>{"CR001", "CR003"}));
    EXPECT_EQ(env.environ.BatchFileList, form.Batch().FileList);
}

TEST_F(TBatchUiTest, ARunIsInBatchModeWithTheBarAdvancingPerCastThenNormal) {
    MakeCruise();
    TQtOperator op(
        &form, [this](const std::string& s) { form.ShowStatusText(s); },
        [this](int pos) { form.ShowProgress(pos); });
    TRuntimeScope scope({nullptr, &op, nullptr, nullptr});
    SetList({Bc_BeginLoop, Bc_ReadBin, Bc_EndLoop});
    form.Batch().FileList = {"CR001", "CR002", "CR003"};
    WatchEntries();
    ASSERT_TRUE(form.RunBatch());
    EXPECT_FALSE(form.menuBar()->isEnabled());
    form.WaitLongWork();
    EXPECT_EQ(modes, std::vector<TShellMode>(3, TShellMode::Batch));
    EXPECT_EQ(bars, (std::vector<int>{0, 33, 66}));
    EXPECT_EQ(form.Shell().Mode(), TShellMode::Normal);
    EXPECT_EQ(form.PanelText(StatusTextPanel), QStringLiteral("Batch: 3 casts, 0 failed"));
    EXPECT_EQ(form.Shell().LoadedCastNumber(), 3);
}

TEST_F(TBatchUiTest, CancelStopsAfterTheCurrentCast) {
    MakeCruise();
    SetList({Bc_BeginLoop, Bc_ReadBin, Bc_EndLoop});
    form.Batch().FileList = {"CR001", "CR002", "CR003"};
    WatchEntries([this](int i) {
        if (i == 0)
            form.findChild<QPushButton*>(QStringLiteral("BatchCancel"))->click();
    });
    ASSERT_TRUE(form.RunBatch());
    form.WaitLongWork();
    EXPECT_EQ(modes.size(), 1u);
    EXPECT_EQ(form.Shell().LoadedCastNumber(), 1);
    EXPECT_EQ(env.op.Status(), "Batch: 3 casts, 2 failed");
    EXPECT_EQ(form.Shell().Mode(), TShellMode::Normal);
}

TEST_F(TBatchUiTest, AFailedRunEndsInNormalMode) {
    MakeCruise();
    SetList({Bc_LoadCfg2, Bc_BeginLoop, Bc_ReadRaw, Bc_SaveAsBin, Bc_EndLoop});
    form.Batch().FileList = {"CR001"};
    WatchEntries();
    ASSERT_TRUE(form.RunBatch());
    EXPECT_EQ(form.Shell().Mode(), TShellMode::Batch);
    form.WaitLongWork();
    EXPECT_TRUE(modes.empty());
    EXPECT_EQ(form.Shell().Mode(), TShellMode::Normal);
    EXPECT_EQ(env.op.Status(), "Batch: 1 casts, 1 failed");
}

TEST_F(TBatchUiTest, TheOverlayKeepsTheModeAndTheListAndReleasesOvl) {
    MakeCruise();
    SetList({Bc_BeginLoop, Bc_SaveAsText, Bc_EndLoop});
    const std::string list = Bytes(form.Batch().list);
    form.Batch().FileList = {"CR003", "CR001"};
    WatchEntries();
    QAction* ovl = form.Action("OvlTool");
    EXPECT_FALSE(ovl->isVisible());
    ovl->setChecked(true);
    ASSERT_TRUE(form.RunBatch(true));
    form.WaitLongWork();
    EXPECT_EQ(modes, std::vector<TShellMode>(2, TShellMode::Normal));
    EXPECT_FALSE(ovl->isChecked());
    EXPECT_TRUE(Bytes(form.Batch().list) == list);
    EXPECT_EQ(form.Shell().LoadedCastNumber(), 1);
    EXPECT_EQ(env.op.Status(), "Batch: 2 casts, 0 failed");
}

} // namespace
} // namespace marevo
