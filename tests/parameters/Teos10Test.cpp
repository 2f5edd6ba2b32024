#include "parameters/Teos10.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

namespace marevo {
namespace {

namespace teos = teos10;
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

// One level of the standard's check casts (tests/data/teos10/check_values.txt).
struct TCheckRow {
    int cast = 0;
    double lon = 0, lat = 0, p = 0, SP = 0, t90 = 0, SA = 0, CT = 0;
    // SA_from_SP CT_from_t pt0_from_t CT_from_pt rho sigma0 grav n2 p_mid
    double out[9] = {};
};

struct TCheckData {
    double tolerance[9] = {};
    std::vector<TCheckRow> rows;
};

TCheckData ReadCheckValues() {
    TCheckData data;
    std::ifstream in(std::filesystem::path(MAREVO_SOURCE_DIR) /
                     "tests/data/teos10/check_values.txt");
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream words(line);
        if (line.rfind("tolerance", 0) == 0) {
            std::string word;
            words >> word;
            for (double& t : data.tolerance)
                words >> t;
            continue;
        }
        // "nan" is read by strtod, not by operator>>.
        std::vector<double> v;
        std::string word;
        while (words >> word)
            v.push_back(std::strtod(word.c_str(), nullptr));
        if (v.size() != 17)
            continue;
        TCheckRow r;
        r.cast = static_cast<int>(v[0]);
        r.lon = v[1];
        r.lat = v[2];
        r.p = v[3];
        r.SP = v[4];
        r.t90 = v[5];
        r.SA = v[6];
        r.CT = v[7];
        for (int k = 0; k < 9; ++k)
            r.out[k] = v[8 + k];
        data.rows.push_back(r);
    }
    return data;
}

// The published check values of the standard: three casts (western Pacific, central Pacific and
// the Baltic, where SA follows from SP alone), each output within the standard's tolerance.
TEST(Teos10Test, PublishedCheckValuesAreReproduced) {
    const TCheckData data = ReadCheckValues();
    ASSERT_EQ(data.rows.size(), 98u);
    const char* names[9] = {"SA_from_SP", "CT_from_t", "pt0_from_t", "CT_from_pt", "rho",
                            "sigma0",     "grav",      "N2",         "p_mid"};
    int compared = 0;
    for (std::size_t i = 0; i < data.rows.size(); ++i) {
        const TCheckRow& r = data.rows[i];
        const TCheckRow* above =
            i > 0 && data.rows[i - 1].cast == r.cast ? &data.rows[i - 1] : nullptr;
        const teos::TBuoyancy n2 =
            above ? teos::BuoyancyOfPair(above->SA, above->CT, above->p, r.SA, r.CT, r.p, r.lat)
                  : teos::TBuoyancy{NaN, NaN};
        const double got[9] = {teos::SA_from_SP(r.SP, r.p, r.lon, r.lat),
                               teos::CT_from_t(r.SA, r.t90, r.p),
                               teos::PT0_from_t(r.SA, r.t90, r.p),
                               teos::CT_from_pt(r.SA, r.out[2]),
                               teos::Rho(r.SA, r.CT, r.p),
                               teos::Sigma0(r.SA, r.CT),
                               teos::Gravity(r.lat, r.p),
                               n2.N2,
                               n2.pMid};
        for (int k = 0; k < 9; ++k) {
            if (std::isnan(r.out[k])) {
                EXPECT_TRUE(std::isnan(got[k])) << names[k] << " cast " << r.cast << " p " << r.p;
                continue;
            }
            EXPECT_NEAR(got[k], r.out[k], data.tolerance[k])
                << names[k] << " cast " << r.cast << " p " << r.p;
            ++compared;
        }
    }
    EXPECT_GT(compared, 850);
}

// The anomaly ratio's edges: positions beyond the atlas, far from the sea, and longitudes of any
// turn; unknown inputs give NaN throughout.
TEST(Teos10Test, AnomalyRatioAtTheEdgesOfTheAtlas) {
    const double open = teos::SaarFromPosition(1000, 330, -30); // South Atlantic
    EXPECT_GT(open, 0.0);
    EXPECT_LT(open, 1e-3);
    struct Case {
        const char* what;
        double p, lon, lat, expected;
    } const cases[] = {
        {"west longitudes as east", 1000, -30, -30, open},
        {"a longitude past a full turn", 1000, 690, -30, open},
        {"a longitude below a full turn", 1000, -390, -30, open},
        {"inland Asia: no water near, no anomaly", 0, 90, 46, 0.0},
        {"south of the atlas", 0, 0, -87, NaN},
        {"north of the pole", 0, 0, 91, NaN},
        {"unknown pressure", NaN, 330, -30, NaN},
        {"unknown longitude", 1000, INFINITY, -30, NaN},
    };
    for (const Case& c : cases) {
        const double got = teos::SaarFromPosition(c.p, c.lon, c.lat);
        if (std::isnan(c.expected))
            EXPECT_TRUE(std::isnan(got)) << c.what;
        else
            EXPECT_DOUBLE_EQ(got, c.expected) << c.what;
    }
    // Below the deepest water of the nodes around, the ratio stays that of the deepest level.
    EXPECT_DOUBLE_EQ(teos::SaarFromPosition(20000, 330, -30),
                     teos::SaarFromPosition(11000, 330, -30));
}

TEST(Teos10Test, UnknownInputsGiveNaN) {
    const std::function<double()> cases[] = {
        [] { return teos::SA_from_SP(NaN, 0, 330, -30); },
        [] { return teos::SA_from_SP(35, 0, 330, NaN); },
        [] { return teos::CT_from_t(35, NaN, 0); },
        [] { return teos::CT_from_t(35, 10, INFINITY); },
        [] { return teos::Rho(NaN, 10, 0); },
        [] { return teos::Sigma0(35, NaN); },
        [] { return teos::Nsquared(35, 10, 100, 35.1, 9, NaN, 10); },
        [] { return teos::Nsquared(35, 10, 100, 35.1, 9, 100, 10); }, // no pressure step
        [] { return teos::Nsquared(35, 10, 100, 35.1, 9, 110, 95); }, // no such latitude
        [] { return teos::T90FromT68(NaN); },
    };
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_TRUE(std::isnan(cases[i]())) << "case " << i;
}

TEST(Teos10Test, Its90FromIpts68) {
    EXPECT_DOUBLE_EQ(teos::T90FromT68(0.0), 0.0);
    EXPECT_DOUBLE_EQ(teos::T90FromT68(20.0048), 20.0);
    EXPECT_DOUBLE_EQ(teos::T90FromT68(-2.00048), -2.0);
}

} // namespace
} // namespace marevo
