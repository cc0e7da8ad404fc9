#include "skin/skin_loader.h"

#include "platform/binary_file.h"
#include "platform/folders.h"
#include "platform/image_decode.h"
#include "platform/private_temp_file.h"
#include "platform/wait_cursor.h"

#include <array>
#include <cstring>
#include <limits>
#include <new>
#include <string>

namespace mv {

namespace {

std::string& SkinError() {
    static std::string error;
    return error;
}

void SetSkinError(std::string reason) {
    SkinError() = std::move(reason);
}

enum class BlockStatus { Read, Absent, Empty, BeyondEnd, NoMemory, ShortRead };

const char* BlockProblem(BlockStatus status) {
    switch (status) {
    case BlockStatus::Read:
        return "read";
    case BlockStatus::Absent:
        return "absent";
    case BlockStatus::Empty:
        return "empty or out of order";
    case BlockStatus::BeyondEnd:
        return "runs past the end of the file";
    case BlockStatus::NoMemory:
        return "too large to hold";
    case BlockStatus::ShortRead:
        return "cannot be read";
    }
    return "invalid";
}

uint32_t ReadU32(std::span<const uint8_t, 4> bytes) {
    return uint32_t(bytes[0]) | (uint32_t(bytes[1]) << 8) | (uint32_t(bytes[2]) << 16) |
           (uint32_t(bytes[3]) << 24);
}

BlockStatus ReadBlock(BinaryFile& file, int64_t fileSize, std::span<const uint32_t, 2> offsets,
                      int index, std::unique_ptr<uint8_t[]>& buffer, uint32_t& length) {
    const int64_t start = offsets[index];
    if (start == 0)
        return BlockStatus::Absent;
    int64_t end = fileSize;
    for (int later = index + 1; later < int(offsets.size()); ++later) {
        if (offsets[later] != 0) {
            end = offsets[later];
            break;
        }
    }
    if (start > fileSize)
        return BlockStatus::BeyondEnd;
    const int64_t size = end - start;
    if (size <= 0)
        return BlockStatus::Empty;
    if (end > fileSize)
        return BlockStatus::BeyondEnd;
    if (size > std::numeric_limits<uint32_t>::max())
        return BlockStatus::NoMemory;
    if (!file.Seek(start))
        return BlockStatus::ShortRead;
    std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[size_t(size)]);
    if (bytes == nullptr)
        return BlockStatus::NoMemory;
    if (!file.ReadExact({bytes.get(), size_t(size)}))
        return BlockStatus::ShortRead;
    buffer = std::move(bytes);
    length = uint32_t(size);
    return BlockStatus::Read;
}

void FreeRawData(SkinImage& image) {
    image.rawData.reset();
    image.rawSize = 0;
}

// Decodes the image's rawData through the temporary file, then frees the bytes.
bool DecodeRawData(SkinImage& image, PrivateTempFile& temp) {
    const bool written = temp.Replace({image.rawData.get(), image.rawSize});
    FreeRawData(image);
    if (!written)
        return false;
    image.bitmap = DecodeImageFromDescriptor(temp.Descriptor());
    return !image.bitmap.isNull();
}

} // namespace

const char* LastSkinError() {
    return SkinError().c_str();
}

bool ReadImageBlock(BinaryFile& file, int64_t fileSize, std::span<const uint32_t, 2> offsets,
                    int index, std::unique_ptr<uint8_t[]>& buffer, uint32_t& length) {
    return ReadBlock(file, fileSize, offsets, index, buffer, length) == BlockStatus::Read;
}

bool ReadSkinFile(const QString& path, Skin& skin, HandRenderer& renderer, bool shadowSetting) {
    BinaryFile file;
    if (!file.Open(path)) {
        SetSkinError("cannot open the file");
        return false;
    }
    const int64_t fileSize = file.Size();

    std::array<uint8_t, kSkinHeaderMax> header{};
    if (fileSize < 0 || !file.ReadExact(std::span(header).first(kSkinPreambleLength))) {
        SetSkinError("file shorter than the 44-byte preamble");
        return false;
    }
    // The magic is compared as a NUL-terminated string: its terminator at byte 28 must match too.
    if (std::memcmp(header.data(), kSkinMagic, sizeof(kSkinMagic)) != 0) {
        SetSkinError("bad magic");
        return false;
    }
    const int headerLength = header[kSkinHeaderLengthOffset];
    if (headerLength < kSkinHeaderMin || headerLength > kSkinHeaderMax) {
        SetSkinError("header length " + std::to_string(headerLength) + " out of range");
        return false;
    }
    if (!file.ReadExact(
            std::span(header).subspan(kSkinPreambleLength, headerLength - kSkinPreambleLength))) {
        SetSkinError("header shorter than its length " + std::to_string(headerLength));
        return false;
    }
    std::array<uint8_t, kSkinOffsetTableLength> table{};
    if (!file.Seek(headerLength) || !file.ReadExact(table)) {
        SetSkinError("image offset table incomplete");
        return false;
    }
    const std::array<uint32_t, 2> offsets = {ReadU32(std::span(table).first<4>()),
                                             ReadU32(std::span(table).last<4>())};

    std::unique_ptr<uint8_t[]> faceBytes;
    uint32_t faceSize = 0;
    const BlockStatus face = ReadBlock(file, fileSize, offsets, 0, faceBytes, faceSize);
    if (face != BlockStatus::Read) {
        SetSkinError(std::string("face image block ") + BlockProblem(face));
        return false;
    }

    // The file has passed every check: from here on the skin holds the new parameters.
    ReleaseSkinImage(skin.faceImage);
    ReleaseSkinImage(skin.backgroundImage);
    ReleaseHandRenderer(renderer);
    SkinParameters& parameters = skin;
    parameters = SkinParameters{};
    std::memcpy(&parameters, header.data() + kSkinPreambleLength, sizeof(SkinParameters));
    skin.faceImage.rawData = std::move(faceBytes);
    skin.faceImage.rawSize = faceSize;

    PrepareHandRenderer(skin, renderer, shadowSetting);

    // A background block that is absent or unreadable leaves the skin without a background picture.
    ReadImageBlock(file, fileSize, offsets, 1, skin.backgroundImage.rawData,
                   skin.backgroundImage.rawSize);
    SetSkinError({});
    return true;
}

bool LoadSkin(const QString& path, const Settings& settings, Skin& skin, HandRenderer& renderer) {
    const WaitCursor waitCursor;
    renderer.smoothShapes = settings.AntiAliased != 0;
    renderer.smoothMotion = settings.Smooth != 0;
    if (!ReadSkinFile(path, skin, renderer, settings.Shadow != 0))
        return false;

    // The pictures are decoded from a private file that exists only for the rest of this load.
    QString tempPath;
    PrivateTempFile temp;
    const bool tempMade =
        PrivateRuntimeFolder(tempPath) && temp.Create(tempPath + QLatin1String(kSkinTempFileName));
    if (!tempMade || !DecodeRawData(skin.faceImage, temp)) {
        FreeRawData(skin.faceImage);
        FreeRawData(skin.backgroundImage);
        SetSkinError(tempMade ? "face image does not decode"
                              : "face image does not decode: no private temporary file");
        return false;
    }
    PrepareSkinImage(skin.faceImage);
    PrepareKeyedImage(skin.faceImage, skin.keyColor);

    if (skin.backgroundImage.rawData != nullptr && DecodeRawData(skin.backgroundImage, temp))
        PrepareSkinImage(skin.backgroundImage);
    FreeRawData(skin.backgroundImage);
    return true;
}

} // namespace mv
