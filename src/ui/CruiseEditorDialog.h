#pragma once
// Tools › Cast Editor: the cruises, the casts of the chosen one with their check marks (a cast
// unchecked is invalid: the cast lists and the navigation leave it out) and the header of the
// chosen cast or of the cruise, editable. Every change of cast or cruise and the closing write
// the header back.

#include "shell/CruiseEditor.h"

#include <QDialog>

class QListWidget;

namespace marevo {

class THeaderForm;

class TCruiseEditorDialog : public QDialog {
public:
    TCruiseEditorDialog(TCruiseEditor& editor, QWidget* parent = nullptr);

    QListWidget* CruiseList() const { return cruises_; }
    QListWidget* CastList() const { return casts_; }
    THeaderForm* Header() const { return header_; }
    // The shown header's fields into the editor; false (told) when one is refused.
    bool TakeHeader();
    void done(int result) override;

private:
    void FillCasts();
    void ShowHeader();

    TCruiseEditor& editor_;
    QListWidget* cruises_;
    QListWidget* casts_;
    THeaderForm* header_;
    bool filling_ = false;
};

} // namespace marevo
