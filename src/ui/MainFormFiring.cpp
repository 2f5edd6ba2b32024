// The main window's bottle firing: the fire button and the "Fire Bottle" item, the request the
// bottles window sets, the question before a manual firing, the operator dialog of automatic
// firing and the first-bottle dialog of the cast start. The firing itself runs on the worker;
// this side posts requests and confirmations and shows what the worker hands over.

#include "ui/FiringDialogs.h"
#include "ui/MainForm.h"

#include "acquisition/FiringCast.h"
#include "foundation/Runtime.h"
#include "storage/CruiseFile.h"

#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QSignalBlocker>

namespace marevo {

void TMainForm::InitFiring() {
    // A click of the bottles window sets the request; "Fire" and a click that fires again ask.
    FireRequest = [this](bool again, int bottle) {
        fireAgain_ = again;
        requestedBottle_ = bottle;
    };
    FireControls = [this] { SetFireBottleControls(); };
    FireQuestionBox = [this](const QString& question) {
        QMessageBox box(QMessageBox::Question, QStringLiteral("Warning"), question,
                        QMessageBox::Ok | QMessageBox::Cancel, this);
        box.setWindowFlag(Qt::WindowStaysOnTopHint);
        return box.exec() == QMessageBox::Ok;
    };
    FirstBottleBox = [this](const TRosetteInfo& rosette) -> std::optional<std::int32_t> {
        TFirstBottleDialog dialog(rosette, this);
        dialog.onHelp = [this] { ShowManual(QStringLiteral("firing.md")); };
        if (dialog.exec() != QDialog::Accepted || dialog.SelNumber <= 0)
            return std::nullopt;
        return dialog.SelNumber;
    };
}

void TMainForm::SBFireClick() {
    fireAgain_ = false;
    requestedBottle_ = 0;
    SetFireBottleControls();
}

void TMainForm::SetFireBottleControls() {
    TBottleFiring* firing = CastRunning() ? rtcast_->Firing() : nullptr;
    const TManualRequest r = ManualFireRequest(
        firing != nullptr, firing && firing->Firing(), fireAgain_, requestedBottle_,
        app_.config.Rosette, BottlesOf(app_.cast.Loaded.Bottles));
    if (r.action == TManualAction::Beep) {
        // The button stays as the firing in progress set it.
        QApplication::beep();
        StatusMessage("A bottle is being fired: the request waits for its end");
        return;
    }
    const auto release = [this](bool enable) {
        const QSignalBlocker quiet(Action("FireTool"));
        Action("FireTool")->setChecked(false);
        SetAction("FireBottle", enable);
    };
    if (r.action == TManualAction::Release) {
        release(true);
        return;
    }
    if (r.bottle <= 0 && PositionalRosette(app_.config.Rosette.RosetteType)) {
        QApplication::beep();
        StatusMessage("No free bottle position: nothing to fire");
        release(true);
        return;
    }
    if (!FireQuestionBox(QString::fromStdString(r.question))) {
        release(true);
        return;
    }
    firing->PostRequest(fireAgain_, r.bottle);
    PressFireButton();
}

void TMainForm::PressFireButton() {
    const QSignalBlocker quiet(Action("FireTool"));
    Action("FireTool")->setChecked(true);
    SetAction("FireBottle", false);
}

void TMainForm::SetFireButton(bool enable) {
    {
        const QSignalBlocker quiet(Action("FireTool"));
        Action("FireTool")->setChecked(false);
    }
    SetAction("FireTool", enable);
    SetAction("FireBottle", enable);
}

TOperatorAuthDlg* TMainForm::OperatorDialog() {
    if (!operatorDlg_) {
        operatorDlg_ = new TOperatorAuthDlg(this);
        operatorDlg_->onFire = [this](int bottle) {
            if (CastRunning() && rtcast_->Firing())
                rtcast_->Firing()->PostConfirm(bottle);
        };
    }
    return operatorDlg_;
}

void TMainForm::ShowOperatorDialog(const std::string& label, int bottle) {
    OperatorDialog()->ShowLabel(QString::fromStdString(label), bottle);
}

void TMainForm::CloseOperatorDialog() {
    if (operatorDlg_)
        operatorDlg_->hide();
}

void TMainForm::BottleFired(int /*bottle*/, int /*status*/) { RefreshBottles(); }

std::optional<std::int32_t> TMainForm::FirstBottleDialog(const TRosetteInfo& rosette) {
    return FirstBottleBox(rosette);
}

} // namespace marevo
