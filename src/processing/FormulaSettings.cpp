#include "processing/FormulaSettings.h"

#include "records/CastInfo.h"

#include "records/GenConfig.h"

namespace marevo {

TFormulaSettings FormulaSettingsOf(const TGenConfig& cfg, long double castLatitude) {
    TFormulaSettings s;
    s.TimeUnit = cfg.TimeUnit;
    s.CondUnit = cfg.CondUnit;
    s.SeaWaterDepth = cfg.salt_freshWaterFlag == 1;
    s.FreshWaterConversion = cfg.FreshWaterConversion.ToLongDouble();
    s.TotDisSolCoeff = cfg.TotDisSolCoeff.ToLongDouble();
    s.ThetaRefPress = cfg.ThetaRefPress.ToLongDouble();
    s.Latitude = IsKnownValue(castLatitude) ? castLatitude : NominalLatitude;
    return s;
}

} // namespace marevo
