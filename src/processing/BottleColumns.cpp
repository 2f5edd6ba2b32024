#include "processing/BottleColumns.h"

#include "foundation/DateTime.h"
#include "parameters/ParaNumbers.h"
#include "parameters/Parameter.h"
#include "parameters/Units.h"
#include "processing/ParaValueContext.h"
#include "processing/ParamCollection.h"
#include "records/Bottles.h"
#include "records/CastInfo.h"
#include "records/Config.h"
#include "records/GenConfig.h"
#include "records/Settings.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace marevo {

namespace {

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

} // namespace

std::string FixedText(long double value, int precision, int decimals) {
    const double v = static_cast<double>(value);
    if (!std::isfinite(v))
        return fmt::format("{}", v);
    decimals = std::clamp(decimals, 0, 18);
    if (std::fabs(v) >= std::pow(10.0, precision))
        return fmt::format("{:.{}E}", v, precision - 1);
    const double rounded = std::strtod(fmt::format("{:.{}e}", v, precision - 1).c_str(), nullptr);
    return fmt::format("{:.{}f}", rounded, decimals);
}

std::string FlaggedText(const TFlaggedValue& v, int precision, int decimals) {
    return FixedText(v.value, precision, decimals) + (v.flag != 0 ? "**" : "");
}

TBottleColumns::TBottleColumns(TParamCollection& probe, const TCastInfo& cast)
    : probe_(probe), cast_(cast), ctx_(ValueContextOf(probe, GenCfg(), Config().DataValidation,
                                                      cast.latitude[0].ToLongDouble())) {}

std::string TBottleColumns::FileText(TParameter& para, const TBottleInfo& bottle) {
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
        return FlaggedText(para.CalcValue(bottle.RawValue, ctx), 8, decimals[unit]);
    }
    default: return FlaggedText(para.CalcValue(bottle.RawValue, ctx_), 8, 4);
    }
}

std::string TBottleColumns::PrintText(TParameter& para, const TBottleInfo& bottle) {
    switch (para.GetParaNb()) {
    case BottleNumberPara: return std::to_string(bottle.BottleNb);
    case BottleStatusPara: return std::string(BottleStatusName(bottle.BtlStatus));
    default: return FlaggedText(para.CalcValue(bottle.RawValue, ctx_), 6, 2);
    }
}

std::string TBottleColumns::ScreenText(TParameter& para, const TBottleInfo& bottle) {
    switch (para.GetParaNb()) {
    case BottleNumberPara: return std::to_string(bottle.BottleNb);
    case BottleStatusPara: return std::string(BottleStatusName(bottle.BtlStatus));
    default: break;
    }
    switch (para.ParaType()) {
    case Pt_Raw:
    case Pt_Calc:
    case Pt_CWC:
    case Pt_Nmea:
    case Pt_Ext:
        return FixedText(para.CalcValue(bottle.RawValue, ctx_).value, 6,
                         para.ParaText.Decimal[txt_Screen]);
    default: return {};
    }
}

// The probe's time counter at the firing moment, in seconds, in the data export's time unit u;
// divisor: the bottle table's unit in seconds.
std::string TBottleColumns::TimeText(const TBottleInfo& bottle, std::uint8_t u, double divisor) {
    TParameter* counter = probe_.FindPara(TimeCounterPara);
    if (!counter)
        return {};
    TValueContext ctx = ctx_;
    ctx.Formula.TimeUnit = Time_Second;
    const TFlaggedValue value = counter->CalcValue(bottle.RawValue, ctx);
    const double t = value.value;
    const std::string mark = value.flag != 0 ? "**" : "";
    const TDateTime start = cast_.CastTime[0];
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

} // namespace marevo
