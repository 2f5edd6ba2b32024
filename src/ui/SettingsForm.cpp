#include "ui/SettingsForm.h"

#include "foundation/Runtime.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QScrollArea>
#include <QTabWidget>
#include <QVBoxLayout>

namespace marevo {

using Kind = TFormField::Kind;

TFormField NumberField(QString page, QString group, QString label, TNumberField range,
                       std::function<double()> get, std::function<void(double)> set) {
    TFormField f;
    f.kind = Kind::Number;
    f.page = std::move(page);
    f.group = std::move(group);
    f.label = std::move(label);
    f.number = std::move(range);
    f.number.name = f.label.toStdString();
    f.get = std::move(get);
    f.set = std::move(set);
    return f;
}

TFormField CheckField(QString page, QString group, QString label, std::uint8_t& flag) {
    TFormField f;
    f.kind = Kind::Check;
    f.page = std::move(page);
    f.group = std::move(group);
    f.label = std::move(label);
    f.get = [&flag] { return flag != 0 ? 1.0 : 0.0; };
    f.set = [&flag](double v) { flag = v != 0 ? 1 : 0; };
    return f;
}

TFormField ChoiceField(QString page, QString group, QString label, QStringList choices,
                       std::function<double()> get, std::function<void(double)> set) {
    TFormField f;
    f.kind = Kind::Choice;
    f.page = std::move(page);
    f.group = std::move(group);
    f.label = std::move(label);
    f.choices = std::move(choices);
    f.get = std::move(get);
    f.set = std::move(set);
    return f;
}

TFormField TextField(QString page, QString group, QString label, int maxLength,
                     std::function<std::string()> get,
                     std::function<void(const std::string&)> set) {
    TFormField f;
    f.kind = Kind::Text;
    f.page = std::move(page);
    f.group = std::move(group);
    f.label = std::move(label);
    f.maxLength = maxLength;
    f.getText = std::move(get);
    f.setText = std::move(set);
    return f;
}

TFieldPanel::TFieldPanel(std::vector<TFormField> fields, QWidget* parent) : QTabWidget(parent) {
    std::map<QString, QVBoxLayout*> pageLayouts;
    std::map<std::pair<QString, QString>, QFormLayout*> groups;
    for (TFormField& f : fields) {
        QVBoxLayout*& pageLayout = pageLayouts[f.page];
        if (pageLayout == nullptr) {
            auto* page = new QWidget;
            pageLayout = new QVBoxLayout(page);
            auto* scroll = new QScrollArea(this);
            scroll->setWidget(page);
            scroll->setWidgetResizable(true);
            scroll->setFrameShape(QFrame::NoFrame);
            addTab(scroll, f.page);
        }
        QFormLayout*& form = groups[{f.page, f.group}];
        if (form == nullptr) {
            auto* box = new QGroupBox(f.group);
            form = new QFormLayout(box);
            pageLayout->addWidget(box);
        }
        TBound b{std::move(f), nullptr, {}};
        const TFormField& field = b.field;
        switch (field.kind) {
        case Kind::Number: {
            auto* edit = new QLineEdit(QString::fromStdString(NumberFieldText(field.get(), 10)));
            edit->setMaximumWidth(160);
            b.widget = edit;
            form->addRow(field.label, edit);
            break;
        }
        case Kind::Check: {
            auto* check = new QCheckBox(field.label);
            check->setChecked(field.get() != 0);
            b.widget = check;
            form->addRow(check);
            break;
        }
        case Kind::Choice: {
            auto* box = new QComboBox;
            box->addItems(field.choices);
            box->setCurrentIndex(static_cast<int>(field.get()));
            b.widget = box;
            form->addRow(field.label, box);
            break;
        }
        case Kind::Text: {
            auto* edit = new QLineEdit(QString::fromStdString(field.getText()));
            edit->setMaxLength(field.maxLength);
            b.widget = edit;
            form->addRow(field.label, edit);
            break;
        }
        }
        b.shown = Shown(b);
        byLabel_[field.key.isEmpty() ? field.label : field.key] = b.widget;
        bound_.push_back(std::move(b));
    }
    for (auto& [name, layout] : pageLayouts)
        layout->addStretch();
}

void TFieldPanel::SetReadOnly(bool readOnly) {
    for (const TBound& b : bound_) {
        if (auto* edit = qobject_cast<QLineEdit*>(b.widget))
            edit->setReadOnly(readOnly);
        else
            b.widget->setEnabled(!readOnly);
    }
}

TSettingsForm::TSettingsForm(const QString& title, std::vector<TFormField> fields, QWidget* parent)
    : QDialog(parent), panel_(new TFieldPanel(std::move(fields), this)),
      buttons_(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this)) {
    setWindowTitle(title);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(panel_);
    layout->addWidget(buttons_);
    connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
    resize(880, 600); // every page's tab in sight
}

QString TFieldPanel::Shown(const TBound& b) const {
    switch (b.field.kind) {
    case Kind::Number:
    case Kind::Text: return static_cast<QLineEdit*>(b.widget)->text();
    case Kind::Check: return static_cast<QCheckBox*>(b.widget)->isChecked() ? "1" : "0";
    case Kind::Choice: return QString::number(static_cast<QComboBox*>(b.widget)->currentIndex());
    }
    return {};
}

QWidget* TFieldPanel::Field(const QString& label) const {
    const auto it = byLabel_.find(label);
    return it == byLabel_.end() ? nullptr : it->second;
}

void TSettingsForm::AddPage(QWidget* page, const QString& title) { panel_->addTab(page, title); }

bool TFieldPanel::Apply(std::string& refusal) {
    TFieldReader reader;
    std::vector<std::pair<const TBound*, double>> numbers;
    std::vector<const TBound*> texts;
    for (const TBound& b : bound_) {
        const QString now = Shown(b);
        if (now == b.shown)
            continue; // left alone: the stored value stays as it is
        switch (b.field.kind) {
        case Kind::Number:
            numbers.emplace_back(&b, reader.Read(now.toStdString(), b.field.number, 0));
            break;
        case Kind::Check:
        case Kind::Choice: numbers.emplace_back(&b, now.toDouble()); break;
        case Kind::Text: texts.push_back(&b); break;
        }
    }
    if (!reader.Ok()) {
        refusal = reader.Message();
        return false;
    }
    for (const auto& [b, value] : numbers)
        b->field.set(value);
    for (const TBound* b : texts)
        b->field.setText(Shown(*b).trimmed().toStdString());
    for (TBound& b : bound_)
        b.shown = Shown(b);
    return true;
}

bool TSettingsForm::Apply() {
    refusal_.clear();
    if (panel_->Apply(refusal_)) {
        for (const auto& step : onApply)
            step();
        return true;
    }
    Operator().Message(refusal_, windowTitle().toStdString(), TMessageKind::Warning);
    return false;
}

void TSettingsForm::accept() {
    if (Apply())
        QDialog::accept();
}

} // namespace marevo
