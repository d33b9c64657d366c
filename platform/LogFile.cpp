// What both systems' log files share: the unique name.
#include "LogFile.h"
#include "Platform.h"

#include <QCoreApplication>
#include <QDateTime>

namespace Platform {

std::unique_ptr<LogFile> LogFile::createInTemporaryFolder(const QString &prefix)
{
    const QString folder = temporaryFolder();
    if (folder.isEmpty())
        return nullptr;
    const QString stem = folder + QLatin1Char('/') + prefix + QLatin1Char('-')
            + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"))
            + QLatin1Char('-') + QString::number(QCoreApplication::applicationPid());
    for (int attempt = 1; attempt <= 100; ++attempt) {
        const QString suffix
                = attempt == 1 ? QString() : QLatin1Char('-') + QString::number(attempt);
        if (auto file = create(stem + suffix + QStringLiteral(".log")))
            return file;
    }
    return nullptr;
}

} // namespace Platform
