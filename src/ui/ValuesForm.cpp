#include "ui/ValuesForm.h"

#include "foundation/Guard.h"
#include "processing/ParamCollection.h"
#include "records/Config.h"
#include "records/Environ.h"
#include "ui/WindowPlace.h"

#include <QAbstractTableModel>
#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QMenu>
#include <QTableView>
#include <QVBoxLayout>

namespace marevo {

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}
QColor Colour(std::uint32_t rgb) {
    return QColor::fromRgb(static_cast<QRgb>(rgb));
}

constexpr int DefaultColumnWidth = 80;
// The table view before it is loaded, as laid out.
constexpr int EmptyTableRows = 100;
// A cleared window.
constexpr int ClearedRows = 3;

} // namespace

// The cells, formatted when the view asks for them.
class TValuesModel : public QAbstractTableModel {
public:
    TValuesModel(const TValuesContent& content, const bool& scroll)
        : content_(content), scroll_(scroll) {}

    bool cleared = true;
    bool loaded = false; // the table holds the binned records
    int panelRecord = 1; // the record the panel shows

    void Reset() {
        beginResetModel();
        endResetModel();
    }

    int rowCount(const QModelIndex& parent = {}) const override {
        if (parent.isValid())
            return 0;
        if (cleared)
            return ClearedRows;
        if (!scroll_)
            return PanelRows(content_.EntryCount());
        if (content_.Live)
            return 1;
        return loaded ? content_.RowCount() : EmptyTableRows;
    }

    int columnCount(const QModelIndex& parent = {}) const override {
        if (parent.isValid())
            return 0;
        return scroll_ ? content_.EntryCount() + 1 : PanelColumns;
    }

    QString Text(int row, int column) const {
        if (cleared)
            return {};
        if (scroll_) {
            if (column == 0)
                return content_.Live || !loaded ? QString() : Q(content_.Label(row));
            const auto entry = static_cast<std::size_t>(column - 1);
            if (content_.Live)
                return row == 0 && entry < content_.LiveTexts.size() ? Q(content_.LiveTexts[entry])
                                                                     : QString();
            return loaded ? Q(content_.Cell(row, column - 1)) : QString();
        }
        const int entry = PanelEntry(row, column);
        if (entry < 0)
            return {};
        if (column % 2 == 0)
            return Q(content_.Entries()[static_cast<std::size_t>(entry)].name);
        if (content_.Live)
            return static_cast<std::size_t>(entry) < content_.LiveTexts.size()
                       ? Q(content_.LiveTexts[static_cast<std::size_t>(entry)])
                       : QString();
        return Q(content_.RecordText(panelRecord, entry));
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid())
            return {};
        const int row = index.row(), column = index.column();
        switch (role) {
        case Qt::DisplayRole: return Text(row, column);
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(Qt::Alignment(
                (scroll_ || column % 2 == 1 ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter));
        case Qt::BackgroundRole:
        case Qt::ForegroundRole: {
            if (cleared || scroll_ || column % 2 != 0)
                return {};
            const int entry = PanelEntry(row, column);
            const bool avail =
                entry >= 0 && content_.Entries()[static_cast<std::size_t>(entry)].avail;
            const TCellColours c = PanelNameColours(avail);
            return role == Qt::BackgroundRole ? QVariant(Colour(c.background))
                                              : QVariant(Colour(c.text));
        }
        default: return {};
        }
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (role != Qt::DisplayRole || orientation != Qt::Horizontal || !scroll_)
            return {};
        if (section == 0)
            return QStringLiteral("N.");
        const auto entry = static_cast<std::size_t>(section - 1);
        return entry < content_.Entries().size() ? Q(content_.Entries()[entry].name) : QString();
    }

private:
    // The entry of a panel cell; -1 beyond the list.
    int PanelEntry(int row, int column) const {
        const int rows = PanelRows(content_.EntryCount());
        const int entry = column / 2 * rows + row;
        return entry < content_.EntryCount() ? entry : -1;
    }

    const TValuesContent& content_;
    const bool& scroll_;
};

TValuesForm::TValuesForm(TConfig& config, TParamCollection& cast, TValuesWindowHost host,
                         TEnviron* environ, QWidget* parent)
    : QWidget(parent, Qt::Window), config_(config), cast_(cast), host_(std::move(host)),
      environ_(environ), content_(config, cast),
      model_(std::make_unique<TValuesModel>(content_, scroll_)) {
    setWindowTitle(QString::fromLatin1(InitialValuesCaption));
    scroll_ = config_.GenCfg.ValueMode == vm_scroll;
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    grid_ = new QTableView(this);
    grid_->setObjectName(QStringLiteral("ValuesGrid"));
    grid_->setModel(model_.get());
    grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->verticalHeader()->hide();
    grid_->horizontalHeader()->setMinimumSectionSize(0);
    grid_->verticalHeader()->setDefaultSectionSize(20);
    grid_->horizontalHeader()->setDefaultSectionSize(DefaultColumnWidth);
    grid_->setContextMenuPolicy(Qt::CustomContextMenu);
    layout->addWidget(grid_);
    resize(360, 180);

    Popup = new QMenu(this);
    ParameterAction = Popup->addAction(QStringLiteral("Parameter"));
    ScrollAction = Popup->addAction(QStringLiteral("Scroll View"));
    ScrollAction->setCheckable(true);
    ScrollAction->setChecked(scroll_);
    ExportAction = Popup->addAction(QStringLiteral("Export"));
    ExtractedAction = Popup->addAction(QStringLiteral("Show Extracted only"));
    ExtractedAction->setCheckable(true);
    connect(ParameterAction, &QAction::triggered, this, [this] {
        if (host_.parameters)
            host_.parameters();
    });
    connect(ScrollAction, &QAction::triggered, this, [this](bool on) { SetScrollMode(on); });
    connect(ExportAction, &QAction::triggered, this, [this] {
        if (host_.exportText)
            host_.exportText();
    });
    connect(ExtractedAction, &QAction::triggered, this, [this](bool on) {
        setWindowTitle(QString::fromLatin1(on ? RealTimeExtractedCaption : RealTimeCaption));
    });
    connect(grid_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& p) { Popup->popup(grid_->viewport()->mapToGlobal(p)); });
    connect(grid_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid())
                    RowSelected(current.row());
            });
    ApplyLayout();
}

TValuesForm::~TValuesForm() = default;

void TValuesForm::ApplyLayout() {
    QHeaderView* header = grid_->horizontalHeader();
    header->setVisible(scroll_);
    for (int c = 0; c < model_->columnCount(); ++c)
        grid_->setColumnWidth(c, DefaultColumnWidth);
    // The "N." column stays hidden until a table is loaded.
    if (scroll_)
        grid_->setColumnWidth(0, model_->loaded ? DefaultColumnWidth / 2 : 0);
    grid_->setColumnHidden(0, scroll_ && !model_->loaded);
}

void TValuesForm::Select(int tableRow) {
    if (tableRow < 0 || tableRow >= model_->rowCount())
        return;
    selecting_ = true;
    grid_->selectRow(tableRow);
    grid_->scrollTo(model_->index(tableRow, 0));
    selecting_ = false;
}

void TValuesForm::RowSelected(int tableRow) {
    if (selecting_ || model_->cleared || !scroll_ || !model_->loaded)
        return;
    const int record = content_.RecordOfRow(tableRow);
    if (record < 0)
        return;
    SelectIndex = record - content_.FirstIndex;
    if (isActiveWindow() && host_.cursorOn && host_.cursorOn() && host_.moveCursor)
        host_.moveCursor(SelectIndex);
}

int TValuesForm::SelectedRow() const {
    return SelectIndex;
}

void TValuesForm::DrawFixedField() {
    content_.LayOut();
    model_->cleared = false;
    model_->loaded = false;
    content_.Live = false;
    model_->Reset();
    ApplyLayout();
}

void TValuesForm::LoadSortedValue() {
    Guard({"ValuesForm.LoadSortedValue ", "Load Sorted Values in Values Form"}, [&] {
        const bool shown =
            FlaggedRowsShown(config_.DataValidation, host_.filterDown && host_.filterDown());
        const bool onLine = host_.onLine && host_.onLine();
        setWindowTitle(Q(ValuesCaption(onLine, config_.GenCfg.Direction, shown)));
        if (content_.EntryCount() <= 1)
            return;
        model_->cleared = false;
        if (!scroll_) {
            content_.Load(false, shown);
            SelectIndex = 1;
            ShowCursorValue(1);
            return;
        }
        content_.Load(true, shown);
        model_->loaded = true;
        model_->Reset();
        ApplyLayout();
        if (cast_.Bin.SortInfo.MaxIndex > 1 && content_.RowCount() > 0) {
            SelectIndex = content_.RecordOfRow(0) - content_.FirstIndex;
            Select(0);
        }
    });
}

void TValuesForm::ShowCursorValue(int row) {
    SelectIndex = row;
    if (scroll_) {
        Select(content_.RowOfRecord(content_.FirstIndex + row));
        return;
    }
    model_->panelRecord = content_.FirstIndex + row;
    model_->Reset();
}

void TValuesForm::UpdateCurValue() {
    Guard({"ValuesForm.UpdateCurValue ", "Update Current Values"}, [&] {
        if (content_.UpdateCurValue(ExtractedAction->isChecked(),
                                    host_.cursorOn && host_.cursorOn())) {
            model_->cleared = false;
            model_->Reset();
        }
    });
}

void TValuesForm::ShowData() {
    if (scroll_)
        ShowScroll();
    else
        ShowNormal();
}

void TValuesForm::ShowNormal() {
    Clear();
    DrawFixedField();
    if (!(host_.onLine && host_.onLine()))
        content_.Load(false, FlaggedRowsShown(config_.DataValidation,
                                              host_.filterDown && host_.filterDown()));
    ShowCursorValue(1);
}

void TValuesForm::ShowScroll() {
    DrawFixedField();
    if (host_.cursorOn && host_.cursorOn()) {
        const int row = SelectIndex;
        LoadSortedValue();
        ShowCursorValue(row);
    } else if (!(host_.onLine && host_.onLine())) {
        LoadSortedValue();
    }
}

void TValuesForm::Clear() {
    model_->cleared = true;
    model_->loaded = false;
    content_.Live = false;
    model_->Reset();
    ApplyLayout();
    Select(0);
}

void TValuesForm::SetScrollMode(bool scroll) {
    scroll_ = scroll;
    ScrollAction->setChecked(scroll);
    config_.GenCfg.ValueMode = scroll ? vm_scroll : vm_normal;
    ShowData();
}

QString TValuesForm::CellText(int row, int column) const {
    return model_->Text(row, column);
}

void TValuesForm::showEvent(QShowEvent* event) {
    if (environ_ && !applied_)
        PlaceWindow(this, environ_->ValueRect, {300, 160});
    applied_ = true;
    QWidget::showEvent(event);
}

void TValuesForm::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (environ_ && applied_)
        StoreWindowRect(this, environ_->ValueRect);
}

void TValuesForm::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    if (environ_ && applied_)
        StoreWindowRect(this, environ_->ValueRect);
}

} // namespace marevo
