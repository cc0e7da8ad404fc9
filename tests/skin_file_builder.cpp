#include "skin_file_builder.h"

#include <QBuffer>
#include <algorithm>

namespace mv::test {

namespace {

constexpr int kPreamble = 44;
constexpr int kHeaderLengthByte = 34;

void AppendU32(QByteArray& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        out.append(char((value >> shift) & 0xFF));
}

} // namespace

QByteArray EncodePicture(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, format))
        return {};
    return bytes;
}

QByteArray SolidPicture(int width, int height, QRgb color, const char* format) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    return EncodePicture(image, format);
}

QByteArray BuildSkinFile(const SkinFileLayout& layout) {
    QByteArray out(kPreamble, '\0');
    std::copy_n(layout.magic.constData(), std::min<qsizetype>(layout.magic.size(), kPreamble),
                out.data());
    out[kHeaderLengthByte] = char(layout.headerLength & 0xFF);

    const int parameterBytes = std::max(layout.headerLength - kPreamble, 0);
    const QByteArray block(reinterpret_cast<const char*>(&layout.parameters),
                           sizeof(SkinParameters));
    out.append(block.left(parameterBytes));
    if (parameterBytes > block.size())
        out.append(QByteArray(parameterBytes - block.size(), '\0'));

    const uint32_t tableEnd = uint32_t(out.size()) + 8;
    const uint32_t faceOffset = layout.faceOffset.value_or(tableEnd);
    const uint32_t defaultBackground =
        layout.background.isEmpty() ? 0 : tableEnd + uint32_t(layout.face.size());
    AppendU32(out, faceOffset);
    AppendU32(out, layout.backgroundOffset.value_or(defaultBackground));
    out.append(layout.face);
    out.append(layout.background);
    out.append(layout.trailing);
    return out;
}

} // namespace mv::test
