#pragma once
// The image-file decoder: a complete picture file, its format recognised from its content, decoded
// under an allocation limit so that a hostile picture cannot exhaust memory.

#include <QImage>
#include <cstdint>

class QIODevice;

namespace mv {

// The most memory one decoded picture may take.
constexpr int kImageAllocationLimitMb = 64;
// The longest side of a picture that is decoded; several times any screen the clock runs on.
constexpr int32_t kMaxPictureSide = 8192;

// Decodes the picture that starts at the device's current position. Null when the content is not
// a PNG, BMP, JPEG, GIF or ICO file, doesn't decode, would need more than the memory limit, or has
// a side longer than kMaxPictureSide.
QImage DecodeImage(QIODevice& device);

// The same for an open file descriptor, read from its start; the descriptor stays open.
QImage DecodeImageFromDescriptor(int fd);

} // namespace mv
