#include "ui/RosetteConfigFrame.h"

#include "foundation/EventLog.h"
#include "foundation/Guard.h"
#include "foundation/Runtime.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QVBoxLayout>

#include <fmt/core.h>

namespace marevo {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }
QString TwoDigits(int k) { return QStringLiteral("%1").arg(k, 2, 10, QLatin1Char('0')); }

} // namespace

TRosetteConfigFrame::TRosetteConfigFrame(TConfig& config, QWidget* parent)
    : QWidget(parent), config_(config) {
    setObjectName(QStringLiteral("RosetteConfigFrame"));
    auto* top = new QHBoxLayout(this);

    auto* left = new QVBoxLayout;
    auto* available = new QGroupBox(QStringLiteral("Available Bottles"), this);
    auto* availableLayout = new QVBoxLayout(available);
    InstalledLB = new QListWidget(available);
    InstalledLB->setObjectName(QStringLiteral("InstalledLB"));
    // Four columns: the items flow left to right and wrap after the fourth.
    InstalledLB->setFlow(QListView::LeftToRight);
    InstalledLB->setWrapping(true);
    InstalledLB->setResizeMode(QListView::Adjust);
    InstalledLB->setGridSize(QSize(52, 22));
    InstalledLB->setFixedWidth(52 * 4 + 2 * InstalledLB->frameWidth() + 20);
    InstalledLB->setMinimumHeight(22 * MaxBottles / 4 + 2 * InstalledLB->frameWidth() + 4);
    for (int k = 1; k <= MaxBottles; ++k) {
        auto* item = new QListWidgetItem(TwoDigits(k), InstalledLB);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
        item->setCheckState(Qt::Unchecked);
    }
    availableLayout->addWidget(InstalledLB);
    left->addWidget(available);

    const auto radios = [this](const QString& title, const char* name, QRadioButton* (&into)[2],
                               const QString& a, const QString& b) {
        auto* group = new QGroupBox(title, this);
        group->setObjectName(QString::fromLatin1(name));
        auto* layout = new QHBoxLayout(group);
        auto* buttons = new QButtonGroup(group);
        into[0] = new QRadioButton(a, group);
        into[1] = new QRadioButton(b, group);
        for (int i = 0; i < 2; ++i) {
            buttons->addButton(into[i], i);
            layout->addWidget(into[i]);
        }
        return group;
    };
    left->addWidget(radios(QStringLiteral("Sampling Type"), "SamplingTypeRG", SamplingTypeRG,
                           QStringLiteral("Manual"), QStringLiteral("Automatic")));

    auto* automatic = new QGroupBox(QStringLiteral("Automatic Sampling"), this);
    auto* autoLayout = new QGridLayout(automatic);
    WaitOnSamplingEd = new QLineEdit(automatic);
    WaitOnSamplingEd->setObjectName(QStringLiteral("WaitOnSamplingEd"));
    StartPressEd = new QLineEdit(automatic);
    StartPressEd->setObjectName(QStringLiteral("StartPressEd"));
    autoLayout->addWidget(new QLabel(QStringLiteral("Wait On Sampling [s]"), automatic), 0, 0);
    autoLayout->addWidget(WaitOnSamplingEd, 0, 1);
    autoLayout->addWidget(new QLabel(QStringLiteral("Start Pressure [dbar]"), automatic), 1, 0);
    autoLayout->addWidget(StartPressEd, 1, 1);
    autoLayout->addWidget(radios(QStringLiteral("Operator Authorization"), "OperatorAuthRG",
                                 OperatorAuthRG, QStringLiteral("Yes"), QStringLiteral("No")),
                          2, 0, 1, 2);
    left->addWidget(automatic);
    left->addStretch();
    top->addLayout(left);

    auto* levels = new QGroupBox(QStringLiteral("Automatic Sampling Pressure"), this);
    auto* grid = new QGridLayout(levels);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(2);
    constexpr int Rows = 12;
    for (int c = 0; c < MaxBottles / Rows; ++c)
        grid->addWidget(new QLabel(QStringLiteral("Pressure [dbar]"), levels), 0, 2 * c + 1);
    for (int k = 1; k <= MaxBottles; ++k) {
        const int row = 1 + (k - 1) % Rows, column = 2 * ((k - 1) / Rows);
        auto* box = new QCheckBox(TwoDigits(k), levels);
        box->setObjectName(QStringLiteral("bottle%1CB").arg(k));
        auto* edit = new QLineEdit(levels);
        edit->setObjectName(QStringLiteral("bottle%1PressEd").arg(k));
        edit->setMaximumWidth(80);
        bottleCB[std::size_t(k - 1)] = box;
        bottlePressEd[std::size_t(k - 1)] = edit;
        grid->addWidget(box, row, column);
        grid->addWidget(edit, row, column + 1);
    }
    grid->setRowStretch(Rows + 1, 1);
    top->addWidget(levels, 1);

    for (int i = 0; i < 2; ++i)
        connect(SamplingTypeRG[i], &QRadioButton::clicked, this, [this] { SamplingTypeRGClick(); });
    connect(InstalledLB, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        if (!filling_)
            InstalledLBClickCheck(InstalledLB->row(item) + 1);
    });
    SetFields();
}

TRosettePage TRosetteConfigFrame::Page() const {
    TRosettePage page;
    for (int k = 0; k < MaxBottles; ++k) {
        const auto i = std::size_t(k);
        page.installed[i] = InstalledLB->item(k)->checkState() == Qt::Checked;
        page.checked[i] = bottleCB[i]->isChecked();
        page.pressure[i] = bottlePressEd[i]->text().toStdString();
    }
    page.waitOnSampling = WaitOnSamplingEd->text().toStdString();
    page.startPressure = StartPressEd->text().toStdString();
    page.samplingType = SamplingTypeRG[1]->isChecked() ? 1 : 0;
    page.operatorAuth = OperatorAuthRG[1]->isChecked() ? 1 : 0;
    return page;
}

void TRosetteConfigFrame::SetPage(const TRosettePage& page) {
    filling_ = true;
    for (int k = 0; k < MaxBottles; ++k) {
        const auto i = std::size_t(k);
        InstalledLB->item(k)->setCheckState(page.installed[i] ? Qt::Checked : Qt::Unchecked);
        bottleCB[i]->setChecked(page.checked[i]);
        bottlePressEd[i]->setText(Q(page.pressure[i]));
    }
    WaitOnSamplingEd->setText(Q(page.waitOnSampling));
    StartPressEd->setText(Q(page.startPressure));
    SamplingTypeRG[page.samplingType == 1 ? 1 : 0]->setChecked(true);
    OperatorAuthRG[page.operatorAuth == 1 ? 1 : 0]->setChecked(true);
    filling_ = false;
    ApplyEnabling(page.samplingType, page.installed);
}

bool TRosetteConfigFrame::SetFields() {
    return Guard({"Error in TRosetteConfigFrame.SetFields"},
                 [&] { SetPage(RosettePageFrom(config_.Rosette)); });
}

bool TRosetteConfigFrame::RestoreFields() {
    bool changed = false;
    const bool ok = Guard({"Error in TRosetteConfigFrame.RestoreFields"}, [&] {
        const TRosettePageCheck check = CheckRosettePage(Page(), config_.Rosette);
        for (const std::string& warning : check.warnings)
            Operator().Message(warning, std::string(RosetteWarningCaption),
                               TMessageKind::Warning);
        SetPage(check.shown);
        ApplyRosettePage(check, config_.Rosette);
        changed = check.installedChanged;
    });
    if (ok && changed && onInstalledChanged)
        onInstalledChanged();
    return ok;
}

void TRosetteConfigFrame::ApplyEnabling(int samplingType,
                                        const std::array<bool, MaxBottles>& installed) {
    const TRosetteEnabling e = RosetteEnabling(samplingType, installed);
    WaitOnSamplingEd->setEnabled(e.edits);
    StartPressEd->setEnabled(e.edits);
    for (QRadioButton* b : OperatorAuthRG)
        b->setEnabled(e.edits);
    for (std::size_t i = 0; i < e.position.size(); ++i) {
        bottleCB[i]->setEnabled(e.position[i]);
        bottlePressEd[i]->setEnabled(e.position[i]);
    }
}

void TRosetteConfigFrame::SamplingTypeRGClick() {
    const int type = SamplingTypeRG[1]->isChecked() ? 1 : 0;
    config_.Rosette.SamplingType = type;
    ApplyEnabling(type, Page().installed);
}

void TRosetteConfigFrame::InstalledLBClickCheck(int position) {
    if (position < 1 || position > MaxBottles)
        return;
    const auto i = std::size_t(position - 1);
    const bool on = InstalledLB->item(position - 1)->checkState() == Qt::Checked &&
                    config_.Rosette.SamplingType == 1;
    bottleCB[i]->setEnabled(on);
    bottlePressEd[i]->setEnabled(on);
}

} // namespace marevo
