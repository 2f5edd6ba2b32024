// The per-frame steps of the cast collection's pipeline: taking a frame in, validating it,
// post-processing it, and the limits and binning of the recorded sample. Nothing here allocates
// once the buffers exist: the rings have their slots and the series grow by their increment.

#include "foundation/Guard.h"
#include "processing/Collections.h"
#include "processing/ParaValueContext.h"
#include "processing/ParamCollection.h"
#include "records/CastInfo.h"
#include "records/Config.h"
#include "records/GenConfig.h"
#include "records/Settings.h"

#include <cmath>
#include <cstdlib>

namespace marevo {

namespace {

// Parameters that take a value from each frame (or from the values appended to it).
bool TakesFrameValue(const TParameter& p) {
    switch (p.ParaType()) {
    case Pt_Tims:
    case pt_Speed:
    case pt_WinchSpeed:
    case Pt_header:
    case Pt_Nmea:
    case Pt_Ext: return true;
    default: return p.ParaFrame.IsFrame != 0;
    }
}

// Position of the sensor chosen among duplicates; -1 when the choice is "none" or out of range.
std::int32_t ChosenPos(const std::int32_t* positions, int count, std::int32_t choice) {
    const std::int32_t slot = choice + 1;
    return slot >= 1 && slot < count ? positions[slot] : -1;
}

} // namespace

TValueContext TParamCollection::FrameValueContext() const {
    const long double latitude =
        Loaded.CastHeader ? Loaded.CastHeader->latitude[0].ToLongDouble() : 0.0L;
    TValueContext ctx = ValueContextOf(*this, Gen(), Cfg().DataValidation, latitude);
    ctx.UpdateText = false;
    return ctx;
}

bool TParamCollection::DoAcqui(IFrameSource& source) {
    frameSource_ = &source;
    bool newFrame = false;
    const bool ok = Guard({"Error in TParamCollection.DoAcqui", "Data acquisition"}, [&] {
        if (!source.GetNewFrame())
            return;
        newFrame = true;
        ++Acqui.RawIndex;
        LoadRawInputCB();
        if (Acqui.S_RTStatus == rt_starting)
            Acqui.S_RTStatus = rt_run;
        // A cast recorded in the probe's memory and taken data set by data set is not validated.
        const bool memoryCast = Bin.SortInfo.SortType == AM_All && Loaded.CastHeader &&
                                Loaded.CastHeader->RawMode != rm_RealTime;
        if (!memoryCast)
            ValidateFrame();
        PostProcessing();
        SetCurrentState();
        SetBottleState();
        if (!Acqui.ProbeOnLine || Acqui.S_RTStatus == rt_run) {
            if (Cfg().DataValidation.ValidateLimits)
                ManageValidateLimits();
            ManageSortingData();
        }
    });
    return ok && newFrame;
}

void TParamCollection::LoadRawInputCB() {
    Guard({"Error in TParamCollection.LoadRawInputCB", "Raw file read - end import"}, [&] {
        AddCBPointers(Acqui.InputCBIndexI, 1);
        Acqui.InputCBIndexO = Acqui.InputCBIndexI;
        const std::int32_t slot = Acqui.InputCBIndexI;
        const int inputs = std::min(FrameInfo.ExtCount, Count());
        for (int i = 0; i < inputs; ++i) {
            const TParameter* p = Items(i);
            if (!p->InCyBuf || !p->RawInCyBuf)
                Raise("the input rings of " + p->GetParaStr() + " do not exist");
        }
        // The slot now holds this frame: whatever of it is not decoded (an input without a frame
        // value, or every input after a failure) is invalid rather than the values of the frame
        // that used the slot before.
        int decoded = 0;
        const auto invalidateFrom = [&](int first) {
            for (int i = first; i < inputs; ++i) {
                Items(i)->RawInCyBuf->AddFVAt(InvalidFV, slot);
                Items(i)->InCyBuf->AddFVAt(InvalidFV, slot);
            }
        };
        try {
            if (!frameSource_)
                Raise("there is no data source");
            const std::span<const std::uint8_t> frame = frameSource_->Frame();
            const TDecodeContext decode = DecodeContext();
            const bool firstFilter = ProbeInfo.Protocol > 5;
            TValueContext filterCtx;
            if (firstFilter)
                filterCtx = FrameValueContext();
            for (; decoded < inputs; ++decoded) {
                TParameter* p = Items(decoded);
                if (!TakesFrameValue(*p)) {
                    p->RawInCyBuf->AddFVAt(InvalidFV, slot);
                    p->InCyBuf->AddFVAt(InvalidFV, slot);
                    continue;
                }
                if (!p->ParaDecode(frame, decode))
                    Raise("the frame head could not be decoded (frame " +
                          std::to_string(Acqui.RawIndex) + ")");
                p->ParaCalibrate(decode);
                p->RawInCyBuf->AddFVAt(p->Calibrated, slot);
                p->InCyBuf->AddFVAt(p->Calibrated, slot);
                if (firstFilter && p->ParaType() == Pt_Raw)
                    p->ParaFirstFilter(filterCtx);
            }
        } catch (...) {
            invalidateFrom(decoded);
            throw;
        }
    });
}

void TParamCollection::ValidateFrame() {
    Guard({"ParamCollection.ValidateFrame error", "Probe data stream. End acquisition"}, [&] {
        if (Acqui.S_RTStatus == rt_wait)
            return;
        const std::int32_t slot = Acqui.InputCBIndexI;
        const TDataValidation& dv = Cfg().DataValidation;
        bool timeOk = true;
        bool presOk = true;
        // The first frame of a cast has no step to check: the slots before it hold no frame of
        // this cast, and a first frame rejected for that would keep a replayed cast from ever
        // starting its clock.
        if (Acqui.RawIndex > dv.datasetCount && Acqui.RawIndex > 1) {
            // The step to the frame before, or to the one before that when it is flagged.
            const auto step = [&](const TParameter* p, double& now, double& before) {
                const TCyclicArray& ring = *p->InCyBuf;
                const TFlaggedValue previous = ring.AtFV(slot - 1);
                now = ring.AtFV(slot).value;
                before = previous.Valid() ? previous.value : ring.AtFV(slot - 2).value;
            };
            if (Acqui.ParaTims && Acqui.ParaTims->InCyBuf) {
                double t0 = 0, t1 = 0;
                step(Acqui.ParaTims, t0, t1);
                const double d = t0 - t1;
                timeOk = dv.minTimeInterval < d && d < dv.maxTimeInterval;
            }
            if (Acqui.ParaPres && Acqui.ParaPres->InCyBuf) {
                double p0 = 0, q = 0;
                step(Acqui.ParaPres, p0, q);
                const double absoMax = Acqui.ParaPres->ParaGeneral.AbsoMax.ToDouble();
                presOk = std::fabs(p0 - q) < dv.maxPresInterval && p0 < absoMax && q < absoMax;
            }
        }
        Acqui.InputCBIndexO = slot;
        if (timeOk && presOk)
            return;
        const int inputs = std::min(FrameInfo.ExtCount, Count());
        for (int i = 0; i < inputs; ++i)
            if (TCyclicArray* ring = Items(i)->InCyBuf.get())
                ring->AtModifyFV(slot, {ring->AtFV(slot).value, 1});
        ++Acqui.ValidateError;
    });
}

TFlaggedValue TParamCollection::PTCorrectTemperature(TFlaggedValue P, TFlaggedValue T) const {
    if (!P.Valid() || !T.Valid())
        return InvalidFV;
    if (P.value < -20 || P.value > 20000 || T.value < -15 || T.value > 150)
        return InvalidFV;
    const long double x = Gen().ThermCompensation.ToLongDouble();
    if (x == 0)
        return T;
    return {static_cast<float>(T.value * (P.value * x + 1)), 0};
}

TFlaggedValue TParamCollection::PTCorrectConductivity(TFlaggedValue P, TFlaggedValue T,
                                                      TFlaggedValue C) const {
    if (!P.Valid() || !T.Valid() || !C.Valid())
        return InvalidFV;
    if (P.value < -20 || P.value > 20000 || T.value < -15 || T.value > 150 || C.value < -10 ||
        C.value > 1000)
        return InvalidFV;
    const std::int32_t condPos =
        ChosenPos(FrameInfo.CondPosA, std::size(FrameInfo.CondPosA), Gen().DupCondNb);
    const TParameter* sensor = condPos >= 0 ? Items(condPos) : nullptr;
    if (!sensor)
        return C;
    const TExtended* calib = sensor->ParaCalib.calib;
    const long double a = calib[5].ToLongDouble(), b = calib[6].ToLongDouble(),
                      c = calib[7].ToLongDouble();
    if (a + b + c == 0)
        return C;
    return {static_cast<float>(C.value * ((T.value - b) * a + 1 + P.value * c)), 0};
}

TFlaggedValue TParamCollection::LagCompensate(TFlaggedValue fv) {
    const TGenConfig& gen = Gen();
    const std::int32_t condPos =
        ChosenPos(FrameInfo.CondPosA, std::size(FrameInfo.CondPosA), gen.DupCondNb);
    const long double xn =
        condPos >= 0 ? Items(condPos)->InCyBuf->AtFV(Acqui.InputCBIndexO).value : 0.0L;
    if (!FrameInfo.LagTimeStarted) {
        FrameInfo.LagTimeStarted = true;
        Acqui.LagX = Acqui.LagY = xn;
        return fv;
    }
    const long double f = Acqui.C_Scanrate;
    const long double s = std::fabs(Acqui.C_SpeedLow);
    long double out = xn;
    const auto passThrough = [&] { out = Acqui.LagX = Acqui.LagY = xn; };
    // Recursive filter of time constant tau [s] at scan rate f. A time constant that is not a
    // positive number (a flow rate of 0, a negative offset) would make the filter diverge or
    // freeze: the value then passes through.
    const auto filter = [&](long double tau) {
        if (!(tau >= 0) || !std::isfinite(tau)) {
            passThrough();
            return;
        }
        const long double a = 1 / (1 + 2 * tau * f);
        out = a * (xn + Acqui.LagX) + (1 - 2 * a) * Acqui.LagY;
        Acqui.LagY = out;
        Acqui.LagX = xn;
    };
    const long double offset = gen.TimeLagCompensationOffset.ToLongDouble();
    const long double slope = gen.TimeLagCompensationSlope.ToLongDouble();
    if (gen.CondForcedFlow) {
        const long double flow = gen.FlowRate.ToLongDouble();
        if (f <= 0.1L || !(flow > 0))
            passThrough();
        else
            filter(offset + slope / std::sqrt(flow));
    }
    if (gen.ManualLagCompensation) {
        const long double lag = gen.EdTimeLag.ToLongDouble();
        if (f <= 0.1L || s <= 0.1L || !(lag > 0)) {
            passThrough();
        } else {
            const long double e = std::exp(-1 / (lag * std::sqrt(s)));
            out = xn * (1 - e) + Acqui.LagY * e;
            Acqui.LagY = out;
            Acqui.LagX = xn;
        }
    }
    if (gen.CondLagEffect) {
        const long double u = std::clamp(s, 0.15L, 2.0L);
        if (f <= 0.1L || s <= 0.1L)
            passThrough();
        else
            filter(offset + slope / std::sqrt(u));
    }
    return {static_cast<float>(out), fv.flag};
}

void TParamCollection::PostProcessing() {
    Guard({"Error in TParamCollection.PostProcessing", "Data post-processing - end acquisition"},
          [&] {
              ++Acqui.PostLBIndexO;
              const TGenConfig& gen = Gen();
              const std::int32_t slot = Acqui.InputCBIndexO;
              const std::int32_t tempPos =
                  ChosenPos(FrameInfo.TempPosA, std::size(FrameInfo.TempPosA), gen.DupTempNb);
              const std::int32_t condPos =
                  ChosenPos(FrameInfo.CondPosA, std::size(FrameInfo.CondPosA), gen.DupCondNb);
              const bool lag = gen.CondLagEffect || gen.ManualLagCompensation || gen.CondForcedFlow;
              const TParameter* pressure = Acqui.ParaPres;
              const int inputs = std::min(FrameInfo.ExtCount, Count());
              for (int i = 0; i < inputs; ++i) {
                  TParameter* p = Items(i);
                  if (!p->InCyBuf || !p->PostLinBuf)
                      Raise("the buffers of " + p->GetParaStr() + " do not exist");
                  TFlaggedValue fv = p->InCyBuf->AtFV(slot);
                  if (fv.Valid()) {
                      const auto pressureNow = [&] {
                          return pressure && pressure->InCyBuf ? pressure->InCyBuf->AtFV(slot)
                                                               : InvalidFV;
                      };
                      if (gen.TempPTEffect && i == tempPos) {
                          fv = PTCorrectTemperature(pressureNow(), fv);
                          p->InCyBuf->AtModifyFV(slot, fv);
                      }
                      if (gen.CondPTEffect && i == condPos && FrameInfo.DoPTeffect) {
                          const TFlaggedValue temperature =
                              tempPos >= 0 ? Items(tempPos)->InCyBuf->AtFV(slot) : InvalidFV;
                          fv = PTCorrectConductivity(pressureNow(), temperature, fv);
                          p->InCyBuf->AtModifyFV(slot, fv);
                      }
                      if (lag && i == condPos && fv.Valid())
                          fv = LagCompensate(fv);
                  }
                  p->PostLinBuf->AddFVAt(fv, Acqui.PostLBIndexO);
              }
              AddCBPointers(Acqui.InputCBIndexO, 1);
          });
}

void TParamCollection::ManageValidateLimits() {
    const int inputs = std::min(FrameInfo.ExtCount, Count());
    for (int i = 0; i < inputs; ++i) {
        TParameter* p = Items(i);
        TLinearArray* series = p->PostLinBuf.get();
        if (!series || Acqui.PostLBIndexO < 0 || Acqui.PostLBIndexO > series->LastIndice)
            continue;
        const TFlaggedValue fv = series->AtFV(Acqui.PostLBIndexO);
        if (fv.Valid() && p->ValidateLimits(fv.value) == 1)
            series->SetFVAt({fv.value, 1}, Acqui.PostLBIndexO);
    }
}

void TParamCollection::ReservePostSeries(std::int64_t frames) {
    const int inputs = std::min(FrameInfo.ExtCount, Count());
    for (int i = 0; i < inputs; ++i)
        if (TLinearArray* series = Items(i)->PostLinBuf.get())
            series->Reserve(frames + 1);
}

void TParamCollection::ManageSortingData() {
    if (Bin.SortInfo.SortType == AM_All)
        SortAll();
    else
        Sort();
}

} // namespace marevo
