#include "processing/ParaValueContext.h"

#include "processing/FormulaSettings.h"
#include "processing/ParamCollection.h"
#include "records/Config.h"
#include "records/GenConfig.h"

namespace marevo {

TValueContext ValueContextOf(const TParamCollection& col, const TGenConfig& gen,
                             const TDataValidation& validation, long double castLatitude) {
    TValueContext ctx;
    ctx.PostLBIndexO = col.PostLBIndexO;
    ctx.MaxIndex = col.SortInfo.MaxIndex;
    ctx.RawIndex = col.RawIndex;
    ctx.RingIndex = col.InputCBIndexI;
    ctx.TimeBase = col.ParaTims;
    ctx.SpeedLow = col.C_SpeedLow;
    ctx.WinchSpeed = col.C_WinchSpeed;
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
