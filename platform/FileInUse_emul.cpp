#include "FileInUse.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace Platform {

QString firstFileInUse(const QString &folder, int limit)
{
    const QString root = QDir::cleanPath(QDir::fromNativeSeparators(folder));
    const QString canonical = QFileInfo(root).canonicalFilePath();
    QString first;
    int looked = 0;
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &pid : pids) {
        bool number = false;
        pid.toLongLong(&number);
        if (!number)
            continue;
        const QString base = QStringLiteral("/proc/") + pid;
        QStringList links = {base + QStringLiteral("/cwd"), base + QStringLiteral("/exe")};
        const QStringList fds = QDir(base + QStringLiteral("/fd"))
                                        .entryList(QDir::AllEntries | QDir::System | QDir::Hidden
                                                   | QDir::NoDotAndDotDot);
        for (const QString &fd : fds)
            links << base + QStringLiteral("/fd/") + fd;
        for (const QString &link : qAsConst(links)) {
            if (++looked > limit)
                return first;
            QString target = QFile::symLinkTarget(link);
            if (target.endsWith(QLatin1String(" (deleted)")))
                continue;
            for (const QString &prefix : {root, canonical}) {
                if (!prefix.isEmpty() && target.startsWith(prefix + QLatin1Char('/'))) {
                    target = root + target.mid(prefix.size());
                    if (first.isEmpty() || target < first)
                        first = target;
                }
            }
        }
    }
    return first;
}

} // namespace Platform
