#pragma once

#include <CLI/CLI.hpp>

#include <filesystem>
#include <string>
#include <vector>

namespace marevo::cli {

struct TCalcOptions {
    int number = 0;                 // computed parameter
    std::vector<double> inputs;     // in the order of its links
    bool csv = false;               // samples from standard input, one per line
    int timeUnit = 0;               // TTimeUnit ordinal
    int condUnit = 1;               // conductivity unit ordinal: 0 uS/cm, 1 mS/cm, 2 S/m
    double freshWaterFactor = 0;    // > 0: fresh-water depth, m per dbar
    double latitude = 0;            // start latitude of the cast, degrees
    double thetaRefPress = 0;       // dbar
    double tdsCoeff = 0.65;         // total dissolved solids per mS/cm
    std::vector<std::string> coefs; // "INDEX=VALUE", coefficients c0..c19 of the formula
};

// Declares the verb's arguments and options on its subcommand.
void AddCalcOptions(CLI::App& calc, TCalcOptions& options);

// Evaluates one computed parameter from its inputs and prints "value flag"; with csv, reads one
// sample per line (inputs separated by commas) and writes "value,flag" per line. Formula
// failures go to the event log in the data root's text folder.
int RunCalc(const TCalcOptions& options, const std::filesystem::path& dataRoot);

} // namespace marevo::cli
