#include "SimDevice.h"

#include "foundation/Runtime.h"

#include <cstring>

namespace marevo::sim {

void TSimProbeDevice::Pull() { received_ += probe_->TakeOutput(Clock().TickMs()); }

bool TSimProbeDevice::Status(TSerialStatus& status) {
    Pull();
    status = {0, received_.size()};
    return open_;
}

std::ptrdiff_t TSimProbeDevice::Read(void* buffer, std::size_t count) {
    if (!open_)
        return -1;
    Pull();
    const std::size_t n = std::min(count, received_.size());
    std::memcpy(buffer, received_.data(), n);
    received_.erase(0, n);
    return static_cast<std::ptrdiff_t>(n);
}

std::ptrdiff_t TSimProbeDevice::Write(const void* data, std::size_t count) {
    if (!open_)
        return -1;
    probe_->Receive({static_cast<const std::uint8_t*>(data), count}, Clock().TickMs());
    return static_cast<std::ptrdiff_t>(count);
}

bool TSimProbeDevice::PurgeReceive() {
    Pull();
    received_.clear();
    return true;
}

} // namespace marevo::sim
