#pragma once
// The windows of bottle firing: the operator dialog "Firing Bottle" (non-modal, on top) and the
// first-bottle dialog "ROSETTE: first bottle number" of the cast start.

#include "acquisition/RosetteRules.h"

#include <QDialog>

#include <functional>

class QLabel;
class QListWidget;
class QPushButton;

namespace marevo {

class TOperatorAuthDlg : public QDialog {
public:
    explicit TOperatorAuthDlg(QWidget* parent = nullptr);
    // The label, for the pending item of position bottle (0: the waiting-time notice).
    void ShowLabel(const QString& text, int bottle);
    int Bottle() const { return bottle_; }
    QString Text() const;
    // "Fire" pressed: the position shown.
    std::function<void(int bottle)> onFire;

    QLabel* FiringBottleLabelText = nullptr;
    QPushButton* OKBtn = nullptr;

private:
    int bottle_ = 0;
};

class TFirstBottleDialog : public QDialog {
public:
    TFirstBottleDialog(const TRosetteInfo& rosette, QWidget* parent = nullptr);
    // The chosen first bottle, after "OK".
    std::int32_t SelNumber = 0;
    // "Help": the manual's chapter on firing bottles.
    std::function<void()> onHelp;

    QListWidget* InstalledLB = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* NoRosetteBtn = nullptr;
    QPushButton* HelpBtn = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
};

} // namespace marevo
