#include "probelink/FrameFormat.h"

#include "foundation/Guard.h"
#include "foundation/Stream.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace marevo {

TFrameFormat FrameFormatOfProtocol(int protocol) {
    switch (protocol) {
    case 5: return TFrameFormat::DF5;
    case 0:
    case 6: return TFrameFormat::DF6;
    case 7: return TFrameFormat::DF7;
    default: return TFrameFormat::None;
    }
}

int FrameHeadSize(TFrameFormat format) {
    switch (format) {
    case TFrameFormat::DF5:
    case TFrameFormat::DF6: return 6;
    case TFrameFormat::DF7: return 8;
    default: return 0;
    }
}

int FrameCheckSize(TFrameFormat format) {
    switch (format) {
    case TFrameFormat::DF5: return 1;
    case TFrameFormat::DF6:
    case TFrameFormat::DF7: return 2;
    default: return 0;
    }
}

std::uint8_t FrameChecksum8(std::span<const std::uint8_t> bytes) {
    std::uint8_t x = 0;
    bool allZero = true;
    for (std::uint8_t b : bytes) {
        x ^= b;
        allZero = allZero && b == 0;
    }
    return allZero ? 0xFF : x;
}

namespace {
constexpr std::array<std::uint16_t, 256> MakeCrcTable() {
    std::array<std::uint16_t, 256> table{};
    for (int i = 0; i < 256; ++i) {
        std::uint16_t crc = static_cast<std::uint16_t>(i << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<std::uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
        table[static_cast<std::size_t>(i)] = crc;
    }
    return table;
}
constexpr auto CrcTable = MakeCrcTable();
} // namespace

std::uint16_t FrameCrc16(std::span<const std::uint8_t> bytes) {
    std::uint16_t crc = 0;
    for (std::uint8_t b : bytes)
        crc = static_cast<std::uint16_t>(CrcTable[((crc >> 8) ^ b) & 0xFF] ^ (crc << 8));
    return crc;
}

bool FrameCheckOK(TFrameFormat format, std::span<const std::uint8_t> frame) {
    const std::size_t n = frame.size();
    switch (format) {
    case TFrameFormat::DF5: return n >= 2 && frame[n - 1] == FrameChecksum8(frame.first(n - 1));
    case TFrameFormat::DF6:
    case TFrameFormat::DF7:
        // The CRC of zeros is zero: a line that delivers only zero bytes (an adapter that lost
        // its probe) would otherwise give frames of nothing, which a probe never sends.
        return n >= 3 && frame[n - 1] * 256 + frame[n - 2] == FrameCrc16(frame.first(n - 2)) &&
               std::any_of(frame.begin(), frame.end(), [](std::uint8_t b) { return b != 0; });
    default: return true;
    }
}

std::uint16_t FrameCounter(TFrameFormat format, std::span<const std::uint8_t> frame) {
    if (frame.empty())
        return 0;
    if (format == TFrameFormat::DF7)
        return frame.size() < 2 ? 0 : static_cast<std::uint16_t>((frame[0] & 0x07) * 256 + frame[1]);
    return frame[0] & 0x7F;
}

bool MemorySetOK(TFrameFormat format, std::span<const std::uint8_t> set, bool anyCounter,
                 std::uint16_t lastCounter) {
    if (format == TFrameFormat::None || !FrameCheckOK(format, set))
        return false;
    const std::uint16_t mask = format == TFrameFormat::DF7 ? 0x7FF : 0x7F;
    return anyCounter || FrameCounter(format, set) == ((lastCounter + 1) & mask);
}

std::vector<std::uint8_t> EncodeFrame(TFrameFormat format, const TFrameHead& head,
                                      std::span<const std::uint8_t> channels, int frameSize) {
    std::vector<std::uint8_t> f(static_cast<std::size_t>(std::max(frameSize, 0)), 0);
    const int headSize = FrameHeadSize(format);
    const int checkSize = FrameCheckSize(format);
    if (frameSize < headSize + checkSize)
        return f;
    const std::uint8_t coarse = head.coarseTime ? 0x80 : 0x00;
    if (format == TFrameFormat::DF7) {
        f[0] = static_cast<std::uint8_t>(coarse | ((head.bottleStatus & 0x07) << 4) |
                                         ((head.counter >> 8) & 0x07));
        f[1] = static_cast<std::uint8_t>(head.counter & 0xFF);
        for (int i = 0; i < 5; ++i)
            f[2 + i] = static_cast<std::uint8_t>(head.timeCount >> (8 * i));
        f[7] = head.bottleNumber;
    } else if (format != TFrameFormat::None) {
        f[0] = static_cast<std::uint8_t>(coarse | (head.counter & 0x7F));
        for (int i = 0; i < 4; ++i)
            f[1 + i] = static_cast<std::uint8_t>(head.timeCount >> (8 * i));
        f[5] = static_cast<std::uint8_t>((head.bottleNumber & 0x1F) | (head.bottleStatus << 5));
    }
    const std::size_t room = static_cast<std::size_t>(frameSize - headSize - checkSize);
    std::copy_n(channels.begin(), std::min(room, channels.size()), f.begin() + headSize);
    const std::size_t n = f.size();
    if (format == TFrameFormat::DF5) {
        f[n - 1] = FrameChecksum8(std::span(f).first(n - 1));
    } else if (format == TFrameFormat::DF6 || format == TFrameFormat::DF7) {
        const std::uint16_t crc = FrameCrc16(std::span(f).first(n - 2));
        f[n - 2] = static_cast<std::uint8_t>(crc & 0xFF);
        f[n - 1] = static_cast<std::uint8_t>(crc >> 8);
    }
    return f;
}

int ChannelSize(TParaConv conv) {
    switch (conv) {
    case ParaConvByte: return 1;
    case ParaConvWord: return 2;
    case ParaConvByte3: return 3;
    case ParaConvSingle: return 4;
    default: return 0;
    }
}

int EncodeChannel(TParaConv conv, double value, std::uint8_t* at) {
    auto integer = [&](double v, double lo, double hi) {
        return static_cast<long long>(std::clamp(std::round(std::isfinite(v) ? v : 0.0), lo, hi));
    };
    switch (conv) {
    case ParaConvByte: at[0] = static_cast<std::uint8_t>(integer(value, 0, 255)); return 1;
    case ParaConvWord: {
        const auto w = integer(value, 0, 65535);
        at[0] = static_cast<std::uint8_t>(w & 0xFF);
        at[1] = static_cast<std::uint8_t>(w >> 8);
        return 2;
    }
    case ParaConvByte3: {
        const auto v = integer(value * 10.0, -8388608.0, 8388607.0) & 0xFFFFFF;
        for (int i = 0; i < 3; ++i)
            at[i] = static_cast<std::uint8_t>(v >> (8 * i));
        return 3;
    }
    case ParaConvSingle: {
        const float f = static_cast<float>(value);
        std::memcpy(at, &f, sizeof f);
        return 4;
    }
    default: return 0;
    }
}

} // namespace marevo

namespace marevo {

TSingleFrameWriter::TSingleFrameWriter(TStream& out, TFrameFormat format, int frameSize)
    : out_(out), format_(format), frameSize_(frameSize),
      channels_(static_cast<std::size_t>(std::max(frameSize, 0))) {}

void TSingleFrameWriter::Write(const TFrameHead& head, std::span<const double> values) {
    std::fill(channels_.begin(), channels_.end(), std::uint8_t{0});
    std::size_t at = 0;
    for (double v : values) {
        if (at + 4 > channels_.size())
            break;
        at += static_cast<std::size_t>(EncodeChannel(ParaConvSingle, v, channels_.data() + at));
    }
    const auto frame = EncodeFrame(format_, head, channels_, frameSize_);
    pending_.insert(pending_.end(), frame.begin(), frame.end());
    if (pending_.size() >= (1u << 16))
        Flush();
}

void TSingleFrameWriter::Flush() {
    const std::size_t n = pending_.size();
    const std::size_t written = n > 0 ? out_.Write(pending_.data(), n) : 0;
    pending_.clear();
    if (written != n)
        Raise("frame write error");
}

TSingleFrameWriter::~TSingleFrameWriter() {
    try {
        Flush();
    } catch (...) {
    }
}

} // namespace marevo
