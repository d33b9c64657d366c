#include "ProcFs_emul.h"

#include <QDir>
#include <QFile>

namespace Platform {
namespace ProcFs {

QStringList processFolders()
{
    QStringList folders;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &entry : entries) {
        bool number = false;
        entry.toLongLong(&number);
        if (number)
            folders << QStringLiteral("/proc/") + entry;
    }
    return folders;
}

qint64 pidOf(const QString &processFolder)
{
    return processFolder.mid(processFolder.lastIndexOf(QLatin1Char('/')) + 1).toLongLong();
}

QString linkTarget(const QString &link, bool *deleted)
{
    QString target = QFile::symLinkTarget(link);
    const bool gone = target.endsWith(QLatin1String(" (deleted)"));
    if (gone)
        target.chop(10);
    if (deleted)
        *deleted = gone;
    return target;
}

QStringList usedLinks(const QString &processFolder)
{
    QStringList links
            = {processFolder + QStringLiteral("/cwd"), processFolder + QStringLiteral("/exe")};
    const QStringList fds = QDir(processFolder + QStringLiteral("/fd"))
                                    .entryList(QDir::AllEntries | QDir::System | QDir::Hidden
                                               | QDir::NoDotAndDotDot);
    for (const QString &fd : fds)
        links << processFolder + QStringLiteral("/fd/") + fd;
    return links;
}

} // namespace ProcFs
} // namespace Platform
