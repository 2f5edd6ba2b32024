// The text export of a cast and its read-back.

#include "parameters/ParaNumbers.h"
#include "processing/CastFiles.h"

#include "foundation/DateTime.h"
#include "foundation/EventLog.h"
#include "foundation/FileNames.h"
#include "foundation/Guard.h"
#include "foundation/Runtime.h"
#include "foundation/ShortString.h"
#include "foundation/Stream.h"
#include "foundation/Words.h"
#include "parameters/Units.h"
#include "processing/Collections.h"
#include "processing/DerivedColumns.h"
#include "processing/FormulaSettings.h"
#include "processing/HeaderText.h"
#include "processing/ParaValueContext.h"
#include "processing/ParamCollection.h"
#include "records/CastInfo.h"
#include "records/Config.h"
#include "records/Environ.h"
#include "records/GenConfig.h"
#include "records/Settings.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <functional>
#include <memory>
#include <optional>
#include <system_error>
#include <vector>

namespace marevo {

namespace fs = std::filesystem;

namespace {

// HeaderString's kind of the data export.
constexpr int DataExport = 0;

constexpr std::string_view LineEnd = "\r\n";
constexpr std::string_view FlagMark = "**";

std::string_view SeparatorOf(std::uint8_t separator) {
    switch (separator) {
    case sep_tab: return "\t";
    case sep_comma: return ",";
    default: return " ";
    }
}

std::string Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

// "hhh:mm:ss" of a whole number of seconds; the hours keep their last three digits.
std::string ClockText(long long seconds) {
    const std::string sign = seconds < 0 ? "-" : "";
    seconds = std::llabs(seconds);
    return sign + RightChars("000" + std::to_string(seconds / 3600), 3) + ":" +
           RightChars("00" + std::to_string(seconds % 3600 / 60), 2) + ":" +
           RightChars("00" + std::to_string(seconds % 60), 2);
}

// "dd/MM/yyyy HH:mm:ss", the time left out at midnight exactly.
std::string DateTimeText(TDateTime t) {
    if (!IsKnownValue(t))
        return {}; // a cast whose start is unknown
    const std::string date = FormatDateTime("dd/MM/yyyy", t);
    return TimeOf(t) == 0 ? date : date + " " + FormatDateTime("HH:mm:ss", t);
}

int ListCount(const TParaList& list) {
    return std::clamp(list.count, 0, MaxParaListCount);
}

// Seconds as read back, into the time parameter's unit (general settings).
long double TimeFromSeconds(const TGenConfig& gen, long double seconds) {
    return seconds / TimeDivisor(gen.TimeUnit);
}

bool ParseDigits(std::string_view text, long long& value) {
    if (text.empty())
        return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() && value >= 0;
}

// "h:mm:ss" or "h:mm:ss.ddd" (any number of hour digits) as seconds.
std::optional<long double> ClockSeconds(std::string_view field) {
    bool negative = false;
    if (!field.empty() && field.front() == '-') {
        negative = true;
        field.remove_prefix(1);
    }
    const auto c1 = field.find(':');
    const auto c2 = c1 == std::string_view::npos ? c1 : field.find(':', c1 + 1);
    if (c2 == std::string_view::npos || field.find(':', c2 + 1) != std::string_view::npos)
        return std::nullopt;
    std::string_view secondsText = field.substr(c2 + 1);
    long long ms = 0;
    if (const auto dot = secondsText.find('.'); dot != std::string_view::npos) {
        const std::string_view fraction = secondsText.substr(dot + 1);
        if (fraction.empty() || fraction.size() > 3 || !ParseDigits(fraction, ms))
            return std::nullopt;
        for (std::size_t k = fraction.size(); k < 3; ++k)
            ms *= 10;
        secondsText = secondsText.substr(0, dot);
    }
    long long h = 0, m = 0, s = 0;
    if (!ParseDigits(field.substr(0, c1), h) ||
        !ParseDigits(field.substr(c1 + 1, c2 - c1 - 1), m) || !ParseDigits(secondsText, s) ||
        m > 59 || s > 59 || secondsText.size() > 2)
        return std::nullopt;
    const long double total = h * 3600.0L + m * 60.0L + s + ms / 1000.0L;
    return negative ? -total : total;
}

} // namespace

TExportColumn ResolveExportColumn(const TParamCollection& col, std::int32_t number) {
    TExportColumn c;
    if (IsDerivedColumn(number)) {
        c.holder = ComputeDerivedColumn(col, number);
        c.para = c.holder.get();
        c.own = c.derived = c.para != nullptr;
        return c;
    }
    if (TParameter* p = col.FindPara(number)) {
        c.para = p;
        c.own = true;
        return c;
    }
    c.para = col.Probe().FindPara(number);
    return c;
}

bool IsExportConductivity(std::int32_t number) {
    return number == ConductivityPara || number == Cond20Para || number == Cond25Para;
}

TExportColumns::TExportColumns(const TParamCollection& col, const TTextFileCfg& cfg,
                               const TValueContext& general)
    : general_(general) {
    const int count = ListCount(cfg.ParaList);
    for (int i = 0; i < count; ++i) {
        TColumn c;
        static_cast<TExportColumn&>(c) = ResolveExportColumn(col, cfg.ParaList.List[i]);
        if (!c.para && problem.empty())
            problem = "Parameter not found: " + std::string(" - ") +
                      std::to_string(cfg.ParaList.List[i]);
        columns.push_back(std::move(c));
    }
    if (columns.empty())
        problem = "Parameter list empty";
    if (!problem.empty())
        return;
    // The conductivity columns are computed in the export's unit with a context of their own.
    TValueContext exported = general;
    exported.Formula.CondUnit = cfg.CondUnit;
    changedUnit_ = true;
    ComputeConductivities(exported);
    for (TColumn& c : columns) {
        if (!c.own || c.derived)
            continue;
        c.para->CalcUpdated(IsExportConductivity(c.para->GetParaNb()) ? exported : general);
        if (cfg.UseSmoothing && c.para->ParaSmooth.SmoothType != Smo_None &&
            c.para->SmoothBuffer) {
            c.para->Smooth(general);
            c.smoothed = true;
        }
    }
}

TExportColumns::~TExportColumns() {
    if (!changedUnit_)
        return;
    try {
        ComputeConductivities(general_);
    } catch (...) {
        ReportFailure({"Error in TExportColumns"}, CurrentFailureMessage());
    }
}

void TExportColumns::ComputeConductivities(const TValueContext& ctx) {
    for (const TColumn& c : columns)
        if (c.own && !c.derived && IsExportConductivity(c.para->GetParaNb()) &&
            c.para->SortedBuffer) {
            c.para->SortedBuffer->Clear();
            c.para->CalcUpdated(ctx);
        }
}

// ---- Pure pieces --------------------------------------------------------------------------------

std::string ExportNumberText(long double value, int decimals) {
    const double v = static_cast<double>(value);
    decimals = std::clamp(decimals, 0, 18);
    if (!std::isfinite(v))
        return fmt::format("{}", v);
    if (std::fabs(v) >= 1e8)
        return fmt::format("{:.7E}", v);
    // Rounded to 8 significant digits first; fmt and from_chars ignore the locale.
    const std::string significant = fmt::format("{:.7e}", v);
    double rounded = v;
    std::from_chars(significant.data(), significant.data() + significant.size(), rounded);
    std::string text = fmt::format("{:.{}f}", rounded, decimals);
    if (text.front() == '-' && text.find_first_not_of("-0.") == std::string::npos)
        text.erase(0, 1); // no "-0.000"
    return text;
}

std::string ExportTimeText(long double seconds, std::uint8_t timeUnit, TDateTime castStart) {
    const double s = static_cast<double>(seconds);
    switch (timeUnit) {
    case Time_hhhmmss:
        // Halves go to the even second.
        return ClockText(static_cast<long long>(std::nearbyint(s)));
    case Time_hmsd: {
        const long long ms = std::llround(std::fabs(s) * 1000.0);
        return (s < 0 && ms != 0 ? "-" : "") + ClockText(ms / 1000) +
               fmt::format(".{:03d}", ms % 1000);
    }
    case Time_DateTime: return DateTimeText(castStart + SecondsToDays(s));
    case Time_DateTime_Hmsd: {
        double whole = 0;
        const double fraction = std::modf(std::fabs(s), &whole);
        return DateTimeText(castStart + SecondsToDays(s)) + "." +
               RightChars("000" + std::to_string(std::llround(fraction * 1000)), 3);
    }
    default: {
        constexpr int decimals[] = {3, 4, 5, 6};
        const std::uint8_t u = timeUnit <= Time_Day ? timeUnit : std::uint8_t{Time_Second};
        return ExportNumberText(seconds / TimeDivisor(u), decimals[u]);
    }
    }
}

std::optional<TFlaggedValue> ReadExportField(std::string_view field) {
    if (field.empty())
        return InvalidFV;
    if (field.find(':') != std::string_view::npos) {
        const auto seconds = ClockSeconds(field);
        if (!seconds)
            return std::nullopt;
        return TFlaggedValue{static_cast<float>(*seconds), 0};
    }
    double value = 0;
    const auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), value);
    if (ec != std::errc())
        return InvalidFV;
    const bool whole = end == field.data() + field.size();
    return TFlaggedValue{static_cast<float>(value), static_cast<std::uint8_t>(whole ? 0 : 1)};
}

bool IsExportDataLine(std::string_view line) {
    return line.size() >= 5 && line.find_first_not_of(" -.0123456789:Ee") == std::string_view::npos;
}

// ---- Text export --------------------------------------------------------------------------------

TParaStatus TParamCollection::SaveAsTxt() {
    TParamCollection& cast = *this;
    if (cast.Loaded.TypeLoaded == FileTypeNone)
        return ParaFailed;
    return GuardOr({"Error in TParamCollection.SaveAsTxt", "Text file write"}, ParaFailed, [&] {
        const TConfig& config = Cfg();
        // Without a data folder the cruise's folders would be taken from the working folder.
        const fs::path root = Env().DataRootPath();
        if (root.empty())
            Raise("no data folder");
        const fs::path txtDir = config.TxtDir(root);
        if (!txtDir.empty())
            fs::create_directories(txtDir);
        fs::path name = cast.Loaded.FileLoaded.filename();
        name.replace_extension(".txt");
        const TExtractionTextFoldersCfg& folders = config.ExtractionFoldersCfg;
        const std::string manual = folders.ManualExtractionFolderName.Get();
        const fs::path folder =
            folders.ManualExtractionFolderEnabled && !manual.empty() ? fs::path(manual) : txtDir;
        if (folder.empty())
            Raise("no text folder");
        fs::create_directories(folder);
        std::int32_t startidx = 0;
        // TxtSave reports its own failure.
        cast.TxtSave(folder / name, false, false, startidx);
        return ParaOk;
    });
}

bool TParamCollection::TxtSave(const fs::path& StreamName, bool append, bool onTimeout,
                               std::int32_t& startidx) {
    return GuardOr({"Error in TParamCollection.TxtSave"}, false, [&] {
        const TConfig& config = Cfg();
        const TTextFileCfg& cfg = config.DataTextCfg;
        const TGenConfig& gen = Gen();
        const long double latitude =
            Loaded.CastHeader ? Loaded.CastHeader->latitude[0].ToLongDouble() : 0;
        const TValueContext general = ValueContextOf(*this, gen, config.DataValidation, latitude);
        const TExportColumns prepared(*this, cfg, general);
        const std::vector<TExportColumns::TColumn>& columns = prepared.columns;
        if (!prepared.problem.empty()) {
            ReportFailure({"Error in TParamCollection.TxtSave"}, prepared.problem);
            Operator().Message("Cannot export parameters!\r\n" + prepared.problem, "Warning",
                               TMessageKind::Warning);
            return false;
        }

        // The rows.
        const std::int32_t maxDown = Bin.SortInfo.MaxDownIndex, maxIndex = Bin.SortInfo.MaxIndex;
        const bool periodic = append && onTimeout;
        // A periodic export made before the first row is binned writes nothing yet: its header
        // and first row come with the first call that has rows.
        if (periodic && maxIndex < 0)
            return true;
        std::int32_t first = 0, last = 0;
        switch (cfg.Direction) {
        case Direction_Down:
            if (maxDown > 0)
                last = maxDown;
            break;
        case Direction_Up:
            if (maxDown > 0)
                first = maxDown;
            if (maxIndex > 0)
                last = maxIndex;
            break;
        case Direction_Both:
            if (maxIndex > 0)
                last = maxIndex;
            break;
        default: break;
        }
        // Without binned rows there is no row 0 to write.
        if (maxIndex < 0)
            last = -1;
        if (periodic)
            first = startidx;

        std::unique_ptr<TFileStream> out;
        if (append && fs::exists(StreamName)) {
            out = std::make_unique<TFileStream>(StreamName, TFileMode::OpenReadWrite);
            out->Seek(out->Size());
        } else {
            out = std::make_unique<TFileStream>(StreamName, TFileMode::Create);
        }
        const auto put = [&](const std::string& utf8, std::string_view what) {
            const std::string bytes = Utf8ToCp1252(utf8);
            TRecordWriter(*out, "write error - ").PutBytes(bytes.data(), bytes.size(), what);
        };

        THeaderSources sources;
        sources.Cruise = Loaded.CruiseHeader;
        sources.Cast = Loaded.CastHeader;
        sources.Config = &config;
        sources.ProbeSN = ProbeInfo.UnitSN.Get();
        sources.Formula = FormulaSettingsOf(gen, latitude);
        std::vector<TParameter*> columnParas;
        for (const TExportColumns::TColumn& c : columns)
            columnParas.push_back(c.para);

        if (!(periodic && startidx >= 1)) {
            const bool written = Guard({"Error in TParamCollection.TxtSave.WriteHeader"}, [&] {
                for (int i = 0; i < ListCount(cfg.HeadList); ++i) {
                    const TExportColumn head = ResolveExportColumn(*this, cfg.HeadList.List[i]);
                    TParameter* p = head.para;
                    if (!p)
                        continue;
                    std::string line = cfg.AddPrompt ? p->HeaderPrompt() : std::string();
                    line += HeaderString(*p, DataExport, columnParas, sources);
                    put(line + std::string(LineEnd), "header");
                }
            });
            if (!written) {
                StatusMessage("Error in TParamCollection.TxtSave: WriteLine");
                return false;
            }
        }

        const std::string_view separator = SeparatorOf(cfg.Separator);
        const TDateTime castStart = Loaded.CastHeader ? Loaded.CastHeader->CastTime[0] : 0;
        const long double timeFactor = TimeDivisor(gen.TimeUnit);
        const bool showFlagged = (config.DataValidation.ShowFlagged != 0) != ShowDataErrorButton();
        for (std::int32_t r = first; r <= last; ++r) {
            const bool written = Guard({"Error in TParamCollection.TxtSave.WritedataLine"}, [&] {
                std::string line;
                bool flaggedRow = false;
                for (std::size_t i = 0; i < columns.size(); ++i) {
                    if (i > 0)
                        line += separator;
                    const TExportColumns::TColumn& c = columns[i];
                    const TParameter& p = *c.para;
                    if (p.ParaType() == Pt_header) {
                        line += HeaderString(p, DataExport, columnParas, sources);
                        continue;
                    }
                    const TLinearArray* sorted = c.own ? p.SortedBuffer.get() : nullptr;
                    TFlaggedValue v = SeriesRow(sorted, r);
                    bool flagged = v.flag != 0;
                    if (c.smoothed) {
                        const TFlaggedValue smooth = SeriesRow(p.SmoothBuffer.get(), r);
                        flagged = flagged || smooth.flag != 0;
                        v = smooth;
                    }
                    const int decimals = p.ParaText.Decimal[txt_File];
                    switch (p.GetParaNb()) {
                    case PressurePara:
                    case DepthPara:
                        line += ExportNumberText(cfg.YMinus ? -v.value : v.value, decimals);
                        break;
                    case TimePara:
                        line += ExportTimeText(v.value * timeFactor, cfg.TimeUnit, castStart);
                        break;
                    case LatitudePara:
                    case LongitudePara:
                        line += Trimmed(PositionText(v.value, cfg.PosFormat));
                        break;
                    default: line += ExportNumberText(v.value, decimals); break;
                    }
                    // A column the cast does not hold at all is marked invalid, but does not
                    // hide the rows: they hold nothing flagged of the cast's own data.
                    if (flagged) {
                        line += FlagMark;
                        flaggedRow = flaggedRow || c.own;
                    }
                }
                if (!flaggedRow || showFlagged)
                    put(line + std::string(LineEnd), fmt::format("row {}", r));
            });
            if (!written) {
                WriteLog("Error in TParamCollection.TxtSave: WriteLine");
                return false;
            }
        }
        out.reset();
        startidx = last + 1;
        return true;
    });
}

// ---- Read-back ----------------------------------------------------------------------------------

bool TParamCollection::TxtRead(const fs::path& StreamName) {
    ResetBuffers();
    Loaded.TypeLoaded = FileTypeNone;
    Bin.SortInfo.MaxIndex = -1;
    Bin.SortInfo.MaxDownIndex = -1;

    std::string bytes;
    const TTextFileCfg* cfg = nullptr;
    if (!Guard({"Error in TParamCollection.TxtRead", "Txt file read"}, [&] {
            cfg = &Cfg().DataTextCfg;
            TFileStream in(StreamName, TFileMode::OpenRead);
            bytes.resize(static_cast<std::size_t>(in.Size()));
            TRecordReader(in, "TProbeCollection.TxtRead: read error - ")
                .GetBytes(bytes.data(), bytes.size(), StreamName.filename().string());
        }))
        return false;

    // Whole lines only: the text after the last LF is not a line yet.
    std::size_t at = 0;
    const auto nextLine = [&](std::string& line) {
        const auto lf = bytes.find('\n', at);
        if (lf == std::string::npos)
            return false;
        line.clear();
        for (std::size_t k = at; k < lf; ++k)
            if (bytes[k] != '\r')
                line += bytes[k];
        at = lf + 1;
        return true;
    };

    std::string line;
    if (!Guard({"Error in TParamCollection.TxtRead.ReadHeader", "Txt file read hedaer"}, [&] {
            for (int i = 0; i < ListCount(cfg->HeadList); ++i)
                if (!nextLine(line))
                    Raise("TProbeCollection.TxtRead.ReadHeader: End of file detected");
        }))
        return false;

    // The series of each column in this collection; null for a column it does not hold.
    std::vector<TParameter*> columns;
    for (int i = 0; i < ListCount(cfg->ParaList); ++i) {
        TParameter* p = FindPara(cfg->ParaList.List[i]);
        if (p && !p->SortedBuffer)
            p->SortedBuffer = std::make_unique<TLinearArray>();
        columns.push_back(p);
    }
    const bool ok =
        Guard({"Error in TParamCollection.TxtRead.DecodeLine", "Txt file read data"}, [&] {
            while (nextLine(line)) {
                if (!IsExportDataLine(line))
                    continue;
                ++Bin.SortInfo.MaxDownIndex;
                Bin.SortInfo.MaxIndex = Bin.SortInfo.MaxDownIndex; // a text file is all down-cast
                for (std::size_t i = 0; i < columns.size(); ++i) {
                    const std::string word = ExtractWord(line, static_cast<int>(i) + 1);
                    auto v = ReadExportField(word);
                    if (!v)
                        Raise(fmt::format("line {}: \"{}\" is no time", Bin.SortInfo.MaxIndex + 1,
                                          word));
                    TParameter* p = columns[i];
                    if (!p)
                        continue;
                    // Back into the units the series hold: the export may write the vertical axis
                    // negated and the time in a unit of its own.
                    const std::int32_t n = p->GetParaNb();
                    if (!word.empty()) {
                        if ((n == PressurePara || n == DepthPara) && cfg->YMinus)
                            v->value = -v->value;
                        if (n == TimePara) {
                            const bool clock = word.find(':') != std::string::npos;
                            const long double unit =
                                clock || cfg->TimeUnit > Time_Day ? 1 : TimeDivisor(cfg->TimeUnit);
                            v->value = static_cast<float>(TimeFromSeconds(Gen(), v->value * unit));
                        }
                    }
                    p->SortedBuffer->AddFV(*v);
                }
            }
            Loaded.TypeLoaded = FileTypeText;
            Loaded.FileLoaded = StreamName;
        });
    return ok;
}

} // namespace marevo
