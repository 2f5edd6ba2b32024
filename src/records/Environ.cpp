#include "records/Environ.h"

#include "foundation/EventLog.h"
#include "foundation/Guard.h"
#include "foundation/Runtime.h"
#include "foundation/Stream.h"
#include "records/Config.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace marevo {

namespace fs = std::filesystem;

namespace {

TExtended ExtOf(long double value) {
    return TExtended::FromLongDouble(value);
}

// A folder or file name kept in a single-byte text field must survive the field whole: a cut or
// a character without its byte would send every later file somewhere else.
template <std::size_t N> void SetPathText(TStr<N>& field, const std::string& text) {
    const std::string stored = Utf8ToCp1252(text);
    if (stored.size() > N || Cp1252ToUtf8(stored) != text)
        Raise("path does not fit the settings (at most " + std::to_string(N) +
              " single-byte characters): " + text);
    field.Set(text);
}

// The folder text with its trailing separator, as the stored folders are written.
std::string FolderText(const fs::path& folder) {
    std::string text = folder.string();
    if (text.empty() || text.back() != '/')
        text += '/';
    return text;
}

std::string Trim(std::string_view s) {
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    const auto last = s.find_last_not_of(" \t\r\n");
    return std::string(s.substr(first, last - first + 1));
}

// Number n of a "COMn" text (letters in any case); 0 when it is no such text.
int ComNumber(std::string_view text) {
    if (text.size() < 4)
        return 0;
    for (int i = 0; i < 3; ++i)
        if (std::toupper(static_cast<unsigned char>(text[i])) != "COM"[i])
            return 0;
    int n = 0;
    const auto digits = text.substr(3);
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
    if (ec != std::errc() || end != digits.data() + digits.size() || n < 0)
        return 0;
    return n;
}

// ---- Batch file list text: UTF-8 in memory, UTF-16LE in the file --------------------------------

std::u16string Utf8ToUtf16(std::string_view s) {
    std::u16string out;
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        char32_t cp = 0xFFFD;
        int len = 1;
        if (c < 0x80) {
            cp = c;
        } else if ((c >> 5) == 0x6 || (c >> 4) == 0xE || (c >> 3) == 0x1E) {
            len = (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : 4;
            cp = c & (0x7F >> len);
            bool ok = i + len <= s.size();
            for (int k = 1; ok && k < len; ++k) {
                const auto cc = static_cast<unsigned char>(s[i + k]);
                ok = (cc & 0xC0) == 0x80;
                cp = (cp << 6) | (cc & 0x3F);
            }
            if (!ok) {
                cp = 0xFFFD;
                len = 1;
            }
        }
        i += len;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string Utf16ToUtf8(const std::u16string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        char32_t cp = s[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
            s[i + 1] < 0xE000) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp < 0xE000) {
            cp = 0xFFFD; // a lone surrogate
        }
        AppendUtf8(out, cp);
    }
    return out;
}

// A list's text: every line followed by CR LF.
std::string ListText(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    return text;
}

// Lines end with CR LF, LF or CR; a line break at the very end adds no empty line.
std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.emplace_back(text.substr(start));
            break;
        }
        lines.emplace_back(text.substr(start, end - start));
        start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
    }
    return lines;
}

// The environment's fields before the batch file list and after it, in the order of the file.
// One list drives both the writer and the reader, so they cannot drift apart.
template <class Env, class Field> void HeadFields(Env& e, Field&& field) {
    field(e.versionEnv, "versionEnv");
    field(e.ConfigName, "ConfigName");
    field(e.Dir, "Dir");
    field(e.Ext, "Ext");
    field(e.ProbeCommPort, "ProbeCommPort");
    field(e.NMEACommPort, "NMEACommPort");
    field(e.ExtCommPort, "ExtCommPort");
    field(e.RDRCommPort, "RDRCommPort");
    field(e.PlotRect, "PlotRect");
    field(e.PlotShown, "PlotShown");
    field(e.ValueRect, "ValueRect");
    field(e.ValueShown, "ValueShown");
    field(e.BottlesRect, "BottlesRect");
    field(e.BottleShown, "BottleShown");
    field(e.ProbeRect, "ProbeRect");
    field(e.ProbeShown, "ProbeShown");
    field(e.HeaderRect, "HeaderRect");
    field(e.HeaderShown, "HeaderShown");
    field(e.RDRRect, "RDRRect");
    field(e.RDRShown, "RDRShown");
    field(e.LastFile, "LastFile");
    field(e.LastType, "LastType");
    field(e.ExtParaArray, "ExtParaArray");
    field(e.NMEAParaArray, "NMEAParaArray");
    field(e.CommDelay, "CommDelay");
    field(e.RefreshRate, "RefreshRate");
    field(e.RemoteDepth, "RemoteDepth");
    field(e.PrintLayout, "PrintLayout");
    field(e.Preferences, "Preferences");
    field(e.DataFolder, "DataFolder");
    field(e.BatchCmdList, "BatchCmdList");
}

template <class Env, class Field> void TailFields(Env& e, Field&& field) {
    field(e.ExtParOffsetV, "ExtParOffsetV");
    field(e.ExtParScale, "ExtParScale");
    field(e.ExtParMultiplier, "ExtParMultiplier");
    field(e.ExtWinchPulseToMeter, "ExtWinchPulseToMeter");
    field(e.ExtWinchSpeedConversion, "ExtWinchSpeedConversion");
    field(e.ExtWinchOffset, "ExtWinchOffset");
    field(e.NMEAPrefix, "NMEAPrefix");
    field(e.DF7Enabling, "DF7Enabling");
}

void SetItemList(TParaList& list, const std::uint8_t (&selected)[ExtItemCount],
                 const std::int32_t (&numbers)[ExtItemCount]) {
    std::fill(std::begin(list.List), std::end(list.List), 0);
    list.count = 0;
    for (int i = 0; i < ExtItemCount; ++i)
        if (selected[i])
            list.List[list.count++] = numbers[i];
}

} // namespace

// ---- Print layout -------------------------------------------------------------------------------

void SetPrintLayoutDefaults(TPrintLayout& layout) {
    std::memset(layout.reserved, 0, sizeof layout.reserved);
    for (TPrintItem& item : layout.Items) {
        item.Alignment = 1;
        item.SizeIndex = 3;
        item.Shown = 1;
        item.Framed = 0;
        item.Position = 0.1f;
    }
    const auto set = [&](TPrintItemIndex i, int alignment, int sizeIndex, float position) {
        layout.Items[i].Alignment = static_cast<std::uint8_t>(alignment);
        layout.Items[i].SizeIndex = sizeIndex;
        layout.Items[i].Position = position;
    };
    set(pi_Text1, 0, 2, 0.94f);
    set(pi_Text2, 1, 7, 0.88f);
    set(pi_Text3, 1, 2, 0.18f);
    set(pi_Text4, 2, 2, 0.07f);
    layout.Items[pi_Header].SizeIndex = 2;
    layout.Items[pi_Header].Framed = 1;
    layout.Items[pi_Header].Position = 0.81f;
    layout.Items[pi_Plot].Framed = 1;
    layout.Items[pi_Plot].Position = 0.69f;
    layout.Items[pi_Page].Framed = 0;
    layout.Items[pi_Page].PageField12 = 1;
    layout.Items[pi_Page].PageField16 = 1;

    layout.Text[0].Set("Page header");
    layout.Text[1].Set("Title");
    layout.Text[2].Set("Fig. 1 - Plot legend");
    layout.Text[3].Set("Page Footer");
    // 900 cruise name, 1006/1012/1018 and 1002/1024 cast header fields, 920 vessel.
    SetParaListNumbers(layout.LeftHeaderList, {900, 1006, 1012, 1018});
    SetParaListNumbers(layout.RightHeaderList, {1002, 920, 1024});
    layout.FontCharset = 1; // default character set
    layout.FontColor = 255;
    layout.FontHeight = 12;
    layout.FontName.Set("Arial");
    layout.FontPitch = 0;
    layout.FontPixelsPerInch = 100;
    layout.FontSize = 10;
    layout.FontStyle = 0;
    layout.ShowPrompt = 1;
    layout.PlotHeight = 0.5f;
    layout.Margin = 0.1f;
}

// ---- Serial ports -------------------------------------------------------------------------------

std::string CommCfgText(const TCommPort& port) {
    const auto& baud = CommBaudRates;
    const auto& bits = CommDataBits;
    const auto& parity = CommParityLetters;
    const auto& stop = CommStopBits;
    const auto& flow = CommFlowSuffixes;
    const auto check = [](std::int32_t index, std::size_t size, const char* field) {
        if (index < 0 || static_cast<std::size_t>(index) >= size)
            Raise(std::string("CommCfgText: bad value - ") + field);
        return static_cast<std::size_t>(index);
    };
    std::string text = "COM" + std::to_string(port.PortNumber) + ":" +
                       std::to_string(baud[check(port.BaudRateIndex, 13, "BaudRateIndex")]) + "," +
                       parity[check(port.ParityIndex, 5, "ParityIndex")] + "," +
                       std::to_string(bits[check(port.SizeIndex, 5, "SizeIndex")]) + "," +
                       std::to_string(stop[check(port.StopBitIndex, 2, "StopBitIndex")]) + "," +
                       flow[check(port.ControlIndex, 3, "ControlIndex")];
    return text.substr(0, 20);
}

std::string ResolvePortDevice(std::string_view portText, std::string_view portsMap) {
    const int n = ComNumber(Trim(portText.substr(0, portText.find(':'))));
    if (n <= 0)
        return {};
    std::size_t start = 0;
    while (start <= portsMap.size()) {
        std::size_t end = portsMap.find('\n', start);
        if (end == std::string_view::npos)
            end = portsMap.size();
        const std::string line = Trim(portsMap.substr(start, end - start));
        start = end + 1;
        const std::size_t eq = line.find('=');
        if (line.empty() || line[0] == '#' || eq == std::string::npos)
            continue;
        const std::string device = Trim(std::string_view(line).substr(eq + 1));
        if (ComNumber(Trim(std::string_view(line).substr(0, eq))) == n && !device.empty())
            return device;
    }
    return "/dev/ttyS" + std::to_string(n - 1);
}

// ---- TEnviron -----------------------------------------------------------------------------------

TEnviron::TEnviron(fs::path defaultDataRoot) : defaultDataRoot_(std::move(defaultDataRoot)) {
    SetPrintLayoutDefaults(PrintLayout);
}

fs::path TEnviron::DefaultEnvironFileName() const {
    return EnvironName(defaultDataRoot_ / "Cfg");
}

fs::path TEnviron::ConfigFileName() const {
    const std::string name = ConfigName.Get();
    return IsSafeSettingsName(name) ? DefaultConfigName(ConfigFolder(), name) : fs::path();
}

std::string TEnviron::PortDeviceName(const TCommPort& port) const {
    std::ifstream in(ConfigFolder() / "Ports.map", std::ios::binary);
    std::ostringstream map;
    if (in)
        map << in.rdbuf();
    return ResolvePortDevice(port.CommCfgStr.Get(), map.str());
}

void TEnviron::SetDefaultWindowPlaces() {
    // Each window 100 pixels right and below the previous one.
    HeaderRect = {5, 110, 410, 620};
    ValueRect = {105, 210, 510, 400};
    BottlesRect = {205, 310, 610, 480};
    PlotRect = {305, 410, 995, 480};
    ProbeRect = {200, 200, 830, 622};
    RDRRect = {100, 100, 472, 300};
}

bool TEnviron::SetDefault() {
    return GuardOr({"Error in TEnviron.SetDefault", "Set default environment failed"}, false,
                   [&] { return SetDefaultSteps(); });
}

bool TEnviron::SetDefaultSteps() {
    // A folder that cannot be made is told to the operator and ends the defaults there.
    const auto makeFolder = [](const std::string& folder) {
        std::error_code ec;
        if (fs::is_directory(folder, ec))
            return true;
        fs::create_directories(folder, ec);
        if (!ec && fs::is_directory(folder, ec))
            return true;
        Operator().Message("Cannot create " + folder + " folder.", "Error", TMessageKind::Error);
        return false;
    };

    ConfigName.Set("qvtst");
    const std::string root = FolderText(defaultDataRoot_);
    SetPathText(DataRoot, root);
    if (!makeFolder(root))
        return false;

    Ext[FileTypeRaw].Set("RAW");
    Ext[FileTypeBinary].Set("BIN");
    SetPathText(Dir[FileTypeText], root + "Txt/");
    if (!makeFolder(Dir[FileTypeText].Get()))
        return false;
    Ext[FileTypeText].Set("TXT");
    SetPathText(Dir[FileTypeDocuments], root + "Documents/");
    SetPathText(Dir[FileTypeConfig], root + "Cfg/");
    if (!makeFolder(Dir[FileTypeConfig].Get()))
        return false;
    Ext[FileTypeConfig].Set("CFG");

    PosFormat = Pos_Second;
    for (TCommPort* port : {&ProbeCommPort, &NMEACommPort, &ExtCommPort, &RDRCommPort}) {
        port->CommCfgStr.Set("NONE");
        port->PortNumber = 0;
        port->BaudRateIndex = 0;
        port->SizeIndex = 0;
        port->ParityIndex = 0;
        port->StopBitIndex = 0;
        port->ControlIndex = 0;
    }

    Preferences = {1, 1, 1};
    DataFolder.UseDefaultDataFolder = 1;
    SetPathText(DataFolder.DataFolderPath, root);

    LastFile.Set(FolderText(fs::path(root) / ConfigName.Get()) + "qvtst001.bin");
    LastType = FileTypeBinary;

    SetDefaultWindowPlaces();
    HeaderShown = ValueShown = BottleShown = PlotShown = 1;
    ProbeShown = RDRShown = 0;

    std::fill(std::begin(ExtParaArray), std::end(ExtParaArray), 0);
    ExtParOffsetV = ExtOf(0.195574L);
    ExtParScale = ExtOf(1.069e-17L);
    ExtParMultiplier = ExtOf(1.6603e-18L);
    ExtWinchPulseToMeter = ExtOf(1.0L);
    ExtWinchSpeedConversion = ExtOf(1.0L);
    ExtWinchOffset = ExtOf(0.0L);

    std::fill(std::begin(NMEAParaArray), std::end(NMEAParaArray), 0);
    NMEAPrefix.Set("$GP");

    const double delays[] = {3.0, 0.5, 0.2, 3.0, 0.5, 30.0, 0.5};
    std::copy(std::begin(delays), std::end(delays), CommDelay);
    DF7Enabling = 0;
    RefreshRate[0] = 5.0;
    RefreshRate[1] = 0.1;
    RefreshRate[2] = 10.0;
    RemoteDepth.Enabled = 0;
    RemoteDepth.RefreshInterval = 10;
    RemoteDepth.LightLevel = 10;

    OpenLog(TextFolder());
    SetLogEnabled(Preferences.logStatusCheck == 1);

    // 16 "BEGIN LOOP", 17 "END LOOP".
    std::memset(&BatchCmdList, 0, sizeof BatchCmdList);
    BatchCmdList.Codes[0] = 16;
    BatchCmdList.Codes[1] = 17;
    BatchCmdList.count = 2;
    BatchFileList.clear();
    return true;
}

bool TEnviron::FileToEnv() {
    return GuardOr({"Error in TEnviron.FileToEnv", "Reading environment from file"}, false, [&] {
        TFileStream in(EnvironFileName(), TFileMode::OpenRead);
        std::memset(&versionEnv, 0, sizeof versionEnv);
        // Another version is no failure to report: start-up calls the file invalid.
        if (in.Read(&versionEnv, sizeof versionEnv) != sizeof versionEnv ||
            versionEnv.Raw() != EnvironVersion)
            return false;

        TRecordReader r(in, "TEnviron.FileToEnv: read error - ");
        bool first = true;
        HeadFields(*this, [&](auto& value, std::string_view name) {
            if (first) { // the version, read above
                first = false;
                return;
            }
            r.GetBytes(&value, sizeof value, name);
        });
        const auto n = r.Get<std::int32_t>("batch file list length");
        // The list's length must account for the rest of the file exactly.
        if (n < 0 || in.Size() != EnvironFixedSize + 2 * static_cast<std::int64_t>(n))
            Raise("TEnviron.FileToEnv: bad value - batch file list length");
        std::u16string units(static_cast<std::size_t>(n), u'\0');
        if (n > 0)
            r.GetBytes(units.data(), units.size() * 2, "batch file list");
        TailFields(*this, [&](auto& value, std::string_view name) {
            r.GetBytes(&value, sizeof value, name);
        });

        // What the stored names and folders are used for must stay inside reach: file names
        // inside the configuration folder, folders that are absolute on this system, and a
        // batch list no longer than its array.
        if (!IsSafeSettingsName(ConfigName.Get()))
            Raise("TEnviron.FileToEnv: bad value - ConfigName");
        if (!fs::path(DataFolder.DataFolderPath.Get()).is_absolute())
            Raise("TEnviron.FileToEnv: bad value - DataFolderPath");
        for (TFileType t : {FileTypeText, FileTypeConfig})
            if (!fs::path(Dir[t].Get()).is_absolute())
                Raise("TEnviron.FileToEnv: bad value - Dir[" + std::to_string(t) + "]");
        if (BatchCmdList.count < 0 || BatchCmdList.count > MaxBatchCommands)
            Raise("TEnviron.FileToEnv: bad value - BatchCmdList.count");

        // A data root copied or moved elsewhere brings its Environ.env along: when it uses the
        // default data folder, the folders it names under the root it was written for are taken
        // under the root it is read from, so a copy never writes into the original. A data
        // folder chosen elsewhere (UseDefaultDataFolder 0) stays where it was chosen.
        const std::string here = FolderText(defaultDataRoot_);
        const std::string stored = FolderText(DataFolder.DataFolderPath.Get());
        if (DataFolder.UseDefaultDataFolder != 0 && !defaultDataRoot_.empty() && stored != here) {
            for (TStr<80>& dir : Dir)
                if (const std::string d = dir.Get(); d.starts_with(stored))
                    SetPathText(dir, here + d.substr(stored.size()));
            SetPathText(DataFolder.DataFolderPath, here);
            WriteLog("The data folder " + stored + " named by the environment file is taken as " +
                     here);
        }
        // The data root is the chosen data folder, cut to its field.
        DataRoot.Set(Cp1252ToUtf8(DataFolder.DataFolderPath.Raw().substr(0, 80)));
        BatchFileList = SplitLines(Utf16ToUtf8(units));
        SetMNEATab();
        SetExtParaList();
        SetLogEnabled(Preferences.logStatusCheck == 1);
        return true;
    });
}

bool TEnviron::EnvToFile(const fs::path& castFileLoaded) {
    return Guard({"Error in TEnviron.EnvToFile", "Saving environment to file"}, [&] {
        LastFile.Set(castFileLoaded.empty() ? std::string() : castFileLoaded.stem().string());
        std::memset(&versionEnv, 0, sizeof versionEnv);
        versionEnv.Set(EnvironVersion);
        const std::u16string units = Utf8ToUtf16(ListText(BatchFileList));
        WriteFileAtomically(EnvironFileName(), [&](TStream& out) {
            TRecordWriter w(out, "TEnviron.EnvToFile: write error - ");
            const auto put = [&](const auto& value, std::string_view name) {
                w.PutBytes(&value, sizeof value, name);
            };
            HeadFields(*this, put);
            w.Put(static_cast<std::int32_t>(units.size()), "batch file list length");
            if (!units.empty())
                w.PutBytes(units.data(), units.size() * 2, "batch file list");
            TailFields(*this, put);
        });
    });
}

void TEnviron::SetExtParaList() {
    SetItemList(ExtParaList, ExtParaArray, ExtItemParaNb);
}

void TEnviron::SetMNEATab() {
    SetItemList(NMEAParaList, NMEAParaArray, NMEAItemParaNb);
}

bool TEnviron::IsNMEACommOk() const {
    const std::int32_t n = NMEACommPort.PortNumber;
    return n != 0 && n != ProbeCommPort.PortNumber && n != ExtCommPort.PortNumber;
}

bool TEnviron::IsExtCommOk() const {
    const std::int32_t n = ExtCommPort.PortNumber;
    return n != 0 && n != ProbeCommPort.PortNumber && n != NMEACommPort.PortNumber;
}

bool TEnviron::IsPARActive() const {
    return ExtParaArray[0] != 0 && ExtCommPort.PortNumber > 0;
}

} // namespace marevo

namespace marevo {

std::optional<fs::path> ResolveDataRoot(std::string_view given, std::string& note,
                                        std::string& error) {
    note.clear();
    error.clear();
    if (given.empty()) {
        error = "the data root is empty: give a folder with --data-root";
        return std::nullopt;
    }
    fs::path root(given);
    std::error_code ec;
    if (!root.is_absolute()) {
        const fs::path absolute = fs::absolute(root, ec);
        if (ec) {
            error = "the data root " + std::string(given) + " cannot be made absolute: " +
                    ec.message();
            return std::nullopt;
        }
        note = "the data root " + std::string(given) + " is taken as " +
               absolute.lexically_normal().string();
        root = absolute;
    }
    root = root.lexically_normal();
    if (!root.has_filename() && root != root.root_path())
        root = root.parent_path();
    // It must be a folder, or be creatable: the nearest existing folder above it must accept
    // new entries.
    fs::path probe = root;
    while (!fs::exists(probe, ec) && probe.has_parent_path() && probe != probe.parent_path())
        probe = probe.parent_path();
    if (!fs::is_directory(probe, ec)) {
        error = "the data root " + root.string() + " is not a folder (" + probe.string() +
                " is a file)";
        return std::nullopt;
    }
    if (probe != root && ::access(probe.c_str(), W_OK | X_OK) != 0) {
        error = "the data root " + root.string() + " cannot be created: " + probe.string() +
                " is not writable";
        return std::nullopt;
    }
    return root;
}

} // namespace marevo
