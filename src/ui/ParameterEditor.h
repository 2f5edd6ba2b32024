#pragma once
// Tools › Parameter Editor and View › Probe: the parameters of a collection, each with its
// definition on five pages (identity, conversion, calibration, limits, display). In the editor,
// moving to another parameter keeps the edits of the one left (a refused field keeps the operator
// on it); OK keeps them all and Cancel puts every edited parameter back as it was. View › Probe
// shows the cast's collection read-only.

#include "ui/SettingsForm.h"

#include <QDialog>

#include <map>
#include <cstdint>
#include <string>
#include <vector>

class QListWidget;
class QHBoxLayout;

namespace marevo {

class TParamCollection;
class TParameter;

// The definition fields of a parameter, bound to it.
std::vector<TFormField> ParameterFields(TParameter& para);

class TParameterEditor : public QDialog {
public:
    TParameterEditor(TParamCollection& collection, bool editable, QWidget* parent = nullptr);

    QListWidget* List() const { return list_; }
    TFieldPanel* Panel() const { return panel_; }
    const std::string& LastRefusal() const { return refusal_; }
    // The shown parameter's fields into it; false (told) when one is refused.
    bool TakeShown();
    void accept() override;
    void reject() override;

private:
    void Show(int row);

    TParamCollection& collection_;
    bool editable_;
    QListWidget* list_;
    QHBoxLayout* columns_;
    TFieldPanel* panel_ = nullptr;
    int shown_ = -1;
    std::map<int, std::vector<std::uint8_t>> before_; // definition records of the parameters edited, by row
    std::string refusal_;
};

} // namespace marevo
