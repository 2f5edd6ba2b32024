#pragma once
// The plot into files and onto the clipboard, off screen: PNG, PDF or SVG by the file's
// extension. Needs a QGuiApplication (fonts); the offscreen platform serves.

#include <QByteArray>
#include <QImage>

#include <filesystem>
#include <string>

namespace marevo {

class TPlotScene;

// Whether out names a picture type the renderer writes (.png, .pdf, .svg, any case).
bool PlotFileTypeKnown(const std::filesystem::path& out);

// The plot of a frame of the scene's layout size, with its outline, in out. The file is written
// beside out and renamed over it, so a failure leaves no half-written file (and an existing one
// as it was). False with the reason in error.
bool RenderPlotFile(TPlotScene& scene, const std::filesystem::path& out, std::string& error);

// The same plot as an image and as an SVG document (the clipboard's two forms).
QImage RenderPlotImage(TPlotScene& scene);
QByteArray RenderPlotSvg(TPlotScene& scene);

} // namespace marevo
