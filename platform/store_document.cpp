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

// Names that compare equal ignoring letter case fold to the same string.
QString Folded(QStringView text) {
    return text.toString().toCaseFolded();
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

const StoreValue* StoreSection::Find(QStringView name) const {
    const auto found = indexByFoldedName_.constFind(Folded(name));
    return found == indexByFoldedName_.cend() ? nullptr : &values_[*found];
}

void StoreSection::Put(StoreValue value) {
    const QString folded = Folded(value.name);
    if (const auto found = indexByFoldedName_.constFind(folded);
        found != indexByFoldedName_.cend()) {
        StoreValue& existing = values_[*found];
        existing.type = value.type; // the name keeps the letter case it was made with
        existing.data = std::move(value.data);
        return;
    }
    indexByFoldedName_.insert(folded, values_.size());
    values_.push_back(std::move(value));
}

bool StoreDocument::KeyExists(const QString& path) const {
    return path.isEmpty() || foldedKeys_.contains(Folded(path));
}

const StoreSection* StoreDocument::FindSection(const QString& path) const {
    const auto found = indexByFoldedPath_.constFind(Folded(path));
    return found == indexByFoldedPath_.cend() ? nullptr : &sections_[*found];
}

StoreSection& StoreDocument::SectionFor(const QString& path) {
    const QString folded = Folded(path);
    if (const auto found = indexByFoldedPath_.constFind(folded); found != indexByFoldedPath_.cend())
        return sections_[*found];
    indexByFoldedPath_.insert(folded, sections_.size());
    for (qsizetype end = folded.size(); end > 0;
         end = folded.lastIndexOf(QLatin1Char('\\'), end - 1))
        foldedKeys_.insert(folded.first(end));
    sections_.emplace_back(path);
    return sections_.back();
}

const StoreValue* StoreDocument::FindValue(const QString& path, QStringView name) const {
    const StoreSection* section = FindSection(path);
    return section == nullptr ? nullptr : section->Find(name);
}

} // namespace mv
