#include "platform/SerialDevice.h"
#include "platform/SerialTermios.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <linux/serial.h>

namespace marevo {

namespace {

struct TBaudCode {
    std::uint32_t baud;
    speed_t code;
};

// The rates termios names; others would need driver-specific divisor settings.
constexpr TBaudCode BaudCodes[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},
#ifdef B460800
    {460800, B460800},   {500000, B500000},   {576000, B576000},   {921600, B921600},
    {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000}, {2000000, B2000000},
    {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
#endif
};

bool BaudCode(std::uint32_t baud, speed_t& code) {
    for (const TBaudCode& b : BaudCodes)
        if (b.baud == baud) {
            code = b.code;
            return true;
        }
    return false;
}

tcflag_t SizeFlag(int dataBits) {
    switch (dataBits) {
    case 5: return CS5;
    case 6: return CS6;
    case 7: return CS7;
    default: return CS8;
    }
}

bool IsHangUp(int error) {
    return error == EIO || error == ENXIO || error == ENODEV;
}

} // namespace

bool MakeSerialTermios(const TSerialSettings& settings, termios& t, std::string& error) {
    speed_t speed{};
    if (!BaudCode(settings.baud, speed)) {
        error = "unsupported baud rate " + std::to_string(settings.baud);
        return false;
    }
    if (settings.dataBits < 5 || settings.dataBits > 8) {
        error = "unsupported number of data bits " + std::to_string(settings.dataBits);
        return false;
    }
    if (settings.stopBits != 1 && settings.stopBits != 2) {
        error = "unsupported number of stop bits " + std::to_string(settings.stopBits);
        return false;
    }
    cfmakeraw(&t);
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    // CLOCAL: a probe cable carries no carrier line, and a dropped DCD must not hang the port up.
    t.c_cflag |= CREAD | CLOCAL;
    t.c_cflag &= ~(CSIZE | CSTOPB | PARENB | PARODD | CMSPAR | CRTSCTS);
    t.c_cflag |= SizeFlag(settings.dataBits);
    if (settings.stopBits == 2)
        t.c_cflag |= CSTOPB;
    switch (settings.parity) {
    case TParity::None: break;
    case TParity::Even: t.c_cflag |= PARENB; break;
    case TParity::Odd: t.c_cflag |= PARENB | PARODD; break;
    // Stick parity: the parity bit is always 1 (mark) or always 0 (space).
    case TParity::Mark: t.c_cflag |= PARENB | CMSPAR | PARODD; break;
    case TParity::Space: t.c_cflag |= PARENB | CMSPAR; break;
    }
    if (settings.parity != TParity::None)
        t.c_iflag |= INPCK;
    if (settings.rtsCts)
        t.c_cflag |= CRTSCTS;
    // With O_NONBLOCK, VMIN 1 makes an empty queue read as EAGAIN, so that a read of 0 bytes
    // can only mean a hang-up (VMIN 0 would read 0 either way).
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    return true;
}

TPosixSerialDevice::~TPosixSerialDevice() {
    Close();
}

bool TPosixSerialDevice::Fail(std::string what) {
    lastError_ = std::move(what);
    return false;
}

std::string TPosixSerialDevice::Named(std::string_view what) const {
    return (device_.empty() ? std::string("serial device") : device_.string()) + ": " +
           std::string(what);
}

std::ptrdiff_t TPosixSerialDevice::FailTransfer(int error) {
    if (error == EAGAIN || error == EWOULDBLOCK || error == EINTR)
        return 0;
    if (IsHangUp(error)) {
        hungUp_ = true;
        Fail(Named("device hung up"));
    } else {
        Fail(Named(std::strerror(error)));
    }
    return -1;
}

bool TPosixSerialDevice::Open(const std::filesystem::path& device,
                              const TSerialSettings& settings) {
    Close();
    device_ = device;
    // O_NONBLOCK also keeps the open from waiting for carrier on ports without CLOCAL.
    fd_ = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0)
        return Fail(Named(errno == EBUSY ? "in use by another program" : std::strerror(errno)));
    termios probe{};
    if (tcgetattr(fd_, &probe) != 0) {
        Close();
        return Fail(Named("not a serial device"));
    }
    // TIOCEXCL refuses other openers (EBUSY above) except privileged ones; the lock also keeps
    // out a second program of ours running as root.
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0 || ::ioctl(fd_, TIOCEXCL) != 0) {
        const int error = errno;
        Close();
        return Fail(
            Named(error == EWOULDBLOCK ? "in use by another program" : std::strerror(error)));
    }
    exclusive_ = true;
    if (!Configure(settings)) {
        Close();
        return false;
    }
    hungUp_ = false;
    serial_icounter_struct now{};
    countersKept_ = ::ioctl(fd_, TIOCGICOUNT, &now) == 0;
    counters_ = {now.overrun + now.buf_overrun, now.parity, now.frame, now.brk};
    lastError_.clear();
    return true;
}

bool TPosixSerialDevice::Configure(const TSerialSettings& settings) {
    termios t{};
    if (tcgetattr(fd_, &t) != 0)
        return Fail(Named(std::strerror(errno)));
    std::string error;
    if (!MakeSerialTermios(settings, t, error))
        return Fail(Named(error));
    if (tcsetattr(fd_, TCSANOW, &t) != 0)
        return Fail(Named(std::strerror(errno)));
    // tcsetattr succeeds when any part was applied; a driver may refuse the speed silently.
    // (The frame is not checked: pseudo-terminals always report 8 bits without parity.)
    termios applied{};
    if (tcgetattr(fd_, &applied) != 0)
        return Fail(Named(std::strerror(errno)));
    if (cfgetospeed(&applied) != cfgetospeed(&t))
        return Fail(
            Named("the driver did not take the baud rate " + std::to_string(settings.baud)));
    return true;
}

std::uint32_t TPosixSerialDevice::CounterErrors() {
    if (!countersKept_)
        return 0;
    serial_icounter_struct now{};
    if (::ioctl(fd_, TIOCGICOUNT, &now) != 0)
        return 0;
    const TLineCounters seen{now.overrun + now.buf_overrun, now.parity, now.frame, now.brk};
    std::uint32_t errors = 0;
    if (seen.overrun != counters_.overrun)
        errors |= le_Overrun;
    if (seen.parity != counters_.parity)
        errors |= le_Parity;
    if (seen.frame != counters_.frame)
        errors |= le_Frame;
    if (seen.brk != counters_.brk)
        errors |= le_Break;
    counters_ = seen;
    return errors;
}

bool TPosixSerialDevice::Status(TSerialStatus& status) {
    status = {};
    if (fd_ < 0)
        return Fail(Named("not open"));
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, 0) < 0)
        return Fail(Named(std::strerror(errno)));
    if (p.revents & POLLNVAL)
        return Fail(Named("invalid handle"));
    if (p.revents & (POLLHUP | POLLERR))
        hungUp_ = true;
    int waiting = 0;
    if (!hungUp_ && ::ioctl(fd_, FIONREAD, &waiting) != 0) {
        if (!IsHangUp(errno))
            return Fail(Named(std::strerror(errno)));
        hungUp_ = true;
    }
    if (hungUp_) {
        status.errors = le_HangUp;
        return true;
    }
    status.errors = CounterErrors();
    status.waiting = waiting > 0 ? static_cast<std::size_t>(waiting) : 0;
    return true;
}

std::ptrdiff_t TPosixSerialDevice::Read(void* buffer, std::size_t count) {
    if (fd_ < 0) {
        Fail(Named("not open"));
        return -1;
    }
    if (count == 0)
        return 0;
    const ssize_t n = ::read(fd_, buffer, count);
    if (n > 0)
        return n;
    // A terminal in raw, non-blocking mode reads end-of-file only after a hang-up.
    return FailTransfer(n == 0 ? EIO : errno);
}

std::ptrdiff_t TPosixSerialDevice::Write(const void* data, std::size_t count) {
    if (fd_ < 0) {
        Fail(Named("not open"));
        return -1;
    }
    if (count == 0)
        return 0;
    const ssize_t n = ::write(fd_, data, count);
    return n >= 0 ? n : FailTransfer(errno);
}

bool TPosixSerialDevice::PurgeReceive() {
    if (fd_ < 0)
        return Fail(Named("not open"));
    if (tcflush(fd_, TCIFLUSH) != 0)
        return Fail(Named(std::strerror(errno)));
    return true;
}

std::ptrdiff_t TPosixSerialDevice::OutputPending() {
    int queued = 0;
    if (fd_ < 0 || ::ioctl(fd_, TIOCOUTQ, &queued) != 0)
        return -1;
    return queued;
}

bool TPosixSerialDevice::CtsHolding() {
    if (fd_ < 0)
        return false;
    int lines = 0;
    // ENOTTY/EINVAL: the device has no modem lines (pseudo-terminals); nothing can hold CTS.
    if (::ioctl(fd_, TIOCMGET, &lines) != 0)
        return false;
    return (lines & TIOCM_CTS) == 0;
}

void TPosixSerialDevice::Close() {
    if (fd_ >= 0) {
        // The exclusive mode belongs to the terminal, not to this handle: give it up, or the
        // port stays refused while anything else still holds it open. Only when it is ours:
        // a refused open must not lift the mode of the program that holds the port.
        if (exclusive_)
            ::ioctl(fd_, TIOCNXCL);
        ::close(fd_); // closing also releases the lock; nothing to do when it fails
    }
    exclusive_ = false;
    fd_ = -1;
    hungUp_ = false;
    countersKept_ = false;
}

} // namespace marevo
