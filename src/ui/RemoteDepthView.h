#pragma once
// The remote depth repeater's windows: the "Remote Depth View", which mirrors on screen the
// lines the worker last wrote to the display at the winch and holds the operator's message, and
// the environment dialog's "Remote Depth Control" page. The message logic is TRDRMessageEditor's;
// the view only forwards its events and shows what the worker published.

#include "acquisition/RDRControl.h"

#include <QWidget>

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTimer;

namespace marevo {

class TEnviron;
struct TWindowRect;

class TRemoteDepthView : public QWidget {
public:
    // request: passes rdr_Message or rdr_Init on to the worker.
    explicit TRemoteDepthView(std::function<void(unsigned)> request, QWidget* parent = nullptr);

    // Called when what the worker reads from the view changed (the selector, the message text).
    std::function<void()> Changed;

    // Timer off, interval 10 s, the window at its stored bounds.
    void FormCreate(const TWindowRect& bounds);
    // What the last update wrote to the display (on the GUI thread).
    void ShowLines(const TRDRShown& shown);
    // The second line shows the speed ("SPEED:" chosen in the selector).
    bool ShowSpeed() const;
    // The text the worker sends as the message line.
    const std::string& Message() const { return editor_.Text(); }
    const std::string& LastMsgSent() const { return editor_.LastMsgSent(); }

    // The events, as the widgets call them (public for the tests).
    void EditMsgChange();
    void RDRViewTimerTimer();
    void SendMsgClick();
    void InitRDRClick();

    QLabel* depthlabel;
    QLabel* Alarm; // "ALARM:" or "SPEED:"
    QLabel* alarmLabel;
    QLabel* StatusLabel;
    QLineEdit* EditMsg;
    QPushButton* SendMsg;
    QPushButton* InitRDR;
    QComboBox* Alarm_SpeedCB;
    QTimer* RDRViewTimer;

private:
    TRDRMessageEditor editor_;
};

// The environment dialog's page "Remote Depth Control": the repeater's switch, its refresh
// interval [s] and the display's light level (one byte). The port is set on the ports page.
class TRemoteDepthFrame : public QWidget {
public:
    explicit TRemoteDepthFrame(QWidget* parent = nullptr);

    // Fills the fields from the environment (values outside the fields' ranges are brought in).
    void SetInfo(const TEnviron& env);
    // Writes them back: enabled 1 or 0, the interval, the light level.
    void RestoreInfo(TEnviron& env) const;

    QCheckBox* RDREnable;
    QSpinBox* Refresh;
    QSpinBox* UpDownLight; // its edit is the light level's
    QLabel* Port;
};

} // namespace marevo
