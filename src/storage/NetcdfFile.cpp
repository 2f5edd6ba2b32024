// The profiles as a NetCDF-4 file following the CF conventions 1.8, feature type "profile", in
// the incomplete multidimensional array representation (ProfileExport.h).

#include "storage/ProfileExport.h"

#include "foundation/Guard.h"
#include "parameters/ParaNumbers.h"

#include <fmt/format.h>
#include <netcdf.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

namespace marevo {

namespace fs = std::filesystem;

namespace {

constexpr float FillFloat = NC_FILL_FLOAT;
constexpr double FillDouble = NC_FILL_DOUBLE;
constexpr signed char FillQc = -127;
// TDateTime 0 is 1899-12-30; 1970-01-01 is day 25569.
constexpr double UnixEpochDays = 25569.0;

void Check(int status, std::string_view what) {
    if (status != NC_NOERR)
        Raise(fmt::format("NetCDF {}: {}", what, nc_strerror(status)));
}

// Closes the file on every way out.
struct TNcFile {
    int id = -1;
    ~TNcFile() {
        if (id >= 0)
            nc_close(id);
    }
    void Close() {
        const int i = id;
        id = -1;
        Check(nc_close(i), "close");
    }
};

void Text(int nc, int var, const char* name, std::string_view value) {
    Check(nc_put_att_text(nc, var, name, value.size(), value.data()), std::string("attribute ") + name);
}

std::string JoinSettings(const TProfile& p) {
    std::string text;
    for (const auto& [name, value] : p.settings)
        text += (text.empty() ? "" : "; ") + name + ": " + value;
    return text;
}

// The text of a temperature's scale, for its comment.
std::string_view TemperatureComment(std::int32_t number) {
    switch (number) {
    case TemperatureIts90Para: return "in-situ temperature, ITS-90 scale";
    case ThetaPara: return "potential temperature (reference pressure 0 dbar), IPTS-68 scale";
    case 2002: return "Conservative Temperature (TEOS-10), ITS-90 scale";
    default: return "in-situ temperature, IPTS-68 scale";
    }
}

bool IsTemperature(std::int32_t number) {
    return number == TemperaturePara || number == TemperatureIts90Para || number == ThetaPara ||
           number == Temperature1Para || number == Temperature2Para || number == Temperature3Para ||
           number == 2002;
}

// A string variable (profile) from one text per profile.
void StringVariable(int nc, int profileDim, const char* name, const char* longName,
                    std::map<int, std::vector<std::string>>& pending, int& var) {
    Check(nc_def_var(nc, name, NC_STRING, 1, &profileDim, &var), std::string("variable ") + name);
    Text(nc, var, "long_name", longName);
    pending[var];
}

} // namespace

void WriteNetcdfFile(const fs::path& file, const std::vector<TProfile>& profiles,
                     std::string_view history) {
    if (profiles.empty())
        Raise("no cast to export");
    const TProfile& head = profiles.front();
    std::size_t levels = 1;
    for (const TProfile& p : profiles) {
        if (p.columns.size() != head.columns.size())
            Raise(fmt::format("cast {} has other columns than cast {}", p.castNumber,
                              head.castNumber));
        levels = std::max(levels, p.Levels());
    }
    const std::size_t nProfiles = profiles.size();

    TNcFile f;
    Check(nc_create(file.c_str(), NC_NETCDF4 | NC_CLOBBER, &f.id), "create " + file.string());
    const int nc = f.id;
    int profileDim = 0, zDim = 0;
    Check(nc_def_dim(nc, "profile", nProfiles, &profileDim), "dimension profile");
    Check(nc_def_dim(nc, "z", levels, &zDim), "dimension z");
    const int dims2[] = {profileDim, zDim};

    // Per profile.
    int castVar = 0, timeVar = 0, latVar = 0, lonVar = 0, depthVar = 0;
    Check(nc_def_var(nc, "profile", NC_INT, 1, &profileDim, &castVar), "variable profile");
    Text(nc, castVar, "long_name", "cast number in its cruise");
    Text(nc, castVar, "cf_role", "profile_id");
    Check(nc_def_var(nc, "time", NC_DOUBLE, 1, &profileDim, &timeVar), "variable time");
    Check(nc_def_var_fill(nc, timeVar, 0, &FillDouble), "time fill");
    Text(nc, timeVar, "standard_name", "time");
    Text(nc, timeVar, "long_name", "start of the cast");
    Text(nc, timeVar, "units", "seconds since 1970-01-01 00:00:00");
    Text(nc, timeVar, "calendar", "standard");
    Text(nc, timeVar, "axis", "T");
    const auto position = [&](const char* name, const char* units, const char* axis, int& var) {
        Check(nc_def_var(nc, name, NC_DOUBLE, 1, &profileDim, &var), name);
        Check(nc_def_var_fill(nc, var, 0, &FillDouble), name);
        Text(nc, var, "standard_name", name);
        Text(nc, var, "long_name", std::string(name) + " at the start of the cast");
        Text(nc, var, "units", units);
        Text(nc, var, "axis", axis);
    };
    position("latitude", "degrees_north", "Y", latVar);
    position("longitude", "degrees_east", "X", lonVar);
    Check(nc_def_var(nc, "bottom_depth", NC_DOUBLE, 1, &profileDim, &depthVar), "bottom_depth");
    Check(nc_def_var_fill(nc, depthVar, 0, &FillDouble), "bottom_depth fill");
    Text(nc, depthVar, "standard_name", "sea_floor_depth_below_sea_surface");
    Text(nc, depthVar, "long_name", "sea-bed depth given by the operator");
    Text(nc, depthVar, "units", "m");
    std::map<int, std::vector<std::string>> strings;
    int nameVar = 0, operatorVar = 0, probeVar = 0, commentVar = 0, settingsVar = 0;
    StringVariable(nc, profileDim, "cast_name", "name of the cast", strings, nameVar);
    StringVariable(nc, profileDim, "cast_operator", "operator of the cast", strings, operatorVar);
    StringVariable(nc, profileDim, "probe_serial_number", "serial number of the probe", strings,
                   probeVar);
    StringVariable(nc, profileDim, "cast_comment", "comment of the cast", strings, commentVar);
    StringVariable(nc, profileDim, "processing_settings", "processing settings of the cast",
                   strings, settingsVar);
    for (const TProfile& p : profiles) {
        strings[nameVar].push_back(p.castName);
        strings[operatorVar].push_back(p.operatorName);
        strings[probeVar].push_back(p.probeSerial);
        strings[commentVar].push_back(p.comment);
        strings[settingsVar].push_back(JoinSettings(p));
    }

    // The columns and their quality flags.
    std::string pressureName;
    for (const TProfileColumn& c : head.columns)
        if (c.number == PressurePara)
            pressureName = NetcdfVariableName(c.number, c.id);
    const std::string coordinates =
        "time latitude longitude" + (pressureName.empty() ? "" : " " + pressureName);
    std::vector<int> vars, qcVars;
    std::set<std::string> used{"profile", "time", "latitude", "longitude", "bottom_depth",
                               "cast_name", "cast_operator", "probe_serial_number",
                               "cast_comment", "processing_settings"};
    const signed char flagValues[] = {0, 1};
    for (const TProfileColumn& c : head.columns) {
        std::string name = NetcdfVariableName(c.number, c.id);
        if (used.count(name) || used.count(name + "_qc"))
            name += "_" + std::to_string(c.number);
        used.insert(name);
        used.insert(name + "_qc");
        const std::string qcName = name + "_qc";
        const std::string_view standard = CfStandardName(c.number);
        int var = 0, qc = 0;
        Check(nc_def_var(nc, name.c_str(), NC_FLOAT, 2, dims2, &var), "variable " + name);
        Check(nc_def_var_fill(nc, var, 0, &FillFloat), "fill of " + name);
        if (!standard.empty())
            Text(nc, var, "standard_name", standard);
        Text(nc, var, "long_name", c.name);
        const std::string units = UdunitsUnit(c.unit);
        if (!units.empty())
            Text(nc, var, "units", units);
        if (c.number == PressurePara) {
            Text(nc, var, "positive", "down");
            Text(nc, var, "axis", "Z");
        } else {
            Text(nc, var, "coordinates", coordinates);
        }
        if (IsTemperature(c.number)) {
            const std::string_view scale = TemperatureComment(c.number);
            Text(nc, var, "comment", scale);
            Text(nc, var, "temperature_scale",
                 scale.find("ITS-90") != std::string_view::npos ? "ITS-90" : "IPTS-68");
        }
        if (c.number == 2003)
            Text(nc, var, "reference_pressure", "0 dbar");
        Check(nc_put_att_int(nc, var, "parameter_number", NC_INT, 1, &c.number),
              "parameter_number");
        Text(nc, var, "ancillary_variables", qcName);

        Check(nc_def_var(nc, qcName.c_str(), NC_BYTE, 2, dims2, &qc), "variable " + qcName);
        Check(nc_def_var_fill(nc, qc, 0, &FillQc), "fill of " + qcName);
        Text(nc, qc, "long_name", "quality flag of " + c.name);
        if (!standard.empty())
            Text(nc, qc, "standard_name", std::string(standard) + " status_flag");
        Check(nc_put_att_schar(nc, qc, "flag_values", NC_BYTE, 2, flagValues), "flag_values");
        Text(nc, qc, "flag_meanings", "good bad");
        Text(nc, qc, "comment", "bad: flagged by the processing (not acquired, failed "
                                "computation, missing input or outside the validation limits)");
        vars.push_back(var);
        qcVars.push_back(qc);
    }

    // Global attributes.
    const int g = NC_GLOBAL;
    Text(nc, g, "Conventions", "CF-1.8");
    Text(nc, g, "featureType", "profile");
    Text(nc, g, "cdm_data_type", "Profile");
    Text(nc, g, "title",
         nProfiles == 1 ? fmt::format("CTD cast {} of cruise {}", head.castNumber, head.cruise)
                        : fmt::format("CTD casts of cruise {}", head.cruise));
    Text(nc, g, "source", "CTD profiler, binned");
    Text(nc, g, "history", history);
    Text(nc, g, "cruise", head.cruise);
    Text(nc, g, "vessel", head.vessel);
    Text(nc, g, "platform_name", head.vessel);
    Text(nc, g, "comment",
         "Levels of the binned table in the order of the data export; a flagged sample is "
         "_FillValue with flag 1 in its _qc variable; levels beyond a cast's last one are "
         "_FillValue with the flag's _FillValue.");
    if (nProfiles == 1) {
        Text(nc, g, "cast", std::to_string(head.castNumber));
        Text(nc, g, "cast_name", head.castName);
        Text(nc, g, "operator", head.operatorName);
        Text(nc, g, "probe_serial_number", head.probeSerial);
        if (!head.comment.empty())
            Text(nc, g, "cast_comment", head.comment);
        Text(nc, g, "processing_settings", JoinSettings(head));
        for (const auto& [name, value] : head.settings)
            Text(nc, g, ("processing_" + name).c_str(), value);
    }
    Check(nc_enddef(nc), "end of definitions");

    // The data.
    std::vector<int> castNumbers;
    std::vector<double> times, lats, lons, depths;
    const auto orFill = [](double v) { return std::isfinite(v) ? v : FillDouble; };
    for (const TProfile& p : profiles) {
        castNumbers.push_back(p.castNumber);
        times.push_back(orFill((p.startTime - UnixEpochDays) * 86400.0));
        lats.push_back(orFill(p.latitude));
        lons.push_back(orFill(p.longitude));
        depths.push_back(orFill(p.bottomDepth));
    }
    Check(nc_put_var_int(nc, castVar, castNumbers.data()), "write profile");
    Check(nc_put_var_double(nc, timeVar, times.data()), "write time");
    Check(nc_put_var_double(nc, latVar, lats.data()), "write latitude");
    Check(nc_put_var_double(nc, lonVar, lons.data()), "write longitude");
    Check(nc_put_var_double(nc, depthVar, depths.data()), "write bottom_depth");
    for (auto& [var, texts] : strings) {
        std::vector<const char*> pointers;
        for (const std::string& t : texts)
            pointers.push_back(t.c_str());
        Check(nc_put_var_string(nc, var, pointers.data()), "write strings");
    }
    std::vector<float> values(levels);
    std::vector<signed char> flags(levels);
    for (std::size_t k = 0; k < head.columns.size(); ++k) {
        for (std::size_t i = 0; i < nProfiles; ++i) {
            const TProfileColumn& c = profiles[i].columns[k];
            std::fill(values.begin(), values.end(), FillFloat);
            std::fill(flags.begin(), flags.end(), FillQc);
            for (std::size_t r = 0; r < c.values.size(); ++r) {
                const bool bad = c.flags[r] != 0;
                values[r] = bad ? FillFloat : c.values[r];
                flags[r] = bad ? 1 : 0;
            }
            const std::size_t start[] = {i, 0}, count[] = {1, levels};
            Check(nc_put_vara_float(nc, vars[k], start, count, values.data()),
                  "write " + c.name);
            Check(nc_put_vara_schar(nc, qcVars[k], start, count, flags.data()),
                  "write flags of " + c.name);
        }
    }
    f.Close();
}

} // namespace marevo
