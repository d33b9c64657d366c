#include "PreflightCheck.h"

#include "Platform.h"
#include "RunningProcess.h"
#include "TestSeams.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

namespace {

// The nearest existing folder of path: itself or a parent.
QString nearestExisting(const QString &path)
{
    QString current = QDir::cleanPath(path);
    while (!QFileInfo::exists(current)) {
        const QString parent = QFileInfo(current).path();
        if (parent == current)
            break;
        current = parent;
    }
    return current;
}

qint64 freeBytes(const QString &path)
{
#ifdef MIREVALE_TEST_SEAMS
    if (const auto &seam = TestSeams::current().freeSpace)
        return seam(path);
#endif
    return Platform::freeSpace(path);
}

qint64 megabytes(qint64 bytes)
{
    return (bytes + 1024 * 1024 - 1) / (1024 * 1024);
}

} // namespace

QStringList PreflightCheck::runningPrograms(const QStringList &folders)
{
    QStringList programs;
    for (const QString &folder : folders) {
        const QVector<Platform::RunningProcess> running
                = Platform::RunningProcess::inFolder(folder);
        for (const Platform::RunningProcess &process : running) {
            const QString program = process.script.isEmpty() ? process.executable : process.script;
            if (!programs.contains(program))
                programs << program;
        }
    }
    return programs;
}

qint64 PreflightCheck::withMargin(qint64 bytes)
{
    return bytes + bytes * marginPercent / 100 + marginBytes;
}

QStringList PreflightCheck::tooLittleSpace(const QStringList &folders, const QVector<qint64> &bytes)
{
    // The folders grouped by volume, each volume's payload summed.
    QStringList existing;
    QVector<qint64> payload;
    for (int i = 0; i < folders.size(); ++i) {
        const QString folder = nearestExisting(folders.at(i));
        int volume = 0;
        while (volume < existing.size() && !Platform::sameVolume(existing.at(volume), folder))
            ++volume;
        if (volume == existing.size()) {
            existing << folder;
            payload << 0;
        }
        payload[volume] += bytes.value(i);
    }
    for (int volume = 0; volume < existing.size(); ++volume) {
        const qint64 needed = withMargin(payload.at(volume));
        const qint64 free = freeBytes(existing.at(volume));
        if (free >= 0 && free < needed) {
            return {QStorageInfo(existing.at(volume)).rootPath(),
                    QString::number(megabytes(needed)), QString::number(free / (1024 * 1024))};
        }
    }
    return {};
}
