#pragma once
// Casts recorded by other instruments as "cnv" text tables: header lines starting with '*' or
// '#' up to the line "*END*", then one scan per line in blank-separated columns, named in the
// header by lines "# name k = short: long". Read plain or bzip2-compressed (".bz2"). The
// simulated probe plays them as its channels, and the tests and benchmarks replay them.

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace marevo {

struct TCnvCast {
    std::vector<std::string> names;  // short column names, by column
    std::vector<std::string> longNames; // what follows the colon, with the unit in brackets
    std::vector<double> values;      // scans one after the other, names.size() values each
    double badValue = -9.990e-29;    // the table's mark of a missing value

    std::size_t ColumnCount() const { return names.size(); }
    std::size_t ScanCount() const { return names.empty() ? 0 : values.size() / names.size(); }
    double At(std::size_t scan, std::size_t column) const {
        return values[scan * names.size() + column];
    }
    // Column of a short name ("prDM", "t090C"...); -1 when absent.
    int Column(const std::string& shortName) const;
    bool IsBad(double v) const { return v == badValue; }
};

// What the probe's own channel of a quantity would have read for a column of the table, in its
// units: pressure in dbar, temperature on the IPTS-68 scale in °C (the scale every formula
// works on), conductivity in mS/cm. The unit is the one the column's header line gives in
// brackets ("[ITS-90, deg C]", "[S/m]", "[db]"); a unit the quantity cannot be converted from
// raises EMarevoError naming the column.
enum class TCnvQuantity { Pressure, Temperature, Conductivity };
struct TCnvConversion {
    double scale = 1; // probe value = table value × scale
};
TCnvConversion CnvToProbe(const TCnvCast& cast, int column, TCnvQuantity quantity);

// Reads the whole table; raises EMarevoError naming the file and the line for anything that is
// not a cnv table (no column names, a scan with the wrong number of columns, a bad number).
TCnvCast ReadCnvCast(const std::filesystem::path& file);

} // namespace marevo
