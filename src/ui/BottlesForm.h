#pragma once
// The bottles window ("Bottles"): the fired bottles of the cast in hand, one row per rosette
// position, with the bottle parameters computed from each bottle's stored channel values
// (display/BottlesView.h). While the probe is on line a click on a status cell, or a right click
// on a row, asks for a bottle to be fired (again).

#include "display/BottlesView.h"

#include <QWidget>

#include <functional>

class QAction;
class QMenu;
class QTableWidget;

namespace marevo {

class TConfig;
class TEnviron;
class TParamCollection;

// What the window asks of the main window.
struct TBottlesWindowHost {
    std::function<bool()> onLine;      // the probe is on line
    std::function<bool()> fireEnabled; // the "Fire Bottle" menu item is enabled
    // The firing request: fire again, and the position (0 the next free one).
    std::function<void(bool again, int bottle)> request;
    std::function<void()> fire;        // "Fire", and a click that fires again
    std::function<void()> print;       // "Print"
    std::function<void()> exportText;  // "Export As Text"
    std::function<void()> parameters;  // "Parameters"
    std::function<void()> rebuildPlot; // the plot marks the selected bottle
};

class TBottlesForm : public QWidget {
public:
    TBottlesForm(TConfig& config, TParamCollection& cast, TBottlesWindowHost host,
                 TEnviron* environ, QWidget* parent = nullptr);

    // Caption and layout.
    void DrawFixedField();
    // The layout, then a row per bottle.
    void UpdateCurValue();
    // Caption "Bottles", every row empty.
    void Clear();

    // The selected row: a rosette position, 0 when none.
    int SelectedRow() const;
    // Position k shows no bottle record (TConfig::NextBottle).
    bool StatusCellEmpty(int k) const { return table_.StatusCellEmpty(k); }
    const TBottleTable& Table() const { return table_; }
    QTableWidget* Grid() const { return grid_; }
    // A press on the grid at position row (1-based), column; what a mouse press does.
    void Click(bool left, int row, int column);

    QMenu* Popup = nullptr;
    QAction* ParametersAction = nullptr;
    QAction* PrintAction = nullptr;
    QAction* FireAction = nullptr;
    QAction* ExportAction = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    void Show(const TBottleTable& table);

    TConfig& config_;
    TParamCollection& cast_;
    TBottlesWindowHost host_;
    TEnviron* environ_;
    TBottleTable table_;
    QTableWidget* grid_ = nullptr;
    bool applied_ = false;
};

} // namespace marevo
