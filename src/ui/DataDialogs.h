#pragma once
// The dialogs of the main window's data commands: opening a cast of a cruise, creating a cruise,
// choosing a cruise.

#include "storage/CruiseFile.h"

#include <QDialog>

#include <functional>
#include <string>
#include <vector>

class QDialogButtonBox;
class QLineEdit;
class QListWidget;
class QLabel;

namespace marevo {

class TCastInfo;

// "Open Data": the cruises of the data root and the casts of the chosen one; casts marked invalid
// are shown disabled. OK needs an enabled cast.
class TOpenDataDialog : public QDialog {
public:
    using TCastLister = std::function<std::vector<TCastListItem>(const std::string& cruise)>;
    TOpenDataDialog(const std::vector<std::string>& cruises, TCastLister casts,
                    const std::string& currentCruise, int currentCast, QWidget* parent = nullptr);
    std::string Cruise() const;
    int Cast() const; // 1-based; 0 when none

    QListWidget* CruiseList() const { return cruises_; }
    QListWidget* CastList() const { return casts_; }

private:
    void FillCasts(int preselect);
    void UpdateOk();
    TCastLister lister_;
    QListWidget* cruises_;
    QListWidget* casts_;
    QDialogButtonBox* buttons_;
};

// "New Cruise" on the defaulted cruise header: the file name (the cruise's folder and file),
// cruise name, number, operator, vessel and comment. OK is refused with the reason while the
// name cannot be a new cruise of dataRoot.
class TNewCruiseForm : public QDialog {
public:
    TNewCruiseForm(TCastInfo& header, const std::filesystem::path& dataRoot,
                     QWidget* parent = nullptr);
    void accept() override;
    QLineEdit* FileName() const { return fileName_; }
    QLabel* Problem() const { return problem_; }

private:
    std::string NameError() const;
    TCastInfo& header_;
    std::filesystem::path dataRoot_;
    QLineEdit* fileName_;
    QLineEdit* cruiseName_;
    QLineEdit* number_;
    QLineEdit* operator_;
    QLineEdit* vessel_;
    QLineEdit* comment_;
    QLabel* problem_;
};

} // namespace marevo
