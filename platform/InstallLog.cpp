#include "InstallLog.h"

#include "LogFile.h"
#include "Product.h"

#include <QDateTime>
#include <QMutex>
#include <QMutexLocker>

#include <memory>

namespace {

QMutex logMutex;
std::unique_ptr<Platform::LogFile> logFile;

} // namespace

QString InstallLog::open(const QString &path)
{
    QMutexLocker locker(&logMutex);
    logFile = path.isEmpty()
            ? Platform::LogFile::createInTemporaryFolder(QStringLiteral("MirevaleSetup"))
            : Platform::LogFile::create(path);
    return logFile ? logFile->path() : QString();
}

void InstallLog::write(const QString &line)
{
    QString text = line;
    text.replace(QStringLiteral(MIREVALE_ARCHIVE_PASSWORD), QStringLiteral("********"));
    const QString stamp = QDateTime::currentDateTime().toString(Qt::ISODateWithMs);
    QMutexLocker locker(&logMutex);
    if (logFile)
        logFile->writeLine(stamp + QLatin1Char(' ') + text);
}

void InstallLog::close()
{
    QMutexLocker locker(&logMutex);
    logFile.reset();
}
