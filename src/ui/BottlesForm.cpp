#include "ui/BottlesForm.h"

#include "foundation/Guard.h"
#include "processing/ParamCollection.h"
#include "records/Bottles.h"
#include "records/Config.h"
#include "records/Environ.h"
#include "ui/WindowPlace.h"

#include <QAction>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMouseEvent>
#include <QTableWidget>
#include <QVBoxLayout>

namespace marevo {

namespace {
QString Q(const std::string& s) {
    return QString::fromStdString(s);
}
} // namespace

TBottlesForm::TBottlesForm(TConfig& config, TParamCollection& cast, TBottlesWindowHost host,
                           TEnviron* environ, QWidget* parent)
    : QWidget(parent, Qt::Window), config_(config), cast_(cast), host_(std::move(host)),
      environ_(environ) {
    setWindowTitle(QStringLiteral("Bottles"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    grid_ = new QTableWidget(this);
    grid_->setObjectName(QStringLiteral("BottlesGrid"));
    grid_->setToolTip(QString::fromLatin1(BottlesHint));
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->verticalHeader()->hide();
    grid_->horizontalHeader()->setMinimumSectionSize(0);
    grid_->verticalHeader()->setDefaultSectionSize(20);
    grid_->horizontalHeader()->setDefaultSectionSize(20);
    grid_->viewport()->installEventFilter(this);
    layout->addWidget(grid_);
    resize(420, 200);

    Popup = new QMenu(this);
    ParametersAction = Popup->addAction(QStringLiteral("Parameters"));
    PrintAction = Popup->addAction(QStringLiteral("Print"));
    FireAction = Popup->addAction(QStringLiteral("Fire"));
    ExportAction = Popup->addAction(QStringLiteral("Export As Text"));
    const auto call = [this](std::function<void()> TBottlesWindowHost::*f) {
        return [this, f] {
            if (host_.*f)
                (host_.*f)();
        };
    };
    connect(ParametersAction, &QAction::triggered, this, call(&TBottlesWindowHost::parameters));
    connect(PrintAction, &QAction::triggered, this, call(&TBottlesWindowHost::print));
    connect(FireAction, &QAction::triggered, this, call(&TBottlesWindowHost::fire));
    connect(ExportAction, &QAction::triggered, this, call(&TBottlesWindowHost::exportText));
    Show(table_);
}

void TBottlesForm::Show(const TBottleTable& t) {
    table_ = t;
    setWindowTitle(Q(t.caption));
    grid_->clear();
    grid_->setColumnCount(t.Columns());
    grid_->setRowCount(std::max(t.rows - 1, 0));
    for (int c = 0; c < t.Columns(); ++c) {
        grid_->setHorizontalHeaderItem(
            c, new QTableWidgetItem(Q(t.headers[static_cast<std::size_t>(c)])));
        grid_->setColumnWidth(c, t.widths[static_cast<std::size_t>(c)]);
        // The position numbers stay readable whatever the font: "N." is widened to hold "36".
        if (t.Columns() > 0)
            grid_->setColumnWidth(
                0, std::max(t.widths[0],
                            grid_->fontMetrics().horizontalAdvance(QStringLiteral("36")) + 8));
    }
    for (int k = 1; k < t.rows; ++k) {
        const bool hidden =
            static_cast<std::size_t>(k) < t.hidden.size() && t.hidden[static_cast<std::size_t>(k)];
        grid_->setRowHidden(k - 1, hidden);
        for (int c = 0; c < t.Columns(); ++c) {
            const std::string text = t.Cell(k, c);
            if (text.empty())
                continue;
            auto* item = new QTableWidgetItem(Q(text));
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            grid_->setItem(k - 1, c, item);
        }
    }
}

void TBottlesForm::DrawFixedField() {
    TBottleTable t = BottleTable(cast_, config_, host_.onLine && host_.onLine());
    // The layout only: the bottles' cells come with UpdateCurValue.
    for (int k = 1; k < t.rows; ++k)
        for (int c = 1; c < t.Columns(); ++c)
            t.cells[static_cast<std::size_t>(k)][static_cast<std::size_t>(c)].clear();
    Show(t);
}

void TBottlesForm::UpdateCurValue() {
    Guard({"BottlesForm.UpdateCurValue ", "Bottle: Update Current Value"},
          [&] { Show(BottleTable(cast_, config_, host_.onLine && host_.onLine())); });
}

void TBottlesForm::Clear() {
    TBottleTable t = table_;
    t.caption = "Bottles";
    for (auto& row : t.cells)
        for (auto& cell : row)
            cell.clear();
    Show(t);
}

int TBottlesForm::SelectedRow() const {
    const int row = grid_->currentRow();
    return row >= 0 && grid_->selectionModel()->hasSelection() ? row + 1 : 0;
}

void TBottlesForm::Click(bool left, int row, int column) {
    TBottleClick click;
    click.onLine = host_.onLine && host_.onLine();
    click.sequential = SequentialRosette(config_.Rosette.RosetteType);
    click.left = left;
    click.row = row;
    click.column = column;
    click.installed = row >= 1 && row <= MaxBottles && config_.Rosette.BottleList[row - 1] != 0;
    click.cell = table_.Cell(row, column);
    click.fireEnabled = !host_.fireEnabled || host_.fireEnabled();
    const TFireRequest r = BottleClick(click);
    switch (r.action) {
    case TFireAction::FireAgain:
        if (host_.request)
            host_.request(true, r.requested);
        if (host_.fire)
            host_.fire();
        break;
    case TFireAction::OfferFire:
        if (host_.request)
            host_.request(false, r.requested);
        FireAction->setEnabled(true);
        break;
    case TFireAction::DisableFire: FireAction->setEnabled(false); break;
    case TFireAction::None: break;
    }
}

bool TBottlesForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched != grid_->viewport())
        return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::MouseButtonPress) {
        const auto* e = static_cast<QMouseEvent*>(event);
        const QModelIndex index = grid_->indexAt(e->position().toPoint());
        const int row = index.isValid() ? index.row() + 1 : 0;
        Click(e->button() == Qt::LeftButton, row, index.isValid() ? index.column() : -1);
    } else if (event->type() == QEvent::MouseButtonRelease) {
        const auto* e = static_cast<QMouseEvent*>(event);
        if (e->button() == Qt::RightButton)
            Popup->popup(e->globalPosition().toPoint());
        else if (cast_.Loaded.Bottles && cast_.Loaded.Bottles->Count() > 0 && host_.rebuildPlot)
            host_.rebuildPlot();
    }
    return QWidget::eventFilter(watched, event);
}

void TBottlesForm::showEvent(QShowEvent* event) {
    if (environ_ && !applied_)
        PlaceWindow(this, environ_->BottlesRect, {300, 160});
    applied_ = true;
    QWidget::showEvent(event);
}

void TBottlesForm::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (environ_ && applied_)
        StoreWindowRect(this, environ_->BottlesRect);
}

void TBottlesForm::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    if (environ_ && applied_)
        StoreWindowRect(this, environ_->BottlesRect);
}

} // namespace marevo
