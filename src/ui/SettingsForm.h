#pragma once
// A settings editor built from a table of fields: numbers, switches, choices and texts on pages
// of a tab widget. Nothing is changed while the operator edits; OK reads every field the operator
// changed, refuses the first bad one with a message naming it (nothing stored then), and only when
// all are sound stores them. Fields left alone keep their stored values to the last bit.

#include "shell/Settings.h"

#include <QDialog>
#include <QStringList>
#include <QTabWidget>

#include <functional>
#include <map>
#include <string>
#include <vector>

class QDialogButtonBox;

namespace marevo {

struct TFormField {
    enum class Kind { Number, Check, Choice, Text };
    Kind kind = Kind::Number;
    QString page;
    QString group;
    QString label; // also the field's name in messages
    QString key;   // its name for Field(); the label when empty
    TNumberField number{};
    QStringList choices;
    std::function<double()> get; // Number; Check 0/1; Choice the index
    std::function<void(double)> set;
    std::function<std::string()> getText; // Text
    std::function<void(const std::string&)> setText;
    int maxLength = 255;
};

// Field builders for the tables.
TFormField NumberField(QString page, QString group, QString label, TNumberField range,
                       std::function<double()> get, std::function<void(double)> set);
TFormField CheckField(QString page, QString group, QString label, std::uint8_t& flag);
TFormField ChoiceField(QString page, QString group, QString label, QStringList choices,
                       std::function<double()> get, std::function<void(double)> set);
TFormField TextField(QString page, QString group, QString label, int maxLength,
                     std::function<std::string()> get, std::function<void(const std::string&)> set);

// The fields on pages of a tab widget. Apply reads every field the operator changed and, when
// all are sound, stores them; otherwise nothing is stored and refusal names the first bad one.
class TFieldPanel : public QTabWidget {
public:
    explicit TFieldPanel(std::vector<TFormField> fields, QWidget* parent = nullptr);
    bool Apply(std::string& refusal);
    // The widget of the field labelled label (QLineEdit, QCheckBox or QComboBox).
    QWidget* Field(const QString& label) const;
    // Shows the values without letting them be changed.
    void SetReadOnly(bool readOnly);

private:
    struct TBound {
        TFormField field;
        QWidget* widget = nullptr;
        QString shown; // the text or state shown at first
    };
    QString Shown(const TBound& b) const;

    std::vector<TBound> bound_;
    std::map<QString, QWidget*> byLabel_;
};

class TSettingsForm : public QDialog {
public:
    TSettingsForm(const QString& title, std::vector<TFormField> fields, QWidget* parent = nullptr);

    // Apply with the refusal shown to the operator.
    bool Apply();
    void accept() override;

    QTabWidget* Pages() const { return panel_; }
    QWidget* Field(const QString& label) const { return panel_->Field(label); }
    const std::string& LastRefusal() const { return refusal_; }
    // Pages added after the table's (the rosette page of the configuration).
    void AddPage(QWidget* page, const QString& title);
    // Steps run once the fields are stored (what the added pages edited aside).
    std::vector<std::function<void()>> onApply;

private:
    TFieldPanel* panel_;
    QDialogButtonBox* buttons_;
    std::string refusal_;
};

} // namespace marevo
