#include "platform/device_model.h"

#include "platform/store.h"

#include <QFile>
#include <array>
#include <optional>

namespace mv {

namespace {

constexpr uint32_t kModelBufferBytes = 520;

std::optional<QString> StoredModel() {
    RegistryKey key;
    if (key.Open(StoreRoot::CurrentUser, u"System", StoreAccess::Read) != kStoreOk)
        return std::nullopt;
    std::array<uint8_t, kModelBufferBytes> buffer{};
    ValueType type{};
    uint32_t size = 0;
    if (StoreQueryValue(key.Key(), u"ModelID", type, buffer, size) != kStoreOk ||
        type != ValueType::String)
        return std::nullopt;
    // The byte count includes the terminator.
    const qsizetype characters = qsizetype(size / 2) - 1;
    if (characters <= 0)
        return std::nullopt;
    QString model(characters, Qt::Uninitialized);
    for (qsizetype i = 0; i < characters; ++i)
        model[i] = QChar(char16_t(buffer[size_t(2 * i)] | buffer[size_t(2 * i + 1)] << 8));
    return model;
}

// A one-line text file of the kernel's; the device tree ends its strings with a NUL.
std::optional<QString> ModelFromFile(const char* path) {
    QFile file(QString::fromLatin1(path));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray bytes = file.read(kModelBufferBytes);
    if (const qsizetype end = bytes.indexOf('\0'); end >= 0)
        bytes.truncate(end);
    const QString model = QString::fromUtf8(bytes).trimmed();
    if (model.isEmpty())
        return std::nullopt;
    return model;
}

} // namespace

QString ReadDeviceModel() {
    if (std::optional<QString> model = StoredModel())
        return *model;
    if (std::optional<QString> model = ModelFromFile("/proc/device-tree/model"))
        return *model;
    if (std::optional<QString> model = ModelFromFile("/sys/class/dmi/id/product_name"))
        return *model;
    return QStringLiteral("unknown");
}

} // namespace mv
