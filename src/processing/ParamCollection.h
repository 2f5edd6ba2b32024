#pragma once
// Parameter collections: an ordered, owning list of parameters with the description of the probe
// that produced them and the layout of its data frame. Item order is the frame order (raw
// parameters first, then NMEA and external inputs, then computed ones), the evaluation order and
// the order of every stored block. Two live for the whole run (Collections.h): ProbeParamCol, every
// parameter the probe can deliver, and CastParamCol, the parameters of the cast in hand.

#include "foundation/BottleStatus.h"
#include "foundation/SeqLock.h"
#include "foundation/ShortString.h"
#include "parameters/Parameter.h"
#include "processing/FrameSource.h"
#include "records/CollectionTypes.h"
#include "records/ProbeInfo.h"
#include "records/SortInfo.h"

#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace marevo {

class TCastInfo;
class TBottlesCollection;
class TConfig;
class TEnviron;
struct TGenConfig;
class TParamCollection;

// Format number of every stored collection block.
constexpr std::int32_t CollectionFormat = 2889;
// Version text of the Param.col file.
constexpr const char* ParamColVersion = "1.25";
// The probe block of a cast holds at most this many input parameters.
constexpr int MaxProbeBlockParameters = 32;

class TProbeCollection {
public:
    TProbeCollection();
    virtual ~TProbeCollection();
    TProbeCollection(const TProbeCollection&) = delete;
    TProbeCollection& operator=(const TProbeCollection&) = delete;

    // ---- The settings the collection works under -----------------------------------------------
    // The configuration, environment and probe collection (the one this collection's parameters
    // are drawn from) that the program's wiring hands the collection (app/AppContext.h); a
    // collection handed none works under the installed ones (records/Settings.h,
    // processing/Collections.h). Null keeps the installed one for that object.
    void UseSettings(TConfig* config, TEnviron* environ, TParamCollection* probe) {
        config_ = config;
        environ_ = environ;
        probe_ = probe;
    }
    // The configuration and environment raise EMarevoError when there is none at all.
    TConfig& Cfg() const;
    TGenConfig& Gen() const;
    TEnviron& Env() const;
    TParamCollection& Probe() const;

    // ---- The owning list ----------------------------------------------------------------------
    int Count() const { return static_cast<int>(items_.size()); }
    TParameter* Items(int index) const;
    // Appends and returns the parameter; the collection owns it from now on.
    TParameter* Add(std::unique_ptr<TParameter> parameter);
    void Delete(int index);
    // Empties the list, releasing every parameter.
    void Clear();
    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

    TStr<40> versionPCol{}; // format version of the Param.col file last read or written
    TProbeInfo ProbeInfo{};
    TFrameInfo FrameInfo;                // valid only after SetFrameInfo
    std::filesystem::path TheStreamName; // Param.col last read or written
    bool IsParamList = false;

    // ---- Queries ------------------------------------------------------------------------------
    // First parameter in list order with that number; null when absent.
    TParameter* FindPara(std::int32_t theNb) const;
    // Last parameter in list order whose probe code (PrbCross[0]) is theNB; null when absent.
    TParameter* FindQvlPara(std::int32_t theNB) const;
    bool ExistParaNb(std::int32_t theNb) const;

    // ---- Preparation --------------------------------------------------------------------------
    bool SetFrameInfo();
    void CheckDupSensor();
    void UpdateDup();
    void UpdateTimeUnit();
    bool BuildCalcList();
    bool SetLinkPtr();
    // SetFrameInfo, CheckDupSensor, UpdateDup (on ProbeParamCol), BuildCalcList, SetLinkPtr: all
    // run; true when the frame layout, the computed list and the links all succeeded.
    bool BuildProbeInfo();
    bool DefaultProbeInfo();
    // Rebuilds the collection as the default collection of every catalogue parameter.
    bool DefaultParamCol();

    // For choice lists: the name of each parameter in order, with the parameter.
    bool CreateStrings(std::vector<std::pair<std::string, TParameter*>>& aStrings) const;

    // ---- Stored forms -------------------------------------------------------------------------
    bool SaveToStream(TStream& theStream) const;
    bool ReadFromStream(TStream& theStream);
    bool SaveToStreamName(const std::filesystem::path& StreamName);
    bool ReadFromStreamName(const std::filesystem::path& StreamName);
    // Display settings of every parameter, embedded in a configuration file.
    bool ParaColToConfigStream(TStream& theStream) const;
    // Applies a display block to the parameters of this collection.
    bool ConfigStreamToParaCol(TStream& theStream);
    // The input parameters of a cast with the probe description, inside a cruise file.
    bool ProbeToCruiseFile(TStream& theStream);
    bool CruiseFileToProbe(TStream& theStream);

private:
    std::vector<std::unique_ptr<TParameter>> items_;
    TConfig* config_ = nullptr;
    TEnviron* environ_ = nullptr;
    TParamCollection* probe_ = nullptr;
};

// Interpolation entries of a bin in progress for one input: the first and last valid sample met
// in the lower half [I_Low, I_Center) and in the upper half [I_Center, I_High), with how many
// samples each entry has taken.
struct TBinEnds {
    long double FirstLo = 0, LastLo = 0, FirstHi = 0, LastHi = 0;
    std::int32_t FirstLoNb = 0, LastLoNb = 0, FirstHiNb = 0, LastHiNb = 0;
};

// What the collection holds and where it came from; the cast records it works on, lent by
// whoever holds the cast (not owned). With no cast open the pipeline writes no header field and
// records no bottle.
struct TLoadedCast {
    TFileType TypeLoaded = FileTypeNone;
    std::filesystem::path FileLoaded;
    TCastInfo* CastHeader = nullptr;
    TBottlesCollection* Bottles = nullptr;
    // The cruise header of the cast, lent likewise; the text export's cruise header lines need it.
    const TCastInfo* CruiseHeader = nullptr;
};

// Frame and acquisition state, owned by the per-frame steps (AcquiFrame.cpp, AcquiState.cpp) and
// their resets (AcquiPipeline.cpp).
struct TAcquiState {
    bool ProbeOnLine = false; // data comes from a live probe
    bool RealTimeOn = false;  // real-time acquisition is running

    // Counters and ring indexes.
    std::int32_t RawIndex = 0;      // frames taken in since the reset
    std::int32_t InputCBIndexI = 0; // slot of the newest frame in the input rings
    std::int32_t InputCBIndexO = 0; // slot being post-processed
    std::int32_t PostLBIndexO = -1; // last element of the post-processed series; -1 = empty
    std::int32_t ValidateError = 0; // frames rejected by frame validation
    std::int32_t FrameError = 0;    // frames rejected by the reader

    // Key parameters, resolved by the reset (not owned).
    TParameter* ParaPres = nullptr;
    TParameter* ParaTemp = nullptr;
    TParameter* ParaCond = nullptr;
    TParameter* ParaTims = nullptr;
    TParameter* ParaAlti = nullptr;
    TParameter* ParaDept = nullptr;
    TParameter* ParaTime = nullptr;
    TParameter* ParaSpeed = nullptr;
    TParameter* ParaScRt = nullptr;
    TParameter* ParaWinchSpeed = nullptr;
    TParameter* ParaWinchM = nullptr;
    TParameter* ParaLati = nullptr;
    TParameter* ParaLong = nullptr;
    TParameter* Parapstat = nullptr;

    // Current values.
    TFlaggedValue c_pres, c_temp, c_cond, c_time, c_alti;

    // Running estimates.
    long double C_InvScanRate = 0, C_Speed = 0, C_SpeedLow = 0, C_Scanrate = 0, C_LastDP = 0,
                C_LastDT = 0, C_WinchSpeed = 0;
    bool C_ScanRateKnown = false;

    // Shared by the header decodings of the collection's frames; the acquisition reset resets it.
    THeaderDecodeState HeaderState;

    // Cast state.
    bool S_InWater = false;
    long double S_MaxDownPres = 0, S_MinUpPres = 0;
    TDirection S_direction = DirectionDown;
    std::int32_t S_TrigCount = 0; // immersion trigger counter, 0..10
    TRealTimeStatus S_RTStatus = rt_none;
    bool S_NearBottom = false, S_BottomReached = false;
    bool StartPosUpdate = false; // the start position is still to be taken from the GPS

    // Post-processed time counter and pressure of the preceding frame (speed and scan rate).
    TFlaggedValue PrevTims = ZeroFV, PrevPres = ZeroFV;
    // Direction detection: hysteresis band [dbar] and whether the descent has yet to be seen.
    long double DirUpper = 0, DirLower = 0;
    bool DirFirstSample = true;
    // Conductivity lag filter: previous input and previous output.
    long double LagX = 0, LagY = 0;
};

// Binning set-up and the bin in progress, owned by the binning (Binning.cpp, Binner.cpp) and the
// end-of-cast filters.
struct TBinState {
    TSortInfo SortInfo{};

    TSortStepType I_Reserved2 = SortStepNone;
    TDirection I_LastDir = DirectionDown;
    bool I_CastUp = false;
    long double I_Center = 0, I_Low = 0, I_High = 0;
    std::int32_t SortingExtractionError = 0;
    std::int32_t OfflineFilteringError = 0;
    long double PressureOffsetFilter = 0;
    TFlaggedValue I_MeanSum[33]{};
    std::int32_t I_MeanNb[33]{};
    std::int32_t I_FirstInIndex = 0, I_LastInIndex = 0, I_FirstLoIndex = 0, I_LastLoIndex = 0,
                 I_FirstHiIndex = 0, I_LastHiIndex = 0;
    bool I_FirstInFlag = false, I_LastInFlag = false, I_FirstLoFlag = false, I_LastLoFlag = false,
         I_FirstHiFlag = false, I_LastHiFlag = false;
    long double c_SortPres = 0;
    TDateTime c_SortTime = 0;

    // Inputs 0..32; entry BinAxisEntry (33) holds the bin coordinate of the same samples.
    TBinEnds I_Ends[34]{};
    // Sums of I_MeanSum kept in extended precision, from which the means are taken.
    long double I_MeanSumX[33]{};
    // Post-processed index of the last sample binning accepted; -1 = none.
    std::int32_t I_LastSortedIndex = -1;
};

// Bottles and alarms of the cast in progress, owned by AcquiState.cpp.
struct TBottleAlarmState {
    std::uint8_t C_BtlNumber = 0;      // bottle last reported by the probe
    std::int32_t C_LastBtlNumber = -1; // bottle last recorded
    TBottleStatus C_BtlStatus = btl_Ready;
    TDateTime c_BottleTims = 0; // time counter at the bottle command
    TDateTime BtlFireTime = 0;
    bool SavedAlarmChecked[AlarmCount]{};
    bool AlarmOn[AlarmCount]{};
    std::string ShortALarmStr;
};

// The collection with the acquisition, binning and alarm state of a cast.
class TParamCollection : public TProbeCollection {
public:
    TParamCollection();

    // Restores the binning set-up to its defaults.
    void ResetSortInfo();
    // Element Yindex of this collection's binned series of the vertical axis (first entry of the
    // plot list).
    long double GetYValue(std::int32_t Yindex) const;

    // ---- State, one owner each ----------------------------------------------------------------
    TLoadedCast Loaded;
    TAcquiState Acqui;
    TBinState Bin;
    TBottleAlarmState BtlAlarm;

    // What ParaDecode and ParaCalibrate of this collection's parameters read and write, for the
    // frame in hand: the header state, bottle number and status, the time base (ParaTims), the
    // cast status and the pipeline's speeds. Valid while the collection and ParaTims live.
    TDecodeContext DecodeContext();

    // ---- Acquisition pipeline (AcquiPipeline.cpp) ---------------------------------------------
    // Creates both input rings (AcquiRingSize slots) of every parameter; false for fewer than 3.
    bool InitRoundBuffer();
    // Reset, then new binned, smoothing and post-processed series for every parameter, with its
    // link count recounted and its links resolved; false for fewer than 3 parameters.
    bool InitLinearBuffer();
    // Reset, then every buffer emptied (rings keep their slots), before a stored cast is re-read.
    void ResetBuffers();
    // Binning reset, acquisition reset and resolution of the key parameters.
    void Reset();
    void ResetAcqui();
    // Ring index step: IndexPtr := (IndexPtr + delta) folded into 0..AcquiRingSize-1.
    void AddCBPointers(std::int32_t& IndexPtr, std::int32_t delta);
    // Appends a copy of ProbeParamCol's scan-rate parameter (52).
    bool AddAcquiPara();
    // Appends copies of ProbeParamCol's parameters named by the environment's GPS and external
    // lists, the external ones with the environment's calibration.
    bool AddNMEAAndExternalParameter();
    // Removes every Pt_Acqui parameter.
    bool DelAcquiPara();

    // ---- Per frame (AcquiFrame.cpp) -----------------------------------------------------------
    // One frame from source through decoding, validation, post-processing, the
    // cast state, the bottles and, while recording, the limits and the binning. False when the
    // source had no new frame (or the step failed).
    bool DoAcqui(IFrameSource& source);
    // Forgets the source of the last DoAcqui; a live cast detaches its source before freeing it.
    void DetachFrameSource() { frameSource_ = nullptr; }
    // Decodes and calibrates the input parameters of the newest frame into both rings.
    void LoadRawInputCB();
    // Time and pressure steps of the newest frame; a frame that fails is kept, flagged.
    void ValidateFrame();
    // Pressure-temperature corrections and conductivity lag compensation, then one more element
    // of every input's post-processed series.
    void PostProcessing();
    // Corrected temperature / conductivity; InvalidFV for flagged or out-of-range inputs.
    TFlaggedValue PTCorrectTemperature(TFlaggedValue P, TFlaggedValue T) const;
    TFlaggedValue PTCorrectConductivity(TFlaggedValue P, TFlaggedValue T, TFlaggedValue C) const;
    // Conductivity lag compensation of the selected conductivity sensor.
    TFlaggedValue LagCompensate(TFlaggedValue fv);
    // Validity limits on the newest post-processed element of every input.
    void ManageValidateLimits();
    // Bins the newest post-processed sample.
    void ManageSortingData();
    // Recording: the cast is running.
    bool RawSave() const { return Acqui.S_RTStatus == rt_run; }
    // Room in every input's post-processed series for a cast of that many frames (a replay
    // knows it from the file's size), so that the series never move while they grow.
    void ReservePostSeries(std::int64_t frames);

    // ---- Cast state, bottles, alarms, end of cast (AcquiState.cpp) ----------------------------
    // Speed, scan rate, immersion, cast state, direction, bottom and header times of the sample
    // at PostLBIndexO; publishes the snapshot.
    void SetCurrentState();
    // Bottle closures reported by the frame heads of a replayed cast.
    bool SetBottleState();
    // Records the current values into the current cast's bottle BottleID.
    void SetBottleValue(std::int32_t BottleID);
    // Evaluates the six alarms.
    void SetAlarm();
    // End of cast: the offline filters, binning again when one is on, the last bin, the header's
    // counters.
    void DoAcquiEnd();

    // What other threads may read while the acquisition runs, taken at the end of each
    // SetCurrentState: current pressure, direction, deepest pressure, smoothed speed, and the
    // name of the last alarm raised (ShortALarmStr, cut to fit; published again by SetAlarm).
    struct TAcquiSnapshot {
        TFlaggedValue Pres = InvalidFV;
        TDirection Direction = DirectionDown;
        long double MaxDownPres = 0;
        long double SpeedLow = 0;
        char LastAlarm[16] = {};
    };
    TAcquiSnapshot Snapshot() const { return published_.Load(); }
    // No pressure, going down, deepest 0: nothing can be read as a level reached before the
    // first frame of a new cast.
    void ResetSnapshot() { published_.Store(TAcquiSnapshot{}); }

    // ---- Binning (Binning.cpp) ----------------------------------------------------------------
    // Starts a binning pass from the configuration's extraction settings.
    void SetSortInfo();
    // Bins the sample at PostLBIndexO by pressure, depth or time, as SortInfo.SortType says.
    void Sort();
    // Scan mode (AM_All): takes the sample at PostLBIndexO into the table.
    void SortAll();
    // Closes the bin in progress at the end of the cast.
    void SortEnd();
    // Sets the six first/last bookkeeping indexes of the bin in progress to "none".
    void ResetExtractFlags();
    // The vertical family: bin the sample at PostLBIndexO by pressure [dbar] or depth [m],
    // averaging a window or interpolating at the bin centre; the ...End members close the bin in
    // progress at the end of the cast.
    void SortPressureAverage();
    void SortPressureAverageEnd();
    void SortPressureInterpolate();
    void SortPressureInterpolateEnd();
    void SortDepthAverage();
    void SortDepthAverageEnd();
    void SortDepthInterpolate();
    void SortDepthInterpolateEnd();
    // Time binning of the sample at PostLBIndexO.
    void SortTimeAverage();
    void SortTimeInterpolate();
    // Clears the interpolation entries and the last handled sample.
    void ResetArrayForSortingWithInterpolateProcedures();
    // Linear interpolation at x between (x1, y1) and (x2, y2); a falling pair or a single point
    // gives y1.
    static TFlaggedValue Interpolate(long double x, long double x1, long double x2, long double y1,
                                     long double y2);
    // Row of the down-cast (GetDownIndex) or up-cast (GetUpIndex) part of the table at value y
    // of the plot's vertical axis (pressure, depth or time); 0 for any other axis.
    std::int32_t GetDownIndex(long double y) const;
    std::int32_t GetUpIndex(long double y) const;

    using TBinEnds = marevo::TBinEnds;
    static constexpr int BinAxisEntry = 33;

    // ---- Cast data files and text export (CastFiles.cpp, CastText.cpp) -------------------------
    // Binary cast file of this collection at the current cast's place in the cruise's bin folder,
    // after the operator's OK when ask; ParaFailed when no cast is loaded or no cruise folder
    // is known (the writer reports its own failure).
    TParaStatus SaveAsBin(bool ask);
    // The stored series and the binning record into StreamName with the extension ".bin".
    TParaStatus BinSave(const std::filesystem::path& StreamName);
    // A binary cast file written for this cast's collection; false (series emptied as far as
    // read, TypeLoaded FileTypeNone) for a file of another cast or one cut short.
    bool BinRead(const std::filesystem::path& StreamName);
    // Text export of this collection into the cruise's text folder (or the manual export folder).
    TParaStatus SaveAsTxt();
    // The text export of the configuration's data text settings. The periodic form (append and
    // onTimeout) continues at row startidx and leaves startidx after the last row written.
    bool TxtSave(const std::filesystem::path& StreamName, bool append, bool onTimeout,
                 std::int32_t& startidx);
    // A space-separated text export back into the series of its columns.
    bool TxtRead(const std::filesystem::path& StreamName);
    // The cast's raw frame file, read by source (which follows this collection's frame layout),
    // through the whole pipeline under the current settings, then the end-of-cast processing.
    // Refused while another source feeds the collection.
    bool ReadRawFile(const std::filesystem::path& StreamName, IFrameSource& source);

private:
    // The source of the frames being taken in (DoAcqui, ReadRawFile); not owned.
    IFrameSource* frameSource_ = nullptr;
    // The value context of the sample in hand.
    TValueContext FrameValueContext() const;
    TSeqLock<TAcquiSnapshot> published_;
    void Publish();
};

// Slots of every input ring.
constexpr int AcquiRingSize = 2000;

} // namespace marevo
