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

// Fixed-point with `decimals` decimals after rounding to `precision` significant digits; in
// scientific notation when the whole part needs more than `precision` digits.
std::string FixedText(long double value, int precision, int decimals) {
    const double v = static_cast<double>(value);
    if (!std::isfinite(v))
        return fmt::format("{}", v);
    if (std::fabs(v) >= std::pow(10.0, precision))
        return fmt::format("{:.{}E}", v, precision - 1);
    const double rounded = std::strtod(fmt::format("{:.{}e}", v, precision - 1).c_str(), nullptr);
    return fmt::format("{:.{}f}", rounded, decimals);
}

// A flagged value keeps its place in the table and is marked, as in the data export.
std::string ValueText(const TFlaggedValue& v, int precision, int decimals) {
    return FixedText(v.value, precision, decimals) + (v.flag != 0 ? "**" : "");
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

// hhh:mm:ss, with ".ddd" when withMs, of t seconds rounded to the millisecond.
std::string ClockText(double t, bool withMs) {
    const long long ms = std::llround(std::fabs(t) * 1000.0);
    const long long s = ms / 1000;
    std::string text = fmt::format("{}{:03d}:{:02d}:{:02d}", t < 0 && ms != 0 ? "-" : "", s / 3600,
                                   s / 60 % 60, s % 60);
    if (withMs)
        text += fmt::format(".{:03d}", ms % 1000);
    return text;
}

// Writes lines (UTF-8) as the system's text files are written: single-byte, CR LF.
void SaveLines(const fs::path& output, const std::string& text) {
    const std::string bytes = Utf8ToCp1252(text);
    WriteFileAtomically(output, [&](TStream& out) {
        TRecordWriter(out, "write error - ")
            .PutBytes(bytes.data(), bytes.size(), output.filename().string());
    });
}

// One bottle column: the bottle's number or status, or the parameter computed from the bottle's
// stored channel values.
class TBottleColumns {
public:
    explicit TBottleColumns(TCastInfoC& holder)
        : holder_(holder), ctx_(ValueContextOf(holder.Probe, GenCfg(), Config().DataValidation,
                                               holder.Cast.latitude[0].ToLongDouble())) {}

    std::string FileText(TParameter& para, const TBottleInfo& bottle) {
        const TConfig& cfg = Config();
        switch (para.GetParaNb()) {
        case BottleNumberPara: return std::to_string(bottle.BottleNb);
        case BottleStatusPara: return std::string(BottleStatusName(bottle.BtlStatus));
        case TimePara:
            return TimeText(bottle, cfg.DataTextCfg.TimeUnit,
                            static_cast<double>(TimeDivisor(cfg.BottleTextCfg.TimeUnit)));
        case ConductivityPara:
        case Cond20Para:
        case Cond25Para: {
            // The table's own conductivity unit, for this computation only.
            TValueContext ctx = ctx_;
            ctx.Formula.CondUnit = cfg.BottleTextCfg.CondUnit;
            constexpr int decimals[] = {2, 4, 5};
            const int unit = std::min<int>(cfg.BottleTextCfg.CondUnit, 2);
            return ValueText(para.CalcValue(bottle.RawValue, ctx), 8, decimals[unit]);
        }
        default: return ValueText(para.CalcValue(bottle.RawValue, ctx_), 8, 4);
        }
    }

    std::string PrintText(TParameter& para, const TBottleInfo& bottle) {
        switch (para.GetParaNb()) {
        case BottleNumberPara: return std::to_string(bottle.BottleNb);
        case BottleStatusPara: return std::string(BottleStatusName(bottle.BtlStatus));
        default: return ValueText(para.CalcValue(bottle.RawValue, ctx_), 6, 2);
        }
    }

private:
    // The probe's time counter at the firing moment, in seconds, in the data export's time unit
    // u; divisor: the bottle table's unit in seconds.
    std::string TimeText(const TBottleInfo& bottle, std::uint8_t u, double divisor) {
        TParameter* counter = holder_.Probe.FindPara(TimeCounterPara);
        if (!counter)
            return {};
        TValueContext ctx = ctx_;
        ctx.Formula.TimeUnit = Time_Second;
        const TFlaggedValue value = counter->CalcValue(bottle.RawValue, ctx);
        const double t = value.value;
        const std::string mark = value.flag != 0 ? "**" : "";
        const TDateTime start = holder_.Cast.CastTime[0];
        switch (u) {
        case Time_Second:
        case Time_Minute:
        case Time_hour:
        case Time_Day: {
            constexpr int decimals[] = {3, 4, 5, 6};
            return FixedText(t / divisor, 8, decimals[u]) + mark;
        }
        case Time_hhhmmss: return ClockText(t, false) + mark;
        case Time_hmsd: return ClockText(t, true) + mark;
        case Time_DateTime:
            if (!IsKnownValue(start))
                return mark; // a cast whose start is unknown
            return FormatDateTime("dd/MM/yyyy HH:mm:ss", start + SecondsToDays(t)) + mark;
        default:
            if (!IsKnownValue(start))
                return mark;
            return FormatDateTime("dd/MM/yyyy HH:mm:ss.zzz", start + SecondsToDays(t)) + mark;
        }
    }

    TCastInfoC& holder_;
    TValueContext ctx_;
};

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
            TBottleColumns values(CastInfoc);
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
        TBottleColumns values(CastInfoc);
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
