#include "records/GenConfig.h"

#include "foundation/Guard.h"
#include "parameters/ParaNumbers.h"

namespace marevo {

namespace {

// Decimal settings are the extended value nearest to the decimal, as a compiler working in
// extended precision stores the constant, not the widened double.
TExtended Ext(long double value) {
    return TExtended::FromLongDouble(value);
}

} // namespace

void SetParaListNumbers(TParaList& list, std::initializer_list<std::int32_t> numbers) {
    if (numbers.size() > MaxParaListCount)
        Raise("SetParaListNumbers: more than " + std::to_string(MaxParaListCount) + " parameters");
    int i = 0;
    for (std::int32_t number : numbers)
        list.List[i++] = number;
    list.count = i;
}

void SetGenConfigDefaults(TGenConfig& cfg) {
    // 400 time, 401 temperature, 599 conductivity, 100 probe time counter, 101 pressure,
    // 404 salinity, 407 oxygen, 501 bottle status.
    SetParaListNumbers(cfg.ParaPlotList, {TimePara, TemperaturePara, ConductivityPara});
    SetParaListNumbers(cfg.CurParaList, {TimeCounterPara, PressurePara, TemperaturePara,
                                         ConductivityPara, SalinityPara, OxygenPercentPara});
    SetParaListNumbers(cfg.BottleParaList, {BottleStatusPara, PressurePara, TemperaturePara});

    cfg.ValueMode = vm_scroll;
    cfg.CursorOn = 0;
    cfg.FileType = 2; // binary cast file
    cfg.Direction = Direction_Both;
    cfg.DrawBottles = 0;
    cfg.DrawSmooth = 0;
    cfg.DrawAutoX = 0;
    cfg.DrawAutoY = 0;
    cfg.TimeUnit = 0;  // second
    cfg.CondUnit = 1;  // mS/cm
    cfg.PosFormat = 0; // degree

    cfg.DupTempNb = 0;
    cfg.DupCondNb = 0;
    cfg.DupOxyNb = 0;
    cfg.DupAltimNb = 0;
    cfg.CruiseName.Set("qvtst");

    for (std::uint8_t& checked : cfg.AlarmChecked)
        checked = 0;
    cfg.AlarmLimit[0] = Ext(25.0L);  // altimeter, m
    cfg.AlarmLimit[1] = Ext(2.0L);   // down, dbar
    cfg.AlarmLimit[2] = Ext(20.0L);  // up, dbar
    cfg.AlarmLimit[3] = Ext(200.0L); // time
    cfg.AlarmLimit[5] = Ext(50.0L);  // vessel depth minus, m

    cfg.CondPTEffect = 1;
    cfg.PressureTEffect = 1;
    cfg.CondLagEffect = 1;
    cfg.TimeLagCompensationOffset = Ext(0.10438027L);
    cfg.TimeLagCompensationSlope = Ext(0.087383251L);
    cfg.CondForcedFlow = 0;
    cfg.FlowRate = Ext(0.2L);
    cfg.ManualLagCompensation = 0;
    cfg.EdTimeLag = Ext(5.0L);
    cfg.ThetaRefPress = Ext(0.0L);

    cfg.firstFilterType = 0; // none
    cfg.firstFilterSamplesNumber = 10;
    cfg.firstFilterCutoffPeriodFactor = 4;

    cfg.FreshWaterConversion = Ext(1.019716L);
    cfg.salt_freshWaterFlag = 1;
    cfg.TotDisSolCoeff = Ext(0.65L);
    cfg.TempPTEffect = 0;
    cfg.ThermCompensation = Ext(-7e-07L);

    cfg.CurrentCTDSpeedWeight = 50;
    cfg.CurrentScanRateWeight = 50;
    cfg.PressureOffsetFilterType = POF_None;
    cfg.PressureOffsetFilterConductivityThreshold = Ext(0.1L);
}

} // namespace marevo
