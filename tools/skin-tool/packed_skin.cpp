#include "tools/skin-tool/packed_skin.h"

#include <cstring>
#include <span>

namespace mv {

namespace {

std::span<const uint8_t> BytesOf(const QByteArray& bytes) {
    return {reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())};
}

uint32_t ReadU32(const QByteArray& file, qsizetype at) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | uint8_t(file[at + i]);
    return value;
}

} // namespace

QByteArray BuildSkinFile(const PackedSkin& skin) {
    SkinFileContents contents;
    contents.parameters = skin.parameters;
    contents.faceBytes = BytesOf(skin.face);
    contents.hasBackground = skin.hasBackground;
    contents.backgroundBytes = BytesOf(skin.background);
    contents.headerLength = skin.headerLength;
    contents.uninterpreted = skin.uninterpreted;
    return WriteSkinBytes(contents);
}

bool SplitSkinFile(const QByteArray& file, PackedSkin& skin, QString& error) {
    const qsizetype size = file.size();
    if (size < kSkinPreambleLength) {
        error = QStringLiteral("the file has %1 bytes, fewer than the %2-byte preamble")
                    .arg(size)
                    .arg(kSkinPreambleLength);
        return false;
    }
    if (std::memcmp(file.constData(), kSkinMagic, kSkinMagicLength + 1) != 0) {
        error = QStringLiteral("not a skin file: bytes 0 to 28 are not the skin magic");
        return false;
    }
    const int headerLength = uint8_t(file[kSkinHeaderLengthOffset]);
    if (headerLength > kSkinHeaderMax) {
        error = QStringLiteral("header length %1 is above %2, the end of the parameter block")
                    .arg(headerLength)
                    .arg(kSkinHeaderMax);
        return false;
    }
    if (headerLength < kSkinPreambleLength) {
        error = QStringLiteral("header length %1 lies inside the %2-byte preamble")
                    .arg(headerLength)
                    .arg(kSkinPreambleLength);
        return false;
    }
    const qsizetype tableEnd = headerLength + 8;
    if (size < tableEnd) {
        error =
            QStringLiteral("the file ends inside the image offset table at %1").arg(headerLength);
        return false;
    }
    const uint32_t faceOffset = ReadU32(file, headerLength);
    const uint32_t backgroundOffset = ReadU32(file, headerLength + 4);
    if (faceOffset == 0) {
        error = QStringLiteral("the face image block is absent (offset 0)");
        return false;
    }
    if (faceOffset != tableEnd) {
        error = QStringLiteral("the face image block starts at %1, not right after the offset "
                               "table at %2; packing can't reproduce that layout")
                    .arg(faceOffset)
                    .arg(tableEnd);
        return false;
    }
    if (backgroundOffset != 0 && (backgroundOffset < faceOffset || backgroundOffset > size)) {
        error = QStringLiteral("the background image block's offset %1 lies outside %2 to %3")
                    .arg(backgroundOffset)
                    .arg(faceOffset)
                    .arg(size);
        return false;
    }

    skin = PackedSkin{};
    skin.headerLength = headerLength;
    for (int i = 0; i < kSkinUninterpretedLength; ++i)
        skin.uninterpreted[i] = uint8_t(file[UninterpretedByteOffset(i)]);
    std::memcpy(&skin.parameters, file.constData() + kSkinPreambleLength,
                size_t(headerLength - kSkinPreambleLength));
    const qsizetype faceEnd = backgroundOffset != 0 ? qsizetype(backgroundOffset) : size;
    skin.face = file.mid(faceOffset, faceEnd - faceOffset);
    skin.hasBackground = backgroundOffset != 0;
    if (skin.hasBackground)
        skin.background = file.mid(backgroundOffset);
    return true;
}

} // namespace mv
