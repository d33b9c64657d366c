#include "FileInUse.h"

#include "ProcFs_emul.h"

#include <QDir>
#include <QFileInfo>

namespace Platform {

QString firstFileInUse(const QString &folder, int limit)
{
    const QString root = QDir::cleanPath(QDir::fromNativeSeparators(folder));
    const QString canonical = QFileInfo(root).canonicalFilePath();
    QString first;
    int looked = 0;
    for (const QString &process : ProcFs::processFolders()) {
        for (const QString &link : ProcFs::usedLinks(process)) {
            if (++looked > limit)
                return first;
            bool deleted = false;
            QString target = ProcFs::linkTarget(link, &deleted);
            if (deleted)
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
