#include "shell/Settings.h"

#include "foundation/Guard.h"
#include "foundation/Stream.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

namespace marevo {

namespace fs = std::filesystem;

namespace {

std::string Trimmed(std::string_view s) {
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    const auto last = s.find_last_not_of(" \t\r\n");
    return std::string(s.substr(first, last - first + 1));
}

std::string Quoted(const std::string& name) { return "\"" + name + "\""; }

// Numbers of the "COMn=device" lines of a Ports.map text, by device.
std::map<int, std::string> MappedDevices(std::string_view map) {
    std::map<int, std::string> devices;
    std::istringstream in{std::string(map)};
    std::string line;
    while (std::getline(in, line)) {
        line = Trimmed(line);
        const auto eq = line.find('=');
        if (line.empty() || line[0] == '#' || eq == std::string::npos)
            continue;
        const std::string key = Trimmed(line.substr(0, eq));
        int n = 0;
        if (key.size() > 3 && (key.compare(0, 3, "COM") == 0 || key.compare(0, 3, "com") == 0)) {
            const auto [end, ec] = std::from_chars(key.data() + 3, key.data() + key.size(), n);
            if (ec != std::errc() || end != key.data() + key.size())
                n = 0;
        }
        if (n > 0)
            devices[n] = Trimmed(line.substr(eq + 1));
    }
    return devices;
}

int NumericSuffix(const std::string& name, std::size_t prefix) {
    int n = 0;
    std::from_chars(name.data() + prefix, name.data() + name.size(), n);
    return n;
}

} // namespace

// ---- Numbers -----------------------------------------------------------------------------------

std::optional<double> ReadNumberField(std::string_view text, const TNumberField& field,
                                      std::string& message) {
    const std::string t = Trimmed(text);
    const auto refuse = [&](const std::string& why) -> std::optional<double> {
        message = why;
        return std::nullopt;
    };
    if (t.empty())
        return refuse(Quoted(field.name) + ": a number is needed.");
    if (t.find(',') != std::string::npos)
        return refuse(Quoted(field.name) + ": \"" + t +
                      "\" is not a number (use \".\" as the decimal separator).");
    double value = 0;
    const char* begin = t.data() + (t[0] == '+' ? 1 : 0);
    const auto [end, ec] = std::from_chars(begin, t.data() + t.size(), value);
    if (ec != std::errc() || end != t.data() + t.size() || !std::isfinite(value))
        return refuse(Quoted(field.name) + ": \"" + t + "\" is not a number.");
    if (field.integer && value != std::floor(value))
        return refuse(Quoted(field.name) + ": \"" + t + "\" is not a whole number.");
    if (value < field.min || value > field.max)
        return refuse(Quoted(field.name) + " must be between " + NumberFieldText(field.min) +
                      " and " + NumberFieldText(field.max) + ".");
    return value;
}

std::string NumberFieldText(double value, int decimals) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    std::string text = buffer;
    if (text.find('.') != std::string::npos) {
        text.erase(text.find_last_not_of('0') + 1);
        if (text.back() == '.')
            text.pop_back();
    }
    return text == "-0" ? "0" : text;
}

double TFieldReader::Read(std::string_view text, const TNumberField& field, double fallback) {
    std::string why;
    const auto value = ReadNumberField(text, field, why);
    if (!value) {
        Refuse(why);
        return fallback;
    }
    return *value;
}

void TFieldReader::Refuse(const std::string& message) {
    if (message_.empty())
        message_ = message;
}

// ---- Serial devices ----------------------------------------------------------------------------

std::vector<TSerialDevice> DetectSerialDevices(const fs::path& devFolder) {
    std::vector<TSerialDevice> devices;
    std::error_code ec;
    std::vector<std::string> byId;
    for (const auto& entry : fs::directory_iterator(devFolder / "serial" / "by-id", ec))
        byId.push_back(entry.path().filename().string());
    std::sort(byId.begin(), byId.end());
    for (const auto& name : byId) {
        const fs::path link = devFolder / "serial" / "by-id" / name;
        TSerialDevice device{link.string(), link.string()};
        const fs::path target = fs::canonical(link, ec);
        if (!ec)
            device.label += " (" + target.filename().string() + ")";
        devices.push_back(std::move(device));
    }
    for (const std::string prefix : {"ttyUSB", "ttyACM", "ttyS"}) {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(devFolder, ec)) {
            const std::string name = entry.path().filename().string();
            if (name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0 &&
                std::all_of(name.begin() + static_cast<long>(prefix.size()), name.end(),
                            [](char c) { return c >= '0' && c <= '9'; }))
                names.push_back(name);
        }
        std::sort(names.begin(), names.end(), [&](const std::string& a, const std::string& b) {
            return NumericSuffix(a, prefix.size()) < NumericSuffix(b, prefix.size());
        });
        for (const auto& name : names)
            devices.push_back({(devFolder / name).string(), (devFolder / name).string()});
    }
    return devices;
}

// ---- Ports -------------------------------------------------------------------------------------

const char* InstrumentName(TInstrument instrument) {
    switch (instrument) {
    case TInstrument::Probe: return "probe";
    case TInstrument::Gps: return "GPS";
    case TInstrument::External: return "external sensor";
    case TInstrument::Repeater: return "depth repeater";
    }
    return "";
}

TCommPort& InstrumentPort(TEnviron& env, TInstrument instrument) {
    switch (instrument) {
    case TInstrument::Probe: return env.ProbeCommPort;
    case TInstrument::Gps: return env.NMEACommPort;
    case TInstrument::External: return env.ExtCommPort;
    case TInstrument::Repeater: return env.RDRCommPort;
    }
    return env.ProbeCommPort;
}

TPortChoice PortChoiceOf(const TCommPort& port, std::string_view portsMap) {
    TPortChoice choice;
    choice.device = port.PortNumber > 0 ? ResolvePortDevice(port.CommCfgStr.Get(), portsMap) : "";
    if (!choice.device.empty()) {
        choice.baudIndex = port.BaudRateIndex;
        choice.sizeIndex = port.SizeIndex;
        choice.parityIndex = port.ParityIndex;
        choice.stopIndex = port.StopBitIndex;
        choice.controlIndex = port.ControlIndex;
    }
    return choice;
}

std::string PortChoicesProblem(const TPortChoices& choices) {
    const auto in = [](int index, const auto& table) {
        return index >= 0 && index < static_cast<int>(std::size(table));
    };
    for (int i = 0; i < InstrumentCount; ++i) {
        const TPortChoice& c = choices[static_cast<std::size_t>(i)];
        const std::string name = InstrumentName(static_cast<TInstrument>(i));
        if (c.device.empty())
            continue;
        if (!in(c.baudIndex, CommBaudRates) || !in(c.sizeIndex, CommDataBits) ||
            !in(c.parityIndex, CommParityLetters) || !in(c.stopIndex, CommStopBits) ||
            !in(c.controlIndex, CommFlowSuffixes))
            return "The line settings of the " + name + " port are not valid.";
        for (int j = 0; j < i; ++j) {
            if (choices[static_cast<std::size_t>(j)].device != c.device)
                continue;
            return "The " + name + " port " + c.device + " is already used by the " +
                   InstrumentName(static_cast<TInstrument>(j)) + ".";
        }
    }
    return {};
}

std::string ApplyPortChoices(const TPortChoices& choices, TEnviron& env, std::string_view portsMap) {
    std::map<int, std::string> mapped = MappedDevices(portsMap);
    std::set<int> added;
    std::string lines;
    for (int i = 0; i < InstrumentCount; ++i) {
        const TPortChoice& c = choices[static_cast<std::size_t>(i)];
        TCommPort& port = InstrumentPort(env, static_cast<TInstrument>(i));
        if (c.device.empty()) {
            port = TCommPort{};
            port.CommCfgStr.Set("NONE");
            continue;
        }
        int number = 0;
        for (const auto& [n, device] : mapped)
            if (device == c.device) {
                number = n;
                break;
            }
        if (number == 0) {
            number = 1;
            while (mapped.count(number) != 0)
                ++number;
            mapped[number] = c.device;
            added.insert(number);
        }
        port.PortNumber = number;
        port.BaudRateIndex = c.baudIndex;
        port.SizeIndex = c.sizeIndex;
        port.ParityIndex = c.parityIndex;
        port.StopBitIndex = c.stopIndex;
        port.ControlIndex = c.controlIndex;
        port.CommCfgStr.Set(CommCfgText(port));
    }
    std::string text(portsMap);
    if (!text.empty() && text.back() != '\n')
        text += '\n';
    for (const int n : added)
        text += "COM" + std::to_string(n) + "=" + mapped[n] + "\n";
    return text;
}

fs::path PortsMapFileName(const TEnviron& env) { return env.ConfigFolder() / "Ports.map"; }

std::string ReadPortsMap(const TEnviron& env) {
    std::ifstream in(PortsMapFileName(env), std::ios::binary);
    std::ostringstream text;
    if (in)
        text << in.rdbuf();
    return text.str();
}

void WritePortsMap(const TEnviron& env, const std::string& text) {
    WriteFileAtomically(PortsMapFileName(env), [&](TStream& out) {
        if (out.Write(text.data(), text.size()) != text.size())
            Raise("Ports.map: write error");
    });
}

// ---- Configuration rules -----------------------------------------------------------------------

std::string ExportTimeoutWarning(double seconds) {
    if (seconds >= MinExportTimeoutSeconds)
        return {};
    return "Automatic data export timeout must be greater than 10 seconds. It will be set to "
           "default value!";
}

} // namespace marevo
