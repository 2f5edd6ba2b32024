#include "probelink/CnvCast.h"

#include "foundation/Guard.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <fstream>

namespace marevo {
namespace {

namespace fs = std::filesystem;

// A small table with the given column header lines and one scan.
TCnvCast Table(const std::vector<std::string>& columns, const fs::path& dir) {
    const fs::path file = dir / "cast.cnv";
    std::ofstream out(file, std::ios::binary);
    out << "* made by hand\n";
    for (std::size_t i = 0; i < columns.size(); ++i)
        out << "# name " << i << " = " << columns[i] << "\n";
    out << "*END*\n";
    for (std::size_t i = 0; i < columns.size(); ++i)
        out << " 1.5";
    out << "\n";
    out.close();
    return ReadCnvCast(file);
}

TEST(CnvCast, ColumnsAreConvertedToWhatTheProbeMeasuresByTheirHeaderUnits) {
    test::TTestEnv env;
    const TCnvCast cast =
        Table({"prDM: Pressure, Digiquartz [db]", "t090C: Temperature [ITS-90, deg C]",
               "t068C: Temperature [IPTS-68, deg C]", "c0S/m: Conductivity [S/m]",
               "c0mS/cm: Conductivity [mS/cm]", "c0uS/cm: Conductivity [uS/cm]"},
              env.dir);
    ASSERT_EQ(cast.longNames.size(), 6u);
    EXPECT_EQ(cast.longNames[1], "Temperature [ITS-90, deg C]");
    const struct {
        int column;
        TCnvQuantity quantity;
        double scale;
    } cases[] = {
        {0, TCnvQuantity::Pressure, 1.0},     {1, TCnvQuantity::Temperature, 1.00024},
        {2, TCnvQuantity::Temperature, 1.0},  {3, TCnvQuantity::Conductivity, 10.0},
        {4, TCnvQuantity::Conductivity, 1.0}, {5, TCnvQuantity::Conductivity, 0.001},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(cast.names[static_cast<std::size_t>(c.column)]);
        EXPECT_DOUBLE_EQ(CnvToProbe(cast, c.column, c.quantity).scale, c.scale);
    }
}

TEST(CnvCast, AColumnWhoseUnitCannotBePlacedIsRefusedByName) {
    test::TTestEnv env;
    const TCnvCast cast = Table({"tv290F: Temperature [ITS-90, deg F]", "prdM: Pressure [psi]",
                                 "c0: Conductivity", "t090C: Temperature [ITS-90, deg C]"},
                                env.dir);
    const struct {
        int column;
        TCnvQuantity quantity;
        const char* message;
    } cases[] = {
        {0, TCnvQuantity::Temperature, "column tv290F: temperature unit \"ITS-90, deg F\""},
        {1, TCnvQuantity::Pressure, "column prdM: pressure unit \"psi\""},
        {2, TCnvQuantity::Conductivity, "column c0: conductivity unit \"\""},
        {3, TCnvQuantity::Conductivity, "column t090C: conductivity unit \"ITS-90, deg C\""},
    };
    for (const auto& c : cases) {
        try {
            CnvToProbe(cast, c.column, c.quantity);
            ADD_FAILURE() << c.message << " was accepted";
        } catch (const EMarevoError& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
    }
}

} // namespace
} // namespace marevo
