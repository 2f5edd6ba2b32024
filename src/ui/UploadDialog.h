#pragma once
// "Upload Memory Cast": the casts recorded in the probe's memory, several of which the operator
// selects and uploads into the current cruise, with "Skip" and "Abort" while it runs. Non-modal
// and on top; its worker (TUploadMemoryThread) moves the data sets and hands every change of the
// windows and settings to the GUI thread, where this dialog, as the upload's host, makes it.

#include "acquisition/UploadMemory.h"

#include <QDialog>

#include <memory>
#include <string>
#include <vector>

class QLabel;
class QListWidget;
class QPushButton;

namespace marevo {

class TMainForm;

class TUploadDialog final : public QDialog, public IUploadHost {
public:
    explicit TUploadDialog(TMainForm& main);
    ~TUploadDialog() override;

    // The list filled by UpdateListBox; the first item made the current one.
    void SetCasts(const std::vector<std::string>& items);
    // Set before the first showing to reach the probe elsewhere (tests, the manual's pictures).
    std::function<void(TUploadMemoryThread&)> PrepareWorker;
    TUploadMemoryThread* Worker() { return worker_.get(); }

    // ---- The buttons ----------------------------------------------------------------------------
    void ListBox1Click();
    void UploadBtnClick();
    void SkipButtonClick();
    void AbortButtonClick();
    std::int32_t CastNb() const { return castNb_; }
    std::int32_t CastCount() const { return castCount_; }

    // ---- IUploadHost (GUI thread) ----------------------------------------------------------------
    void SetUploadEnv() override;
    void SetNormalEnv() override;
    void ResetDialog() override;
    void UnselectItem(int index) override;
    void EnableSkipAbort() override;
    void ShowResult(const std::string& text) override;
    void ShowProgress(int percent) override;
    bool SaveBin(const std::filesystem::path& raw, const TMemoryCast& memory) override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FormShow();
    void EndWorker();

    TMainForm& main_;
    QPushButton* UploadBtn;
    QListWidget* ListBox1;
    QPushButton* BitBtn1;
    QLabel* ResultLabel;
    QPushButton* AbortButton;
    QPushButton* SkipButton;
    std::int32_t castNb_ = 0;
    std::int32_t castCount_ = 0;
    std::unique_ptr<TUploadMemoryThread> worker_;
};

} // namespace marevo
