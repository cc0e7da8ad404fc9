#pragma once
// Reading skin files: the header and parameter block checked and copied, both pictures decoded
// through a private temporary file.

#include "skin/skin.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <span>

namespace mv {

class BinaryFile;

constexpr int kSkinMagicLength = 28;
constexpr char kSkinMagic[] = "TEV:: Marovellastrine Skin\n\r";
static_assert(sizeof(kSkinMagic) == kSkinMagicLength + 1);
constexpr int kSkinPreambleLength = 44;
constexpr int kSkinHeaderMin = 45;
constexpr int kSkinHeaderMax = 248;
constexpr int kSkinHeaderLengthOffset = 34;
constexpr int kSkinOffsetTableLength = 8;
constexpr char kSkinTempFileName[] = "Marovellastrine.tmp";
static_assert(kSkinHeaderMax - kSkinPreambleLength == sizeof(SkinParameters));

// What kind of fault made a load fail, so that a caller can tell a broken skin from a machine that
// couldn't hold the temporary file.
enum class SkinLoadError {
    None,
    File,     // the file can't be opened or read
    Format,   // the header, the parameters or the image blocks are not a usable skin
    Picture,  // the face picture doesn't decode or doesn't hold the skin's rectangles
    TempFile, // the temporary file for the pictures couldn't be made or written
};

// Whether a load that ended with this error had already replaced the skin's parameters: every
// check of the file had passed, and only the pictures failed.
constexpr bool SkinParametersReplaced(SkinLoadError error) {
    return error == SkinLoadError::None || error == SkinLoadError::Picture ||
           error == SkinLoadError::TempFile;
}

struct SkinLoadFailure {
    SkinLoadError error = SkinLoadError::None;
    QString tempFileProblem; // TempFile: "<path>: <the system's reason>"
};

// The message that tells the user why a skin didn't load.
QString SkinLoadFailureMessage(const SkinLoadFailure& failure);

// Why the last ReadSkinFile or LoadSkin call failed ("bad magic", "face image does not decode",
// ...), for tools and tests; empty after a success. The program itself only looks at the flag.
const char* LastSkinError();

// The whole load into `skin`; false on failure. A failure before the face image block has been
// read leaves the previous skin untouched; a face picture that doesn't decode leaves the new
// parameters without pictures.
bool LoadSkin(const QString& path, Skin& skin);
// The same, telling what kind of fault made it fail.
bool LoadSkin(const QString& path, Skin& skin, SkinLoadFailure& failure);

// Parses the file, replaces the skin's parameters and reads the image blocks' bytes into rawData.
// Parameters that no face could draw (ParameterProblem) and image blocks over kMaxImageBlockBytes
// are refused before anything of the previous skin is touched.
bool ReadSkinFile(const QString& path, Skin& skin);

// Reads image block `index` (0 face, 1 background) into a buffer of exactly its length. A block
// runs from its offset to the next present block's offset, the last one to the end of the file.
bool ReadImageBlock(BinaryFile& file, int64_t fileSize, std::span<const uint32_t, 2> offsets,
                    int index, std::unique_ptr<uint8_t[]>& buffer, uint32_t& length);

// Makes `dc` (the bitmap as exact 8-bit RGB), `width` and `height`; nothing when the bitmap is
// null.
void PrepareSkinImage(SkinImage& image);
// Makes `keyed` from `dc`: transparent exactly where the RGB equals keyColor (0x00BBGGRR); and
// `keyed555`, the same ready for 16-bit surfaces.
void PrepareKeyedImage(SkinImage& image, uint32_t keyColor);
// Makes `dc555` from `dc`, dithered, for tiling into 16-bit surfaces.
void PrepareDitheredImage(SkinImage& image);
void ReleaseImageContext(SkinImage& image);
void ReleaseSkinImage(SkinImage& image);
void ReleaseSkin(Skin& skin);

} // namespace mv
