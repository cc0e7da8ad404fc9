#pragma once
// Reading skin files: the header and parameter block checked and copied, both pictures decoded
// through a private temporary file, the hand renderer prepared for the new skin.

#include "app/settings.h"
#include "clock/draw_records.h"
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

// A hand surface larger than this on a side is not made (a hostile skin could ask for gigabytes);
// the hands are then drawn without supersampling or shadow, as if making the surface had failed.
constexpr int32_t kMaxHandSurfaceSide = 8192;

// What kind of fault made a load fail, so that a caller can tell a broken skin from a machine that
// couldn't hold the temporary file.
enum class SkinLoadError {
    None,
    File,     // the file can't be opened or read
    Format,   // the header, the parameters or the image blocks are not a usable skin
    Picture,  // the face picture doesn't decode or doesn't hold the skin's rectangles
    TempFile, // the temporary file for the pictures couldn't be made or written
};

struct SkinLoadFailure {
    SkinLoadError error = SkinLoadError::None;
    QString tempFileProblem; // TempFile: "<path>: <the system's reason>"
};

// The message that tells the user why a skin didn't load.
QString SkinLoadFailureMessage(const SkinLoadFailure& failure);

// Why the last ReadSkinFile or LoadSkin call failed ("bad magic", "face image does not decode",
// ...), for tools and tests; empty after a success. The program itself only looks at the flag.
const char* LastSkinError();

// The whole load into `skin` and `renderer` with the given settings; false on failure. A failure
// before the face image block has been read leaves the previous skin and renderer untouched; a
// face picture that doesn't decode leaves the new parameters without pictures.
bool LoadSkin(const QString& path, const Settings& settings, Skin& skin, HandRenderer& renderer);
// The same, telling what kind of fault made it fail.
bool LoadSkin(const QString& path, const Settings& settings, Skin& skin, HandRenderer& renderer,
              SkinLoadFailure& failure);

// Parses the file, replaces the skin's parameters, reads the image blocks' bytes into rawData and
// prepares the hand renderer. Parameters that no face could draw (ParameterProblem) and image
// blocks over kMaxImageBlockBytes are refused before anything of the previous skin is touched.
bool ReadSkinFile(const QString& path, Skin& skin, HandRenderer& renderer, bool shadowSetting);

// Reads image block `index` (0 face, 1 background) into a buffer of exactly its length. A block
// runs from its offset to the next present block's offset, the last one to the end of the file.
bool ReadImageBlock(BinaryFile& file, int64_t fileSize, std::span<const uint32_t, 2> offsets,
                    int index, std::unique_ptr<uint8_t[]>& buffer, uint32_t& length);

// Makes the per-skin brushes, reaches and surfaces of the renderer; smoothShapes is already set.
void PrepareHandRenderer(const Skin& skin, HandRenderer& renderer, bool shadowSetting);
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
void ReleaseSkin(Skin& skin, HandRenderer& renderer);

} // namespace mv
