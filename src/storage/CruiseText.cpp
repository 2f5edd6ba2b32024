// The tables made from a cruise file: the cast-header table of a whole cruise and the bottle
// table of one cast, as text files and printed.

#include "parameters/ParaNumbers.h"
#include "storage/CruiseFile.h"

#include "foundation/DateTime.h"
#include "foundation/EventLog.h"
#include "foundation/Guard.h"
#include "foundation/Runtime.h"
#include "foundation/ShortString.h"
#include "foundation/Stream.h"
#include "parameters/Units.h"
#include "processing/Collections.h"
#include "records/Settings.h"
#include "processing/FormulaSettings.h"
#include "processing/BottleColumns.h"
#include "processing/HeaderText.h"
#include "processing/ParaValueContext.h"
#include "records/Config.h"

#include <fmt/format.h>

#include <cmath>
#include <cstdlib>

namespace marevo {

namespace fs = std::filesystem;

namespace {

// Header kinds of HeaderString.
constexpr int HeaderKind = 1;
constexpr int BottleKind = 2;
// Columns that are no channel.
constexpr std::uint32_t PrintBlue = 0x00FF0000; // 0x00BBGGRR
constexpr int PrintFontSize = 10;

std::string_view SeparatorOf(const TTextFileCfg& cfg) {
    switch (cfg.Separator) {
    case sep_tab: return "\t";
    case sep_comma: return ",";
    default: return " ";
    }
}

// Each used entry of list: the parameter with that number in the cast's collection, else in the
// probe collection, else none.
TParaPtrArray Resolve(const TParaList& list, const TParamCollection& cast) {
    TParaPtrArray ptr{};
    const int count = std::clamp(list.count, 0, MaxParaListCount);
    for (int i = 0; i < count; ++i) {
        TParameter* p = cast.FindPara(list.List[i]);
        ptr[i] = p ? p : ProbeParamCol().FindPara(list.List[i]);
    }
    return ptr;
}

// Writes lines (UTF-8) as the system's text files are written: single-byte, CR LF.
void SaveLines(const fs::path& output, const std::string& text) {
    const std::string bytes = Utf8ToCp1252(text);
    WriteFileAtomically(output, [&](TStream& out) {
        TRecordWriter(out, "write error - ")
            .PutBytes(bytes.data(), bytes.size(), output.filename().string());
    });
}

THeaderSources SourcesOf(const TCastInfoC& holder) {
    THeaderSources sources;
    sources.Cruise = &holder.Cruise;
    sources.Cast = &holder.Cast;
    sources.Config = &Config();
    sources.ProbeSN = holder.Probe.ProbeInfo.UnitSN.Get();
    sources.Formula = FormulaSettingsOf(GenCfg(), holder.Cast.latitude[0].ToLongDouble());
    return sources;
}

// The head lines of a table: per head-list entry, the prompt when asked for, then the entry's
// header text.
std::string HeadLines(const TTextFileCfg& cfg, const TParaPtrArray& head,
                      const TParaPtrArray& columns, int kind, const THeaderSources& sources,
                      std::string_view promptSeparator) {
    std::string text;
    for (TParameter* para : head) {
        if (!para)
            continue;
        if (cfg.AddPrompt)
            text += para->HeaderPrompt() + std::string(promptSeparator);
        text += HeaderString(*para, kind, columns, sources) + "\r\n";
    }
    return text;
}

// The open operation tells the operator why it failed; the table only adds a beep.
bool OpenOrBeep(TCruisefile& file, const fs::path& cruiseFile) {
    if (file.OpenCruiseFile(cruiseFile))
        return true;
    Operator().Beep();
    return false;
}

// An export never overwrites the data it is made from; false after telling the operator.
bool RefuseProtected(const fs::path& output, std::string_view caption) {
    const std::string refused = ProtectedOutputError(output);
    if (refused.empty())
        return true;
    WriteLog("Export refused: " + refused);
    Operator().Message(refused, caption, TMessageKind::Warning);
    return false;
}

struct TCloseAtEnd {
    TCruisefile& file;
    ~TCloseAtEnd() { file.CloseCruiseFile(); }
};

} // namespace

std::vector<THeaderRow> PrintHeaderRows(const TCastInfoC& holder, const TParaList& list) {
    const TParaPtrArray columns = Resolve(list, holder.Probe);
    const THeaderSources sources = SourcesOf(holder);
    std::vector<THeaderRow> rows;
    for (TParameter* para : columns)
        if (para)
            rows.push_back({para->ParaText.ParaStr[4].Get(),
                            HeaderString(*para, HeaderKind, columns, sources)});
    return rows;
}

bool TCruisefile::TxtCICSave(const fs::path& cruiseFile, const fs::path& output) {
    if (!RefuseProtected(output, "Convert Cruise") || !OpenOrBeep(*this, cruiseFile))
        return false;
    return Guard({"Error in TCruisefile.TxtCICSave", "Convert Cruise"}, [&] {
        TCloseAtEnd close{*this};
        const TTextFileCfg& cfg = Config().HeaderTextCfg;
        const TParaPtrArray head = Resolve(cfg.HeadList, CastInfoc.Probe);
        const TParaPtrArray columns = Resolve(cfg.ParaList, CastInfoc.Probe);
        const THeaderSources sources = SourcesOf(CastInfoc);
        std::string text;
        Guard({"Error in TCruisefile.TxtCICSave.WriteCruise"},
              [&] { text += HeadLines(cfg, head, columns, HeaderKind, sources, ""); });
        const int last = LastIndex;
        for (int k = 1; k <= last; ++k) {
            // A table missing a cast would pass for the whole cruise.
            if (!ReadCastNb1(k))
                Raise(fmt::format(": cast {} cannot be read", k));
            Guard({"Error in TCruisefile.TxtCICSave.WriteLine"}, [&] {
                std::string line;
                bool first = true;
                for (TParameter* para : columns) {
                    if (!para)
                        continue;
                    if (!first)
                        line += SeparatorOf(cfg);
                    line += HeaderString(*para, HeaderKind, columns, SourcesOf(CastInfoc));
                    first = false;
                }
                text += line + "\r\n";
            });
        }
        SaveLines(output, text);
    });
}

bool TCruisefile::TxtBottleSave(const fs::path& cruiseFile, int castNb, const fs::path& output) {
    if (!RefuseProtected(output, "Bottle export") || !OpenOrBeep(*this, cruiseFile))
        return false;
    return Guard(
        {"Error in TParamCollection.TxtBottleSave", "Error exporting bottle table as text"}, [&] {
            TCloseAtEnd close{*this};
            // The cast is read before the head lines, so that they describe the cast of the table.
            if (!ReadCastNb1(castNb))
                Raise(fmt::format(": cast {} cannot be read", castNb));
            CastInfoc.Probe.BuildProbeInfo();
            const TTextFileCfg& cfg = Config().BottleTextCfg;
            const TParaPtrArray head = Resolve(cfg.HeadList, CastInfoc.Probe);
            const TParaPtrArray columns = Resolve(cfg.ParaList, CastInfoc.Probe);
            std::string text;
            if (!Guard({"Error in TParamCollection.TxtBottleSave.WriteHeader",
                        "Save Bottle text file"},
                       [&] {
                           text +=
                               HeadLines(cfg, head, columns, BottleKind, SourcesOf(CastInfoc), "");
                       }))
                Raise(": the head lines cannot be written");
            TBottleColumns values(CastInfoc.Probe, CastInfoc.Cast);
            for (int b = 0; b < CastInfoc.Bottles.Count(); ++b) {
                const TBottleInfo& bottle = CastInfoc.Bottles.Items(b);
                std::string line;
                bool first = true;
                for (TParameter* para : columns) {
                    if (!para)
                        continue;
                    if (!first)
                        line += SeparatorOf(cfg);
                    line += values.FileText(*para, bottle);
                    first = false;
                }
                text += line + "\r\n";
            }
            SaveLines(output, text);
        });
}

bool TCruisefile::TxtBottlePrint(const fs::path& cruiseFile, ITextPrinter& printer) {
    if (CastInfoc.Bottles.Count() == 0)
        return false;
    // The current cast is printed; the cruise header is refreshed from the file.
    if (!OpenOrBeep(*this, cruiseFile))
        return false;
    // The first failure ends the document: one box, and the print reports false.
    bool printed = false;
    const bool ran = Guard({"Error in TParamCollection.TxtBottlePrint", "Print Bottle"}, [&] {
        TCloseAtEnd close{*this};
        CastInfoc.Probe.BuildProbeInfo();
        const TTextFileCfg& cfg = Config().BottleTextCfg;
        const TParaPtrArray head = Resolve(cfg.HeadList, CastInfoc.Probe);
        const TParaPtrArray columns = Resolve(cfg.ParaList, CastInfoc.Probe);
        printer.BeginDoc(PrintBlue, PrintFontSize);
        bool lines = Guard({"Error [TxtBottlePrint.WriteHeader]", "Bottle Print"}, [&] {
            const std::string text =
                HeadLines(cfg, head, columns, HeaderKind, SourcesOf(CastInfoc), " : ");
            std::size_t from = 0;
            for (std::size_t to; (to = text.find("\r\n", from)) != std::string::npos; from = to + 2)
                printer.PrintLine(text.substr(from, to - from));
        });
        TBottleColumns values(CastInfoc.Probe, CastInfoc.Cast);
        for (int b = 0; lines && b < CastInfoc.Bottles.Count(); ++b) {
            lines = Guard({"Error TxtBottlePrint.WriteLine", "Bottle export"}, [&] {
                const TBottleInfo& bottle = CastInfoc.Bottles.Items(b);
                std::string line;
                for (TParameter* para : columns)
                    if (para)
                        line += values.PrintText(*para, bottle) + std::string(SeparatorOf(cfg));
                printer.PrintLine(line);
            });
        }
        if (!lines) {
            // Told already; the document is still ended, a second failure only logged.
            Guard({"Error in TParamCollection.TxtBottlePrint"}, [&] { printer.EndDoc(); });
            return;
        }
        printer.EndDoc();
        printed = true;
    });
    return ran && printed;
}

} // namespace marevo
