// The binned cast as a profile, its names and units in the exchange formats, and the ODV
// spreadsheet.

#include "storage/ProfileExport.h"

#include "foundation/DateTime.h"
#include "foundation/Guard.h"
#include "foundation/Runtime.h"
#include "foundation/SafeFiles.h"
#include "foundation/Stream.h"
#include "parameters/ParaCatalogue.h"
#include "parameters/ParaNumbers.h"
#include "parameters/Parameter.h"
#include "parameters/Units.h"
#include "processing/CastFiles.h"
#include "processing/ParaValueContext.h"
#include "processing/ParamCollection.h"
#include "records/CastInfo.h"
#include "records/Config.h"
#include "records/GenConfig.h"

#include <fmt/chrono.h>
#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <ctime>
#include <functional>
#include <limits>

namespace marevo {

namespace fs = std::filesystem;

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

std::string Trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return std::string(text.substr(first, text.find_last_not_of(" \t") - first + 1));
}

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

double Known(long double v) { return IsKnownValue(v) ? static_cast<double>(v) : NaN; }

std::string_view CondUnitText(std::uint8_t unit) {
    constexpr std::string_view names[] = {"uS/cm", "mS/cm", "S/m"};
    return unit < 3 ? names[unit] : std::string_view("mS/cm");
}

std::string_view DirectionText(std::uint8_t direction) {
    switch (direction) {
    case Direction_Down: return "down-cast";
    case Direction_Up: return "up-cast";
    case Direction_Both: return "down- and up-cast";
    default: return "none";
    }
}

// The ODV text of a value: the text export's decimals, empty for a missing one.
std::string OdvNumber(float value, std::uint8_t flag, int decimals) {
    if (flag != 0 || !std::isfinite(value))
        return {};
    return ExportNumberText(value, decimals);
}

std::string OdvDate(double days) {
    if (!std::isfinite(days))
        return {};
    return FormatDateTime("yyyy-MM-ddTHH:mm:ss.zzz", days);
}

std::string OdvCoordinate(double v) { return std::isfinite(v) ? fmt::format("{:.5f}", v) : ""; }

} // namespace

// ---- Formats ------------------------------------------------------------------------------------

bool ParseExportFormat(std::string_view name, TExportFormat& format) {
    const std::string n = Lower(name);
    if (n == "text")
        format = TExportFormat::Text;
    else if (n == "netcdf")
        format = TExportFormat::NetCdf;
    else if (n == "odv")
        format = TExportFormat::Odv;
    else
        return false;
    return true;
}

TExportFormat ExportFormatOfName(const fs::path& file) {
    return Lower(file.extension().string()) == ".nc" ? TExportFormat::NetCdf : TExportFormat::Text;
}

// ---- Collecting ---------------------------------------------------------------------------------

TProfile CollectProfile(TParamCollection& cast, const TCastInfo& castHeader,
                        const TCastInfo* cruiseHeader, std::string& problem) {
    problem.clear();
    TProfile profile;
    const TConfig& config = cast.Cfg();
    const TTextFileCfg& cfg = config.DataTextCfg;
    const TGenConfig& gen = cast.Gen();

    profile.castNumber = castHeader.ID;
    profile.castName = Trim(castHeader.InfoStr[1].Get());
    profile.operatorName = Trim(castHeader.InfoStr[4].Get());
    profile.comment = Trim(castHeader.comment.Get());
    if (cruiseHeader) {
        profile.cruise = Trim(cruiseHeader->InfoStr[1].Get());
        profile.vessel = Trim(cruiseHeader->InfoStr[3].Get());
        if (profile.operatorName.empty())
            profile.operatorName = Trim(cruiseHeader->InfoStr[4].Get());
    }
    if (profile.cruise.empty())
        profile.cruise = Trim(gen.CruiseName.Get());
    profile.probeSerial = Trim(cast.ProbeInfo.UnitSN.Get());
    profile.startTime = Known(castHeader.CastTime[0]);
    if (profile.startTime == 0)
        profile.startTime = NaN; // never set
    profile.latitude = Known(castHeader.latitude[0].ToLongDouble());
    profile.longitude = Known(castHeader.longitude[0].ToLongDouble());
    const TFlaggedValue sonar = castHeader.BottomValue[3];
    profile.bottomDepth = sonar.flag == 0 && sonar.value > 0 ? sonar.value : NaN;
    const TFlaggedValue maxP = castHeader.BottomValue[0];
    profile.maxPressure = maxP.flag == 0 ? maxP.value : NaN;

    const auto setting = [&](std::string name, std::string text) {
        profile.settings.emplace_back(std::move(name), std::move(text));
    };
    setting("acquisition_mode", std::string(RawModeName(castHeader.RawMode)));
    setting("scan_rate", ExportNumberText(castHeader.ScanRate.ToLongDouble(),
                                          ScanRateDecimals(castHeader.RawMode)));
    setting("binning", fmt::format("{}, step {}", AcquiModeName(castHeader.ExtractMode),
                                   ExportNumberText(castHeader.ExtractStep.ToLongDouble(), 3)));
    setting("binning_skipped_start_s", std::to_string(castHeader.StartTimeExtr));
    setting("pressure_offset_dbar",
            ExportNumberText(castHeader.PressureOffsetFilter.ToLongDouble(), 3));
    setting("duplicated_sensors_used",
            fmt::format("temperature {}, conductivity {}, oxygen {}, altimeter {}",
                        castHeader.DupTempNb, castHeader.DupCondNb, castHeader.DupOxyNb,
                        castHeader.DupAltiNb));
    setting("frames", fmt::format("{} acquired, {} rejected as corrupt", castHeader.DataSetNb,
                                  castHeader.FrameError));
    setting("export_direction", std::string(DirectionText(cfg.Direction)));
    setting("export_smoothing", cfg.UseSmoothing ? "as set for each parameter" : "none");
    setting("export_conductivity_unit", std::string(CondUnitText(cfg.CondUnit)));

    // The columns, prepared as the text export prepares them; header columns are attributes.
    const long double latitude = castHeader.latitude[0].ToLongDouble();
    const TExportColumns prepared(cast, cfg,
                                  ValueContextOf(cast, gen, config.DataValidation, latitude));
    if (!prepared.problem.empty()) {
        problem = prepared.problem;
        return profile;
    }
    std::vector<const TExportColumns::TColumn*> columns;
    for (const TExportColumns::TColumn& c : prepared.columns)
        if (c.para->ParaType() != Pt_header)
            columns.push_back(&c);
    if (columns.empty()) {
        problem = "Parameter list empty";
        return profile;
    }

    // The rows of the export's direction.
    const std::int32_t maxDown = cast.Bin.SortInfo.MaxDownIndex;
    const std::int32_t maxIndex = cast.Bin.SortInfo.MaxIndex;
    std::int32_t first = 0, last = 0;
    switch (cfg.Direction) {
    case Direction_Down: last = std::max(maxDown, 0); break;
    case Direction_Up:
        first = std::max(maxDown, 0);
        last = std::max(maxIndex, 0);
        break;
    case Direction_Both: last = std::max(maxIndex, 0); break;
    default: break;
    }
    if (maxIndex < 0)
        last = -1;

    const long double timeFactor = TimeDivisor(gen.TimeUnit);
    for (const TExportColumns::TColumn* c : columns) {
        const TParameter& p = *c->para;
        TProfileColumn column;
        column.number = p.GetParaNb();
        // The catalogue's code; a derived column carries its own.
        if (const TCatalogueEntry* e = FindCatalogueEntry(column.number))
            column.id = Trim(e->IDStr);
        else
            column.id = Trim(p.ParaGeneral.IDStr.Get());
        // A derived column's short text is its code: its full name says more.
        column.name = Trim(c->derived ? p.ParaGeneral.OrigName.Get() : p.HeaderPrompt());
        column.unit = Trim(p.ParaText.ParaStr[txt_Unit].Get());
        if (IsExportConductivity(column.number))
            column.unit = CondUnitText(cfg.CondUnit);
        if (column.number == TimePara)
            column.unit = "s";
        column.decimals = p.ParaText.Decimal[txt_File];
        const TLinearArray* sorted = c->own ? p.SortedBuffer.get() : nullptr;
        const TLinearArray* smooth = c->smoothed ? p.SmoothBuffer.get() : nullptr;
        for (std::int32_t r = first; r <= last; ++r) {
            TFlaggedValue v = SeriesRow(sorted, r);
            if (smooth) {
                const TFlaggedValue s = SeriesRow(smooth, r);
                v.flag = static_cast<std::uint8_t>(v.flag != 0 || s.flag != 0);
                v.value = s.value;
            }
            float value = v.value;
            if (column.number == TimePara)
                value = static_cast<float>(v.value * timeFactor);
            column.values.push_back(value);
            column.flags.push_back(v.flag != 0 || !std::isfinite(value) ? 1 : 0);
        }
        profile.columns.push_back(std::move(column));
    }
    const bool hasPressure =
        std::any_of(profile.columns.begin(), profile.columns.end(),
                    [](const TProfileColumn& c) { return c.number == PressurePara; });
    if (!hasPressure)
        problem = "the export's column list has no pressure (101), the vertical coordinate";
    return profile;
}

// ---- Names and units ----------------------------------------------------------------------------

std::string UdunitsUnit(std::string_view unitText) {
    static const std::array<std::pair<std::string_view, std::string_view>, 34> table{{
        {"°C", "degree_Celsius"},   {"(°C)", "degree_Celsius"}, {"deg C", "degree_Celsius"},
        {"dbar", "dbar"},           {"m", "m"},                 {"s", "s"},
        {"m/s", "m s-1"},           {"mm/s", "mm s-1"},         {"mS/cm", "mS cm-1"},
        {"uS/cm", "uS cm-1"},       {"µS/cm", "uS cm-1"},       {"S/m", "S m-1"},
        {"PSU", "1"},               {"psu", "1"},               {"kg/m^3", "kg m-3"},
        {"Kg/m^3", "kg m-3"},       {"mg/L", "mg L-1"},         {"mg/l", "mg L-1"},
        {"mg/kg", "mg kg-1"},       {"ug/l", "ug L-1"},         {"ug/L", "ug L-1"},
        {"g/l", "g L-1"},           {"%", "percent"},           {"°", "degree"},
        {"1/m", "m-1"},             {"mV", "mV"},               {"(mV)", "mV"},
        {"ppm", "1e-6"},            {"ppb", "1e-9"},            {"umol s-1 m-2", "umol m-2 s-1"},
        {"uE s-1 cm-2", "umol cm-2 s-1"}, {"g/kg", "g kg-1"},   {"1/s^2", "s-2"},
        {"OHM*cm", "ohm cm"},
    }};
    const std::string text = Trim(unitText);
    for (const auto& [from, to] : table)
        if (text == from)
            return std::string(to);
    return text;
}

std::string_view CfStandardName(std::int32_t number) {
    switch (number) {
    case PressurePara: return "sea_water_pressure";
    case TemperaturePara:
    case TemperatureIts90Para:
    case Temperature1Para:
    case Temperature2Para:
    case Temperature3Para: return "sea_water_temperature";
    case Conductivity1Para:
    case Conductivity2Para:
    case Conductivity3Para:
    case CondMsCmPara:
    case ConductivityPara: return "sea_water_electrical_conductivity";
    case SalinityPara: return "sea_water_practical_salinity";
    case DepthPara: return "depth";
    case SoundVelocityPara: return "speed_of_sound_in_sea_water";
    case ThetaPara: return "sea_water_potential_temperature";
    case SigmaTPara: return "sea_water_sigma_t";
    case 606: return "sea_water_density";
    case 406: return "mass_concentration_of_oxygen_in_sea_water";
    case OxygenPercentPara: return "fractional_saturation_of_oxygen_in_sea_water";
    case 405: return "sea_water_ph_reported_on_total_scale";
    case 134: return "mass_concentration_of_chlorophyll_in_sea_water";
    case 146: return "sea_water_turbidity";
    case 147: return "downwelling_photosynthetic_photon_flux_in_sea_water";
    case LatitudePara: return "latitude";
    case LongitudePara: return "longitude";
    // The TEOS-10 columns.
    case 2001: return "sea_water_absolute_salinity";
    case 2002: return "sea_water_conservative_temperature";
    case 2003: return "sea_water_sigma_theta";
    case 2004: return "sea_water_density";
    case 2005: return "square_of_brunt_vaisala_frequency_in_sea_water";
    default: return {};
    }
}

std::string NetcdfVariableName(std::int32_t number, std::string_view id) {
    std::string name;
    for (const char c : Trim(id))
        name += std::isalnum(static_cast<unsigned char>(c)) || c == '_' ? c : '_';
    if (name.empty() || std::isdigit(static_cast<unsigned char>(name.front())))
        name = "PARA_" + std::to_string(number);
    return name;
}

// ---- ODV ----------------------------------------------------------------------------------------

std::string OdvLabel(std::string_view name, std::string_view unit) {
    const std::string n = Trim(name), u = Trim(unit);
    return u.empty() ? n : n + " [" + u + "]";
}

int OdvQuality(std::uint8_t flag) { return flag == 0 ? 0 : 8; }

std::string OdvText(const std::vector<TProfile>& profiles, std::string_view creator) {
    std::string out;
    out += "//ODV Spreadsheet V4.0\n";
    out += fmt::format("//Created by Marevo ({})\n", creator);
    out += "//<DataField>Ocean</DataField>\n";
    out += "//<DataType>Profiles</DataType>\n";
    out += "//<Version>ODV Spreadsheet V4.0</Version>\n";
    out += "//Quality flags: ODV generic scheme, 0 good, 8 bad (flagged by the processing)\n";
    if (profiles.empty())
        return out;
    const TProfile& head = profiles.front();
    std::string labels =
        "Cruise\tStation\tType\tyyyy-mm-ddThh:mm:ss.sss\tLongitude [degrees_east]\t"
        "Latitude [degrees_north]\tBot. Depth [m]";
    for (const TProfileColumn& c : head.columns) {
        labels += '\t' + OdvLabel(c.name, c.unit);
        labels += "\tQF";
    }
    out += labels + "\n";
    for (const TProfile& p : profiles) {
        if (p.columns.size() != head.columns.size())
            Raise(fmt::format("cast {} has other columns than cast {}", p.castNumber,
                              head.castNumber));
        const std::size_t levels = p.Levels();
        const std::string station = p.castName.empty() ? std::to_string(p.castNumber) : p.castName;
        const std::string meta =
            fmt::format("{}\t{}\tC\t{}\t{}\t{}\t{}", p.cruise, station, OdvDate(p.startTime),
                        OdvCoordinate(p.longitude), OdvCoordinate(p.latitude),
                        std::isfinite(p.bottomDepth) ? fmt::format("{:.1f}", p.bottomDepth) : "");
        for (std::size_t r = 0; r < levels; ++r) {
            std::string line = r == 0 ? meta : "\t\t\t\t\t\t";
            for (const TProfileColumn& c : p.columns) {
                line += '\t' + OdvNumber(c.values[r], c.flags[r], c.decimals);
                line += '\t' + std::to_string(OdvQuality(c.flags[r]));
            }
            out += line + "\n";
        }
    }
    return out;
}

// ---- Files --------------------------------------------------------------------------------------

std::string ExportHistory(std::string_view what) {
    return fmt::format("{:%Y-%m-%dT%H:%M:%SZ} {}", fmt::gmtime(std::time(nullptr)), what);
}

void WriteProfiles(const fs::path& file, const std::vector<TProfile>& profiles,
                   TExportFormat format, std::string_view history) {
    if (format == TExportFormat::Text)
        Raise("the text export is written by the cast");
    if (profiles.empty())
        Raise("no cast to export");
    const fs::path temporary = UniqueTemporaryName(file);
    try {
        if (format == TExportFormat::NetCdf) {
            WriteNetcdfFile(temporary, profiles, history);
        } else {
            const std::string text = OdvText(profiles, history);
            TFileStream out(temporary, TFileMode::Create);
            TRecordWriter(out, "write error - ").PutBytes(text.data(), text.size(), "ODV text");
        }
        fs::rename(temporary, file);
    } catch (...) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        throw;
    }
}

} // namespace marevo
