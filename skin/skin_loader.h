#pragma once
// Reading skin files: the header and parameter block checked and copied, both pictures decoded
// through a private temporary file, the hand renderer prepared for the new skin.

#include <cstdint>
#include <memory>

#include <QString>

#include "app/settings.h"
#include "clock/draw_records.h"
#include "skin/skin.h"

namespace mv {

class BinaryFile;

constexpr int kSkinMagicLength = 28;
constexpr char kSkinMagic[] = "TEV:: Marovellastrine Skin\n\r";
static_assert(sizeof(kSkinMagic) == kSkinMagicLength + 1);
constexpr int kSkinPreambleLength = 44;
constexpr int kSkinHeaderMax = 248;
constexpr int kSkinHeaderLengthOffset = 34;
constexpr char kSkinTempFileName[] = "Marovellastrine.tmp";

// Why the last ReadSkinFile or LoadSkin call failed, for tools and tests; the program itself only
// looks at the success flag.
const char* LastSkinError();

// The whole load into `skin` and `renderer` with the given settings; false on failure.
bool LoadSkin(const QString& path, const Settings& settings, Skin& skin, HandRenderer& renderer);

bool ReadSkinFile(const QString& path, Skin& skin, HandRenderer& renderer, bool shadowSetting);

// Reads image block `index` (0 face, 1 background) into a buffer of exactly its length.
bool ReadImageBlock(BinaryFile& file, int64_t fileSize, const uint32_t offsets[2], int index,
                    std::unique_ptr<uint8_t[]>& buffer, uint32_t& length);

void PrepareHandRenderer(const Skin& skin, HandRenderer& renderer, bool shadowSetting);
void PrepareSkinImage(SkinImage& image);
void ReleaseImageContext(SkinImage& image);
void ReleaseSkinImage(SkinImage& image);
void ReleaseSkin(Skin& skin, HandRenderer& renderer);

} // namespace mv
