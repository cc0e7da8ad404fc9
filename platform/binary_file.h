#pragma once
// A file opened for binary reading, with 64-bit sizes and positions and reads that either fill the
// whole buffer or fail.

#include <QString>
#include <cstdint>
#include <span>

namespace mv {

class BinaryFile {
public:
    BinaryFile() = default;
    ~BinaryFile();
    BinaryFile(const BinaryFile&) = delete;
    BinaryFile& operator=(const BinaryFile&) = delete;

    // Opens a regular file for reading; anything else (a folder, a pipe, a device) fails without
    // blocking.
    bool Open(const QString& path);
    bool IsOpen() const { return fd_ >= 0; }
    // The file's size in bytes; -1 when it can't be read.
    int64_t Size() const;
    bool Seek(int64_t offset);
    // Reads exactly buffer.size() bytes; false on a short read or an error.
    bool ReadExact(std::span<uint8_t> buffer);

private:
    int fd_ = -1;
};

} // namespace mv
