#pragma once
// The values window ("Extracted Cast Values"): the values of the configuration's value
// parameters, as a name/value panel for one record or as a table of every binned record, and
// during a cast the latest values. Its selected row and the plot cursor follow each other
// through the table's row-to-record map (display/ValuesView.h), so a hidden flagged record never
// puts the cursor on the wrong record.

#include "display/ValuesView.h"

#include <QWidget>

#include <functional>
#include <memory>

class QAction;
class QMenu;
class QTableView;

namespace marevo {

class TConfig;
class TEnviron;
class TParamCollection;
class TValuesModel;

// What the window asks of the main window.
struct TValuesWindowHost {
    std::function<bool()> onLine;     // the probe is on line
    std::function<bool()> cursorOn;   // the plot cursor is shown
    std::function<bool()> filterDown; // "Change 'Show' flagged data filter" is down
    // The plot cursor on row (the record's place after the table's first record).
    std::function<void(int row)> moveCursor;
    std::function<void()> parameters; // "Parameter"
    std::function<void()> exportText; // "Export"
};

class TValuesForm : public QWidget {
public:
    // environ: where the bounds are kept (ValueRect); null keeps them nowhere.
    TValuesForm(TConfig& config, TParamCollection& cast, TValuesWindowHost host, TEnviron* environ,
                QWidget* parent = nullptr);
    ~TValuesForm() override;

    // The layout of the view in use and the names; forgets the highest record shown.
    void DrawFixedField();
    // The table of binned records, or in the panel view record 1.
    void LoadSortedValue();
    // Record row (after the table's first record) selected: its table row, or its values in the
    // panel. Moves no cursor.
    void ShowCursorValue(int row);
    // The refresh in the acquisition worker's display hand-off.
    void UpdateCurValue();
    void ShowData();
    void ShowNormal();
    void ShowScroll();
    void Clear();

    bool ScrollMode() const { return scroll_; }
    // Switches the view ("Scroll View") and stores it in the configuration.
    void SetScrollMode(bool scroll);
    int SelectIndex = 1;
    // The table's first record, and the selected record's place after it (the plot's row).
    int FirstRow() const { return content_.FirstIndex; }
    int SelectedRow() const;
    TValuesContent& Content() { return content_; }
    QTableView* Grid() const { return grid_; }
    // The text a cell shows (tests and the manual's screenshots).
    QString CellText(int row, int column) const;

    QMenu* Popup = nullptr;
    QAction* ParameterAction = nullptr;
    QAction* ScrollAction = nullptr;
    QAction* ExportAction = nullptr;
    QAction* ExtractedAction = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    void RowSelected(int tableRow);
    void ApplyLayout();
    void Select(int tableRow);

    TConfig& config_;
    TParamCollection& cast_;
    TValuesWindowHost host_;
    TEnviron* environ_;
    TValuesContent content_;
    std::unique_ptr<TValuesModel> model_;
    QTableView* grid_ = nullptr;
    bool scroll_ = false;
    bool selecting_ = false;
    bool applied_ = false;
};

} // namespace marevo
