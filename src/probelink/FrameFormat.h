#pragma once
// The probe's data frames DF5, DF6 and DF7: check fields and the encoder that builds frames (used
// by the tests and by the simulated probe). Pure functions of bytes.
//
// DF5/DF6: byte 0 = time resolution flag (bit 7: 1 = 0.01 s per count, 0 = 0.001 s) and the 7-bit
// frame counter; bytes 1-4 = time counter (uint32 LE); byte 5 = bottle number (bits 0-4) and
// status (bits 5-7); channel data; DF5 ends with an 8-bit checksum, DF6 with a CRC-16 (low byte
// first).
// DF7: byte 0 = resolution flag (bit 7), bottle status (bits 4-6), high 3 bits of the 11-bit
// counter (bits 0-2); byte 1 = low 8 bits of the counter; bytes 2-6 = 40-bit time counter (LE);
// byte 7 = bottle number; channel data; CRC-16 (low byte first).

#include "parameters/ParaRecords.h"

#include <cstdint>
#include <span>
#include <vector>

namespace marevo {

class TStream;

enum class TFrameFormat { None, DF5, DF6, DF7 };

// The data format of a probe protocol number: 5 DF5, 6 and 0 DF6, 7 DF7, anything else none
// (every frame is accepted).
TFrameFormat FrameFormatOfProtocol(int protocol);

// Channel data starts here in a frame of the format.
int FrameHeadSize(TFrameFormat format);
// Bytes taken by the check field at the end of a frame.
int FrameCheckSize(TFrameFormat format);

// XOR of the bytes; 0xFF when every byte is zero, so that an all-zero frame never passes.
std::uint8_t FrameChecksum8(std::span<const std::uint8_t> bytes);
// CRC-16/XMODEM: polynomial 0x1021, MSB first, initial 0, no reflection, no final XOR.
std::uint16_t FrameCrc16(std::span<const std::uint8_t> bytes);

// Whether the check field at the end of the frame matches its bytes; a frame of zero bytes never
// passes (its CRC-16 would be zero).
bool FrameCheckOK(TFrameFormat format, std::span<const std::uint8_t> frame);

// The sequence counter of a frame: 7 bits (DF5, DF6) or 11 bits (DF7).
std::uint16_t FrameCounter(TFrameFormat format, std::span<const std::uint8_t> frame);

// A data set read from the probe's memory: its check field holds and, unless anyCounter (the
// first set after the transmission (re)started), its counter is the one after lastCounter. A
// flipped, lost or extra byte fails one of the two, so a bad set is sent again instead of
// becoming a lost or shifted frame in the cast's raw file.
bool MemorySetOK(TFrameFormat format, std::span<const std::uint8_t> set, bool anyCounter,
                 std::uint16_t lastCounter);

struct TFrameHead {
    std::uint16_t counter = 0;     // 7-bit (DF5, DF6) or 11-bit (DF7) sequence number
    std::uint64_t timeCount = 0;   // 32-bit (DF5, DF6) or 40-bit (DF7) time counter
    bool coarseTime = false;       // 0.01 s per count instead of 0.001 s
    std::uint8_t bottleNumber = 0;
    std::uint8_t bottleStatus = 0; // TBottleStatus, 3 bits
};

// A whole frame of frameSize bytes: head, channel bytes (padded with zeros or cut to fit) and
// check field. Counter and time are cut to the widths of the format.
std::vector<std::uint8_t> EncodeFrame(TFrameFormat format, const TFrameHead& head,
                                      std::span<const std::uint8_t> channels, int frameSize);

// Bytes a channel of the conversion takes in a frame (0 for conversions that carry no channel).
int ChannelSize(TParaConv conv);

// Writes a channel value as the probe sends it, the inverse of the frame decoding: a byte, a
// little-endian word, a little-endian IEEE single, or a 24-bit two's-complement count of tenths.
// Integers are rounded and clamped to their range. Returns the bytes written.
int EncodeChannel(TParaConv conv, double value, std::uint8_t* at);

// Writes whole frames of one format whose channels are IEEE singles in order: how a probe that
// sends engineering values is recorded (the simulated casts, the tests and the benchmarks).
// Frames are collected and written in blocks; Flush (or the end of the writer) writes the rest.
class TSingleFrameWriter {
public:
    TSingleFrameWriter(TStream& out, TFrameFormat format, int frameSize);
    // Writes what is left; a failure there is only detected by an explicit Flush.
    ~TSingleFrameWriter();
    TSingleFrameWriter(const TSingleFrameWriter&) = delete;
    TSingleFrameWriter& operator=(const TSingleFrameWriter&) = delete;
    // One frame: head, the values as singles, padding and check field.
    void Write(const TFrameHead& head, std::span<const double> values);
    // Raises EMarevoError when the stream takes fewer bytes than it was given.
    void Flush();

private:
    TStream& out_;
    TFrameFormat format_;
    int frameSize_;
    std::vector<std::uint8_t> channels_;
    std::vector<std::uint8_t> pending_;
};

} // namespace marevo
