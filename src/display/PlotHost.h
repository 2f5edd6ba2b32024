#pragma once
// What the plot reads from, and asks of, the main window and its sibling windows. The main
// window implements it; tests and the command-line tool pass a TPlainPlotHost.

namespace marevo {

class IPlotHost {
public:
    virtual ~IPlotHost() = default;
    // The "Automatic X-Y autoscale" button of the tool bar is down.
    virtual bool AutoScaleButtonDown() const = 0;
    // The "Show Cursor" button is down: the cursor may be drawn and dragged.
    virtual bool CursorAllowed() const = 0;
    // The window's print command.
    virtual void PrintPlot() = 0;
    // Values window: its first row (the up-cast table starts there) and the row to show.
    virtual int ValuesFirstRow() const = 0;
    virtual void ShowValuesRow(int row) = 0;
    // Bottles window: the selected row (a bottle number), 0 when none.
    virtual int BottlesSelectedRow() const = 0;
};

// A host without windows: plain values a caller sets.
class TPlainPlotHost final : public IPlotHost {
public:
    bool autoScale = false;
    bool cursor = false;
    int printRequests = 0;
    int valuesFirstRow = 0;
    int valuesRowShown = -1;
    int bottlesRow = 0;

    bool AutoScaleButtonDown() const override { return autoScale; }
    bool CursorAllowed() const override { return cursor; }
    void PrintPlot() override { ++printRequests; }
    int ValuesFirstRow() const override { return valuesFirstRow; }
    void ShowValuesRow(int row) override { valuesRowShown = row; }
    int BottlesSelectedRow() const override { return bottlesRow; }
};

} // namespace marevo
