#include "processing/ParamCollection.h"

#include "foundation/Guard.h"
#include "foundation/Runtime.h"
#include "parameters/ParaCatalogue.h"
#include "processing/Collections.h"
#include "processing/DerivedColumns.h"
#include "records/GenConfig.h"
#include "records/Settings.h"

#include <algorithm>
#include <cstring>

namespace marevo {

namespace {

// A count read from a stored list, kept within the list's capacity.
int UsedEntries(const TParaList& list) {
    return std::clamp(list.count, 0, MaxParaListCount);
}

// Input numbers of a parameter; a stored LinkNb is never trusted beyond the link table.
int UsedLinks(const TParameter& p) {
    return std::clamp(p.ParaFunction.LinkNb, 0, MaxLinks);
}

} // namespace

// ---- The owning list --------------------------------------------------------------------------

TProbeCollection::TProbeCollection() = default;
TProbeCollection::~TProbeCollection() = default;

TParameter* TProbeCollection::Items(int index) const {
    return index >= 0 && index < Count() ? items_[static_cast<std::size_t>(index)].get() : nullptr;
}

TParameter* TProbeCollection::Add(std::unique_ptr<TParameter> parameter) {
    items_.push_back(std::move(parameter));
    return items_.back().get();
}

void TProbeCollection::Delete(int index) {
    if (index >= 0 && index < Count())
        items_.erase(items_.begin() + index);
}

void TProbeCollection::Clear() {
    items_.clear();
}

// ---- Queries ----------------------------------------------------------------------------------

TParameter* TProbeCollection::FindPara(std::int32_t theNb) const {
    for (const auto& p : items_)
        if (p->GetParaNb() == theNb)
            return p.get();
    return nullptr;
}

TParameter* TProbeCollection::FindQvlPara(std::int32_t theNB) const {
    for (auto it = items_.rbegin(); it != items_.rend(); ++it)
        if ((*it)->getQVLParaNb() == theNB)
            return it->get();
    return nullptr;
}

bool TProbeCollection::ExistParaNb(std::int32_t theNb) const {
    return FindPara(theNb) != nullptr;
}

// ---- Preparation ------------------------------------------------------------------------------

bool TProbeCollection::SetFrameInfo() {
    return Guard(
        {"Error in ProbeCollection.SetFrameInfo", "Setup probe parameter info - End acquisition"},
        [&] {
            TFrameInfo& f = FrameInfo;
            const std::int32_t timePos = f.TimePos, deptPos = f.DeptPos;
            f = TFrameInfo{};
            f.ListCount = Count();
            f.TimePos = timePos;
            f.DeptPos = deptPos;

            std::int32_t offset = 0;
            for (int i = 0; i < Count(); ++i) {
                TParameter& p = *items_[static_cast<std::size_t>(i)];
                const std::int32_t nb = p.GetParaNb();
                if (nb >= 5 && nb <= 7) // frame headers of DF5, DF6, DF7
                    p.paraRaw.ConvType = static_cast<TParaConv>(ParaConvHDF5 + nb - 5);
                p.SetParaFrame(i, offset);

                const TParaType type = p.paraRaw.ParaType;
                const bool fromInput = TParamRaw::IsStoredType(type) || type == Pt_Util;
                if (fromInput) {
                    // Time counter and speeds are computed, not carried in the frame.
                    if (type == Pt_Tims || type == pt_Speed || type == pt_WinchSpeed)
                        p.ParaFrame.SizeByte = 0;
                    offset += p.ParaFrame.SizeByte;
                    if (type == Pt_Nmea) {
                        ++f.ExtCount;
                        f.ExtSize = offset;
                        f.UseNmea = f.UseExtPara = true;
                    } else if (type == Pt_Ext) {
                        ++f.ExtCount;
                        f.ExtSize = offset;
                        f.UseExtPara = true;
                        f.UseExternal = f.UseExternal || nb == 807;
                        f.UseExternalWinch = f.UseExternalWinch || nb == 809;
                    } else {
                        f.RawSize = offset;
                        f.RawCount = i + 1;
                        f.ExtCount = f.RawCount;
                        f.ExtSize = f.RawSize;
                    }
                }

                switch (nb) {
                case 100: f.TimsPos = i; break;
                case 101: f.PresPos = i; break;
                case 110: f.TempPosA[1] = i; break;
                case 111: f.TempPosA[2] = i; break;
                case 112: f.TempPosA[3] = i; break;
                case 120: f.CondPosA[1] = i; break;
                case 121: f.CondPosA[2] = i; break;
                case 122: f.CondPosA[3] = i; break;
                case 166: f.CondPosA[4] = i; break;
                case 130: f.OxyPosA[1] = i; break;
                case 198: f.OxyPosA[2] = i; break;
                case 140: f.AltiPosA[1] = i; break;
                case 221: f.AltiPosA[2] = i; break;
                default: break;
                }
            }

            // Pressure-temperature correction when a conductivity sensor has its
            // coefficients (ALPHA at 5, BETA at 7).
            for (int k = 1; k <= 4; ++k) {
                if (f.CondPosA[k] <= 0)
                    continue;
                const TParaCalib& c = Items(f.CondPosA[k])->ParaCalib;
                if (c.calib[5].ToLongDouble() + c.calib[7].ToLongDouble() != 0)
                    f.DoPTeffect = true;
            }
            Probe().ProbeInfo.FrameSize = f.RawSize;
        });
}

void TProbeCollection::CheckDupSensor() {
    TGenConfig& cfg = Gen();
    // Keeps a valid choice of a present sensor; otherwise takes the first present sensor (never
    // the one at list index 0), or none.
    auto check = [](std::int32_t& choice, const std::int32_t* positions, int sensors) {
        if (choice >= 0 && choice < sensors && positions[choice + 1] >= 0)
            return;
        choice = sensors;
        for (int k = 1; k <= sensors; ++k)
            if (positions[k] > 0) {
                choice = k - 1;
                return;
            }
    };
    check(cfg.DupTempNb, FrameInfo.TempPosA, 3);
    check(cfg.DupCondNb, FrameInfo.CondPosA, 4);
    check(cfg.DupAltimNb, FrameInfo.AltiPosA, 2);
    check(cfg.DupOxyNb, FrameInfo.OxyPosA, 2);
}

void TProbeCollection::UpdateDup() {
    const TGenConfig& cfg = Gen();
    TParamCollection& probe = Probe();
    auto relink = [&](std::int32_t number, std::int32_t choice,
                      std::initializer_list<int> sensors) {
        if (choice < 0 || choice >= static_cast<std::int32_t>(sensors.size()))
            return;
        TParameter* p = probe.FindPara(number);
        if (!p)
            return;
        if (p->SortedBuffer)
            p->SortedBuffer->Clear();
        p->ParaFunction.ParaLink[0] = sensors.begin()[choice];
    };
    relink(401, cfg.DupTempNb, {110, 111, 112});
    relink(402, cfg.DupTempNb, {110, 111, 112});
    relink(399, cfg.DupCondNb, {120, 121, 122, 166});
    relink(440, cfg.DupAltimNb, {140, 221});
    relink(407, cfg.DupOxyNb, {130, 198});
}

void TProbeCollection::UpdateTimeUnit() {
    const TGenConfig& cfg = Gen();
    auto apply = [&](std::int32_t number, const char* unit, int decimals, bool allDecimals) {
        TParameter* p = FindPara(number);
        if (!p)
            return;
        p->ParaText.ParaStr[txt_Unit].Set(unit);
        if (allDecimals)
            std::fill(std::begin(p->ParaText.Decimal), std::end(p->ParaText.Decimal), decimals);
        else
            p->ParaText.Decimal[txt_Screen] = p->ParaText.Decimal[txt_File] = decimals;
        if (p->SortedBuffer)
            p->SortedBuffer->Clear();
    };

    struct Unit {
        const char* text;
        int decimals;
    };
    // Second, minute, hour, day; the clock formats carry no unit.
    static constexpr Unit timeUnits[] = {{"s", 3}, {"mn", 4}, {"h", 5}, {"day", 6}};
    const Unit time = cfg.TimeUnit < 4 ? timeUnits[cfg.TimeUnit] : Unit{"", 3};
    apply(400, time.text, time.decimals, true);

    static constexpr Unit condUnits[] = {{"uS/cm", 2}, {"mS/cm", 4}, {"S/m", 5}};
    if (cfg.CondUnit < 3) {
        const Unit cond = condUnits[cfg.CondUnit];
        for (std::int32_t number : {599, 601, 602})
            apply(number, cond.text, cond.decimals, false);
    }
}

bool TProbeCollection::BuildCalcList() {
    if (Count() == 0)
        return false;
    TParamCollection& probe = Probe();
    bool stepped = false;
    const bool ok = Guard({"Error in TProbeCollection.BuildCalcList.step",
                           "Build probe cast list - Abort data upload"},
                          [&] {
                              // Against the list as it grows: a computed input must come earlier in
                              // the probe collection's order to be present when its user is
                              // examined.
                              const int n = probe.Count();
                              for (int i = 0; i < n; ++i) {
                                  std::unique_ptr<TParameter> copy = probe.Items(i)->MakeCopy();
                                  if (!copy)
                                      Raise("cannot copy " + probe.Items(i)->GetParaStr());
                                  const int links = copy->ParaFunction.LinkNb;
                                  if (links <= 0 || links > MaxLinks)
                                      continue;
                                  bool inputsPresent = true;
                                  for (int k = 0; k < links && inputsPresent; ++k) {
                                      const std::int32_t link = copy->ParaFunction.ParaLink[k];
                                      inputsPresent = link >= 1 && ExistParaNb(link);
                                  }
                                  if (!inputsPresent || ExistParaNb(copy->GetParaNb()))
                                      continue;
                                  const std::int32_t number = copy->GetParaNb();
                                  TParameter* added = Add(std::move(copy));
                                  added->SetPosInProbe(Count());
                                  if (number == 400)
                                      FrameInfo.TimePos = Count();
                                  if (number == 403)
                                      FrameInfo.DeptPos = Count();
                              }
                              stepped = n > 0;
                          });
    if (!ok || !stepped)
        return false;

    TGenConfig& cfg = Gen();
    if (!Guard({"Error in TProbeCollection.BuildCalcList.CheckValueParameters",
                "Parameter - Upload aborted"},
               [&] {
                   auto& ptr = CurParaPtr();
                   ptr.fill(nullptr);
                   for (int i = 0; i < UsedEntries(cfg.CurParaList); ++i) {
                       const std::int32_t nb = cfg.CurParaList.List[i];
                       TParameter* p = FindPara(nb);
                       if (!p)
                           p = probe.FindPara(nb);
                       if (!p)
                           p = DerivedColumnDefinition(nb);
                       ptr[static_cast<std::size_t>(i)] = p;
                   }
               }))
        return false;

    auto checkList = [&](TParaList& list, bool axisDecides, bool bottleStatus) {
        const int used = UsedEntries(list);
        for (int i = 0; i < used; ++i)
            list.Avail[i] = ExistParaNb(list.List[i]) ||
                            DerivedColumnAvailable(*this, list.List[i]) ||
                            (bottleStatus && list.List[i] == 501);
        // Without its vertical axis nothing of the plot can be drawn.
        if (axisDecides && used > 0 && !list.Avail[0])
            std::fill(std::begin(list.Avail), std::end(list.Avail), TBoolByte{0});
    };
    auto check = [&](const TGuardSite& site, TParaList& list, bool axisDecides, bool bottle) {
        if (!Guard(site, [&] { checkList(list, axisDecides, bottle); }))
            Operator().Beep();
    };
    check({"Error in TProbeCollection.BuildCalcList.Check Plot Parameters",
           "Plot window setup - Upload aborted"},
          cfg.ParaPlotList, true, false);
    check({"Error in TProbeCollection.BuildCalcList.CheckValueParameters",
           "Parameter - Upload aborted"},
          cfg.CurParaList, false, false);
    check({"Error in TProbeCollection.BuildCalcList.CheckBottleParameters",
           "Bottle list - Upload aborted"},
          cfg.BottleParaList, false, true);
    return true;
}

// Links resolve inside this collection (the cast collection in every use), so emptying another
// collection never leaves them pointing at released parameters. Number 0 means no link.
bool TProbeCollection::SetLinkPtr() {
    return Guard(
        {"Error in ProbeCollection.SetLinkPtr ", "Processing data error - End acquisition"}, [&] {
            for (const auto& p : items_) {
                p->LinkPtr.fill(nullptr);
                for (int k = 0; k < UsedLinks(*p); ++k) {
                    const std::int32_t link = p->ParaFunction.ParaLink[k];
                    p->LinkPtr[static_cast<std::size_t>(k)] = link > 0 ? FindPara(link) : nullptr;
                }
                const std::int32_t calib = p->ParaFunction.CalibLink;
                p->CalibPtr = calib > 0 ? FindPara(calib) : nullptr;
            }
        });
}

bool TProbeCollection::BuildProbeInfo() {
    const bool frame = SetFrameInfo();
    CheckDupSensor();
    Probe().UpdateDup();
    const bool calc = BuildCalcList();
    const bool links = SetLinkPtr();
    return frame && calc && links;
}

bool TProbeCollection::DefaultProbeInfo() {
    TProbeInfo& p = ProbeInfo;
    const TDateTime now = Clock().Now();
    p.UnitType.Set("Kelpra");
    p.Manufacturer.Set("Quorvel");
    p.UnitSN.Set("700-0000000000");
    p.HeadSN.Set("0");
    p.ScanRate = TExtended::FromDouble(11.0);
    p.PhysDate = p.ElecDate = p.LabDate = now;
    p.LabFacility.Set("");
    p.LabTechnician.Set("");
    p.LabSN.Set("");
    p.Voltage = 12.0f;
    p.Protocol = 0;
    p.Firmware.Set("1.0");
    p.FrameSize = 0;
    p.MarevoVersion.Set("Unknown");
    std::memset(p.reserve, 0, sizeof p.reserve);
    return true;
}

bool TProbeCollection::DefaultParamCol() {
    Guard({"Error in ParamCollection.DefaultParamCol", "Set default parameter"}, [&] {
        DefaultProbeInfo();
        IsParamList = true;
        Clear();
        for (int number : DefaultParaSequence()) {
            TParameter* p = Add(std::make_unique<TParameter>());
            p->SetDefPara(number);
        }
    });
    return true;
}

bool TProbeCollection::CreateStrings(
    std::vector<std::pair<std::string, TParameter*>>& aStrings) const {
    return Guard({"Error in ParamCollection.CreateStrings", "Paramter create"}, [&] {
        aStrings.clear();
        for (const auto& p : items_)
            aStrings.emplace_back(p->ParaGeneral.OrigName.Get(), p.get());
    });
}

// ---- Stored forms -----------------------------------------------------------------------------

bool TProbeCollection::SaveToStream(TStream& theStream) const {
    return Guard({"Error in ProbeCollection.SaveToStream", "Save data"}, [&] {
        TRecordWriter w(theStream, "TProbeCollection.SaveToStream: write error - ");
        w.Put(CollectionFormat, "format");
        w.Put(ProbeInfo, "ProbeInfo");
        w.Put<std::int32_t>(Count(), "count");
        for (const auto& p : items_)
            if (!p->WritePara(theStream))
                Raise("TProbeCollection.SaveToStream: write error - " + p->GetParaStr());
    });
}

bool TProbeCollection::ReadFromStream(TStream& theStream) {
    return Guard({"Error in ProbeCollection.ReadFromStream", "Read parameter data file format"},
                 [&] {
                     Clear();
                     TRecordReader r(theStream, "TProbeCollection.ReadFromStream: read error - ");
                     if (r.Get<std::int32_t>("format") != CollectionFormat)
                         Raise("TProbeCollection.ReadFromStream: Format error - Corrupted or old "
                               "file");
                     r.Get(ProbeInfo, "ProbeInfo");
                     const auto n = r.Get<std::int32_t>("count");
                     if (n < 0)
                         Raise("TProbeCollection.ReadFromStream: Format error - Corrupted or old "
                               "file");
                     for (std::int32_t i = 0; i < n; ++i) {
                         TParameter* p = Add(std::make_unique<TParameter>());
                         if (!p->ReadPara(theStream))
                             Raise("TProbeCollection.ReadFromStream: read error - parameter " +
                                   std::to_string(i + 1));
                         p->SetPosInProbe(i + 1);
                     }
                 });
}

bool TProbeCollection::SaveToStreamName(const std::filesystem::path& StreamName) {
    return Guard({"Error in ProbeCollection.SaveToStreamName", "Save parameter"}, [&] {
        const std::filesystem::path name = StreamName.empty() ? TheStreamName : StreamName;
        if (name.empty())
            Raise("TProbeCollection.SaveToStreamName: StreamName is empty");
        // The probe's calibrations live in this file: replace it whole or not at all.
        WriteFileAtomically(name, [&](TStream& out) {
            std::memset(&versionPCol, 0, sizeof versionPCol);
            versionPCol.Set(ParamColVersion);
            TRecordWriter(out, "TProbeCollection.SaveToStreamName: Write error - ")
                .Put(versionPCol, "version");
            if (!SaveToStream(out))
                Raise("TProbeCollection.SaveToStreamName: Write error");
        });
        TheStreamName = name;
    });
}

bool TProbeCollection::ReadFromStreamName(const std::filesystem::path& StreamName) {
    return GuardOr({"Error in ProbeCollection.ReadFromStreamName", "Read file"}, false, [&] {
        const std::filesystem::path name = StreamName.empty() ? TheStreamName : StreamName;
        if (name.empty())
            Raise("TProbeCollection.ReadFromStreamName: StreamName is empty");
        if (!std::filesystem::exists(name))
            Raise(" File not found: " + name.string());
        Clear();
        TFileStream in(name, TFileMode::OpenRead);
        std::memset(&versionPCol, 0, sizeof versionPCol);
        // Another version is not an error to report: the caller decides what to do with it.
        if (in.Read(&versionPCol, sizeof versionPCol) != sizeof versionPCol ||
            versionPCol.Raw() != ParamColVersion)
            return false;
        if (!ReadFromStream(in))
            Raise("TProbeCollection.ReadFromStreamName: Read error");
        TheStreamName = name;
        return true;
    });
}

bool TProbeCollection::ParaColToConfigStream(TStream& theStream) const {
    return Guard({"Error in ProbeCollection.ParaColToConfigStream ", "Write parameter setup"}, [&] {
        TRecordWriter w(theStream, "TProbeCollection.ParaColToConfigStream: write error - ");
        w.Put(CollectionFormat, "format");
        w.Put<std::int32_t>(Count(), "count");
        for (const auto& p : items_)
            if (!p->WriteParaDisplay(theStream))
                Raise("TProbeCollection.ParaColToConfigStream: write error - " + p->GetParaStr());
    });
}

bool TProbeCollection::ConfigStreamToParaCol(TStream& theStream) {
    return Guard({"Error in ProbeCollection.ConfigStreamToParaCol ", "Read parameter setup"}, [&] {
        TRecordReader r(theStream, "TProbeCollection.ConfigStreamToParaCol: read error - ");
        r.Get<std::int32_t>("format");
        const auto n = r.Get<std::int32_t>("count");
        TProbeCollection& probe = *this;
        for (std::int32_t i = 0; i < n; ++i) {
            TParameter scratch;
            if (!scratch.ReadParaDisplay(theStream))
                Raise("TProbeCollection.ConfigStreamToParaCol: read error - parameter " +
                      std::to_string(i + 1));
            TParameter* target = probe.FindPara(scratch.GetParaNb());
            if (!target)
                Raise("TProbeCollection.ConfigStreamToParaCol: Parameter not found in Parameter "
                      "collection " +
                      std::to_string(scratch.GetParaNb()));
            target->AssignDisplay(scratch);
        }
    });
}

bool TProbeCollection::ProbeToCruiseFile(TStream& theStream) {
    return Guard({"Error in ProbeCollection.ProbeToCruiseFile ", "Cruise file update"}, [&] {
        if (Count() > 0)
            BuildProbeInfo();
        const std::int32_t n = FrameInfo.ExtCount;
        // A block the reader would refuse must not be written in place of a readable one.
        if (n < 0 || n > MaxProbeBlockParameters || n > Count())
            Raise("TProbeCollection.ProbeToCruiseFile: " + std::to_string(n) +
                  " input parameters cannot be stored");
        TRecordWriter w(theStream, "TProbeCollection.ProbeToCruiseFile: write error - ");
        w.Put(CollectionFormat, "format");
        w.Put(n, "count");
        w.Put(ProbeInfo, "ProbeInfo");
        for (std::int32_t i = 0; i < n; ++i)
            if (!Items(i)->WriteParaRaw(theStream))
                Raise("TProbeCollection.ProbeToCruiseFile: write error - " +
                      Items(i)->GetParaStr());
    });
}

bool TProbeCollection::CruiseFileToProbe(TStream& theStream) {
    return GuardOr({"Error in ProbeCollection.CruiseFileToProbe ", "Read cruise file"}, false, [&] {
        Clear();
        TRecordReader r(theStream, "TProbeCollection.CruiseFileToProbe: read error - ");
        r.Get<std::int32_t>("format");
        const auto n = r.Get<std::int32_t>("count");
        if (n < 0 || n > MaxProbeBlockParameters)
            return false;
        r.Get(ProbeInfo, "ProbeInfo");
        TParamCollection& probe = Probe();
        for (std::int32_t i = 0; i < n; ++i) {
            TParameter scratch;
            if (!scratch.ReadParaRaw(theStream))
                Raise("TProbeCollection.CruiseFileToProbe: read error - parameter " +
                      std::to_string(i + 1));
            const TParameter* known = probe.FindPara(scratch.GetParaNb());
            if (!known)
                Raise("TProbeCollection.CruiseFileToProbe: Parameter not found in Parameter "
                      "collection " +
                      std::to_string(scratch.GetParaNb()));
            std::unique_ptr<TParameter> copy = known->MakeCopy();
            if (!copy)
                Raise("cannot copy " + known->GetParaStr());
            copy->AssignAcqui(scratch);
            Add(std::move(copy))->SetPosInProbe(Count());
        }
        return true;
    });
}

// ---- TParamCollection -------------------------------------------------------------------------

TParamCollection::TParamCollection() {
    ResetSortInfo();
}

TDecodeContext TParamCollection::DecodeContext() {
    TDecodeContext ctx;
    ctx.Header = &Acqui.HeaderState;
    ctx.CastStarted = Acqui.S_RTStatus != rt_none && Acqui.S_RTStatus != rt_wait;
    ctx.BtlNumber = &BtlAlarm.C_BtlNumber;
    ctx.BtlStatus = &BtlAlarm.C_BtlStatus;
    ctx.TimeBase = Acqui.ParaTims ? &Acqui.ParaTims->Current : nullptr;
    ctx.RawIndex = Acqui.RawIndex;
    ctx.SpeedLow = Acqui.C_SpeedLow;
    ctx.WinchSpeed = Acqui.C_WinchSpeed;
    return ctx;
}

void TParamCollection::ResetSortInfo() {
    const TDateTime now = Clock().Now();
    TSortInfo& s = Bin.SortInfo;
    s.SortType = AM_Pressure;
    s.VerticalUnit = vu_dbar;
    s.SAllStep = 10;
    s.SAllMax = 1000;
    s.SAllStart = 1;
    s.SPresDelta = TExtended::FromDouble(1.0);
    s.STimeDelta = 1.0;
    s.STimeOffset = 1.0;
    s.SPresOffset = TExtended::FromDouble(1.0);
    s.MaxDownPres = TExtended::FromDouble(0.0);
    s.MinUpPres = TExtended::FromDouble(0.0);
    s.MaxDownIndex = -1;
    s.MaxIndex = -1;
    s.STrigPres = TExtended::FromDouble(1.0);
    s.STrigCond = TExtended::FromDouble(5.0);
    s.STrigStart = now;
    s.STrigEnd = now + 1.0;
    BtlAlarm.C_BtlStatus = btl_Ready;
    Acqui.S_TrigCount = 0;
}

long double TParamCollection::GetYValue(std::int32_t Yindex) const {
    const TGenConfig& cfg = Gen();
    if (UsedEntries(cfg.ParaPlotList) == 0)
        return 0;
    const TParameter* axis = FindPara(cfg.ParaPlotList.List[0]);
    if (!axis || !axis->SortedBuffer)
        return 0;
    return axis->SortedBuffer->AtValue(Yindex);
}

} // namespace marevo
