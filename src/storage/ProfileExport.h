#pragma once
// The binned table of a cast as a profile for the exchange formats: NetCDF-4 following the CF
// conventions (featureType "profile") and the generic spreadsheet of the ocean data viewers
// (ODV). The columns are those of the data text export (its column list, the conductivity in its
// unit, its smoothing and direction); the rows keep every level, a flagged sample as a missing
// value with its quality flag.
//
// NetCDF layout (docs/DECISIONS.md, "Exports in NetCDF and ODV"): the incomplete
// multidimensional array representation, dimensions `profile` (one per cast) and `z` (the levels
// of the longest cast); time, latitude, longitude and the cast number per profile; each column a
// float variable (profile, z) with `_FillValue` where the table is flagged or the cast has no
// such level, and a byte variable NAME_qc (0 good, 1 bad) linked by `ancillary_variables`.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace marevo {

class TCastInfo;
class TParamCollection;

enum class TExportFormat { Text, NetCdf, Odv };

// "text", "netcdf", "odv" (any case); false for another name.
bool ParseExportFormat(std::string_view name, TExportFormat& format);
// The format a file name asks for when none is given: ".nc" NetCDF, any other text.
TExportFormat ExportFormatOfName(const std::filesystem::path& file);

// One column of a profile.
struct TProfileColumn {
    std::int32_t number = 0; // catalogue number
    std::string id;          // catalogue code, e.g. "TEMP"
    std::string name;        // the file/print name, e.g. "Temperature"
    std::string unit;        // as the parameter shows it, e.g. "mS/cm"
    int decimals = 3;        // of the text export
    std::vector<float> values;
    std::vector<std::uint8_t> flags; // 0 valid
};

// One cast as a profile.
struct TProfile {
    std::string cruise;
    int castNumber = 0;
    std::string castName;
    std::string vessel;
    std::string operatorName;
    std::string probeSerial;
    std::string comment;
    double startTime = 0;     // days since 1899-12-30; not-a-number when unknown
    double latitude = 0;      // decimal degrees, not-a-number when unknown
    double longitude = 0;
    double bottomDepth = 0;   // sea-bed depth from the operator [m], not-a-number when none
    double maxPressure = 0;   // dbar, not-a-number when none
    // Processing settings of the cast, as (name, text).
    std::vector<std::pair<std::string, std::string>> settings;
    std::vector<TProfileColumn> columns;
    std::size_t Levels() const { return columns.empty() ? 0 : columns.front().values.size(); }
};

// The cast's table as the data export's columns (header columns left out: they are the cast's
// attributes). An empty problem on success; otherwise the reason ("Parameter list empty",
// "Parameter not found:  - N", "the cast has no pressure column" ...).
TProfile CollectProfile(TParamCollection& cast, const TCastInfo& castHeader,
                        const TCastInfo* cruiseHeader, std::string& problem);

// ---- Names and units --------------------------------------------------------------------------

// The unit text of a parameter in UDUNITS form: "°C" "degree_Celsius", "mS/cm" "mS cm-1",
// "PSU" "1", "kg/m^3" "kg m-3" ...; a text it does not know is given back trimmed.
std::string UdunitsUnit(std::string_view unitText);
// The CF standard name of a catalogue number, empty when there is none.
std::string_view CfStandardName(std::int32_t number);
// The NetCDF variable name of a column: its code, letters, digits and "_" only ("CHL_" stays,
// "XP1 " becomes "XP1"); "PARA_<number>" when nothing is left.
std::string NetcdfVariableName(std::int32_t number, std::string_view id);

// ---- ODV generic spreadsheet ------------------------------------------------------------------

// The column label: "Temperature [°C]"; a label without unit has no brackets.
std::string OdvLabel(std::string_view name, std::string_view unit);
// A quality flag in the ODV generic scheme: 0 good, 8 bad for a flagged sample.
int OdvQuality(std::uint8_t flag);
// The whole spreadsheet: its "//" header lines, the label line, then one line per level of each
// profile, the meta columns on the first line of a station only. Lines end with LF; tabs
// separate the fields. Every profile must have the columns of the first one.
std::string OdvText(const std::vector<TProfile>& profiles, std::string_view creator);

// ---- Files ------------------------------------------------------------------------------------

// The history line of an export made now: the UTC time in ISO 8601, then what made it.
std::string ExportHistory(std::string_view what);

// Writes the profiles to file in the format (not Text), through a temporary name beside it that
// takes the final name only once complete. Raises EMarevoError with the reason.
void WriteProfiles(const std::filesystem::path& file, const std::vector<TProfile>& profiles,
                   TExportFormat format, std::string_view history);
// The NetCDF file alone (written directly to file).
void WriteNetcdfFile(const std::filesystem::path& file, const std::vector<TProfile>& profiles,
                     std::string_view history);

} // namespace marevo
