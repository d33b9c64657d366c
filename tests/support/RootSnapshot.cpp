#include "RootSnapshot.h"

#include "RegistryHive_emul.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace RootSnapshot {

QStringList installerPlaces()
{
    const QString product = QString::fromUtf8("Tarvo高效学习法");
    return {QStringLiteral("Program Files/Mirevale"), QStringLiteral("ProgramData/Mirevale"),
            QStringLiteral("Users/Public/Desktop/") + product + QStringLiteral(".lnk"),
            QStringLiteral("ProgramData/Microsoft/Windows/Start Menu/Programs/Mirevale"),
            QStringLiteral("Windows/registry/HKEY_LOCAL_MACHINE.reg")};
}

QMap<QString, QString> listing(const QString &root, const QStringList &excluded)
{
    QMap<QString, QString> entries;
    const QDir base(root);
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString name = base.relativeFilePath(path);
        bool skip = false;
        for (const QString &place : excluded)
            skip = skip || name == place || name.startsWith(place + QLatin1Char('/'));
        if (skip)
            continue;
        struct stat st;
        if (::lstat(QFile::encodeName(path).constData(), &st) != 0) {
            entries.insert(name, QStringLiteral("unreadable"));
            continue;
        }
        const QString mode = QString::number(st.st_mode & 07777, 8);
        if (S_ISLNK(st.st_mode)) {
            entries.insert(name, QStringLiteral("link -> ") + QFile::symLinkTarget(path));
        } else if (S_ISDIR(st.st_mode)) {
            entries.insert(name, QStringLiteral("dir ") + mode);
        } else {
            QFile file(path);
            QCryptographicHash hash(QCryptographicHash::Sha1);
            if (file.open(QIODevice::ReadOnly))
                hash.addData(&file);
            entries.insert(name,
                           QStringLiteral("file ") + mode + QLatin1Char(' ')
                                   + QString::fromLatin1(hash.result().toHex()));
        }
    }
    return entries;
}

QMap<QString, QString> registry(const QString &root)
{
    QMap<QString, QString> values;
    QFile file(root + QStringLiteral("/Windows/registry/HKEY_LOCAL_MACHINE.reg"));
    QSettings::SettingsMap map;
    if (!file.open(QIODevice::ReadOnly)
        || !RegistryHive::parse(file.readAll(), QStringLiteral("HKEY_LOCAL_MACHINE"), &map)) {
        values.insert(QStringLiteral("!"), QStringLiteral("unparseable"));
        return values;
    }
    const QString entry
            = QStringLiteral("SOFTWARE/Microsoft/Windows/CurrentVersion/Uninstall/Mirevale/");
    for (auto i = map.cbegin(); i != map.cend(); ++i) {
        if (i.key().startsWith(entry, Qt::CaseInsensitive))
            continue;
        const QVariant &v = i.value();
        values.insert(
                i.key(),
                v.canConvert<RegistryRawValue>() && v.userType() == qMetaTypeId<RegistryRawValue>()
                        ? QStringLiteral("raw ") + v.value<RegistryRawValue>().text
                        : QString::fromLatin1(v.typeName()) + QLatin1Char(' ') + v.toString());
    }
    return values;
}

QStringList differences(const QMap<QString, QString> &before, const QMap<QString, QString> &after)
{
    QStringList lines;
    for (auto i = before.cbegin(); i != before.cend(); ++i) {
        if (!after.contains(i.key()))
            lines << QStringLiteral("gone: ") + i.key();
        else if (after.value(i.key()) != i.value())
            lines << QStringLiteral("changed: ") + i.key() + QStringLiteral(" (") + i.value()
                            + QStringLiteral(" => ") + after.value(i.key()) + QLatin1Char(')');
    }
    for (auto i = after.cbegin(); i != after.cend(); ++i) {
        if (!before.contains(i.key()))
            lines << QStringLiteral("new: ") + i.key() + QStringLiteral(" ") + i.value();
    }
    return lines;
}

} // namespace RootSnapshot
