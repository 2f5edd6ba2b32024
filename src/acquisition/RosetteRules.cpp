#include "acquisition/RosetteRules.h"

#include "foundation/BottleStatus.h"

#include <fmt/core.h>

#include <charconv>
#include <cmath>

namespace marevo {

bool PositionalRosette(int rosetteType) {
    return rosetteType != ro_1015 && rosetteType != ro_MISS && rosetteType != ro_KC;
}

std::string_view RosetteTypeLabel(int rosetteType) {
    switch (rosetteType) {
    case ro_1014:
    case ro_1016: return "GO 1018/1016/1014";
    case ro_1015: return "GO 1015";
    case ro_SBE: return "SBE 32 Carousel";
    case ro_MISS: return "MISS";
    case ro_KC: return "KC Denmark";
    default: return "NONE";
    }
}

std::string GeneralNumber(double value) {
    if (value == 0)
        return "0";
    return fmt::format("{:.15g}", value);
}

std::string FireQuestion(bool again, int bottle) {
    return again ? "Are you sure you want to fire again bottle " + std::to_string(bottle) + "?"
                 : "Are you sure you want to fire bottle " + std::to_string(bottle) + "?";
}

std::int32_t NextFreeBottle(const TRosetteInfo& rosette, std::int32_t last,
                            const TBottleSet& recorded) {
    return NextBottle(rosette, last, [&](int k) { return !recorded.test(std::size_t(k)); });
}

std::string ConfirmLabel(int bottle) {
    return "Click Fire to close bottle " + std::to_string(bottle) + "!";
}

std::string WaitLabel(double waitOnSampling) {
    return "Next bottles will be fired in " + GeneralNumber(waitOnSampling) + " seconds!";
}

// ---- First-bottle dialog ----------------------------------------------------------------------

TFirstBottleContent FirstBottleContent(const TRosetteInfo& rosette) {
    TFirstBottleContent c;
    c.typeIndex = rosette.RosetteType < RosetteTypeCount ? rosette.RosetteType : 0;
    c.timeOut = GeneralNumber(std::round(rosette.TimeOut * SecondsPerDay * 1000.0) / 1000.0);
    c.fireDelay = GeneralNumber(std::round(rosette.FireDelay * SecondsPerDay * 1000.0) / 1000.0);
    c.maxBottles = std::to_string(rosette.MaxBottlePos);
    const int positions = std::clamp(rosette.MaxBottlePos, 0, MaxBottles);
    for (int k = 1; k <= positions; ++k)
        if (rosette.BottleList[k - 1])
            c.installed.push_back(fmt::format("{:02d}", k));
    c.okEnabled = !c.installed.empty();
    return c;
}

int InstalledItemNumber(std::string_view item) {
    int n = 0;
    const auto [end, ec] = std::from_chars(item.data(), item.data() + item.size(), n);
    return ec == std::errc() && end == item.data() + item.size() && n >= 1 && n <= MaxBottles
               ? n
               : 0;
}

// ---- Rosette page -----------------------------------------------------------------------------

namespace {

// A number as the operator typed it, blanks around it allowed; false when it is not one.
bool ReadNumber(std::string_view text, double& value) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    if (text.empty())
        return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() && std::isfinite(value);
}

std::string Fixed1(double v) { return fmt::format("{:.1f}", v); }

constexpr double MaxPressure = 10000.0;
constexpr double DefaultStart = 1000.0;
constexpr double MaxWait = 3600.0;
constexpr double DefaultWait = 120.0;

} // namespace

TRosettePage RosettePageFrom(const TRosetteInfo& r) {
    TRosettePage page;
    for (int k = 0; k < MaxBottles; ++k) {
        page.installed[std::size_t(k)] = r.BottleList[k] != 0;
        page.checked[std::size_t(k)] = r.BottleCheckList[k] != 0;
        page.pressure[std::size_t(k)] = GeneralNumber(r.BottlePressList[k].ToDouble());
    }
    page.waitOnSampling = GeneralNumber(r.WaitOnSampling.ToDouble());
    page.startPressure = GeneralNumber(r.StartPressure.ToDouble());
    page.samplingType = r.SamplingType == 1 ? 1 : 0;
    page.operatorAuth = r.OperatorAuth == 1 ? 1 : 0;
    return page;
}

TRosettePageCheck CheckRosettePage(const TRosettePage& page, const TRosetteInfo& before) {
    TRosettePageCheck c;
    c.shown = page;
    const std::string invalidStart = "Bottle start pressure value is invalid.\r\n";
    const std::string startDefault = "Default value: " + Fixed1(DefaultStart) + "[dbar] will be used!";
    bool startRead = false;
    for (int k = 1; k <= MaxBottles; ++k) {
        const auto i = std::size_t(k - 1);
        if (page.installed[i] != (before.BottleList[k - 1] != 0))
            c.installedChanged = true;
        // The start pressure: a default always passes, so it is read at most twice.
        if (!startRead) {
            double start = 0;
            const std::size_t warned = c.warnings.size();
            if (!ReadNumber(c.shown.startPressure, start)) {
                c.warnings.push_back(invalidStart + startDefault);
                start = DefaultStart;
            } else if (start < 0 || start > MaxPressure) {
                c.warnings.push_back(invalidStart + "Value must be >= 0 and <= " +
                                     Fixed1(MaxPressure) + "!\r\n" + startDefault);
                start = DefaultStart;
            }
            if (c.warnings.size() > warned)
                c.shown.startPressure = Fixed1(DefaultStart);
            c.startPressure = start;
            startRead = true;
        }
        // The pressure of position k: one warning at most. With a start pressure of 0 even the
        // default fails the "less than" rule; it is kept all the same.
        const std::string head = "Bottle " + std::to_string(k) + " pressure value is invalid.\r\n";
        const std::string fallback = "Default value: " + Fixed1(0.0) + "[dbar] will be used!";
        double p = 0;
        std::string warning;
        if (!ReadNumber(page.pressure[i], p))
            warning = head + fallback;
        else if (p < 0 || p > MaxPressure)
            warning = head + "Value must be >= 0 and <= " + Fixed1(MaxPressure) + "!\r\n" + fallback;
        else if (!(p < c.startPressure))
            warning = head + "Value must be less than Start Pressure: " +
                      Fixed1(c.startPressure) + "[dbar]!\r\n" + fallback;
        if (!warning.empty()) {
            c.warnings.push_back(warning);
            p = 0.0;
            c.shown.pressure[i] = Fixed1(0.0);
        }
        c.pressure[i] = p;
    }
    double wait = 0;
    const std::string invalidWait = "Bottle wait on sampling value is invalid.\r\n";
    const std::string waitDefault = "Default value: " + fmt::format("{:.0f}", DefaultWait) +
                                    "[s] will be used!";
    if (!ReadNumber(page.waitOnSampling, wait)) {
        c.warnings.push_back(invalidWait + waitDefault);
        wait = DefaultWait;
        c.shown.waitOnSampling = fmt::format("{:.0f}", DefaultWait);
    } else if (wait < 0 || wait > MaxWait) {
        c.warnings.push_back(invalidWait + "Value must be >= 0 and <= " +
                             fmt::format("{:.0f}", MaxWait) + "!\r\n" + waitDefault);
        wait = DefaultWait;
        c.shown.waitOnSampling = fmt::format("{:.0f}", DefaultWait);
    }
    c.waitOnSampling = wait;
    return c;
}

void ApplyRosettePage(const TRosettePageCheck& c, TRosetteInfo& r) {
    for (int k = 0; k < MaxBottles; ++k) {
        const auto i = std::size_t(k);
        r.BottleList[k] = c.shown.installed[i] ? 1 : 0;
        r.BottleCheckList[k] = c.shown.checked[i] ? 1 : 0;
        r.BottlePressList[k] = TExtended::FromLongDouble(c.pressure[i]);
    }
    r.StartPressure = TExtended::FromLongDouble(c.startPressure);
    r.WaitOnSampling = TExtended::FromLongDouble(c.waitOnSampling);
    r.SamplingType = c.shown.samplingType;
    r.OperatorAuth = c.shown.operatorAuth;
}

TRosetteEnabling RosetteEnabling(int samplingType, const std::array<bool, MaxBottles>& installed) {
    TRosetteEnabling e;
    e.edits = samplingType == 1;
    for (std::size_t k = 0; k < installed.size(); ++k)
        e.position[k] = e.edits && installed[k];
    return e;
}

} // namespace marevo
