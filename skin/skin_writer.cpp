#include "skin/skin_writer.h"

#include "skin/skin_loader.h"

#include <cstring>
#include <limits>

namespace mv {

namespace {

void AppendU32(QByteArray& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        out.append(char((value >> shift) & 0xFF));
}

void AppendBytes(QByteArray& out, std::span<const uint8_t> bytes) {
    out.append(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

} // namespace

QByteArray WriteSkinBytes(const SkinFileContents& contents) {
    const int headerLength = contents.headerLength;
    if (headerLength < kSkinPreambleLength || headerLength > kSkinHeaderMax)
        return {};
    const uint64_t faceOffset = uint64_t(headerLength) + 8;
    const uint64_t backgroundOffset = faceOffset + contents.faceBytes.size();
    const uint64_t fileSize =
        backgroundOffset + (contents.hasBackground ? contents.backgroundBytes.size() : 0);
    if (fileSize > std::numeric_limits<uint32_t>::max())
        return {};

    QByteArray out(kSkinPreambleLength, '\0');
    std::memcpy(out.data(), kSkinMagic, kSkinMagicLength); // byte 28 stays NUL
    for (int i = 0; i < kSkinUninterpretedLength; ++i)
        out[UninterpretedByteOffset(i)] = char(contents.uninterpreted[i]);
    out[kSkinHeaderLengthOffset] = char(headerLength);

    // The block's in-memory layout is the file layout (little-endian, no padding).
    const auto* block = reinterpret_cast<const char*>(&contents.parameters);
    out.append(block, headerLength - kSkinPreambleLength);

    AppendU32(out, uint32_t(faceOffset));
    AppendU32(out, contents.hasBackground ? uint32_t(backgroundOffset) : 0);
    AppendBytes(out, contents.faceBytes);
    if (contents.hasBackground)
        AppendBytes(out, contents.backgroundBytes);
    return out;
}

} // namespace mv
