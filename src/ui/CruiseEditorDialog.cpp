#include "ui/CruiseEditorDialog.h"

#include "foundation/Runtime.h"
#include "records/CastInfo.h"
#include "ui/HeaderForm.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

namespace marevo {

TCruiseEditorDialog::TCruiseEditorDialog(TCruiseEditor& editor, QWidget* parent)
    : QDialog(parent), editor_(editor), cruises_(new QListWidget(this)),
      casts_(new QListWidget(this)), header_(new THeaderForm(this)) {
    setWindowTitle(QStringLiteral("Cruise Editor"));
    auto* left = new QVBoxLayout;
    left->addWidget(new QLabel(QStringLiteral("Cruise"), this));
    left->addWidget(cruises_, 1);
    left->addWidget(new QLabel(QStringLiteral("Casts (unchecked: invalid)"), this));
    left->addWidget(casts_, 2);
    auto* columns = new QHBoxLayout;
    columns->addLayout(left, 2);
    columns->addWidget(header_, 3);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addWidget(buttons);
    header_->SetEditable(true);
    resize(860, 620);

    for (const std::string& c : editor_.Cruises())
        cruises_->addItem(QString::fromStdString(c));
    for (int i = 0; i < cruises_->count(); ++i)
        if (cruises_->item(i)->text().toStdString() == editor_.Cruise())
            cruises_->setCurrentRow(i);
    FillCasts();

    connect(cruises_, &QListWidget::currentTextChanged, this, [this](const QString& name) {
        if (filling_ || name.toStdString() == editor_.Cruise() || !TakeHeader())
            return;
        editor_.SelectCruise(name.toStdString());
        FillCasts();
    });
    connect(casts_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (filling_ || row < 0 || row == editor_.ShownCast())
            return;
        if (!TakeHeader()) { // stay on the cast whose field is refused
            filling_ = true;
            casts_->setCurrentRow(editor_.ShownCast());
            filling_ = false;
            return;
        }
        editor_.SelectCast(row);
        ShowHeader();
    });
    connect(casts_, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        if (filling_)
            return;
        const int row = casts_->row(item);
        const bool checked = item->checkState() == Qt::Checked;
        if (!TakeHeader() || !editor_.SetChecked(row, checked)) {
            filling_ = true;
            item->setCheckState(checked ? Qt::Unchecked : Qt::Checked);
            filling_ = false;
            return;
        }
        filling_ = true;
        casts_->setCurrentRow(row);
        filling_ = false;
        ShowHeader();
    });
}

void TCruiseEditorDialog::FillCasts() {
    filling_ = true;
    casts_->clear();
    for (const TCastListItem& c : editor_.Casts()) {
        auto* item = new QListWidgetItem(QString::fromStdString(c.text), casts_);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(c.checked ? Qt::Checked : Qt::Unchecked);
    }
    casts_->setCurrentRow(editor_.ShownCast());
    filling_ = false;
    ShowHeader();
}

void TCruiseEditorDialog::ShowHeader() {
    header_->Show(editor_.HasCruise() && editor_.ShownCast() >= 0 ? &editor_.Header() : nullptr,
                  &editor_.CruiseHeader());
}

bool TCruiseEditorDialog::TakeHeader() {
    if (!editor_.HasCruise() || editor_.ShownCast() < 0)
        return true;
    std::string refusal;
    if (header_->Take(editor_.Header(), refusal))
        return true;
    Operator().Message(refusal, "Cruise Editor", TMessageKind::Warning);
    return false;
}

void TCruiseEditorDialog::done(int result) {
    if (!TakeHeader())
        return;
    editor_.Close();
    QDialog::done(result);
}

} // namespace marevo
