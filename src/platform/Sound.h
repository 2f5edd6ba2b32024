#pragma once
// The sound seam: the alarm tone. The GUI plays a tone of its own; headless programs and tests
// count or log the plays.

#include <atomic>
#include <cstdint>

namespace marevo {

class IAlarmSound {
public:
    virtual ~IAlarmSound() = default;
    // Starts the alarm tone once, without waiting for it to end.
    virtual void Play() = 0;
};

class TCountingSound final : public IAlarmSound {
public:
    void Play() override { ++plays; }
    std::atomic<std::uint64_t> plays{0};
};

} // namespace marevo
