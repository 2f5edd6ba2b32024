// The cast state of the cast collection's pipeline: speed, scan rate, immersion, start and stop,
// direction, bottom and header times; bottles seen in replayed data; the alarms; the end of a
// cast with its offline filters.

#include "foundation/Guard.h"
#include "foundation/Runtime.h"
#include "platform/Clock.h"
#include "processing/Collections.h"
#include "processing/OfflineFiltering.h"
#include "processing/ParamCollection.h"
#include "records/Bottles.h"
#include "records/CastInfo.h"
#include "records/Config.h"
#include "records/GenConfig.h"
#include "records/Settings.h"

#include <algorithm>
#include <cmath>

namespace marevo {

namespace {

constexpr const char* AlarmShortNames[AlarmCount] = {"ALTI", "DOWN", " UP ",
                                                     "TIME", "DATA", "BOAT"};

TFlaggedValue ElementAt(const TParameter* p, std::int32_t k) {
    if (!p || !p->PostLinBuf || k < 0 || k > p->PostLinBuf->LastIndice)
        return InvalidFV;
    return p->PostLinBuf->Data()[k];
}

void SetCurrent(TParameter* p, long double value) {
    if (p)
        p->Current = {static_cast<float>(value), 0};
}

} // namespace

void TParamCollection::SetCurrentState() {
    Guard({"Error in TParamCollection.SetCurrentState", "Data frame control"}, [&] {
        const std::int32_t k = Acqui.PostLBIndexO;
        const TFlaggedValue T = ElementAt(Acqui.ParaTims, k);
        const TFlaggedValue P = ElementAt(Acqui.ParaPres, k);
        const TFlaggedValue prevT = Acqui.PrevTims, prevP = Acqui.PrevPres;
        Acqui.PrevTims = T;
        Acqui.PrevPres = P;
        if (!T.Valid() || !P.Valid() || !prevT.Valid() || !prevP.Valid())
            return;

        const TGenConfig& gen = Gen();
        const TConfig& config = Cfg();
        const TDataValidation& dv = config.DataValidation;
        const TValueContext ctx = FrameValueContext();
        TCastInfo* header = Loaded.CastHeader;
        IFrameSource* source = frameSource_;

        Acqui.c_pres = Acqui.ParaPres->CurValue(ctx);
        Acqui.c_temp = Acqui.ParaTemp ? Acqui.ParaTemp->CurValue(ctx) : InvalidFV;
        Acqui.c_cond = Acqui.ParaCond ? Acqui.ParaCond->CurValue(ctx) : InvalidFV;
        // The time of sample k itself: the end-of-cast passes revisit old samples, whose time
        // is not the newest frame's.
        Acqui.c_time = Acqui.ParaTims->CurValue(ctx).Valid() ? T : InvalidFV;

        // Speed and scan rate.
        const long double dT = static_cast<long double>(T.value) - prevT.value;
        const long double dP = static_cast<long double>(P.value) - prevP.value;
        if (dT > dv.minTimeInterval) {
            Acqui.C_Speed = (dP / dT + Acqui.C_LastDP / Acqui.C_LastDT) / 2;
            const long double w = gen.CurrentCTDSpeedWeight / 100.0L;
            Acqui.C_SpeedLow = w * Acqui.C_Speed + (1 - w) * Acqui.C_SpeedLow;
            Acqui.C_LastDP = dP;
            Acqui.C_LastDT = dT;
            SetCurrent(Acqui.ParaSpeed, Acqui.C_SpeedLow);
            if (Acqui.HeaderState.FrameCounter == Acqui.HeaderState.PrevFrameCounter + 1) {
                const long double v = gen.CurrentScanRateWeight / 100.0L;
                const long double inverse = v * dT + (1 - v) * Acqui.C_InvScanRate;
                if (inverse > 0) {
                    Acqui.C_InvScanRate = inverse;
                    Acqui.C_Scanrate = 1 / Acqui.C_InvScanRate;
                }
            }
        }
        SetCurrent(Acqui.ParaScRt, Acqui.C_Scanrate);
        if (header)
            header->ScanRate = TExtended::FromLongDouble(Acqui.C_Scanrate);

        // Immersion.
        const long double trigPres = Bin.SortInfo.STrigPres.ToLongDouble();
        const long double trigCond = Bin.SortInfo.STrigCond.ToLongDouble();
        if (Acqui.RawIndex > dv.datasetCount && config.AcquiCfg.AutoStart == SM_Immersion) {
            if (trigPres <= Acqui.c_pres.value || trigCond <= Acqui.c_cond.value) {
                Acqui.S_TrigCount = std::min(Acqui.S_TrigCount + 1, 10);
                if (Acqui.S_TrigCount > 9 && Acqui.C_Scanrate > 1.0L)
                    Acqui.S_InWater = true;
            }
            if ((Acqui.c_pres.value <= trigPres || Acqui.c_cond.value <= trigCond) &&
                Acqui.S_MaxDownPres > 0 && Acqui.S_InWater) {
                Acqui.S_TrigCount = std::max(Acqui.S_TrigCount - 1, 0);
                if (Acqui.S_TrigCount < 1)
                    Acqui.S_InWater = false;
            }
        }

        // Cast state.
        // Only a live cast reads the clock (a replay takes its times from the frames).
        const TDateTime now = Acqui.ProbeOnLine ? Clock().Now() : 0;
        const auto stop = [&] {
            Acqui.S_RTStatus = rt_ending;
            if (source)
                source->RequestStop();
        };
        if (!Acqui.ProbeOnLine) {
            if (Acqui.S_RTStatus == rt_starting)
                Acqui.S_RTStatus = rt_run;
            else if (Acqui.S_RTStatus < rt_starting)
                Acqui.S_RTStatus = rt_starting;
        } else {
            switch (config.AcquiCfg.AutoStart) {
            case SM_Manual:
                if (Acqui.S_RTStatus < rt_starting)
                    Acqui.S_RTStatus = rt_starting;
                break;
            case SM_Immersion:
                if (Acqui.S_InWater && Acqui.S_RTStatus < rt_starting) {
                    Acqui.S_RTStatus = rt_starting;
                    if (header)
                        header->CastTime = {now, now, now};
                } else if (!Acqui.S_InWater && Acqui.S_RTStatus == rt_run) {
                    stop();
                }
                break;
            case SM_TimeStart:
                if (now < Bin.SortInfo.STrigStart || now >= Bin.SortInfo.STrigEnd) {
                    if (Acqui.S_RTStatus == rt_run)
                        stop();
                } else if (Acqui.S_RTStatus < rt_starting) {
                    Acqui.S_RTStatus = rt_starting;
                }
                break;
            }
        }

        // Counters, start position, direction, bottom and times into the header.
        const bool recordingLive = Acqui.ProbeOnLine && Acqui.S_RTStatus > rt_wait;
        const bool gps = FrameInfo.UseNmea;
        const auto position = [&](int i) {
            if (header && Acqui.Parapstat && Acqui.ParaLati && Acqui.ParaLong) {
                header->latitude[i] = TExtended::FromDouble(Acqui.ParaLati->CurValue(ctx).value);
                header->longitude[i] = TExtended::FromDouble(Acqui.ParaLong->CurValue(ctx).value);
            }
        };
        if (header) {
            header->DataSetNb = Acqui.RawIndex;
            if (source)
                Acqui.FrameError = source->FrameError();
            header->FrameError = Acqui.FrameError;
            header->ValidateError = Acqui.ValidateError;
            header->SortingExtractionError = Bin.SortingExtractionError;
            header->OfflineFilteringError = Bin.OfflineFilteringError;
            header->PressureOffsetFilter = TExtended::FromLongDouble(Bin.PressureOffsetFilter);
        }
        if (gps && Acqui.StartPosUpdate && Acqui.Parapstat &&
            Acqui.Parapstat->CurValue(ctx).value > 0) {
            position(0);
            Acqui.StartPosUpdate = false;
        }

        const long double pres = Acqui.c_pres.value;
        const long double band = dv.minInterval2ValidateDirectionChange;
        if (Acqui.DirFirstSample) {
            Acqui.S_direction = DirectionDown;
            Acqui.DirUpper = dv.minPresBottomCheck;
            Acqui.DirLower = Acqui.DirUpper - band;
            Acqui.S_MaxDownPres = Acqui.S_MinUpPres = pres;
            const TAcquiMode mode = config.AcquiCfg.AcquiMode;
            if (pres > Acqui.DirUpper || mode == AM_Time || mode == AM_All)
                Acqui.DirFirstSample = false;
        } else if (pres > Acqui.DirUpper) {
            Acqui.S_direction = DirectionDown;
            Acqui.DirUpper = pres;
            Acqui.DirLower = Acqui.DirUpper - band;
            Acqui.S_MaxDownPres = std::max(Acqui.S_MaxDownPres, pres);
            if (header) {
                if (recordingLive) {
                    header->CastTime[1] = header->CastTime[2] = now;
                    if (gps)
                        position(1);
                }
                header->BottomValue[0].value = static_cast<float>(Acqui.S_MaxDownPres);
            }
        } else if (pres < Acqui.DirLower) {
            Acqui.S_direction = DirectionUp;
            Acqui.DirLower = pres;
            Acqui.DirUpper = Acqui.DirLower + band;
            Acqui.S_MinUpPres = std::min(Acqui.S_MinUpPres, pres);
        }
        if (header && recordingLive) {
            header->CastTime[2] = now;
            if (gps)
                position(2);
        }

        if (gen.DupAltimNb < 2 && Acqui.ParaAlti) {
            Acqui.c_alti = Acqui.ParaAlti->CurValue(ctx);
            if (header && pres > dv.AltimeterMinPressure && Acqui.c_alti.Valid() &&
                Acqui.c_alti.value > 0.5f &&
                (Acqui.c_alti.value < header->BottomValue[2].value ||
                 header->BottomValue[2].value == 0)) {
                header->BottomValue[2] = Acqui.c_alti;
                header->BottomValue[1] = header->BottomValue[0];
                header->BottomValue[1].value = header->BottomValue[0].value + Acqui.c_alti.value;
            }
        }

        if (header) {
            const TDateTime elapsed = Acqui.c_time.value / SecondsPerDay;
            if (pres >= Acqui.S_MaxDownPres) {
                header->CastTime[1] = header->CastTime[0] + elapsed;
                header->BottomValue[0] = header->BottomValue[1] = Acqui.c_pres;
            }
            header->CastTime[2] = header->CastTime[0] + elapsed;
            header->MinPressure = TExtended::FromLongDouble(Acqui.S_MinUpPres);
        }
        Publish();
    });
}

void TParamCollection::Publish() {
    TAcquiSnapshot s{Acqui.c_pres, Acqui.S_direction, Acqui.S_MaxDownPres, Acqui.C_SpeedLow, {}};
    BtlAlarm.ShortALarmStr.copy(s.LastAlarm, sizeof s.LastAlarm - 1);
    published_.Store(s);
}

bool TParamCollection::SetBottleState() {
    if (Acqui.ProbeOnLine && BtlAlarm.C_LastBtlNumber < 0)
        BtlAlarm.C_LastBtlNumber = BtlAlarm.C_BtlNumber;
    if (BtlAlarm.C_BtlStatus == btl_CmdOK && BtlAlarm.c_BottleTims == 0 && Acqui.ParaTims)
        BtlAlarm.c_BottleTims = Acqui.ParaTims->Current.value;
    const bool closure = BtlAlarm.C_BtlStatus == btl_Closed ||
                         BtlAlarm.C_BtlStatus == btl_RosError ||
                         BtlAlarm.C_BtlStatus == btl_cmdError;
    if (!closure || BtlAlarm.C_BtlNumber == BtlAlarm.C_LastBtlNumber)
        return true;
    BtlAlarm.C_LastBtlNumber = BtlAlarm.C_BtlNumber;
    if (!Acqui.ProbeOnLine) {
        SetBottleValue(BtlAlarm.C_BtlNumber);
        BtlAlarm.C_BtlStatus = btl_Closed;
        BtlAlarm.c_BottleTims = 0;
    }
    return true;
}

void TParamCollection::SetBottleValue(std::int32_t BottleID) {
    Guard({"Error in TParamCollection.SetBottleValue"}, [&] {
        if (!Loaded.Bottles)
            return;
        TBottleInfo* bottle = nullptr;
        if (!Loaded.Bottles->GetBottleValue(BottleID, bottle)) {
            bottle = &Loaded.Bottles->Add();
            bottle->BottleNb = BottleID;
            Loaded.Bottles->LastBottle = BottleID;
        }
        bottle->BtlStatus = BtlAlarm.C_BtlStatus;
        const TValueContext ctx = FrameValueContext();
        for (int i = 0; i < Count() && i < RawFVCount; ++i) {
            TParameter* p = Items(i);
            switch (p->ParaType()) {
            case Pt_Raw:
            case Pt_Nmea:
            case Pt_Tims:
            case Pt_Ext:
            case pt_Speed:
            case pt_WinchSpeed: bottle->RawValue[i] = p->CurValue(ctx); break;
            default: break;
            }
        }
    });
}

void TParamCollection::SetAlarm() {
    TGenConfig& gen = Gen();
    const TDataValidation& dv = Cfg().DataValidation;
    if (Acqui.RawIndex < dv.datasetCount)
        return;
    const IFrameSource* source = frameSource_;
    const bool noData = source && source->NoData();
    for (int i = 0; i < AlarmCount; ++i) {
        if (gen.AlarmChecked[i]) {
            const long double limit = gen.AlarmLimit[i].ToLongDouble();
            bool& on = BtlAlarm.AlarmOn[i];
            switch (static_cast<TAlarmType>(i)) {
            case al_alti:
                on = Acqui.S_MaxDownPres > dv.AltimeterMinPressure && Acqui.c_alti.Valid() &&
                     Acqui.c_alti.value < limit && gen.DupAltimNb < 2 && Acqui.ParaAlti;
                break;
            case al_down:
                on = Acqui.S_direction == DirectionDown && Acqui.c_pres.value > limit;
                break;
            case al_up: on = Acqui.S_direction == DirectionUp && Acqui.c_pres.value < limit; break;
            case al_time: on = Acqui.c_time.value > limit; break;
            case al_comm: on = noData; break;
            case al_vessel:
                // Only a vessel depth the operator entered (above 19) can be checked.
                if (Loaded.CastHeader && Loaded.CastHeader->BottomValue[3].value > 19) {
                    const long double clearance =
                        Loaded.CastHeader->BottomValue[3].value - Acqui.c_pres.value;
                    on = Acqui.S_direction == DirectionDown && clearance < limit;
                }
                break;
            }
            if (on && BtlAlarm.ShortALarmStr != AlarmShortNames[i]) {
                BtlAlarm.ShortALarmStr = AlarmShortNames[i];
                Publish();
            }
        }
        // The data alarm, switched off while data was missing, comes back once data flows.
        if (BtlAlarm.SavedAlarmChecked[al_comm] && source && !noData) {
            gen.AlarmChecked[al_comm] = 1;
            BtlAlarm.AlarmOn[al_comm] = false;
        }
    }
}

void TParamCollection::DoAcquiEnd() {
    Guard({"Error in TParamCollection.DoAcquiEnd", "Ending Data acquisition"}, [&] {
        const std::int32_t last = Acqui.PostLBIndexO;
        Bin.OfflineFilteringError = 0;
        Bin.PressureOffsetFilter = 0;
        const TGenConfig& gen = Gen();
        const TDataValidation& dv = Cfg().DataValidation;
        const bool offset = gen.PressureOffsetFilterType == POF_Auto;
        const bool warmup = dv.WarmupFilterEnable != 0;
        const bool wave = dv.WaveFilterEnable != 0;
        if (offset || warmup || wave) {
            // The passes revisit stored samples: the state detection runs as for a replay, so
            // that no pass dates the cast by the clock or asks the probe to stop.
            const bool onLine = Acqui.ProbeOnLine;
            Acqui.ProbeOnLine = false;
            struct TRestore {
                TParamCollection& col;
                bool onLine;
                ~TRestore() { col.Acqui.ProbeOnLine = onLine; }
            } restore{*this, onLine};
            // A pass restarts the counters, but the frames rejected while the cast was taken in
            // stay rejected: the header keeps counting them.
            const std::int32_t rejectedByReader = Acqui.FrameError,
                               rejectedByValidation = Acqui.ValidateError;
            // The scan rate was measured from the frame counters while the cast was taken in;
            // the passes have no frames to measure it from, so each restart keeps it (the
            // header's ScanRate is written from it at every sample).
            const long double scanRate = Acqui.C_Scanrate, invScanRate = Acqui.C_InvScanRate;
            const auto keepScanRate = [&] {
                Acqui.C_Scanrate = scanRate;
                Acqui.C_InvScanRate = invScanRate;
            };
            const auto restart = [&] {
                Reset();
                keepScanRate();
            };
            TOfflineFiltering filter(*this);
            // Every sample again through the state detection, then through perSample.
            const auto pass = [&](auto&& perSample) {
                Acqui.RawIndex = 0;
                for (std::int32_t k = 0; k <= last; ++k) {
                    Acqui.PostLBIndexO = k;
                    ++Acqui.RawIndex;
                    SetCurrentState();
                    perSample();
                }
            };
            if (offset) {
                restart();
                const float o = static_cast<float>(filter.InitPressureOffsetFilter(last));
                if (o != 0) {
                    Bin.PressureOffsetFilter = o;
                    for (std::int32_t k = 0; k <= last; ++k) {
                        Acqui.PostLBIndexO = k;
                        filter.PressureOffsetFilter(o);
                    }
                }
            }
            if (warmup) {
                restart();
                filter.InitWarmupFilter();
                bool found = false;
                pass([&] {
                    if (!found)
                        found = filter.WarmupFilter();
                });
            }
            if (wave) {
                restart();
                filter.InitWaveFilter();
                pass([&] { filter.WaveFilter(); });
                filter.EndWaveFilter();
            }
            SetSortInfo();
            keepScanRate();
            pass([&] { ManageSortingData(); });
            Acqui.FrameError = std::max(Acqui.FrameError, rejectedByReader);
            Acqui.ValidateError = rejectedByValidation;
        }
        SortEnd();
        if (Loaded.CastHeader) {
            Loaded.CastHeader->DataSetNb = Acqui.RawIndex;
            Loaded.CastHeader->FrameError = Acqui.FrameError;
            Loaded.CastHeader->ValidateError = Acqui.ValidateError;
            Loaded.CastHeader->SortingExtractionError = Bin.SortingExtractionError;
            Loaded.CastHeader->OfflineFilteringError = Bin.OfflineFilteringError;
            Loaded.CastHeader->PressureOffsetFilter =
                TExtended::FromLongDouble(Bin.PressureOffsetFilter);
        }
    });
}

} // namespace marevo
