#pragma once
// Bottle firing from the console during `marevo-cli acquire`: the first bottle given on the
// command line, the lines "fire", "fire N", "fire again N" and "confirm" read from standard
// input, the operator dialog's text and a line per firing outcome.

#include <cstdint>
#include <optional>
#include <string>

namespace marevo {
class TRTCast;
struct TRosetteInfo;
} // namespace marevo

namespace marevo::cli {

class TConsoleFiring {
public:
    // firstBottle: 0 answers the first-bottle question "No Rosette connected"; yes: the operator
    // dialog's "Fire" is pressed as soon as it shows.
    TConsoleFiring(std::int32_t firstBottle, bool yes, bool quiet)
        : firstBottle_(firstBottle), yes_(yes), quiet_(quiet) {}

    // The first-bottle dialog's answer for the rosette the probe reported.
    std::optional<std::int32_t> FirstBottle(const TRosetteInfo& rosette) const;
    // The operator dialog shown for bottle (0: the waiting-time notice).
    void ShowOperatorDialog(TRTCast& cast, const std::string& label, int bottle);
    void BottleFired(int bottle, int status) const;
    // A line read from standard input; false when it is none of the firing lines.
    bool Line(TRTCast& cast, const std::string& line);

private:
    std::int32_t firstBottle_;
    bool yes_;
    bool quiet_;
    int dialogBottle_ = -1; // the bottle the operator dialog shows; -1: closed
};

} // namespace marevo::cli
