#include "image/byte_source.h"

#include <cstring>
#include <sys/stat.h>

namespace ternwick {

bool MemoryByteSource::read(void* buffer, std::size_t count) {
    if (count > size_ - position_) return false;
    if (count > 0) std::memcpy(buffer, data_ + position_, count);
    position_ += count;
    return true;
}

bool regularFileSize(std::FILE* file, std::uint64_t& size) {
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
