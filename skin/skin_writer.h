#pragma once
// Writing skin files: the preamble with the magic and the header length, the stored part of the
// parameter block, the image offset table and the two image blocks, little-endian.

#include "skin/skin.h"

#include <QByteArray>
#include <array>
#include <cstdint>
#include <span>

namespace mv {

constexpr int kSkinParameterBlockSize = int(sizeof(SkinParameters));
// Bytes 29 to 33 and 35 to 43 of the preamble: stored and carried along, never interpreted.
constexpr int kSkinUninterpretedLength = 14;

struct SkinFileContents {
    SkinParameters parameters{};
    std::span<const uint8_t> faceBytes;       // image block 0, stored as given
    bool hasBackground = false;               // an empty background block still gets an offset
    std::span<const uint8_t> backgroundBytes; // image block 1
    int headerLength = 248;                   // 44 to 248: how much of the block is stored
    std::array<uint8_t, kSkinUninterpretedLength> uninterpreted{}; // bytes 29-33, then 35-43
};

// File offset of the n-th uninterpreted preamble byte (0 to 13).
constexpr int UninterpretedByteOffset(int index) {
    return index < 5 ? 29 + index : 30 + index;
}

// The complete skin file; empty when the header length is outside 44 to 248 or the file would
// not fit the 32-bit offsets.
QByteArray WriteSkinBytes(const SkinFileContents& contents);

} // namespace mv
