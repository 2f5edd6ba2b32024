// Buffers, resets and the acquisition parameters of the cast collection's per-frame pipeline.

#include "foundation/Guard.h"
#include "foundation/Runtime.h"
#include "platform/Operator.h"
#include "processing/Collections.h"
#include "records/Settings.h"
#include "processing/ParamCollection.h"
#include "records/CastInfo.h"
#include "records/Environ.h"
#include "records/GenConfig.h"

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
    return Guard({"Error in TParamCollection.InitRoundBuf",
                  "Initialize data buffer - end acquisition"},
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
    const bool made =
        Guard({"Error in TParamCollection.InitLinearBuffer", "Init data buffer - end acquisition"},
              [&] {
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
        SortInfo.MaxIndex = -1;
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
        const TGenConfig& gen = GenCfg();
        const TParamCollection& probe = ProbeParamCol();
        ParaPres = Items(FrameInfo.PresPos);
        const std::int32_t temp = Chosen(gen.DupTempNb, {110, 111, 112});
        ParaTemp = temp ? FindPara(temp) : nullptr;
        const std::int32_t cond = Chosen(gen.DupCondNb, {120, 121, 122, 166});
        ParaCond = cond ? FindPara(cond) : nullptr;
        const std::int32_t alti = Chosen(gen.DupAltimNb, {140, 221});
        ParaAlti = alti ? FindPara(alti) : nullptr;
        ParaTims = Items(FrameInfo.TimsPos);
        ParaTime = FindPara(400);
        ParaDept = FindPara(403);
        ParaLati = FindPara(800);
        ParaLong = FindPara(801);
        Parapstat = FindPara(808);
        ParaSpeed = probe.FindPara(105);
        ParaWinchSpeed = probe.FindPara(810);
        ParaWinchM = probe.FindPara(809);
        ParaScRt = probe.FindPara(52);
        std::fill(std::begin(AlarmOn), std::end(AlarmOn), false);
        C_WinchSpeed = 0;
    });
}

void TParamCollection::ResetAcqui() {
    Guard({"Error in TParamCollection.ResetAcqui", "Data acquisition start"}, [&] {
        S_direction = DirectionDown;
        PrevTims = ZeroFV;
        PrevPres = ZeroFV;
        C_WinchSpeed = 0;
        DirFirstSample = true;
        DirUpper = DirLower = 0;
        S_InWater = false;
        S_MinUpPres = -1.0;
        S_MaxDownPres = -1.0;
        S_RTStatus = rt_none;
        I_LastDir = DirectionDown;
        I_CastUp = false;
        TypeLoaded = FileTypeNone;
        InputCBIndexI = -1;
        PostLBIndexO = -1;
        RawIndex = FrameError = ValidateError = SortingExtractionError = 0;
        C_Speed = C_SpeedLow = C_LastDP = 0;
        C_LastDT = 1.0;
        C_Scanrate = 10.0;
        C_InvScanRate = 0.1;
        C_ScanRateKnown = false;
        S_TrigCount = 0;
        ResetExtractFlags();
        I_Low = I_Center = 0;
        I_High = 1.0;
        std::fill(std::begin(I_MeanSum), std::end(I_MeanSum), TFlaggedValue{});
        std::fill(std::begin(I_MeanNb), std::end(I_MeanNb), 0);
        HeaderState.Reset();
        // A stored cast replays at the scan rate it was recorded with.
        FrameInfo.ScanRate = (CastHeader && !ProbeOnLine) ? CastHeader->ScanRate
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
        const TParameter* scanRate = ProbeParamCol().FindPara(52);
        if (!scanRate)
            Raise("parameter 52 is not in the probe collection");
        auto copy = scanRate->MakeCopy();
        if (!copy)
            Raise("parameter 52 could not be copied");
        Add(std::move(copy));
    });
}

bool TParamCollection::AddNMEAAndExternalParameter() {
    return Guard({"Error in TParamCollection.AddNMEAAndExternalParameter",
                  "Add NMEA/Ext parameter"},
                 [&] {
                     StartPosUpdate = true;
                     const TEnviron& env = Environ();
                     const auto append = [&](const TParaList& list) {
                         const int used = std::clamp(list.count, 0, MaxParaListCount);
                         for (int k = 0; k < used; ++k) {
                             const std::int32_t nb = list.List[k];
                             const TParameter* known = ProbeParamCol().FindPara(nb);
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
