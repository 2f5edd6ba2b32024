#include "processing/HeaderText.h"

#include "foundation/DateTime.h"
#include "foundation/Guard.h"
#include "parameters/ParaNumbers.h"
#include "parameters/Parameter.h"
#include "records/CastInfo.h"
#include "records/Config.h"
#include "records/Environ.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string_view>

namespace marevo {

namespace {

constexpr std::string_view DegreeSign = "°";
constexpr std::string_view LineBreak = "\r\n";

// Positions beyond this are no positions; the minute and second forms count in whole units.
constexpr long double MaxPositionDegrees = 1e6L;

std::string LastChars(const std::string& text, std::size_t n) {
    return text.size() <= n ? text : text.substr(text.size() - n);
}

// Whole degrees right-aligned in 4 characters; the sign belongs to the whole position, so a
// position just below zero shows "-0".
std::string DegreeField(bool negative, long long degrees) {
    return fmt::format("{:>4}", fmt::format("{}{}", negative ? "-" : "", degrees));
}

std::string TrimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

// 8 significant digits, written with `decimals` decimals.
std::string Fixed(long double value, int decimals) {
    const double v = static_cast<double>(value);
    decimals = std::clamp(decimals, 0, 20);
    if (!std::isfinite(v))
        return fmt::format("{}", v);
    const double rounded = std::strtod(fmt::format("{:.7e}", v).c_str(), nullptr);
    return fmt::format("{:.{}f}", rounded, decimals);
}

// An unknown time (not a number) is an empty field, as an unknown position is.
std::string DateText(TDateTime t) {
    return IsKnownValue(t) ? FormatDateTime("dd/MM/yyyy", t) : std::string();
}

std::string DateTimeText(TDateTime t) {
    if (!IsKnownValue(t) || TimeOf(t) == 0)
        return DateText(t);
    return DateText(t) + " " + FormatDateTime("HH:mm:ss", t);
}

std::string_view TimeUnitName(std::uint8_t unit) {
    constexpr std::string_view names[] = {"s", "mn", "h", "day"};
    return unit < 4 ? names[unit] : std::string_view();
}

std::string_view CondUnitName(std::uint8_t unit) {
    constexpr std::string_view names[] = {"uS/cm", "mS/cm", "S/m"};
    return unit < 3 ? names[unit] : std::string_view();
}

std::string_view SeparatorText(TTextSeparator separator) {
    switch (separator) {
    case sep_tab: return "\t";
    case sep_comma: return ",";
    default: return " ";
    }
}

const TCastInfo& Need(const TCastInfo* header, std::string_view what) {
    if (!header)
        Raise(fmt::format("no {} header", what));
    return *header;
}

TFlaggedValue DepthOf(const TFlaggedValue& pressure, const TCastInfo& cast,
                      const THeaderSources& sources) {
    TFormulaSettings settings = sources.Formula;
    const long double latitude = cast.latitude[0].ToLongDouble();
    settings.Latitude = IsKnownValue(latitude) ? latitude : NominalLatitude;
    return ComputeDerived(403, &pressure, nullptr, settings);
}

std::string Untrimmed(const TParameter& para, const TTextFileCfg& cfg,
                      std::span<TParameter* const> list, const THeaderSources& src) {
    const int decimals = para.ParaText.Decimal[txt_File];
    const auto cruise = [&]() -> const TCastInfo& { return Need(src.Cruise, "cruise"); };
    const auto cast = [&]() -> const TCastInfo& { return Need(src.Cast, "cast"); };
    const auto position = [&](const TExtended& x) {
        return PositionText(x.ToLongDouble(), cfg.PosFormat);
    };
    switch (para.GetParaNb()) {
    case 900: return cruise().InfoStr[1].Get();
    case 902: return cruise().InfoStr[2].Get();
    case 904: return cruise().InfoStr[0].Get();
    case 906: return cruise().InfoStr[4].Get();
    case 908: return DateText(cruise().CastTime[0]);
    case 910: return DateText(cruise().CastTime[2]);
    case 912: return position(cruise().latitude[0]);
    case 914: return position(cruise().latitude[2]);
    case 916: return position(cruise().longitude[0]);
    case 918: return position(cruise().longitude[2]);
    case 920: return cruise().InfoStr[3].Get();
    case 922: return cruise().comment.Get();
    case 924: {
        std::string line;
        bool first = true;
        for (const TParameter* p : list) {
            if (!p)
                continue;
            if (!first)
                line += SeparatorText(cfg.Separator);
            // Between blank-separated columns a name keeps its blanks as "_", so the names line
            // splits into as many names as a row has values.
            std::string name = p->HeaderPrompt();
            if (cfg.Separator == sep_space)
                std::replace(name.begin(), name.end(), ' ', '_');
            line += name;
            first = false;
        }
        return line;
    }
    case 926: {
        std::string lines;
        int column = 0;
        for (const TParameter* p : list) {
            if (!p)
                continue;
            std::string unit;
            switch (p->GetParaNb()) {
            case TimePara: unit = TimeUnitName(cfg.TimeUnit); break;
            case ConductivityPara:
            case Cond20Para:
            case Cond25Para: unit = CondUnitName(cfg.CondUnit); break;
            default: unit = p->ParaGeneral.OrigUnit.Get(); break;
            }
            lines += fmt::format("{}Col {} : {} [{}]", LineBreak, ++column, p->HeaderPrompt(),
                                 unit);
        }
        return lines;
    }
    case 1000:
    case 1004: return cast().InfoStr[0].Get();
    case 1002: return cast().InfoStr[1].Get();
    case 1003:
        return cruise().InfoStr[2].Get() + LastChars("000" + cast().InfoStr[0].Get(), 3);
    case 1005: return cast().InfoStr[4].Get();
    case 1006: return DateTimeText(cast().CastTime[0]);
    case 1008: return DateTimeText(cast().CastTime[1]);
    case 1010: return DateTimeText(cast().CastTime[2]);
    case 1012: return position(cast().latitude[0]);
    case 1014: return position(cast().latitude[1]);
    case 1016: return position(cast().latitude[2]);
    case 1018: return position(cast().longitude[0]);
    case 1020: return position(cast().longitude[1]);
    case 1022: return position(cast().longitude[2]);
    case 1024: return Fixed(cast().BottomValue[0].value, decimals);
    case 1026: return Fixed(DepthOf(cast().BottomValue[0], cast(), src).value, decimals);
    case 1028: return Fixed(cast().BottomValue[1].value, decimals);
    case 1030: return Fixed(DepthOf(cast().BottomValue[1], cast(), src).value, decimals);
    case 1032: return Fixed(cast().BottomValue[2].value, decimals);
    case 1034: return Fixed(cast().BottomValue[3].value, decimals);
    case 1036: return std::to_string(cast().DataSetNb);
    case 1038: return std::to_string(cast().FrameError);
    case 1040: return "Quorvel";
    case 1042: return src.ProbeSN;
    case 1044: return cast().comment.Get();
    case 1046: return Fixed(cast().ScanRate.ToLongDouble(), decimals);
    case 1048: return Fixed(cast().ExtractStep.ToLongDouble(), decimals);
    case 1050: return std::string(AcquiModeName(cast().ExtractMode));
    default: return {};
    }
}

} // namespace

std::string PositionText(long double x, std::uint8_t posFormat) {
    if (!std::isfinite(x))
        return {};
    switch (posFormat) {
    case Pos_Minute:
    case Pos_Second: {
        if (std::fabs(x) >= MaxPositionDegrees)
            return {};
        // Rounded once in the last unit written, so that 59.99996 minutes carry into the
        // degrees instead of showing as 60 minutes.
        const bool negative = x < 0;
        if (posFormat == Pos_Minute) {
            const long long total = std::llround(std::fabs(x) * 600'000); // 1e-4 minute
            const long long degrees = total / 600'000;
            const std::string minutes = fmt::format("{:.4f}", (total % 600'000) / 10'000.0);
            return DegreeField(negative && total != 0, degrees) + std::string(DegreeSign) +
                   LastChars("0" + minutes, 7);
        }
        const long long total = std::llround(std::fabs(x) * 3'600'000); // 1e-3 second
        const long long degrees = total / 3'600'000;
        const long long rest = total % 3'600'000;
        const std::string minutes = std::to_string(rest / 60'000);
        const std::string seconds = fmt::format("{:.3f}", (rest % 60'000) / 1000.0);
        return DegreeField(negative && total != 0, degrees) + std::string(DegreeSign) +
               LastChars("0" + minutes, 2) + "'" + LastChars("0" + seconds, 6);
    }
    default: return fmt::format("{:9.5f}", static_cast<double>(x));
    }
}

const TTextFileCfg& TextCfgOf(const TConfig& config, int DataType) {
    switch (DataType) {
    case 0: return config.DataTextCfg;
    case 1: return config.HeaderTextCfg;
    case 2: return config.BottleTextCfg;
    default: Raise(fmt::format("export type {} unknown", DataType));
    }
}

std::string HeaderString(const TParameter& para, int DataType,
                         std::span<TParameter* const> list, const THeaderSources& sources) {
    try {
        if (!sources.Config)
            Raise("no configuration");
        return TrimBlanks(Untrimmed(para, TextCfgOf(*sources.Config, DataType), list, sources));
    } catch (...) {
        ReportFailure({"Error in Parameter.HeaderString"},
                      CurrentFailureMessage() + para.GetParaStr());
        return {};
    }
}

TFlaggedValue HeaderValue(const TParameter& para, const THeaderSources& sources) {
    try {
        const int number = para.GetParaNb();
        if (number < 1006 || number > 1038)
            return ZeroFV;
        const TCastInfo& cast = Need(sources.Cast, "cast");
        const auto number0 = [](long double v) { return TFlaggedValue{static_cast<float>(v), 0}; };
        switch (number) {
        case 1006: return number0(cast.CastTime[0]);
        case 1008: return number0(cast.CastTime[1]);
        case 1010: return number0(cast.CastTime[2]);
        case 1012: return number0(cast.latitude[0].ToLongDouble());
        case 1014: return number0(cast.latitude[1].ToLongDouble());
        case 1016: return number0(cast.latitude[2].ToLongDouble());
        case 1018: return number0(cast.longitude[0].ToLongDouble());
        case 1020: return number0(cast.longitude[1].ToLongDouble());
        case 1022: return number0(cast.longitude[2].ToLongDouble());
        case 1024: return number0(cast.BottomValue[0].value);
        case 1026: return DepthOf(cast.BottomValue[0], cast, sources);
        case 1028: return number0(cast.BottomValue[1].value);
        case 1030: return DepthOf(cast.BottomValue[1], cast, sources);
        case 1032: return cast.BottomValue[2];
        case 1034: return cast.BottomValue[3];
        case 1036: return number0(cast.DataSetNb);
        case 1038: return number0(cast.FrameError);
        default: return ZeroFV;
        }
    } catch (...) {
        ReportFailure({"Error in Parameter.HeaderValue"},
                      CurrentFailureMessage() + para.GetParaStr());
        return InvalidFV;
    }
}

} // namespace marevo
