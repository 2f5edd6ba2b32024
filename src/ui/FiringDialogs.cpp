#include "ui/FiringDialogs.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace marevo {

namespace {

QString Q(std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

QLineEdit* ReadOnly(const std::string& text, QWidget* parent, const char* name) {
    auto* edit = new QLineEdit(Q(text), parent);
    edit->setReadOnly(true);
    edit->setObjectName(QString::fromLatin1(name));
    return edit;
}

} // namespace

// ---- Operator dialog ----------------------------------------------------------------------------

TOperatorAuthDlg::TOperatorAuthDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint) {
    setWindowTitle(QStringLiteral("Firing Bottle"));
    setObjectName(QStringLiteral("OperatorAuthDlg"));
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    FiringBottleLabelText = new QLabel(this);
    FiringBottleLabelText->setObjectName(QStringLiteral("FiringBottleLabelText"));
    QFont big = FiringBottleLabelText->font();
    big.setPointSizeF(big.pointSizeF() * 1.4);
    big.setBold(true);
    FiringBottleLabelText->setFont(big);
    FiringBottleLabelText->setAlignment(Qt::AlignCenter);
    FiringBottleLabelText->setMinimumWidth(340);
    FiringBottleLabelText->setMinimumHeight(48);
    layout->addWidget(FiringBottleLabelText);
    auto* row = new QHBoxLayout;
    row->addStretch();
    OKBtn = new QPushButton(QStringLiteral("Fire"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    row->addWidget(OKBtn);
    row->addStretch();
    layout->addLayout(row);
    connect(OKBtn, &QPushButton::clicked, this, [this] {
        hide();
        if (onFire)
            onFire(bottle_);
    });
}

void TOperatorAuthDlg::ShowLabel(const QString& text, int bottle) {
    bottle_ = bottle;
    FiringBottleLabelText->setText(text);
    adjustSize();
    show();
    raise();
    activateWindow();
}

QString TOperatorAuthDlg::Text() const { return FiringBottleLabelText->text(); }

// ---- First-bottle dialog ------------------------------------------------------------------------

TFirstBottleDialog::TFirstBottleDialog(const TRosetteInfo& rosette, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint) {
    setWindowTitle(QStringLiteral("ROSETTE: first bottle number"));
    setObjectName(QStringLiteral("FirstBottleDialog"));
    setModal(true);
    const TFirstBottleContent c = FirstBottleContent(rosette);
    auto* layout = new QVBoxLayout(this);
    auto* group = new QGroupBox(QStringLiteral("Select in the list  the first bottle number"), this);
    auto* columns = new QHBoxLayout(group);
    auto* form = new QFormLayout;
    auto* type = new QComboBox(group);
    type->setObjectName(QStringLiteral("SamplerType"));
    for (int t = 0; t < RosetteTypeCount; ++t)
        type->addItem(Q(RosetteTypeLabel(t)));
    type->setCurrentIndex(c.typeIndex);
    type->setEnabled(false);
    form->addRow(QStringLiteral("Sampler type"), type);
    form->addRow(QStringLiteral("Time Out [s]"), ReadOnly(c.timeOut, group, "TimeOut"));
    form->addRow(QStringLiteral("Fire delay [s]"), ReadOnly(c.fireDelay, group, "FireDelay"));
    form->addRow(QStringLiteral("Max Bottles"), ReadOnly(c.maxBottles, group, "MaxBottles"));
    columns->addLayout(form);
    auto* listColumn = new QVBoxLayout;
    listColumn->addWidget(new QLabel(QStringLiteral("Installed bottles"), group));
    InstalledLB = new QListWidget(group);
    InstalledLB->setObjectName(QStringLiteral("InstalledLB"));
    // Two columns: the items flow left to right and wrap after the second.
    InstalledLB->setFlow(QListView::LeftToRight);
    InstalledLB->setWrapping(true);
    InstalledLB->setResizeMode(QListView::Adjust);
    InstalledLB->setGridSize(QSize(48, 22));
    InstalledLB->setFixedWidth(48 * 2 + 2 * InstalledLB->frameWidth() + 24);
    for (const std::string& item : c.installed)
        InstalledLB->addItem(Q(item));
    listColumn->addWidget(InstalledLB);
    columns->addLayout(listColumn);
    layout->addWidget(group);
    auto* buttons = new QHBoxLayout;
    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    NoRosetteBtn = new QPushButton(QStringLiteral("No Rosette connected"), this);
    NoRosetteBtn->setObjectName(QStringLiteral("NoRosetteBtn"));
    HelpBtn = new QPushButton(QStringLiteral("Help"), this);
    HelpBtn->setObjectName(QStringLiteral("HelpBtn"));
    buttons->addStretch();
    for (QPushButton* b : {OKBtn, NoRosetteBtn, HelpBtn})
        buttons->addWidget(b);
    layout->addLayout(buttons);
    OKBtn->setEnabled(false);
    connect(InstalledLB, &QListWidget::itemClicked, this,
            [this](QListWidgetItem*) { OKBtn->setEnabled(true); });
    connect(OKBtn, &QPushButton::clicked, this, [this] {
        const QListWidgetItem* item = InstalledLB->currentItem();
        // Without a selection there is no first bottle: OK stays what it was, disabled.
        if (!item)
            return;
        SelNumber = InstalledItemNumber(item->text().toStdString());
        accept();
    });
    connect(NoRosetteBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(HelpBtn, &QPushButton::clicked, this, [this] {
        if (onHelp)
            onHelp();
    });
}

void TFirstBottleDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (InstalledLB->count() > 0) {
        InstalledLB->setCurrentRow(0);
        OKBtn->setEnabled(true);
    }
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

} // namespace marevo
