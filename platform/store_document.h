#pragma once
// The platform store's content in memory: keys (sections) with typed values, as one root's file
// holds them, in the order they were added. Key paths are kept without a trailing backslash;
// lookups ignore letter case and go through hash indexes, so a store of many thousands of values
// is read and looked up in linear time.

#include <QHash>
#include <QSet>
#include <QString>
#include <cstdint>
#include <span>
#include <vector>

namespace mv {

struct StoreValue {
    QString name;
    uint32_t type = 0;
    std::vector<uint8_t> data;
};

class StoreSection {
public:
    explicit StoreSection(QString path) : path_(std::move(path)) {}

    const QString& Path() const { return path_; } // "" is the root itself
    std::span<const StoreValue> Values() const { return values_; }
    const StoreValue* Find(QStringView name) const;
    // Adds the value, or replaces the type and data of the one of the same name (ignoring case),
    // which keeps its name and position.
    void Put(StoreValue value);

private:
    QString path_;
    std::vector<StoreValue> values_;
    QHash<QString, size_t> indexByFoldedName_;
};

class StoreDocument {
public:
    std::span<const StoreSection> Sections() const { return sections_; }

    // A key exists when it has a section or any key below it has one; the root always exists.
    bool KeyExists(const QString& path) const;
    const StoreSection* FindSection(const QString& path) const;
    // The key's section, added when missing. The reference lasts until the next section is added.
    StoreSection& SectionFor(const QString& path);
    const StoreValue* FindValue(const QString& path, QStringView name) const;

private:
    std::vector<StoreSection> sections_;
    QHash<QString, size_t> indexByFoldedPath_;
    QSet<QString> foldedKeys_; // every section's path and the paths above it
};

// Checks a key path and brings it to the stored form: components separated by single
// backslashes, one trailing backslash dropped. False for a leading or doubled backslash or a
// component with control characters or unpaired surrogates.
bool NormaliseKeyPath(QStringView keyPath, QString& normalised);

} // namespace mv
