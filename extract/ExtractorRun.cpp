#include "ExtractorRun.h"

#include "ExtractorJob.h"
#include "Product.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>

namespace {

// How long a stop waits for the last process of the extractor to end.
const int stopWaitMs = 5000;

} // namespace

ExtractorRun::ExtractorRun(const QString &extractor, std::function<bool()> stopNow,
                           std::atomic<qint64> *processId)
    : m_extractor(extractor)
    , m_stopNow(std::move(stopNow))
    , m_processId(processId)
{ }

QString ExtractorRun::password()
{
    return QStringLiteral(MIREVALE_ARCHIVE_PASSWORD);
}

// Nothing to answer on stdin: a question from 7-Zip reads end of input
// instead of hanging. The front end dies with us, even when we are killed
// from outside before it has set itself up.
bool ExtractorRun::start(QProcess &process, Platform::ExtractorJob &job, const QString &program,
                         const QStringList &arguments)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("MIREVALE_INSTALLER_PID"),
                       QString::number(QCoreApplication::applicationPid()));
    process.setProcessEnvironment(environment);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    // Never the working folder we were started in: whoever started us chose
    // it. The extractor's own folder holds the payload the seal covers.
    process.setWorkingDirectory(QFileInfo(program).absolutePath());
    job.prepare(process);
    process.start(program, arguments);
    if (!process.waitForStarted(-1))
        return false;
    job.adopt(process);
    return true;
}

// The folders are put back or removed next: 7-Zip must not hold files then.
void ExtractorRun::stop(QProcess &process, Platform::ExtractorJob &job)
{
    process.kill();
    process.waitForFinished(-1);
    job.terminateAndWait(stopWaitMs);
}

// Waits in short steps, so that a stop request kills the extractor at once.
ExtractorRun::Result ExtractorRun::extract(const QString &archive, const QString &folder,
                                           bool folderFreeOfLinks) const
{
    Result result;
    result.archive = archive;
    result.folder = folder;
    if (m_stopNow()) {
        result.outcome = Result::Stopped;
        return result;
    }
    // 7-Zip reads "*" in the output folder as the archive's name and "*"
    // and "?" in the archive's path as wildcards: such a path would unpack
    // elsewhere, or other archives. (Windows allows neither in a name.)
    if (folder.contains(QLatin1Char('*')) || archive.contains(QLatin1Char('*'))
        || archive.contains(QLatin1Char('?')) || !folderFreeOfLinks) {
        result.outcome = Result::Refused;
        return result;
    }

    const QStringList arguments {QStringLiteral("x"), QStringLiteral("-yo%1").arg(folder),
                                 QStringLiteral("-p%1").arg(password()), archive};
    QProcess process;
    // The output is not used.
    process.setStandardOutputFile(QProcess::nullDevice());
    Platform::ExtractorJob job;
    if (!start(process, job, m_extractor, arguments)) {
        result.outcome = Result::NotStarted;
        return result;
    }
    const auto publish = [this](qint64 pid) {
        if (m_processId)
            *m_processId = pid;
    };
    publish(process.processId());
    while (process.state() != QProcess::NotRunning && !process.waitForFinished(stopPollMs)) {
        if (m_stopNow()) {
            stop(process, job);
            publish(0);
            result.outcome = Result::Stopped;
            return result;
        }
    }
    publish(0);
    if (process.exitStatus() == QProcess::CrashExit) {
        result.outcome = Result::Crashed;
    } else {
        result.outcome = Result::Exited;
        result.exitCode = process.exitCode();
    }
    return result;
}
