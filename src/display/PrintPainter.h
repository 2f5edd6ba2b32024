#pragma once
// Printing on a page device (a PDF writer or a printer, both QPagedPaintDevice): the plot page
// of the print layout, and the plain text lines of the tables (ITextPrinter).

#include "records/Environ.h"
#include "storage/CruiseFile.h"

#include <QFont>
#include <QPageSize>
#include <QPainter>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

class QPagedPaintDevice;

namespace marevo {

class TPlotScene;

// The plot frame a page is printed from when no plot window gives its size: the plot window's
// client size, 731 × 704 pixels, and 2 pixels more each way.
inline constexpr int PrintPlotWidth = 731 + 2;
inline constexpr int PrintPlotHeight = 704 + 2;

// The font of the layout's texts (name and style), black, with its em height in device pixels.
QFont PrintFont(const TPrintLayout& layout, double emPixels);

// The page as one document on device, whose paint rectangle is the page: the scene's whole
// drawing (BuildPlot at the scene's size, outlined when the plot item is framed) stretched into
// the plot rectangle, the shown text lines and the header block (left and right rows). The
// layout is printed as PrintableLayout leaves it. False with the reason in error when the device
// does not start or end the document.
bool PrintPlotPage(QPagedPaintDevice& device, const TPrintLayout& layout, TPlotScene& scene,
                   const std::vector<THeaderRow>& left, const std::vector<THeaderRow>& right,
                   std::string& error);

// PrintPlotPage as the Print command runs it: a failure is logged as "Error in TPlotForm.Print "
// + the reason and shown in the box "Print Plot"; false then.
bool PrintPlot(QPagedPaintDevice& device, const TPrintLayout& layout, TPlotScene& scene,
               const std::vector<THeaderRow>& left, const std::vector<THeaderRow>& right);

// A print into the PDF file out, of page size with margins of marginMm on every side: written
// beside out and renamed over it once complete, so a failure leaves no file (and an existing one
// as it was). False with the reason in error when print fails (it has told its own reason) or
// the file cannot be written.
bool PrintPdfFile(const std::filesystem::path& out, const QPageSize& page, double marginMm,
                  const std::function<bool(QPagedPaintDevice&)>& print, std::string& error);

// Plain text lines onto device, top-down within its paint rectangle, a new page when one is
// full; tabs are expanded to every 8th column, a line longer than the page is cut at its right
// edge. A fixed-pitch font of the size asked for (points) in the colour asked for. Each step
// raises EMarevoError when the device fails.
class TQtTextPrinter final : public ITextPrinter {
public:
    explicit TQtTextPrinter(QPagedPaintDevice& device);
    ~TQtTextPrinter() override;

    void BeginDoc(std::uint32_t color, int fontSize) override;
    void PrintLine(std::string_view line) override;
    void EndDoc() override;

    int Pages() const { return pages_; }

private:
    QPagedPaintDevice& device_;
    QPainter painter_;
    double y_ = 0;
    double lineHeight_ = 0;
    int pages_ = 0;
};

// A line's tabs replaced by blanks up to the next multiple of 8 columns.
std::string ExpandTabs(std::string_view line);

} // namespace marevo
