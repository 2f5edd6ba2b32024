// Vertical, time and scan binning of the cast collection's post-processed series into the binned
// series (SortedBuffer) of its input parameters: the set-up of a pass, the per-sample and
// end-of-cast dispatch, the scan ("Step") mode and the table look-ups of the plot cursor. The bin
// arithmetic itself is TBinner's (Binner.cpp).

#include "foundation/DateTime.h"
#include "foundation/Guard.h"
#include "foundation/Runtime.h"
#include "processing/Binner.h"
#include "processing/Collections.h"
#include "processing/ParamCollection.h"
#include "records/CastInfo.h"
#include "records/Config.h"
#include "records/GenConfig.h"
#include "records/Settings.h"

#include <algorithm>

namespace marevo {

namespace {

// Runs one member of the binning family on the sample at PostLBIndexO, or (end) closes its bin.
void RunBinner(TParamCollection& col, TBinAxis axis, TBinMethod method, bool end,
               const TGuardSite& site) {
    Guard(site, [&] {
        TBinner binner(col, axis, method);
        if (end)
            binner.End();
        else
            binner.Sample();
    });
}

} // namespace

void TParamCollection::SetSortInfo() {
    Guard({"Error in TParamCollection.SetSortInfo", "Data extraction setup"}, [&] {
        ResetArrayForSortingWithInterpolateProcedures();
        Reset();
        const TAcquiCfg& cfg = Cfg().AcquiCfg;
        TSortInfo& s = Bin.SortInfo;
        s.SortType = cfg.AcquiMode;
        s.VerticalUnit = cfg.VertUnit;
        s.SAllStep = cfg.AllStep;
        s.SAllMax = cfg.AllMax;
        s.SAllStart = cfg.AllStart;
        s.SAllMeanNb = cfg.AllMeanNb;
        s.SPresDelta = cfg.VertStep;
        s.STimeDelta = cfg.TimeStep;
        s.STimeOffset = cfg.TimeFirst;
        s.SPresOffset = cfg.VertFirst;
        s.STrigPres = cfg.TrigPres;
        s.STrigCond = cfg.TrigCond;

        const TDateTime today = DateOf(Clock().Now());
        s.STrigStart = today + TimeOf(cfg.TimeStart);
        s.STrigEnd = today + TimeOf(cfg.TimeEnd);
        if (s.STrigEnd < s.STrigStart)
            s.STrigEnd += 1.0;

        ResetExtractFlags();
        std::fill(std::begin(Bin.I_MeanSum), std::end(Bin.I_MeanSum), ZeroFV);
        std::fill(std::begin(Bin.I_MeanNb), std::end(Bin.I_MeanNb), 0);
        std::fill(std::begin(Bin.I_MeanSumX), std::end(Bin.I_MeanSumX), 0.0L);

        long double half = 0;
        if (s.SortType == AM_Time) {
            Bin.I_Center = s.STimeOffset;
            half = cfg.TimeMean ? cfg.TimeMeanItv / 2 : s.STimeDelta / 2;
        } else {
            Bin.I_Center = s.SPresOffset.ToLongDouble();
            half =
                cfg.VertMean ? cfg.VertMeanItv.ToLongDouble() / 2 : s.SPresDelta.ToLongDouble() / 2;
        }
        Bin.I_Low = Bin.I_Center - half;
        Bin.I_High = Bin.I_Center + half;

        if (Loaded.CastHeader && Loaded.CastHeader->RawMode == rm_timed &&
            Loaded.CastHeader->ScanRate.ToLongDouble() > 0) {
            Acqui.C_InvScanRate = 1 / Loaded.CastHeader->ScanRate.ToLongDouble();
            Acqui.C_ScanRateKnown = true;
        }

        Acqui.S_RTStatus = rt_starting;
        if (Acqui.ProbeOnLine && cfg.AutoStart != SM_Manual) {
            Acqui.S_RTStatus = rt_wait;
            if (cfg.AutoStart == SM_TimeStart && Loaded.CastHeader)
                Loaded.CastHeader->CastTime.fill(cfg.TimeStart);
        }

        // The computed parameters and the smoothed copies follow the binned rows; a new pass
        // rewrites those rows from the first, so what was derived from the old ones goes.
        for (int i = 0; i < Count(); ++i) {
            TParameter& p = *Items(i);
            if (i >= FrameInfo.ExtCount && p.SortedBuffer)
                p.SortedBuffer->Clear();
            const TSmoothType smoothing = p.ParaSmooth.SmoothType;
            if (p.SmoothBuffer && (smoothing == Smo_Mean || smoothing == Smo_LP1stOrder))
                p.SmoothBuffer->Clear();
        }

        // A step that is no positive number would never close a bin.
        if (s.SortType == AM_Pressure && !(s.SPresDelta.ToLongDouble() > 0))
            Raise("the vertical step must be greater than 0");
        if (s.SortType == AM_Time && !(s.STimeDelta > 0))
            Raise("the time step must be greater than 0");
    });
}

void TParamCollection::ResetArrayForSortingWithInterpolateProcedures() {
    std::fill(std::begin(Bin.I_Ends), std::end(Bin.I_Ends), TBinEnds{});
    Bin.I_FirstLoFlag = Bin.I_LastLoFlag = Bin.I_FirstHiFlag = Bin.I_LastHiFlag = false;
    Bin.I_LastSortedIndex = -1;
}

void TParamCollection::ResetExtractFlags() {
    Bin.I_FirstInIndex = Bin.I_LastInIndex = Bin.I_FirstLoIndex = Bin.I_LastLoIndex =
        Bin.I_FirstHiIndex = Bin.I_LastHiIndex = -111;
    Bin.I_FirstInFlag = Bin.I_LastInFlag = Bin.I_FirstLoFlag = Bin.I_LastLoFlag =
        Bin.I_FirstHiFlag = Bin.I_LastHiFlag = false;
}

// ---- The vertical family and time binning -----------------------------------------------------

void TParamCollection::SortPressureAverage() {
    RunBinner(*this, TBinAxis::Pressure, TBinMethod::Average, false,
              {"Error in TParamCollection.SortPressureAverage", "Pressure extraction "});
}

void TParamCollection::SortPressureAverageEnd() {
    RunBinner(*this, TBinAxis::Pressure, TBinMethod::Average, true,
              {"Error in TParamCollection.SortPressureAverageEnd", "Pressure extraction"});
}

void TParamCollection::SortPressureInterpolate() {
    RunBinner(*this, TBinAxis::Pressure, TBinMethod::Interpolate, false,
              {"Error in TParamCollection.SortPressureInterpolate", "Pressure extraction"});
}

void TParamCollection::SortPressureInterpolateEnd() {
    RunBinner(*this, TBinAxis::Pressure, TBinMethod::Interpolate, true,
              {"Error in TParamCollection.SortPressureInterpolateEnd", "Pressure extraction"});
}

void TParamCollection::SortDepthAverage() {
    RunBinner(*this, TBinAxis::Depth, TBinMethod::Average, false,
              {"Error in TParamCollection.SortDepthAverage", "Depth extraction "});
}

void TParamCollection::SortDepthAverageEnd() {
    RunBinner(*this, TBinAxis::Depth, TBinMethod::Average, true,
              {"Error in TParamCollection.SortDepthAverageEnd", "Depth extraction"});
}

void TParamCollection::SortDepthInterpolate() {
    RunBinner(*this, TBinAxis::Depth, TBinMethod::Interpolate, false,
              {"Error in TParamCollection.SortDepthInterpolate", "Depth extraction"});
}

void TParamCollection::SortDepthInterpolateEnd() {
    RunBinner(*this, TBinAxis::Depth, TBinMethod::Interpolate, true,
              {"Error in TParamCollection.SortDepthInterpolateEnd", "Depth extraction"});
}

void TParamCollection::SortTimeAverage() {
    RunBinner(*this, TBinAxis::Time, TBinMethod::Average, false,
              {"Error in TParamCollection.SortTimeAverage", "Average"});
}

void TParamCollection::SortTimeInterpolate() {
    RunBinner(*this, TBinAxis::Time, TBinMethod::Interpolate, false,
              {"Error in TParamCollection.SortTimeInterpolate", "Time extraction"});
}

TFlaggedValue TParamCollection::Interpolate(long double x, long double x1, long double x2,
                                            long double y1, long double y2) {
    if (x1 > x2)
        x2 = x1;
    const long double d = x2 - x1;
    const long double slope = d == 0 ? 0 : (y2 - y1) / d;
    return {static_cast<float>(y1 + slope * (x - x1)), 0};
}

// ---- Dispatch ---------------------------------------------------------------------------------

void TParamCollection::Sort() {
    Guard({"Error in TParamCollection.Sort", "Data extraction"}, [&] {
        const bool vertMean = Cfg().AcquiCfg.VertMean != 0;
        switch (Bin.SortInfo.SortType) {
        case AM_Pressure: {
            const int k = Acqui.PostLBIndexO;
            const TFlaggedValue pres =
                BinElement(Acqui.ParaPres ? Acqui.ParaPres->PostLinBuf.get() : nullptr, k);
            // The start of a cast can be left out of the table: samples before StartTimeExtr
            // seconds of the time counter are not binned.
            const std::int32_t startTime = Loaded.CastHeader ? Loaded.CastHeader->StartTimeExtr : 0;
            const TFlaggedValue time =
                BinElement(Acqui.ParaTims ? Acqui.ParaTims->PostLinBuf.get() : nullptr, k);
            if (!pres.Valid() || time.value < startTime)
                break;
            if (Bin.SortInfo.VerticalUnit == vu_meter)
                vertMean ? SortDepthAverage() : SortDepthInterpolate();
            else
                vertMean ? SortPressureAverage() : SortPressureInterpolate();
            break;
        }
        case AM_Time: Cfg().AcquiCfg.TimeMean ? SortTimeAverage() : SortTimeInterpolate(); break;
        default: break;
        }
        if (Loaded.CastHeader)
            Loaded.CastHeader->ExtractNb = Bin.SortInfo.MaxIndex;
    });
}

void TParamCollection::SortEnd() {
    Guard({"Error in TParamCollection.SortEnd", "Data extraction"}, [&] {
        // The bin in progress holds only samples that were accepted when they came, so it is
        // closed whatever the last sample was: a flagged last frame must not lose the last bin.
        if (Bin.SortInfo.SortType == AM_Pressure) {
            const bool vertMean = Cfg().AcquiCfg.VertMean != 0;
            if (Bin.SortInfo.VerticalUnit == vu_meter)
                vertMean ? SortDepthAverageEnd() : SortDepthInterpolateEnd();
            else
                vertMean ? SortPressureAverageEnd() : SortPressureInterpolateEnd();
        }
        if (Loaded.CastHeader)
            Loaded.CastHeader->ExtractNb = Bin.SortInfo.MaxIndex;
    });
}

// ---- Scan ("Step") mode -----------------------------------------------------------------------

void TParamCollection::SortAll() {
    Guard({"Error in TParamCollection.SortAll", "Data extraction"}, [&] {
        TSortInfo& s = Bin.SortInfo;
        const std::int32_t n = Acqui.RawIndex;
        if (!Acqui.ProbeOnLine && (s.MaxIndex >= s.SAllMax - 1 || n < s.SAllStart))
            return;
        if (Loaded.CastHeader)
            Loaded.CastHeader->ExtractNb = s.MaxIndex;

        const int inputs = std::clamp(std::min(FrameInfo.ExtCount, Count()), 0, 33);
        for (int i = 0; i < inputs; ++i)
            if (!Items(i)->SortedBuffer)
                Raise("no binned series for " + Items(i)->GetParaStr());

        // Frame that closes the next row and the frame after which its accumulation starts. A
        // live cast makes a row of every frame it records, counted from the first one binned
        // (frames shown while waiting for the start are not rows).
        long long end = n, start = n - 1;
        if (!Acqui.ProbeOnLine) {
            const long long step = std::max(s.SAllStep, 1);
            const long long meanNb = std::max(s.SAllMeanNb, 1);
            end = (static_cast<long long>(s.MaxIndex) + 1) * step + step + s.SAllStart - 1;
            start = end - meanNb;
        }

        const int k = Acqui.PostLBIndexO;
        if (n > start) {
            // Flagged samples enter the mean and mark the row.
            for (int i = 0; i < inputs; ++i) {
                const TFlaggedValue fv = BinElement(Items(i)->PostLinBuf.get(), k);
                ++Bin.I_MeanNb[i];
                Bin.I_MeanSum[i].value += fv.value;
                Bin.I_MeanSum[i].flag |= fv.flag;
                Bin.I_MeanSumX[i] += fv.value;
            }
        }
        if (n == end) {
            const std::int32_t row = s.MaxIndex + 1;
            if (row > MaxFVIndex)
                Raise("the binned table is full");
            bool flagged = false;
            for (int i = 0; i < inputs; ++i) {
                const TFlaggedValue fv =
                    Bin.I_MeanNb[i] >= 1
                        ? TFlaggedValue{static_cast<float>(Bin.I_MeanSumX[i] / Bin.I_MeanNb[i]),
                                        Bin.I_MeanSum[i].flag}
                        : InvalidFV;
                Items(i)->SortedBuffer->AddFVAt(fv, row);
                flagged = flagged || !fv.Valid();
            }
            if (flagged)
                ++Bin.SortingExtractionError;
            std::fill(std::begin(Bin.I_MeanSum), std::end(Bin.I_MeanSum), ZeroFV);
            std::fill(std::begin(Bin.I_MeanNb), std::end(Bin.I_MeanNb), 0);
            std::fill(std::begin(Bin.I_MeanSumX), std::end(Bin.I_MeanSumX), 0.0L);
            s.MaxIndex = row;
        }

        const TFlaggedValue pres = BinElement(
            Items(FrameInfo.PresPos) ? Items(FrameInfo.PresPos)->PostLinBuf.get() : nullptr, k);
        if (pres.Valid() && pres.value >= s.MaxDownPres.ToLongDouble()) {
            s.MaxDownPres = TExtended::FromLongDouble(pres.value);
            s.MaxDownIndex = s.MaxIndex;
        }
    });
}

// ---- Table look-ups for the plot cursor -------------------------------------------------------

namespace {

// The binned series of the plot's vertical axis, with whether it is time; null for an axis the
// look-ups do not serve.
const TLinearArray* AxisRows(const TParamCollection& col, bool& isTime) {
    const TGenConfig& gen = col.Gen();
    if (gen.ParaPlotList.count < 1)
        return nullptr;
    const std::int32_t nb = gen.ParaPlotList.List[0];
    if (nb != 101 && nb != 403 && nb != 400)
        return nullptr;
    isTime = nb == 400;
    const TParameter* axis = col.FindPara(nb);
    return axis ? axis->SortedBuffer.get() : nullptr;
}

} // namespace

std::int32_t TParamCollection::GetDownIndex(long double y) const {
    return GuardOr({"Error in TParamCollection.GetDownIndex"}, std::int32_t{0}, [&] {
        bool isTime = false;
        const TLinearArray* rows = AxisRows(*this, isTime);
        if (!rows)
            return std::int32_t{0};
        std::int32_t limit = Bin.SortInfo.MaxDownIndex;
        if (isTime && Gen().Direction != Direction_Down)
            limit = Bin.SortInfo.MaxIndex;
        limit = std::max(limit, 0);
        std::int32_t index = 0;
        while (index < limit && y > BinElement(rows, index).value)
            ++index;
        return index;
    });
}

std::int32_t TParamCollection::GetUpIndex(long double y) const {
    return GuardOr({"Error in TParamCollection.GetUpIndex"}, std::int32_t{0}, [&] {
        bool isTime = false;
        const TLinearArray* rows = AxisRows(*this, isTime);
        if (!rows || Bin.SortInfo.MaxDownIndex - 1 <= 0)
            return std::int32_t{0};
        std::int32_t index = Bin.SortInfo.MaxDownIndex - 1;
        while (index < Bin.SortInfo.MaxIndex) {
            const float v = BinElement(rows, index).value;
            if (isTime ? !(y > v) : !(y < v))
                break;
            ++index;
        }
        return index;
    });
}

} // namespace marevo
