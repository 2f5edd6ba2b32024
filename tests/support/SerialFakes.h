#pragma once
// Serial lines and instrument bytes played by the tests: a scripted ISerialDevice, a live byte
// source with scripted waiting bytes, and the reply of the PAR sensor for a given reading.

#include "platform/SerialDevice.h"
#include "probelink/ByteSource.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>

namespace marevo::test {

// A scripted line: what it receives, what it takes of writes, its CTS and its status. It is
// closed until opened (or until a test sets `open`).
class TFakeSerialDevice final : public ISerialDevice {
public:
    bool Open(const std::filesystem::path& device, const TSerialSettings& settings) override {
        ++opens;
        openedPath = device;
        openedSettings = settings;
        open = openSucceeds;
        return open;
    }
    bool IsOpen() const override { return open; }
    bool Status(TSerialStatus& status) override {
        if (!open || !statusReadable)
            return false;
        status.errors = errors;
        status.waiting = received.size();
        return true;
    }
    std::ptrdiff_t Read(void* buffer, std::size_t count) override {
        if (!open || failReads)
            return -1;
        const std::size_t n = std::min(count, received.size());
        std::memcpy(buffer, received.data(), n);
        received.erase(0, n);
        return std::ptrdiff_t(n);
    }
    std::ptrdiff_t Write(const void* data, std::size_t count) override {
        if (!open)
            return -1;
        const std::size_t n = std::min(count, takesPerWrite);
        sent.append(static_cast<const char*>(data), n);
        return std::ptrdiff_t(n);
    }
    bool PurgeReceive() override {
        if (!open || !purgeSucceeds)
            return false;
        received.clear();
        return true;
    }
    bool CtsHolding() override { return open && ctsHolding; }
    void Close() override { open = false; }
    std::string LastError() const override { return "fake: " + lastError; }

    void Receive(const std::string& bytes) { received += bytes; }

    // Script.
    bool openSucceeds = true;
    bool statusReadable = true;
    std::uint32_t errors = 0;
    bool ctsHolding = false;
    bool failReads = false;
    bool purgeSucceeds = true;
    std::size_t takesPerWrite = SIZE_MAX;
    std::string lastError = "device gone";
    std::string received; // waiting to be read, oldest first
    // Record.
    bool open = false;
    int opens = 0;
    std::filesystem::path openedPath;
    TSerialSettings openedSettings;
    std::string sent;
};

// A live port with scripted waiting bytes.
class TScriptedPort final : public IByteSource {
public:
    explicit TScriptedPort(std::string bytes) : bytes_(std::move(bytes)) {}
    bool Live() const override { return true; }
    int Waiting() override { return static_cast<int>(bytes_.size() - pos_); }
    int Read(std::uint8_t* buffer, int count) override {
        int n = 0;
        while (n < count && pos_ < bytes_.size())
            buffer[n++] = static_cast<std::uint8_t>(bytes_[pos_++]);
        return n;
    }
    std::size_t Left() const { return bytes_.size() - pos_; }

private:
    std::string bytes_;
    std::size_t pos_ = 0;
};

// The PAR sensor's reply carrying the 24-bit reading raw: "#", two bytes, the reading spread
// over b3..b6 (low nibble of b3, b4, b5, low nibble of b6), CR LF.
inline std::string ParReply(std::uint32_t raw) {
    std::string r = "#AB";
    r += static_cast<char>(0x30 | ((raw >> 20) & 0x0F));
    r += static_cast<char>((raw >> 12) & 0xFF);
    r += static_cast<char>((raw >> 4) & 0xFF);
    r += static_cast<char>(raw & 0x0F);
    r += "\r\n";
    return r;
}

} // namespace marevo::test
