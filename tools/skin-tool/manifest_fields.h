#pragma once
// The parameter keys of a skin manifest: one entry per field of the parameter block, with where
// it lies in the block and how its value is written.

#include <QString>
#include <cstdint>
#include <vector>

namespace mv {

enum class FieldKind { Color, Unsigned32, Signed32, Signed16, Rectangle, Bytes };

struct ManifestField {
    QString key;
    int offset = 0; // in the parameter block
    int size = 0;   // bytes
    FieldKind kind = FieldKind::Signed32;
    bool required = true;
    // Optional hand shapes: where the shape starts in the block; its six keys are given all
    // together or not at all. -1 for other fields.
    int shapeOffset = -1;
};

// Every parameter key in manifest order.
const std::vector<ManifestField>& ManifestFields();

} // namespace mv
