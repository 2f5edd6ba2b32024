#include "ui/ParameterEditor.h"

#include "foundation/Runtime.h"
#include "foundation/Stream.h"
#include "processing/ParamCollection.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QVBoxLayout>

namespace marevo {

namespace {

TFormField Ext(const QString& page, const QString& group, const QString& label, TExtended& x,
               TNumberField range = {}) {
    return NumberField(
        page, group, label, std::move(range), [&x] { return static_cast<double>(x.ToLongDouble()); },
        [&x](double v) { x = TExtended::FromDouble(v); });
}
template <class T>
TFormField Whole(const QString& page, const QString& group, const QString& label, T& x,
                 double min, double max) {
    return NumberField(page, group, label, {{}, min, max, true},
                       [&x] { return static_cast<double>(x); },
                       [&x](double v) { x = static_cast<T>(static_cast<long long>(v)); });
}
template <class T>
TFormField Choice(const QString& page, const QString& group, const QString& label, T& x,
                  QStringList choices) {
    return ChoiceField(page, group, label, std::move(choices),
                       [&x] { return static_cast<double>(x); },
                       [&x](double v) { x = static_cast<T>(static_cast<int>(v)); });
}
template <std::size_t N>
TFormField Text(const QString& page, const QString& group, const QString& label, TStr<N>& s) {
    return TextField(page, group, label, static_cast<int>(N), [&s] { return s.Get(); },
                     [&s](const std::string& v) { s.Set(v); });
}

std::vector<std::uint8_t> Definition(const TParameter& p) {
    TMemoryStream stream;
    p.WritePara(stream);
    return stream.Bytes();
}

} // namespace

std::vector<TFormField> ParameterFields(TParameter& p) {
    std::vector<TFormField> f;
    QString page = QStringLiteral("Identity"), group = QStringLiteral("Names");
    f.push_back(Text(page, group, "Identifier", p.ParaGeneral.IDStr));
    f.push_back(Text(page, group, "Unit", p.ParaText.ParaStr[0]));
    f.push_back(Text(page, group, "List name", p.ParaText.ParaStr[1]));
    f.push_back(Text(page, group, "Screen name", p.ParaText.ParaStr[2]));
    f.push_back(Text(page, group, "File name", p.ParaText.ParaStr[3]));
    f.push_back(CheckField(page, group, "Hidden from the lists", p.ParaGeneral.Hidden));

    page = QStringLiteral("Conversion");
    group = QStringLiteral("From the probe frame");
    f.push_back(Whole(page, group, "Probe channel code", p.paraRaw.PrbCross[0], 0, 999));
    f.push_back(Choice(page, group, "Frame decoding", p.paraRaw.ConvType,
                       {"None", "Byte", "Word", "Single", "SB3", "SBAD", "3 bytes", "Header DF4",
                        "Header DF5", "Header DF6", "Header DF7"}));
    f.push_back(Choice(page, group, "Calibration formula", p.paraRaw.CalibType,
                       {"Dummy", "None", "Linear", "Polynomial 3", "Polynomial 5", "Polynomial 8",
                        "Logarithmic", "Elapsed time", "Probe time", "Pressure zero",
                        "Fresh water", "PAR", "WetLabs"}));

    page = QStringLiteral("Calibration");
    group = QStringLiteral("Coefficients");
    for (int k = 0; k < CalibCoefCount; ++k) {
        const std::string name = p.ParaGeneral.CalibStr[k].Get();
        const QString key = QStringLiteral("c%1").arg(k);
        f.push_back(Ext(page, group,
                        name.empty() ? key : key + " (" + QString::fromStdString(name) + ")",
                        p.ParaCalib.calib[k]));
        f.back().key = key;
    }
    group = QStringLiteral("Sensor");
    f.push_back(Text(page, group, "Sensor type", p.ParaCalib.SensorType));
    f.push_back(Text(page, group, "Sensor serial number", p.ParaCalib.SensorSN));

    page = QStringLiteral("Limits");
    group = QStringLiteral("Limits");
    f.push_back(Ext(page, group, "Absolute minimum", p.ParaGeneral.AbsoMin));
    f.push_back(Ext(page, group, "Absolute maximum", p.ParaGeneral.AbsoMax));
    f.push_back(Ext(page, group, "Smallest automatic span", p.ParaGeneral.MinExt, {{}, 0, 1e300}));
    f.push_back(Choice(page, group, "Validation", p.ParaSmooth.ValidType, {"Off", "On"}));
    f.push_back(NumberField(page, group, "Validation minimum", {},
                            [&p] { return static_cast<double>(p.ParaSmooth.ValidMin); },
                            [&p](double v) { p.ParaSmooth.ValidMin = static_cast<float>(v); }));
    f.push_back(NumberField(page, group, "Validation maximum", {},
                            [&p] { return static_cast<double>(p.ParaSmooth.ValidMax); },
                            [&p](double v) { p.ParaSmooth.ValidMax = static_cast<float>(v); }));

    page = QStringLiteral("Display");
    group = QStringLiteral("Values");
    f.push_back(Whole(page, group, "Screen decimals", p.ParaText.Decimal[2], 0, 10));
    f.push_back(Whole(page, group, "File decimals", p.ParaText.Decimal[3], 0, 10));
    f.push_back(Choice(page, group, "Smoothing", p.ParaSmooth.SmoothType, {"None", "Mean", "Low pass"}));
    f.push_back(Whole(page, group, "Mean length", p.ParaSmooth.FilterLength(Smo_Mean), 2, 100));
    f.push_back(Whole(page, group, "Low-pass length", p.ParaSmooth.FilterLength(Smo_LP1stOrder), 2, 100));
    group = QStringLiteral("Plot scale");
    f.push_back(Choice(page, group, "Scale", p.ParaScale.ScaleType, {"None", "Linear", "Logarithmic", "Other"}));
    f.push_back(Ext(page, group, "Scale minimum", p.ParaScale.CurMin));
    f.push_back(Ext(page, group, "Scale maximum", p.ParaScale.CurMax));
    f.push_back(Ext(page, group, "Axis step", p.ParaScale.TrackStep));
    f.push_back(CheckField(page, group, "Automatic scale", p.ParaScale.AutoScale));
    return f;
}

TParameterEditor::TParameterEditor(TParamCollection& collection, bool editable, QWidget* parent)
    : QDialog(parent), collection_(collection), editable_(editable), list_(new QListWidget(this)),
      columns_(new QHBoxLayout) {
    setWindowTitle(editable ? QStringLiteral("Parameter Editor") : QStringLiteral("Probe"));
    for (int i = 0; i < collection_.Count(); ++i) {
        const TParameter* p = collection_.Items(i);
        list_->addItem(QStringLiteral("%1  %2")
                           .arg(p->GetParaNb(), 4)
                           .arg(QString::fromStdString(p->ParaText.ParaStr[2].Get())));
    }
    list_->setMaximumWidth(260);
    columns_->addWidget(list_);
    auto* buttons = new QDialogButtonBox(
        editable ? QDialogButtonBox::Ok | QDialogButtonBox::Cancel : QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns_);
    layout->addWidget(buttons);
    resize(900, 640);
    connect(list_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row == shown_ || row < 0)
            return;
        if (!TakeShown()) { // stay on the parameter whose field is refused
            const QSignalBlocker block(list_);
            list_->setCurrentRow(shown_);
            return;
        }
        Show(row);
    });
    if (collection_.Count() > 0)
        list_->setCurrentRow(0);
}

void TParameterEditor::Show(int row) {
    TParameter& p = *collection_.Items(row);
    if (editable_ && before_.count(row) == 0)
        before_[row] = Definition(p);
    auto* panel = new TFieldPanel(ParameterFields(p), this);
    panel->SetReadOnly(!editable_);
    if (panel_ != nullptr) {
        panel->setCurrentIndex(panel_->currentIndex()); // the same page for the next parameter
        columns_->replaceWidget(panel_, panel);
        delete panel_;
    } else {
        columns_->addWidget(panel, 1);
    }
    panel_ = panel;
    shown_ = row;
}

bool TParameterEditor::TakeShown() {
    refusal_.clear();
    if (!editable_ || panel_ == nullptr || panel_->Apply(refusal_))
        return true;
    Operator().Message(refusal_, windowTitle().toStdString(), TMessageKind::Warning);
    return false;
}

void TParameterEditor::accept() {
    if (TakeShown())
        QDialog::accept();
}

void TParameterEditor::reject() {
    // Every parameter edited goes back to its definition as it was.
    for (const auto& [row, bytes] : before_) {
        TMemoryStream stream(bytes);
        collection_.Items(row)->ReadPara(stream);
    }
    before_.clear();
    QDialog::reject();
}

} // namespace marevo
