#pragma once
// TFileCOMM: the byte stream over one serial port, used by every serial link (probe data and
// commands, GPS, external sensor, remote depth display). It opens a port from the port text kept
// in the environment, tells how many bytes are waiting, reads only those, writes with a time-out
// and purges the receive queue. It never raises: failures go to the event log and come back as
// 0 bytes or false; ComResetted tells the link supervision that the driver reported trouble.

#include "foundation/Stream.h"
#include "platform/SerialDevice.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace marevo {

// A port text "COM1:9600,n,8,1,n" taken apart: port 1, 9600 baud, parity n/e/o/m/s, 5..8 data
// bits, 1 or 2 stop bits, flow "e" (RTS/CTS) or "n" (none).
struct TCommConfig {
    int comNumber = 0;
    TSerialSettings settings;

    bool operator==(const TCommConfig&) const = default;
};

// Nothing when the text is not a complete port text (no ":", a field missing or out of range).
std::optional<TCommConfig> ParseCommConfig(std::string_view text);

// Device path of port COMn. The environment supplies one that reads its port map.
using TPortResolver = std::function<std::filesystem::path(int comNumber)>;
// COMn without a mapping: the n-th on-board serial port, /dev/ttyS<n-1>.
std::filesystem::path DefaultPortPath(int comNumber);

class TFileCOMM final : public TStream {
public:
    // A closed port on the system's serial devices; Open opens it.
    TFileCOMM();
    // A port over the given device, usable at once when the device is already open.
    explicit TFileCOMM(std::unique_ptr<ISerialDevice> device);
    ~TFileCOMM() override;
    TFileCOMM(const TFileCOMM&) = delete;
    TFileCOMM& operator=(const TFileCOMM&) = delete;

    // Opens the port named by the port text; true when it can be used. The label ("CTD",
    // "GPS", "External sensor" ...) names the device in the warning shown when hardware flow
    // control is on and nothing answers on the line.
    bool Open(std::string_view label, std::string_view configString,
              const TPortResolver& resolver = DefaultPortPath);
    bool IsOpen() const { return isOpen_; }

    // Bytes waiting in the receive queue; 0 after a status failure or a driver error.
    int size();
    // At most count bytes, never more than are waiting; never waits. The number read.
    std::size_t Read(void* buffer, std::size_t count) override;
    bool ReadByte(std::uint8_t& byte);
    // Returns once all bytes are with the driver or after 100 ms per byte + 1 s; the number
    // written.
    std::size_t Write(const void* buffer, std::size_t count) override;
    // Discards the receive queue and clears ComResetted. Always true.
    bool flush();
    // Closes the device; the object stays, and later calls fail and are logged.
    void free();

    // A serial port has no position; its stream size is what is waiting to be read.
    std::int64_t Position() const override { return 0; }
    void Seek(std::int64_t position) override;
    std::int64_t Size() const override;

    // The device went away (le_HangUp seen: an unplugged adapter), or a Reopen failed.
    bool HungUp() const { return hungUp_; }
    // The device of the last successful Open, opened again by its name with the same line
    // settings (an adapter plugged back in). Logs nothing; true when the port can be used.
    bool Reopen();
    const std::filesystem::path& DevicePath() const { return devicePath_; }

    // Why the last Open failed (device path and reason), for the caller's own message.
    const std::string& OpenError() const { return openError_; }

    // Set when the driver reported an error or its status could not be read; cleared by Open and
    // by flush.
    bool ComResetted = false;

private:
    bool OpenPort(std::string_view label, std::string_view configString,
                  const TPortResolver& resolver);
    std::size_t ReadComm(void* buffer, std::size_t count);
    // Receive count after checking the driver's status; on trouble sets ComResetted, logs the
    // failure text or the error text + bits, and returns 0.
    std::size_t CheckedWaiting(std::string_view failureText, std::string_view errorText);
    // Sets ComResetted and logs text, unless the same condition (status unreadable, or the same
    // error bits) was the last one logged and has not cleared since: a vanished device would
    // otherwise add a line on every poll of the acquisition loop.
    void ReportStatus(std::uint64_t condition, const std::string& text);

    static constexpr std::uint64_t NothingReported = 0;
    static constexpr std::uint64_t StatusUnreadable = 1ull << 32; // above every error bit

    std::unique_ptr<ISerialDevice> device_;
    bool isOpen_ = false;
    std::string openError_;
    std::uint64_t reportedCondition_ = NothingReported;
    bool hungUp_ = false;
    std::filesystem::path devicePath_;
    TSerialSettings settings_;
};

} // namespace marevo
