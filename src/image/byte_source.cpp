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

FileByteSource::FileByteSource(std::FILE* file) : file_(file) {
    struct stat info {};
    if (file != nullptr && fstat(fileno(file), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
        size_ = static_cast<std::uint64_t>(info.st_size);
    }
}

bool FileByteSource::read(void* buffer, std::size_t count) {
    if (count > remaining()) return false;
    const std::size_t got = std::fread(buffer, 1, count, file_);
    position_ += got;
    return got == count;
}

}  // namespace ternwick
