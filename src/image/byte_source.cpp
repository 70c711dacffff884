#include "image/byte_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace ternwick {

bool MemoryByteSource::read(void* buffer, std::size_t count) {
    if (count > size_ - position_) return false;
    if (count > 0) std::memcpy(buffer, data_ + position_, count);
    position_ += count;
    return true;
}

std::FILE* openPictureFile(const std::string& path, Failure& error) {
    // Non-blocking, so that opening a FIFO without a writer returns at once.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        const int saved = errno;
        if (saved == ENOENT || saved == ENOTDIR) {
            error = failure(FailureKind::FileNotFound);
        } else if (saved == EACCES || saved == EPERM) {
            error = failure(FailureKind::PermissionDenied);
        } else if (saved == EISDIR) {
            error = failure(FailureKind::NotARegularFile, "is a directory");
        } else {
            error = failure(FailureKind::ReadFailed, std::string("cannot open: ") + std::strerror(saved));
        }
        return nullptr;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        const bool directory = S_ISDIR(info.st_mode);
        ::close(fd);
        error = failure(FailureKind::NotARegularFile, directory ? "is a directory" : "not a regular file");
        return nullptr;
    }
    // Reads of a regular file never block; the descriptor goes back to blocking mode anyway.
    const int flags = fcntl(fd, F_GETFL);
    if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    std::FILE* file = fdopen(fd, "rb");
    if (file == nullptr) {
        ::close(fd);
        error = failure(FailureKind::OutOfMemory);
    }
    return file;
}

// The size of an open regular file; false for anything else (a pipe, a
// device) or when the system cannot tell.
static bool regularFileSize(std::FILE* file, std::uint64_t& size) {
    struct stat info {};
    if (file == nullptr || fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0) return false;
    size = static_cast<std::uint64_t>(info.st_size);
    return true;
}

FileByteSource::FileByteSource(std::FILE* file) : file_(file) {
    if (!regularFileSize(file, size_)) size_ = 0;
}

bool FileByteSource::read(void* buffer, std::size_t count) {
    if (count > remaining()) return false;
    const std::size_t got = std::fread(buffer, 1, count, file_);
    position_ += got;
    return got == count;
}

}  // namespace ternwick
