#include "storage/ProfileExport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

namespace marevo {
namespace {

namespace fs = std::filesystem;

TEST(ProfileExport, UnitTextsInUdunitsForm) {
    const struct {
        const char* text;
        const char* udunits;
    } cases[] = {
        {"°C", "degree_Celsius"}, {"dbar", "dbar"},       {"mS/cm", "mS cm-1"},
        {"uS/cm", "uS cm-1"},     {"S/m", "S m-1"},       {"PSU", "1"},
        {"kg/m^3", "kg m-3"},     {"Kg/m^3", "kg m-3"},   {"m/s", "m s-1"},
        {"mg/L", "mg L-1"},       {"%", "percent"},       {" m ", "m"},
        {"1/s^2", "s-2"},         {"g/kg", "g kg-1"},     {"QSU", "QSU"}, // unknown: kept
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(UdunitsUnit(c.text), c.udunits) << c.text;
}

TEST(ProfileExport, VariableNamesAndFormats) {
    EXPECT_EQ(NetcdfVariableName(401, "TEMP"), "TEMP");
    EXPECT_EQ(NetcdfVariableName(703, "XP3 "), "XP3");
    EXPECT_EQ(NetcdfVariableName(134, "CHL_"), "CHL_");
    EXPECT_EQ(NetcdfVariableName(999, ""), "PARA_999");
    EXPECT_EQ(NetcdfVariableName(2001, "S/A"), "S_A");

    TExportFormat f = TExportFormat::Text;
    EXPECT_TRUE(ParseExportFormat("NetCDF", f));
    EXPECT_EQ(f, TExportFormat::NetCdf);
    EXPECT_TRUE(ParseExportFormat("odv", f));
    EXPECT_EQ(f, TExportFormat::Odv);
    EXPECT_FALSE(ParseExportFormat("csv", f));
    EXPECT_EQ(ExportFormatOfName("a/b/C001.NC"), TExportFormat::NetCdf);
    EXPECT_EQ(ExportFormatOfName("C001.txt"), TExportFormat::Text);
    EXPECT_EQ(ExportFormatOfName(""), TExportFormat::Text);
}

TProfile SmallProfile(int cast, std::vector<float> pressures, std::vector<std::uint8_t> tempFlags) {
    TProfile p;
    p.cruise = "CR";
    p.castNumber = cast;
    p.castName = cast == 1 ? "St 1" : "";
    p.startTime = 46000.5 + 1.0 / 86400 / 4; // 2025-12-09 12:00:00.250
    p.latitude = -34.5;
    p.longitude = std::numeric_limits<double>::quiet_NaN();
    p.bottomDepth = 4200;
    TProfileColumn pres{101, "PRES", "Pressure", "dbar", 2, pressures, {}};
    pres.flags.assign(pressures.size(), 0);
    TProfileColumn temp{401, "TEMP", "Temperature", "°C", 3, {}, tempFlags};
    for (float v : pressures)
        temp.values.push_back(20.0f - v / 100.0f);
    p.columns = {pres, temp};
    return p;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

TEST(ProfileExport, OdvSpreadsheetLines) {
    const std::string text = OdvText(
        {SmallProfile(1, {1, 2}, {0, 1}), SmallProfile(2, {1}, {0})}, "Marevo test");
    const std::vector<std::string> lines = Lines(text);
    ASSERT_EQ(lines.size(), 6u + 1 + 3);
    EXPECT_EQ(lines[0], "//ODV Spreadsheet V4.0");
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(lines[i].substr(0, 2), "//") << i;
    const struct {
        std::size_t line;
        const char* text;
    } expected[] = {
        {6, "Cruise\tStation\tType\tyyyy-mm-ddThh:mm:ss.sss\tLongitude [degrees_east]\t"
            "Latitude [degrees_north]\tBot. Depth [m]\tPressure [dbar]\tQF\tTemperature [°C]\tQF"},
        // The station's meta columns on its first line only; a flagged value is empty with QF 8;
        // an unknown longitude is empty.
        {7, "CR\tSt 1\tC\t2025-12-09T12:00:00.250\t\t-34.50000\t4200.0\t1.00\t0\t19.990\t0"},
        {8, "\t\t\t\t\t\t\t2.00\t0\t\t8"},
        {9, "CR\t2\tC\t2025-12-09T12:00:00.250\t\t-34.50000\t4200.0\t1.00\t0\t19.990\t0"},
    };
    for (const auto& e : expected)
        EXPECT_EQ(lines[e.line], e.text) << e.line;
    EXPECT_EQ(OdvLabel("Salinity", " "), "Salinity");
}

TEST(ProfileExport, NothingLeftUnderTheNameWhenTheWriteFails) {
    const fs::path dir = fs::temp_directory_path() / "marevo-profile-export-test";
    fs::remove_all(dir);
    fs::create_directories(dir);
    // Casts whose columns differ cannot share a file.
    TProfile other = SmallProfile(2, {1}, {0});
    other.columns.pop_back();
    std::size_t written = 0;
    for (const TExportFormat format : {TExportFormat::NetCdf, TExportFormat::Odv}) {
        const fs::path file = dir / (format == TExportFormat::NetCdf ? "x.nc" : "x.txt");
        EXPECT_ANY_THROW(WriteProfiles(file, {SmallProfile(1, {1}, {0}), other}, format, "t"));
        EXPECT_ANY_THROW(WriteProfiles(file, {}, format, "t"));
        // No temporary either.
        EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), written);
        WriteProfiles(file, {SmallProfile(1, {1, 2}, {0, 1})}, format, "t");
        EXPECT_TRUE(fs::exists(file));
        ++written;
    }
    fs::remove_all(dir);
}

} // namespace
} // namespace marevo
