#include "skin/skin_loader.h"

#include "platform/binary_file.h"
#include "platform/folders.h"
#include "platform/image_decode.h"
#include "platform/private_temp_file.h"
#include "platform/wait_cursor.h"
#include "skin/skin_bounds.h"

#include <array>
#include <cerrno>
#include <cstring>
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

enum class BlockStatus { Read, Absent, Empty, BeyondEnd, TooLarge, NoMemory, ShortRead };

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
    case BlockStatus::TooLarge:
        return "larger than any skin picture";
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
    if (size > kMaxImageBlockBytes)
        return BlockStatus::TooLarge;
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

QString TempFileProblem(const QString& path, int error) {
    return path + QStringLiteral(": ") +
           QString::fromLocal8Bit(error != 0 ? std::strerror(error) : "cannot be written");
}

// The temporary file through which the pictures are decoded, in the private runtime folder.
// False with the reason in `problem` when it can't be made.
bool MakeTempFile(PrivateTempFile& temp, QString& problem) {
    QString folder;
    errno = 0;
    if (!PrivateRuntimeFolder(folder)) {
        problem = TempFileProblem(folder, errno);
        return false;
    }
    const QString path = folder + QLatin1String(kSkinTempFileName);
    errno = 0;
    if (!temp.Create(path)) {
        problem = TempFileProblem(path, errno);
        return false;
    }
    return true;
}

// Writes the image's rawData to the temporary file and frees the bytes. False with the reason in
// `problem` when the file can't take them (a full folder).
bool WriteRawData(SkinImage& image, PrivateTempFile& temp, QString& problem) {
    errno = 0;
    const bool written = temp.Replace({image.rawData.get(), image.rawSize});
    const int error = errno;
    FreeRawData(image);
    if (!written)
        problem = TempFileProblem(temp.Path(), error);
    return written;
}

bool Decode(SkinImage& image, const PrivateTempFile& temp) {
    image.bitmap = DecodeImageFromDescriptor(temp.Descriptor());
    return !image.bitmap.isNull();
}

SkinLoadError Fail(SkinLoadError error, std::string reason) {
    SetSkinError(std::move(reason));
    return error;
}

SkinLoadError ReadSkinFileFor(const QString& path, Skin& skin);

} // namespace

const char* LastSkinError() {
    return SkinError().c_str();
}

bool ReadImageBlock(BinaryFile& file, int64_t fileSize, std::span<const uint32_t, 2> offsets,
                    int index, std::unique_ptr<uint8_t[]>& buffer, uint32_t& length) {
    return ReadBlock(file, fileSize, offsets, index, buffer, length) == BlockStatus::Read;
}

bool ReadSkinFile(const QString& path, Skin& skin) {
    return ReadSkinFileFor(path, skin) == SkinLoadError::None;
}

namespace {

SkinLoadError ReadSkinFileFor(const QString& path, Skin& skin) {
    BinaryFile file;
    if (!file.Open(path))
        return Fail(SkinLoadError::File, "cannot open the file");
    const int64_t fileSize = file.Size();

    std::array<uint8_t, kSkinHeaderMax> header{};
    if (fileSize < 0 || !file.ReadExact(std::span(header).first(kSkinPreambleLength)))
        return Fail(SkinLoadError::Format, "file shorter than the 44-byte preamble");
    // The magic is compared as a NUL-terminated string: its terminator at byte 28 must match too.
    if (std::memcmp(header.data(), kSkinMagic, sizeof(kSkinMagic)) != 0)
        return Fail(SkinLoadError::Format, "bad magic");
    const int headerLength = header[kSkinHeaderLengthOffset];
    if (headerLength < kSkinHeaderMin || headerLength > kSkinHeaderMax)
        return Fail(SkinLoadError::Format,
                    "header length " + std::to_string(headerLength) + " out of range");
    if (!file.ReadExact(
            std::span(header).subspan(kSkinPreambleLength, headerLength - kSkinPreambleLength)))
        return Fail(SkinLoadError::Format,
                    "header shorter than its length " + std::to_string(headerLength));
    SkinParameters parameters{};
    std::memcpy(&parameters, header.data() + kSkinPreambleLength, sizeof(SkinParameters));
    if (const char* problem = ParameterProblem(parameters))
        return Fail(SkinLoadError::Format, problem);
    std::array<uint8_t, kSkinOffsetTableLength> table{};
    if (!file.Seek(headerLength) || !file.ReadExact(table))
        return Fail(SkinLoadError::Format, "image offset table incomplete");
    const std::array<uint32_t, 2> offsets = {ReadU32(std::span(table).first<4>()),
                                             ReadU32(std::span(table).last<4>())};

    std::unique_ptr<uint8_t[]> faceBytes;
    uint32_t faceSize = 0;
    const BlockStatus face = ReadBlock(file, fileSize, offsets, 0, faceBytes, faceSize);
    if (face != BlockStatus::Read)
        return Fail(face == BlockStatus::ShortRead ? SkinLoadError::File : SkinLoadError::Format,
                    std::string("face image block ") + BlockProblem(face));

    // The file has passed every check: from here on the skin holds the new parameters.
    ReleaseSkinImage(skin.faceImage);
    ReleaseSkinImage(skin.backgroundImage);
    static_cast<SkinParameters&>(skin) = parameters;
    skin.faceImage.rawData = std::move(faceBytes);
    skin.faceImage.rawSize = faceSize;

    // A background block that is absent or unreadable leaves the skin without a background picture.
    ReadImageBlock(file, fileSize, offsets, 1, skin.backgroundImage.rawData,
                   skin.backgroundImage.rawSize);
    SetSkinError({});
    return SkinLoadError::None;
}

} // namespace

bool LoadSkin(const QString& path, Skin& skin) {
    SkinLoadFailure failure;
    return LoadSkin(path, skin, failure);
}

bool LoadSkin(const QString& path, Skin& skin, SkinLoadFailure& failure) {
    failure = {};
    const WaitCursor waitCursor;
    failure.error = ReadSkinFileFor(path, skin);
    if (failure.error != SkinLoadError::None)
        return false;

    // The pictures are decoded from a private file that exists only for the rest of this load.
    PrivateTempFile temp;
    const bool faceWritten = MakeTempFile(temp, failure.tempFileProblem) &&
                             WriteRawData(skin.faceImage, temp, failure.tempFileProblem);
    const bool faceDecoded = faceWritten && Decode(skin.faceImage, temp);
    const char* rectProblem = faceDecoded ? FaceRectProblem(skin, skin.faceImage.bitmap.width(),
                                                            skin.faceImage.bitmap.height())
                                          : nullptr;
    if (!faceDecoded || rectProblem != nullptr) {
        ReleaseSkinImage(skin.faceImage);
        FreeRawData(skin.backgroundImage);
        failure.error = !faceWritten ? SkinLoadError::TempFile : SkinLoadError::Picture;
        SetSkinError(!faceWritten   ? "no temporary file: " + failure.tempFileProblem.toStdString()
                     : !faceDecoded ? "face image does not decode"
                                    : rectProblem);
        return false;
    }
    PrepareSkinImage(skin.faceImage);
    PrepareKeyedImage(skin.faceImage, skin.keyColor);

    // A background that can't be written or decoded leaves the skin without one.
    QString ignored;
    if (skin.backgroundImage.rawData != nullptr &&
        WriteRawData(skin.backgroundImage, temp, ignored) && Decode(skin.backgroundImage, temp)) {
        PrepareSkinImage(skin.backgroundImage);
        PrepareDitheredImage(skin.backgroundImage);
    }
    FreeRawData(skin.backgroundImage);
    return true;
}

QString SkinLoadFailureMessage(const SkinLoadFailure& failure) {
    if (failure.error == SkinLoadError::TempFile)
        return QStringLiteral("The skin could not be loaded because the temporary file could not "
                              "be written:\n\n") +
               failure.tempFileProblem;
    return QStringLiteral("Error loading skin file.\n\nSelect another file...");
}

} // namespace mv
