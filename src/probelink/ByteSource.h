#pragma once
// Where the frame ring and the auxiliary readers take their bytes from: a live port (read only
// what is waiting, never wait) or a stored file (read what is there).

#include "foundation/Stream.h"
#include "probelink/FileComm.h"

#include <cstdint>

namespace marevo {

class IByteSource {
public:
    virtual ~IByteSource() = default;
    virtual bool Live() const = 0;
    // Bytes waiting (live sources).
    virtual int Waiting() = 0;
    // Reads at most count bytes; returns the number read.
    virtual int Read(std::uint8_t* buffer, int count) = 0;
};

// A stored stream (raw file) as a source.
class TStreamByteSource final : public IByteSource {
public:
    explicit TStreamByteSource(TStream& stream) : stream_(stream) {}
    bool Live() const override { return false; }
    int Waiting() override { return 0; }
    int Read(std::uint8_t* buffer, int count) override;

private:
    TStream& stream_;
};

// A serial port as a live source.
class TPortByteSource final : public IByteSource {
public:
    explicit TPortByteSource(TFileCOMM& port) : port_(port) {}
    bool Live() const override { return true; }
    int Waiting() override { return port_.size(); }
    int Read(std::uint8_t* buffer, int count) override;

private:
    TFileCOMM& port_;
};

} // namespace marevo
