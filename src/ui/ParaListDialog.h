#pragma once
// The value- and bottle-parameter dialogs: the parameters a window lists (at most 33, in order)
// and, for each, its smoothing (none, mean, low-pass first order; length 2..100) and validation
// limits. Nothing changes until OK: Cancel leaves the list (count, numbers, availability and
// references) and the parameters as they were.

#include "parameters/ParaRecords.h"

#include <QDialog>

#include <map>
#include <vector>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QListWidget;
class QSpinBox;

namespace marevo {

class TParamCollection;
class TParameter;

class TParaListDialog : public QDialog {
public:
    // list: the list edited; probe: the parameters to choose from; cast: the cast's copies,
    // which take the same smoothing and limits. offerDerived: the derived columns of the binned
    // table (SA, CT, SIG0, RHO, N2) follow the probe's parameters; they have no smoothing or
    // limits of their own.
    TParaListDialog(const QString& title, TParaList& list, TParamCollection& probe,
                    TParamCollection& cast, QWidget* parent = nullptr, bool offerDerived = false);

    std::vector<std::int32_t> Numbers() const;
    // Appends a parameter of the choice list; false when the list is full or lacks it.
    bool AddNumber(std::int32_t number);
    void RemoveCurrent();
    void MoveCurrent(int step);
    void accept() override;

    QListWidget* Available = nullptr;
    QListWidget* Chosen = nullptr;
    QComboBox* SmoothType = nullptr;
    QSpinBox* SmoothLength = nullptr;
    QCheckBox* ValidateBox = nullptr;
    QDoubleSpinBox* ValidMin = nullptr;
    QDoubleSpinBox* ValidMax = nullptr;

private:
    struct TEdit {
        TSmoothType type = Smo_None;
        std::int32_t length[2] = {2, 2}; // mean, low-pass
        bool validate = false;
        double min = 0, max = 0;
    };
    void Load(std::int32_t number);
    void Store();
    TEdit& EditOf(std::int32_t number);
    // The parameter of the choice list with that number; null when it offers none.
    const TParameter* Choice(std::int32_t number) const;

    TParaList& list_;
    TParamCollection& probe_;
    TParamCollection& cast_;
    std::map<std::int32_t, TEdit> edits_;
    std::int32_t shown_ = 0; // the parameter whose settings the controls show
    bool loading_ = false;
    bool offerDerived_ = false;
};

} // namespace marevo
