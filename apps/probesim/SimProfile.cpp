#include "SimProfile.h"

#include "probelink/CnvCast.h"

#include <fmt/core.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace marevo::sim {

namespace {

constexpr double Pi = 3.14159265358979323846;

// A subtropical open-ocean column: warm mixed layer, a thermocline near 80 dbar, cold deep water.
double TemperatureAt(double p) {
    return 4.0 + 20.0 / (1.0 + std::exp((p - 80.0) / 25.0)) + 2.0 * std::exp(-p / 600.0);
}
double SalinityAt(double p) {
    return 34.6 + 1.2 / (1.0 + std::exp((p - 120.0) / 40.0));
}

// Conductivity [mS/cm] of seawater: a linearised form good to a few tenths around S 35, enough
// for a probe that must look plausible (the derived salinity comes out near SalinityAt).
double ConductivityOf(double s, double t, double p) {
    return 42.914 * (s / 35.0) * (1.0 + 0.0196 * (t - 15.0) + 0.00012 * (t - 15.0) * (t - 15.0)) *
           (1.0 + 1.0e-5 * p);
}

// Dissolved-oxygen sensor counts: high in the mixed layer, a minimum under the thermocline.
double OxygenRawAt(double p) {
    return 3000.0 + 1200.0 / (1.0 + std::exp((p - 60.0) / 15.0)) -
           800.0 * std::exp(-std::pow((p - 300.0) / 150.0, 2.0));
}

TWater WaterAt(double p, double seaBed) {
    TWater w;
    w.pressure = p;
    w.temperature = TemperatureAt(p);
    w.temperature2 = w.temperature + 0.0015;
    const double s = SalinityAt(p);
    w.conductivity = ConductivityOf(s, w.temperature, p);
    w.conductivity2 = w.conductivity - 0.002;
    w.oxygenRaw = OxygenRawAt(p);
    w.par = 1800.0 * std::exp(-p / 22.0);
    w.transmission = 92.0 - 6.0 * std::exp(-std::pow((p - 70.0) / 20.0, 2.0));
    w.altimeter = std::max(0.0, seaBed - p);
    w.ph = 8.1 - 0.3 * (1.0 - std::exp(-p / 400.0));
    return w;
}

class TSyntheticProfile final : public IProfile {
public:
    explicit TSyntheticProfile(const TSyntheticCast& c) : c_(c) {}

    TWater At(double t) const override {
        const double travel = (c_.bottomPressure - c_.soakPressure) / c_.winchSpeed;
        double p = 0;
        if (t < c_.soakSeconds) {
            p = c_.soakPressure;
        } else if (t < c_.soakSeconds + travel) {
            p = c_.soakPressure + (t - c_.soakSeconds) * c_.winchSpeed;
        } else if (t < c_.soakSeconds + travel + c_.bottomSeconds) {
            p = c_.bottomPressure;
        } else {
            const double up = t - c_.soakSeconds - travel - c_.bottomSeconds;
            p = std::max(0.0, c_.bottomPressure - up * c_.winchSpeed);
        }
        // The ship's heave reaches the probe through the wire; none once the probe is on deck.
        if (p > 0)
            p = std::max(0.0, p + c_.heaveAmplitude * std::sin(2 * Pi * t / c_.heavePeriod));
        return WaterAt(p, c_.seaBed);
    }
    std::string Describe() const override {
        return fmt::format("synthetic cast to {} dbar at {} m/s", c_.bottomPressure, c_.winchSpeed);
    }

private:
    TSyntheticCast c_;
};

class TRecordedProfile final : public IProfile {
public:
    TRecordedProfile(std::vector<TWater> scans, double rate, std::string name)
        : scans_(std::move(scans)), rate_(rate), name_(std::move(name)) {}

    TWater At(double t) const override {
        const auto i = static_cast<std::size_t>(std::max(0.0, std::floor(t * rate_)));
        return scans_[i % scans_.size()];
    }
    std::string Describe() const override {
        return fmt::format("{} ({} scans)", name_, scans_.size());
    }

private:
    std::vector<TWater> scans_;
    double rate_;
    std::string name_;
};

// A bad value of the recording keeps the previous scan's value.
double Good(const TCnvCast& cast, std::size_t scan, int column, double previous) {
    if (column < 0)
        return previous;
    const double v = cast.At(scan, static_cast<std::size_t>(column));
    return cast.IsBad(v) ? previous : v;
}

} // namespace

std::unique_ptr<IProfile> MakeSyntheticProfile(const TSyntheticCast& cast) {
    return std::make_unique<TSyntheticProfile>(cast);
}

std::vector<TWater> CnvWater(const TCnvCast& cast) {
    const int p = cast.Column("prDM"), t1 = cast.Column("t090C"), t2 = cast.Column("t190C"),
              c1 = cast.Column("c0S/m"), c2 = cast.Column("c1S/m"), ox = cast.Column("sbeox0V"),
              par = cast.Column("par"), ph = cast.Column("ph"), alt = cast.Column("altM"),
              tr = cast.Column("xmiss");
    if (p < 0 || t1 < 0 || c1 < 0)
        throw std::runtime_error("the cast has no pressure, temperature or conductivity column");
    // The columns as the probe would have measured them (units from the table's header).
    const auto scale = [&](int column, TCnvQuantity q) {
        return CnvToProbe(cast, column, q).scale;
    };
    const double sp = scale(p, TCnvQuantity::Pressure);
    const double st1 = scale(t1, TCnvQuantity::Temperature);
    const double st2 = t2 >= 0 ? scale(t2, TCnvQuantity::Temperature) : st1;
    const double sc1 = scale(c1, TCnvQuantity::Conductivity);
    const double sc2 = c2 >= 0 ? scale(c2, TCnvQuantity::Conductivity) : sc1;
    std::vector<TWater> scans;
    scans.reserve(cast.ScanCount());
    TWater last;
    for (std::size_t i = 0; i < cast.ScanCount(); ++i) {
        TWater w;
        w.pressure = Good(cast, i, p, last.pressure / sp) * sp;
        w.temperature = Good(cast, i, t1, last.temperature / st1) * st1;
        w.temperature2 = Good(cast, i, t2 >= 0 ? t2 : t1, last.temperature2 / st2) * st2;
        w.conductivity = Good(cast, i, c1, last.conductivity / sc1) * sc1;
        w.conductivity2 = Good(cast, i, c2 >= 0 ? c2 : c1, last.conductivity2 / sc2) * sc2;
        w.oxygenRaw = Good(cast, i, ox, last.oxygenRaw / 1000.0) * 1000.0; // V to mV counts
        w.par = Good(cast, i, par, last.par);
        w.ph = Good(cast, i, ph, last.ph);
        w.altimeter = Good(cast, i, alt, last.altimeter);
        w.transmission = Good(cast, i, tr, last.transmission);
        scans.push_back(w);
        last = w;
    }
    return scans;
}

std::unique_ptr<IProfile> LoadCnvProfile(const std::filesystem::path& file, double scanRate) {
    auto scans = CnvWater(ReadCnvCast(file));
    if (scans.empty())
        throw std::runtime_error("no scans in " + file.string());
    return std::make_unique<TRecordedProfile>(std::move(scans), scanRate, file.filename().string());
}

} // namespace marevo::sim
