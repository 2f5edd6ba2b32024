#include "display/PrintPainter.h"

#include "display/PlotPainter.h"
#include "display/PlotScene.h"
#include "display/PrintPage.h"
#include "foundation/Guard.h"

#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPdfWriter>

#include <algorithm>
#include <cmath>
#include <system_error>

namespace marevo {

namespace {

// Device pixels per tenth of a millimetre, across and down.
struct TUnits {
    double x = 1, y = 1;
};

TUnits UnitsOf(const QPaintDevice& device) {
    return {device.logicalDpiX() / 254.0, device.logicalDpiY() / 254.0};
}

// Text with its reference at the top: its left edge, centre or right edge at x (align 0, 1, 2).
void DrawTopText(QPainter& p, double x, double top, const QString& text, int align) {
    const QFontMetricsF fm(p.font(), p.device());
    const double w = fm.horizontalAdvance(text);
    const double left = align == 0 ? x : align == 1 ? x - w / 2 : x - w;
    p.drawText(QPointF(left, top + fm.ascent()), text);
}

} // namespace

QFont PrintFont(const TPrintLayout& layout, double emPixels) {
    QFont f(QString::fromStdString(layout.FontName.Get()));
    f.setPixelSize(std::max(1, static_cast<int>(std::lround(emPixels))));
    f.setBold((layout.FontStyle & 1) != 0);
    f.setItalic((layout.FontStyle & 2) != 0);
    f.setUnderline((layout.FontStyle & 4) != 0);
    f.setStrikeOut((layout.FontStyle & 8) != 0);
    return f;
}

bool PrintPlotPage(QPagedPaintDevice& device, const TPrintLayout& given, TPlotScene& scene,
                   const std::vector<THeaderRow>& left, const std::vector<THeaderRow>& right,
                   std::string& error) {
    const TPrintLayout layout = PrintableLayout(given);
    QPainter p;
    if (!p.begin(&device)) {
        error = "the printer cannot start the document";
        return false;
    }
    const double W = device.width(), H = device.height();

    // The plot picture, stretched into its rectangle as vectors.
    const TPageRect r = PrintPlotRect(layout, W, H);
    const auto& l = scene.Layout();
    if (l.width > 1 && l.height > 1 && r.right > r.left && r.bottom > r.top) {
        p.save();
        // The frame's first and last pixel lines (where the outline runs) onto the rectangle's
        // edges.
        p.translate(r.left, r.top);
        p.scale((r.right - r.left) / (l.width - 1), (r.bottom - r.top) / (l.height - 1));
        BuildPlot(p, scene, layout.Items[pi_Plot].Framed != 0);
        p.restore();
    }

    // From here on in tenths of a millimetre, turned into device pixels for each call, so that
    // no text is drawn through a scaled or flipped transform.
    const TUnits u = UnitsOf(device);
    const double pageW = W / u.x, pageH = H / u.y;
    p.setPen(Qt::black);
    for (int k = 0; k < 4; ++k) {
        if (!layout.Items[k].Shown)
            continue;
        const TPrintTextPlace t = PrintTextPlace(layout, k, pageW, pageH);
        p.setFont(PrintFont(layout, t.em * u.y));
        DrawTopText(p, t.x * u.x, t.top * u.y, QString::fromStdString(layout.Text[k].Get()),
                    t.align);
    }

    if (layout.Items[pi_Header].Shown) {
        const QFont font =
            PrintFont(layout, PrintEmHeight(layout.Items[pi_Header].SizeIndex) * u.y);
        p.setFont(font);
        const QFontMetricsF fm(font, &device);
        const double h = std::round(1.2 * fm.height() / u.y);
        const THeaderBlockPlace b = HeaderBlockPlace(
            layout, pageW, pageH, h, static_cast<int>(left.size()), static_cast<int>(right.size()));
        const auto rows = [&](const std::vector<THeaderRow>& list, double nameX, double valueX) {
            for (std::size_t k = 0; k < list.size(); ++k) {
                const double top = (b.y0 + static_cast<double>(k) * b.h) * u.y;
                DrawTopText(p, nameX * u.x, top, QString::fromStdString(list[k].Name), 0);
                DrawTopText(p, valueX * u.x, top, QString::fromStdString(list[k].Value), 2);
            }
        };
        rows(left, b.leftNameX, b.leftValueX);
        rows(right, b.rightNameX, b.rightValueX);
        if (b.framed) {
            p.setPen(QPen(Qt::black, 2 * u.x));
            p.setBrush(Qt::NoBrush);
            p.drawRect(QRectF(QPointF(b.frame.left * u.x, b.frame.top * u.y),
                              QPointF(b.frame.right * u.x, b.frame.bottom * u.y)));
        }
    }
    if (!p.end()) {
        error = "the printer cannot end the document";
        return false;
    }
    return true;
}

bool PrintPlot(QPagedPaintDevice& device, const TPrintLayout& layout, TPlotScene& scene,
               const std::vector<THeaderRow>& left, const std::vector<THeaderRow>& right) {
    std::string error;
    if (PrintPlotPage(device, layout, scene, left, right, error))
        return true;
    ReportFailure({"Error in TPlotForm.Print ", "Print Plot"}, error);
    return false;
}

bool PrintPdfFile(const std::filesystem::path& out, const QPageSize& page, double marginMm,
                  const std::function<bool(QPagedPaintDevice&)>& print, std::string& error) {
    namespace fs = std::filesystem;
    const fs::path dir = out.has_parent_path() ? out.parent_path() : fs::path(".");
    const fs::path part = dir / ("." + out.filename().string() + ".part");
    bool printed = false;
    {
        QPdfWriter pdf(QString::fromStdString(part.string()));
        pdf.setPageSize(page);
        pdf.setPageMargins(QMarginsF(marginMm, marginMm, marginMm, marginMm),
                           QPageLayout::Millimeter);
        printed = print(pdf);
    }
    std::error_code ec;
    if (printed && fs::exists(part, ec) && fs::file_size(part, ec) > 0 && !ec) {
        fs::rename(part, out, ec);
        if (!ec)
            return true;
    }
    error = printed ? "cannot write " + out.string() + (ec ? ": " + ec.message() : std::string())
                    : "nothing printed into " + out.string();
    fs::remove(part, ec);
    return false;
}

std::string ExpandTabs(std::string_view line) {
    std::string out;
    for (const char c : line) {
        if (c == '\t')
            out.append(8 - out.size() % 8, ' ');
        else
            out += c;
    }
    return out;
}

TQtTextPrinter::TQtTextPrinter(QPagedPaintDevice& device) : device_(device) {}

TQtTextPrinter::~TQtTextPrinter() {
    if (painter_.isActive())
        painter_.end();
}

void TQtTextPrinter::BeginDoc(std::uint32_t color, int fontSize) {
    if (painter_.isActive())
        Raise(": a document is printing already");
    if (!painter_.begin(&device_))
        Raise(": the printer cannot start the document");
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setStyleHint(QFont::TypeWriter);
    font.setPixelSize(
        std::max(1, static_cast<int>(std::lround(fontSize * device_.logicalDpiY() / 72.0))));
    painter_.setFont(font);
    painter_.setPen(ToQColor(static_cast<std::int32_t>(color)));
    painter_.setClipRect(QRect(0, 0, device_.width(), device_.height()));
    lineHeight_ = QFontMetricsF(font, &device_).lineSpacing();
    y_ = 0;
    pages_ = 1;
}

void TQtTextPrinter::PrintLine(std::string_view line) {
    if (!painter_.isActive())
        Raise(": no document is printing");
    if (y_ > 0 && y_ + lineHeight_ > device_.height()) {
        if (!device_.newPage())
            Raise(": the printer cannot start a new page");
        y_ = 0;
        ++pages_;
    }
    const QFontMetricsF fm(painter_.font(), &device_);
    painter_.drawText(QPointF(0, y_ + fm.ascent()), QString::fromStdString(ExpandTabs(line)));
    y_ += lineHeight_;
}

void TQtTextPrinter::EndDoc() {
    if (!painter_.isActive())
        Raise(": no document is printing");
    if (!painter_.end())
        Raise(": the printer cannot end the document");
}

} // namespace marevo
