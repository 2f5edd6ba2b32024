#include "processing/OfflineFiltering.h"

#include "foundation/Guard.h"
#include "processing/Collections.h"
#include "processing/ParamCollection.h"
#include "records/Config.h"
#include "records/GenConfig.h"
#include "records/Settings.h"

#include <algorithm>

namespace marevo {

namespace {

TLinearArray* SeriesOf(const TParameter* p) {
    return p ? p->PostLinBuf.get() : nullptr;
}

TFlaggedValue ElementAt(const TLinearArray* series, std::int32_t k) {
    if (!series || k < 0 || k > series->LastIndice)
        return InvalidFV;
    return series->Data()[k];
}

int InputCount(const TParamCollection& col) {
    return std::min(col.FrameInfo.ExtCount, col.Count());
}

} // namespace

long double TOfflineFiltering::InitPressureOffsetFilter(std::int32_t maxindex) {
    const TLinearArray* pressure = SeriesOf(col_.Acqui.ParaPres);
    const TLinearArray* conductivity = SeriesOf(col_.Acqui.ParaCond);
    if (!pressure || !conductivity || maxindex < 0)
        return 0;
    const float threshold =
        static_cast<float>(col_.Gen().PressureOffsetFilterConductivityThreshold.ToDouble());
    for (std::int32_t k = 0; k <= maxindex; ++k) {
        const TFlaggedValue c = ElementAt(conductivity, k);
        if (c.Valid() && c.value > threshold)
            return ElementAt(pressure, k).value;
    }
    return 0;
}

void TOfflineFiltering::PressureOffsetFilter(float x) {
    if (col_.Gen().PressureOffsetFilterType != POF_Auto)
        return;
    TLinearArray* pressure = SeriesOf(col_.Acqui.ParaPres);
    const std::int32_t k = col_.Acqui.PostLBIndexO;
    const TFlaggedValue p = ElementAt(pressure, k);
    if (p.Valid())
        pressure->SetFVAt({p.value - x, 0}, k);
}

void TOfflineFiltering::FlagSample(std::int32_t k, bool keep) {
    const int inputs = InputCount(col_);
    if (keep && FlaggedDataDictionaryArray.size() < static_cast<std::size_t>(inputs))
        FlaggedDataDictionaryArray.resize(static_cast<std::size_t>(inputs));
    for (int i = 0; i < inputs; ++i) {
        TParameter* p = col_.Items(i);
        TLinearArray* series = p->PostLinBuf.get();
        if (!series || k < 0 || k > series->LastIndice)
            continue;
        const TFlaggedValue fv = series->Data()[k];
        const bool isPressure = p == col_.Acqui.ParaPres;
        // A sample flagged again keeps the element stored first: that one is unfiltered.
        if (keep)
            (isPressure ? FlaggedDataDictionary : FlaggedDataDictionaryArray[i]).emplace(k, fv);
        if (isPressure && fv.Valid())
            ++col_.Bin.OfflineFilteringError;
        series->SetFVAt({fv.value, 1}, k);
    }
}

bool TOfflineFiltering::WarmupFilter() {
    bool found = false;
    Guard({"Error in TParamCollection.WarmupFilter"}, [&] {
        const TDataValidation& dv = col_.Cfg().DataValidation;
        if (!dv.WarmupFilterEnable)
            return;
        const TLinearArray* pressure = SeriesOf(col_.Acqui.ParaPres);
        const std::int32_t k = col_.Acqui.PostLBIndexO;
        const TFlaggedValue p = ElementAt(pressure, k);
        if (!p.Valid() || col_.Acqui.S_direction != DirectionDown ||
            !(p.value > dv.WarmupFilterThreshold))
            return;
        found = true;
        std::int32_t i = k;
        while (i >= 0 && ElementAt(pressure, i).value > dv.WarmupFilterMinPressure)
            --i;
        for (; i >= 0; --i)
            FlagSample(i, false);
    });
    return found;
}

void TOfflineFiltering::InitWaveFilter() {
    WaveFilterLastValidPressure = 0;
    WaveFilterThresholdIsOver = false;
    LastValidIndex = 0;
    FlaggedDataDictionary.clear();
    FlaggedDataDictionaryArray.assign(static_cast<std::size_t>(InputCount(col_)), {});
    IsDirectionDown = true;
    IsDirectionup = false;
}

void TOfflineFiltering::EndWaveFilter() {
    FlaggedDataDictionary.clear();
    FlaggedDataDictionaryArray.clear();
    FlaggedDataDictionaryArray.shrink_to_fit();
}

float TOfflineFiltering::Threshold() const {
    return col_.Cfg().DataValidation.WaveFilterThreshold;
}

void TOfflineFiltering::RestoreSamples(std::int32_t from, std::int32_t to) {
    const int inputs = InputCount(col_);
    const auto giveBack = [&](std::map<std::int32_t, TFlaggedValue>& stored, TParameter* p,
                              bool isPressure) {
        TLinearArray* series = p ? p->PostLinBuf.get() : nullptr;
        auto it = stored.lower_bound(from);
        while (it != stored.end() && it->first <= to) {
            if (series && it->first <= series->LastIndice) {
                series->SetFVAt(it->second, it->first);
                if (isPressure && it->second.Valid())
                    --col_.Bin.OfflineFilteringError;
            }
            // Given back once: a later loop stores the element anew if it flags it again.
            it = stored.erase(it);
        }
    };
    giveBack(FlaggedDataDictionary, col_.Acqui.ParaPres, true);
    for (int i = 0; i < inputs && i < static_cast<int>(FlaggedDataDictionaryArray.size()); ++i)
        if (col_.Items(i) != col_.Acqui.ParaPres)
            giveBack(FlaggedDataDictionaryArray[i], col_.Items(i), false);
}

void TOfflineFiltering::Evaluate(std::int32_t j, bool down) {
    const TFlaggedValue p = ElementAt(SeriesOf(col_.Acqui.ParaPres), j);
    if (!p.Valid())
        return;
    const float L = WaveFilterLastValidPressure;
    const float T = Threshold();
    if (down ? p.value >= L : p.value <= L) {
        WaveFilterLastValidPressure = p.value;
        LastValidIndex = j;
        WaveFilterThresholdIsOver = false;
    } else if (WaveFilterThresholdIsOver) {
        FlagSample(j, true);
    } else if (down ? p.value < L - T : p.value > L + T) {
        WaveFilterThresholdIsOver = true;
        for (std::int32_t i = j; i > LastValidIndex; --i)
            FlagSample(i, true);
    }
}

void TOfflineFiltering::WaveFilter() {
    Guard({"Error in TParamCollection.WaveFilter"}, [&] {
        if (!col_.Cfg().DataValidation.WaveFilterEnable)
            return;
        const std::int32_t k = col_.Acqui.PostLBIndexO;
        if (!ElementAt(SeriesOf(col_.Acqui.ParaPres), k).Valid())
            return;
        const bool down = col_.Acqui.S_direction == DirectionDown;
        bool& now = down ? IsDirectionDown : IsDirectionup;
        bool& before = down ? IsDirectionup : IsDirectionDown;
        now = true;
        if (!before) {
            Evaluate(k, down);
            return;
        }
        // The profile turned: the loop flagged since the last accepted sample belongs to the new
        // direction. Give it back and judge it again from that sample on.
        before = false;
        WaveFilterThresholdIsOver = false;
        RestoreSamples(LastValidIndex + 1, k);
        for (std::int32_t j = LastValidIndex; j < k; ++j)
            Evaluate(j, down);
        WaveFilterThresholdIsOver = false;
    });
}

} // namespace marevo
