#include "ui/ScaleDialogs.h"

#include "display/PlotPainter.h"
#include "foundation/Guard.h"
#include "app/AppContext.h"
#include "processing/Collections.h"
#include "processing/DerivedColumns.h"
#include "processing/ParamCollection.h"
#include "records/Config.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleValidator>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>

#include <cmath>

namespace marevo {

namespace {

QString Number(long double v) {
    return QString::number(static_cast<double>(v), 'g', 10);
}

void ShowColour(QPushButton* button, std::int32_t colour) {
    button->setStyleSheet(QStringLiteral("background-color: %1").arg(ToQColor(colour).name()));
}

} // namespace

QString DerivedChoiceName(std::int32_t number) {
    const TParameter* p = DerivedColumnDefinition(number);
    if (!p)
        return QString::number(number);
    return QStringLiteral("%1 %2 [%3]")
        .arg(QString::fromStdString(p->ParaGeneral.IDStr.Get()).trimmed(),
             QString::fromStdString(p->ParaGeneral.OrigName.Get()).trimmed(),
             QString::fromStdString(p->ParaGeneral.OrigUnit.Get()).trimmed());
}

TScaleDialog::TScaleDialog(TConfig& config, TParamCollection& cast, int entry, QWidget* parent)
    : QDialog(parent), config_(config), cast_(cast), entry_(entry) {
    setWindowTitle(entry == 0 ? QStringLiteral("Vertical scale") : QStringLiteral("Horizontal scale"));
    auto* form = new QFormLayout(this);
    Parameter = new QComboBox(this);
    std::vector<std::pair<std::string, TParameter*>> names;
    ProbeParamCol().CreateStrings(names);
    for (const auto& [name, p] : names)
        Parameter->addItem(QString::fromStdString(name), p->GetParaNb());
    // A horizontal axis may also show a derived column of the binned table.
    if (entry > 0)
        for (const std::int32_t number : DerivedColumnNumbers())
            Parameter->addItem(DerivedChoiceName(number), number);
    form->addRow(QStringLiteral("Parameter"), Parameter);
    Min = new QLineEdit(this);
    Max = new QLineEdit(this);
    Min->setValidator(new QDoubleValidator(Min));
    Max->setValidator(new QDoubleValidator(Max));
    form->addRow(QStringLiteral("Minimum"), Min);
    form->addRow(QStringLiteral("Maximum"), Max);
    if (entry > 0) {
        Log = new QCheckBox(QStringLiteral("Logarithmic"), this);
        ManualOnly = new QCheckBox(QStringLiteral("Not in the automatic scales"), this);
        ColourButton = new QPushButton(QStringLiteral("Colour..."), this);
        form->addRow(QString(), Log);
        form->addRow(QString(), ManualOnly);
        form->addRow(QStringLiteral("Colour"), ColourButton);
        connect(ColourButton, &QPushButton::clicked, this, [this] {
            const QColor c = QColorDialog::getColor(ToQColor(colour_), this);
            if (c.isValid()) {
                colour_ = c.red() | (c.green() << 8) | (c.blue() << 16);
                ShowColour(ColourButton, colour_);
            }
        });
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(Parameter, &QComboBox::currentIndexChanged, this,
            [this](int) { ShowParameter(Parameter->currentData().toInt()); });

    const int number = config.GenCfg.ParaPlotList.List[entry];
    Parameter->setCurrentIndex(std::max(0, Parameter->findData(number)));
    ShowParameter(number);
}

void TScaleDialog::ShowParameter(int number) {
    const TParameter* p = TConfigCollections(cast_, ProbeParamCol()).FindListedPara(number);
    if (!p)
        return;
    const TParaScale& s = p->ParaScale;
    Min->setText(Number(s.CurMin.ToLongDouble()));
    Max->setText(Number(s.CurMax.ToLongDouble()));
    colour_ = s.Color;
    if (Log)
        Log->setChecked(s.ScaleType == st_Log);
    if (ManualOnly)
        ManualOnly->setChecked(s.EnableXAutoScale != 0);
    if (ColourButton)
        ShowColour(ColourButton, colour_);
}

void TScaleDialog::accept() {
    bool minOk = false, maxOk = false;
    const double lo = Min->text().toDouble(&minOk), hi = Max->text().toDouble(&maxOk);
    // An axis needs two different finite ends.
    if (!minOk || !maxOk || !std::isfinite(lo) || !std::isfinite(hi) || lo == hi) {
        Min->setFocus();
        return;
    }
    const int number = Parameter->currentData().toInt();
    Guard({"Error in TPlotForm.XScaleDlg"}, [&] {
        std::vector<TParameter*> targets;
        for (TParamCollection* col : {&ProbeParamCol(), &cast_})
            if (TParameter* p = col->FindPara(number))
                targets.push_back(p);
        if (TParameter* d = DerivedColumnDefinition(number))
            targets.push_back(d);
        for (TParameter* p : targets) {
            TParaScale& s = p->ParaScale;
            s.CurMin = TExtended::FromDouble(lo);
            s.CurMax = TExtended::FromDouble(hi);
            if (Log)
                s.ScaleType = Log->isChecked() ? st_Log : st_Linear;
            if (ManualOnly)
                s.EnableXAutoScale = ManualOnly->isChecked() ? 1 : 0;
            if (ColourButton)
                s.Color = colour_;
        }
        TParaList& list = config_.GenCfg.ParaPlotList;
        list.List[entry_] = number;
        list.Avail[entry_] = cast_.ExistParaNb(number) || DerivedColumnAvailable(cast_, number);
        config_.SetParaPtr(list, config_.PlotParaPtr, TConfigCollections(cast_, ProbeParamCol()));
    });
    QDialog::accept();
}

bool XScaleDlg(TConfig& config, TParamCollection& cast, int entry, QWidget* parent) {
    TScaleDialog dialog(config, cast, entry, parent);
    return dialog.exec() == QDialog::Accepted;
}

bool YScaleDlg(TConfig& config, TParamCollection& cast, QWidget* parent) {
    TScaleDialog dialog(config, cast, 0, parent);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace marevo
