#include "processing/ConfigAuto.h"

#include "foundation/DataArray.h"
#include "foundation/Guard.h"
#include "parameters/ParaNumbers.h"
#include "parameters/Parameter.h"
#include "processing/DerivedColumns.h"
#include "processing/ParaValueContext.h"
#include "processing/ParamCollection.h"
#include "records/CastInfo.h"
#include "records/Config.h"

#include <algorithm>
#include <map>

namespace marevo {

namespace {

// Parameters shown against one common range, so that sensors of one quantity compare at a glance.
int AutoFamily(std::int32_t number) {
    switch (number) {
    case 110:
    case 111:
    case 112:
    case 401:
    case 402: return 1; // temperatures
    case 120:
    case 121:
    case 122:
    case 399:
    case 599: return 2; // conductivities
    case 130:
    case 198:
    case 407: return 3; // oxygen
    case 140:
    case 221:
    case 440: return 4; // altimeters
    default: return 0;
    }
}

// The automatic range of a derived column, kept in its definition (where its plot entry reads
// its axis): computed from the column of the binned table as any parameter's.
void DerivedAuto(const TParamCollection& cast, std::int32_t number, const TParameter& axis,
                 bool AutoY, const TValueContext& ctx, TDerivedColumnCache* derived) {
    TParameter* definition = DerivedColumnDefinition(number);
    if (!definition || !axis.SortedBuffer || !DerivedColumnAvailable(cast, number))
        return;
    std::unique_ptr<TParameter> computed;
    const TParameter* source = nullptr;
    if (derived) {
        source = derived->Get(cast, number);
    } else {
        computed = ComputeDerivedColumn(cast, number);
        source = computed.get();
    }
    std::unique_ptr<TParameter> column = MakeDerivedParameter(number);
    if (!source || !source->SortedBuffer || !column)
        return;
    const TLinearArray& series = *source->SortedBuffer;
    // The series laid out as the axis's, so that the two are read side by side.
    TLinearArray values = *axis.SortedBuffer;
    for (int r = 0; r <= values.LastIndice; ++r)
        values.SetFVAt(r <= series.LastIndice ? series.Data()[r] : InvalidFV, r);
    *column->SortedBuffer = std::move(values);
    column->ParaGeneral = definition->ParaGeneral;
    column->ParaScale = definition->ParaScale;
    column->SetAuto(axis, AutoY, 0, ctx);
    definition->ParaScale.AutoScale = column->ParaScale.AutoScale;
    definition->ParaScale.AutoMin = column->ParaScale.AutoMin;
    definition->ParaScale.AutoMax = column->ParaScale.AutoMax;
}

} // namespace

bool ScanForAuto(const TConfig& config, TParamCollection& cast, bool AutoY, bool AutoX,
                 TDerivedColumnCache* derived) {
    return Guard({"Error in TConfig.ScanForAuto", "Configuration Plot"}, [&] {
        const TParaList& plot = config.GenCfg.ParaPlotList;
        const int n = std::clamp(plot.count, 0, MaxParaListCount);
        if (n < 1)
            return;
        TParameter* axis = cast.FindPara(plot.List[0]);
        if (!axis)
            return;
        const long double latitude =
            cast.Loaded.CastHeader ? cast.Loaded.CastHeader->latitude[0].ToLongDouble() : 0.0L;
        const TValueContext ctx =
            ValueContextOf(cast, config.GenCfg, config.DataValidation, latitude);
        axis->CalcUpdated(ctx);
        if (AutoY)
            axis->SetAuto(*axis, true, 0, ctx);
        if (!AutoX)
            return;
        std::map<int, const TParameter*> familyLead;
        for (int i = 1; i < n; ++i) {
            if (IsDerivedColumn(plot.List[i])) {
                DerivedAuto(cast, plot.List[i], *axis, AutoY, ctx, derived);
                continue;
            }
            TParameter* p = cast.FindPara(plot.List[i]);
            if (!p)
                continue;
            const int family = AutoFamily(p->GetParaNb());
            const auto lead = familyLead.find(family);
            if (family != 0 && lead != familyLead.end()) {
                p->ParaScale.AutoScale = 1;
                p->ParaScale.AutoMin = lead->second->ParaScale.AutoMin;
                p->ParaScale.AutoMax = lead->second->ParaScale.AutoMax;
                continue;
            }
            p->CalcUpdated(ctx);
            // Values count where the vertical axis shows them: its automatic range when that
            // is in use, else its manual one.
            p->SetAuto(*axis, AutoY, 0, ctx);
            if (family != 0)
                familyLead.emplace(family, p);
        }
    });
}

} // namespace marevo
