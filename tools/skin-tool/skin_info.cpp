#include "tools/skin-tool/skin_info.h"

#include "clock/face_renderer.h"
#include "skin/skin_loader.h"

#include <QFile>
#include <QJsonArray>

namespace mv {

namespace {

QJsonArray RectJson(const Rect& rect) {
    return {rect.left, rect.top, rect.right, rect.bottom};
}

QJsonObject ShapeJson(const HandShape& shape) {
    return {{"color", qint64(shape.color)},         {"tipDistance", shape.tipDistance},
            {"baseHalfWidth", shape.baseHalfWidth}, {"tipHalfWidth", shape.tipHalfWidth},
            {"baseDistance", shape.baseDistance},   {"capFlags", qint64(shape.capFlags)}};
}

QJsonValue ImageJson(const SkinImage& image) {
    if (image.bitmap.isNull())
        return QJsonValue::Null;
    return QJsonArray{image.bitmap.width(), image.bitmap.height()};
}

// Byte 34 as the file holds it, whether or not the loader accepted the file.
QJsonValue HeaderLengthJson(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(kSkinHeaderLengthOffset))
        return QJsonValue::Null;
    const QByteArray byte = file.read(1);
    if (byte.size() != 1)
        return QJsonValue::Null;
    return int(uint8_t(byte[0]));
}

void AddParameters(const Skin& skin, QJsonObject& out) {
    out["keyColor"] = qint64(skin.keyColor);
    out["backgroundTopColor"] = qint64(skin.backgroundTopColor);
    out["backgroundBottomColor"] = qint64(skin.backgroundBottomColor);
    out["faceRect"] = RectJson(skin.faceRect);
    out["hubRect"] = RectJson(skin.hubRect);
    out["gpsIndicatorRect"] = RectJson(skin.gpsIndicatorRect);
    out["gpsIndicatorX"] = skin.gpsIndicatorX;
    out["gpsIndicatorY"] = skin.gpsIndicatorY;
    QJsonArray hands;
    for (const HandStyle& hand : skin.hands)
        hands.append(QJsonObject{{"main", ShapeJson(hand.main)},
                                 {"overlay", ShapeJson(hand.overlay)},
                                 {"shadowOffset", hand.shadowOffset}});
    out["hands"] = hands;
    out["shadowAlpha"] = skin.shadowAlpha;
    out["hubShadowOffset"] = skin.hubShadowOffset;
    out["pivotOffsetX"] = skin.pivotOffsetX;
    out["pivotOffsetY"] = skin.pivotOffsetY;
    out["placement"] = qint64(skin.placement);
}

int32_t SideOf(const DrawSurface& surface) {
    return surface.pixels != nullptr ? surface.width : 0;
}

} // namespace

QJsonObject DescribeSkin(const QString& path, const InfoOptions& options, bool& loaded) {
    FaceRenderer face;
    QJsonObject out;
    loaded = face.LoadSkin(path, {options.smoothShapes, false, options.shadow});
    out["loaded"] = loaded;
    out["headerLength"] = HeaderLengthJson(path);
    if (!loaded) {
        out["error"] = QString::fromUtf8(LastSkinError());
        return out;
    }
    const Skin& skin = face.GetSkin();
    const HandRenderer& renderer = face.Hands();
    AddParameters(skin, out);
    out["faceImage"] = ImageJson(skin.faceImage);
    out["backgroundImage"] = ImageJson(skin.backgroundImage);
    out["handReach"] = renderer.handReach;
    out["shadowReach"] = renderer.shadowReach;
    out["shadowOn"] = renderer.shadowOn;
    out["supersampleSide"] = SideOf(renderer.supersampleSurface);
    out["shadowSide"] = SideOf(renderer.shadowSurface);
    return out;
}

} // namespace mv
