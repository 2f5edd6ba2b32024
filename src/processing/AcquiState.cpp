// The cast state of the cast collection's pipeline: speed, scan rate, immersion, start and stop,
// direction, bottom and header times; bottles seen in replayed data; the alarms; the end of a
// cast with its offline filters.

#include "foundation/Guard.h"
#include "foundation/Runtime.h"
#include "platform/Clock.h"
#include "processing/Collections.h"
#include "records/Settings.h"
#include "processing/OfflineFiltering.h"
#include "processing/ParamCollection.h"
#include "records/Bottles.h"
#include "records/CastInfo.h"
#include "records/Config.h"
#include "records/GenConfig.h"

#include <algorithm>
#include <cmath>

namespace marevo {

namespace {

constexpr const char* AlarmShortNames[AlarmCount] = {"ALTI", "DOWN", " UP ", "TIME", "DATA",
                                                     "BOAT"};

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
        const std::int32_t k = PostLBIndexO;
        const TFlaggedValue T = ElementAt(ParaTims, k);
        const TFlaggedValue P = ElementAt(ParaPres, k);
        const TFlaggedValue prevT = PrevTims, prevP = PrevPres;
        PrevTims = T;
        PrevPres = P;
        if (!T.Valid() || !P.Valid() || !prevT.Valid() || !prevP.Valid())
            return;

        const TGenConfig& gen = GenCfg();
        const TConfig& config = Config();
        const TDataValidation& dv = config.DataValidation;
        const TValueContext ctx = FrameValueContext();
        TCastInfo* header = CastHeader;
        IFrameSource* source = frameSource_;

        c_pres = ParaPres->CurValue(ctx);
        c_temp = ParaTemp ? ParaTemp->CurValue(ctx) : InvalidFV;
        c_cond = ParaCond ? ParaCond->CurValue(ctx) : InvalidFV;
        // The time of sample k itself: the end-of-cast passes revisit old samples, whose time
        // is not the newest frame's.
        c_time = ParaTims->CurValue(ctx).Valid() ? T : InvalidFV;

        // Speed and scan rate.
        const long double dT = static_cast<long double>(T.value) - prevT.value;
        const long double dP = static_cast<long double>(P.value) - prevP.value;
        if (dT > dv.minTimeInterval) {
            C_Speed = (dP / dT + C_LastDP / C_LastDT) / 2;
            const long double w = gen.CurrentCTDSpeedWeight / 100.0L;
            C_SpeedLow = w * C_Speed + (1 - w) * C_SpeedLow;
            C_LastDP = dP;
            C_LastDT = dT;
            SetCurrent(ParaSpeed, C_SpeedLow);
            if (HeaderState.FrameCounter == HeaderState.PrevFrameCounter + 1) {
                const long double v = gen.CurrentScanRateWeight / 100.0L;
                const long double inverse = v * dT + (1 - v) * C_InvScanRate;
                if (inverse > 0) {
                    C_InvScanRate = inverse;
                    C_Scanrate = 1 / C_InvScanRate;
                }
            }
        }
        SetCurrent(ParaScRt, C_Scanrate);
        if (header)
            header->ScanRate = TExtended::FromLongDouble(C_Scanrate);

        // Immersion.
        const long double trigPres = SortInfo.STrigPres.ToLongDouble();
        const long double trigCond = SortInfo.STrigCond.ToLongDouble();
        if (RawIndex > dv.datasetCount && config.AcquiCfg.AutoStart == SM_Immersion) {
            if (trigPres <= c_pres.value || trigCond <= c_cond.value) {
                S_TrigCount = std::min(S_TrigCount + 1, 10);
                if (S_TrigCount > 9 && C_Scanrate > 1.0L)
                    S_InWater = true;
            }
            if ((c_pres.value <= trigPres || c_cond.value <= trigCond) && S_MaxDownPres > 0 &&
                S_InWater) {
                S_TrigCount = std::max(S_TrigCount - 1, 0);
                if (S_TrigCount < 1)
                    S_InWater = false;
            }
        }

        // Cast state.
        // Only a live cast reads the clock (a replay takes its times from the frames).
        const TDateTime now = ProbeOnLine ? Clock().Now() : 0;
        const auto stop = [&] {
            S_RTStatus = rt_ending;
            if (source)
                source->RequestStop();
        };
        if (!ProbeOnLine) {
            if (S_RTStatus == rt_starting)
                S_RTStatus = rt_run;
            else if (S_RTStatus < rt_starting)
                S_RTStatus = rt_starting;
        } else {
            switch (config.AcquiCfg.AutoStart) {
            case SM_Manual:
                if (S_RTStatus < rt_starting)
                    S_RTStatus = rt_starting;
                break;
            case SM_Immersion:
                if (S_InWater && S_RTStatus < rt_starting) {
                    S_RTStatus = rt_starting;
                    if (header)
                        header->CastTime = {now, now, now};
                } else if (!S_InWater && S_RTStatus == rt_run) {
                    stop();
                }
                break;
            case SM_TimeStart:
                if (now < SortInfo.STrigStart || now >= SortInfo.STrigEnd) {
                    if (S_RTStatus == rt_run)
                        stop();
                } else if (S_RTStatus < rt_starting) {
                    S_RTStatus = rt_starting;
                }
                break;
            }
        }

        // Counters, start position, direction, bottom and times into the header.
        const bool recordingLive = ProbeOnLine && S_RTStatus > rt_wait;
        const bool gps = FrameInfo.UseNmea;
        const auto position = [&](int i) {
            if (header && Parapstat && ParaLati && ParaLong) {
                header->latitude[i] = TExtended::FromDouble(ParaLati->CurValue(ctx).value);
                header->longitude[i] = TExtended::FromDouble(ParaLong->CurValue(ctx).value);
            }
        };
        if (header) {
            header->DataSetNb = RawIndex;
            if (source)
                FrameError = source->FrameError();
            header->FrameError = FrameError;
            header->ValidateError = ValidateError;
            header->SortingExtractionError = SortingExtractionError;
            header->OfflineFilteringError = OfflineFilteringError;
            header->PressureOffsetFilter = TExtended::FromLongDouble(PressureOffsetFilter);
        }
        if (gps && StartPosUpdate && Parapstat && Parapstat->CurValue(ctx).value > 0) {
            position(0);
            StartPosUpdate = false;
        }

        const long double pres = c_pres.value;
        const long double band = dv.minInterval2ValidateDirectionChange;
        if (DirFirstSample) {
            S_direction = DirectionDown;
            DirUpper = dv.minPresBottomCheck;
            DirLower = DirUpper - band;
            S_MaxDownPres = S_MinUpPres = pres;
            const TAcquiMode mode = config.AcquiCfg.AcquiMode;
            if (pres > DirUpper || mode == AM_Time || mode == AM_All)
                DirFirstSample = false;
        } else if (pres > DirUpper) {
            S_direction = DirectionDown;
            DirUpper = pres;
            DirLower = DirUpper - band;
            S_MaxDownPres = std::max(S_MaxDownPres, pres);
            if (header) {
                if (recordingLive) {
                    header->CastTime[1] = header->CastTime[2] = now;
                    if (gps)
                        position(1);
                }
                header->BottomValue[0].value = static_cast<float>(S_MaxDownPres);
            }
        } else if (pres < DirLower) {
            S_direction = DirectionUp;
            DirLower = pres;
            DirUpper = DirLower + band;
            S_MinUpPres = std::min(S_MinUpPres, pres);
        }
        if (header && recordingLive) {
            header->CastTime[2] = now;
            if (gps)
                position(2);
        }

        if (gen.DupAltimNb < 2 && ParaAlti) {
            c_alti = ParaAlti->CurValue(ctx);
            if (header && pres > dv.AltimeterMinPressure && c_alti.Valid() && c_alti.value > 0.5f &&
                (c_alti.value < header->BottomValue[2].value || header->BottomValue[2].value == 0)) {
                header->BottomValue[2] = c_alti;
                header->BottomValue[1] = header->BottomValue[0];
                header->BottomValue[1].value = header->BottomValue[0].value + c_alti.value;
            }
        }

        if (header) {
            const TDateTime elapsed = c_time.value / SecondsPerDay;
            if (pres >= S_MaxDownPres) {
                header->CastTime[1] = header->CastTime[0] + elapsed;
                header->BottomValue[0] = header->BottomValue[1] = c_pres;
            }
            header->CastTime[2] = header->CastTime[0] + elapsed;
            header->MinPressure = TExtended::FromLongDouble(S_MinUpPres);
        }
        published_.Store({c_pres, S_direction, S_MaxDownPres, C_SpeedLow});
    });
}

bool TParamCollection::SetBottleState() {
    if (ProbeOnLine && C_LastBtlNumber < 0)
        C_LastBtlNumber = C_BtlNumber;
    if (C_BtlStatus == btl_CmdOK && c_BottleTims == 0 && ParaTims)
        c_BottleTims = ParaTims->Current.value;
    const bool closure = C_BtlStatus == btl_Closed || C_BtlStatus == btl_RosError ||
                         C_BtlStatus == btl_cmdError;
    if (!closure || C_BtlNumber == C_LastBtlNumber)
        return true;
    C_LastBtlNumber = C_BtlNumber;
    if (!ProbeOnLine) {
        SetBottleValue(C_BtlNumber);
        C_BtlStatus = btl_Closed;
        c_BottleTims = 0;
    }
    return true;
}

void TParamCollection::SetBottleValue(std::int32_t BottleID) {
    Guard({"Error in TParamCollection.SetBottleValue"}, [&] {
        if (!Bottles)
            return;
        TBottleInfo* bottle = nullptr;
        if (!Bottles->GetBottleValue(BottleID, bottle)) {
            bottle = &Bottles->Add();
            bottle->BottleNb = BottleID;
            Bottles->LastBottle = BottleID;
        }
        bottle->BtlStatus = C_BtlStatus;
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
    TGenConfig& gen = GenCfg();
    const TDataValidation& dv = Config().DataValidation;
    if (RawIndex < dv.datasetCount)
        return;
    const IFrameSource* source = frameSource_;
    const bool noData = source && source->NoData();
    for (int i = 0; i < AlarmCount; ++i) {
        if (gen.AlarmChecked[i]) {
            const long double limit = gen.AlarmLimit[i].ToLongDouble();
            bool& on = AlarmOn[i];
            switch (static_cast<TAlarmType>(i)) {
            case al_alti:
                on = S_MaxDownPres > dv.AltimeterMinPressure && c_alti.Valid() &&
                     c_alti.value < limit && gen.DupAltimNb < 2 && ParaAlti;
                break;
            case al_down: on = S_direction == DirectionDown && c_pres.value > limit; break;
            case al_up: on = S_direction == DirectionUp && c_pres.value < limit; break;
            case al_time: on = c_time.value > limit; break;
            case al_comm: on = noData; break;
            case al_vessel:
                // Only a vessel depth the operator entered (above 19) can be checked.
                if (CastHeader && CastHeader->BottomValue[3].value > 19) {
                    const long double clearance = CastHeader->BottomValue[3].value - c_pres.value;
                    on = S_direction == DirectionDown && clearance < limit;
                }
                break;
            }
            if (on)
                ShortALarmStr = AlarmShortNames[i];
        }
        // The data alarm, switched off while data was missing, comes back once data flows.
        if (SavedAlarmChecked[al_comm] && source && !noData) {
            gen.AlarmChecked[al_comm] = 1;
            AlarmOn[al_comm] = false;
        }
    }
}

void TParamCollection::DoAcquiEnd() {
    Guard({"Error in TParamCollection.DoAcquiEnd", "Ending Data acquisition"}, [&] {
        const std::int32_t last = PostLBIndexO;
        OfflineFilteringError = 0;
        PressureOffsetFilter = 0;
        const TGenConfig& gen = GenCfg();
        const TDataValidation& dv = Config().DataValidation;
        const bool offset = gen.PressureOffsetFilterType == POF_Auto;
        const bool warmup = dv.WarmupFilterEnable != 0;
        const bool wave = dv.WaveFilterEnable != 0;
        if (offset || warmup || wave) {
            // The passes revisit stored samples: the state detection runs as for a replay, so
            // that no pass dates the cast by the clock or asks the probe to stop.
            const bool onLine = ProbeOnLine;
            ProbeOnLine = false;
            struct TRestore {
                TParamCollection& col;
                bool onLine;
                ~TRestore() { col.ProbeOnLine = onLine; }
            } restore{*this, onLine};
            // A pass restarts the counters, but the frames rejected while the cast was taken in
            // stay rejected: the header keeps counting them.
            const std::int32_t rejectedByReader = FrameError, rejectedByValidation = ValidateError;
            TOfflineFiltering filter(*this);
            // Every sample again through the state detection, then through perSample.
            const auto pass = [&](auto&& perSample) {
                RawIndex = 0;
                for (std::int32_t k = 0; k <= last; ++k) {
                    PostLBIndexO = k;
                    ++RawIndex;
                    SetCurrentState();
                    perSample();
                }
            };
            if (offset) {
                Reset();
                const float o = static_cast<float>(filter.InitPressureOffsetFilter(last));
                if (o != 0) {
                    PressureOffsetFilter = o;
                    for (std::int32_t k = 0; k <= last; ++k) {
                        PostLBIndexO = k;
                        filter.PressureOffsetFilter(o);
                    }
                }
            }
            if (warmup) {
                Reset();
                filter.InitWarmupFilter();
                bool found = false;
                pass([&] {
                    if (!found)
                        found = filter.WarmupFilter();
                });
            }
            if (wave) {
                Reset();
                filter.InitWaveFilter();
                pass([&] { filter.WaveFilter(); });
                filter.EndWaveFilter();
            }
            SetSortInfo();
            pass([&] { ManageSortingData(); });
            FrameError = std::max(FrameError, rejectedByReader);
            ValidateError = rejectedByValidation;
        }
        SortEnd();
        if (CastHeader) {
            CastHeader->DataSetNb = RawIndex;
            CastHeader->FrameError = FrameError;
            CastHeader->ValidateError = ValidateError;
            CastHeader->SortingExtractionError = SortingExtractionError;
            CastHeader->OfflineFilteringError = OfflineFilteringError;
            CastHeader->PressureOffsetFilter = TExtended::FromLongDouble(PressureOffsetFilter);
        }
    });
}

} // namespace marevo
