#include "probelink/FileComm.h"

#include "foundation/EventLog.h"
#include "foundation/Guard.h"
#include "foundation/Runtime.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <vector>

namespace marevo {

namespace {

// Total write time-out: 100 ms per byte plus 1 s, so a long command still gets through at
// 1200 baud (about 8 ms per byte) while a stuck line cannot stall its caller for long.
constexpr std::uint64_t WriteMsPerByte = 100;
constexpr std::uint64_t WriteBaseMs = 1000;
// With hardware flow control a connected device raises CTS; give it this long after the open.
constexpr std::uint32_t CtsSettleMs = 100;

std::string_view Trim(std::string_view s) {
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}

std::vector<std::string_view> SplitFields(std::string_view s) {
    std::vector<std::string_view> fields;
    for (;;) {
        const std::size_t comma = s.find(',');
        fields.push_back(Trim(s.substr(0, comma)));
        if (comma == std::string_view::npos)
            return fields;
        s.remove_prefix(comma + 1);
    }
}

template <class T> bool ParseNumber(std::string_view s, T& value) {
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
    return error == std::errc{} && end == s.data() + s.size();
}

// One letter, either case.
bool Letter(std::string_view field, char& letter) {
    if (field.size() != 1)
        return false;
    letter = static_cast<char>(std::tolower(static_cast<unsigned char>(field[0])));
    return true;
}

std::optional<TParity> ParseParity(std::string_view field) {
    char c{};
    if (!Letter(field, c))
        return std::nullopt;
    for (TParity p : {TParity::None, TParity::Even, TParity::Odd, TParity::Mark, TParity::Space})
        if (static_cast<char>(p) == c)
            return p;
    return std::nullopt;
}

} // namespace

std::optional<TCommConfig> ParseCommConfig(std::string_view text) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos)
        return std::nullopt;
    const std::string_view port = Trim(text.substr(0, colon));
    if (port.size() < 4)
        return std::nullopt;
    for (std::size_t i = 0; i < 3; ++i)
        if (std::toupper(static_cast<unsigned char>(port[i])) != "COM"[i])
            return std::nullopt;
    TCommConfig cfg;
    if (!ParseNumber(port.substr(3), cfg.comNumber) || cfg.comNumber < 1)
        return std::nullopt;

    const std::vector<std::string_view> f = SplitFields(text.substr(colon + 1));
    if (f.size() != 5)
        return std::nullopt;
    TSerialSettings& s = cfg.settings;
    if (!ParseNumber(f[0], s.baud) || s.baud == 0)
        return std::nullopt;
    const std::optional<TParity> parity = ParseParity(f[1]);
    if (!parity)
        return std::nullopt;
    s.parity = *parity;
    if (!ParseNumber(f[2], s.dataBits) || s.dataBits < 5 || s.dataBits > 8)
        return std::nullopt;
    // 1.5 stop bits exist in the mode syntax but not in termios.
    if (!ParseNumber(f[3], s.stopBits) || (s.stopBits != 1 && s.stopBits != 2))
        return std::nullopt;
    char flow{};
    if (!Letter(f[4], flow) || (flow != 'e' && flow != 'n'))
        return std::nullopt;
    s.rtsCts = flow == 'e';
    return cfg;
}

std::filesystem::path DefaultPortPath(int comNumber) {
    return "/dev/ttyS" + std::to_string(comNumber - 1);
}

TFileCOMM::TFileCOMM() : TFileCOMM(std::make_unique<TPosixSerialDevice>()) {}

TFileCOMM::TFileCOMM(std::unique_ptr<ISerialDevice> device)
    : device_(std::move(device)), isOpen_(device_ && device_->IsOpen()) {
    if (!device_)
        device_ = std::make_unique<TPosixSerialDevice>();
}

TFileCOMM::~TFileCOMM() {
    free();
}

bool TFileCOMM::Open(std::string_view label, std::string_view configString,
                     const TPortResolver& resolver) {
    isOpen_ = GuardOr({"Error in TFileCOMM.Create "}, false,
                      [&] { return OpenPort(label, configString, resolver); });
    if (!isOpen_)
        device_->Close(); // a port reported closed must not keep the device from other users
    return isOpen_;
}

bool TFileCOMM::OpenPort(std::string_view label, std::string_view configString,
                         const TPortResolver& resolver) {
    device_->Close();
    ComResetted = false;
    reportedCondition_ = NothingReported;
    openError_.clear();
    const std::optional<TCommConfig> cfg = ParseCommConfig(configString);
    if (!cfg) {
        openError_ = "invalid port setting \"" + std::string(configString) + "\"";
        return false;
    }
    hungUp_ = false;
    const std::filesystem::path device = resolver(cfg->comNumber);
    if (!device_->Open(device, cfg->settings)) {
        openError_ = device_->LastError();
        return false;
    }
    devicePath_ = device;
    settings_ = cfg->settings;
    if (!cfg->settings.rtsCts)
        return true;

    Clock().SleepMs(CtsSettleMs);
    TSerialStatus status;
    const bool somethingSent = device_->Status(status) && status.waiting > 0;
    if (!device_->CtsHolding() || somethingSent)
        return true;
    Operator().Message("CTS/RTS is enabled and no " + std::string(label) + " connected!", "Warning",
                       TMessageKind::Warning);
    openError_ = "no device connected";
    return false;
}

void TFileCOMM::ReportStatus(std::uint64_t condition, const std::string& text) {
    ComResetted = true;
    if (condition == reportedCondition_)
        return;
    reportedCondition_ = condition;
    WriteLog(text);
}

std::size_t TFileCOMM::CheckedWaiting(std::string_view failureText, std::string_view errorText) {
    TSerialStatus status;
    if (!device_->Status(status)) {
        ReportStatus(StatusUnreadable, std::string(failureText));
        return 0;
    }
    if (status.errors & le_HangUp)
        hungUp_ = true;
    if (status.errors != 0) {
        ReportStatus(status.errors, std::string(errorText) + std::to_string(status.errors));
        return 0;
    }
    reportedCondition_ = NothingReported;
    return status.waiting;
}

int TFileCOMM::size() {
    return GuardOr({"Error in TFileCOMM.Size "}, 0, [&] {
        const std::size_t waiting = CheckedWaiting("TFileCOMM.Size failure calling ClearCommError ",
                                                   "TFileCOMM.Size: communication error ");
        return static_cast<int>(std::min<std::size_t>(waiting, INT32_MAX));
    });
}

std::int64_t TFileCOMM::Size() const {
    // The port's status bookkeeping changes on every reading; the object itself is not const.
    return const_cast<TFileCOMM*>(this)->size();
}

void TFileCOMM::Seek(std::int64_t) {
    Raise("TFileCOMM.Seek: a serial port has no position");
}

std::size_t TFileCOMM::Read(void* buffer, std::size_t count) {
    return ReadComm(buffer, count);
}

std::size_t TFileCOMM::ReadComm(void* buffer, std::size_t count) {
    return GuardOr({"Error in TFileCOMM.ReadComm"}, std::size_t{0}, [&]() -> std::size_t {
        const std::size_t waiting =
            CheckedWaiting("TFileCOMM.ReadComm: failure calling ClearCommError ",
                           "TFileCOMM.ReadComm: communication error ");
        const std::size_t n = std::min(waiting, count);
        if (n == 0)
            return 0;
        const std::ptrdiff_t got = device_->Read(buffer, n);
        if (got < 0) {
            ComResetted = true;
            Raise(device_->LastError());
        }
        return static_cast<std::size_t>(got);
    });
}

bool TFileCOMM::ReadByte(std::uint8_t& byte) {
    return Read(&byte, 1) == 1;
}

std::size_t TFileCOMM::Write(const void* buffer, std::size_t count) {
    return GuardOr({"Error in TFileCOMM.Write "}, std::size_t{0}, [&]() -> std::size_t {
        const auto* bytes = static_cast<const std::uint8_t*>(buffer);
        const std::uint64_t timeOutMs = WriteMsPerByte * count + WriteBaseMs;
        const std::uint64_t start = Clock().TickMs();
        std::size_t done = 0;
        while (done < count) {
            const std::ptrdiff_t n = device_->Write(bytes + done, count - done);
            if (n < 0) {
                ComResetted = true;
                Raise(device_->LastError() + ", " + std::to_string(done) + " of " +
                      std::to_string(count) + " bytes written");
            }
            done += static_cast<std::size_t>(n);
            if (done == count)
                break;
            if (Clock().TickMs() - start > timeOutMs) {
                ReportFailure({"Error in TFileCOMM.Write "}, "time-out, " + std::to_string(done) +
                                                                 " of " + std::to_string(count) +
                                                                 " bytes written");
                break;
            }
            Clock().SleepMs(1); // the transmit queue is full: let the line drain
        }
        return done;
    });
}

bool TFileCOMM::flush() {
    Guard({"Error in TFileCOMM.flush "}, [&] {
        if (!device_->PurgeReceive())
            StatusMessage("Flush Communication Error");
    });
    ComResetted = false;
    reportedCondition_ = NothingReported;
    return true;
}

bool TFileCOMM::Reopen() {
    if (devicePath_.empty())
        return false;
    device_->Close();
    isOpen_ = device_->Open(devicePath_, settings_);
    hungUp_ = !isOpen_;
    if (isOpen_) {
        ComResetted = false;
        reportedCondition_ = NothingReported;
    }
    return isOpen_;
}

void TFileCOMM::free() {
    device_->Close();
    isOpen_ = false;
}

} // namespace marevo
