#pragma once
// A skin file taken apart into what `pack` needs to rebuild it byte for byte, and the two ways
// between that and the file's bytes.

#include "skin/skin_loader.h"
#include "skin/skin_writer.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>

namespace mv {

struct PackedSkin {
    SkinParameters parameters{}; // bytes beyond the stored header part are zero
    QByteArray face;
    bool hasBackground = false;
    QByteArray background;
    int headerLength = kSkinHeaderMax;
    std::array<uint8_t, kSkinUninterpretedLength> uninterpreted{};
};

QByteArray BuildSkinFile(const PackedSkin& skin);

// Splits a file that `BuildSkinFile` could have made. Files laid out otherwise (no face block,
// blocks out of order or with gaps, a header length above 248) are refused with the reason in
// `error`, since packing them again would not give the same bytes.
bool SplitSkinFile(const QByteArray& file, PackedSkin& skin, QString& error);

} // namespace mv
