#pragma once
// The platform store's content in memory: keys (sections) with typed values, as one root's file
// holds them. Key paths are kept without a trailing backslash; lookups ignore letter case.

#include <QString>
#include <cstdint>
#include <string_view>
#include <vector>

namespace mv {

struct StoreValue {
    QString name;
    uint32_t type = 0;
    std::vector<uint8_t> data;
};

struct StoreSection {
    QString path; // "" is the root itself
    std::vector<StoreValue> values;
};

struct StoreDocument {
    std::vector<StoreSection> sections;
};

// Checks a key path and brings it to the stored form: components separated by single
// backslashes, one trailing backslash dropped. False for a leading or doubled backslash or a
// component with control characters or unpaired surrogates.
bool NormaliseKeyPath(QStringView keyPath, QString& normalised);

// A key exists when it has a section or any key below it has one; the root always exists.
bool KeyExists(const StoreDocument& document, const QString& path);

StoreSection* FindSection(StoreDocument& document, const QString& path);
// The key's section, added when missing.
StoreSection& SectionFor(StoreDocument& document, const QString& path);
const StoreValue* FindValue(const StoreDocument& document, const QString& path, QStringView name);
// Adds the value, or replaces the type and data of the one of the same name (ignoring case),
// which keeps its name and position.
void PutValue(StoreSection& section, StoreValue value);

} // namespace mv
