#include "records/Config.h"

#include "foundation/DateTime.h"
#include "foundation/Guard.h"
#include "foundation/FileNames.h"
#include "foundation/Runtime.h"
#include "foundation/Stream.h"
#include "parameters/Parameter.h"

#include <algorithm>
#include <cstring>

namespace marevo {

namespace fs = std::filesystem;

namespace {

TExtended Ext(long double value) {
    return TExtended::FromLongDouble(value);
}

constexpr long double OutOfRangeMin = -5.0L;
constexpr long double OutOfRangeMax = 1000.0L;

void SetTextDefaults(TTextFileCfg& cfg, std::initializer_list<std::int32_t> columns,
                     std::initializer_list<std::int32_t> head, TTimeUnit timeUnit) {
    SetParaListNumbers(cfg.ParaList, columns);
    SetParaListNumbers(cfg.HeadList, head);
    cfg.UseSmoothing = 0;
    cfg.UseOutDir = 0;
    cfg.YMinus = 0;
    cfg.Unused = 0;
    cfg.Separator = sep_space;
    cfg.PosFormat = 0; // degree
    cfg.Direction = 1; // down
    cfg.CondUnit = 1;  // mS/cm
    cfg.TimeUnit = timeUnit;
}

// A stored list whose count lies outside 0..33 would send every user past the end of its arrays.
void CheckListCount(const TParaList& list, std::string_view name) {
    if (list.count < 0 || list.count > MaxParaListCount)
        Raise("TConfig.ReadFromFile: bad value - " + std::string(name) + ".count");
}

} // namespace

bool IsSafeSettingsName(std::string_view name) {
    if (name.empty())
        return false;
    for (char c : name)
        if (c == '/' || c == '\\' || c == '.' || static_cast<unsigned char>(c) < 0x20)
            return false;
    // Stored as single-byte text: every character must have its byte and count once.
    const std::string stored = Utf8ToCp1252(name);
    return stored.size() <= MaxSettingsNameLength && Cp1252ToUtf8(stored) == name;
}

TConfig::TConfig() {
    Guard({"Error in TConfig.Create", "Configuration"}, [&] { SetDefault(); });
}

bool TConfig::SetDefault() {
    return Guard({"Error in TConfig.SetDefault", "Set Default Configuration"},
                 [&] { SetDefaultRecords(); });
}

void TConfig::SetDefaultRecords() {
    std::memset(static_cast<void*>(&Rosette), 0, sizeof Rosette);
    Rosette.RosetteType = ro_none;
    Rosette.TimeOut = SecondsToDays(10);
    Rosette.FireDelay = SecondsToDays(2);
    for (int k = 1; k <= 18; ++k)
        Rosette.BottleList[k - 1] = 1;
    // 36 although 18 positions are installed: the count is recomputed from BottleList whenever
    // a configuration is read, which every start does right after writing the defaults.
    Rosette.InstalledNb = 36;
    Rosette.FirstInstalled = 1;
    Rosette.LastInstalled = 18;
    Rosette.SamplingType = 0;
    Rosette.OperatorAuth = 0;
    Rosette.WaitOnSampling = Ext(120.0L);
    Rosette.StartPressure = Ext(1000.0L);

    RemoteSetting.RemoteMode = AM_Pressure;
    RemoteSetting.PressureStep = Ext(1.0L);
    RemoteSetting.PressureSetNb = 1;
    RemoteSetting.PressureMax = Ext(6000.0L);
    RemoteSetting.TimeStep = SecondsToDays(1);
    RemoteSetting.TimeStart = 0;
    RemoteSetting.TimeSetNb = 1;
    RemoteSetting.TimeMaxStep = 100;
    RemoteSetting.TimeSwitchOff = 0;

    SetGenConfigDefaults(GenCfg);

    AcquiCfg.AcquiMode = AM_Time;
    AcquiCfg.VertAlghMethod = Ext(0.0L);
    AcquiCfg.VertLastValueMethod = Ext(0.0L);
    AcquiCfg.VertStep = Ext(1.0L);
    AcquiCfg.VertMean = 0;
    AcquiCfg.VertFirst = Ext(1.0L);
    AcquiCfg.VertMeanItv = AcquiCfg.VertStep;
    AcquiCfg.TimeMean = 0;
    AcquiCfg.VertUnit = vu_dbar;
    AcquiCfg.TimeFile = 0;
    AcquiCfg.AutoStart = SM_Manual;
    AcquiCfg.TrigPres = Ext(5.0L);
    AcquiCfg.TrigCond = Ext(10.0L);
    AcquiCfg.TimeDelay = 0;
    AcquiCfg.TimeEnd = 0;
    AcquiCfg.TimeStep = SecondsToDays(1);
    AcquiCfg.TimeMeanItv = AcquiCfg.TimeStep;
    AcquiCfg.TimeFirst = 0;
    AcquiCfg.TimeStart = Clock().Now();
    AcquiCfg.AllMax = 1000000;
    AcquiCfg.AllStep = 1;
    AcquiCfg.AllStart = 1;
    AcquiCfg.AllMeanNb = 1;

    // 101 pressure, 401 temperature, 599 conductivity, 400 time; 1002 cast name, 1012 and 1018
    // start latitude and longitude, 924 column names, 900 cruise name, 920 vessel.
    SetTextDefaults(DataTextCfg, {101, 401, 599}, {1002, 1012, 924}, Time_Second);
    SetTextDefaults(HeaderTextCfg, {1002, 1012, 1018}, {900, 920}, Time_Minute);
    SetTextDefaults(BottleTextCfg, {101, 400}, {900, 920}, Time_Minute);

    DataValidation.minTimeInterval = 0.005f;
    DataValidation.maxTimeInterval = 0.75f;
    DataValidation.minPresInterval = 0.05f;
    DataValidation.maxPresInterval = 0.75f;
    DataValidation.datasetCount = 10.0f;
    DataValidation.minPresBottomCheck = 2.0f;
    DataValidation.minInterval2ValidateDirectionChange = 5.0f;
    DataValidation.AltimeterMinPressure = 5.0f;
    DataValidation.ShowFlagged = 1;
    DataValidation.TelemetryInstalled = 0;
    DataValidation.WaveFilterEnable = 0;
    DataValidation.WaveFilterThreshold = 0.1f;
    DataValidation.WarmupFilterEnable = 0;
    DataValidation.WarmupFilterThreshold = 5.0f;
    DataValidation.WarmupFilterMinPressure = 0.1f;
    DataValidation.ValidateLimits = 0;

    ExtractionFoldersCfg.AutomaticTextDataExportMode = TEMDisabled;
    ExtractionFoldersCfg.AutomaticTextDataExportTimeout = SecondsToDays(60);
    ExtractionFoldersCfg.AutomaticTextDataExportCastFileName = 0;
    ExtractionFoldersCfg.AutomaticTextDataExportFileName.Set("");
    ExtractionFoldersCfg.ManualExtractionFolderEnabled = 0;
    ExtractionFoldersCfg.ManualExtractionFolderName.Set("");
}

bool TConfig::SaveToFile(const fs::path& name, const IConfigParameters& parameters) {
    return Guard({"Error in Config.SaveToFile", "Configuration"}, [&] {
        if (name.empty())
            Raise("TConfig.SaveToFile: file name is empty");
        WriteFileAtomically(name, [&](TStream& out) {
            std::fill(std::begin(index), std::end(index), 0);
            std::memset(&versionCfg, 0, sizeof versionCfg);
            versionCfg.Set(ConfigVersion);
            TRecordWriter w(out, "TConfig.SaveToFile: write error - ");
            w.Put(versionCfg, "versionCfg");
            w.PutBytes(index, sizeof index, "index");
            w.Put(GenCfg, "GenCfg");
            // index[k] is where the block after the one just written starts.
            const auto next = [&](int k) { index[k] = static_cast<std::int32_t>(out.Position()); };
            next(0);
            w.Put(DataTextCfg, "DataTextCfg");
            next(1);
            w.Put(HeaderTextCfg, "HeaderTextCfg");
            next(2);
            w.Put(BottleTextCfg, "BottleTextCfg");
            next(3);
            w.Put(AcquiCfg, "AcquiCfg");
            next(4);
            w.Put(RemoteSetting, "RemoteSetting");
            next(5);
            if (!parameters.WriteDisplayBlock(out))
                Raise("TConfig.SaveToFile: write error - parameter display block");
            next(6);
            w.Put(Rosette, "Rosette");
            next(7);
            w.Put(DataValidation, "DataValidation");
            next(8);
            w.Put(ExtractionFoldersCfg, "ExtractionFoldersCfg");
            out.Seek(cfgfile::IndexOffset);
            w.PutBytes(index, sizeof index, "index");
        });
    });
}

bool TConfig::ReadFromFile(const fs::path& name, const IConfigParameters& parameters) {
    return GuardOr(
        {"Error in TConfig.ReadFromFile - Error while reading: ", "Configuration reading"}, false,
        [&] {
            SetDefault();
            TFileStream in(name, TFileMode::OpenRead);
            std::memset(&versionCfg, 0, sizeof versionCfg);
            // Another version is no failure to report: start-up calls the file invalid.
            if (in.Read(&versionCfg, sizeof versionCfg) != sizeof versionCfg ||
                versionCfg.Raw() != ConfigVersion)
                return false;

            TRecordReader r(in, "TConfig.ReadFromFile: read error - ");
            r.GetBytes(index, sizeof index, "index");
            // Every block has its fixed size, so a sound file has exactly these offsets; any
            // other index would place a block inside another or past the end of the file.
            using namespace cfgfile;
            const std::int64_t fixed[] = {DataTextOffset, HeaderTextOffset, BottleTextOffset,
                                          AcquiOffset,    RemoteOffset,     DisplayBlockOffset};
            for (int k = 0; k < 6; ++k)
                if (index[k] != fixed[k])
                    Raise("TConfig.ReadFromFile: bad value - index[" + std::to_string(k) + "]");
            if (index[6] < DisplayBlockOffset + DisplayBlockHeadSize ||
                index[7] != index[6] + static_cast<std::int64_t>(sizeof(TRosetteInfo)) ||
                index[8] != index[7] + static_cast<std::int64_t>(sizeof(TDataValidation)) ||
                index[9] != 0)
                Raise("TConfig.ReadFromFile: bad value - index");
            if (in.Size() !=
                index[8] + static_cast<std::int64_t>(sizeof(TExtractionTextFoldersCfg)))
                Raise("TConfig.ReadFromFile: bad value - file size");

            r.Get(GenCfg, "GenCfg");
            CheckListCount(GenCfg.ParaPlotList, "ParaPlotList");
            CheckListCount(GenCfg.BottleParaList, "BottleParaList");
            CheckListCount(GenCfg.CurParaList, "CurParaList");
            const struct {
                TTextFileCfg& cfg;
                const char* name;
            } texts[] = {{DataTextCfg, "DataTextCfg"},
                         {HeaderTextCfg, "HeaderTextCfg"},
                         {BottleTextCfg, "BottleTextCfg"}};
            for (int k = 0; k < 3; ++k) {
                in.Seek(index[k]);
                r.Get(texts[k].cfg, texts[k].name);
                CheckListCount(texts[k].cfg.ParaList, std::string(texts[k].name) + ".ParaList");
                CheckListCount(texts[k].cfg.HeadList, std::string(texts[k].name) + ".HeadList");
            }
            in.Seek(index[3]);
            r.Get(AcquiCfg, "AcquiCfg");
            in.Seek(index[4]);
            r.Get(RemoteSetting, "RemoteSetting");
            in.Seek(index[5]);
            if (!parameters.ReadDisplayBlock(in) || in.Position() != index[6])
                Raise("TConfig.ReadFromFile: bad value - parameter display block");
            in.Seek(index[6]);
            r.Get(Rosette, "Rosette");
            in.Seek(index[7]);
            r.Get(DataValidation, "DataValidation");
            in.Seek(index[8]);
            r.Get(ExtractionFoldersCfg, "ExtractionFoldersCfg");

            SetBottlesPara();
            // Set again from the probe when a cast starts.
            Rosette.RosetteType = ro_none;
            Rosette.TimeOut = 0;
            Rosette.FireDelay = 0;
            Rosette.MaxBottlePos = 0;
            UpdateAllParaPtr(parameters);
            return true;
        });
}

bool TConfig::UpdateAllParaPtr(const IConfigParameters& parameters) {
    return Guard({"Error in TConfig.UpdateAllParaPtr", "Configuration update"}, [&] {
        SetParaPtr(GenCfg.ParaPlotList, PlotParaPtr, parameters);
        SetParaPtr(GenCfg.CurParaList, CurParaPtr, parameters);
        SetParaPtr(GenCfg.BottleParaList, BottleParaPtr, parameters);
        SetParaPtr(DataTextCfg.ParaList, DataTextParaPtr, parameters);
        SetParaPtr(DataTextCfg.HeadList, DataTextHeadPtr, parameters);
        SetParaPtr(HeaderTextCfg.ParaList, HeaderTextParaPtr, parameters);
        SetParaPtr(HeaderTextCfg.HeadList, HeaderTextHeadPtr, parameters);
        SetParaPtr(BottleTextCfg.ParaList, BottleTextParaPtr, parameters);
        SetParaPtr(BottleTextCfg.HeadList, BottleTextHeadPtr, parameters);
    });
}

bool TConfig::SetParaPtr(const TParaList& list, TParaPtrArray& ptr,
                         const IConfigParameters& parameters) {
    return Guard({"Error in Config.SetParaPtr", "Configuration"}, [&] {
        ptr.fill(nullptr);
        if (list.count < 0 || list.count > MaxParaListCount)
            Raise("TConfig.SetParaPtr: bad value - count");
        for (int i = 0; i < list.count; ++i) {
            ptr[i] = parameters.FindListedPara(list.List[i]);
        }
    });
}

bool TConfig::ExistPlotPara(std::int32_t number) const {
    const TParaList& plot = GenCfg.ParaPlotList;
    const int n = std::clamp(plot.count, 0, MaxParaListCount);
    return std::find(plot.List, plot.List + n, number) != plot.List + n;
}

bool TConfig::RemoveScale(int i) {
    TParaList& plot = GenCfg.ParaPlotList;
    if (i < 0 || i >= std::min(plot.count, MaxParaListCount))
        return false;
    for (int k = i; k + 1 < plot.count; ++k) {
        plot.List[k] = plot.List[k + 1];
        PlotParaPtr[k] = PlotParaPtr[k + 1];
    }
    --plot.count;
    PlotParaPtr[plot.count] = nullptr;
    return true;
}

namespace {

// The resolved plot parameter of entry i; raises when there is none.
TParameter& PlotPara(const TParaPtrArray& ptr, int i) {
    if (!ptr[i])
        Raise("no parameter for plot entry " + std::to_string(i));
    return *ptr[i];
}

bool InPlotRange(int i) {
    return i >= 0 && i < MaxParaListCount;
}

} // namespace

long double TConfig::ScaleMin(int i) {
    return GuardOr({"Error in TConfig.ScaleMin", "Configuration"}, OutOfRangeMin, [&] {
        if (!InPlotRange(i))
            return OutOfRangeMin;
        const TParaScale& s = PlotPara(PlotParaPtr, i).ParaScale;
        const bool automatic =
            i == 0 ? GenCfg.DrawAutoY != 0 : GenCfg.DrawAutoX != 0 && s.EnableXAutoScale == 0;
        return (automatic ? s.AutoMin : s.CurMin).ToLongDouble();
    });
}

long double TConfig::ScaleMax(int i) {
    return GuardOr({"Error in TConfig.ScaleMax", "Configuration Plot"}, OutOfRangeMax, [&] {
        if (!InPlotRange(i))
            return OutOfRangeMax;
        const TParaScale& s = PlotPara(PlotParaPtr, i).ParaScale;
        const bool automatic =
            i == 0 ? GenCfg.DrawAutoY != 0 : GenCfg.DrawAutoX != 0 && s.EnableXAutoScale == 0;
        return (automatic ? s.AutoMax : s.CurMax).ToLongDouble();
    });
}

bool TConfig::ScaleLog(int i) {
    return GuardOr({"Error in TConfig.ScaleLog", "Configuration"}, false, [&] {
        return InPlotRange(i) && PlotPara(PlotParaPtr, i).ParaScale.ScaleType == st_Log;
    });
}

std::string TConfig::ScaleName(int i) {
    return GuardOr({"Error in TConfig.ScaleName", "Configuration Plot"}, std::string(), [&] {
        if (!InPlotRange(i))
            return std::string();
        const TParaText& t = PlotPara(PlotParaPtr, i).ParaText;
        return t.ParaStr[4].Get() + " [" + t.ParaStr[txt_Unit].Get() + "]";
    });
}

std::int32_t TConfig::ScaleColor(int i) {
    return GuardOr({"Error in TConfig.ScaleColor", "Configuration Plot"}, std::int32_t{0}, [&] {
        return InPlotRange(i) ? PlotPara(PlotParaPtr, i).ParaScale.Color : std::int32_t{0};
    });
}

void TConfig::SetBottlesPara() {
    // A stored count beyond the rosette's 36 positions is taken as 36.
    const int positions = std::clamp(Rosette.MaxBottlePos, 0, MaxBottles);
    Rosette.InstalledNb = 0;
    Rosette.FirstInstalled = 0;
    Rosette.LastInstalled = 0;
    for (int k = 1; k <= positions; ++k) {
        if (!Rosette.BottleList[k - 1])
            continue;
        ++Rosette.InstalledNb;
        if (Rosette.FirstInstalled == 0)
            Rosette.FirstInstalled = k;
        Rosette.LastInstalled = k;
    }
}

int TConfig::NextBottle(int last, const std::function<bool(int)>& statusEmpty) const {
    return marevo::NextBottle(Rosette, last, statusEmpty);
}

int NextBottle(const TRosetteInfo& rosette, int last,
               const std::function<bool(int)>& statusEmpty) {
    const int lastInstalled = std::clamp(rosette.LastInstalled, 0, MaxBottles);
    const auto usable = [&](int k) { return rosette.BottleList[k - 1] && statusEmpty(k); };
    for (int k = std::max(last + 1, 1); k <= lastInstalled; ++k)
        if (usable(k))
            return k;
    for (int k = 1; k <= lastInstalled; ++k)
        if (usable(k))
            return k;
    return 0;
}

fs::path TConfig::RootCruisePath(const fs::path& dataRoot) const {
    const std::string cruise = GenCfg.CruiseName.Get();
    return IsSafeSettingsName(cruise) ? CruiseFolder(dataRoot, cruise) : fs::path();
}

fs::path TConfig::RawDir(const fs::path& dataRoot) const {
    const fs::path root = RootCruisePath(dataRoot);
    return root.empty() ? root : root / "raw";
}

fs::path TConfig::BinDir(const fs::path& dataRoot) const {
    const fs::path root = RootCruisePath(dataRoot);
    return root.empty() ? root : root / "bin";
}

fs::path TConfig::TxtDir(const fs::path& dataRoot) const {
    const fs::path root = RootCruisePath(dataRoot);
    return root.empty() ? root : root / "txt";
}

fs::path TConfig::DefaultCruisePath(const fs::path& dataRoot) const {
    const std::string cruise = GenCfg.CruiseName.Get();
    return IsSafeSettingsName(cruise) ? DefaultCruiseName(dataRoot, cruise) : fs::path();
}

fs::path TConfig::CruisePathName(const fs::path& dataRoot) const {
    return DefaultCruisePath(dataRoot);
}

} // namespace marevo
