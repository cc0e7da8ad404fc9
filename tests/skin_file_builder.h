#pragma once
// Builds skin files byte by byte for tests and benchmarks, including malformed ones: any header
// length, magic, offsets and blocks.

#include "skin/skin.h"

#include <QByteArray>
#include <QImage>
#include <cstdint>
#include <optional>

namespace mv::test {

// A picture file as it lies on disk ("PNG", "BMP", ...); empty when Qt can't write the format.
QByteArray EncodePicture(const QImage& image, const char* format);
// A picture of one colour, w x h pixels.
QByteArray SolidPicture(int width, int height, QRgb color, const char* format = "PNG");

struct SkinFileLayout {
    int headerLength = 248; // stored at byte 34 (its low byte)
    QByteArray magic = QByteArray("TEV:: Marovellastrine Skin\n\r", 29); // with its terminator
    SkinParameters parameters{};              // the first headerLength - 44 bytes are stored
    QByteArray face;                          // block 0
    QByteArray background;                    // block 1; empty = absent
    std::optional<uint32_t> faceOffset;       // default: right after the offset table
    std::optional<uint32_t> backgroundOffset; // default: right after the face, 0 when absent
    QByteArray trailing;                      // bytes after the last block
};

// Preamble, parameter bytes, offset table, face, background, trailing bytes, in that order.
QByteArray BuildSkinFile(const SkinFileLayout& layout);

} // namespace mv::test
