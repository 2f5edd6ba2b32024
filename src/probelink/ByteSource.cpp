#include "probelink/ByteSource.h"

namespace marevo {

int TStreamByteSource::Read(std::uint8_t* buffer, int count) {
    return count > 0 ? static_cast<int>(stream_.Read(buffer, static_cast<std::size_t>(count))) : 0;
}

int TPortByteSource::Read(std::uint8_t* buffer, int count) {
    return count > 0 ? static_cast<int>(port_.Read(buffer, static_cast<std::size_t>(count))) : 0;
}

} // namespace marevo
