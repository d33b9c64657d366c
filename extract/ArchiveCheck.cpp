#include "ArchiveCheck.h"

#include "ExtractorJob.h"
#include "ExtractorRun.h"
#include "InstallLog.h"

#include <QFileInfo>
#include <QList>
#include <QProcess>

#include <memory>
#include <vector>

ArchiveCheck::ArchiveCheck(const QString &extractor, std::function<bool()> stopNow)
    : m_extractor(extractor)
    , m_stopNow(std::move(stopNow))
{ }

QString ArchiveCheck::firstFile(const QByteArray &listing)
{
    const QList<QByteArray> lines = listing.split('\n');
    bool inEntries = false;
    QString path, firstEmpty;
    bool folder = false;
    qint64 size = 0;
    auto finish = [&]() -> bool {
        if (!path.isEmpty() && !folder) {
            if (size > 0)
                return true;
            if (firstEmpty.isEmpty())
                firstEmpty = path;
        }
        path.clear();
        folder = false;
        size = 0;
        return false;
    };
    for (QByteArray line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (!inEntries) {
            inEntries = line == "----------";
            continue;
        }
        if (line.isEmpty()) {
            if (finish())
                return path;
        } else if (line.startsWith("Path = ")) {
            if (finish())
                return path;
            path = QString::fromUtf8(line.mid(7));
        } else if (line.startsWith("Folder = ")) {
            folder = line.mid(9) == "+";
        } else if (line.startsWith("Attributes = ")) {
            folder = folder || line.mid(13).split(' ').value(0).contains('D');
        } else if (line.startsWith("Size = ")) {
            size = line.mid(7).toLongLong();
        }
    }
    if (finish())
        return path;
    return firstEmpty;
}

qint64 ArchiveCheck::unpackedSize(const QByteArray &listing)
{
    qint64 total = 0;
    bool inEntries = false;
    for (QByteArray line : listing.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (!inEntries)
            inEntries = line == "----------";
        else if (line.startsWith("Size = "))
            total += qMax(Q_INT64_C(0), line.mid(7).toLongLong());
    }
    return total;
}

// A check that failed, in the log: what it was, 7-Zip's exit code (-1: it
// did not run to its end) and the last line 7-Zip wrote.
void ArchiveCheck::logFailure(const QString &what, const QString &archive, int exitCode,
                              const QByteArray &output)
{
    const QList<QByteArray> lines = output.trimmed().split('\n');
    InstallLog::write(QStringLiteral("%1 %2 failed: 7-Zip exit code %3; %4")
                              .arg(what, QFileInfo(archive).fileName())
                              .arg(exitCode)
                              .arg(QString::fromUtf8(lines.last().trimmed())));
}

int ArchiveCheck::firstUnusable(const QStringList &archives, QVector<qint64> *unpackedSizes) const
{
    const QStringList common {QStringLiteral("-t7z"), QStringLiteral("-sccUTF-8"),
                              QStringLiteral("-p%1").arg(ExtractorRun::password())};
    QVector<QStringList> listings;
    for (const QString &archive : archives)
        listings << QStringList {QStringLiteral("l"), QStringLiteral("-slt")} + common
                        + QStringList {QStringLiteral("--"), archive};
    QVector<QByteArray> listed;
    const QVector<int> listCodes = runSideBySide(listings, &listed);
    if (m_stopNow())
        return -1;
    if (unpackedSizes) {
        unpackedSizes->clear();
        for (int i = 0; i < archives.size(); ++i)
            *unpackedSizes << (listCodes.at(i) == 0 ? unpackedSize(listed.at(i)) : 0);
    }

    QVector<bool> usable(archives.size(), false);
    QVector<QStringList> tests;
    QVector<int> tested; // the archive of each test
    for (int i = 0; i < archives.size(); ++i) {
        if (listCodes.at(i) != 0 || !listed.at(i).contains("\nType = 7z")) {
            logFailure(QStringLiteral("listing"), archives.at(i), listCodes.at(i), listed.at(i));
            continue;
        }
        const QString first = firstFile(listed.at(i));
        if (first.isEmpty()) {
            usable[i] = true; // nothing to decode: the listing was the whole proof
            continue;
        }
        // -spd: the name is a name, not a wildcard; after "--" it is no
        // switch and no list file either.
        tests << QStringList {QStringLiteral("t"), QStringLiteral("-spd")} + common
                        + QStringList {QStringLiteral("--"), archives.at(i), first};
        tested << i;
    }
    QVector<QByteArray> outputs;
    const QVector<int> testCodes = runSideBySide(tests, &outputs);
    if (m_stopNow())
        return -1;
    for (int t = 0; t < tested.size(); ++t) {
        usable[tested.at(t)] = (testCodes.at(t) == 0 || testCodes.at(t) == 1)
                && !outputs.at(t).contains("No files to process");
        if (!usable.at(tested.at(t)))
            logFailure(QStringLiteral("testing the first file of"), archives.at(tested.at(t)),
                       testCodes.at(t), outputs.at(t));
    }
    return int(usable.indexOf(false));
}

// Runs short extractor commands side by side, all stopped at once on a stop
// request; the standard output of each goes to the output of the same index.
// Returns their exit codes, -1 for one that could not start, crashed or was
// stopped.
QVector<int> ArchiveCheck::runSideBySide(const QVector<QStringList> &commands,
                                         QVector<QByteArray> *outputs) const
{
    const int count = int(commands.size());
    outputs->fill(QByteArray(), count);
    QVector<int> codes(count, -1);
    std::vector<std::unique_ptr<QProcess>> processes;
    std::vector<std::unique_ptr<Platform::ExtractorJob>> jobs;
    for (int i = 0; i < count; ++i) {
        processes.emplace_back(new QProcess);
        jobs.emplace_back(new Platform::ExtractorJob);
        if (!ExtractorRun::start(*processes[size_t(i)], *jobs[size_t(i)], m_extractor,
                                 commands.at(i)))
            processes[size_t(i)].reset();
    }
    for (bool running = true; running;) {
        running = false;
        for (int i = 0; i < count; ++i) {
            QProcess *process = processes[size_t(i)].get();
            if (!process || process->state() == QProcess::NotRunning)
                continue;
            if (!process->waitForFinished(ExtractorRun::stopPollMs / count))
                running = true;
            (*outputs)[i].append(process->readAllStandardOutput());
        }
        if (m_stopNow()) {
            for (int i = 0; i < count; ++i) {
                if (processes[size_t(i)])
                    ExtractorRun::stop(*processes[size_t(i)], *jobs[size_t(i)]);
            }
            return QVector<int>(count, -1);
        }
    }
    for (int i = 0; i < count; ++i) {
        QProcess *process = processes[size_t(i)].get();
        if (!process)
            continue;
        (*outputs)[i].append(process->readAllStandardOutput());
        codes[i] = process->exitStatus() == QProcess::NormalExit ? process->exitCode() : -1;
    }
    return codes;
}
