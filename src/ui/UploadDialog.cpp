#include "ui/UploadDialog.h"

#include "ui/HelpViewer.h"
#include "ui/MainForm.h"
#include "ui/PlotForm.h"

#include "foundation/Guard.h"
#include "foundation/Runtime.h"
#include "probelink/QvlUtil.h"
#include "processing/ParamCollection.h"
#include "shell/MainShell.h"
#include "shell/Terminal.h"
#include "shell/Upload.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace marevo {

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
} // namespace

TUploadDialog::TUploadDialog(TMainForm& main)
    : QDialog(&main, Qt::Dialog | Qt::WindowStaysOnTopHint), main_(main) {
    setObjectName(QStringLiteral("UploadDialog"));
    setWindowTitle(QStringLiteral("Upload Memory Cast"));
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setSelectionMode(QAbstractItemView::MultiSelection);
    ListBox1->setMinimumSize(420, 160);
    layout->addWidget(ListBox1);
    ResultLabel = new QLabel(this);
    ResultLabel->setObjectName(QStringLiteral("ResultLabel"));
    ResultLabel->setMinimumHeight(2 * fontMetrics().height() + 4);
    layout->addWidget(ResultLabel);
    auto* buttons = new QHBoxLayout;
    const auto button = [&](const char* name, const char* text) {
        auto* b = new QPushButton(QString::fromLatin1(text), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        buttons->addWidget(b);
        return b;
    };
    UploadBtn = button("UploadBtn", "Upload");
    SkipButton = button("SkipButton", "Skip");
    AbortButton = button("AbortButton", "Abort");
    buttons->addStretch();
    BitBtn1 = button("BitBtn1", "Help");
    layout->addLayout(buttons);
    UploadBtn->setEnabled(false);
    SkipButton->setEnabled(false);
    AbortButton->setEnabled(false);
    connect(ListBox1, &QListWidget::itemSelectionChanged, this, [this] { ListBox1Click(); });
    connect(UploadBtn, &QPushButton::clicked, this, [this] { UploadBtnClick(); });
    connect(SkipButton, &QPushButton::clicked, this, [this] { SkipButtonClick(); });
    connect(AbortButton, &QPushButton::clicked, this, [this] { AbortButtonClick(); });
    connect(BitBtn1, &QPushButton::clicked, this, [this] {
        THelpViewer* manual = main_.Manual();
        manual->ShowChapter(QStringLiteral("upload.md"));
        manual->show();
        manual->raise();
    });
}

TUploadDialog::~TUploadDialog() { EndWorker(); }

void TUploadDialog::SetCasts(const std::vector<std::string>& items) {
    const QSignalBlocker quiet(ListBox1);
    ListBox1->clear();
    for (const std::string& item : items)
        ListBox1->addItem(Q(item));
    if (ListBox1->count() > 0)
        ListBox1->setCurrentRow(0, QItemSelectionModel::NoUpdate);
    castNb_ = ListBox1->count() > 0 ? ListBox1->currentRow() + 1 : 0;
    ListBox1Click();
}

void TUploadDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

void TUploadDialog::FormShow() {
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    if (!worker_) {
        worker_ = std::make_unique<TUploadMemoryThread>(main_.Shell().CruiseFile(), *this);
        if (PrepareWorker)
            PrepareWorker(*worker_);
        worker_->Run();
    }
    ResultLabel->clear();
}

void TUploadDialog::closeEvent(QCloseEvent* event) {
    EndWorker();
    QDialog::closeEvent(event);
}

void TUploadDialog::EndWorker() {
    if (!worker_)
        return;
    worker_->ExitThread();
    worker_->WaitFor(MainThread());
    worker_.reset();
}

void TUploadDialog::ListBox1Click() {
    std::vector<bool> selected;
    for (int i = 0; i < ListBox1->count(); ++i)
        selected.push_back(ListBox1->item(i)->isSelected());
    const TUploadSelection s = CountSelection(selected);
    castCount_ = s.CastCount;
    UploadBtn->setEnabled(s.uploadEnabled);
}

void TUploadDialog::UploadBtnClick() {
    if (castCount_ < 1 || !worker_)
        return;
    TApplication& app = main_.Shell().App();
    const TAcquiCfg saved = app.config.AcquiCfg;
    const bool confirmed = main_.NewCastDialog && main_.NewCastDialog();
    // The acquisition settings are those from before the window.
    app.config.AcquiCfg = saved;
    if (!confirmed) {
        QAction* record = main_.Action(QStringLiteral("StartStopTool"));
        const QSignalBlocker quiet(record);
        record->setChecked(false);
        app.cast.Loaded.TypeLoaded = FileTypeNone;
        app.cast.Acqui.ProbeOnLine = app.cast.Acqui.RealTimeOn = false;
        StatusMessage("Probe initialization failed");
        main_.Shell().SetNormalEnv();
        return;
    }
    ResultLabel->clear();
    std::vector<std::string> items;
    std::vector<bool> selected;
    for (int i = 0; i < ListBox1->count(); ++i) {
        items.push_back(ListBox1->item(i)->text().toStdString());
        selected.push_back(ListBox1->item(i)->isSelected());
    }
    worker_->SetList(std::move(items), std::move(selected));
    worker_->Start();
}

void TUploadDialog::SkipButtonClick() {
    if (worker_)
        worker_->Skip();
}

void TUploadDialog::AbortButtonClick() {
    if (worker_)
        worker_->Abort();
}

// ---- The worker's steps -----------------------------------------------------------------------------

void TUploadDialog::SetUploadEnv() {
    main_.Shell().SetAcquiEnv();
    // The worker rebuilds the collection for each cast: the plot keeps its picture meanwhile.
    main_.PlotWindow()->PlotMainFrame->Freeze(true);
    main_.Action(QStringLiteral("StartStopTool"))->setEnabled(false);
    UploadBtn->setEnabled(false);
    ListBox1->setEnabled(false);
}

void TUploadDialog::SetNormalEnv() {
    main_.PlotWindow()->PlotMainFrame->Freeze(false);
    main_.ShowProgress(-1);
    main_.Shell().SetNormalEnv();
    main_.Action(QStringLiteral("StartStopTool"))->setEnabled(true);
}

void TUploadDialog::ResetDialog() {
    ListBox1->setEnabled(true);
    {
        const QSignalBlocker quiet(ListBox1);
        ListBox1->clearSelection();
    }
    castCount_ = 0;
    UploadBtn->setEnabled(false);
    SkipButton->setEnabled(false);
    AbortButton->setEnabled(false);
}

void TUploadDialog::UnselectItem(int index) {
    // The list is disabled while the upload runs: the selection rule waits for its end.
    const QSignalBlocker quiet(ListBox1);
    if (QListWidgetItem* item = ListBox1->item(index))
        item->setSelected(false);
}

void TUploadDialog::EnableSkipAbort() {
    SkipButton->setEnabled(true);
    AbortButton->setEnabled(true);
}

void TUploadDialog::ShowResult(const std::string& text) {
    ResultLabel->setText(Q(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
}

void TUploadDialog::ShowProgress(int percent) { main_.ShowProgress(percent); }

bool TUploadDialog::SaveBin(const std::filesystem::path& raw, const TMemoryCast& memory) {
    return SaveUploadedCast(main_.Shell(), raw, memory);
}

// ---- The menu command ---------------------------------------------------------------------------------

void TMainForm::UploadCast() {
    if (CastRunning() || (upload_ && upload_->Worker() && upload_->Worker()->Uploading()))
        return;
    if (!TerminalClosed(TerminalOpenMessage))
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    auto list = std::make_shared<TUploadList>();
    TQvlUtil& qvl = shell_->Qvl();
    // Waking the probe and reading its list take seconds: on the worker, the commands disabled.
    const bool started = RunLong(
        [list, &qvl] {
            Guard({"Error in MainForm.Uploadcast1Click", "Upload CTD Data"}, [&] {
                if (qvl.WakeUp())
                    *list = UpdateListBox(qvl, [&qvl] { return qvl.OpenPort(); });
            });
        },
        [this, list] {
            QApplication::restoreOverrideCursor();
            app_.cast.Acqui.ProbeOnLine = false;
            if (!list->filled)
                return;
            if (!upload_)
                upload_ = std::make_unique<TUploadDialog>(*this);
            upload_->SetCasts(list->items);
            upload_->show();
            upload_->raise();
        });
    if (!started)
        QApplication::restoreOverrideCursor();
}

} // namespace marevo
