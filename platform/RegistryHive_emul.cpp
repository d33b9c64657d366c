#include "RegistryHive_emul.h"

#include <QHash>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>

namespace {

const QString headerLine = QStringLiteral("Windows Registry Editor Version 5.00");
const QString defaultValueName = QStringLiteral(".");

// Case-insensitive spellings of key paths and value names: the first
// spelling seen of a path (or of a value in a key) is the one used.
class Spellings
{
public:
    // keyPath is "/"-separated, without value name; "" is the hive's root.
    QString keyPath(const QString &keyPath)
    {
        if (keyPath.isEmpty())
            return keyPath;
        QString lower;
        QString result;
        const QStringList segments = keyPath.split(QLatin1Char('/'));
        for (const QString &segment : segments) {
            if (!lower.isEmpty())
                lower += QLatin1Char('/');
            lower += segment.toLower();
            auto it = m_keys.constFind(lower);
            if (it == m_keys.constEnd())
                it = m_keys.insert(
                        lower, result.isEmpty() ? segment : result + QLatin1Char('/') + segment);
            result = *it;
        }
        return result;
    }

    // A settings-map key: key path and value name joined with "/".
    QString valueKey(const QString &key)
    {
        const int slash = key.lastIndexOf(QLatin1Char('/'));
        const QString path = keyPath(slash < 0 ? QString() : key.left(slash));
        const QString name = key.mid(slash + 1);
        const QString full = path.isEmpty() ? name : path + QLatin1Char('/') + name;
        auto it = m_values.constFind(full.toLower());
        if (it == m_values.constEnd())
            it = m_values.insert(full.toLower(), full);
        return *it;
    }

private:
    QHash<QString, QString> m_keys;
    QHash<QString, QString> m_values;
};

// Reads a quoted string starting at line[start] ('"'), with the escapes
// backslash-backslash and backslash-quote. On success *end is the index after the closing quote.
bool readQuoted(const QString &line, int start, QString *out, int *end)
{
    if (start >= line.size() || line.at(start) != QLatin1Char('"'))
        return false;
    out->clear();
    for (int i = start + 1; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (c == QLatin1Char('"')) {
            *end = i + 1;
            return true;
        }
        if (c == QLatin1Char('\\')) {
            if (++i >= line.size())
                return false;
            const QChar escaped = line.at(i);
            if (escaped != QLatin1Char('\\') && escaped != QLatin1Char('"'))
                return false;
            out->append(escaped);
        } else {
            out->append(c);
        }
    }
    return false;
}

QString quoted(const QString &text)
{
    QString result = text;
    result.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    result.replace(QLatin1Char('"'), QLatin1String("\\\""));
    return QLatin1Char('"') + result + QLatin1Char('"');
}

// The bytes of a hex value ("hex(1):41,00,00,00"), continuation lines
// ("\" at a line end, indented next line) joined. False if malformed.
bool hexBytes(const QString &raw, int *type, QByteArray *bytes)
{
    static const QRegularExpression form(QStringLiteral(
            "^hex(?:\\(([0-9a-fA-F]{1,8})\\))?:((?:[0-9a-fA-F]{2}(?:,[0-9a-fA-F]{2})*)?)$"));
    QString joined = raw;
    static const QRegularExpression continuation(QStringLiteral("\\\\\\n[ \\t]*"));
    joined.replace(continuation, QString());
    const QRegularExpressionMatch match = form.match(joined);
    if (!match.hasMatch())
        return false;
    *type = match.captured(1).isEmpty() ? 3 : match.captured(1).toInt(nullptr, 16);
    *bytes = QByteArray::fromHex(match.captured(2).remove(QLatin1Char(',')).toLatin1());
    return true;
}

// REG_SZ written as hex(1): UTF-16LE with its terminating zero. Used for
// strings that a quoted line cannot hold (line breaks, zero characters).
QString hexString(const QString &text)
{
    QByteArray bytes;
    for (const QChar c : text) {
        bytes.append(char(c.unicode() & 0xff));
        bytes.append(char(c.unicode() >> 8));
    }
    bytes.append(2, '\0');
    QString hex = QString::fromLatin1(bytes.toHex(','));
    return QStringLiteral("hex(1):") + hex;
}

// True when text survives the trip through UTF-8 (no unpaired surrogate).
bool isValidUnicode(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    return QString::fromUtf8(utf8.constData(), utf8.size()) == text;
}

// The file's text. A zero character or an unpaired surrogate makes it
// unreadable: neither can be written back as UTF-8 text.
bool decodeText(const QByteArray &data, QString *text)
{
    if (data.startsWith("\xff\xfe")) {
        if (data.size() % 2 != 0)
            return false;
        QString result;
        result.reserve(data.size() / 2);
        for (int i = 2; i < data.size(); i += 2)
            result.append(QChar(ushort(uchar(data.at(i)) | (uchar(data.at(i + 1)) << 8))));
        *text = result;
        return !result.contains(QChar(0)) && isValidUnicode(result);
    }
    const QByteArray body = data.startsWith("\xef\xbb\xbf") ? data.mid(3) : data;
    if (body.contains('\0'))
        return false;
    *text = QString::fromUtf8(body);
    return text->toUtf8() == body;
}

QVariant parseValue(const QStringList &lines, int *index, bool *ok, const QString &valueText)
{
    *ok = true;
    if (valueText.startsWith(QLatin1Char('"'))) {
        QString text;
        int end = 0;
        *ok = readQuoted(valueText, 0, &text, &end) && end == valueText.size();
        return text;
    }
    if (valueText.startsWith(QLatin1String("dword:"))) {
        static const QRegularExpression form(QStringLiteral("^[0-9a-fA-F]{8}$"));
        const QString digits = valueText.mid(6);
        *ok = form.match(digits).hasMatch();
        return int(digits.toUInt(nullptr, 16));
    }
    if (valueText.startsWith(QLatin1String("hex"))) {
        QString raw = valueText;
        while (raw.endsWith(QLatin1Char('\\'))) {
            if (++*index >= lines.size()) {
                *ok = false;
                return QVariant();
            }
            raw += QLatin1Char('\n') + lines.at(*index);
        }
        int type = 0;
        QByteArray bytes;
        if (!hexBytes(raw, &type, &bytes)) {
            *ok = false;
            return QVariant();
        }
        if (type == 1 && bytes.size() >= 2 && bytes.size() % 2 == 0
            && bytes.endsWith(QByteArray(2, '\0'))) {
            QString text;
            for (int i = 0; i + 2 < bytes.size(); i += 2)
                text.append(QChar(ushort(uchar(bytes.at(i)) | (uchar(bytes.at(i + 1)) << 8))));
            return text;
        }
        return QVariant::fromValue(RegistryRawValue {raw});
    }
    *ok = false;
    return QVariant();
}

} // namespace

namespace RegistryHive {

bool sameValue(const QVariant &a, const QVariant &b)
{
    if (a.userType() != b.userType())
        return false;
    if (a.userType() == qMetaTypeId<RegistryRawValue>())
        return a.value<RegistryRawValue>().text == b.value<RegistryRawValue>().text;
    return a == b;
}

bool parse(const QByteArray &data, const QString &hiveName, QSettings::SettingsMap *map)
{
    map->clear();
    if (data.isEmpty())
        return true;
    QString text;
    if (!decodeText(data, &text))
        return false;
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString &line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    }

    int i = 0;
    while (i < lines.size() && lines.at(i).trimmed().isEmpty())
        ++i;
    if (i >= lines.size() || lines.at(i) != headerLine)
        return false;

    Spellings spellings;
    QSettings::SettingsMap result;
    bool inSection = false;
    QString keyPath;
    for (++i; i < lines.size(); ++i) {
        const QString line = lines.at(i);
        if (line.trimmed().isEmpty())
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            if (!line.endsWith(QLatin1Char(']')))
                return false;
            QStringList segments = line.mid(1, line.size() - 2).split(QLatin1Char('\\'));
            if (segments.first().compare(hiveName, Qt::CaseInsensitive) != 0)
                return false;
            segments.removeFirst();
            for (const QString &segment : segments) {
                if (segment.isEmpty() || segment.contains(QLatin1Char('/')))
                    return false;
            }
            keyPath = spellings.keyPath(segments.join(QLatin1Char('/')));
            inSection = true;
            continue;
        }
        if (!inSection)
            return false;

        QString name;
        int pos = 0;
        if (line.startsWith(QLatin1Char('@'))) {
            name = defaultValueName;
            pos = 1;
        } else if (!readQuoted(line, 0, &name, &pos) || name.isEmpty()) {
            return false;
        }
        if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')))
            return false;
        if (pos >= line.size() || line.at(pos) != QLatin1Char('='))
            return false;
        bool ok = false;
        const QVariant value = parseValue(lines, &i, &ok, line.mid(pos + 1));
        if (!ok)
            return false;
        const QString key = keyPath.isEmpty() ? name : keyPath + QLatin1Char('/') + name;
        result.insert(spellings.valueKey(key), value);
    }
    *map = result;
    return true;
}

QByteArray serialize(const QString &hiveName, const QSettings::SettingsMap &map)
{
    struct Section
    {
        QString path;
        QMap<QString, QString> lines; // by lower-case value name
    };
    QMap<QString, Section> sections; // by lower-case path, segments apart
    for (auto it = map.constBegin(); it != map.constEnd(); ++it) {
        const QString &key = it.key();
        const int slash = key.lastIndexOf(QLatin1Char('/'));
        const QString path = slash < 0 ? QString() : key.left(slash);
        const QString name = key.mid(slash + 1);
        QString sortKey = path.toLower();
        sortKey.replace(QLatin1Char('/'), QChar(1));

        const QVariant &value = it.value();
        QString data;
        if (value.userType() == qMetaTypeId<RegistryRawValue>()) {
            data = value.value<RegistryRawValue>().text;
        } else if (value.userType() == QMetaType::Int || value.userType() == QMetaType::UInt) {
            data = QStringLiteral("dword:%1").arg(value.toUInt(), 8, 16, QLatin1Char('0'));
        } else {
            const QString text = value.toString();
            const bool quotable = !text.contains(QLatin1Char('\n'))
                    && !text.contains(QLatin1Char('\r')) && !text.contains(QChar(0))
                    && isValidUnicode(text);
            data = quotable ? quoted(text) : hexString(text);
        }
        Section &section = sections[sortKey];
        section.path = path;
        section.lines.insert(name.toLower(),
                             (name == defaultValueName ? QStringLiteral("@") : quoted(name))
                                     + QLatin1Char('=') + data);
    }

    QString text = headerLine + QLatin1String("\n\n");
    for (const Section &section : qAsConst(sections)) {
        QString path = hiveName;
        if (!section.path.isEmpty())
            path += QLatin1Char('\\')
                    + QString(section.path).replace(QLatin1Char('/'), QLatin1Char('\\'));
        text += QLatin1Char('[') + path + QLatin1String("]\n");
        for (const QString &line : section.lines)
            text += line + QLatin1Char('\n');
        text += QLatin1Char('\n');
    }
    return text.toUtf8();
}

QSettings::SettingsMap mergeCaseVariants(const QSettings::SettingsMap &map,
                                         const QSettings::SettingsMap &known)
{
    Spellings spellings;
    for (auto it = known.constBegin(); it != known.constEnd(); ++it)
        spellings.valueKey(it.key());

    QSettings::SettingsMap result;
    for (auto it = map.constBegin(); it != map.constEnd(); ++it) {
        const QString key = spellings.valueKey(it.key());
        auto existing = result.find(key);
        if (existing == result.end()) {
            result.insert(key, it.value());
            continue;
        }
        // Two spellings of one value: the one still equal to the file is
        // the old one.
        const auto onDisk = known.constFind(key);
        if (onDisk != known.constEnd() && sameValue(existing.value(), onDisk.value()))
            existing.value() = it.value();
    }
    return result;
}

QString existingKeySpelling(const QSettings::SettingsMap &map, const QString &keyPath)
{
    Spellings spellings;
    for (auto it = map.constBegin(); it != map.constEnd(); ++it)
        spellings.valueKey(it.key());
    return spellings.keyPath(keyPath);
}

} // namespace RegistryHive
