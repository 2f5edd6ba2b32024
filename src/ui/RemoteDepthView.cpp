#include "ui/RemoteDepthView.h"

#include "foundation/Runtime.h"
#include "records/Environ.h"
#include "ui/WindowPlace.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace marevo {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// While the clock has not reached the timer's 10 s (a timer may fire a little early), look again
// after this many milliseconds.
constexpr int TimerRetryMs = 50;

} // namespace

TRemoteDepthView::TRemoteDepthView(std::function<void(unsigned)> request, QWidget* parent)
    : QWidget(parent, Qt::Window), editor_(std::move(request)) {
    setWindowTitle(QStringLiteral("Remote Depth View"));
    setObjectName(QStringLiteral("RemoteDepthView"));

    // The lines as the display at the winch shows them: light text on a dark panel.
    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("RDRPanel"));
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setStyleSheet(QStringLiteral(
        "QFrame#RDRPanel { background-color: #14261a; border: 2px solid #3a4a3e; "
        "border-radius: 4px; } QLabel { color: #b8f5a0; background: transparent; }"));
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSize(mono.pointSize() + 4);
    mono.setBold(true);
    const auto label = [&](const QString& name, const QString& text) {
        auto* l = new QLabel(text, panel);
        l->setObjectName(name);
        l->setFont(mono);
        return l;
    };
    depthlabel = label(QStringLiteral("depthlabel"), QString());
    Alarm = label(QStringLiteral("Alarm"), QStringLiteral("ALARM:"));
    alarmLabel = label(QStringLiteral("alarmLabel"), QString());
    StatusLabel = label(QStringLiteral("StatusLabel"), QString());
    EditMsg = new QLineEdit(panel);
    EditMsg->setObjectName(QStringLiteral("EditMsg"));
    EditMsg->setMaxLength(static_cast<int>(RDRMessageChars));
    EditMsg->setFont(mono);
    EditMsg->setStyleSheet(QStringLiteral(
        "QLineEdit { color: #f2f28a; background-color: #1d3524; border: 1px solid #4c6a52; }"));
    EditMsg->setToolTip(QStringLiteral("Message for the display (15 characters); it is offered "
                                       "for sending 10 s after the last change"));
    auto* grid = new QGridLayout(panel);
    grid->setContentsMargins(12, 10, 12, 10);
    grid->setHorizontalSpacing(8);
    grid->addWidget(label(QStringLiteral("PressCaption"), QStringLiteral("PRESS:")), 0, 0);
    grid->addWidget(depthlabel, 0, 1);
    grid->addWidget(Alarm, 1, 0);
    grid->addWidget(alarmLabel, 1, 1);
    grid->addWidget(label(QStringLiteral("StatusCaption"), QStringLiteral("STATUS:")), 2, 0);
    grid->addWidget(StatusLabel, 2, 1);
    grid->addWidget(label(QStringLiteral("MsgCaption"), QStringLiteral("MSG:")), 3, 0);
    grid->addWidget(EditMsg, 3, 1);
    grid->setColumnStretch(1, 1);

    Alarm_SpeedCB = new QComboBox(this);
    Alarm_SpeedCB->setObjectName(QStringLiteral("Alarm_SpeedCB"));
    Alarm_SpeedCB->addItems({QStringLiteral("ALARM:"), QStringLiteral("SPEED:")});
    Alarm_SpeedCB->setToolTip(QStringLiteral("What the display's second line shows"));
    SendMsg = new QPushButton(QStringLiteral("Send MSG"), this);
    SendMsg->setObjectName(QStringLiteral("SendMsg"));
    InitRDR = new QPushButton(QStringLiteral("Init RDR"), this);
    InitRDR->setObjectName(QStringLiteral("InitRDR"));
    auto* row = new QHBoxLayout;
    row->addWidget(Alarm_SpeedCB);
    row->addStretch();
    row->addWidget(SendMsg);
    row->addWidget(InitRDR);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(panel);
    layout->addLayout(row);

    RDRViewTimer = new QTimer(this);
    RDRViewTimer->setObjectName(QStringLiteral("RDRViewTimer"));
    RDRViewTimer->setSingleShot(true);
    RDRViewTimer->setTimerType(Qt::PreciseTimer);
    RDRViewTimer->setInterval(static_cast<int>(RDRMessageTimerMs));

    // The text the worker sends follows the editor (Cancel puts the last message back).
    editor_.TextChanged = [this](std::string_view text) {
        const QString shown = QString::fromUtf8(text.data(), static_cast<int>(text.size()));
        if (EditMsg->text() != shown)
            EditMsg->setText(shown); // setText does not count as an edit
        if (Changed)
            Changed();
    };
    connect(EditMsg, &QLineEdit::textEdited, this, [this] { EditMsgChange(); });
    connect(RDRViewTimer, &QTimer::timeout, this, [this] { RDRViewTimerTimer(); });
    connect(SendMsg, &QPushButton::clicked, this, [this] { SendMsgClick(); });
    connect(InitRDR, &QPushButton::clicked, this, [this] { InitRDRClick(); });
    connect(Alarm_SpeedCB, &QComboBox::currentIndexChanged, this, [this] {
        if (Changed)
            Changed();
    });
}

void TRemoteDepthView::FormCreate(const TWindowRect& bounds) {
    RDRViewTimer->stop();
    RDRViewTimer->setInterval(static_cast<int>(RDRMessageTimerMs));
    PlaceWindow(this, bounds, minimumSizeHint());
}

bool TRemoteDepthView::ShowSpeed() const { return Alarm_SpeedCB->currentIndex() == 1; }

void TRemoteDepthView::ShowLines(const TRDRShown& shown) {
    depthlabel->setText(Q(shown.depth));
    Alarm->setText(Q(shown.caption));
    alarmLabel->setText(Q(shown.alarm));
    StatusLabel->setText(Q(shown.status));
}

void TRemoteDepthView::EditMsgChange() {
    editor_.EditMsgChange(EditMsg->text().toStdString(), Clock().TickMs());
    RDRViewTimer->start();
}

void TRemoteDepthView::RDRViewTimerTimer() {
    RDRViewTimer->stop();
    if (editor_.RDRViewTimerTimer(Clock().TickMs()))
        return;
    if (editor_.TimerOn())
        RDRViewTimer->start(TimerRetryMs);
}

void TRemoteDepthView::SendMsgClick() {
    RDRViewTimer->stop();
    editor_.SendMsgClick();
}

void TRemoteDepthView::InitRDRClick() { editor_.InitRDRClick(); }

// ---- TRemoteDepthFrame ---------------------------------------------------------------------------

TRemoteDepthFrame::TRemoteDepthFrame(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("RemoteDepthFrame"));
    auto* box = new QGroupBox(QStringLiteral("Remote Depth Control"), this);
    auto* form = new QFormLayout(box);
    RDREnable = new QCheckBox(QStringLiteral("Remote depth repeater enabled"), box);
    RDREnable->setObjectName(QStringLiteral("RDREnable"));
    Refresh = new QSpinBox(box);
    Refresh->setObjectName(QStringLiteral("Refresh"));
    // Below 1 s the worker would write to the display without pause.
    Refresh->setRange(1, 3600);
    Refresh->setSuffix(QStringLiteral(" s"));
    UpDownLight = new QSpinBox(box);
    UpDownLight->setObjectName(QStringLiteral("UpDownLight"));
    UpDownLight->setRange(0, 255); // sent as one byte
    Refresh->setMaximumWidth(120);
    UpDownLight->setMaximumWidth(120);
    Port = new QLabel(box);
    Port->setObjectName(QStringLiteral("Port"));
    form->addRow(RDREnable);
    form->addRow(QStringLiteral("Refresh interval"), Refresh);
    form->addRow(QStringLiteral("Light"), UpDownLight);
    form->addRow(QStringLiteral("Port"), Port);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(box);
    layout->addStretch();
}

void TRemoteDepthFrame::SetInfo(const TEnviron& env) {
    RDREnable->setChecked(env.RemoteDepth.Enabled != 0);
    Refresh->setValue(std::clamp(env.RemoteDepth.RefreshInterval, 1, Refresh->maximum()));
    UpDownLight->setValue(std::clamp(env.RemoteDepth.LightLevel, 0, 255));
    const std::string port = env.RDRCommPort.CommCfgStr.Get();
    Port->setText((port.empty() ? QStringLiteral("none") : Q(port)) +
                  QStringLiteral("  (the \"Depth repeater\" row of the Ports page)"));
}

void TRemoteDepthFrame::RestoreInfo(TEnviron& env) const {
    env.RemoteDepth.Enabled = RDREnable->isChecked() ? 1 : 0;
    env.RemoteDepth.RefreshInterval = Refresh->value();
    env.RemoteDepth.LightLevel = UpDownLight->value();
}

} // namespace marevo
