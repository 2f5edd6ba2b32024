#include "display/PlotRender.h"

#include "display/PlotPainter.h"
#include "display/PlotScene.h"

#include <QBuffer>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>

#include <algorithm>
#include <cctype>
#include <system_error>

namespace marevo {

namespace fs = std::filesystem;

namespace {

// Screen pixels: a PDF or SVG of the plot measures what the window shows at 96 dots per inch.
constexpr int Dpi = 96;

bool Paint(QPaintDevice& device, TPlotScene& scene) {
    QPainter p;
    if (!p.begin(&device))
        return false;
    BuildPlot(p, scene, true);
    return p.end();
}

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

void Configure(QSvgGenerator& svg, int w, int h) {
    svg.setSize(QSize(w, h));
    svg.setViewBox(QRect(0, 0, w, h));
    svg.setResolution(Dpi);
    svg.setTitle(QStringLiteral("Plot"));
}

} // namespace

QImage RenderPlotImage(TPlotScene& scene) {
    const auto& l = scene.Layout();
    QImage image(std::max(1, l.width), std::max(1, l.height), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    Paint(image, scene);
    return image;
}

QByteArray RenderPlotSvg(TPlotScene& scene) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    Configure(svg, scene.Layout().width, scene.Layout().height);
    Paint(svg, scene);
    return bytes;
}

bool PlotFileTypeKnown(const fs::path& out) {
    const std::string ext = Lower(out.extension().string());
    return ext == ".png" || ext == ".pdf" || ext == ".svg";
}

bool RenderPlotFile(TPlotScene& scene, const fs::path& out, std::string& error) {
    const std::string ext = Lower(out.extension().string());
    if (!PlotFileTypeKnown(out)) {
        error = "unknown picture type \"" + out.extension().string() + "\" (png, pdf or svg)";
        return false;
    }
    const auto& l = scene.Layout();
    if (l.width < 1 || l.height < 1) {
        error = "empty picture size";
        return false;
    }
    const fs::path dir = out.has_parent_path() ? out.parent_path() : fs::path(".");
    const fs::path part = dir / ("." + out.filename().string() + ".part");
    const QString partName = QString::fromStdString(part.string());
    bool ok = false;
    if (ext == ".png") {
        ok = RenderPlotImage(scene).save(partName, "PNG");
    } else if (ext == ".pdf") {
        QPdfWriter pdf(partName);
        pdf.setResolution(Dpi);
        pdf.setPageSize(QPageSize(QSizeF(l.width * 72.0 / Dpi, l.height * 72.0 / Dpi),
                                  QPageSize::Point, QString(), QPageSize::ExactMatch));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        pdf.setTitle(QStringLiteral("Plot"));
        ok = Paint(pdf, scene);
    } else {
        QSvgGenerator svg;
        svg.setFileName(partName);
        Configure(svg, l.width, l.height);
        ok = Paint(svg, scene);
    }
    std::error_code ec;
    if (ok && fs::exists(part, ec) && fs::file_size(part, ec) > 0 && !ec) {
        fs::rename(part, out, ec);
        if (!ec)
            return true;
    }
    error = "cannot write " + out.string() + (ec ? ": " + ec.message() : std::string());
    fs::remove(part, ec);
    return false;
}

} // namespace marevo
