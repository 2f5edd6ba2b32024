#include "ui/DataDialogs.h"

#include "records/CastInfo.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace marevo {

namespace fs = std::filesystem;

TOpenDataDialog::TOpenDataDialog(const std::vector<std::string>& cruises, TCastLister casts,
                                 const std::string& currentCruise, int currentCast,
                                 QWidget* parent)
    : QDialog(parent), lister_(std::move(casts)), cruises_(new QListWidget(this)),
      casts_(new QListWidget(this)),
      buttons_(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this)) {
    setWindowTitle(QStringLiteral("Open Data"));
    resize(520, 380);
    auto* lists = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    left->addWidget(new QLabel(QStringLiteral("Cruise"), this));
    left->addWidget(cruises_);
    auto* right = new QVBoxLayout;
    right->addWidget(new QLabel(QStringLiteral("Cast"), this));
    right->addWidget(casts_);
    lists->addLayout(left, 1);
    lists->addLayout(right, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(lists);
    layout->addWidget(buttons_);
    connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);

    for (const std::string& c : cruises)
        cruises_->addItem(QString::fromStdString(c));
    for (int i = 0; i < cruises_->count(); ++i)
        if (cruises_->item(i)->text().compare(QString::fromStdString(currentCruise),
                                              Qt::CaseInsensitive) == 0)
            cruises_->setCurrentRow(i);
    if (cruises_->currentRow() < 0 && cruises_->count() > 0)
        cruises_->setCurrentRow(0);
    FillCasts(currentCast);
    connect(cruises_, &QListWidget::currentRowChanged, this, [this] { FillCasts(0); });
    connect(casts_, &QListWidget::currentRowChanged, this, [this] { UpdateOk(); });
    connect(casts_, &QListWidget::itemDoubleClicked, this, [this] {
        if (Cast() > 0)
            accept();
    });
}

void TOpenDataDialog::FillCasts(int preselect) {
    casts_->clear();
    const std::string cruise = Cruise();
    if (!cruise.empty())
        for (const TCastListItem& c : lister_(cruise)) {
            auto* item = new QListWidgetItem(QString::fromStdString(c.text), casts_);
            if (!c.enabled)
                item->setFlags(item->flags() & ~(Qt::ItemIsEnabled | Qt::ItemIsSelectable));
        }
    if (preselect > 0 && preselect <= casts_->count())
        casts_->setCurrentRow(preselect - 1);
    UpdateOk();
}

void TOpenDataDialog::UpdateOk() { buttons_->button(QDialogButtonBox::Ok)->setEnabled(Cast() > 0); }

std::string TOpenDataDialog::Cruise() const {
    const QListWidgetItem* item = cruises_->currentItem();
    return item ? item->text().toStdString() : std::string();
}

int TOpenDataDialog::Cast() const {
    const int row = casts_->currentRow();
    if (row < 0 || !(casts_->item(row)->flags() & Qt::ItemIsEnabled))
        return 0;
    return row + 1;
}

// ---- New cruise ----------------------------------------------------------------------------------

TNewCruiseForm::TNewCruiseForm(TCastInfo& header, const fs::path& dataRoot, QWidget* parent)
    : QDialog(parent), header_(header), dataRoot_(dataRoot) {
    setWindowTitle(QStringLiteral("New Cruise"));
    const auto field = [this](const std::string& text) {
        auto* edit = new QLineEdit(QString::fromStdString(text), this);
        return edit;
    };
    fileName_ = field(header.InfoStr[2].Get());
    cruiseName_ = field(header.InfoStr[1].Get());
    number_ = field(header.InfoStr[0].Get());
    operator_ = field(header.InfoStr[4].Get());
    vessel_ = field(header.InfoStr[3].Get());
    comment_ = field(header.comment.Get());
    fileName_->setMaxLength(40);
    problem_ = new QLabel(this);
    problem_->setStyleSheet(QStringLiteral("color: #b00000"));
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("File name"), fileName_);
    form->addRow(QStringLiteral("Cruise name"), cruiseName_);
    form->addRow(QStringLiteral("Number"), number_);
    form->addRow(QStringLiteral("Operator"), operator_);
    form->addRow(QStringLiteral("Vessel"), vessel_);
    form->addRow(QStringLiteral("Comment"), comment_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(fileName_, &QLineEdit::textChanged, this,
            [this] { problem_->setText(QString::fromStdString(NameError())); });
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(problem_);
    layout->addWidget(buttons);
    problem_->setText(QString::fromStdString(NameError()));
}

std::string TNewCruiseForm::NameError() const {
    const std::string name = fileName_->text().trimmed().toStdString();
    std::string refused = NewCruiseNameError(name);
    if (refused.empty()) {
        std::error_code ec;
        if (fs::exists(dataRoot_ / name / (name + ".cru"), ec))
            refused = "New Cruise Error: this header name already exists";
    }
    return refused;
}

void TNewCruiseForm::accept() {
    const std::string refused = NameError();
    if (!refused.empty()) {
        problem_->setText(QString::fromStdString(refused));
        return;
    }
    header_.InfoStr[2].Set(fileName_->text().trimmed().toStdString());
    header_.InfoStr[1].Set(cruiseName_->text().toStdString());
    header_.InfoStr[0].Set(number_->text().toStdString());
    header_.InfoStr[4].Set(operator_->text().toStdString());
    header_.InfoStr[3].Set(vessel_->text().toStdString());
    header_.comment.Set(comment_->text().toStdString());
    QDialog::accept();
}

} // namespace marevo
