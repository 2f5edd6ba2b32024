#pragma once
// The cast header as fields: the names, operator, vessel, the three positions, the sea-bed depth
// the operator read from the sonar and the comment are editable when the form is; the times and
// the acquisition and extraction figures are always shown read-only.

#include <QWidget>

#include <string>

class QFormLayout;
class QLabel;
class QLineEdit;

namespace marevo {

class TCastInfo;

class THeaderForm : public QWidget {
public:
    explicit THeaderForm(QWidget* parent = nullptr);

    // Shows a cast's header (cruise: its cruise header, for the vessel), or the cruise header
    // itself when cast.ID is 0. nullptr clears the form.
    void Show(const TCastInfo* cast, const TCastInfo* cruise = nullptr);
    void SetEditable(bool editable);
    bool Editable() const { return editable_; }
    // Reads the editable fields into header. False, with refusal naming the field, when one is
    // refused; header is then unchanged.
    bool Take(TCastInfo& header, std::string& refusal) const;

    QLineEdit* Edit(const char* name) const; // "Name", "Operator", "Vessel", "Comment", ...

private:
    QLineEdit* AddEdit(const char* name, int maxLength);
    QLabel* AddLabel(const char* name);

    QFormLayout* form_;
    bool editable_ = false;
    bool isCruise_ = false;
};

} // namespace marevo
