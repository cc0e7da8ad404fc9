#include "platform/store_text.h"

#include <QList>
#include <QStringDecoder>

namespace mv {

namespace {

constexpr uint32_t kTypeString = 1;
constexpr uint32_t kTypeDword = 4;

// ---- writing ----

QChar HexDigit(unsigned value) {
    return QLatin1Char("0123456789ABCDEF"[value & 0xF]);
}

void AppendUnitEscape(QString& out, char16_t unit) {
    out += QLatin1String("\\u");
    for (int shift = 12; shift >= 0; shift -= 4)
        out += HexDigit(unit >> shift);
}

void AppendQuoted(QString& out, QStringView text) {
    out += QLatin1Char('"');
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        switch (unit) {
        case u'"':
            out += QLatin1String("\\\"");
            continue;
        case u'\\':
            out += QLatin1String("\\\\");
            continue;
        case u'\0':
            out += QLatin1String("\\0");
            continue;
        case u'\n':
            out += QLatin1String("\\n");
            continue;
        case u'\r':
            out += QLatin1String("\\r");
            continue;
        case u'\t':
            out += QLatin1String("\\t");
            continue;
        default:
            break;
        }
        const bool control = unit < 0x20 || (unit >= 0x7F && unit <= 0x9F);
        const bool pairedHigh =
            QChar::isHighSurrogate(unit) && i + 1 < text.size() && text[i + 1].isLowSurrogate();
        if (pairedHigh) {
            out += text.mid(i, 2);
            ++i;
        } else if (control || QChar::isSurrogate(unit)) {
            AppendUnitEscape(out, unit);
        } else {
            out += QChar(unit);
        }
    }
    out += QLatin1Char('"');
}

bool IsPlainName(QStringView name) {
    if (name.isEmpty())
        return false;
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        const bool plain = (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') ||
                           (u >= '0' && u <= '9') || u == '_' || u == '-' || u == '.';
        if (!plain)
            return false;
    }
    return true;
}

QString UnitsOf(std::span<const uint8_t> littleEndian) {
    QString units;
    units.reserve(qsizetype(littleEndian.size() / 2));
    for (size_t i = 0; i + 1 < littleEndian.size(); i += 2)
        units += QChar(char16_t(littleEndian[i] | (littleEndian[i + 1] << 8)));
    return units;
}

bool IsTerminatedString(const StoreValue& value) {
    const auto& data = value.data;
    return value.type == kTypeString && data.size() >= 2 && data.size() % 2 == 0 &&
           data[data.size() - 1] == 0 && data[data.size() - 2] == 0;
}

void AppendValueLine(QString& out, const StoreValue& value) {
    if (IsPlainName(value.name))
        out += value.name;
    else
        AppendQuoted(out, value.name);
    out += QLatin1String(" = ");
    const auto& data = value.data;
    if (value.type == kTypeDword && data.size() == 4) {
        const uint32_t number = uint32_t(data[0]) | uint32_t(data[1]) << 8 |
                                uint32_t(data[2]) << 16 | uint32_t(data[3]) << 24;
        out += QLatin1String("dword:0x") +
               QString::number(number, 16).rightJustified(8, QLatin1Char('0')).toUpper();
    } else if (IsTerminatedString(value)) {
        out += QLatin1String("sz:");
        AppendQuoted(out, UnitsOf(std::span(data).first(data.size() - 2)));
    } else {
        out += QLatin1String("hex(") + QString::number(value.type) + QLatin1String("):");
        for (size_t i = 0; i < data.size(); ++i) {
            if (i > 0)
                out += QLatin1Char(',');
            out += HexDigit(data[i] >> 4);
            out += HexDigit(data[i]);
        }
    }
    out += QLatin1Char('\n');
}

// ---- reading ----

struct Cursor {
    QStringView text;
    qsizetype pos = 0;

    bool AtEnd() const { return pos >= text.size(); }
    char16_t Peek() const { return AtEnd() ? u'\0' : text[pos].unicode(); }
    bool Take(QLatin1StringView literal) {
        if (!text.mid(pos).startsWith(literal))
            return false;
        pos += literal.size();
        return true;
    }
    void SkipSpaces() {
        while (Peek() == u' ' || Peek() == u'\t')
            ++pos;
    }
};

int HexValue(char16_t c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Reads `count` hex digits, or 1 to `count` of them when `exact` is false.
bool ParseHex(Cursor& cursor, int count, bool exact, uint32_t& value) {
    value = 0;
    int digits = 0;
    while (digits < count && HexValue(cursor.Peek()) >= 0) {
        value = value << 4 | uint32_t(HexValue(cursor.Peek()));
        ++cursor.pos;
        ++digits;
    }
    return exact ? digits == count : digits > 0;
}

bool ParseQuoted(Cursor& cursor, QString& out) {
    if (!cursor.Take(QLatin1StringView("\"")))
        return false;
    while (!cursor.AtEnd()) {
        const char16_t unit = cursor.Peek();
        ++cursor.pos;
        if (unit == u'"')
            return true;
        if (unit < 0x20)
            return false;
        if (unit != u'\\') {
            out += QChar(unit);
            continue;
        }
        const char16_t escaped = cursor.Peek();
        ++cursor.pos;
        uint32_t code = 0;
        switch (escaped) {
        case u'"':
            out += QLatin1Char('"');
            break;
        case u'\\':
            out += QLatin1Char('\\');
            break;
        case u'0':
            out += QChar(u'\0');
            break;
        case u'n':
            out += QLatin1Char('\n');
            break;
        case u'r':
            out += QLatin1Char('\r');
            break;
        case u't':
            out += QLatin1Char('\t');
            break;
        case u'u':
            if (!ParseHex(cursor, 4, true, code))
                return false;
            out += QChar(char16_t(code));
            break;
        default:
            return false;
        }
    }
    return false;
}

bool ParseName(Cursor& cursor, QString& name) {
    if (cursor.Peek() == u'"')
        return ParseQuoted(cursor, name);
    const qsizetype start = cursor.pos;
    while (!cursor.AtEnd() && cursor.Peek() != u'=') {
        if (cursor.Peek() < 0x20 && cursor.Peek() != u'\t')
            return false;
        ++cursor.pos;
    }
    name = cursor.text.mid(start, cursor.pos - start).trimmed().toString();
    return !name.isEmpty();
}

void AppendLittleEndian(std::vector<uint8_t>& data, QStringView units) {
    for (const QChar unit : units) {
        data.push_back(uint8_t(unit.unicode() & 0xFF));
        data.push_back(uint8_t(unit.unicode() >> 8));
    }
}

bool ParseData(Cursor& cursor, StoreValue& value) {
    uint32_t number = 0;
    if (cursor.Take(QLatin1StringView("dword:0x"))) {
        if (!ParseHex(cursor, 8, false, number))
            return false;
        value.type = kTypeDword;
        value.data = {uint8_t(number), uint8_t(number >> 8), uint8_t(number >> 16),
                      uint8_t(number >> 24)};
        return true;
    }
    if (cursor.Take(QLatin1StringView("sz:"))) {
        QString text;
        if (!ParseQuoted(cursor, text))
            return false;
        value.type = kTypeString;
        AppendLittleEndian(value.data, text);
        value.data.insert(value.data.end(), {0, 0}); // the terminator the text form leaves out
        return true;
    }
    if (!cursor.Take(QLatin1StringView("hex(")))
        return false;
    uint64_t type = 0;
    qsizetype digits = 0;
    for (; cursor.Peek() >= u'0' && cursor.Peek() <= u'9' && digits < 10; ++digits, ++cursor.pos)
        type = type * 10 + (cursor.Peek() - u'0');
    if (digits == 0 || type > UINT32_MAX || !cursor.Take(QLatin1StringView("):")))
        return false;
    value.type = uint32_t(type);
    while (!cursor.AtEnd()) {
        if (!value.data.empty() && !cursor.Take(QLatin1StringView(",")))
            return false;
        if (!ParseHex(cursor, 2, true, number))
            return false;
        value.data.push_back(uint8_t(number));
    }
    return true;
}

bool ParseValueLine(QStringView line, StoreValue& value) {
    Cursor cursor{line};
    if (!ParseName(cursor, value.name))
        return false;
    cursor.SkipSpaces();
    if (!cursor.Take(QLatin1StringView("=")))
        return false;
    cursor.SkipSpaces();
    if (!ParseData(cursor, value))
        return false;
    return cursor.AtEnd();
}

bool ParseLines(QStringView text, StoreDocument& document) {
    StoreSection* current = nullptr;
    for (QStringView line : text.split(QLatin1Char('\n'))) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')) ||
            line.startsWith(QLatin1Char(';')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            QString path;
            if (!line.endsWith(QLatin1Char(']')) ||
                !NormaliseKeyPath(line.sliced(1).chopped(1), path))
                return false;
            current = &document.SectionFor(path);
            continue;
        }
        StoreValue value;
        if (current == nullptr || !ParseValueLine(line, value))
            return false;
        current->Put(std::move(value));
    }
    return true;
}

} // namespace

bool ParseStoreText(std::span<const uint8_t> bytes, StoreDocument& document) {
    document = {};
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text =
        decoder.decode(QByteArrayView(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    if (decoder.hasError() || !ParseLines(text, document)) {
        document = {};
        return false;
    }
    return true;
}

std::vector<uint8_t> FormatStoreText(const StoreDocument& document, std::string_view rootName) {
    QString out = QLatin1String("# tev-platform store: ") +
                  QLatin1String(rootName.data(), qsizetype(rootName.size())) +
                  QLatin1String(". Written by the program; values keep their exact bytes.\n");
    for (const StoreSection& section : document.Sections()) {
        out += QLatin1String("\n[") + section.Path() + QLatin1String("]\n");
        for (const StoreValue& value : section.Values())
            AppendValueLine(out, value);
    }
    const QByteArray utf8 = out.toUtf8();
    return {utf8.begin(), utf8.end()};
}

} // namespace mv
