#pragma once
// Binary streams for stored files, and the record reader and writer that name the field that
// could not be read or written in full.

#include "foundation/Record.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace marevo {

class TStream {
public:
    virtual ~TStream() = default;
    // Return the number of bytes transferred; fewer than asked at the end of the data or on an
    // error.
    virtual std::size_t Read(void* buffer, std::size_t count) = 0;
    virtual std::size_t Write(const void* buffer, std::size_t count) = 0;
    virtual std::int64_t Position() const = 0;
    virtual void Seek(std::int64_t position) = 0; // from the start; raises when impossible
    virtual std::int64_t Size() const = 0;
};

class TMemoryStream final : public TStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

    std::size_t Read(void* buffer, std::size_t count) override;
    std::size_t Write(const void* buffer, std::size_t count) override;
    std::int64_t Position() const override { return static_cast<std::int64_t>(pos_); }
    void Seek(std::int64_t position) override;
    std::int64_t Size() const override { return static_cast<std::int64_t>(bytes_.size()); }

    const std::vector<std::uint8_t>& Bytes() const { return bytes_; }
    // Writes past this many bytes fail, as on a full disk.
    void SetCapacityLimit(std::size_t limit) { limit_ = limit; }

private:
    std::vector<std::uint8_t> bytes_;
    std::size_t pos_ = 0;
    std::size_t limit_ = SIZE_MAX;
};

enum class TFileMode {
    Create,        // new or emptied, read and write
    OpenRead,      // existing, read only
    OpenReadWrite, // existing, read and write
    CreateNew,     // a new file, read and write: refused when the name exists (even as a link)
};

class TFileStream final : public TStream {
public:
    // Raises EMarevoError naming the file and the reason when it cannot be opened.
    TFileStream(const std::filesystem::path& fileName, TFileMode mode);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    std::size_t Read(void* buffer, std::size_t count) override;
    std::size_t Write(const void* buffer, std::size_t count) override;
    std::int64_t Position() const override;
    void Seek(std::int64_t position) override;
    std::int64_t Size() const override;

    // Forces the written bytes to the disk (raises on failure).
    void Sync();
    // The written data only (fdatasync): enough for an appended recording (raises on failure).
    void DataSync();
    // Whether the open file is still the one that name leads to (it has not been replaced).
    bool IsFileAt(const std::filesystem::path& name) const;
    const std::filesystem::path& FileName() const { return fileName_; }

private:
    int fd_ = -1;
    std::filesystem::path fileName_;
    // A file opened for reading only is read through a buffer at a position kept here, so that
    // reading a long file a frame at a time costs no system call per frame. Its size is asked of
    // the system again only once the position reaches the size last seen (a file that grows is
    // still followed).
    bool readOnly_ = false;
    std::vector<char> buffer_;
    std::int64_t bufferStart_ = 0;
    std::size_t bufferLength_ = 0;
    std::int64_t position_ = 0;
    mutable std::int64_t sizeSeen_ = -1;
};

// Replaces fileName with what `write` puts into a stream, so that a crash or a full disk never
// leaves a half-written file: the bytes go to a temporary file beside it, reach the disk, and only
// then take the file's name. On failure the old file is untouched and the failure is raised again.
void WriteFileAtomically(const std::filesystem::path& fileName,
                         const std::function<void(TStream&)>& write);

// Writes fields as their little-endian byte images. A field written short raises
// EMarevoError(failText + field name), e.g. "TFlaggedArray.WriteArray: write error - MaxIndice".
class TRecordWriter {
public:
    TRecordWriter(TStream& stream, std::string_view failText)
        : stream_(stream), failText_(failText) {}

    template <class T>
    void Put(const T& value, std::string_view field) {
        static_assert(std::is_trivially_copyable_v<T>);
        PutBytes(&value, sizeof(T), field);
    }
    void PutBytes(const void* data, std::size_t count, std::string_view field);

private:
    TStream& stream_;
    std::string failText_;
};

// Reads fields as their little-endian byte images. A field read short raises
// EMarevoError(failText + field name), e.g. "TFlaggedArray.ReadArray: read error - PVA".
class TRecordReader {
public:
    TRecordReader(TStream& stream, std::string_view failText)
        : stream_(stream), failText_(failText) {}

    template <class T>
    T Get(std::string_view field) {
        static_assert(std::is_trivially_copyable_v<T>);
        T value;
        GetBytes(&value, sizeof(T), field);
        return value;
    }
    template <class T>
    void Get(T& value, std::string_view field) {
        value = Get<T>(field);
    }
    void GetBytes(void* data, std::size_t count, std::string_view field);

private:
    TStream& stream_;
    std::string failText_;
};

} // namespace marevo
