#include "ui/ParaListDialog.h"

#include "parameters/ParaNumbers.h"
#include "parameters/Parameter.h"
#include "processing/DerivedColumns.h"
#include "processing/ParamCollection.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace marevo {

namespace {

constexpr int NumberRole = Qt::UserRole;
constexpr int MinLength = 2, MaxLength = 100;

QListWidgetItem* ItemOf(const TParameter& p) {
    auto* item = new QListWidgetItem(
        QString::fromStdString(p.ParaText.ParaStr[txt_ListBox].Get()).trimmed());
    item->setData(NumberRole, p.GetParaNb());
    return item;
}

} // namespace

TParaListDialog::TParaListDialog(const QString& title, TParaList& list, TParamCollection& probe,
                                 TParamCollection& cast, QWidget* parent, bool offerDerived)
    : QDialog(parent), list_(list), probe_(probe), cast_(cast), offerDerived_(offerDerived) {
    setWindowTitle(title);
    auto* top = new QVBoxLayout(this);
    auto* lists = new QHBoxLayout;
    top->addLayout(lists);

    auto* left = new QVBoxLayout;
    left->addWidget(new QLabel(QStringLiteral("Available parameters"), this));
    Available = new QListWidget(this);
    Available->setObjectName(QStringLiteral("AvailableList"));
    for (const auto& p : probe_)
        if (p->ParaType() != Pt_Util && !p->ParaGeneral.Hidden)
            Available->addItem(ItemOf(*p));
    if (offerDerived_)
        for (const std::int32_t number : DerivedColumnNumbers())
            Available->addItem(ItemOf(*DerivedColumnDefinition(number)));
    left->addWidget(Available);
    lists->addLayout(left);

    auto* buttons = new QVBoxLayout;
    buttons->addStretch();
    auto* add = new QPushButton(QStringLiteral("Add >"), this);
    auto* remove = new QPushButton(QStringLiteral("< Remove"), this);
    auto* up = new QPushButton(QStringLiteral("Up"), this);
    auto* down = new QPushButton(QStringLiteral("Down"), this);
    for (QPushButton* b : {add, remove, up, down})
        buttons->addWidget(b);
    buttons->addStretch();
    lists->addLayout(buttons);

    auto* right = new QVBoxLayout;
    right->addWidget(
        new QLabel(QStringLiteral("Shown parameters (at most %1)").arg(MaxParaListCount), this));
    Chosen = new QListWidget(this);
    Chosen->setObjectName(QStringLiteral("ChosenList"));
    right->addWidget(Chosen);
    lists->addLayout(right);

    auto* settings = new QGroupBox(QStringLiteral("Selected parameter"), this);
    auto* form = new QFormLayout(settings);
    SmoothType = new QComboBox(settings);
    SmoothType->addItems(
        {QStringLiteral("None"), QStringLiteral("Mean"), QStringLiteral("Low pass 1st order")});
    SmoothLength = new QSpinBox(settings);
    SmoothLength->setRange(MinLength, MaxLength);
    ValidateBox = new QCheckBox(QStringLiteral("Validation limits"), settings);
    ValidMin = new QDoubleSpinBox(settings);
    ValidMax = new QDoubleSpinBox(settings);
    for (QDoubleSpinBox* b : {ValidMin, ValidMax}) {
        b->setRange(-1e9, 1e9);
        b->setDecimals(4);
    }
    form->addRow(QStringLiteral("Smoothing"), SmoothType);
    form->addRow(QStringLiteral("Length"), SmoothLength);
    form->addRow(ValidateBox);
    form->addRow(QStringLiteral("Minimum"), ValidMin);
    form->addRow(QStringLiteral("Maximum"), ValidMax);
    top->addWidget(settings);

    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    top->addWidget(box);
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);

    connect(add, &QPushButton::clicked, this, [this] {
        if (QListWidgetItem* item = Available->currentItem())
            AddNumber(item->data(NumberRole).toInt());
    });
    connect(Available, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { AddNumber(item->data(NumberRole).toInt()); });
    connect(remove, &QPushButton::clicked, this, [this] { RemoveCurrent(); });
    connect(up, &QPushButton::clicked, this, [this] { MoveCurrent(-1); });
    connect(down, &QPushButton::clicked, this, [this] { MoveCurrent(1); });
    connect(Chosen, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
        Store();
        Load(item ? item->data(NumberRole).toInt() : 0);
    });
    connect(SmoothType, &QComboBox::currentIndexChanged, this, [this](int type) {
        if (loading_ || shown_ == 0)
            return;
        TEdit& e = EditOf(shown_);
        Store();
        loading_ = true;
        SmoothLength->setEnabled(type != Smo_None);
        if (type != Smo_None)
            SmoothLength->setValue(std::clamp(e.length[type - 1], MinLength, MaxLength));
        loading_ = false;
    });

    const int count = std::clamp(list.count, 0, MaxParaListCount);
    for (int i = 0; i < count; ++i)
        if (const TParameter* p = Choice(list.List[i]))
            Chosen->addItem(ItemOf(*p));
    if (Chosen->count() > 0)
        Chosen->setCurrentRow(0);
    else
        Load(0);
    resize(560, 460);
}

const TParameter* TParaListDialog::Choice(std::int32_t number) const {
    if (const TParameter* p = probe_.FindPara(number))
        return p;
    return offerDerived_ ? DerivedColumnDefinition(number) : nullptr;
}

TParaListDialog::TEdit& TParaListDialog::EditOf(std::int32_t number) {
    auto it = edits_.find(number);
    if (it != edits_.end())
        return it->second;
    TEdit e;
    if (TParameter* p = probe_.FindPara(number)) {
        TParaSmooth& s = p->ParaSmooth;
        e.type = s.SmoothType <= Smo_LP1stOrder ? s.SmoothType : Smo_None;
        e.length[0] = s.FilterLength(Smo_Mean);
        e.length[1] = s.FilterLength(Smo_LP1stOrder);
        e.validate = s.ValidType == TValidParaType::Validate;
        e.min = s.ValidMin;
        e.max = s.ValidMax;
    }
    return edits_.emplace(number, e).first->second;
}

void TParaListDialog::Load(std::int32_t number) {
    shown_ = number;
    loading_ = true;
    // A derived column is computed from the binned values as they are: nothing to set.
    const bool any = number != 0 && !IsDerivedColumn(number);
    for (QWidget* w :
         std::initializer_list<QWidget*>{SmoothType, SmoothLength, ValidateBox, ValidMin, ValidMax})
        w->setEnabled(any);
    if (any) {
        const TEdit& e = EditOf(number);
        SmoothType->setCurrentIndex(e.type);
        SmoothLength->setEnabled(e.type != Smo_None);
        SmoothLength->setValue(std::clamp(e.type == Smo_None ? e.length[0] : e.length[e.type - 1],
                                          MinLength, MaxLength));
        ValidateBox->setChecked(e.validate);
        ValidMin->setValue(e.min);
        ValidMax->setValue(e.max);
    }
    loading_ = false;
}

void TParaListDialog::Store() {
    if (shown_ == 0 || IsDerivedColumn(shown_) || loading_)
        return;
    TEdit& e = EditOf(shown_);
    e.type = static_cast<TSmoothType>(SmoothType->currentIndex());
    if (e.type != Smo_None)
        e.length[e.type - 1] = SmoothLength->value();
    e.validate = ValidateBox->isChecked();
    e.min = ValidMin->value();
    e.max = ValidMax->value();
}

std::vector<std::int32_t> TParaListDialog::Numbers() const {
    std::vector<std::int32_t> numbers;
    for (int i = 0; i < Chosen->count(); ++i)
        numbers.push_back(Chosen->item(i)->data(NumberRole).toInt());
    return numbers;
}

bool TParaListDialog::AddNumber(std::int32_t number) {
    if (Chosen->count() >= MaxParaListCount)
        return false;
    const TParameter* p = Choice(number);
    if (!p)
        return false;
    Chosen->addItem(ItemOf(*p));
    Chosen->setCurrentRow(Chosen->count() - 1);
    return true;
}

void TParaListDialog::RemoveCurrent() {
    const int row = Chosen->currentRow();
    if (row >= 0)
        delete Chosen->takeItem(row);
}

void TParaListDialog::MoveCurrent(int step) {
    const int row = Chosen->currentRow();
    const int to = row + step;
    if (row < 0 || to < 0 || to >= Chosen->count())
        return;
    QListWidgetItem* item = Chosen->takeItem(row);
    Chosen->insertItem(to, item);
    Chosen->setCurrentRow(to);
}

void TParaListDialog::accept() {
    Store();
    const std::vector<std::int32_t> numbers = Numbers();
    list_.count = static_cast<std::int32_t>(numbers.size());
    for (int i = 0; i < MaxParaListCount; ++i) {
        const bool used = i < list_.count;
        list_.List[i] = used ? numbers[static_cast<std::size_t>(i)] : 0;
        list_.Avail[i] = used && (cast_.ExistParaNb(list_.List[i]) ||
                                  DerivedColumnAvailable(cast_, list_.List[i]))
                             ? 1
                             : 0;
    }
    for (const auto& [number, e] : edits_)
        for (TParamCollection* col : {&probe_, &cast_})
            if (TParameter* p = col->FindPara(number)) {
                TParaSmooth& s = p->ParaSmooth;
                s.SmoothType = e.type;
                s.FilterLength(Smo_Mean) = e.length[0];
                s.FilterLength(Smo_LP1stOrder) = e.length[1];
                s.ValidType = e.validate ? TValidParaType::Validate : TValidParaType::NoValidate;
                s.ValidMin = static_cast<float>(e.min);
                s.ValidMax = static_cast<float>(e.max);
                // Smoothed again from the binned values with the new settings.
                if (p->SmoothBuffer)
                    p->SmoothBuffer->Clear();
            }
    QDialog::accept();
}

} // namespace marevo
