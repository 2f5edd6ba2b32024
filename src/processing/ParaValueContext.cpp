#include "processing/ParaValueContext.h"

#include "processing/FormulaSettings.h"
#include "processing/ParamCollection.h"
#include "records/Config.h"
#include "records/GenConfig.h"

namespace marevo {

TValueContext ValueContextOf(const TParamCollection& col, const TGenConfig& gen,
                             const TDataValidation& validation, long double castLatitude) {
    TValueContext ctx;
    ctx.PostLBIndexO = col.Acqui.PostLBIndexO;
    ctx.MaxIndex = col.Bin.SortInfo.MaxIndex;
    ctx.RawIndex = col.Acqui.RawIndex;
    ctx.RingIndex = col.Acqui.InputCBIndexI;
    ctx.TimeBase = col.Acqui.ParaTims;
    ctx.SpeedLow = col.Acqui.C_SpeedLow;
    ctx.WinchSpeed = col.Acqui.C_WinchSpeed;
    ctx.UseNmea = col.FrameInfo.UseNmea;
    ctx.UseExtPara = col.FrameInfo.UseExtPara;
    ctx.ValidateLimits = validation.ValidateLimits != 0;
    ctx.Formula = FormulaSettingsOf(gen, castLatitude);
    ctx.FirstFilterType = static_cast<TSmoothType>(gen.firstFilterType);
    ctx.FirstFilterSamples = gen.firstFilterSamplesNumber;
    ctx.FirstFilterCutoffFactor = gen.firstFilterCutoffPeriodFactor;
    return ctx;
}

} // namespace marevo
