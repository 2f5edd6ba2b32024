#include "ui/EnvironmentDialog.h"

#include "foundation/Guard.h"
#include "foundation/Runtime.h"
#include "shell/Terminal.h"
#include "ui/RemoteDepthView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace marevo {

namespace {

const char* const InstrumentCaptions[InstrumentCount] = {"Probe", "GPS", "PAR / winch",
                                                         "Depth repeater"};
const char* const NotConnected = "NONE";
const char* const DelayNames[7] = {"Time-out before the first byte", "Delay between two bytes",
                                   "Delay after ^T",                 "Command to answer",
                                   "Get-attention step",             "Communication start-up",
                                   "Delay between commands"};

QLineEdit* NumberEdit(double value, QWidget* parent, int decimals = 6) {
    auto* edit = new QLineEdit(QString::fromStdString(NumberFieldText(value, decimals)), parent);
    edit->setMaximumWidth(140);
    return edit;
}

std::string Text(const QLineEdit* edit) { return edit->text().toStdString(); }

} // namespace

TEnvironmentDialog::TEnvironmentDialog(TEnviron& env, bool portPagesEnabled,
                                       TDeviceLister devices, QWidget* parent)
    : QDialog(parent), env_(env), lister_(std::move(devices)), pages_(new QTabWidget(this)),
      buttons_(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this)) {
    setWindowTitle(QStringLiteral("Environment"));
    pages_->addTab(PortsPage(), QStringLiteral("Ports"));
    pages_->addTab(ItemsPage(), QStringLiteral("GPS and external"));
    pages_->addTab(DelaysPage(), QStringLiteral("Delays"));
    pages_->addTab(FoldersPage(), QStringLiteral("Folders and preferences"));
    rdrFrame_ = new TRemoteDepthFrame(this);
    rdrFrame_->SetInfo(env_);
    pages_->addTab(rdrFrame_, QStringLiteral("Remote Depth Control"));
    rdrFrame_->setEnabled(portPagesEnabled);
    // While a cast runs its ports stay as they are; the delays may still be tuned.
    pages_->widget(0)->setEnabled(portPagesEnabled);
    pages_->widget(1)->setEnabled(portPagesEnabled);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pages_);
    layout->addWidget(buttons_);
    connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

QComboBox* TEnvironmentDialog::Device(TInstrument instrument) const {
    return ports_[static_cast<std::size_t>(instrument)].device;
}

QComboBox* TEnvironmentDialog::LineSetting(TInstrument instrument, int which) const {
    return ports_[static_cast<std::size_t>(instrument)].line[static_cast<std::size_t>(which)];
}

QCheckBox* TEnvironmentDialog::RepeaterEnabled() const { return rdrFrame_->RDREnable; }

QWidget* TEnvironmentDialog::PortsPage() {
    auto* page = new QWidget(this);
    auto* grid = new QGridLayout;
    const char* const headings[] = {"Instrument", "Device", "Baud", "Parity", "Bits", "Stop",
                                    "Flow"};
    for (int c = 0; c < 7; ++c)
        grid->addWidget(new QLabel(QString::fromLatin1(headings[c]), page), 0, c);
    const std::string map = ReadPortsMap(env_);
    for (int i = 0; i < InstrumentCount; ++i) {
        const auto instrument = static_cast<TInstrument>(i);
        TPortRow& row = ports_[static_cast<std::size_t>(i)];
        grid->addWidget(new QLabel(QString::fromLatin1(InstrumentCaptions[i]), page), i + 1, 0);
        row.device = new QComboBox(page);
        row.device->setEditable(true); // a device the list does not show (a pseudo-terminal)
        row.device->setMinimumWidth(320);
        grid->addWidget(row.device, i + 1, 1);
        for (int k = 0; k < 5; ++k) {
            auto* box = new QComboBox(page);
            row.line[static_cast<std::size_t>(k)] = box;
            grid->addWidget(box, i + 1, k + 2);
        }
        for (const int b : CommBaudRates)
            row.line[0]->addItem(QString::number(b));
        for (const char* p : {"none", "odd", "even", "mark", "space"})
            row.line[1]->addItem(QString::fromLatin1(p));
        for (const int b : CommDataBits)
            row.line[2]->addItem(QString::number(b));
        for (const int s : CommStopBits)
            row.line[3]->addItem(QString::number(s));
        for (const char* f : {"none", "CTS/RTS", "Xon/Xoff"})
            row.line[4]->addItem(QString::fromLatin1(f));
        const TPortChoice choice = PortChoiceOf(InstrumentPort(env_, instrument), map);
        row.device->setEditText(QString::fromStdString(choice.device));
        row.line[0]->setCurrentIndex(choice.baudIndex);
        row.line[1]->setCurrentIndex(choice.parityIndex);
        row.line[2]->setCurrentIndex(choice.sizeIndex);
        row.line[3]->setCurrentIndex(choice.stopIndex);
        row.line[4]->setCurrentIndex(choice.controlIndex);
    }
    FillDevices();
    auto* refresh = new QPushButton(QStringLiteral("Refresh devices"), page);
    connect(refresh, &QPushButton::clicked, this, [this] { FillDevices(); });

    df7_ = new QCheckBox(QStringLiteral("Allow the probe's DF7 data format"), page);
    df7_->setChecked(env_.DF7Enabling != 0);
    terminal_ = new QLineEdit(QString::fromStdString(ReadTerminalCommand(env_)), page);
    terminal_->setObjectName(QStringLiteral("TerminalCommand"));
    terminal_->setToolTip(QStringLiteral(
        "Tools > Terminal runs this command; DEV stands for the probe's device, BAUD for its "
        "baud rate. It must stay in the foreground while the terminal is open."));
    auto* terminalRow = new QHBoxLayout;
    terminalRow->addWidget(new QLabel(QStringLiteral("Terminal command"), page));
    terminalRow->addWidget(terminal_, 1);
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(grid);
    auto* row = new QHBoxLayout;
    row->addWidget(df7_);
    row->addStretch();
    row->addWidget(refresh);
    layout->addLayout(row);
    layout->addLayout(terminalRow);
    layout->addStretch();
    return page;
}

void TEnvironmentDialog::FillDevices() {
    const std::vector<TSerialDevice> devices = lister_ ? lister_() : std::vector<TSerialDevice>{};
    for (TPortRow& row : ports_) {
        const QString current = row.device->currentText();
        row.device->clear();
        row.device->addItem(QString::fromLatin1(NotConnected));
        for (const TSerialDevice& d : devices)
            row.device->addItem(QString::fromStdString(d.label), QString::fromStdString(d.path));
        const int found = row.device->findData(current);
        if (current.isEmpty() || current == QLatin1String(NotConnected))
            row.device->setCurrentIndex(0);
        else if (found >= 0)
            row.device->setCurrentIndex(found);
        else
            row.device->setEditText(current);
    }
}

QWidget* TEnvironmentDialog::ItemsPage() {
    auto* page = new QWidget(this);
    auto* gps = new QGroupBox(QStringLiteral("GPS"), page);
    auto* gpsForm = new QFormLayout(gps);
    const char* const nmea[] = {"Latitude, Longitude, GPS Quality", "Longitude", "GPS Quality"};
    for (int i = 0; i < 3; ++i) {
        nmeaItems_[static_cast<std::size_t>(i)] = new QCheckBox(QString::fromLatin1(nmea[i]), gps);
        nmeaItems_[static_cast<std::size_t>(i)]->setChecked(env_.NMEAParaArray[i] != 0);
        gpsForm->addRow(nmeaItems_[static_cast<std::size_t>(i)]);
    }
    nmeaPrefix_ = new QLineEdit(QString::fromStdString(env_.NMEAPrefix.Get()), gps);
    nmeaPrefix_->setMaxLength(10);
    nmeaPrefix_->setMaximumWidth(140);
    gpsForm->addRow(QStringLiteral("Sentence prefix"), nmeaPrefix_);

    auto* ext = new QGroupBox(QStringLiteral("External sensor"), page);
    auto* extForm = new QFormLayout(ext);
    const char* const items[] = {"PAR", "EXT1 (winch meter)"};
    for (int i = 0; i < 2; ++i) {
        extItems_[static_cast<std::size_t>(i)] = new QCheckBox(QString::fromLatin1(items[i]), ext);
        extItems_[static_cast<std::size_t>(i)]->setChecked(env_.ExtParaArray[i] != 0);
        extForm->addRow(extItems_[static_cast<std::size_t>(i)]);
    }
    const TExtended* values[] = {&env_.ExtParOffsetV,        &env_.ExtParScale,
                                 &env_.ExtParMultiplier,     &env_.ExtWinchPulseToMeter,
                                 &env_.ExtWinchSpeedConversion, &env_.ExtWinchOffset};
    const char* const labels[] = {"PAR offset [V]",           "PAR scale [V/quanta/cm²s]",
                                  "PAR multiplier (quanta to µE)", "Winch pulses to metres",
                                  "Winch speed m/min to cm/min", "Winch offset [m]"};
    for (int i = 0; i < 6; ++i) {
        auto* edit = new QLineEdit(
            QString::number(static_cast<double>(values[i]->ToLongDouble()), 'g', 10), ext);
        edit->setMaximumWidth(140);
        extCoefficients_[static_cast<std::size_t>(i)] = edit;
        extForm->addRow(QString::fromUtf8(labels[i]), edit);
    }
    auto* layout = new QHBoxLayout(page);
    layout->addWidget(gps, 0, Qt::AlignTop);
    layout->addWidget(ext, 0, Qt::AlignTop);
    return page;
}

QWidget* TEnvironmentDialog::DelaysPage() {
    auto* page = new QWidget(this);
    auto* delays = new QGroupBox(QStringLiteral("Probe protocol delays [s]"), page);
    auto* form = new QFormLayout(delays);
    for (int i = 0; i < 7; ++i) {
        delays_[static_cast<std::size_t>(i)] = NumberEdit(env_.CommDelay[i], delays);
        form->addRow(QString::fromLatin1(DelayNames[i]), delays_[static_cast<std::size_t>(i)]);
    }
    auto* rates = new QGroupBox(QStringLiteral("Refresh periods [s]"), page);
    auto* rateForm = new QFormLayout(rates);
    const char* const rateNames[] = {"Plot", "Values", "Raw data saving"};
    for (int i = 0; i < 3; ++i) {
        refresh_[static_cast<std::size_t>(i)] = NumberEdit(env_.RefreshRate[i], rates);
        rateForm->addRow(QString::fromLatin1(rateNames[i]), refresh_[static_cast<std::size_t>(i)]);
    }
    auto* layout = new QHBoxLayout(page);
    layout->addWidget(delays, 0, Qt::AlignTop);
    layout->addWidget(rates, 0, Qt::AlignTop);
    return page;
}

QWidget* TEnvironmentDialog::FoldersPage() {
    auto* page = new QWidget(this);
    auto* data = new QGroupBox(QStringLiteral("Data folder"), page);
    auto* dataLayout = new QVBoxLayout(data);
    defaultFolder_ = new QCheckBox(QStringLiteral("Use the default data folder"), data);
    defaultFolder_->setChecked(env_.DataFolder.UseDefaultDataFolder != 0);
    folder_ = new QLineEdit(QString::fromStdString(env_.DataFolder.DataFolderPath.Get()), data);
    folder_->setEnabled(!defaultFolder_->isChecked());
    auto* browse = new QPushButton(QStringLiteral("Browse..."), data);
    browse->setEnabled(!defaultFolder_->isChecked());
    connect(defaultFolder_, &QCheckBox::toggled, this, [this, browse](bool on) {
        folder_->setEnabled(!on);
        browse->setEnabled(!on);
    });
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString chosen = QFileDialog::getExistingDirectory(this, QStringLiteral("Data folder"),
                                                                 folder_->text());
        if (!chosen.isEmpty())
            folder_->setText(chosen + QLatin1Char('/'));
    });
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(folder_);
    folderRow->addWidget(browse);
    dataLayout->addWidget(defaultFolder_);
    dataLayout->addLayout(folderRow);
    dataLayout->addWidget(new QLabel(
        QStringLiteral("The data folder in use now: %1\nA new folder takes effect at the next start.")
            .arg(QString::fromStdString(env_.DataRoot.Get())),
        data));

    auto* prefs = new QGroupBox(QStringLiteral("Preferences"), page);
    auto* prefsLayout = new QVBoxLayout(prefs);
    const char* const names[] = {"Write the event log", "Config Auto Save",
                                 "Sound the alarms (audio board)"};
    const std::int32_t values[] = {env_.Preferences.logStatusCheck, env_.Preferences.AutoCfgCheck,
                                   env_.Preferences.AudioBrdCheck};
    for (int i = 0; i < 3; ++i) {
        preferences_[static_cast<std::size_t>(i)] = new QCheckBox(QString::fromLatin1(names[i]), prefs);
        preferences_[static_cast<std::size_t>(i)]->setChecked(values[i] == 1);
        prefsLayout->addWidget(preferences_[static_cast<std::size_t>(i)]);
    }
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(data);
    layout->addWidget(prefs);
    layout->addStretch();
    return page;
}

TPortChoices TEnvironmentDialog::Choices() const {
    TPortChoices choices;
    for (int i = 0; i < InstrumentCount; ++i) {
        const TPortRow& row = ports_[static_cast<std::size_t>(i)];
        TPortChoice& c = choices[static_cast<std::size_t>(i)];
        // A listed device gives its path; a typed one is taken as typed.
        const int index = row.device->findText(row.device->currentText());
        QString device = index >= 0 && row.device->itemData(index).isValid()
                             ? row.device->itemData(index).toString()
                             : row.device->currentText().trimmed();
        if (device == QLatin1String(NotConnected))
            device.clear();
        c.device = device.toStdString();
        c.baudIndex = row.line[0]->currentIndex();
        c.parityIndex = row.line[1]->currentIndex();
        c.sizeIndex = row.line[2]->currentIndex();
        c.stopIndex = row.line[3]->currentIndex();
        c.controlIndex = row.line[4]->currentIndex();
    }
    return choices;
}

void TEnvironmentDialog::Refuse(const std::string& message) {
    refusal_ = message;
    Operator().Message(message, "Environment", TMessageKind::Warning);
}

bool TEnvironmentDialog::Apply() {
    refusal_.clear();
    TFieldReader reader;
    double delays[7], rates[3], coefficients[6];
    for (int i = 0; i < 7; ++i)
        delays[i] = reader.Read(Text(delays_[static_cast<std::size_t>(i)]),
                                {DelayNames[i], 0, 600},
                                env_.CommDelay[i]);
    const char* const rateNames[] = {"Plot refresh period", "Values refresh period",
                                     "Raw data saving period"};
    // Values at 10 Hz at most, raw data saved at least every minute (the ring buffer holds little).
    const double rateMin[] = {0.1, 0.05, 0.1}, rateMax[] = {3600, 3600, 60};
    for (int i = 0; i < 3; ++i)
        rates[i] = reader.Read(Text(refresh_[static_cast<std::size_t>(i)]),
                               {rateNames[i], rateMin[i], rateMax[i]}, env_.RefreshRate[i]);
    const char* const coefficientNames[] = {"PAR offset",           "PAR scale",
                                            "PAR multiplier",       "Winch pulses to metres",
                                            "Winch speed conversion", "Winch offset"};
    const TExtended* coefficientValues[] = {&env_.ExtParOffsetV,        &env_.ExtParScale,
                                            &env_.ExtParMultiplier,     &env_.ExtWinchPulseToMeter,
                                            &env_.ExtWinchSpeedConversion, &env_.ExtWinchOffset};
    for (int i = 0; i < 6; ++i)
        coefficients[i] =
            reader.Read(Text(extCoefficients_[static_cast<std::size_t>(i)]),
                        {coefficientNames[i]},
                        static_cast<double>(coefficientValues[i]->ToLongDouble()));
    std::string terminal = terminal_->text().trimmed().toStdString();
    if (terminal.empty())
        terminal = std::string(DefaultTerminalCommand);
    const std::string prefix = nmeaPrefix_->text().trimmed().toStdString();
    if (prefix.empty() || prefix[0] != '$')
        reader.Refuse("\"Sentence prefix\" must start with \"$\" (e.g. \"$GP\").");
    const std::string folder = folder_->text().trimmed().toStdString();
    if (!defaultFolder_->isChecked() && folder.empty())
        reader.Refuse("\"Data folder\": a folder is needed when the default is not used.");
    if (!reader.Ok()) {
        Refuse(reader.Message());
        return false;
    }
    const TPortChoices choices = Choices();
    if (const std::string problem = PortChoicesProblem(choices); !problem.empty()) {
        Refuse(problem);
        return false;
    }
    const std::string map = ApplyPortChoices(choices, env_, ReadPortsMap(env_));
    if (map != ReadPortsMap(env_)) {
        const bool written = Guard({"Error in TEnvironmentDialog.Apply ", "Saving the ports map"},
                                   [&] { WritePortsMap(env_, map); });
        if (!written)
            return false;
    }
    if (terminal != ReadTerminalCommand(env_) &&
        !Guard({"Error in TEnvironmentDialog.Apply ", "Saving the terminal command"},
               [&] { WriteTerminalCommand(env_, terminal); }))
        return false;
    for (int i = 0; i < 7; ++i)
        env_.CommDelay[i] = delays[i];
    for (int i = 0; i < 3; ++i)
        env_.RefreshRate[i] = rates[i];
    TExtended* targets[] = {&env_.ExtParOffsetV,        &env_.ExtParScale,
                            &env_.ExtParMultiplier,     &env_.ExtWinchPulseToMeter,
                            &env_.ExtWinchSpeedConversion, &env_.ExtWinchOffset};
    for (int i = 0; i < 6; ++i) // an untouched text keeps the stored value to its last bit
        if (extCoefficients_[static_cast<std::size_t>(i)]->isModified())
            *targets[i] = TExtended::FromDouble(coefficients[i]);
    env_.DF7Enabling = df7_->isChecked() ? 1 : 0;
    rdrFrame_->RestoreInfo(env_);
    for (int i = 0; i < 3; ++i)
        env_.NMEAParaArray[i] = nmeaItems_[static_cast<std::size_t>(i)]->isChecked() ? 1 : 0;
    for (int i = 0; i < 2; ++i)
        env_.ExtParaArray[i] = extItems_[static_cast<std::size_t>(i)]->isChecked() ? 1 : 0;
    env_.NMEAPrefix.Set(prefix);
    env_.SetMNEATab();
    env_.SetExtParaList();
    env_.DataFolder.UseDefaultDataFolder = defaultFolder_->isChecked() ? 1 : 0;
    if (!defaultFolder_->isChecked())
        env_.DataFolder.DataFolderPath.Set(folder.back() == '/' ? folder : folder + "/");
    env_.Preferences.logStatusCheck = preferences_[0]->isChecked() ? 1 : 0;
    env_.Preferences.AutoCfgCheck = preferences_[1]->isChecked() ? 1 : 0;
    env_.Preferences.AudioBrdCheck = preferences_[2]->isChecked() ? 1 : 0;
    return true;
}

void TEnvironmentDialog::accept() {
    if (Apply())
        QDialog::accept();
}

} // namespace marevo
