#include "CalcCommand.h"

#include "foundation/EventLog.h"
#include "parameters/ParaCatalogue.h"
#include "parameters/Parameter.h"
#include "processing/FormulaSettings.h"
#include "records/GenConfig.h"

#include <fmt/format.h>

#include <charconv>
#include <cstdio>
#include <map>
#include <string_view>

namespace marevo::cli {

namespace {

// Unit names as the exports write them.
const std::map<std::string, int> TimeUnits{{"s", 0}, {"mn", 1}, {"h", 2}, {"day", 3}};
const std::map<std::string, int> CondUnits{{"uS/cm", 0}, {"mS/cm", 1}, {"S/m", 2}};

bool ParseNumber(std::string_view text, float& value) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

// One sample: exactly count comma-separated numbers.
bool ParseSample(std::string_view line, int count, TAFV16& inputs) {
    for (int i = 0; i < count; ++i) {
        const std::size_t comma = i + 1 < count ? line.find(',') : line.size();
        if (comma == std::string_view::npos || !ParseNumber(line.substr(0, comma), inputs[i].value))
            return false;
        inputs[i].flag = 0;
        line.remove_prefix(comma == line.size() ? comma : comma + 1);
    }
    return true;
}

// Reads standard input in large blocks and evaluates each line; output is collected in a
// buffer and written in blocks, so a million samples cost no allocation per line.
int RunCsv(const TParameter& para, int count, const TFormulaCoefs* coefs,
           const TFormulaSettings& settings) {
    constexpr std::size_t Block = 1 << 20;
    std::vector<char> in(Block);
    std::string pending; // a line cut by the end of a block
    fmt::memory_buffer out;
    long long lineNumber = 0;
    TAFV16 inputs{};

    auto evaluate = [&](std::string_view line) {
        ++lineNumber;
        if (!ParseSample(line, count, inputs)) {
            fmt::print(stderr, "marevo-cli: line {}: expected {} comma-separated numbers\n",
                       lineNumber, count);
            return false;
        }
        const TFlaggedValue v = para.MainFunc1(inputs, coefs, settings);
        fmt::format_to(std::back_inserter(out), "{},{}\n", v.value, v.flag);
        if (out.size() > Block) {
            std::fwrite(out.data(), 1, out.size(), stdout);
            out.clear();
        }
        return true;
    };

    // The samples before a malformed line are still written.
    auto finish = [&](int status) {
        std::fwrite(out.data(), 1, out.size(), stdout);
        return std::fflush(stdout) == 0 ? status : 1;
    };
    std::size_t got;
    while ((got = std::fread(in.data(), 1, in.size(), stdin)) > 0) {
        std::string_view chunk(in.data(), got);
        std::size_t nl;
        while ((nl = chunk.find('\n')) != std::string_view::npos) {
            bool ok;
            if (pending.empty()) {
                ok = evaluate(chunk.substr(0, nl));
            } else {
                pending.append(chunk.substr(0, nl));
                ok = evaluate(pending);
                pending.clear();
            }
            if (!ok)
                return finish(1);
            chunk.remove_prefix(nl + 1);
        }
        pending.append(chunk);
    }
    if (!pending.empty() && !evaluate(pending))
        return finish(1);
    return finish(0);
}

} // namespace

void AddCalcOptions(CLI::App& calc, TCalcOptions& o) {
    calc.add_option("NUMBER", o.number, "Computed parameter number (e.g. 404 salinity)")
        ->required();
    calc.add_option("INPUT", o.inputs, "Input values in the order of the parameter's links");
    calc.add_flag("--csv", o.csv, "Read samples from standard input, one per line");
    calc.add_option("--time-unit", o.timeUnit, "Time unit: s, mn, h, day")
        ->transform(CLI::CheckedTransformer(TimeUnits))
        ->capture_default_str();
    calc.add_option("--cond-unit", o.condUnit, "Conductivity unit: uS/cm, mS/cm, S/m")
        ->transform(CLI::CheckedTransformer(CondUnits))
        ->capture_default_str();
    calc.add_option("--fresh-water", o.freshWaterFactor,
                    "Depth as pressure times this factor (m/dbar) instead of the sea-water formula")
        ->check(CLI::PositiveNumber);
    calc.add_option("--latitude", o.latitude, "Start latitude of the cast, degrees north")
        ->capture_default_str();
    calc.add_option("--theta-ref", o.thetaRefPress,
                    "Reference pressure of the potential temperature, dbar")
        ->capture_default_str();
    calc.add_option("--tds-coeff", o.tdsCoeff, "Total dissolved solids per mS/cm")
        ->capture_default_str();
    calc.add_option("--coef", o.coefs, "Coefficient of the formula, INDEX=VALUE (0..19)");
}

int RunCalc(const TCalcOptions& o, const std::filesystem::path& dataRoot) {
    const TCatalogueEntry* entry = FindCatalogueEntry(o.number);
    if (!entry || (entry->ParaType != Pt_Calc && entry->ParaType != Pt_CWC)) {
        fmt::print(stderr, "marevo-cli: {} is not a computed parameter\n", o.number);
        return 2;
    }
    const int count = entry->LinkNb;

    TFormulaCoefs coefs;
    for (const std::string& text : o.coefs) {
        const std::size_t eq = text.find('=');
        int index = -1;
        double value = 0;
        const char* first = text.data();
        const bool ok =
            eq != std::string::npos &&
            std::from_chars(first, first + eq, index).ptr == first + eq && index >= 0 &&
            index < CalibCoefCount &&
            std::from_chars(first + eq + 1, first + text.size(), value).ptr == first + text.size();
        if (!ok) {
            fmt::print(stderr, "marevo-cli: --coef {}: expected INDEX=VALUE, INDEX 0..19\n", text);
            return 2;
        }
        coefs.c[index] = value;
    }

    TGenConfig cfg{};
    SetGenConfigDefaults(cfg);
    cfg.TimeUnit = static_cast<std::uint8_t>(o.timeUnit);
    cfg.CondUnit = static_cast<std::uint8_t>(o.condUnit);
    if (o.freshWaterFactor > 0) {
        cfg.salt_freshWaterFlag = 0;
        cfg.FreshWaterConversion = TExtended::FromDouble(o.freshWaterFactor);
    }
    cfg.ThetaRefPress = TExtended::FromDouble(o.thetaRefPress);
    cfg.TotDisSolCoeff = TExtended::FromDouble(o.tdsCoeff);
    const TFormulaSettings settings = FormulaSettingsOf(cfg, o.latitude);

    TParameter para;
    para.SetDefPara(o.number);
    const TFormulaCoefs* pCal = entry->CalibLink > 0 || !o.coefs.empty() ? &coefs : nullptr;

    // Failures of a formula are logged, as in the program; without a log they are still flagged.
    std::error_code ec;
    std::filesystem::create_directories(dataRoot / "Txt", ec);
    if (ec || !OpenLog(dataRoot / "Txt"))
        fmt::print(stderr, "warning: no event log in {}\n", (dataRoot / "Txt").string());

    int status = 0;
    if (o.csv) {
        if (!o.inputs.empty()) {
            fmt::print(stderr, "marevo-cli: with --csv the inputs come from standard input\n");
            status = 2;
        } else {
            status = RunCsv(para, count, pCal, settings);
        }
    } else if (static_cast<int>(o.inputs.size()) != count) {
        fmt::print(stderr, "marevo-cli: parameter {} takes {} input(s): ", o.number, count);
        for (int i = 0; i < count; ++i)
            fmt::print(stderr, "{}{}", i ? ", " : "", entry->ParaLink[i]);
        fmt::print(stderr, "\n");
        status = 2;
    } else {
        TAFV16 inputs{};
        for (int i = 0; i < count; ++i)
            inputs[i] = {static_cast<float>(o.inputs[i]), 0};
        const TFlaggedValue v = para.MainFunc1(inputs, pCal, settings);
        fmt::print("{} {}\n", v.value, v.flag);
    }
    CloseLog();
    return status;
}

} // namespace marevo::cli
