#include "ui/BatchDialogs.h"

#include "foundation/Guard.h"
#include "processing/ParamCollection.h"
#include "records/Config.h"
#include "records/Environ.h"
#include "shell/Batch.h"
#include "shell/MainShell.h"

#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace marevo {

namespace fs = std::filesystem;

namespace {

QString Q(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<int>(s.size())); }

QVBoxLayout* Titled(const QString& title, QWidget* list, QWidget* parent) {
    auto* column = new QVBoxLayout;
    column->addWidget(new QLabel(title, parent));
    column->addWidget(list);
    return column;
}

// A "Delete" item on the list's context menu.
void AddDeleteMenu(QListWidget* list, const std::function<void()>& remove) {
    auto* del = new QAction(QStringLiteral("Delete"), list);
    QObject::connect(del, &QAction::triggered, list, [remove] { remove(); });
    list->addAction(del);
    list->setContextMenuPolicy(Qt::ActionsContextMenu);
}

} // namespace

// ---- Drop target ---------------------------------------------------------------------------------

TBatchDropList::TBatchDropList(QListWidget* source, std::function<void(const QPoint&)> dropped,
                               QWidget* parent)
    : QListWidget(parent), source_(source), dropped_(std::move(dropped)) {
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);
}

void TBatchDropList::dragEnterEvent(QDragEnterEvent* event) {
    if (event->source() == source_)
        event->acceptProposedAction();
    else
        event->ignore();
}

void TBatchDropList::dragMoveEvent(QDragMoveEvent* event) {
    if (event->source() == source_)
        event->acceptProposedAction();
    else
        event->ignore();
}

void TBatchDropList::dropEvent(QDropEvent* event) {
    if (event->source() != source_) {
        event->ignore();
        return;
    }
    // The items are added by the dialog, never moved from the source.
    event->setDropAction(Qt::CopyAction);
    event->accept();
    dropped_(event->position().toPoint());
}

// ---- Command list --------------------------------------------------------------------------------

TBatchCommandDlg::TBatchCommandDlg(TBatchTool& batch, fs::path folder, QWidget* parent)
    : QDialog(parent), batch_(batch), folder_(std::move(folder)),
      commands_(new QListWidget(this)),
      list_(new TBatchDropList(
          commands_,
          [this](const QPoint& at) {
              const QModelIndex index = list_->indexAt(at);
              DropAt(index.isValid() ? index.row() : batch_.Count());
          },
          this)) {
    setWindowTitle(QStringLiteral("Batch Command List"));
    setObjectName(QStringLiteral("BatchCommandDlg"));
    resize(460, 420);
    for (int code = 0; code < BatchCommandCount; ++code) {
        auto* item = new QListWidgetItem(Q(BatchCommandNames[static_cast<std::size_t>(code)]),
                                         commands_);
        if (!BatchCommandAvailable(code)) {
            item->setForeground(palette().color(QPalette::Disabled, QPalette::Text));
            item->setToolTip(QStringLiteral("Not available in this version: stored, not run"));
        }
    }
    commands_->setDragEnabled(true);
    commands_->setDragDropMode(QAbstractItemView::DragOnly);
    commands_->setDefaultDropAction(Qt::CopyAction);
    AddDeleteMenu(list_, [this] { DeleteSelected(); });

    auto* del = new QPushButton(QStringLiteral("Delete"), this);
    auto* load = new QPushButton(QStringLiteral("Load"), this);
    auto* save = new QPushButton(QStringLiteral("Save"), this);
    connect(del, &QPushButton::clicked, this, [this] { DeleteSelected(); });
    connect(load, &QPushButton::clicked, this, [this] { Load(); });
    connect(save, &QPushButton::clicked, this, [this] { Save(); });
    auto* buttons = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::helpRequested, this, [this] {
        if (Help)
            Help();
    });

    auto* lists = new QHBoxLayout;
    lists->addLayout(Titled(QStringLiteral("Commands"), commands_, this));
    lists->addLayout(Titled(QStringLiteral("Batch"), list_, this));
    auto* side = new QVBoxLayout;
    side->addSpacing(20);
    side->addWidget(del);
    side->addWidget(load);
    side->addWidget(save);
    side->addStretch();
    lists->addLayout(side);
    auto* layout = new QVBoxLayout(this);
    auto* hint = new QLabel(QStringLiteral("Drag the commands onto the batch, in the order they "
                                           "run; the casts are processed between \"BEGIN LOOP\" "
                                           "and \"END LOOP\". Grey commands are kept but do "
                                           "nothing yet."),
                            this);
    hint->setWordWrap(true);
    layout->addWidget(hint);
    layout->addLayout(lists);
    layout->addWidget(buttons);

    FileDialog = [this](bool saving, const QString& title, const QString& filter) -> fs::path {
        const QString start = QString::fromStdString(folder_.string());
        const QString chosen = saving
                                   ? QFileDialog::getSaveFileName(this, title, start, filter)
                                   : QFileDialog::getOpenFileName(this, title, start, filter);
        return chosen.toStdString();
    };
    batch_.SaveBatch();
    Fill();
}

void TBatchCommandDlg::Fill() {
    list_->clear();
    for (int p = 0; p < batch_.Count(); ++p)
        list_->addItem(Q(BatchCommandNames[static_cast<std::size_t>(batch_.Code(p))]));
}

bool TBatchCommandDlg::DropAt(int row) {
    const QListWidgetItem* chosen = commands_->currentItem();
    if (!chosen || !chosen->isSelected())
        return false;
    const int code = TBatchTool::IndexOfCmd(chosen->text().toStdString());
    if ((code == Bc_BeginLoop || code == Bc_EndLoop) && batch_.Occurrences(code) > 0)
        return false;
    const bool done = row >= batch_.Count() ? batch_.Add(code) : batch_.insert(row, code);
    if (done)
        Fill();
    return done;
}

void TBatchCommandDlg::DeleteSelected() {
    const int row = list_->currentRow();
    if (row < 0 || !list_->currentItem()->isSelected()) {
        QApplication::beep();
        return;
    }
    if (batch_.Delete(row))
        Fill();
}

void TBatchCommandDlg::Load() {
    const fs::path file = FileDialog(false, QStringLiteral("Open Batch File"),
                                     QStringLiteral("Marevo batch files (*.bal *.BAL)"));
    if (file.empty() || !batch_.LoadCmd(file))
        return;
    Fill();
    batch_.CmdToEnviron();
}

void TBatchCommandDlg::Save() {
    fs::path file = FileDialog(true, QStringLiteral("Save Batch list"),
                               QStringLiteral("Marevo Batch files (*.bal *.BAL)"));
    if (!file.empty()) {
        if (!file.has_extension())
            file += ".bal";
        batch_.SaveCmd(file);
    }
    batch_.CmdToEnviron();
}

void TBatchCommandDlg::accept() {
    batch_.CmdToEnviron();
    QDialog::accept();
}

void TBatchCommandDlg::reject() {
    batch_.RestoreBatch();
    QDialog::reject();
}

// ---- File selection ------------------------------------------------------------------------------

TBatchFileDialog::TBatchFileDialog(TMainShell& shell, TBatchTool& batch, QWidget* parent)
    : QDialog(parent), shell_(shell), batch_(batch), cruises_(new QListWidget(this)),
      casts_(new QListWidget(this)),
      files_(new TBatchDropList(casts_, [this](const QPoint&) { AddSelectedCasts(); }, this)) {
    setWindowTitle(QStringLiteral("Batch : File Selection"));
    setObjectName(QStringLiteral("BatchFileDialog"));
    resize(620, 420);
    casts_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    casts_->setDragEnabled(true);
    casts_->setDragDropMode(QAbstractItemView::DragOnly);
    casts_->setDefaultDropAction(Qt::CopyAction);
    files_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    AddDeleteMenu(files_, [this] { RemoveSelectedFiles(); });

    auto* clearSelection = new QPushButton(QStringLiteral("Clear Selection"), this);
    auto* clearAll = new QPushButton(QStringLiteral("Clear All"), this);
    connect(clearSelection, &QPushButton::clicked, this, [this] { RemoveSelectedFiles(); });
    connect(clearAll, &QPushButton::clicked, this, [this] { files_->clear(); });
    auto* buttons = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::helpRequested, this, [this] {
        if (Help)
            Help();
    });

    auto* lists = new QHBoxLayout;
    lists->addLayout(Titled(QStringLiteral("Cruises"), cruises_, this), 2);
    lists->addLayout(Titled(QStringLiteral("Casts"), casts_, this), 3);
    auto* right = Titled(QStringLiteral("Files selected for batch"), files_, this);
    auto* row = new QHBoxLayout;
    row->addWidget(clearSelection);
    row->addWidget(clearAll);
    right->addLayout(row);
    lists->addLayout(right, 2);
    auto* layout = new QVBoxLayout(this);
    auto* hint = new QLabel(QStringLiteral("Choose a cruise, then drag its casts onto the files "
                                           "selected for batch; they are processed in the "
                                           "list's order."),
                            this);
    hint->setWordWrap(true);
    layout->addWidget(hint);
    layout->addLayout(lists);
    layout->addWidget(buttons);

    connect(cruises_, &QListWidget::itemClicked, this, [this] { CruiseChosen(); });
    connect(casts_, &QListWidget::itemDoubleClicked, this, [this] { QDialog::reject(); });
}

std::string TBatchFileDialog::Cruise() const {
    const QListWidgetItem* item = cruises_->currentItem();
    return item ? item->text().toStdString() : std::string();
}

void TBatchFileDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!activated_)
        Activate();
}

void TBatchFileDialog::Activate() {
    activated_ = true;
    Guard({"FUNC: TBatchFieldDialog.FormActivate ", "Activate Batch dialog"}, [&] {
        static const char* const words[] = {"RAW", "Binary", "Text"};
        const int type = shell_.App().config.GenCfg.FileType;
        if (type >= 1 && type <= 3)
            setWindowTitle(QStringLiteral("Open %1 Data File").arg(QLatin1String(words[type - 1])));
        ok_->setEnabled(false);
        cruises_->clear();
        const std::string current = shell_.App().config.GenCfg.CruiseName.Get();
        for (const std::string& c : shell_.Cruises()) {
            cruises_->addItem(QString::fromStdString(c));
            if (c == current)
                cruises_->setCurrentRow(cruises_->count() - 1);
        }
        if (cruises_->count() > 0) {
            if (cruises_->currentRow() < 0)
                cruises_->setCurrentRow(0);
            FillCasts();
        }
        files_->clear();
        for (const std::string& f : batch_.FileList)
            files_->addItem(QString::fromStdString(f));
    });
}

void TBatchFileDialog::FillCasts() {
    casts_->clear();
    const std::string cruise = Cruise();
    for (const TCastListItem& c : shell_.Casts(cruise))
        casts_->addItem(QString::fromStdString(c.text));
    // The cast in hand when it is of this cruise, else the first.
    const TParamCollection& cast = shell_.App().cast;
    int row = 0;
    if (shell_.CastLoaded() && cast.Loaded.FileLoaded.stem().string().rfind(cruise, 0) == 0 &&
        cast.Loaded.FileLoaded.stem().string().size() == cruise.size() + 3)
        row = shell_.LoadedCastNumber() - 1;
    if (row >= 0 && row < casts_->count())
        casts_->setCurrentRow(row);
    ok_->setEnabled(casts_->count() > 0);
}

void TBatchFileDialog::CruiseChosen() {
    Guard({"FUNC: TBatchFileDialogLBCruiseClick ", "Batch cruise selection"}, [&] {
        const std::string cruise = Cruise();
        if (cruise.empty())
            return;
        shell_.App().config.GenCfg.CruiseName.Set(cruise.substr(0, 40));
        FillCasts();
        if (StatusChanged)
            StatusChanged();
    });
}

void TBatchFileDialog::AddSelectedCasts() {
    Guard({"FUNC: TBatchFileDialog.SetOutFileName ", "Create Data file name"}, [&] {
        const QString cruise = QString::fromStdString(Cruise());
        std::vector<int> rows;
        for (const QListWidgetItem* item : casts_->selectedItems())
            rows.push_back(casts_->row(item));
        std::sort(rows.begin(), rows.end());
        for (int r : rows)
            files_->addItem(cruise + QStringLiteral("%1").arg(r + 1, 3, 10, QLatin1Char('0')));
    });
}

void TBatchFileDialog::RemoveSelectedFiles() {
    for (QListWidgetItem* item : files_->selectedItems())
        delete item;
}

void TBatchFileDialog::accept() {
    batch_.FileList.clear();
    for (int i = 0; i < files_->count(); ++i)
        batch_.FileList.push_back(files_->item(i)->text().toStdString());
    batch_.FilesToEnviron();
    QDialog::accept();
}

} // namespace marevo
