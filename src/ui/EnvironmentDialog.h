#pragma once
// Configuration › Environment: the instruments' serial ports, the probe protocol delays and the
// refresh periods, the GPS and external sensor items, the data folder and the preferences, the
// terminal command and the remote depth repeater. The dialog edits copies in its fields; OK checks
// every field first and changes the environment only when all are sound, so Cancel leaves it as
// it was.

#include "shell/Settings.h"

#include <QDialog>

#include <array>
#include <functional>
#include <vector>

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QLineEdit;
class QTabWidget;

namespace marevo {

class TRemoteDepthFrame;

class TEnvironmentDialog : public QDialog {
public:
    using TDeviceLister = std::function<std::vector<TSerialDevice>()>;
    // portPagesEnabled: false while a cast runs (the ports, GPS and repeater pages are then off).
    TEnvironmentDialog(TEnviron& env, bool portPagesEnabled, TDeviceLister devices,
                       QWidget* parent = nullptr);

    // Checks and applies the fields; false (with the reason shown to the operator) when one is
    // refused, and then nothing has changed.
    bool Apply();
    void accept() override;

    QTabWidget* Pages() const { return pages_; }
    QComboBox* Device(TInstrument instrument) const;
    QComboBox* LineSetting(TInstrument instrument, int which) const; // 0 baud .. 4 flow
    QLineEdit* Delay(int index) const { return delays_[static_cast<std::size_t>(index)]; }
    QLineEdit* Refresh(int index) const { return refresh_[static_cast<std::size_t>(index)]; }
    QCheckBox* RepeaterEnabled() const;
    TRemoteDepthFrame* RemoteDepthFrame() const { return rdrFrame_; }
    QLineEdit* TerminalCommand() const { return terminal_; }
    // The last refusal shown (empty when none).
    const std::string& LastRefusal() const { return refusal_; }

private:
    struct TPortRow {
        QComboBox* device = nullptr;
        std::array<QComboBox*, 5> line{};
    };
    QWidget* PortsPage();
    QWidget* ItemsPage();
    QWidget* DelaysPage();
    QWidget* FoldersPage();
    void FillDevices();
    TPortChoices Choices() const;
    void Refuse(const std::string& message);

    TEnviron& env_;
    TDeviceLister lister_;
    QTabWidget* pages_;
    QDialogButtonBox* buttons_;
    std::array<TPortRow, InstrumentCount> ports_;
    std::array<QLineEdit*, 7> delays_{};
    std::array<QLineEdit*, 3> refresh_{};
    QCheckBox* df7_ = nullptr;
    TRemoteDepthFrame* rdrFrame_ = nullptr;
    QLineEdit* terminal_ = nullptr;
    std::array<QCheckBox*, 3> nmeaItems_{};
    std::array<QCheckBox*, 2> extItems_{};
    QLineEdit* nmeaPrefix_ = nullptr;
    std::array<QLineEdit*, 6> extCoefficients_{};
    QCheckBox* defaultFolder_ = nullptr;
    QLineEdit* folder_ = nullptr;
    std::array<QCheckBox*, 3> preferences_{};
    std::string refusal_;
};

} // namespace marevo
