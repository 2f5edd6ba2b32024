#pragma once
// The small dialogs behind a click on a plot scale: the horizontal one edits the parameter of a
// plot entry and its scale (range, logarithmic, colour, left out of the automatic ranges), the
// vertical one the parameter and range of the vertical axis. OK writes the choice into the
// configuration's plot list and into the parameter's scale record in both collections.

#include <QDialog>

#include <cstdint>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace marevo {

class TConfig;
class TParamCollection;

class TScaleDialog : public QDialog {
public:
    // entry: the plot entry edited (0 the vertical axis).
    TScaleDialog(TConfig& config, TParamCollection& cast, int entry, QWidget* parent = nullptr);

    void accept() override;

    QComboBox* Parameter;
    QLineEdit* Min;
    QLineEdit* Max;
    QCheckBox* Log = nullptr;        // horizontal only
    QCheckBox* ManualOnly = nullptr; // horizontal only: EnableXAutoScale
    QPushButton* ColourButton = nullptr;

private:
    void ShowParameter(int number);

    TConfig& config_;
    TParamCollection& cast_;
    int entry_;
    std::int32_t colour_ = 0;
};

// How a choice list names derived column `number`: "SA Absolute Salinity [g/kg]".
QString DerivedChoiceName(std::int32_t number);

// Modal dialogs; true when the operator pressed OK.
bool XScaleDlg(TConfig& config, TParamCollection& cast, int entry, QWidget* parent);
bool YScaleDlg(TConfig& config, TParamCollection& cast, QWidget* parent);

} // namespace marevo
