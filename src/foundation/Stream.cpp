#include "foundation/Stream.h"

#include "foundation/Guard.h"
#include "foundation/SafeFiles.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace marevo {

// ---- TMemoryStream ----------------------------------------------------------------------------

std::size_t TMemoryStream::Read(void* buffer, std::size_t count) {
    const std::size_t n = pos_ < bytes_.size() ? std::min(count, bytes_.size() - pos_) : 0;
    if (n > 0)
        std::memcpy(buffer, bytes_.data() + pos_, n);
    pos_ += n;
    return n;
}

std::size_t TMemoryStream::Write(const void* buffer, std::size_t count) {
    const std::size_t n = pos_ < limit_ ? std::min(count, limit_ - pos_) : 0;
    if (n == 0)
        return 0;
    if (pos_ + n > bytes_.size())
        bytes_.resize(pos_ + n);
    std::memcpy(bytes_.data() + pos_, buffer, n);
    pos_ += n;
    return n;
}

void TMemoryStream::Seek(std::int64_t position) {
    if (position < 0)
        Raise("Seek before the start of a memory stream");
    pos_ = static_cast<std::size_t>(position);
}

// ---- TFileStream ------------------------------------------------------------------------------

TFileStream::TFileStream(const std::filesystem::path& fileName, TFileMode mode)
    : fileName_(fileName) {
    int flags = O_CLOEXEC;
    switch (mode) {
    case TFileMode::Create: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
    case TFileMode::OpenRead: flags |= O_RDONLY; break;
    case TFileMode::OpenReadWrite: flags |= O_RDWR; break;
    case TFileMode::CreateNew: flags |= O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW; break;
    }
    fd_ = ::open(fileName.c_str(), flags, 0644);
    if (fd_ < 0)
        Raise("Cannot open file " + fileName.string() + ": " + std::strerror(errno));
    readOnly_ = mode == TFileMode::OpenRead;
}

namespace {
constexpr std::size_t ReadBufferSize = 1 << 16;

// Reads up to count bytes at offset; the number read (0 at the end or on failure).
std::size_t ReadAt(int fd, char* p, std::size_t count, std::int64_t offset) {
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::pread(fd, p + done, count - done, offset + std::int64_t(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}
} // namespace

TFileStream::~TFileStream() {
    if (fd_ >= 0)
        ::close(fd_);
}

std::size_t TFileStream::Read(void* buffer, std::size_t count) {
    auto* p = static_cast<char*>(buffer);
    std::size_t done = 0;
    if (readOnly_) {
        while (done < count) {
            const std::int64_t offset = position_ - bufferStart_;
            if (offset >= 0 && offset < std::int64_t(bufferLength_)) {
                const std::size_t n =
                    std::min(count - done, bufferLength_ - static_cast<std::size_t>(offset));
                std::memcpy(p + done, buffer_.data() + offset, n);
                done += n;
                position_ += std::int64_t(n);
                continue;
            }
            if (count - done >= ReadBufferSize) { // large reads go straight to the caller
                const std::size_t n = ReadAt(fd_, p + done, count - done, position_);
                done += n;
                position_ += std::int64_t(n);
                break;
            }
            buffer_.resize(ReadBufferSize);
            bufferStart_ = position_;
            bufferLength_ = ReadAt(fd_, buffer_.data(), ReadBufferSize, position_);
            if (bufferLength_ == 0)
                break;
        }
        return done;
    }
    while (done < count) {
        const ssize_t n = ::read(fd_, p + done, count - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

std::size_t TFileStream::Write(const void* buffer, std::size_t count) {
    const auto* p = static_cast<const char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(fd_, p + done, count - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

std::int64_t TFileStream::Position() const {
    return readOnly_ ? position_ : ::lseek(fd_, 0, SEEK_CUR);
}

void TFileStream::Seek(std::int64_t position) {
    if (readOnly_) {
        if (position < 0)
            Raise("Cannot seek in " + fileName_.string() + ": " + std::strerror(EINVAL));
        position_ = position;
        return;
    }
    if (::lseek(fd_, position, SEEK_SET) < 0)
        Raise("Cannot seek in " + fileName_.string() + ": " + std::strerror(errno));
}

std::int64_t TFileStream::Size() const {
    if (readOnly_ && sizeSeen_ >= 0 && position_ < sizeSeen_)
        return sizeSeen_;
    struct stat st {};
    if (readOnly_)
        return sizeSeen_ = ::fstat(fd_, &st) == 0 ? st.st_size : -1;
    return ::fstat(fd_, &st) == 0 ? st.st_size : -1;
}

void TFileStream::Sync() {
    if (::fsync(fd_) != 0)
        Raise("Cannot write " + fileName_.string() + " to disk: " + std::strerror(errno));
}

void TFileStream::DataSync() {
    if (::fdatasync(fd_) != 0)
        Raise("Cannot write " + fileName_.string() + " to disk: " + std::strerror(errno));
}

bool TFileStream::IsFileAt(const std::filesystem::path& name) const {
    struct stat open {}, named {};
    return ::fstat(fd_, &open) == 0 && ::stat(name.c_str(), &named) == 0 &&
           open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

void WriteFileAtomically(const std::filesystem::path& fileName,
                         const std::function<void(TStream&)>& write) {
    const std::filesystem::path temporary = UniqueTemporaryName(fileName);
    try {
        {
            TFileStream out(temporary, TFileMode::CreateNew);
            StopPoint("write.created");
            write(out);
            StopPoint("write.written");
            out.Sync();
        }
        // The rename replaces the name itself: a link found there is replaced, not followed.
        std::filesystem::rename(temporary, fileName);
        SyncFolder(fileName.parent_path());
        StopPoint("write.renamed");
    } catch (...) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        throw;
    }
}

// ---- Record reader and writer -----------------------------------------------------------------

void TRecordWriter::PutBytes(const void* data, std::size_t count, std::string_view field) {
    if (stream_.Write(data, count) != count)
        Raise(failText_ + std::string(field));
}

void TRecordReader::GetBytes(void* data, std::size_t count, std::string_view field) {
    if (stream_.Read(data, count) != count)
        Raise(failText_ + std::string(field));
}

} // namespace marevo
