#include "platform/store_document.h"

#include <QList>

namespace mv {

namespace {

bool IsAllowedInKeyName(QStringView component) {
    for (qsizetype i = 0; i < component.size(); ++i) {
        const QChar unit = component[i];
        if (unit.unicode() < 0x20 || unit.unicode() == 0x7F)
            return false;
        if (unit.isHighSurrogate()) {
            if (i + 1 == component.size() || !component[i + 1].isLowSurrogate())
                return false;
            ++i;
        } else if (unit.isLowSurrogate()) {
            return false;
        }
    }
    return true;
}

bool SamePath(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

bool NormaliseKeyPath(QStringView keyPath, QString& normalised) {
    if (keyPath.endsWith(QLatin1Char('\\')))
        keyPath.chop(1);
    if (keyPath.isEmpty()) {
        normalised.clear();
        return true;
    }
    for (const QStringView component : keyPath.split(QLatin1Char('\\'))) {
        if (component.isEmpty() || !IsAllowedInKeyName(component))
            return false;
    }
    normalised = keyPath.toString();
    return true;
}

bool KeyExists(const StoreDocument& document, const QString& path) {
    if (path.isEmpty())
        return true;
    const QString below = path + QLatin1Char('\\');
    for (const StoreSection& section : document.sections) {
        if (SamePath(section.path, path) || section.path.startsWith(below, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

StoreSection* FindSection(StoreDocument& document, const QString& path) {
    for (StoreSection& section : document.sections) {
        if (SamePath(section.path, path))
            return &section;
    }
    return nullptr;
}

StoreSection& SectionFor(StoreDocument& document, const QString& path) {
    if (StoreSection* section = FindSection(document, path))
        return *section;
    document.sections.push_back(StoreSection{path, {}});
    return document.sections.back();
}

const StoreValue* FindValue(const StoreDocument& document, const QString& path, QStringView name) {
    for (const StoreSection& section : document.sections) {
        if (!SamePath(section.path, path))
            continue;
        for (const StoreValue& value : section.values) {
            if (value.name.compare(name, Qt::CaseInsensitive) == 0)
                return &value;
        }
    }
    return nullptr;
}

void PutValue(StoreSection& section, StoreValue value) {
    for (StoreValue& existing : section.values) {
        if (existing.name.compare(value.name, Qt::CaseInsensitive) == 0) {
            existing.type = value.type; // the name keeps the letter case it was made with
            existing.data = std::move(value.data);
            return;
        }
    }
    section.values.push_back(std::move(value));
}

} // namespace mv
