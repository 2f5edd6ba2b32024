#include "records/ConfigFields.h"

#include "parameters/ParaCatalogue.h"
#include "parameters/ParaNumbers.h"
#include "records/Config.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <iterator>
#include <type_traits>

namespace marevo {

namespace {

// The configuration window's shortest automatic export time-out [s].
constexpr double MinExportTimeoutSeconds = 10;

std::string Trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t");
    return std::string(text.substr(first, last - first + 1));
}

template <class T> bool Parse(std::string_view text, T& out) {
    const std::string t = Trim(text);
    if (t.empty())
        return false;
    const char* end = t.data() + t.size();
    const auto [ptr, ec] = std::from_chars(t.data(), end, out);
    return ec == std::errc() && ptr == end;
}

// Shortest text that reads back as the same number, "." as decimal separator.
std::string NumberText(long double v) {
    if (v == std::trunc(v) && std::fabs(v) < 1e15L)
        return fmt::format("{}", static_cast<long long>(v));
    return fmt::format("{}", static_cast<double>(v));
}

template <class Access> auto& Read(const Access& access, const TConfig& c) {
    // The accessors name a field of a configuration; reading does not change it.
    return access(const_cast<TConfig&>(c));
}

class TBuilder {
public:
    std::vector<TConfigField> fields;

    // A whole number in lo..hi (a byte, an enumeration stored as a byte, or an integer).
    template <class Access>
    void Int(std::string name, Access access, long long lo, long long hi, std::string meaning) {
        std::string kind = fmt::format("{}..{}", lo, hi);
        if (!meaning.empty())
            kind += ": " + meaning;
        fields.push_back({std::move(name), kind,
                          [access](const TConfig& c) {
                              return std::to_string(static_cast<long long>(Read(access, c)));
                          },
                          [access, lo, hi](TConfig& c, std::string_view text, std::string& why) {
                              long long v = 0;
                              if (!Parse(text, v) || v < lo || v > hi) {
                                  why = fmt::format("must be a whole number from {} to {}", lo, hi);
                                  return false;
                              }
                              auto& field = access(c);
                              field = static_cast<std::remove_reference_t<decltype(field)>>(v);
                              return true;
                          }});
    }

    // A number (single or double precision, or 10-byte extended).
    template <class Access> void Real(std::string name, Access access, std::string meaning) {
        fields.push_back({std::move(name), meaning.empty() ? "number" : "number: " + meaning,
                          [access](const TConfig& c) { return Show(Read(access, c)); },
                          [access](TConfig& c, std::string_view text, std::string& why) {
                              double v = 0;
                              if (!Parse(text, v) || !std::isfinite(v)) {
                                  why = "must be a number (with \".\" as decimal separator)";
                                  return false;
                              }
                              Put(access(c), v);
                              return true;
                          }});
    }

    // A duration or date-time in days; "Ns" gives N seconds.
    template <class Access>
    void Days(std::string name, Access access, std::string meaning, double minSeconds = -1) {
        fields.push_back(
            {std::move(name),
             "days (or seconds, written Ns)" + (meaning.empty() ? "" : ": " + meaning),
             [access](const TConfig& c) {
                 const double d = Read(access, c);
                 return fmt::format("{} ({} s)", NumberText(d), NumberText(d * SecondsPerDay));
             },
             [access, minSeconds](TConfig& c, std::string_view text, std::string& why) {
                 std::string t = Trim(text);
                 const bool seconds = !t.empty() && (t.back() == 's' || t.back() == 'S');
                 if (seconds)
                     t.pop_back();
                 double v = 0;
                 if (!Parse(t, v) || !std::isfinite(v)) {
                     why = "must be a number of days, or of seconds followed by s";
                     return false;
                 }
                 const double days = seconds ? v / SecondsPerDay : v;
                 if (minSeconds >= 0 && days * SecondsPerDay < minSeconds) {
                     why = fmt::format("Automatic data export timeout must be greater than {} "
                                       "seconds.",
                                       NumberText(minSeconds));
                     return false;
                 }
                 access(c) = days;
                 return true;
             }});
    }

    template <class Access> void Text(std::string name, Access access, std::size_t capacity) {
        fields.push_back({std::move(name), fmt::format("text of at most {} characters", capacity),
                          [access](const TConfig& c) { return Read(access, c).Get(); },
                          [access, capacity](TConfig& c, std::string_view text, std::string& why) {
                              if (Utf8ToCp1252(text).size() > capacity) {
                                  why = fmt::format("is longer than {} characters", capacity);
                                  return false;
                              }
                              access(c).Set(text);
                              return true;
                          }});
    }

    // Parameter numbers separated by commas, each one of the catalogue (or, with derived, a
    // derived column's number), at most max of them.
    template <class Access>
    void List(std::string name, Access access, int max, std::string meaning, bool derived = false) {
        fields.push_back(
            {std::move(name), fmt::format("parameter list of at most {}: {}", max, meaning),
             [access](const TConfig& c) {
                 const TParaList& l = Read(access, c);
                 std::string out;
                 for (int i = 0; i < std::clamp(l.count, 0, MaxParaListCount); ++i)
                     out += (i ? "," : "") + std::to_string(l.List[i]);
                 return out;
             },
             [access, max, derived](TConfig& c, std::string_view text, std::string& why) {
                 std::vector<std::int32_t> numbers;
                 std::size_t pos = 0;
                 const std::string t = Trim(text);
                 while (!t.empty() && pos <= t.size()) {
                     const std::size_t comma = std::min(t.find(',', pos), t.size());
                     std::int32_t n = 0;
                     const std::string_view part(t.data() + pos, comma - pos);
                     if (!Parse(part, n) ||
                         !(FindCatalogueEntry(n) || (derived && IsDerivedColumn(n)))) {
                         why = "\"" + Trim(part) + "\" is not a parameter number";
                         return false;
                     }
                     numbers.push_back(n);
                     pos = comma + 1;
                 }
                 if (static_cast<int>(numbers.size()) > max) {
                     why = fmt::format("holds at most {} parameters", max);
                     return false;
                 }
                 TParaList& l = access(c);
                 l.count = static_cast<std::int32_t>(numbers.size());
                 for (int i = 0; i < MaxParaListCount; ++i) {
                     l.List[i] = i < l.count ? numbers[static_cast<std::size_t>(i)] : 0;
                     l.Avail[i] = i < l.count ? 1 : 0;
                 }
                 return true;
             }});
    }

    // Each entry of an array field as NAME[i], i from first.
    template <class Add> void Each(const std::string& name, std::size_t n, int first, Add add) {
        for (std::size_t i = 0; i < n; ++i)
            add(fmt::format("{}[{}]", name, i + static_cast<std::size_t>(first)), i);
    }

private:
    // A single-precision field shows the shortest text of its own precision (0.005, not
    // 0.004999999888).
    static std::string Show(float v) { return fmt::format("{}", v); }
    static std::string Show(double v) { return NumberText(v); }
    static std::string Show(const TExtended& v) { return NumberText(v.ToLongDouble()); }
    static void Put(float& f, double v) { f = static_cast<float>(v); }
    static void Put(double& f, double v) { f = v; }
    static void Put(TExtended& f, double v) { f = TExtended::FromDouble(v); }
};

#define FIELD(expr)                                                                                \
    [](TConfig & c) -> auto& {                                                                     \
        return c.expr;                                                                             \
    }
#define ENTRY(expr)                                                                                \
    [i](TConfig & c) -> auto& {                                                                    \
        return c.expr[i];                                                                          \
    }

std::vector<TConfigField> MakeFields() {
    TBuilder b;
    // General settings.
    b.List("GenCfg.ParaPlotList", FIELD(GenCfg.ParaPlotList), 9,
           "entry 1 the vertical axis, then the horizontal scales");
    b.List("GenCfg.BottleParaList", FIELD(GenCfg.BottleParaList), MaxParaListCount,
           "columns of the bottles window");
    b.List("GenCfg.CurParaList", FIELD(GenCfg.CurParaList), MaxParaListCount,
           "parameters of the values window");
    b.Int("GenCfg.ValueMode", FIELD(GenCfg.ValueMode), 0, 1, "0 panel, 1 scrolling table");
    b.Int("GenCfg.CursorOn", FIELD(GenCfg.CursorOn), 0, 1, "");
    b.Int("GenCfg.FileType", FIELD(GenCfg.FileType), 0, 255, "type of the last opened file");
    b.Int("GenCfg.Direction", FIELD(GenCfg.Direction), 0, 3, "0 none, 1 down, 2 up, 3 both");
    b.Int("GenCfg.DrawBottles", FIELD(GenCfg.DrawBottles), 0, 1, "");
    b.Int("GenCfg.DrawSmooth", FIELD(GenCfg.DrawSmooth), 0, 1, "");
    b.Int("GenCfg.DrawAutoX", FIELD(GenCfg.DrawAutoX), 0, 1, "");
    b.Int("GenCfg.DrawAutoY", FIELD(GenCfg.DrawAutoY), 0, 1, "");
    b.Int("GenCfg.TimeUnit", FIELD(GenCfg.TimeUnit), 0, 3, "0 second, 1 minute, 2 hour, 3 day");
    b.Int("GenCfg.CondUnit", FIELD(GenCfg.CondUnit), 0, 2, "0 uS/cm, 1 mS/cm, 2 S/m");
    b.Int("GenCfg.PosFormat", FIELD(GenCfg.PosFormat), 0, 2, "0 degree, 1 minute, 2 second");
    b.Int("GenCfg.DupTempNb", FIELD(GenCfg.DupTempNb), 0, 3, "temperature sensor 1..3, 3 none");
    b.Int("GenCfg.DupCondNb", FIELD(GenCfg.DupCondNb), 0, 4,
          "conductivity sensor 1..3, 3 fresh water, 4 none");
    b.Int("GenCfg.DupOxyNb", FIELD(GenCfg.DupOxyNb), 0, 2, "oxygen sensor 1..2, 2 none");
    b.Text("GenCfg.CruiseName", FIELD(GenCfg.CruiseName), 40);
    b.Each("GenCfg.AlarmChecked", std::size(TGenConfig{}.AlarmChecked), 0,
           [&](std::string n, std::size_t i) {
               b.Int(n, ENTRY(GenCfg.AlarmChecked), 0, 1,
                     "altimeter, down, up, time, communication, vessel depth");
           });
    b.Each("GenCfg.AlarmLimit", std::size(TGenConfig{}.AlarmLimit), 0,
           [&](std::string n, std::size_t i) { b.Real(n, ENTRY(GenCfg.AlarmLimit), ""); });
    b.Int("GenCfg.CondPTEffect", FIELD(GenCfg.CondPTEffect), 0, 1, "");
    b.Int("GenCfg.PressureTEffect", FIELD(GenCfg.PressureTEffect), 0, 1, "");
    b.Int("GenCfg.CondLagEffect", FIELD(GenCfg.CondLagEffect), 0, 1,
          "conductivity lag compensation");
    b.Real("GenCfg.TimeLagCompensationOffset", FIELD(GenCfg.TimeLagCompensationOffset), "");
    b.Real("GenCfg.TimeLagCompensationSlope", FIELD(GenCfg.TimeLagCompensationSlope), "");
    b.Int("GenCfg.CondForcedFlow", FIELD(GenCfg.CondForcedFlow), 0, 1, "");
    b.Real("GenCfg.FlowRate", FIELD(GenCfg.FlowRate), "ml/s");
    b.Int("GenCfg.ManualLagCompensation", FIELD(GenCfg.ManualLagCompensation), 0, 1, "");
    b.Real("GenCfg.EdTimeLag", FIELD(GenCfg.EdTimeLag), "samples");
    b.Int("GenCfg.DupAltimNb", FIELD(GenCfg.DupAltimNb), 0, 2,
          "0 acoustic altimeter, 1 sea-bed contact, 2 none");
    b.Real("GenCfg.ThetaRefPress", FIELD(GenCfg.ThetaRefPress), "dbar");
    b.Int("GenCfg.firstFilterType", FIELD(GenCfg.firstFilterType), 0, 2,
          "0 none, 1 mean, 2 low pass");
    b.Int("GenCfg.firstFilterSamplesNumber", FIELD(GenCfg.firstFilterSamplesNumber), 0, 1000, "");
    b.Int("GenCfg.firstFilterCutoffPeriodFactor", FIELD(GenCfg.firstFilterCutoffPeriodFactor), 0,
          1000, "");
    b.Real("GenCfg.FreshWaterConversion", FIELD(GenCfg.FreshWaterConversion), "");
    b.Int("GenCfg.salt_freshWaterFlag", FIELD(GenCfg.salt_freshWaterFlag), 0, 1,
          "1 sea-water depth formula, 0 fresh-water factor");
    b.Real("GenCfg.TotDisSolCoeff", FIELD(GenCfg.TotDisSolCoeff), "");
    b.Int("GenCfg.TempPTEffect", FIELD(GenCfg.TempPTEffect), 0, 1, "");
    b.Real("GenCfg.ThermCompensation", FIELD(GenCfg.ThermCompensation), "per dbar");
    b.Int("GenCfg.CurrentCTDSpeedWeight", FIELD(GenCfg.CurrentCTDSpeedWeight), 1, 100, "%");
    b.Int("GenCfg.CurrentScanRateWeight", FIELD(GenCfg.CurrentScanRateWeight), 1, 100, "%");
    b.Int("GenCfg.PressureOffsetFilterType", FIELD(GenCfg.PressureOffsetFilterType), 0, 1,
          "0 none, 1 automatic");
    b.Real("GenCfg.PressureOffsetFilterConductivityThreshold",
           FIELD(GenCfg.PressureOffsetFilterConductivityThreshold), "mS/cm");

    // The three text exports.
    const auto text = [&](const std::string& r, auto access) {
        b.List(
            r + ".ParaList", [access](TConfig & c) -> auto& { return access(c).ParaList; },
            MaxParaListCount, "columns",
            // The data export also takes the derived (TEOS-10) columns.
            r == "DataTextCfg");
        b.List(
            r + ".HeadList", [access](TConfig & c) -> auto& { return access(c).HeadList; },
            MaxParaListCount, "header lines");
        b.Int(
            r + ".UseSmoothing", [access](TConfig & c) -> auto& { return access(c).UseSmoothing; },
            0, 1, "");
        b.Int(
            r + ".UseOutDir", [access](TConfig & c) -> auto& { return access(c).UseOutDir; }, 0, 1,
            "");
        b.Int(
            r + ".Separator", [access](TConfig & c) -> auto& { return access(c).Separator; }, 0, 2,
            "0 space, 1 tab, 2 comma");
        b.Int(
            r + ".PosFormat", [access](TConfig & c) -> auto& { return access(c).PosFormat; }, 0, 2,
            "0 degree, 1 minute, 2 second");
        b.Int(
            r + ".TimeUnit", [access](TConfig & c) -> auto& { return access(c).TimeUnit; }, 0, 7,
            "0 second, 1 minute, 2 hour, 3 day, 4 hhh:mm:ss, 5 hhh:mm:ss.ddd, 6 date/time, "
            "7 date/time.ddd");
        b.Int(
            r + ".CondUnit", [access](TConfig & c) -> auto& { return access(c).CondUnit; }, 0, 2,
            "0 uS/cm, 1 mS/cm, 2 S/m");
        b.Int(
            r + ".YMinus", [access](TConfig & c) -> auto& { return access(c).YMinus; }, 0, 1,
            "pressure or depth as negative numbers");
        b.Int(
            r + ".Direction", [access](TConfig & c) -> auto& { return access(c).Direction; }, 1, 3,
            "1 down, 2 up, 3 both");
        b.Int(
            r + ".AddPrompt", [access](TConfig & c) -> auto& { return access(c).AddPrompt; }, 0, 1,
            "header lines start with the parameter's prompt");
    };
    text("DataTextCfg", FIELD(DataTextCfg));
    text("HeaderTextCfg", FIELD(HeaderTextCfg));
    text("BottleTextCfg", FIELD(BottleTextCfg));

    // Binning and the start of a cast.
    b.Int("AcquiCfg.AcquiMode", FIELD(AcquiCfg.AcquiMode), 0, 2, "0 vertical, 1 time, 2 step");
    b.Real("AcquiCfg.VertAlghMethod", FIELD(AcquiCfg.VertAlghMethod),
           "0 always interpolate, 1 first available pressure");
    b.Real("AcquiCfg.VertLastValueMethod", FIELD(AcquiCfg.VertLastValueMethod),
           "0 according with step, 1 deepest value");
    b.Real("AcquiCfg.VertStep", FIELD(AcquiCfg.VertStep), "dbar or m");
    b.Int("AcquiCfg.VertMean", FIELD(AcquiCfg.VertMean), 0, 1, "0 interpolating, 1 averaging");
    b.Real("AcquiCfg.VertFirst", FIELD(AcquiCfg.VertFirst), "dbar or m");
    b.Real("AcquiCfg.VertMeanItv", FIELD(AcquiCfg.VertMeanItv), "dbar or m");
    b.Int("AcquiCfg.TimeMean", FIELD(AcquiCfg.TimeMean), 0, 1, "0 interpolating, 1 averaging");
    b.Int("AcquiCfg.VertUnit", FIELD(AcquiCfg.VertUnit), 0, 1, "0 dbar, 1 m");
    b.Int("AcquiCfg.TimeFile", FIELD(AcquiCfg.TimeFile), 0, 1, "");
    b.Days("AcquiCfg.TimeStep", FIELD(AcquiCfg.TimeStep), "time bin step");
    b.Days("AcquiCfg.TimeFirst", FIELD(AcquiCfg.TimeFirst), "first time bin");
    b.Days("AcquiCfg.TimeMeanItv", FIELD(AcquiCfg.TimeMeanItv), "averaging window");
    b.Int("AcquiCfg.AllMax", FIELD(AcquiCfg.AllMax), 1, 2147483647, "data sets at most");
    b.Int("AcquiCfg.AllStep", FIELD(AcquiCfg.AllStep), 1, 2147483647, "");
    b.Int("AcquiCfg.AllStart", FIELD(AcquiCfg.AllStart), 1, 2147483647, "");
    b.Int("AcquiCfg.AllMeanNb", FIELD(AcquiCfg.AllMeanNb), 1, 2147483647, "data sets averaged");
    b.Int("AcquiCfg.AutoStart", FIELD(AcquiCfg.AutoStart), 0, 2, "0 manual, 1 immersion, 2 time");
    b.Real("AcquiCfg.TrigPres", FIELD(AcquiCfg.TrigPres), "immersion start pressure, dbar");
    b.Real("AcquiCfg.TrigCond", FIELD(AcquiCfg.TrigCond), "immersion start conductivity");
    b.Days("AcquiCfg.TimeDelay", FIELD(AcquiCfg.TimeDelay), "");
    b.Days("AcquiCfg.TimeEnd", FIELD(AcquiCfg.TimeEnd), "end time");
    b.Days("AcquiCfg.TimeStart", FIELD(AcquiCfg.TimeStart), "start date-time");

    // Remote depth display.
    b.Int("RemoteSetting.RemoteMode", FIELD(RemoteSetting.RemoteMode), 0, 2, "0 vertical, 1 time");
    b.Real("RemoteSetting.PressureStep", FIELD(RemoteSetting.PressureStep), "dbar");
    b.Int("RemoteSetting.PressureSetNb", FIELD(RemoteSetting.PressureSetNb), 0, 2147483647, "");
    b.Real("RemoteSetting.PressureMax", FIELD(RemoteSetting.PressureMax), "dbar");
    b.Days("RemoteSetting.TimeStep", FIELD(RemoteSetting.TimeStep), "");
    b.Days("RemoteSetting.TimeStart", FIELD(RemoteSetting.TimeStart), "");
    b.Int("RemoteSetting.TimeSetNb", FIELD(RemoteSetting.TimeSetNb), 0, 2147483647, "");
    b.Int("RemoteSetting.TimeMaxStep", FIELD(RemoteSetting.TimeMaxStep), 0, 2147483647, "");
    b.Int("RemoteSetting.TimeSwitchOff", FIELD(RemoteSetting.TimeSwitchOff), 0, 1, "");

    // Rosette.
    b.Int("Rosette.RosetteType", FIELD(Rosette.RosetteType), 0, 6, "set from the probe");
    b.Each("Rosette.BottleList", std::size_t(MaxBottles), 1, [&](std::string n, std::size_t i) {
        b.Int(n, ENTRY(Rosette.BottleList), 0, 1, "position installed");
    });
    b.Days("Rosette.TimeOut", FIELD(Rosette.TimeOut), "firing time-out");
    b.Days("Rosette.FireDelay", FIELD(Rosette.FireDelay), "delay between firings");
    b.Each("Rosette.BottleCheckList", std::size_t(MaxBottles), 1,
           [&](std::string n, std::size_t i) {
               b.Int(n, ENTRY(Rosette.BottleCheckList), 0, 1, "fired automatically");
           });
    b.Each("Rosette.BottlePressList", std::size_t(MaxBottles), 1,
           [&](std::string n, std::size_t i) {
               b.Real(n, ENTRY(Rosette.BottlePressList), "firing pressure, dbar");
           });
    b.Int("Rosette.SamplingType", FIELD(Rosette.SamplingType), 0, 2147483647, "");
    b.Int("Rosette.OperatorAuth", FIELD(Rosette.OperatorAuth), 0, 1, "");
    b.Real("Rosette.WaitOnSampling", FIELD(Rosette.WaitOnSampling), "s at a firing level");
    b.Real("Rosette.StartPressure", FIELD(Rosette.StartPressure), "dbar, starts automatic firing");

    // Validation and the end-of-cast filters.
    b.Real("DataValidation.minTimeInterval", FIELD(DataValidation.minTimeInterval), "s");
    b.Real("DataValidation.maxTimeInterval", FIELD(DataValidation.maxTimeInterval), "s");
    b.Real("DataValidation.minPresInterval", FIELD(DataValidation.minPresInterval), "dbar");
    b.Real("DataValidation.maxPresInterval", FIELD(DataValidation.maxPresInterval), "dbar");
    b.Real("DataValidation.datasetCount", FIELD(DataValidation.datasetCount), "");
    b.Real("DataValidation.minPresBottomCheck", FIELD(DataValidation.minPresBottomCheck), "dbar");
    b.Real("DataValidation.minInterval2ValidateDirectionChange",
           FIELD(DataValidation.minInterval2ValidateDirectionChange), "dbar");
    b.Real("DataValidation.AltimeterMinPressure", FIELD(DataValidation.AltimeterMinPressure),
           "dbar");
    b.Int("DataValidation.ShowFlagged", FIELD(DataValidation.ShowFlagged), 0, 1, "");
    b.Int("DataValidation.TelemetryInstalled", FIELD(DataValidation.TelemetryInstalled), 0, 1, "");
    b.Int("DataValidation.WaveFilterEnable", FIELD(DataValidation.WaveFilterEnable), 0, 1, "");
    b.Real("DataValidation.WaveFilterThreshold", FIELD(DataValidation.WaveFilterThreshold), "");
    b.Int("DataValidation.WarmupFilterEnable", FIELD(DataValidation.WarmupFilterEnable), 0, 1, "");
    b.Real("DataValidation.WarmupFilterThreshold", FIELD(DataValidation.WarmupFilterThreshold), "");
    b.Real("DataValidation.WarmupFilterMinPressure", FIELD(DataValidation.WarmupFilterMinPressure),
           "dbar");
    b.Int("DataValidation.ValidateLimits", FIELD(DataValidation.ValidateLimits), 0, 1, "");

    // Automatic and manual text export.
    b.Int("ExtractionFoldersCfg.AutomaticTextDataExportMode",
          FIELD(ExtractionFoldersCfg.AutomaticTextDataExportMode), 0, 2,
          "0 disabled, 1 at the end of the cast, 2 periodically");
    b.Days("ExtractionFoldersCfg.AutomaticTextDataExportTimeout",
           FIELD(ExtractionFoldersCfg.AutomaticTextDataExportTimeout), "period of the export",
           MinExportTimeoutSeconds);
    b.Int("ExtractionFoldersCfg.AutomaticTextDataExportCastFileName",
          FIELD(ExtractionFoldersCfg.AutomaticTextDataExportCastFileName), 0, 1,
          "named after the cast");
    b.Text("ExtractionFoldersCfg.AutomaticTextDataExportFileName",
           FIELD(ExtractionFoldersCfg.AutomaticTextDataExportFileName), 255);
    b.Int("ExtractionFoldersCfg.AutomaticTextDataExportAppend",
          FIELD(ExtractionFoldersCfg.AutomaticTextDataExportAppend), 0, 1, "");
    b.Int("ExtractionFoldersCfg.ManualExtractionFolderEnabled",
          FIELD(ExtractionFoldersCfg.ManualExtractionFolderEnabled), 0, 1,
          "save all text files to the folder below");
    b.Text("ExtractionFoldersCfg.ManualExtractionFolderName",
           FIELD(ExtractionFoldersCfg.ManualExtractionFolderName), 255);
    return std::move(b.fields);
}

#undef FIELD
#undef ENTRY

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

} // namespace

const std::vector<TConfigField>& ConfigFields() {
    static const std::vector<TConfigField> fields = MakeFields();
    return fields;
}

const TConfigField* FindConfigField(std::string_view name) {
    for (const TConfigField& f : ConfigFields())
        if (SameName(f.name, name))
            return &f;
    return nullptr;
}

bool SetConfigFields(TConfig& config, const std::vector<std::string>& assignments,
                     std::vector<std::string>& refused) {
    refused.clear();
    TConfig trial;
    trial.Assign(config);
    for (const std::string& a : assignments) {
        const std::size_t eq = a.find('=');
        if (eq == std::string::npos) {
            refused.push_back("\"" + a + "\": write FIELD=VALUE");
            continue;
        }
        const std::string name = Trim(std::string_view(a).substr(0, eq));
        const TConfigField* field = FindConfigField(name);
        if (!field) {
            refused.push_back(name + ": no such setting");
            continue;
        }
        std::string why;
        if (!field->set(trial, std::string_view(a).substr(eq + 1), why))
            refused.push_back(field->name + ": " + why);
    }
    if (!refused.empty())
        return false;
    config.Assign(trial);
    return true;
}

} // namespace marevo
