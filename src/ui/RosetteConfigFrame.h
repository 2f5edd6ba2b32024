#pragma once
// The rosette page of the configuration window: the installed positions, manual or automatic
// sampling, and for automatic sampling the firing level of each position, the waiting time, the
// start pressure and the operator's authorisation. The checks are RosetteRules'.

#include "acquisition/RosetteRules.h"

#include <QWidget>

#include <array>
#include <functional>

class QCheckBox;
class QLineEdit;
class QListWidget;
class QRadioButton;

namespace marevo {

class TRosetteConfigFrame : public QWidget {
public:
    TRosetteConfigFrame(TConfig& config, QWidget* parent = nullptr);

    // Fills the page from the configuration.
    bool SetFields();
    // Writes the page back, invalid numbers replaced by their defaults with a warning each.
    bool RestoreFields();
    // The page's state, and its setting (tests).
    TRosettePage Page() const;
    void SetPage(const TRosettePage& page);

    void SamplingTypeRGClick();
    void InstalledLBClickCheck(int position);
    // An installed flag changed: the bottles window is refreshed.
    std::function<void()> onInstalledChanged;

    QListWidget* InstalledLB = nullptr;
    QRadioButton* SamplingTypeRG[2]{};
    QRadioButton* OperatorAuthRG[2]{};
    std::array<QCheckBox*, MaxBottles> bottleCB{};
    std::array<QLineEdit*, MaxBottles> bottlePressEd{};
    QLineEdit* WaitOnSamplingEd = nullptr;
    QLineEdit* StartPressEd = nullptr;

private:
    void ApplyEnabling(int samplingType, const std::array<bool, MaxBottles>& installed);

    TConfig& config_;
    bool filling_ = false;
};

} // namespace marevo
