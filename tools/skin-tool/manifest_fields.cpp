#include "tools/skin-tool/manifest_fields.h"

#include "skin/skin.h"

#include <cstddef>

namespace mv {

namespace {

void AddShape(std::vector<ManifestField>& fields, const QString& prefix, int offset,
              bool required) {
    const struct {
        const char* name;
        int offset;
        int size;
        FieldKind kind;
    } shapeFields[] = {
        {"color", offsetof(HandShape, color), 4, FieldKind::Color},
        {"tipDistance", offsetof(HandShape, tipDistance), 2, FieldKind::Signed16},
        {"baseDistance", offsetof(HandShape, baseDistance), 2, FieldKind::Signed16},
        {"baseHalfWidth", offsetof(HandShape, baseHalfWidth), 2, FieldKind::Signed16},
        {"tipHalfWidth", offsetof(HandShape, tipHalfWidth), 2, FieldKind::Signed16},
        {"capFlags", offsetof(HandShape, capFlags), 4, FieldKind::Unsigned32},
    };
    for (const auto& field : shapeFields)
        fields.push_back({prefix + QLatin1String(field.name), offset + field.offset, field.size,
                          field.kind, required, required ? -1 : offset});
}

std::vector<ManifestField> MakeFields() {
    std::vector<ManifestField> fields = {
        {"keyColor", offsetof(SkinParameters, keyColor), 4, FieldKind::Color},
        {"backgroundTopColor", offsetof(SkinParameters, backgroundTopColor), 4, FieldKind::Color},
        {"backgroundBottomColor", offsetof(SkinParameters, backgroundBottomColor), 4,
         FieldKind::Color},
        {"faceRect", offsetof(SkinParameters, faceRect), 16, FieldKind::Rectangle},
        {"hubRect", offsetof(SkinParameters, hubRect), 16, FieldKind::Rectangle},
        {"gpsIndicatorRect", offsetof(SkinParameters, gpsIndicatorRect), 16, FieldKind::Rectangle},
        {"gpsIndicatorX", offsetof(SkinParameters, gpsIndicatorX), 4, FieldKind::Signed32},
        {"gpsIndicatorY", offsetof(SkinParameters, gpsIndicatorY), 4, FieldKind::Signed32},
        {"shadowAlpha", offsetof(SkinParameters, shadowAlpha), 2, FieldKind::Signed16},
        {"hubShadowOffset", offsetof(SkinParameters, hubShadowOffset), 2, FieldKind::Signed16},
        {"pivotOffsetX", offsetof(SkinParameters, pivotOffsetX), 4, FieldKind::Signed32},
        {"pivotOffsetY", offsetof(SkinParameters, pivotOffsetY), 4, FieldKind::Signed32},
        {"placement", offsetof(SkinParameters, placement), 4, FieldKind::Unsigned32},
    };
    const char* handNames[] = {"hour", "minute", "second"};
    for (int hand = 0; hand < 3; ++hand) {
        const int handOffset = int(offsetof(SkinParameters, hands) + hand * sizeof(HandStyle));
        const QString prefix = QLatin1String(handNames[hand]) + QLatin1Char('.');
        AddShape(fields, prefix + "main.", handOffset + int(offsetof(HandStyle, main)), true);
        AddShape(fields, prefix + "overlay.", handOffset + int(offsetof(HandStyle, overlay)),
                 false);
        fields.push_back({prefix + "shadowOffset",
                          handOffset + int(offsetof(HandStyle, shadowOffset)), 2,
                          FieldKind::Signed16});
        fields.push_back({prefix + "reserved", handOffset + int(offsetof(HandStyle, reserved)),
                          int(sizeof(HandStyle::reserved)), FieldKind::Bytes, false});
    }
    return fields;
}

} // namespace

const std::vector<ManifestField>& ManifestFields() {
    static const std::vector<ManifestField> fields = MakeFields();
    return fields;
}

} // namespace mv
