#include "ui/ConfigForm.h"
#include "ui/RosetteConfigFrame.h"

#include "foundation/Runtime.h"
#include "records/Config.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <memory>

namespace marevo {

namespace {


// get/set pairs over the record fields' types.
struct TAccess {
    std::function<double()> get;
    std::function<void(double)> set;
};
TAccess Ext(TExtended& x) {
    return {[&x] { return static_cast<double>(x.ToLongDouble()); },
            [&x](double v) { x = TExtended::FromDouble(v); }};
}
TAccess Single(float& x) {
    return {[&x] { return static_cast<double>(x); }, [&x](double v) { x = static_cast<float>(v); }};
}
template <class T>
TAccess Whole(T& x) {
    return {[&x] { return static_cast<double>(x); },
            [&x](double v) { x = static_cast<T>(static_cast<long long>(v)); }};
}
TAccess Seconds(double& days) {
    return {[&days] { return days * SecondsPerDay; }, [&days](double s) { days = s / SecondsPerDay; }};
}
// A choice stored as an extended float (the binning's first and last value methods).
TAccess ExtChoice(TExtended& x) {
    return {[&x] { return static_cast<double>(x.ToLongDouble()) != 0 ? 1.0 : 0.0; },
            [&x](double v) { x = TExtended::FromDouble(v); }};
}

TFormField Number(const QString& page, const QString& group, const QString& label,
                  TNumberField range, TAccess a) {
    return NumberField(page, group, label, std::move(range), std::move(a.get), std::move(a.set));
}
TFormField Choice(const QString& page, const QString& group, const QString& label,
                  QStringList choices, TAccess a) {
    return ChoiceField(page, group, label, std::move(choices), std::move(a.get), std::move(a.set));
}

TNumberField Range(double min, double max) { return {{}, min, max, false}; }
TNumberField Integer(double min, double max) { return {{}, min, max, true}; }
constexpr double Huge = 1e12;

} // namespace

std::vector<TFormField> ConfigFields(TConfig& c) {
    std::vector<TFormField> f;
    TAcquiCfg& a = c.AcquiCfg;
    TGenConfig& g = c.GenCfg;
    TDataValidation& v = c.DataValidation;

    QString page = QStringLiteral("Acquisition");
    QString group = QStringLiteral("Extraction");
    f.push_back(Choice(page, group, "Extraction mode", {"Vertical", "Time", "Step"}, Whole(a.AcquiMode)));
    f.push_back(Choice(page, group, "Vertical unit", {"Pressure [dbar]", "Depth [m]"}, Whole(a.VertUnit)));
    f.push_back(Number(page, group, "Vertical step", Range(0.001, 10000), Ext(a.VertStep)));
    f.push_back(Number(page, group, "First vertical level", Range(-100, 20000), Ext(a.VertFirst)));
    f.push_back(Choice(page, group, "Vertical method", {"Interpolating", "Averaging"}, Whole(a.VertMean)));
    f.push_back(Number(page, group, "Vertical averaging interval", Range(0, 10000), Ext(a.VertMeanItv)));
    f.push_back(Choice(page, group, "First value", {"Always interpolate", "Use first available pressure"},
                       ExtChoice(a.VertAlghMethod)));
    f.push_back(Choice(page, group, "Last value", {"According with step", "Deepest value"},
                       ExtChoice(a.VertLastValueMethod)));
    f.push_back(Number(page, group, "Time step [s]", Range(0.001, SecondsPerDay), Seconds(a.TimeStep)));
    f.push_back(Number(page, group, "First time [s]", Range(0, 1e8), Seconds(a.TimeFirst)));
    f.push_back(Choice(page, group, "Time method", {"Interpolating", "Averaging"}, Whole(a.TimeMean)));
    f.push_back(Number(page, group, "Time averaging interval [s]", Range(0, SecondsPerDay),
                       Seconds(a.TimeMeanItv)));
    f.push_back(Number(page, group, "Data-set step", Integer(1, 1e6), Whole(a.AllStep)));
    f.push_back(Number(page, group, "First data set", Integer(0, 1e9), Whole(a.AllStart)));
    f.push_back(Number(page, group, "Maximum data sets", Integer(1, 1e9), Whole(a.AllMax)));
    f.push_back(Number(page, group, "Data sets to average", Integer(0, 1e6), Whole(a.AllMeanNb)));
    group = QStringLiteral("Cast start");
    f.push_back(Choice(page, group, "Start", {"Manual", "Immersion", "Time"}, Whole(a.AutoStart)));
    f.push_back(Number(page, group, "Immersion pressure [dbar]", Range(0, 1000), Ext(a.TrigPres)));
    f.push_back(Number(page, group, "Immersion conductivity", Range(0, 1000), Ext(a.TrigCond)));
    f.push_back(Number(page, group, "Start delay [s]", Range(0, SecondsPerDay), Seconds(a.TimeDelay)));
    f.push_back(Number(page, group, "End time [s]", Range(0, 1e8), Seconds(a.TimeEnd)));

    page = QStringLiteral("Validation and filters");
    group = QStringLiteral("Validation");
    f.push_back(Number(page, group, "Minimum time interval", Range(0, Huge), Single(v.minTimeInterval)));
    f.push_back(Number(page, group, "Maximum time interval", Range(0, Huge), Single(v.maxTimeInterval)));
    f.push_back(Number(page, group, "Minimum pressure interval", Range(-Huge, Huge), Single(v.minPresInterval)));
    f.push_back(Number(page, group, "Maximum pressure interval", Range(-Huge, Huge), Single(v.maxPresInterval)));
    f.push_back(Number(page, group, "Data sets checked", Range(0, 1e6), Single(v.datasetCount)));
    f.push_back(Number(page, group, "Bottom check minimum pressure", Range(0, 12000),
                       Single(v.minPresBottomCheck)));
    f.push_back(Number(page, group, "Direction change interval", Range(0, 12000),
                       Single(v.minInterval2ValidateDirectionChange)));
    f.push_back(Number(page, group, "Altimeter minimum pressure", Range(0, 12000),
                       Single(v.AltimeterMinPressure)));
    f.push_back(CheckField(page, group, "Show flagged data", v.ShowFlagged));
    f.push_back(CheckField(page, group, "Telemetry installed", v.TelemetryInstalled));
    f.push_back(CheckField(page, group, "Validate limits", v.ValidateLimits));
    group = QStringLiteral("Filters");
    f.push_back(CheckField(page, group, "Wave filter", v.WaveFilterEnable));
    f.push_back(Number(page, group, "Wave filter threshold", Range(0, Huge), Single(v.WaveFilterThreshold)));
    f.push_back(CheckField(page, group, "Warm-up filter", v.WarmupFilterEnable));
    f.push_back(Number(page, group, "Warm-up filter threshold", Range(0, Huge), Single(v.WarmupFilterThreshold)));
    f.push_back(Number(page, group, "Warm-up filter minimum pressure", Range(0, 12000),
                       Single(v.WarmupFilterMinPressure)));
    f.push_back(Choice(page, group, "First filter", {"None", "Mean", "Low pass"}, Whole(g.firstFilterType)));
    f.push_back(Number(page, group, "First filter samples", Integer(1, 1000), Whole(g.firstFilterSamplesNumber)));
    f.push_back(Number(page, group, "Cut-off period factor", Integer(1, 1000),
                       Whole(g.firstFilterCutoffPeriodFactor)));
    f.push_back(Choice(page, group, "Pressure offset filter", {"None", "Automatic"},
                       Whole(g.PressureOffsetFilterType)));
    f.push_back(Number(page, group, "Pressure offset conductivity threshold [mS/cm]", Range(0, 100),
                       Ext(g.PressureOffsetFilterConductivityThreshold)));
    f.push_back(Number(page, group, "Speed filter weight [%]", Integer(1, 100), Whole(g.CurrentCTDSpeedWeight)));
    f.push_back(Number(page, group, "Scan rate filter weight [%]", Integer(1, 100),
                       Whole(g.CurrentScanRateWeight)));

    page = QStringLiteral("Sensors and units");
    group = QStringLiteral("Main sensors");
    f.push_back(Choice(page, group, "Main temperature", {"Sensor 1", "Sensor 2", "Sensor 3", "None"},
                       Whole(g.DupTempNb)));
    f.push_back(Choice(page, group, "Main conductivity",
                       {"Sensor 1", "Sensor 2", "Sensor 3", "Fresh water", "None"}, Whole(g.DupCondNb)));
    f.push_back(Choice(page, group, "Main oxygen", {"Sensor 1", "Sensor 2", "None"}, Whole(g.DupOxyNb)));
    f.push_back(Choice(page, group, "Main altimeter", {"Acoustic altimeter", "Sea-bed contact", "None"},
                       Whole(g.DupAltimNb)));
    group = QStringLiteral("Units and formulas");
    f.push_back(Choice(page, group, "Time unit", {"second", "minute", "hour", "day"}, Whole(g.TimeUnit)));
    f.push_back(Choice(page, group, "Conductivity unit", {"µS/cm", "mS/cm", "S/m"}, Whole(g.CondUnit)));
    f.push_back(Choice(page, group, "Position format", {"degree", "minute", "second"}, Whole(g.PosFormat)));
    f.push_back(Number(page, group, "Potential temperature reference pressure [dbar]", Range(0, 12000),
                       Ext(g.ThetaRefPress)));
    f.push_back(Choice(page, group, "Depth formula", {"Fresh water factor", "Sea water"},
                       Whole(g.salt_freshWaterFlag)));
    f.push_back(Number(page, group, "Fresh water factor", Range(0.5, 2), Ext(g.FreshWaterConversion)));
    f.push_back(Number(page, group, "Total dissolved solids coefficient", Range(0, 2), Ext(g.TotDisSolCoeff)));

    page = QStringLiteral("Corrections");
    group = QStringLiteral("Sensor corrections");
    f.push_back(CheckField(page, group, "Conductivity pressure and temperature correction", g.CondPTEffect));
    f.push_back(CheckField(page, group, "Pressure temperature effect", g.PressureTEffect));
    f.push_back(CheckField(page, group, "Thermistor compensation", g.TempPTEffect));
    f.push_back(Number(page, group, "Thermistor coefficient per dbar", Range(-1, 1), Ext(g.ThermCompensation)));
    group = QStringLiteral("Conductivity time lag");
    f.push_back(CheckField(page, group, "Automatic lag compensation", g.CondLagEffect));
    f.push_back(Number(page, group, "Lag compensation offset", Range(-Huge, Huge),
                       Ext(g.TimeLagCompensationOffset)));
    f.push_back(Number(page, group, "Lag compensation slope", Range(-Huge, Huge),
                       Ext(g.TimeLagCompensationSlope)));
    f.push_back(CheckField(page, group, "Forced-flow conductivity cell", g.CondForcedFlow));
    f.push_back(Number(page, group, "Flow rate [ml/s]", Range(0.001, 1000), Ext(g.FlowRate)));
    f.push_back(CheckField(page, group, "Manual lag compensation", g.ManualLagCompensation));
    f.push_back(Number(page, group, "Manual time lag [samples]", Range(0, 1000), Ext(g.EdTimeLag)));

    page = QStringLiteral("Alarms");
    group = QStringLiteral("Alarms");
    const char* const alarms[6] = {"Altimeter [m]", "Down [dbar]", "Up [dbar]", "Time",
                                   "Communication", "Vessel depth minus [m]"};
    for (int k = 0; k < 6; ++k) {
        const QString name = QString::fromLatin1(alarms[k]);
        f.push_back(CheckField(page, group, name + " alarm", g.AlarmChecked[k]));
        if (k != 4) // the communication alarm has no limit
            f.push_back(Number(page, group, name + " limit", Range(0, Huge), Ext(g.AlarmLimit[k])));
    }

    page = QStringLiteral("Text export");
    TTextFileCfg& t = c.DataTextCfg;
    group = QStringLiteral("Data text files");
    f.push_back(Choice(page, group, "Separator", {"space", "tab", "comma"}, Whole(t.Separator)));
    f.push_back(Choice(page, group, "Time unit of the export",
                       {"second", "minute", "hour", "day", "hhh:mm:ss", "hhh:mm:ss.ddd", "Date/time",
                        "Date/Time_Hmsd"},
                       Whole(t.TimeUnit)));
    f.push_back(Choice(page, group, "Conductivity unit of the export", {"µS/cm", "mS/cm", "S/m"},
                       Whole(t.CondUnit)));
    f.push_back(Choice(page, group, "Position format of the export", {"degree", "minute", "second"},
                       Whole(t.PosFormat)));
    f.push_back(Choice(page, group, "Direction", {"Down", "Up", "Time"},
                       {[&t] { return t.Direction >= 1 && t.Direction <= 3 ? t.Direction - 1.0 : 2.0; },
                        [&t](double i) { t.Direction = static_cast<std::uint8_t>(i + 1); }}));
    f.push_back(CheckField(page, group, "Negative pressure or depth", t.YMinus));
    f.push_back(CheckField(page, group, "Use default smoothing", t.UseSmoothing));
    f.push_back(CheckField(page, group, "Header Prompt", t.AddPrompt));
    TExtractionTextFoldersCfg& x = c.ExtractionFoldersCfg;
    group = QStringLiteral("Automatic export during a cast");
    f.push_back(Choice(page, group, "Automatic export", {"Disabled", "At the end of the cast", "Periodically"},
                       Whole(x.AutomaticTextDataExportMode)));
    // Below 10 s the period is refused with the warning and set to 10 s.
    f.push_back(Number(page, group, "Export period [s]", Range(0, SecondsPerDay),
                       {[&x] { return x.AutomaticTextDataExportTimeout * SecondsPerDay; },
                        [&x](double s) {
                            if (const std::string w = ExportTimeoutWarning(s); !w.empty()) {
                                Operator().Message(w, "Warning", TMessageKind::Warning);
                                s = MinExportTimeoutSeconds;
                            }
                            x.AutomaticTextDataExportTimeout = s / SecondsPerDay;
                        }}));
    f.push_back(CheckField(page, group, "Name the export after the cast", x.AutomaticTextDataExportCastFileName));
    f.push_back(TextField(page, group, "Export file name", 255,
                          [&x] { return x.AutomaticTextDataExportFileName.Get(); },
                          [&x](const std::string& s) { x.AutomaticTextDataExportFileName.Set(s); }));
    f.push_back(CheckField(page, group, "Append to the file", x.AutomaticTextDataExportAppend));

    page = QStringLiteral("Folders");
    group = QStringLiteral("Text files");
    f.push_back(CheckField(page, group, "Save all text files to folder", x.ManualExtractionFolderEnabled));
    f.push_back(TextField(page, group, "Text files folder", 255,
                          [&x] { return x.ManualExtractionFolderName.Get(); },
                          [&x](const std::string& s) { x.ManualExtractionFolderName.Set(s); }));
    return f;
}

TSettingsForm* NewConfigForm(TConfig& config, const TListEditor& listEditor, QWidget* parent) {
    auto* form = new TSettingsForm(QStringLiteral("Configuration"), ConfigFields(config), parent);

    // The columns and header lines of the three text files, edited on copies.
    auto* lists = new QWidget(form);
    auto* grid = new QGridLayout(lists);
    const std::pair<const char*, TTextFileCfg*> files[] = {{"Data text files", &config.DataTextCfg},
                                                           {"Cast header table", &config.HeaderTextCfg},
                                                           {"Bottle table", &config.BottleTextCfg}};
    int row = 0;
    for (const auto& [name, cfg] : files) {
        grid->addWidget(new QLabel(QString::fromLatin1(name), lists), row, 0);
        const std::pair<const char*, TParaList TTextFileCfg::*> kinds[] = {
            {"Columns...", &TTextFileCfg::ParaList}, {"Header lines...", &TTextFileCfg::HeadList}};
        int column = 1;
        for (const auto& [caption, member] : kinds) {
            auto copy = std::make_shared<TParaList>(cfg->*member);
            auto* button = new QPushButton(QString::fromLatin1(caption), lists);
            button->setObjectName(QString::fromLatin1(name) + " " + QString::fromLatin1(caption));
            const QString title = QString::fromLatin1(name) + " - " +
                                  QString::fromLatin1(caption).remove(QStringLiteral("..."));
            QObject::connect(button, &QPushButton::clicked, form,
                             [listEditor, title, copy] { listEditor(title, *copy); });
            form->onApply.push_back([target = cfg, member, copy] { target->*member = *copy; });
            grid->addWidget(button, row, column++);
        }
        ++row;
    }
    grid->setRowStretch(row, 1);
    grid->setColumnStretch(3, 1);
    form->AddPage(lists, QStringLiteral("Export lists"));

    // The rosette: its page checks its numbers when the form is stored.
    auto* rosette = new TRosetteConfigFrame(config, form);
    form->onApply.push_back([rosette] { rosette->RestoreFields(); });
    form->AddPage(rosette, QStringLiteral("Rosette"));
    return form;
}

} // namespace marevo
