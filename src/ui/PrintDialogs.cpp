#include "ui/PrintDialogs.h"

#include "display/PlotHost.h"
#include "display/PlotScene.h"
#include "display/PrintPage.h"
#include "display/PrintPainter.h"
#include "foundation/Guard.h"
#include "foundation/Runtime.h"
#include "processing/ParamCollection.h"
#include "shell/Application.h"
#include "shell/MainShell.h"
#include "storage/CruiseFile.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <memory>
#include <system_error>

namespace marevo {

namespace fs = std::filesystem;

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

const char* const TextNames[4] = {"Text 1", "Text 2", "Text 3", "Text 4"};

QComboBox* SizeCombo(int index, QWidget* parent) {
    auto* box = new QComboBox(parent);
    for (const int size : PrintFontSizes)
        box->addItem(QString::number(size));
    box->setCurrentIndex(std::clamp(index, 0, static_cast<int>(PrintFontSizes.size()) - 1));
    return box;
}

QString FontText(const TPrintLayout& l) {
    QString style;
    if (l.FontStyle & 1)
        style += QStringLiteral(", bold");
    if (l.FontStyle & 2)
        style += QStringLiteral(", italic");
    if (l.FontStyle & 4)
        style += QStringLiteral(", underline");
    if (l.FontStyle & 8)
        style += QStringLiteral(", strike-out");
    return Q(l.FontName.Get()) + QStringLiteral(" %1").arg(l.FontSize) + style;
}

// print on the program's printer, or, without one, into the PDF the operator chooses.
bool PrintSomewhere(TMainShell& shell, const std::string& pdfName, const TPdfChooser& choosePdf,
                    bool margins, const TGuardSite& site,
                    const std::function<bool(QPagedPaintDevice&)>& print) {
    if (PrinterReady())
        return print(ProgramPrinter());
    const fs::path out = choosePdf(shell.CruiseTextFolder() / pdfName);
    if (out.empty())
        return false;
    std::string error;
    const bool printed =
        PrintPdfFile(out, ProgramPrinter().pageLayout().pageSize(), margins ? 15 : 0, print, error);
    if (printed)
        StatusMessage("Printed to " + out.string());
    else if (error.rfind("cannot write", 0) == 0)
        ReportFailure(site, error); // a print that failed has told its own reason
    return printed;
}

} // namespace

QPrinter& ProgramPrinter() {
    // Lives as long as the process: its platform parts may not be torn down after the
    // application object.
    static QPrinter* const printer = new QPrinter(QPrinter::HighResolution);
    return *printer;
}

bool PrinterReady() {
    const QPrinter& p = ProgramPrinter();
    if (p.outputFormat() == QPrinter::PdfFormat)
        return !p.outputFileName().isEmpty();
    return !p.printerName().isEmpty() && !QPrinterInfo::availablePrinterNames().isEmpty();
}

void PrinterSetup(QWidget* parent) {
    QPrintDialog dialog(&ProgramPrinter(), parent);
    dialog.setWindowTitle(QStringLiteral("Printer Setup"));
    dialog.exec();
}

std::optional<TParaList> ChooseHeaderList(const TParaList& list, const TParamCollection& probe,
                                          QWidget* parent) {
    QDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("Header parameters"));
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(QStringLiteral("Cruise and cast header parameters:"), &dialog));
    auto* box = new QListWidget(&dialog);
    layout->addWidget(box);
    const int count = std::clamp<int>(list.count, 0, MaxParaListCount);
    const auto chosen = [&](std::int32_t nb) {
        for (int i = 0; i < count; ++i)
            if (list.List[i] == nb)
                return true;
        return false;
    };
    for (int i = 0; i < probe.Count(); ++i) {
        const TParameter* p = probe.Items(i);
        if (!p || p->GetParaNb() < 900)
            continue;
        auto* item = new QListWidgetItem(Q(p->ParaText.ParaStr[1].Get()), box);
        item->setData(Qt::UserRole, p->GetParaNb());
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(chosen(p->GetParaNb()) ? Qt::Checked : Qt::Unchecked);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    TParaList result = list;
    result.count = 0;
    for (int i = 0; i < box->count() && result.count < MaxParaListCount; ++i) {
        if (box->item(i)->checkState() != Qt::Checked)
            continue;
        result.List[result.count] = box->item(i)->data(Qt::UserRole).toInt();
        result.Avail[result.count] = 1;
        ++result.count;
    }
    return result;
}

TPlotSetupDialog::TPlotSetupDialog(const TPrintLayout& layout, const TParamCollection& probe,
                                   THeaderListChooser chooser, std::function<void()> help,
                                   QWidget* parent)
    : QDialog(parent), result_(layout), probe_(probe), chooser_(std::move(chooser)) {
    setWindowTitle(QStringLiteral("Plot Setup"));
    auto* tabs = new QTabWidget(this);
    const auto fraction = [&](const QString& name, float value, QWidget* parent) {
        auto* edit = new QLineEdit(Q(FractionText(value)), parent);
        edit->setObjectName(name);
        edit->setMaximumWidth(70);
        fractions_.emplace_back(name, edit);
        return edit;
    };

    // "Page": per text line and the header block, shown and position; the plot; the margin.
    auto* page = new QWidget(tabs);
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Position"), page), 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("Framed"), page), 0, 3);
    int row = 1;
    for (int k = 0; k <= pi_Header; ++k, ++row) {
        const QString name = k < 4 ? QString(TextNames[k]) : QStringLiteral("Header");
        shown_[k] = new QCheckBox(name, page);
        shown_[k]->setChecked(layout.Items[k].Shown != 0);
        grid->addWidget(shown_[k], row, 0, 1, 2);
        grid->addWidget(fraction(name, layout.Items[k].Position, page), row, 2);
    }
    grid->addWidget(new QLabel(QStringLiteral("Plot"), page), row, 0, 1, 2);
    grid->addWidget(fraction(QStringLiteral("Plot"), layout.Items[pi_Plot].Position, page), row++,
                    2);
    grid->addWidget(new QLabel(QStringLiteral("Plot height"), page), row, 0, 1, 2);
    grid->addWidget(fraction(QStringLiteral("Plot height"), layout.PlotHeight, page), row++, 2);
    grid->addWidget(new QLabel(QStringLiteral("Margin"), page), row, 0, 1, 2);
    grid->addWidget(fraction(QStringLiteral("Margin"), layout.Margin, page), row++, 2);
    // The framed boxes beside the header block's and the plot's rows, and on a row of the page.
    grid->addWidget(new QLabel(QStringLiteral("Page"), page), row, 0, 1, 2);
    const std::pair<int, int> framedAt[] = {{pi_Header, 5}, {pi_Plot, 6}, {pi_Page, row++}};
    for (const auto& [item, at] : framedAt) {
        framed_[item] = new QCheckBox(page);
        framed_[item]->setChecked(layout.Items[item].Framed != 0);
        grid->addWidget(framed_[item], at, 3, Qt::AlignHCenter);
    }
    auto* fontRow = new QHBoxLayout;
    auto* fontButton = new QPushButton(QStringLiteral("Font Type"), page);
    fontShown_ = new QLineEdit(FontText(layout), page);
    fontShown_->setReadOnly(true);
    fontRow->addWidget(fontButton);
    fontRow->addWidget(fontShown_, 1);
    connect(fontButton, &QPushButton::clicked, this, [this] { ChooseFont(); });
    auto* pageLayout = new QVBoxLayout(page);
    pageLayout->addLayout(grid);
    pageLayout->addLayout(fontRow);
    pageLayout->addStretch(1);
    tabs->addTab(page, QStringLiteral("Page"));

    // "Header": the prompt, the size, the two lists.
    auto* header = new QWidget(tabs);
    auto* headerLayout = new QVBoxLayout(header);
    auto* top = new QHBoxLayout;
    showPrompt_ = new QCheckBox(QStringLiteral("Show Prompt"), header);
    showPrompt_->setChecked(layout.ShowPrompt != 0);
    top->addWidget(showPrompt_);
    top->addStretch(1);
    top->addWidget(new QLabel(QStringLiteral("Size"), header));
    headerSize_ = SizeCombo(layout.Items[pi_Header].SizeIndex, header);
    top->addWidget(headerSize_);
    headerLayout->addLayout(top);
    auto* listsRow = new QHBoxLayout;
    lists[0] = layout.LeftHeaderList;
    lists[1] = layout.RightHeaderList;
    for (int side = 0; side < 2; ++side) {
        auto* group =
            new QGroupBox(side == 0 ? QStringLiteral("Left") : QStringLiteral("Right"), header);
        auto* v = new QVBoxLayout(group);
        lists_[side] = new QListWidget(group);
        FillHeaderList(lists_[side], lists[side]);
        v->addWidget(lists_[side]);
        auto* modify = new QPushButton(QStringLiteral("Modify"), group);
        modify->setObjectName(side == 0 ? QStringLiteral("ModifyLeft")
                                        : QStringLiteral("ModifyRight"));
        connect(modify, &QPushButton::clicked, this, [this, side] {
            if (!chooser_)
                return;
            if (const std::optional<TParaList> chosen = chooser_(lists[side])) {
                lists[side] = *chosen;
                FillHeaderList(lists_[side], lists[side]);
            }
        });
        v->addWidget(modify);
        listsRow->addWidget(group);
    }
    headerLayout->addLayout(listsRow);
    tabs->addTab(header, QStringLiteral("Header"));

    // "Text": the four texts with size and alignment.
    auto* text = new QWidget(tabs);
    auto* textGrid = new QGridLayout(text);
    textGrid->addWidget(new QLabel(QStringLiteral("Size"), text), 0, 2);
    textGrid->addWidget(new QLabel(QStringLiteral("Alignment"), text), 0, 3);
    for (int k = 0; k < 4; ++k) {
        textGrid->addWidget(new QLabel(TextNames[k], text), k + 1, 0);
        texts_[k] = new QLineEdit(Q(layout.Text[k].Get()), text);
        texts_[k]->setMaxLength(255);
        texts_[k]->setMinimumWidth(260);
        textGrid->addWidget(texts_[k], k + 1, 1);
        sizes_[k] = SizeCombo(layout.Items[k].SizeIndex, text);
        textGrid->addWidget(sizes_[k], k + 1, 2);
        aligns_[k] = new QComboBox(text);
        aligns_[k]->addItems(
            {QStringLiteral("Left"), QStringLiteral("Centre"), QStringLiteral("Right")});
        aligns_[k]->setCurrentIndex(std::min<int>(layout.Items[k].Alignment, 2));
        textGrid->addWidget(aligns_[k], k + 1, 3);
    }
    textGrid->setRowStretch(5, 1);
    tabs->addTab(text, QStringLiteral("Text"));

    auto* buttons = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::helpRequested, this, [help] {
        if (help)
            help();
    });
    auto* main = new QVBoxLayout(this);
    main->addWidget(tabs);
    main->addWidget(buttons);
}

void TPlotSetupDialog::FillHeaderList(QListWidget* box, const TParaList& list) const {
    box->clear();
    const int count = std::clamp<int>(list.count, 0, MaxParaListCount);
    for (int i = 0; i < count; ++i) {
        const TParameter* p = probe_.FindPara(list.List[i]);
        box->addItem(p ? Q(p->ParaText.ParaStr[1].Get()) : QString::number(list.List[i]));
    }
}

void TPlotSetupDialog::ChooseFont() {
    QFont font(Q(result_.FontName.Get()));
    font.setPointSize(std::max(1, static_cast<int>(result_.FontSize)));
    font.setBold((result_.FontStyle & 1) != 0);
    font.setItalic((result_.FontStyle & 2) != 0);
    font.setUnderline((result_.FontStyle & 4) != 0);
    font.setStrikeOut((result_.FontStyle & 8) != 0);
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, font, this, QStringLiteral("Font Type"));
    if (!ok)
        return;
    const QColor colour =
        QColorDialog::getColor(QColor(result_.FontColor & 0xFF, (result_.FontColor >> 8) & 0xFF,
                                      (result_.FontColor >> 16) & 0xFF),
                               this, QStringLiteral("Font colour"));
    if (colour.isValid())
        result_.FontColor = colour.red() | (colour.green() << 8) | (colour.blue() << 16);
    result_.FontName.Set(chosen.family().left(80).toStdString());
    result_.FontSize = std::max(1, chosen.pointSize());
    const int ppi = logicalDpiY();
    result_.FontPixelsPerInch = ppi;
    result_.FontHeight = -static_cast<std::int32_t>(std::lround(result_.FontSize * ppi / 72.0));
    result_.FontPitch = chosen.fixedPitch() ? 2 : 1;
    result_.FontStyle =
        static_cast<std::uint8_t>((chosen.bold() ? 1 : 0) | (chosen.italic() ? 2 : 0) |
                                  (chosen.underline() ? 4 : 0) | (chosen.strikeOut() ? 8 : 0));
    fontShown_->setText(FontText(result_));
}

QLineEdit* TPlotSetupDialog::FractionField(const QString& name) const {
    for (const auto& [n, edit] : fractions_)
        if (n == name)
            return edit;
    return nullptr;
}

bool TPlotSetupDialog::TakeBack(TPrintLayout& layout) const {
    TPrintLayout l = result_; // with the font chosen here
    TPageFractionFields fields;
    for (int k = 0; k < 4; ++k)
        fields.Text[static_cast<std::size_t>(k)] =
            FractionField(TextNames[k])->text().toStdString();
    fields.Header = FractionField(QStringLiteral("Header"))->text().toStdString();
    fields.Plot = FractionField(QStringLiteral("Plot"))->text().toStdString();
    fields.PlotHeight = FractionField(QStringLiteral("Plot height"))->text().toStdString();
    fields.Margin = FractionField(QStringLiteral("Margin"))->text().toStdString();
    std::string bad;
    if (!ReadPageFractionFields(fields, l, bad)) {
        Operator().Message("\"" + FractionField(Q(bad))->text().toStdString() +
                               "\" is not a valid number (" + bad + ")",
                           "Plot Setup", TMessageKind::Error);
        return false;
    }
    for (int k = 0; k <= pi_Header; ++k)
        l.Items[k].Shown = shown_[k]->isChecked() ? 1 : 0;
    for (const int k : {pi_Header, pi_Plot, pi_Page})
        l.Items[k].Framed = framed_[k]->isChecked() ? 1 : 0;
    l.ShowPrompt = showPrompt_->isChecked() ? 1 : 0;
    l.Items[pi_Header].SizeIndex = headerSize_->currentIndex();
    l.LeftHeaderList = lists[0];
    l.RightHeaderList = lists[1];
    for (int k = 0; k < 4; ++k) {
        l.Text[k].Set(texts_[k]->text().left(255).toStdString());
        l.Items[k].SizeIndex = sizes_[k]->currentIndex();
        l.Items[k].Alignment = static_cast<std::uint8_t>(aligns_[k]->currentIndex());
    }
    layout = l;
    return true;
}

void TPlotSetupDialog::accept() {
    if (TakeBack(result_))
        QDialog::accept();
}

void EditPlotSetup(TApplication& app, std::function<void()> help, QWidget* parent) {
    TPlotSetupDialog dialog(
        app.environ.PrintLayout, app.probe,
        [&app, parent](const TParaList& list) { return ChooseHeaderList(list, app.probe, parent); },
        std::move(help), parent);
    if (dialog.exec() == QDialog::Accepted)
        app.environ.PrintLayout = dialog.Result();
}

bool PrintPlotCommand(TApplication& app, TMainShell& shell, int plotWidth, int plotHeight,
                      const TPdfChooser& choosePdf) {
    if (!shell.CastLoaded()) {
        Operator().Message("No Data Loaded!", "", TMessageKind::Information);
        return false;
    }
    TPlainPlotHost host;
    TPlotScene scene(app.config, app.cast, host);
    scene.myresize(plotWidth + 2, plotHeight + 2);
    const TCastInfoC& holder = shell.CruiseFile().CastInfoc;
    const TPrintLayout& layout = app.environ.PrintLayout;
    const std::vector<THeaderRow> left = PrintHeaderRows(holder, layout.LeftHeaderList);
    const std::vector<THeaderRow> right = PrintHeaderRows(holder, layout.RightHeaderList);
    const std::string name = app.cast.Loaded.FileLoaded.stem().string() + ".pdf";
    return PrintSomewhere(
        shell, name, choosePdf, false, {"Error in TPlotForm.Print ", "Print Plot"},
        [&](QPagedPaintDevice& device) { return PrintPlot(device, layout, scene, left, right); });
}

bool PrintBottlesCommand(TApplication& app, TMainShell& shell, const TPdfChooser& choosePdf) {
    if (!shell.CastLoaded()) {
        Operator().Message("No Data Loaded!", "", TMessageKind::Information);
        return false;
    }
    const std::string name = app.cast.Loaded.FileLoaded.stem().string() + "_btl.pdf";
    const fs::path cruise = app.config.CruisePathName(shell.DataRoot());
    if (shell.CruiseFile().CastInfoc.Bottles.Count() == 0) {
        Operator().Message("The cast has no bottles", "", TMessageKind::Information);
        return false;
    }
    return PrintSomewhere(shell, name, choosePdf, true,
                          {"Error in TParamCollection.TxtBottlePrint", "Print Bottle"},
                          [&](QPagedPaintDevice& device) {
                              TQtTextPrinter printer(device);
                              return shell.CruiseFile().TxtBottlePrint(cruise, printer);
                          });
}

} // namespace marevo
