// The query shared by both systems' lists of running processes.
#include "RunningProcess.h"

#include <QDir>

namespace Platform {

namespace {

#ifdef Q_OS_WIN
const Qt::CaseSensitivity pathCase = Qt::CaseInsensitive;
#else
const Qt::CaseSensitivity pathCase = Qt::CaseSensitive;
#endif

bool isInside(const QString &path, const QString &folder)
{
    return !path.isEmpty() && path.startsWith(folder, pathCase);
}

} // namespace

QVector<RunningProcess> RunningProcess::inFolder(const QString &folder)
{
    QString prefix = QDir::cleanPath(QDir::fromNativeSeparators(folder));
    if (prefix.isEmpty())
        return {};
    if (!prefix.endsWith(QLatin1Char('/')))
        prefix += QLatin1Char('/');
    // A folder reached through a link is also the folder its processes name.
    QString canonical = QDir(prefix).canonicalPath();
    if (!canonical.isEmpty() && !canonical.endsWith(QLatin1Char('/')))
        canonical += QLatin1Char('/');
    QVector<RunningProcess> found;
    const QVector<RunningProcess> processes = all();
    for (const RunningProcess &process : processes) {
        for (const QString &path : {process.executable, process.script}) {
            if (isInside(path, prefix) || (!canonical.isEmpty() && isInside(path, canonical))) {
                found.append(process);
                break;
            }
        }
    }
    return found;
}

} // namespace Platform
