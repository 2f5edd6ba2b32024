#include "FireCommands.h"

#include "acquisition/FiringCast.h"
#include "acquisition/RTCast.h"
#include "foundation/BottleStatus.h"
#include "processing/ParamCollection.h"
#include "records/Settings.h"
#include "storage/CruiseFile.h"

#include <fmt/core.h>

#include <sstream>

namespace marevo::cli {

std::optional<std::int32_t> TConsoleFiring::FirstBottle(const TRosetteInfo& rosette) const {
    if (firstBottle_ <= 0)
        return std::nullopt;
    const TFirstBottleContent content = FirstBottleContent(rosette);
    for (const std::string& item : content.installed)
        if (InstalledItemNumber(item) == firstBottle_)
            return firstBottle_;
    fmt::print(stderr, "marevo-cli: position {} is not an installed bottle; no rosette\n",
               firstBottle_);
    return std::nullopt;
}

void TConsoleFiring::ShowOperatorDialog(TRTCast& cast, const std::string& label, int bottle) {
    fmt::print("Firing Bottle: {}\n", label);
    std::fflush(stdout);
    dialogBottle_ = bottle;
    if (yes_ && cast.Firing()) {
        cast.Firing()->PostConfirm(bottle);
        dialogBottle_ = -1;
    }
}

void TConsoleFiring::BottleFired(int bottle, int status) const {
    fmt::print("bottle {}: {}\n", bottle, BottleStatusName(status));
    std::fflush(stdout);
}

bool TConsoleFiring::Line(TRTCast& cast, const std::string& line) {
    std::istringstream words(line);
    std::string verb, second;
    words >> verb;
    if (verb == "confirm") {
        if (cast.Firing() && dialogBottle_ >= 0) {
            cast.Firing()->PostConfirm(dialogBottle_);
            dialogBottle_ = -1;
        } else {
            fmt::print("no firing awaits confirmation\n");
        }
        return true;
    }
    if (verb != "fire")
        return false;
    bool again = false;
    int bottle = 0;
    if (words >> second) {
        if (second == "again") {
            again = true;
            words >> bottle;
        } else {
            bottle = std::atoi(second.c_str());
        }
    }
    TBottleFiring* firing = cast.Firing();
    const TManualRequest r =
        ManualFireRequest(firing != nullptr, firing && firing->Firing(), again, bottle,
                          Config().Rosette,
                          BottlesOf(cast.Running() ? &cast.Cruise().CastInfoc.Bottles : nullptr));
    switch (r.action) {
    case TManualAction::Beep: fmt::print("a bottle is being fired: request refused\n"); break;
    case TManualAction::Release: fmt::print("no rosette in this cast\n"); break;
    case TManualAction::Ask:
        // The line typed is the operator's OK.
        fmt::print("{} -> OK\n", r.question);
        if (r.bottle > 0 || !PositionalRosette(Config().Rosette.RosetteType))
            firing->PostRequest(again, r.bottle);
        else
            fmt::print("no free bottle position\n");
        break;
    }
    std::fflush(stdout);
    return true;
}

} // namespace marevo::cli
