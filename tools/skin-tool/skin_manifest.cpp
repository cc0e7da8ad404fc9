#include "tools/skin-tool/skin_manifest.h"

#include "tools/skin-tool/manifest_fields.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStringList>
#include <cstring>
#include <map>
#include <optional>

namespace mv {

namespace {

using Block = std::array<uint8_t, kSkinParameterBlockSize>;

constexpr char kFaceKey[] = "face";
constexpr char kBackgroundKey[] = "background";
constexpr char kHeaderLengthKey[] = "headerLength";
constexpr char kUninterpretedKey[] = "uninterpretedBytes";

// Decimal with an optional minus sign, or hexadecimal after "0x"; nothing else.
std::optional<int64_t> ParseInteger(QStringView text, int64_t min, int64_t max) {
    bool negative = false;
    int base = 10;
    if (text.startsWith(u'-')) {
        negative = true;
        text = text.mid(1);
    } else if (text.startsWith(u"0x", Qt::CaseInsensitive)) {
        base = 16;
        text = text.mid(2);
    }
    if (text.isEmpty() || text.size() > 16)
        return std::nullopt;
    int64_t value = 0;
    for (QChar c : text) {
        const int digit = c.isDigit() ? c.digitValue()
                          : base == 16 && c.toLower() >= u'a' && c.toLower() <= u'f'
                              ? c.toLower().unicode() - u'a' + 10
                              : -1;
        if (digit < 0 || digit >= base)
            return std::nullopt;
        value = value * base + digit;
    }
    if (negative)
        value = -value;
    if (value < min || value > max)
        return std::nullopt;
    return value;
}

std::optional<std::vector<uint8_t>> ParseHexBytes(QStringView text, int count) {
    QString digits = text.toString();
    digits.remove(QRegularExpression(QStringLiteral("\\s")));
    if (digits.size() != 2 * count)
        return std::nullopt;
    std::vector<uint8_t> bytes;
    for (int i = 0; i < count; ++i) {
        const auto byte =
            ParseInteger(QString(QStringLiteral("0x") + digits.mid(2 * i, 2)), 0, 255);
        if (!byte)
            return std::nullopt;
        bytes.push_back(uint8_t(*byte));
    }
    return bytes;
}

QString Expectation(const ManifestField& field) {
    switch (field.kind) {
    case FieldKind::Color:
        return QStringLiteral("a colour 0x00BBGGRR");
    case FieldKind::Unsigned32:
        return QStringLiteral("a whole number from 0 to 4294967295");
    case FieldKind::Signed32:
        return QStringLiteral("a whole number from -2147483648 to 2147483647");
    case FieldKind::Signed16:
        return QStringLiteral("a whole number from -32768 to 32767");
    case FieldKind::Rectangle:
        return QStringLiteral("four whole numbers: left top right bottom");
    case FieldKind::Bytes:
        return QStringLiteral("%1 bytes in hexadecimal").arg(field.size);
    }
    return {};
}

void StoreLittleEndian(Block& block, int offset, int size, int64_t value) {
    for (int i = 0; i < size; ++i)
        block[offset + i] = uint8_t((uint64_t(value) >> (8 * i)) & 0xFF);
}

bool StoreField(const ManifestField& field, QStringView value, Block& block) {
    switch (field.kind) {
    case FieldKind::Color:
    case FieldKind::Unsigned32: {
        const auto number = ParseInteger(value, 0, 0xFFFFFFFFLL);
        if (number)
            StoreLittleEndian(block, field.offset, 4, *number);
        return number.has_value();
    }
    case FieldKind::Signed32:
    case FieldKind::Signed16: {
        const int64_t limit = field.kind == FieldKind::Signed16 ? 0x7FFF : 0x7FFFFFFF;
        const auto number = ParseInteger(value, -limit - 1, limit);
        if (number)
            StoreLittleEndian(block, field.offset, field.size, *number);
        return number.has_value();
    }
    case FieldKind::Rectangle: {
        const QStringList parts = value.toString().split(
            QRegularExpression(QStringLiteral("[\\s,]+")), Qt::SkipEmptyParts);
        if (parts.size() != 4)
            return false;
        for (int i = 0; i < 4; ++i) {
            const auto number = ParseInteger(parts[i], INT32_MIN, INT32_MAX);
            if (!number)
                return false;
            StoreLittleEndian(block, field.offset + 4 * i, 4, *number);
        }
        return true;
    }
    case FieldKind::Bytes: {
        const auto bytes = ParseHexBytes(value, field.size);
        if (bytes)
            std::memcpy(block.data() + field.offset, bytes->data(), bytes->size());
        return bytes.has_value();
    }
    }
    return false;
}

bool ReadPicture(const QString& baseDir, QStringView path, int line, const char* what,
                 QByteArray& bytes, QString& error) {
    QFile file(QDir(baseDir).filePath(path.toString()));
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("line %1: can't read the %2 picture '%3': %4")
                    .arg(line)
                    .arg(QLatin1String(what), path, file.errorString());
        return false;
    }
    bytes = file.readAll();
    return true;
}

struct GivenValue {
    int line = 0;
    QString value;
};

// Rejects values that a short header would silently drop: every field byte at or beyond the
// stored part of the block must be zero.
bool CheckStoredPart(const Block& block, int headerLength,
                     const std::map<QString, GivenValue>& given, QString& error) {
    const int stored = headerLength - kSkinPreambleLength;
    for (const ManifestField& field : ManifestFields()) {
        const auto it = given.find(field.key);
        if (it == given.end())
            continue;
        for (int i = std::max(field.offset, stored); i < field.offset + field.size; ++i) {
            if (block[i] != 0) {
                error = QStringLiteral("line %1: '%2' lies beyond the %3-byte header, which "
                                       "stores parameters only up to file byte %3; give 0 there "
                                       "or raise headerLength")
                            .arg(it->second.line)
                            .arg(field.key)
                            .arg(headerLength);
                return false;
            }
        }
    }
    return true;
}

bool CheckComplete(const std::map<QString, GivenValue>& given, QString& error) {
    QStringList missing;
    if (!given.contains(kFaceKey))
        missing << kFaceKey;
    for (const ManifestField& field : ManifestFields()) {
        if (given.contains(field.key))
            continue;
        if (field.required) {
            missing << field.key;
            continue;
        }
        if (field.shapeOffset < 0)
            continue;
        // An optional shape is all or nothing: a partly given overlay is a mistake.
        for (const ManifestField& other : ManifestFields()) {
            const auto it = given.find(other.key);
            if (other.shapeOffset == field.shapeOffset && it != given.end()) {
                error = QStringLiteral("line %1: '%2' needs the rest of its shape; missing '%3'")
                            .arg(it->second.line)
                            .arg(other.key, field.key);
                return false;
            }
        }
    }
    if (missing.isEmpty())
        return true;
    error = QStringLiteral("missing key%1: %2")
                .arg(missing.size() > 1 ? "s" : "", missing.join(QStringLiteral(", ")));
    return false;
}

} // namespace

bool ParseManifest(QStringView text, const QString& baseDir, PackedSkin& skin, QString& error) {
    PackedSkin result;
    Block block{};
    std::map<QString, GivenValue> given;
    const QList<QStringView> lines = text.split(u'\n');
    for (qsizetype index = 0; index < lines.size(); ++index) {
        const int line = int(index + 1);
        const QStringView content = lines[index].trimmed();
        if (content.isEmpty() || content.startsWith(u'#'))
            continue;
        const qsizetype equals = content.indexOf(u'=');
        if (equals < 0) {
            error = QStringLiteral("line %1: expected 'key = value'").arg(line);
            return false;
        }
        const QString key = content.left(equals).trimmed().toString();
        const QStringView value = content.mid(equals + 1).trimmed();
        if (const auto seen = given.find(key); seen != given.end()) {
            error = QStringLiteral("line %1: '%2' was already given on line %3")
                        .arg(line)
                        .arg(key)
                        .arg(seen->second.line);
            return false;
        }
        given[key] = {line, value.toString()};

        if (key == kFaceKey || key == kBackgroundKey) {
            const bool face = key == kFaceKey;
            if (value.isEmpty()) {
                error = QStringLiteral("line %1: '%2' needs a file name").arg(line).arg(key);
                return false;
            }
            if (!ReadPicture(baseDir, value, line, face ? "face" : "background",
                             face ? result.face : result.background, error))
                return false;
            result.hasBackground = result.hasBackground || !face;
        } else if (key == kHeaderLengthKey) {
            const auto number = ParseInteger(value, kSkinPreambleLength, kSkinHeaderMax);
            if (!number) {
                error = QStringLiteral("line %1: 'headerLength' must be a whole number from %2 to "
                                       "%3 (got '%4')")
                            .arg(line)
                            .arg(kSkinPreambleLength)
                            .arg(kSkinHeaderMax)
                            .arg(value);
                return false;
            }
            result.headerLength = int(*number);
        } else if (key == kUninterpretedKey) {
            const auto bytes = ParseHexBytes(value, kSkinUninterpretedLength);
            if (!bytes) {
                error = QStringLiteral("line %1: '%2' must be %3 bytes in hexadecimal")
                            .arg(line)
                            .arg(key)
                            .arg(kSkinUninterpretedLength);
                return false;
            }
            std::copy(bytes->begin(), bytes->end(), result.uninterpreted.begin());
        } else {
            const ManifestField* field = nullptr;
            for (const ManifestField& candidate : ManifestFields())
                if (candidate.key == key)
                    field = &candidate;
            if (field == nullptr) {
                error = QStringLiteral("line %1: unknown key '%2'").arg(line).arg(key);
                return false;
            }
            if (!StoreField(*field, value, block)) {
                error = QStringLiteral("line %1: '%2' must be %3 (got '%4')")
                            .arg(line)
                            .arg(key, Expectation(*field), value);
                return false;
            }
        }
    }
    if (!CheckComplete(given, error) || !CheckStoredPart(block, result.headerLength, given, error))
        return false;
    std::memcpy(&result.parameters, block.data(), block.size());
    skin = std::move(result);
    return true;
}

namespace {

int64_t LoadLittleEndian(const Block& block, int offset, int size, bool isSigned) {
    uint64_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = (value << 8) | block[offset + i];
    if (isSigned && (value >> (8 * size - 1)) != 0)
        return int64_t(value) - (int64_t(1) << (8 * size));
    return int64_t(value);
}

QString FormatField(const ManifestField& field, const Block& block) {
    switch (field.kind) {
    case FieldKind::Color:
        return QStringLiteral("0x%1")
            .arg(LoadLittleEndian(block, field.offset, 4, false), 8, 16, QLatin1Char('0'))
            .toUpper()
            .replace("0X", "0x");
    case FieldKind::Unsigned32:
        return QString::number(LoadLittleEndian(block, field.offset, 4, false));
    case FieldKind::Signed32:
    case FieldKind::Signed16:
        return QString::number(LoadLittleEndian(block, field.offset, field.size, true));
    case FieldKind::Rectangle: {
        QStringList parts;
        for (int i = 0; i < 4; ++i)
            parts << QString::number(LoadLittleEndian(block, field.offset + 4 * i, 4, true));
        return parts.join(u' ');
    }
    case FieldKind::Bytes: {
        QStringList parts;
        for (int i = 0; i < field.size; ++i)
            parts << QStringLiteral("%1").arg(block[field.offset + i], 2, 16, QLatin1Char('0'));
        return parts.join(u' ');
    }
    }
    return {};
}

bool AnyNonZero(const Block& block, int offset, int size) {
    for (int i = offset; i < offset + size; ++i)
        if (block[i] != 0)
            return true;
    return false;
}

} // namespace

QString FormatManifest(const PackedSkin& skin, const QString& faceFile,
                       const QString& backgroundFile) {
    Block block{};
    std::memcpy(block.data(), &skin.parameters, block.size());

    QString text = QStringLiteral("# Marovellastrine skin manifest: `marovellastrine-skin pack` "
                                  "builds the skin file from it.\n");
    text += QStringLiteral("face = %1\n").arg(faceFile);
    if (skin.hasBackground)
        text += QStringLiteral("background = %1\n").arg(backgroundFile);
    if (skin.headerLength != kSkinHeaderMax)
        text += QStringLiteral("headerLength = %1\n").arg(skin.headerLength);
    if (skin.uninterpreted != decltype(skin.uninterpreted){}) {
        QStringList parts;
        for (uint8_t byte : skin.uninterpreted)
            parts << QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0'));
        text += QStringLiteral("%1 = %2\n").arg(kUninterpretedKey, parts.join(u' '));
    }
    text += u'\n';

    for (const ManifestField& field : ManifestFields()) {
        if (field.key.endsWith(QLatin1String(".main.color")))
            text += QStringLiteral("\n# %1 hand\n").arg(field.key.section(u'.', 0, 0));
        // Optional keys that hold nothing are left out; an overlay is written whole or not at all.
        if (!field.required) {
            int offset = field.offset;
            int size = field.size;
            if (field.shapeOffset >= 0) {
                offset = field.shapeOffset;
                size = int(sizeof(HandShape));
            }
            if (!AnyNonZero(block, offset, size))
                continue;
        }
        text += QStringLiteral("%1 = %2\n").arg(field.key, FormatField(field, block));
    }
    return text;
}

} // namespace mv
