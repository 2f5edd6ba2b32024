// Buffers, resets and the acquisition parameters of the cast collection's per-frame pipeline.

#include "foundation/Guard.h"
#include "foundation/Runtime.h"
#include "platform/Operator.h"
#include "processing/Collections.h"
#include "processing/ParamCollection.h"
#include "records/CastInfo.h"
#include "records/Environ.h"
#include "records/GenConfig.h"
#include "records/Settings.h"

#include <algorithm>

namespace marevo {

namespace {

// A collection needs at least a time base, a pressure and one more channel to be acquired.
bool EnoughSensors(const TParamCollection& col) {
    if (col.Count() >= 3)
        return true;
    Operator().Message("Error: Probe Sensors less than 2", "", TMessageKind::Information);
    return false;
}

// Number of the parameter chosen among duplicated sensors, or 0 when the choice is "none".
std::int32_t Chosen(std::int32_t choice, std::initializer_list<std::int32_t> numbers) {
    if (choice < 0 || choice >= static_cast<std::int32_t>(numbers.size()))
        return 0;
    return *(numbers.begin() + choice);
}

} // namespace

bool TParamCollection::InitRoundBuffer() {
    if (!EnoughSensors(*this))
        return false;
    return Guard(
        {"Error in TParamCollection.InitRoundBuf", "Initialize data buffer - end acquisition"},
        [&] {
            for (const auto& p : *this) {
                p->InCyBuf = std::make_unique<TCyclicArray>(AcquiRingSize);
                p->RawInCyBuf = std::make_unique<TCyclicArray>(AcquiRingSize);
            }
        });
}

bool TParamCollection::InitLinearBuffer() {
    Reset();
    if (!EnoughSensors(*this))
        return false;
    const bool made = Guard(
        {"Error in TParamCollection.InitLinearBuffer", "Init data buffer - end acquisition"}, [&] {
            for (const auto& p : *this) {
                p->SortedBuffer = std::make_unique<TLinearArray>();
                p->SmoothBuffer = std::make_unique<TLinearArray>();
                p->PostLinBuf = std::make_unique<TLinearArray>();
                std::int32_t links = 0;
                for (int k = 0; k < MaxLinks; ++k)
                    if (p->ParaFunction.ParaLink[k] > 0)
                        links = k + 1;
                p->ParaFunction.LinkNb = links;
            }
        });
    return made && SetLinkPtr();
}

void TParamCollection::ResetBuffers() {
    Reset();
    if (!EnoughSensors(*this))
        return;
    Guard({"Error in TParamCollection.ResetBuffers", "Clear data buffer - End acquisition"}, [&] {
        Bin.SortInfo.MaxIndex = -1;
        for (const auto& p : *this) {
            if (p->InCyBuf)
                p->InCyBuf->Reset();
            if (p->RawInCyBuf)
                p->RawInCyBuf->Reset();
            if (p->PostLinBuf)
                p->PostLinBuf->Clear();
            if (p->SortedBuffer)
                p->SortedBuffer->Clear();
            const TSmoothType smoothing = p->ParaSmooth.SmoothType;
            if (p->SmoothBuffer && (smoothing == Smo_Mean || smoothing == Smo_LP1stOrder))
                p->SmoothBuffer->Clear();
        }
    });
}

void TParamCollection::Reset() {
    Guard({"Error in TParamCollection.reset", "Reset acquisition parameter"}, [&] {
        ResetSortInfo();
        ResetAcqui();
        const TGenConfig& gen = Gen();
        const TParamCollection& probe = Probe();
        Acqui.ParaPres = Items(FrameInfo.PresPos);
        const std::int32_t temp = Chosen(gen.DupTempNb, {110, 111, 112});
        Acqui.ParaTemp = temp ? FindPara(temp) : nullptr;
        const std::int32_t cond = Chosen(gen.DupCondNb, {120, 121, 122, 166});
        Acqui.ParaCond = cond ? FindPara(cond) : nullptr;
        const std::int32_t alti = Chosen(gen.DupAltimNb, {140, 221});
        Acqui.ParaAlti = alti ? FindPara(alti) : nullptr;
        Acqui.ParaTims = Items(FrameInfo.TimsPos);
        Acqui.ParaTime = FindPara(400);
        Acqui.ParaDept = FindPara(403);
        Acqui.ParaLati = FindPara(800);
        Acqui.ParaLong = FindPara(801);
        Acqui.Parapstat = FindPara(808);
        Acqui.ParaSpeed = probe.FindPara(105);
        Acqui.ParaWinchSpeed = probe.FindPara(810);
        Acqui.ParaWinchM = probe.FindPara(809);
        Acqui.ParaScRt = probe.FindPara(52);
        std::fill(std::begin(BtlAlarm.AlarmOn), std::end(BtlAlarm.AlarmOn), false);
        Acqui.C_WinchSpeed = 0;
    });
}

void TParamCollection::ResetAcqui() {
    Guard({"Error in TParamCollection.ResetAcqui", "Data acquisition start"}, [&] {
        Acqui.S_direction = DirectionDown;
        Acqui.PrevTims = ZeroFV;
        Acqui.PrevPres = ZeroFV;
        Acqui.C_WinchSpeed = 0;
        Acqui.DirFirstSample = true;
        Acqui.DirUpper = Acqui.DirLower = 0;
        Acqui.S_InWater = false;
        Acqui.S_MinUpPres = -1.0;
        Acqui.S_MaxDownPres = -1.0;
        Acqui.S_RTStatus = rt_none;
        Bin.I_LastDir = DirectionDown;
        Bin.I_CastUp = false;
        Loaded.TypeLoaded = FileTypeNone;
        Acqui.InputCBIndexI = -1;
        Acqui.PostLBIndexO = -1;
        Acqui.RawIndex = Acqui.FrameError = Acqui.ValidateError = Bin.SortingExtractionError = 0;
        Acqui.C_Speed = Acqui.C_SpeedLow = Acqui.C_LastDP = 0;
        Acqui.C_LastDT = 1.0;
        Acqui.C_Scanrate = 10.0;
        Acqui.C_InvScanRate = 0.1;
        Acqui.C_ScanRateKnown = false;
        Acqui.S_TrigCount = 0;
        ResetExtractFlags();
        Bin.I_Low = Bin.I_Center = 0;
        Bin.I_High = 1.0;
        std::fill(std::begin(Bin.I_MeanSum), std::end(Bin.I_MeanSum), TFlaggedValue{});
        std::fill(std::begin(Bin.I_MeanNb), std::end(Bin.I_MeanNb), 0);
        Acqui.HeaderState.Reset();
        // A stored cast replays at the scan rate it was recorded with.
        FrameInfo.ScanRate = (Loaded.CastHeader && !Acqui.ProbeOnLine)
                                 ? Loaded.CastHeader->ScanRate
                                 : TExtended::FromDouble(12.0);
    });
}

void TParamCollection::AddCBPointers(std::int32_t& IndexPtr, std::int32_t delta) {
    Guard({"Error in TParamCollection.AddCBPointers", "Add data buffer index - End acquisition"},
          [&] {
              // 64-bit sum: any delta folds without overflow; the modulo keeps negatives in range.
              const long long folded =
                  ((static_cast<long long>(IndexPtr) + delta) % AcquiRingSize + AcquiRingSize) %
                  AcquiRingSize;
              IndexPtr = static_cast<std::int32_t>(folded);
          });
}

bool TParamCollection::AddAcquiPara() {
    return Guard({"Error in TParamCollection.AddAcquiPara", "Add parameter"}, [&] {
        const TParameter* scanRate = Probe().FindPara(52);
        if (!scanRate)
            Raise("parameter 52 is not in the probe collection");
        auto copy = scanRate->MakeCopy();
        if (!copy)
            Raise("parameter 52 could not be copied");
        Add(std::move(copy));
    });
}

bool TParamCollection::AddNMEAAndExternalParameter() {
    return Guard(
        {"Error in TParamCollection.AddNMEAAndExternalParameter", "Add NMEA/Ext parameter"}, [&] {
            Acqui.StartPosUpdate = true;
            const TEnviron& env = Env();
            const auto append = [&](const TParaList& list) {
                const int used = std::clamp(list.count, 0, MaxParaListCount);
                for (int k = 0; k < used; ++k) {
                    const std::int32_t nb = list.List[k];
                    const TParameter* known = Probe().FindPara(nb);
                    if (!known)
                        continue;
                    auto copy = known->MakeCopy();
                    if (!copy)
                        Raise("parameter " + std::to_string(nb) + " could not be copied");
                    TExtended* c = copy->ParaCalib.calib;
                    if (nb == 809) {
                        c[0] = env.ExtWinchOffset;
                        c[1] = env.ExtWinchPulseToMeter;
                    } else if (nb == 807) {
                        c[0] = env.ExtParOffsetV;
                        c[1] = env.ExtParScale;
                        c[2] = env.ExtParMultiplier;
                    }
                    Add(std::move(copy));
                }
            };
            append(env.NMEAParaList);
            append(env.ExtParaList);
        });
}

bool TParamCollection::DelAcquiPara() {
    return Guard({"Error in TParamCollection.DelAcquiPara", "Remove parameters"}, [&] {
        for (int i = Count() - 1; i >= 0; --i)
            if (Items(i)->ParaType() == Pt_Acqui)
                Delete(i);
    });
}

} // namespace marevo
