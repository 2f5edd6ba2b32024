#pragma once
// The serial-device seam: one serial line as the port stream sees it. The POSIX implementation
// drives a termios device (a real port, a USB adapter or a pseudo-terminal); tests and the
// simulator supply their own. Nothing here logs or asks anybody: operations report failure by
// their result and describe it in LastError(), and the caller decides what to say.
//
// Nothing here ever waits for data: reads take what the driver holds, writes give the driver
// what it accepts now. Callers that must wait poll against their own clock.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace marevo {

enum class TParity : char { None = 'n', Even = 'e', Odd = 'o', Mark = 'm', Space = 's' };

struct TSerialSettings {
    std::uint32_t baud = 9600; // bits per second
    TParity parity = TParity::None;
    int dataBits = 8;    // 5..8
    int stopBits = 1;    // 1 or 2
    bool rtsCts = false; // hardware flow control: send only while CTS is on, drive RTS

    bool operator==(const TSerialSettings&) const = default;
};

// Line errors the driver reported since the previous status read, as bits of
// TSerialStatus::errors.
enum TLineError : std::uint32_t {
    le_Overrun = 0x0002, // the receiver lost characters (hardware or driver buffer)
    le_Parity = 0x0004,
    le_Frame = 0x0008,
    le_Break = 0x0010,
    le_HangUp = 0x0400, // the device went away (unplugged adapter, closed pseudo-terminal)
};

struct TSerialStatus {
    std::uint32_t errors = 0; // TLineError bits
    std::size_t waiting = 0;  // bytes in the receive queue
};

class ISerialDevice {
public:
    virtual ~ISerialDevice() = default;

    // Opens the device for reading and writing, for this process alone, and applies the line
    // settings. A device already open is closed first. False when the device cannot be opened
    // or does not take the settings; it is then left closed.
    virtual bool Open(const std::filesystem::path& device, const TSerialSettings& settings) = 0;
    virtual bool IsOpen() const = 0;
    // Line errors and receive count in one reading; false when the status cannot be read.
    virtual bool Status(TSerialStatus& status) = 0;
    // Copies at most count of the bytes already received; never waits. Returns the number
    // copied (0 when none are waiting), or -1 on failure.
    virtual std::ptrdiff_t Read(void* buffer, std::size_t count) = 0;
    // Hands the driver as many of the bytes as it takes now; never waits. Returns the number
    // taken (0 while the transmit queue is full), or -1 on failure.
    virtual std::ptrdiff_t Write(const void* data, std::size_t count) = 0;
    // Discards what has been received and not yet read.
    virtual bool PurgeReceive() = 0;
    // Whether the CTS line is off, so that with hardware flow control nothing may be sent.
    // False while CTS is on, and on devices without modem lines.
    virtual bool CtsHolding() = 0;
    // Bytes handed to the driver and not yet sent; -1 when it cannot tell. Devices that send at
    // once (the default) hold none.
    virtual std::ptrdiff_t OutputPending() { return 0; }
    virtual void Close() = 0;
    // What went wrong in the last failed operation.
    virtual std::string LastError() const = 0;
};

// termios device, opened non-blocking and in raw mode.
//  - Pseudo-terminals have no modem lines: their CTS never holds, so a port with hardware flow
//    control opens on a pseudo-terminal as if a device were connected.
//  - A hang-up (adapter unplugged, pseudo-terminal master closed) shows as le_HangUp in every
//    later status until the device is closed.
//  - Overrun, parity, frame and break errors come from the driver's line counters where it keeps
//    them (most UART and USB drivers); pseudo-terminals have none.
//  - The kernel's receive buffering is fixed by the driver; it cannot be sized from here.
class TPosixSerialDevice final : public ISerialDevice {
public:
    TPosixSerialDevice() = default;
    ~TPosixSerialDevice() override;
    TPosixSerialDevice(const TPosixSerialDevice&) = delete;
    TPosixSerialDevice& operator=(const TPosixSerialDevice&) = delete;

    bool Open(const std::filesystem::path& device, const TSerialSettings& settings) override;
    bool IsOpen() const override { return fd_ >= 0; }
    bool Status(TSerialStatus& status) override;
    std::ptrdiff_t Read(void* buffer, std::size_t count) override;
    std::ptrdiff_t Write(const void* data, std::size_t count) override;
    bool PurgeReceive() override;
    bool CtsHolding() override;
    std::ptrdiff_t OutputPending() override;
    void Close() override;
    std::string LastError() const override { return lastError_; }

private:
    struct TLineCounters {
        int overrun = 0;
        int parity = 0;
        int frame = 0;
        int brk = 0;
    };

    bool Fail(std::string what);
    // "device path: what".
    std::string Named(std::string_view what) const;
    // Result of a read or write that returned -1 with error: 0 when it would have to wait.
    std::ptrdiff_t FailTransfer(int error);
    bool Configure(const TSerialSettings& settings);
    // Error bits from the driver's counters since the previous call.
    std::uint32_t CounterErrors();

    int fd_ = -1;
    std::filesystem::path device_;
    std::string lastError_;
    bool exclusive_ = false; // this handle set the terminal's exclusive mode
    bool hungUp_ = false;
    bool countersKept_ = false;
    TLineCounters counters_;
};

} // namespace marevo
