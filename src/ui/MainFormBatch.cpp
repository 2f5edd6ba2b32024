// The main window's Batch menu: the two dialogs, the run on the worker in batch mode, the hidden
// overlay, the Cancel button of a run and the plot seam the display commands use.

#include "ui/BatchDialogs.h"
#include "ui/MainForm.h"
#include "ui/PlotForm.h"
#include "ui/QtSeams.h"

#include "foundation/Runtime.h"
#include "records/Environ.h"

#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QStatusBar>
#include <QToolBar>

namespace marevo {

void TMainForm::InitBatch() {
    batch_ = std::make_unique<TBatchTool>(*shell_);
    batch_->SetPlot(this);
    // Between casts the worker waits here while the windows show the cast it left in hand.
    batch_->EntryDone = [this](int) {
        RunOnGuiThread([this] {
            if (!keepPlotImage_) {
                plot_->PlotMainFrame->Freeze(false);
                plot_->PlotMainFrame->Freeze(true);
            }
        });
        RefreshHeader();
        StatusChanged();
    };
    // The hidden "Ovl" button.
    if (auto* bar = findChild<QToolBar*>(QStringLiteral("ToolBar"))) {
        QAction* ovl = Tool("OvlTool", "Overlay", QIcon(), [this](bool) { RunBatch(true); }, true);
        ovl->setIconText(QStringLiteral("Ovl"));
        bar->addAction(ovl);
        ovl->setVisible(false);
    }
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("BatchCancel"));
    cancel->setToolTip(QStringLiteral("Stop the batch after the cast in hand"));
    connect(cancel, &QPushButton::clicked, this, [this] { CancelBatch(); });
    statusBar()->addPermanentWidget(cancel);
    cancel->hide();
    batchCancel_ = cancel;
}

void TMainForm::BatchCastList() {
    Guarded("BatchCastListClick", "Batch cast list", [this] {
        TBatchFileDialog dialog(*shell_, *batch_, this);
        dialog.Help = [this] { ShowManual(QStringLiteral("batch")); };
        dialog.StatusChanged = [this] { StatusChanged(); };
        dialog.exec();
    });
}

void TMainForm::BatchCommandList() {
    Guarded("BatchCommandListClick", "Batch command list", [this] {
        TBatchCommandDlg dialog(*batch_, app_.environ.ConfigFolder(), this);
        dialog.Help = [this] { ShowManual(QStringLiteral("batch")); };
        dialog.exec();
    });
}

bool TMainForm::RunBatch(bool overlay) {
    if (LongWorkRunning())
        return false;
    if (overlay && batch_->FileList.size() < 2) {
        Action("OvlTool")->setChecked(false);
        return false;
    }
    // A list that draws keeps its drawing when the work ends.
    keepPlotImage_ = overlay;
    for (int p = 0; p < batch_->Count(); ++p)
        keepPlotImage_ |= batch_->Code(p) == Bc_DisplayOpen || batch_->Code(p) == Bc_DisplayDraw;
    // The overlay does not change the mode.
    if (!overlay)
        shell_->SetBatchEnv();
    batchRunning_ = true;
    batchCancel_->show();
    const auto ended = [this, overlay] {
        batchRunning_ = false;
        keepPlotImage_ = false;
        batchCancel_->hide();
        if (!overlay)
            shell_->SetNormalEnv();
        Action("OvlTool")->setChecked(false);
        StatusChanged();
    };
    const bool started = RunLong(
        [this, overlay] {
            if (overlay)
                batch_->Overlay();
            else
                batch_->Execute();
        },
        ended);
    if (!started)
        ended();
    return started;
}

void TMainForm::CancelBatch() {
    if (batchRunning_)
        batch_->Cancel();
}

void TMainForm::DisplayOpen() {
    RunOnGuiThread([this] { plot_->PlotMainFrame->SetPlotB(); });
}

void TMainForm::DrawPlot() {
    RunOnGuiThread([this] { plot_->PlotMainFrame->DrawCurves(); });
}

} // namespace marevo
