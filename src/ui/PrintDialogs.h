#pragma once
// Printing from the main window: the program's printer and its setup, the plot page setup dialog
// (pages "Page", "Header", "Text"), and the Print › Plot and Print › Bottles commands. Without a
// print queue the commands offer a PDF instead.

#include "records/Environ.h"

#include <QDialog>

#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPrinter;

namespace marevo {

class TApplication;
class TMainShell;
class TParamCollection;

// The printer the program prints on, made on first use on the default queue.
QPrinter& ProgramPrinter();
// Whether ProgramPrinter() leads somewhere: a queue, or a file chosen in Printer Setup.
bool PrinterReady();
// File › Printer Setup: the platform's print dialog choosing the program's printer.
void PrinterSetup(QWidget* parent);

// The parameter chooser of a header list: given the list, the new one (or none on Cancel).
using THeaderListChooser = std::function<std::optional<TParaList>(const TParaList&)>;
// The chooser offering the collection's parameters numbered 900 and above (cruise and cast
// header parameters), by their list-box names.
std::optional<TParaList> ChooseHeaderList(const TParaList& list, const TParamCollection& probe,
                                          QWidget* parent);

class TPlotSetupDialog : public QDialog {
public:
    TPlotSetupDialog(const TPrintLayout& layout, const TParamCollection& probe,
                     THeaderListChooser chooser, std::function<void()> help,
                     QWidget* parent = nullptr);

    // The layout with the three pages taken back; false, after telling the operator which field
    // is no number, when one of the fractions is not (the layout is then as it was).
    bool TakeBack(TPrintLayout& layout) const;
    // On OK: the pages taken back into Result(); the dialog stays open when they cannot be.
    void accept() override;
    const TPrintLayout& Result() const { return result_; }

    // The fields, by their captions, for the tests and the manual's screenshots.
    QLineEdit* FractionField(const QString& name) const;
    QLineEdit* TextField(int k) const { return texts_[k]; }
    QCheckBox* ShownBox(int item) const { return shown_[item]; }

private:
    void FillHeaderList(QListWidget* box, const TParaList& list) const;
    void ChooseFont();

    TPrintLayout result_;
    const TParamCollection& probe_;
    THeaderListChooser chooser_;
    std::vector<std::pair<QString, QLineEdit*>> fractions_;
    QCheckBox* shown_[pi_Page + 1] = {};
    QCheckBox* framed_[pi_Page + 1] = {};
    QLineEdit* texts_[4] = {};
    QComboBox* sizes_[4] = {};
    QComboBox* aligns_[4] = {};
    QComboBox* headerSize_ = nullptr;
    QCheckBox* showPrompt_ = nullptr;
    QListWidget* lists_[2] = {};
    TParaList lists[2] = {};
    QLineEdit* fontShown_ = nullptr;
};

// File › Plot Setup: the dialog on the environment's layout, taken back on OK.
void EditPlotSetup(TApplication& app, std::function<void()> help, QWidget* parent);

// Where a print goes when no queue is there: the PDF the operator chooses (empty: cancelled),
// proposed in the cruise's text folder.
using TPdfChooser = std::function<std::filesystem::path(const std::filesystem::path& proposed)>;

// File › Print › Plot: the page of the cast in hand with the environment's layout, the plot
// picture of plotClient + 2 pixels each way. False when nothing was printed.
bool PrintPlotCommand(TApplication& app, TMainShell& shell, int plotWidth, int plotHeight,
                      const TPdfChooser& choosePdf);
// File › Print › Bottles: the bottle table of the cast in hand, as text.
bool PrintBottlesCommand(TApplication& app, TMainShell& shell, const TPdfChooser& choosePdf);

} // namespace marevo
