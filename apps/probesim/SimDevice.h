#pragma once
// The simulated probe as a serial device: what the port writes goes to the probe, what the probe
// sends is waiting to be read, both at the time of the clock seam. With the fake clock of the
// tests the whole protocol runs in test time, without a pseudo-terminal.

#include "SimProbe.h"

#include "platform/SerialDevice.h"

#include <memory>
#include <string>

namespace marevo::sim {

class TSimProbeDevice final : public ISerialDevice {
public:
    explicit TSimProbeDevice(std::shared_ptr<TSimProbe> probe) : probe_(std::move(probe)) {}

    bool Open(const std::filesystem::path&, const TSerialSettings&) override { return open_ = true; }
    bool IsOpen() const override { return open_; }
    bool Status(TSerialStatus& status) override;
    std::ptrdiff_t Read(void* buffer, std::size_t count) override;
    std::ptrdiff_t Write(const void* data, std::size_t count) override;
    bool PurgeReceive() override;
    bool CtsHolding() override { return false; }
    void Close() override { open_ = false; }
    std::string LastError() const override { return {}; }

    TSimProbe& Probe() { return *probe_; }

private:
    void Pull();

    std::shared_ptr<TSimProbe> probe_;
    std::string received_;
    bool open_ = true;
};

} // namespace marevo::sim
