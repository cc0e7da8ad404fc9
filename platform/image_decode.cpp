#include "platform/image_decode.h"

#include <QFile>
#include <QImageReader>
#include <array>

namespace mv {

namespace {

constexpr std::array<const char*, 5> kAcceptedFormats = {"png", "bmp", "jpeg", "gif", "ico"};
constexpr int64_t kBytesPerDecodedPixel = 4;

bool IsAcceptedFormat(const QByteArray& format) {
    for (const char* accepted : kAcceptedFormats)
        if (format == accepted)
            return true;
    return false;
}

bool FitsSideLimit(const QSize& size) {
    return size.width() <= kMaxPictureSide && size.height() <= kMaxPictureSide;
}

} // namespace

QImage DecodeImage(QIODevice& device) {
    QImageReader reader(&device);
    reader.setDecideFormatFromContent(true);
    reader.setAllocationLimit(kImageAllocationLimitMb);
    if (!IsAcceptedFormat(reader.format()))
        return {};
    // Refuse a picture whose header already announces more than the limits, before any decoding.
    const QSize size = reader.size();
    if (size.isValid() &&
        (!FitsSideLimit(size) || int64_t(size.width()) * size.height() * kBytesPerDecodedPixel >
                                     int64_t(kImageAllocationLimitMb) * 1024 * 1024))
        return {};
    QImage image;
    if (!reader.read(&image) || !FitsSideLimit(image.size()))
        return {};
    return image;
}

QImage DecodeImageFromDescriptor(int fd) {
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle) || !file.seek(0))
        return {};
    return DecodeImage(file);
}

} // namespace mv
