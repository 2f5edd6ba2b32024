#pragma once
// What the settings editors check and compute, without their windows: numbers typed into fields,
// the serial devices of this machine, the instruments' ports and the Ports.map that names their
// devices, and the automatic export's time-out rule.

#include "records/Environ.h"

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace marevo {

class TConfig;

// ---- Numbers typed into fields -----------------------------------------------------------------

// A field's name as the form shows it and the values it takes.
struct TNumberField {
    std::string name;
    double min = -1e300;
    double max = 1e300;
    bool integer = false;
};

// The number a field's text holds: "." is the decimal separator whatever the locale, surrounding
// blanks are ignored. None, with message naming the field, for an empty text, a comma, anything
// that is no number, NaN or infinity, a fraction where a whole number is wanted, or a value outside
// the field's range.
std::optional<double> ReadNumberField(std::string_view text, const TNumberField& field,
                                      std::string& message);
// The text a field shows for a value: up to `decimals` decimals, trailing zeros dropped, ".".
std::string NumberFieldText(double value, int decimals = 6);

// Collects the first refusal of a form's fields, so that OK checks every field before changing
// anything.
class TFieldReader {
public:
    // The value read, or fallback when the text is refused (the first refusal is kept).
    double Read(std::string_view text, const TNumberField& field, double fallback);
    bool Ok() const { return message_.empty(); }
    const std::string& Message() const { return message_; }
    // A refusal that no single field gives (two fields that disagree).
    void Refuse(const std::string& message);

private:
    std::string message_;
};

// ---- Serial devices and ports ------------------------------------------------------------------

// A serial device offered for an instrument: its path and what the list shows.
struct TSerialDevice {
    std::string path;  // e.g. /dev/serial/by-id/usb-FTDI_…-if00-port0 or /dev/ttyUSB0
    std::string label; // the path, with the device a by-id name stands for
};
// The serial devices under devFolder: the stable names of serial/by-id first, then ttyUSB*,
// ttyACM* and ttyS*, each family in numeric order.
std::vector<TSerialDevice> DetectSerialDevices(const std::filesystem::path& devFolder = "/dev");

// The four instruments on serial ports, in the environment's order.
enum class TInstrument { Probe, Gps, External, Repeater };
inline constexpr int InstrumentCount = 4;
// "probe", "GPS", "external sensor", "depth repeater".
const char* InstrumentName(TInstrument instrument);
TCommPort& InstrumentPort(TEnviron& env, TInstrument instrument);

// An instrument's port as the dialog edits it: a device (empty: not connected) and the indexes of
// the line settings into the tables of Environ.h.
struct TPortChoice {
    std::string device;
    int baudIndex = 5; // 9600
    int sizeIndex = 0;
    int parityIndex = 0;
    int stopIndex = 0;
    int controlIndex = 0;
    bool operator==(const TPortChoice&) const = default;
};
using TPortChoices = std::array<TPortChoice, InstrumentCount>;

// The choice a port stands for, its device found through the Ports.map text.
TPortChoice PortChoiceOf(const TCommPort& port, std::string_view portsMap);
// Empty when the choices can be applied, else why not: a device chosen for two instruments
// ("The GPS port /dev/ttyUSB0 is already used by the probe."), or an index outside its table.
std::string PortChoicesProblem(const TPortChoices& choices);
// Applies checked choices: each connected instrument gets a COM number whose Ports.map line names
// its device (the number already mapped to that device, else the lowest free one), its line
// settings and CommCfgStr; a disconnected one "NONE" and number 0. Returns the new Ports.map text:
// the lines of the other numbers and the comments are kept.
std::string ApplyPortChoices(const TPortChoices& choices, TEnviron& env, std::string_view portsMap);

std::filesystem::path PortsMapFileName(const TEnviron& env);
// The Ports.map text of the environment's configuration folder, empty when there is none.
std::string ReadPortsMap(const TEnviron& env);
// Replaces Ports.map whole or not at all; raises EMarevoError on failure.
void WritePortsMap(const TEnviron& env, const std::string& text);

// ---- Configuration rules -----------------------------------------------------------------------

inline constexpr double MinExportTimeoutSeconds = 10;
// "Automatic data export timeout must be greater than10 seconds. It will be set to default value!"
// for a time-out below 10 s; empty otherwise.
std::string ExportTimeoutWarning(double seconds);

} // namespace marevo
