#pragma once
// The environment: the settings of the workstation rather than of a processing job. The data
// folder and the folders below it, the name of the current configuration, the four serial ports,
// the probe protocol delays, refresh intervals, window places, the last opened file, the GPS and
// external-sensor items, preferences, and on behalf of batch processing and printing the batch
// lists and the print layout. One file, Environ.env in the configuration folder, holds it.

#include "foundation/Extended.h"
#include "foundation/FileNames.h"
#include "foundation/Record.h"
#include "foundation/ShortString.h"
#include "parameters/ParaNumbers.h"
#include "parameters/ParaRecords.h"
#include "records/CollectionTypes.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace marevo {

// Version text of Environ.env; no other version is read.
constexpr const char* EnvironVersion = "1.25";
// Size of Environ.env without the batch file list text (2 bytes per UTF-16 unit).
constexpr std::int64_t EnvironFixedSize = 3824;

enum TPosFormat : std::uint8_t { Pos_Degree = 0, Pos_Minute = 1, Pos_Second = 2 };

#pragma pack(push, 1)

// A serial port as the port dialog set it. CommCfgStr is what the port is opened from:
// "COM3:9600,n,8,1,n", or "NONE".
struct alignas(4) TCommPort {
    TStr<23> CommCfgStr;
    std::int32_t PortNumber; // COMn, 0 = none
    std::int32_t BaudRateIndex;
    std::int32_t SizeIndex;
    std::int32_t ParityIndex;
    std::int32_t StopBitIndex;
    std::int32_t ControlIndex;
};
MAREVO_RECORD_SIZE(TCommPort, 48);
MAREVO_RECORD_OFFSET(TCommPort, PortNumber, 24);
MAREVO_RECORD_OFFSET(TCommPort, ControlIndex, 44);

// Screen bounds of a window, pixels.
struct alignas(4) TWindowRect {
    std::int32_t Left;
    std::int32_t Top;
    std::int32_t Right;
    std::int32_t Bottom;
};
MAREVO_RECORD_SIZE(TWindowRect, 16);

struct alignas(4) TRemoteDepthSetting {
    std::uint8_t Enabled;
    std::uint8_t unused1[3];
    std::int32_t RefreshInterval; // s
    std::int32_t LightLevel;      // display light level
    std::uint8_t unused12[8];
};
MAREVO_RECORD_SIZE(TRemoteDepthSetting, 20);
MAREVO_RECORD_OFFSET(TRemoteDepthSetting, RefreshInterval, 4);
MAREVO_RECORD_OFFSET(TRemoteDepthSetting, LightLevel, 8);

// 1 = on.
struct alignas(4) TPreferences {
    std::int32_t logStatusCheck; // write the event log
    std::int32_t AutoCfgCheck;   // save the configuration automatically
    std::int32_t AudioBrdCheck;  // an audio board is present (alarm sound)
};
MAREVO_RECORD_SIZE(TPreferences, 12);

struct TDataFolder {
    std::uint8_t UseDefaultDataFolder;
    TStr<255> DataFolderPath;
};
MAREVO_RECORD_SIZE(TDataFolder, 257);

// One item of the printed plot page: a text line, the header block, the plot or the page.
struct alignas(4) TPrintItem {
    std::uint8_t Alignment; // 0 left, 1 centre, 2 right
    std::uint8_t gap1[3];
    std::int32_t SizeIndex; // into the font sizes 8, 9, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28,
                            // 36, 48
    std::uint8_t Shown;
    std::uint8_t Framed;
    std::uint8_t gap10[2];
    std::int32_t PageField12; // 1 for the page item; recorded only
    std::int32_t PageField16; // 1 for the page item; recorded only
    std::uint8_t unused20[8];
    float Position; // fraction of the page height above the bottom edge
};
MAREVO_RECORD_SIZE(TPrintItem, 32);
MAREVO_RECORD_OFFSET(TPrintItem, SizeIndex, 4);
MAREVO_RECORD_OFFSET(TPrintItem, Shown, 8);
MAREVO_RECORD_OFFSET(TPrintItem, PageField12, 12);
MAREVO_RECORD_OFFSET(TPrintItem, PageField16, 16);
MAREVO_RECORD_OFFSET(TPrintItem, Position, 28);

enum TPrintItemIndex { pi_Text1, pi_Text2, pi_Text3, pi_Text4, pi_Header, pi_Plot, pi_Page };
constexpr int PrintItemCount = 7;

// The page layout of plot printing, kept for the run and stored whole in Environ.env.
struct alignas(4) TPrintLayout {
    std::uint8_t reserved[28];
    TPrintItem Items[PrintItemCount]; // indexed by TPrintItemIndex
    TStr<255> Text[4];                // page header, title, legend, footer
    TParaList LeftHeaderList;
    TParaList RightHeaderList;
    std::uint8_t FontCharset;
    std::uint8_t gap1885[3];
    std::int32_t FontColor; // 0x00BBGGRR
    std::int32_t FontHeight;
    TStr<80> FontName;
    std::uint8_t FontPitch;
    std::uint8_t gap1978[2];
    std::int32_t FontPixelsPerInch;
    std::int32_t FontSize;
    std::uint8_t FontStyle; // bold 1, italic 2, underline 4, strike-out 8
    std::uint8_t gap1989[3];
    std::uint8_t ShowPrompt;
    std::uint8_t gap1993[3];
    float PlotHeight; // fraction of the page height
    float Margin;     // left and right, fraction of the page width
};
MAREVO_RECORD_SIZE(TPrintLayout, 2004);
MAREVO_RECORD_OFFSET(TPrintLayout, Items, 28);
MAREVO_RECORD_OFFSET(TPrintLayout, Text, 252);
MAREVO_RECORD_OFFSET(TPrintLayout, LeftHeaderList, 1276);
MAREVO_RECORD_OFFSET(TPrintLayout, RightHeaderList, 1580);
MAREVO_RECORD_OFFSET(TPrintLayout, FontCharset, 1884);
MAREVO_RECORD_OFFSET(TPrintLayout, FontColor, 1888);
MAREVO_RECORD_OFFSET(TPrintLayout, FontHeight, 1892);
MAREVO_RECORD_OFFSET(TPrintLayout, FontName, 1896);
MAREVO_RECORD_OFFSET(TPrintLayout, FontPitch, 1977);
MAREVO_RECORD_OFFSET(TPrintLayout, FontPixelsPerInch, 1980);
MAREVO_RECORD_OFFSET(TPrintLayout, FontSize, 1984);
MAREVO_RECORD_OFFSET(TPrintLayout, FontStyle, 1988);
MAREVO_RECORD_OFFSET(TPrintLayout, ShowPrompt, 1992);
MAREVO_RECORD_OFFSET(TPrintLayout, PlotHeight, 1996);
MAREVO_RECORD_OFFSET(TPrintLayout, Margin, 2000);

constexpr int MaxBatchCommands = 51;

// A batch command list: also the whole of a ".bal" file.
struct alignas(4) TBatchCmdArray {
    std::uint8_t Codes[MaxBatchCommands]; // only the first count are meaningful
    std::uint8_t unused51;
    std::int32_t count;
};
MAREVO_RECORD_SIZE(TBatchCmdArray, 56);
MAREVO_RECORD_OFFSET(TBatchCmdArray, count, 52);

#pragma pack(pop)

// The layout defaults, set once when the program loads.
void SetPrintLayoutDefaults(TPrintLayout& layout);

// ---- Serial ports ------------------------------------------------------------------------------

// The index tables of TCommPort's fields.
inline constexpr int CommBaudRates[13] = {300,   600,   1200,   2400,   4800,   9600,  19200,
                                          38400, 57600, 115200, 230400, 460800, 921600};
inline constexpr int CommDataBits[5] = {8, 7, 6, 5, 4};
inline constexpr char CommParityLetters[5] = {'n', 'o', 'e', 'm', 's'};
inline constexpr int CommStopBits[2] = {1, 2};
// Xon/Xoff (2) gives the same suffix as none: only "e" selects a handshake.
inline constexpr char CommFlowSuffixes[3] = {'n', 'e', 'n'};

// "COM" + number + ":" + baud + "," + parity letter + "," + data bits + "," + stop bits + "," +
// flow suffix, cut to 20 characters. Raises for an index outside its table.
std::string CommCfgText(const TCommPort& port);
// The device a port text ("COM3:9600,n,8,1,n" or just "COM3") opens on this system: the entry
// for COMn in the Ports.map text (lines "COM1=/dev/ttyUSB0"; blank lines and lines starting with
// "#" are ignored), else /dev/ttyS<n-1>. Empty for "NONE", COM0 or anything that is no COM port.
std::string ResolvePortDevice(std::string_view portText, std::string_view portsMap);

// ---- External and GPS items --------------------------------------------------------------------

constexpr int ExtItemCount = 8;
// Parameter added to the list for each selected item; 0 for the items that stand for none.
constexpr std::int32_t ExtItemParaNb[ExtItemCount] = {ParReferencePara, WinchMeterPara, 0, 0,
                                                      0, 0, 0, 0};
constexpr std::int32_t NMEAItemParaNb[ExtItemCount] = {LatitudePara, LongitudePara, GpsStatusPara,
                                                       0, 0, 0, 0, 0};

// The data root a program is given, made absolute: a relative one is taken against the working
// folder (note then says so, to be told once), lexically normalised. None, with error saying why,
// when it is empty, is not a folder, or neither exists nor can be created.
std::optional<std::filesystem::path> ResolveDataRoot(std::string_view given, std::string& note,
                                                     std::string& error);

class TEnviron {
public:
    // defaultDataRoot: the data folder of a new workstation, also where Environ.env is looked
    // for. Sets the print layout defaults only; SetDefault makes folders and opens the log.
    explicit TEnviron(std::filesystem::path defaultDataRoot = DefaultDataRoot());

    // ---- Stored and derived settings ----------------------------------------------------------
    TStr<40> versionEnv{};
    TStr<80> DataRoot{};               // with its trailing "/"; taken from DataFolder on reading
    TStr<80> ConfigName{};             // current configuration, without folder and ".cfg"
    TStr<80> Dir[9]{};                 // folder per TFileType
    TStr<3> Ext[9]{};                  // extension per TFileType
    TPosFormat PosFormat = Pos_Degree; // not stored
    TCommPort ProbeCommPort{};
    TCommPort NMEACommPort{};
    TCommPort ExtCommPort{};
    TCommPort RDRCommPort{};
    TWindowRect PlotRect{}, ValueRect{}, BottlesRect{}, ProbeRect{}, HeaderRect{}, RDRRect{};
    std::uint8_t PlotShown = 0, ValueShown = 0, BottleShown = 0, ProbeShown = 0, HeaderShown = 0,
                 RDRShown = 0;
    TStr<80> LastFile{};
    TFileType LastType = FileTypeNone;
    TParaList ExtParaList{};  // not stored: rebuilt from ExtParaArray
    TParaList NMEAParaList{}; // not stored: rebuilt from NMEAParaArray
    std::uint8_t ExtParaArray[ExtItemCount]{};
    std::uint8_t NMEAParaArray[ExtItemCount]{};
    TExtended ExtParOffsetV{};    // PAR offset, V
    TExtended ExtParScale{};      // PAR scale, V/quanta/cm2s
    TExtended ExtParMultiplier{}; // quanta to uE
    TExtended ExtWinchPulseToMeter{};
    TExtended ExtWinchSpeedConversion{}; // m/min to cm/min
    TExtended ExtWinchOffset{};          // m
    // Probe protocol delays, s: 0 first byte, 1 between bytes, 2 after ^T, 3 command to answer,
    // 4 get-attention step, 5 communication start-up, 6 between commands.
    double CommDelay[10]{};
    // Refresh intervals, s: 0 plot, 1 values, 2 raw data saving.
    double RefreshRate[5]{};
    TRemoteDepthSetting RemoteDepth{};
    TPreferences Preferences{};
    TDataFolder DataFolder{};
    TStr<10> NMEAPrefix{};
    std::uint8_t DF7Enabling = 0;

    // Kept here for printing and batch processing, stored in the same file.
    TPrintLayout PrintLayout{};
    TBatchCmdArray BatchCmdList{};
    std::vector<std::string> BatchFileList; // one cast per line, e.g. "C001"

    // ---- Operations ---------------------------------------------------------------------------
    // Defaults; creates the data, text and configuration folders and opens the event log in the
    // text folder. False when a folder could not be created (the operator was told) or on a
    // failure.
    bool SetDefault();
    // Reads EnvironFileName(). False without a message for another version; false with the logged
    // reason for a damaged file. Never writes.
    bool FileToEnv();
    // Replaces EnvironFileName() whole or not at all. The window places are taken by the caller
    // beforehand; LastFile becomes the name of castFileLoaded, the file of the cast in hand.
    bool EnvToFile(const std::filesystem::path& castFileLoaded);
    void SetExtParaList();
    void SetMNEATab();
    // The default screen bounds of the six windows (their visibility is left as it is).
    void SetDefaultWindowPlaces();
    bool IsNMEACommOk() const;
    bool IsExtCommOk() const;
    bool IsPARActive() const;

    // ---- Folders and file names ---------------------------------------------------------------
    const std::filesystem::path& DefaultRoot() const { return defaultDataRoot_; }
    std::filesystem::path DataRootPath() const { return DataRoot.Get(); }
    std::filesystem::path TextFolder() const { return Dir[FileTypeText].Get(); }
    std::filesystem::path DocumentsFolder() const { return Dir[FileTypeDocuments].Get(); }
    std::filesystem::path ConfigFolder() const { return Dir[FileTypeConfig].Get(); }
    // Where start-up looks for the environment: the default data root's configuration folder.
    std::filesystem::path DefaultEnvironFileName() const;
    std::filesystem::path EnvironFileName() const { return EnvironName(ConfigFolder()); }
    std::filesystem::path ParamColFileName() const { return ParamColName(ConfigFolder()); }
    // The current configuration's file; empty when ConfigName is not a safe name.
    std::filesystem::path ConfigFileName() const;
    // Device a port opens, through Ports.map in the configuration folder.
    std::string PortDeviceName(const TCommPort& port) const;

private:
    bool SetDefaultSteps();
    std::filesystem::path defaultDataRoot_;
};

} // namespace marevo
