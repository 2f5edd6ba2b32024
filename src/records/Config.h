#pragma once
// The configuration: how casts are processed and shown (plot, value, bottle and export lists,
// binning, validation and filters, alarms, sensor choices, rosette, text export). One named file
// <name>.cfg in the configuration folder holds it; the environment names the current one.
//
// Every record below is stored byte for byte as laid out, gaps included, so each is the stored
// form itself and its users read the fields directly. Lists hold parameter numbers only; the
// resolved parameters are kept beside them in the configuration (SetParaPtr).

#include "foundation/Extended.h"
#include "foundation/Record.h"
#include "foundation/ShortString.h"
#include "foundation/Stream.h"
#include "parameters/ParaRecords.h"
#include "platform/Clock.h"
#include "records/CollectionTypes.h"
#include "records/AcquiMode.h"
#include "records/GenConfig.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace marevo {

// Version text of the configuration file; no other version is read.
constexpr const char* ConfigVersion = "1.25";
// Rosette positions 1..36.
constexpr int MaxBottles = 36;
// Cruise and configuration names become file and folder names.
constexpr std::size_t MaxSettingsNameLength = 40;

// A cruise or configuration name that can be used as a file or folder name inside the data root:
// not empty, at most 40 characters, no folder separator, no dot (so neither "." nor ".." nor an
// extension of its own), no control character.
bool IsSafeSettingsName(std::string_view name);

enum TTextSeparator : std::uint8_t { sep_space = 0, sep_tab = 1, sep_comma = 2 };

// Time unit of a text export; 0..3 also the time unit of the general settings.
enum TTimeUnit : std::uint8_t {
    Time_Second = 0,
    Time_Minute = 1,
    Time_hour = 2,
    Time_Day = 3,
    Time_hhhmmss = 4, // hhh:mm:ss
    Time_hmsd = 5,    // hhh:mm:ss.ddd
    Time_DateTime = 6,
    Time_DateTime_Hmsd = 7,
};

// How a real-time cast starts recording.
enum TStartMode : std::uint8_t { SM_Manual = 0, SM_Immersion = 1, SM_TimeStart = 2 };

enum TRosetteType : std::uint8_t {
    ro_none = 0,
    ro_1014 = 1,
    ro_1015 = 2,
    ro_1016 = 3,
    ro_SBE = 4,
    ro_MISS = 5,
    ro_KC = 6,
};

enum TAutomaticTextDataExportMode : std::uint8_t {
    TEMDisabled = 0,
    TEMOnEndAcquisition = 1,
    TEMOnTimeout = 2,
};

#pragma pack(push, 1)

// Settings of one text export: the data export, the cast-header table or the bottle table.
struct alignas(4) TTextFileCfg {
    TParaList ParaList; // columns (cast-header table: the header parameters of one cast line)
    TParaList HeadList; // header parameters, one header line each
    std::uint8_t UseSmoothing;
    std::uint8_t UseOutDir; // kept, not offered by the dialogs
    TTextSeparator Separator;
    std::uint8_t PosFormat; // 0 degree, 1 minute, 2 second
    TTimeUnit TimeUnit;
    std::uint8_t CondUnit;  // 0 uS/cm, 1 mS/cm, 2 S/m
    std::uint8_t YMinus;    // pressure or depth written as negative numbers
    std::uint8_t Direction; // 1 down, 2 up, 3 both
    std::uint8_t Unused;
    std::uint8_t AddPrompt; // each header line starts with the parameter's prompt text
    std::uint8_t gap618[2];
};
MAREVO_RECORD_SIZE(TTextFileCfg, 620);
MAREVO_RECORD_OFFSET(TTextFileCfg, HeadList, 304);
MAREVO_RECORD_OFFSET(TTextFileCfg, UseSmoothing, 608);
MAREVO_RECORD_OFFSET(TTextFileCfg, Separator, 610);
MAREVO_RECORD_OFFSET(TTextFileCfg, TimeUnit, 612);
MAREVO_RECORD_OFFSET(TTextFileCfg, Direction, 615);
MAREVO_RECORD_OFFSET(TTextFileCfg, AddPrompt, 617);
MAREVO_RECORD_OFFSET(TTextFileCfg, gap618, 618);

// Extraction (binning) and the start of a real-time cast. Times and durations are days.
struct alignas(8) TAcquiCfg {
    TAcquiMode AcquiMode;
    std::uint8_t gap1[7];
    TExtended VertAlghMethod; // first value: 0 always interpolate, 1 first available
    std::uint8_t gap18[6];
    TExtended VertLastValueMethod; // last value: 0 according with step, 1 deepest value
    std::uint8_t gap34[6];
    TExtended VertStep;    // dbar or m
    std::uint8_t VertMean; // 0 interpolating, 1 averaging
    std::uint8_t gap51[5];
    TExtended VertFirst;
    std::uint8_t gap66[6];
    TExtended VertMeanItv;
    std::uint8_t TimeMean; // 0 interpolating, 1 averaging
    TVerticalUnit VertUnit;
    std::uint8_t TimeFile; // kept
    std::uint8_t gap85[3];
    TDateTime TimeStep;
    TDateTime TimeFirst;
    TDateTime TimeMeanItv;
    std::int32_t AllMax; // data sets extracted at most
    std::int32_t AllStep;
    std::int32_t AllStart;
    std::int32_t reservedInt;
    std::uint8_t reservedBool;
    std::uint8_t gap129[3];
    std::int32_t AllMeanNb; // data sets averaged
    TStartMode AutoStart;
    std::uint8_t gap137[7];
    TExtended TrigPres; // immersion start pressure, dbar
    std::uint8_t gap154[6];
    TExtended TrigCond; // immersion start conductivity
    std::uint8_t gap170[6];
    TDateTime TimeDelay;
    TDateTime TimeEnd;
    TDateTime TimeStart; // start date-time
};
MAREVO_RECORD_SIZE(TAcquiCfg, 200);
MAREVO_RECORD_OFFSET(TAcquiCfg, VertAlghMethod, 8);
MAREVO_RECORD_OFFSET(TAcquiCfg, VertLastValueMethod, 24);
MAREVO_RECORD_OFFSET(TAcquiCfg, VertStep, 40);
MAREVO_RECORD_OFFSET(TAcquiCfg, VertMean, 50);
MAREVO_RECORD_OFFSET(TAcquiCfg, VertFirst, 56);
MAREVO_RECORD_OFFSET(TAcquiCfg, VertMeanItv, 72);
MAREVO_RECORD_OFFSET(TAcquiCfg, TimeMean, 82);
MAREVO_RECORD_OFFSET(TAcquiCfg, VertUnit, 83);
MAREVO_RECORD_OFFSET(TAcquiCfg, TimeFile, 84);
MAREVO_RECORD_OFFSET(TAcquiCfg, TimeStep, 88);
MAREVO_RECORD_OFFSET(TAcquiCfg, TimeFirst, 96);
MAREVO_RECORD_OFFSET(TAcquiCfg, TimeMeanItv, 104);
MAREVO_RECORD_OFFSET(TAcquiCfg, AllMax, 112);
MAREVO_RECORD_OFFSET(TAcquiCfg, reservedInt, 124);
MAREVO_RECORD_OFFSET(TAcquiCfg, reservedBool, 128);
MAREVO_RECORD_OFFSET(TAcquiCfg, AllMeanNb, 132);
MAREVO_RECORD_OFFSET(TAcquiCfg, AutoStart, 136);
MAREVO_RECORD_OFFSET(TAcquiCfg, TrigPres, 144);
MAREVO_RECORD_OFFSET(TAcquiCfg, TrigCond, 160);
MAREVO_RECORD_OFFSET(TAcquiCfg, TimeDelay, 176);
MAREVO_RECORD_OFFSET(TAcquiCfg, TimeEnd, 184);
MAREVO_RECORD_OFFSET(TAcquiCfg, TimeStart, 192);

// Remote-acquisition settings: stored and given defaults, read by nothing else.
struct alignas(8) TRemoteSetting {
    TAcquiMode RemoteMode;
    std::uint8_t gap1[7];
    TExtended PressureStep;
    std::uint8_t gap18[2];
    std::int32_t PressureSetNb;
    TExtended PressureMax;
    std::uint8_t gap34[6];
    TDateTime TimeStep;
    TDateTime TimeStart;
    std::int32_t TimeSetNb;
    std::int32_t TimeMaxStep;
    std::uint8_t TimeSwitchOff;
    std::uint8_t Reserve[207];
};
MAREVO_RECORD_SIZE(TRemoteSetting, 272);
MAREVO_RECORD_OFFSET(TRemoteSetting, PressureStep, 8);
MAREVO_RECORD_OFFSET(TRemoteSetting, PressureSetNb, 20);
MAREVO_RECORD_OFFSET(TRemoteSetting, PressureMax, 24);
MAREVO_RECORD_OFFSET(TRemoteSetting, TimeStep, 40);
MAREVO_RECORD_OFFSET(TRemoteSetting, TimeStart, 48);
MAREVO_RECORD_OFFSET(TRemoteSetting, TimeSetNb, 56);
MAREVO_RECORD_OFFSET(TRemoteSetting, TimeMaxStep, 60);
MAREVO_RECORD_OFFSET(TRemoteSetting, TimeSwitchOff, 64);
MAREVO_RECORD_OFFSET(TRemoteSetting, Reserve, 65);

// Rosette layout and firing. The per-bottle arrays hold bottle k at index k - 1.
struct alignas(8) TRosetteInfo {
    TRosetteType RosetteType;
    std::uint8_t BottleList[MaxBottles]; // position installed
    std::uint8_t gap37[3];
    TDateTime TimeOut;   // firing time-out
    TDateTime FireDelay; // delay between firings
    std::int32_t InstalledNb;
    std::int32_t FirstInstalled;              // 0 when none
    std::int32_t LastInstalled;               // 0 when none
    std::int32_t MaxBottlePos;                // positions of the rosette
    std::uint8_t BottleCheckList[MaxBottles]; // selected for automatic firing
    std::uint8_t gap108[4];
    TExtended BottlePressList[MaxBottles]; // firing pressure, dbar
    std::int32_t SamplingType;
    std::int32_t OperatorAuth;
    TExtended WaitOnSampling; // s at a firing level
    std::uint8_t gap490[6];
    TExtended StartPressure; // dbar, starts automatic firing
    std::uint8_t gap506[6];
};
MAREVO_RECORD_SIZE(TRosetteInfo, 512);
MAREVO_RECORD_OFFSET(TRosetteInfo, BottleList, 1);
MAREVO_RECORD_OFFSET(TRosetteInfo, TimeOut, 40);
MAREVO_RECORD_OFFSET(TRosetteInfo, FireDelay, 48);
MAREVO_RECORD_OFFSET(TRosetteInfo, InstalledNb, 56);
MAREVO_RECORD_OFFSET(TRosetteInfo, FirstInstalled, 60);
MAREVO_RECORD_OFFSET(TRosetteInfo, LastInstalled, 64);
MAREVO_RECORD_OFFSET(TRosetteInfo, MaxBottlePos, 68);
MAREVO_RECORD_OFFSET(TRosetteInfo, BottleCheckList, 72);
MAREVO_RECORD_OFFSET(TRosetteInfo, BottlePressList, 112);
MAREVO_RECORD_OFFSET(TRosetteInfo, SamplingType, 472);
MAREVO_RECORD_OFFSET(TRosetteInfo, OperatorAuth, 476);
MAREVO_RECORD_OFFSET(TRosetteInfo, WaitOnSampling, 480);
MAREVO_RECORD_OFFSET(TRosetteInfo, StartPressure, 496);

// Frame validation and the offline filters.
struct alignas(4) TDataValidation {
    float minTimeInterval;
    float maxTimeInterval;
    float minPresInterval;
    float maxPresInterval;
    float datasetCount;
    float minPresBottomCheck;
    float minInterval2ValidateDirectionChange;
    float AltimeterMinPressure;
    std::uint8_t ShowFlagged;
    std::uint8_t TelemetryInstalled;
    std::uint8_t WaveFilterEnable;
    std::uint8_t gap35[1];
    float WaveFilterThreshold;
    std::uint8_t WarmupFilterEnable;
    std::uint8_t gap41[3];
    float WarmupFilterThreshold;
    float WarmupFilterMinPressure;
    std::uint8_t ValidateLimits;
    std::uint8_t gap53[3];
};
MAREVO_RECORD_SIZE(TDataValidation, 56);
MAREVO_RECORD_OFFSET(TDataValidation, AltimeterMinPressure, 28);
MAREVO_RECORD_OFFSET(TDataValidation, ShowFlagged, 32);
MAREVO_RECORD_OFFSET(TDataValidation, WaveFilterThreshold, 36);
MAREVO_RECORD_OFFSET(TDataValidation, WarmupFilterEnable, 40);
MAREVO_RECORD_OFFSET(TDataValidation, WarmupFilterThreshold, 44);
MAREVO_RECORD_OFFSET(TDataValidation, WarmupFilterMinPressure, 48);
MAREVO_RECORD_OFFSET(TDataValidation, ValidateLimits, 52);

// Automatic and manual text export.
struct alignas(8) TExtractionTextFoldersCfg {
    TAutomaticTextDataExportMode AutomaticTextDataExportMode;
    std::uint8_t gap1[7];
    TDateTime AutomaticTextDataExportTimeout;
    std::uint8_t AutomaticTextDataExportCastFileName; // named after the cast, not the fixed name
    TStr<255> AutomaticTextDataExportFileName;
    std::uint8_t AutomaticTextDataExportAppend;
    std::uint8_t ManualExtractionFolderEnabled;
    TStr<255> ManualExtractionFolderName;
    std::uint8_t gap531[5];
};
MAREVO_RECORD_SIZE(TExtractionTextFoldersCfg, 536);
MAREVO_RECORD_OFFSET(TExtractionTextFoldersCfg, AutomaticTextDataExportTimeout, 8);
MAREVO_RECORD_OFFSET(TExtractionTextFoldersCfg, AutomaticTextDataExportCastFileName, 16);
MAREVO_RECORD_OFFSET(TExtractionTextFoldersCfg, AutomaticTextDataExportFileName, 17);
MAREVO_RECORD_OFFSET(TExtractionTextFoldersCfg, AutomaticTextDataExportAppend, 273);
MAREVO_RECORD_OFFSET(TExtractionTextFoldersCfg, ManualExtractionFolderEnabled, 274);
MAREVO_RECORD_OFFSET(TExtractionTextFoldersCfg, ManualExtractionFolderName, 275);
MAREVO_RECORD_OFFSET(TExtractionTextFoldersCfg, gap531, 531);

#pragma pack(pop)

// Fixed offsets of the configuration file: version, block index, then GenCfg and the blocks that
// follow it up to the parameter display block, whose length depends on the probe collection.
namespace cfgfile {
constexpr std::int64_t IndexOffset = 41;
constexpr int IndexCount = 10;
constexpr std::int64_t GenCfgOffset = IndexOffset + IndexCount * 4;                // 81
constexpr std::int64_t DataTextOffset = GenCfgOffset + sizeof(TGenConfig);         // 1289
constexpr std::int64_t HeaderTextOffset = DataTextOffset + sizeof(TTextFileCfg);   // 1909
constexpr std::int64_t BottleTextOffset = HeaderTextOffset + sizeof(TTextFileCfg); // 2529
constexpr std::int64_t AcquiOffset = BottleTextOffset + sizeof(TTextFileCfg);      // 3149
constexpr std::int64_t RemoteOffset = AcquiOffset + sizeof(TAcquiCfg);             // 3349
constexpr std::int64_t DisplayBlockOffset = RemoteOffset + sizeof(TRemoteSetting); // 3621
// The display block's own head: collection format and parameter count.
constexpr std::int64_t DisplayBlockHeadSize = 8;
constexpr std::int64_t TailSize =
    sizeof(TRosetteInfo) + sizeof(TDataValidation) + sizeof(TExtractionTextFoldersCfg);
static_assert(DataTextOffset == 1289 && DisplayBlockOffset == 3621);
} // namespace cfgfile

// Resolved parameters of a list, by entry; null where the number is in neither collection.
using TParaPtrArray = std::array<TParameter*, MaxParaListCount>;

// What the configuration needs of the parameter collections: the parameter a list entry names
// (the cast collection's, else the probe collection's; null when neither has it) and the
// parameter display block of the probe collection, stored inside the configuration file. The
// program passes its two collections (processing/Collections.h, TConfigCollections).
class IConfigParameters {
public:
    virtual ~IConfigParameters() = default;
    virtual TParameter* FindListedPara(std::int32_t number) const = 0;
    virtual bool WriteDisplayBlock(TStream& out) const = 0;
    virtual bool ReadDisplayBlock(TStream& in) const = 0;
};

class TConfig {
public:
    // Applies SetDefault.
    TConfig();

    // ---- Stored settings, in the order of the file ----------------------------------------------
    TStr<40> versionCfg{};
    std::int32_t index[cfgfile::IndexCount]{};
    TGenConfig GenCfg{};
    TTextFileCfg DataTextCfg{};
    TTextFileCfg HeaderTextCfg{};
    TTextFileCfg BottleTextCfg{};
    TAcquiCfg AcquiCfg{};
    TRemoteSetting RemoteSetting{};
    TRosetteInfo Rosette{};
    TDataValidation DataValidation{};
    TExtractionTextFoldersCfg ExtractionFoldersCfg{};

    // ---- Resolved lists (UpdateAllParaPtr) ----------------------------------------------------
    TParaPtrArray PlotParaPtr{};
    TParaPtrArray CurParaPtr{};
    TParaPtrArray BottleParaPtr{};
    TParaPtrArray DataTextParaPtr{}, DataTextHeadPtr{};
    TParaPtrArray HeaderTextParaPtr{}, HeaderTextHeadPtr{};
    TParaPtrArray BottleTextParaPtr{}, BottleTextHeadPtr{};

    bool SetDefault();
    // Replaces the file whole or not at all, with the parameters' display block.
    bool SaveToFile(const std::filesystem::path& name, const IConfigParameters& parameters);
    // False without a message for another version; false with the logged reason for a damaged
    // file, the object then holding the defaults plus what was read before the damage. The
    // display block is applied to the parameters, and the lists are resolved against them.
    bool ReadFromFile(const std::filesystem::path& name, const IConfigParameters& parameters);
    // Copies every setting of source (the configuration window's revert of a cancelled edit).
    void Assign(const TConfig& source) { *this = source; }

    // ---- Lists --------------------------------------------------------------------------------
    bool UpdateAllParaPtr(const IConfigParameters& parameters);
    // Each used entry: the parameter that parameters find for that number, else none.
    bool SetParaPtr(const TParaList& list, TParaPtrArray& ptr, const IConfigParameters& parameters);
    int PlotCount() const { return GenCfg.ParaPlotList.count; }
    bool ExistPlotPara(std::int32_t number) const;
    // Removes plot entry i: the numbers and resolved parameters above it move down one place;
    // Avail stays where it is.
    bool RemoveScale(int i);

    // ---- Plot scales of plot entry i ----------------------------------------------------------
    long double ScaleMin(int i);
    long double ScaleMax(int i);
    bool ScaleLog(int i);
    std::string ScaleName(int i);
    std::int32_t ScaleColor(int i); // 0x00BBGGRR

    // ---- Rosette ------------------------------------------------------------------------------
    // InstalledNb, FirstInstalled, LastInstalled from BottleList positions 1..MaxBottlePos.
    void SetBottlesPara();
    // Next bottle to fire after `last`: the first installed position above it (up to
    // LastInstalled) whose status is still empty, else the first such from 1; 0 when none.
    // statusEmpty(k) tells whether bottle k's status cell in the bottles window is empty.
    int NextBottle(int last, const std::function<bool(int)>& statusEmpty) const;

    // ---- Cruise paths under dataRoot; empty when CruiseName is not a safe name ----------------
    std::filesystem::path RootCruisePath(const std::filesystem::path& dataRoot) const;
    std::filesystem::path RawDir(const std::filesystem::path& dataRoot) const;
    std::filesystem::path BinDir(const std::filesystem::path& dataRoot) const;
    std::filesystem::path TxtDir(const std::filesystem::path& dataRoot) const;
    std::filesystem::path DefaultCruisePath(const std::filesystem::path& dataRoot) const;
    std::filesystem::path CruisePathName(const std::filesystem::path& dataRoot) const;

private:
    void SetDefaultRecords();
};

// TConfig::NextBottle on a rosette's settings alone (the acquisition worker keeps its own copy).
int NextBottle(const TRosetteInfo& rosette, int last, const std::function<bool(int)>& statusEmpty);

} // namespace marevo
