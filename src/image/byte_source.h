// Sequential input of a picture file's bytes, from an open file or from memory,
// so that both loaders run the same checks whatever the bytes come from.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "core/failure.h"

namespace ternwick {

// Opens a picture file for reading: only a regular file is opened, and the
// check is made on the open descriptor before anything is read, so that a
// FIFO, socket, device or directory is refused at once instead of blocking.
// Null, with the error set, when the file cannot be opened.
std::FILE* openPictureFile(const std::string& path, Failure& error);

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Reads exactly count bytes; false (with an unspecified part read) when fewer are left.
    virtual bool read(void* buffer, std::size_t count) = 0;
    // Bytes left from the current position.
    virtual std::uint64_t remaining() const = 0;
};

class MemoryByteSource final : public ByteSource {
public:
    MemoryByteSource(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool read(void* buffer, std::size_t count) override;
    std::uint64_t remaining() const override { return size_ - position_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t position_ = 0;
};

// Reads from a file opened by the caller; remaining() uses the file's size at
// the time the source was made.
class FileByteSource final : public ByteSource {
public:
    explicit FileByteSource(std::FILE* file);
    bool read(void* buffer, std::size_t count) override;
    std::uint64_t remaining() const override { return size_ > position_ ? size_ - position_ : 0; }

private:
    std::FILE* file_;
    std::uint64_t size_ = 0;
    std::uint64_t position_ = 0;
};

}  // namespace ternwick
