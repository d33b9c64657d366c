#include "CXCopyThread.h"

#include "ExtractorJob.h"
#include "Platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QProcess>
#include <QSettings>

#include <memory>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

const char *const shellFoldersKey
        = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell "
          "Folders";

QString password()
{
    return QStringLiteral("#m8qzl#*&^%$!");
}

// How often a running extractor is checked against a stop request.
const int stopPollMs = 50;
// How long a stop waits for the last process of the extractor to end.
const int stopWaitMs = 5000;

// Removes a link itself (symbolic link, junction), never what it points to.
bool removeLink(const QFileInfo &link)
{
    if (QFile::remove(link.filePath()))
        return true;
    // A link to a folder on Windows goes with RemoveDirectoryW.
    return QDir(link.path()).rmdir(link.fileName());
}

// The folder being emptied. On POSIX systems its files are unlinked relative
// to one open handle, as rm does, instead of by full path: the kernel then
// does not walk the whole path again for every file.
class FolderHandle
{
public:
    explicit FolderHandle(const QString &path)
    {
#ifdef Q_OS_UNIX
        m_fd = ::open(QFile::encodeName(path).constData(),
                      O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
#else
        Q_UNUSED(path);
#endif
    }
    ~FolderHandle()
    {
#ifdef Q_OS_UNIX
        if (m_fd >= 0)
            ::close(m_fd);
#endif
    }
    FolderHandle(const FolderHandle &) = delete;
    FolderHandle &operator=(const FolderHandle &) = delete;

    // Removes the file `name` of the folder `dir`.
    bool remove(QDir &dir, const QString &name)
    {
#ifdef Q_OS_UNIX
        if (m_fd >= 0)
            return ::unlinkat(m_fd, QFile::encodeName(name).constData(), 0) == 0;
#endif
        return dir.remove(name);
    }

private:
#ifdef Q_OS_UNIX
    int m_fd = -1;
#endif
};

} // namespace

CXCopyThread::CXCopyThread(QObject *parent)
    : QThread(parent)
{ }

CXCopyThread::~CXCopyThread() = default;

void CXCopyThread::setSourceDir(const QString &dir)
{
    m_sourceDir = dir;
}

void CXCopyThread::requestStop()
{
    m_stopRequested = true;
}

bool CXCopyThread::succeeded() const
{
    QMutexLocker locker(&m_mutex);
    if (m_stopped || !m_missingPayload.isEmpty() || m_results.size() != 2)
        return false;
    for (const ExtractResult &result : m_results) {
        if (!result.succeeded())
            return false;
    }
    return true;
}

bool CXCopyThread::stopped() const
{
    QMutexLocker locker(&m_mutex);
    return m_stopped;
}

bool CXCopyThread::payloadMissing() const
{
    QMutexLocker locker(&m_mutex);
    return !m_missingPayload.isEmpty();
}

QStringList CXCopyThread::missingPayload() const
{
    QMutexLocker locker(&m_mutex);
    return m_missingPayload;
}

QVector<CXCopyThread::ExtractResult> CXCopyThread::results() const
{
    QMutexLocker locker(&m_mutex);
    return m_results;
}

qint64 CXCopyThread::extractorProcessId() const
{
    return m_extractorPid;
}

void CXCopyThread::run()
{
    {
        QMutexLocker locker(&m_mutex);
        m_stopped = false;
        m_missingPayload.clear();
        m_results.clear();
    }

    const QString appDir
            = m_sourceDir.isEmpty() ? QCoreApplication::applicationDirPath() : m_sourceDir;
    const QString programDir = Platform::systemRoot() + QStringLiteral("Program Files/")
            + QStringLiteral("Mirevale");
    const QString extractor = appDir + QStringLiteral("/7z.exe");
    const QString firstArchive = appDir + QStringLiteral("/") + QStringLiteral("tarvo.cab");
    const QString secondArchive = appDir + QStringLiteral("/") + QStringLiteral("data.cab");

    // Without the whole payload the old installation is left as it is: it
    // could not be put back.
    QStringList missing;
    for (const QString &file : {extractor, firstArchive, secondArchive}) {
        if (!QFileInfo(file).isFile())
            missing << QFileInfo(file).fileName();
    }
    if (!missing.isEmpty()) {
        QMutexLocker locker(&m_mutex);
        m_missingPayload = missing;
        return;
    }

    if (m_stopRequested) {
        MarkStopped();
        return;
    }
    RemoveOldInstall();
    if (m_stopRequested) {
        MarkStopped();
        return;
    }

    Platform::createDirectory(programDir);
    const ExtractResult first = RunExtractor(extractor, firstArchive, programDir);
    AddResult(first);
    // The second archive is extracted whatever became of the first, unless
    // the installation is being stopped.
    if (first.outcome == ExtractResult::Stopped || m_stopRequested) {
        MarkStopped();
        return;
    }

    // Finding the data folder reads the machine hive, which takes a moment
    // on a real machine: a stop that came meanwhile starts nothing more.
    const QString dataDir = DataFolder();
    if (m_stopRequested) {
        MarkStopped();
        return;
    }
    Platform::createDirectory(dataDir);
    const ExtractResult second = RunExtractor(extractor, secondArchive, dataDir);
    AddResult(second);
    if (second.outcome == ExtractResult::Stopped)
        MarkStopped();
}

void CXCopyThread::RemoveOldInstall()
{
    const QString programDir = Platform::systemRoot() + QStringLiteral("Program Files/")
            + QStringLiteral("Mirevale");
    const QString dataDir = DataFolder();
    // Links go first, all of them: the walk below may stop early, and 7-Zip
    // would unpack through a link to a folder that it left behind.
    RemoveLinks(programDir);
    DeleteDirectory(programDir);
    RemoveLinks(dataDir);
    DeleteDirectory(dataDir);
}

// Removes every link at or below path, as links, whatever else fails on
// the way; never follows one.
void CXCopyThread::RemoveLinks(const QString &path)
{
    if (m_stopRequested)
        return;
    const QFileInfo info(path);
    if (Platform::isLink(info)) {
        removeLink(info);
        return;
    }
    if (!info.isDir())
        return;
    const QFileInfoList entries = QDir(path).entryInfoList(
            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::NoSort);
    for (const QFileInfo &entry : entries) {
        if (Platform::isLink(entry))
            removeLink(entry);
        else if (entry.isDir())
            RemoveLinks(entry.filePath());
    }
}

// True when neither path nor anything below it is a link and every folder
// below it could be searched: only then may 7-Zip unpack there, since it
// follows a link to a folder that lies in the way of a path it writes.
bool CXCopyThread::FreeOfLinks(const QString &path) const
{
    const QFileInfo info(path);
    if (Platform::isLink(info))
        return false;
    if (!info.isDir())
        return true;
#ifdef Q_OS_WIN
    const bool searchable = info.isReadable();
#else
    const bool searchable = info.isReadable() && info.isExecutable();
#endif
    if (!searchable)
        return false;
    const QFileInfoList entries = QDir(path).entryInfoList(
            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::NoSort);
    for (const QFileInfo &entry : entries) {
        if (Platform::isLink(entry) || (entry.isDir() && !FreeOfLinks(entry.filePath())))
            return false;
    }
    return true;
}

// Deletes the folder with everything in it; true when it is gone or was never
// there. Hidden and system entries are not listed, so a folder holding one
// cannot be removed: the walk then stops there, in every enclosing folder too.
// Links are removed as links and never followed.
bool CXCopyThread::DeleteDirectory(const QString &path)
{
    if (m_stopRequested)
        return false;
    const QFileInfo info(path);
    if (Platform::isLink(info))
        return removeLink(info);
    QDir dir(path);
    if (!dir.exists())
        return true;

    const QFileInfoList entries
            = dir.entryInfoList(QDir::Dirs | QDir::Files | QDir::NoDotAndDotDot, QDir::NoSort);
    FolderHandle folder(path);
    for (const QFileInfo &entry : entries) {
        if (m_stopRequested)
            return false;
        if (Platform::isLink(entry)) {
            if (!removeLink(entry))
                return false;
        } else if (entry.isDir()) {
            if (!DeleteDirectory(entry.filePath()))
                return false;
        } else if (!folder.remove(dir, entry.fileName())) {
            return false;
        }
    }
    return QDir(info.path()).rmdir(info.fileName());
}

// The all-users application-data folder + "/Mirevale". A missing, empty or
// relative "Common AppData" gives way to the standard folder: no path is ever
// built from an empty value.
QString CXCopyThread::DataFolder() const
{
    const std::unique_ptr<QSettings> settings
            = Platform::openRegistryKey(QString::fromLatin1(shellFoldersKey));
    QString appData = settings->value(QStringLiteral("Common AppData"), QVariant()).toString();
    appData.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (appData.trimmed().isEmpty() || QDir::isRelativePath(appData))
        appData = Platform::standardFolder(Platform::StandardFolder::CommonAppData);
    return appData + QStringLiteral("/") + QStringLiteral("Mirevale");
}

// Runs the extractor on one archive and waits for it in short steps, so that
// a stop request kills it at once.
CXCopyThread::ExtractResult
CXCopyThread::RunExtractor(const QString &extractor, const QString &archive, const QString &folder)
{
    ExtractResult result;
    result.archive = archive;
    result.folder = folder;
    if (m_stopRequested) {
        result.outcome = ExtractResult::Stopped;
        return result;
    }
    // 7-Zip reads "*" in the output folder as the archive's name and "*"
    // and "?" in the archive's path as wildcards: such a path would unpack
    // elsewhere, or other archives. (Windows allows neither in a name.)
    if (folder.contains(QLatin1Char('*')) || archive.contains(QLatin1Char('*'))
        || archive.contains(QLatin1Char('?')) || !FreeOfLinks(folder)) {
        result.outcome = ExtractResult::Refused;
        return result;
    }

    const QStringList arguments {QStringLiteral("x"), QStringLiteral("-yo%1").arg(folder),
                                 QStringLiteral("-p%1").arg(password()), archive};
    QProcess process;
    // Nothing to answer on stdin: a question from 7-Zip reads end of input
    // instead of hanging. The output is not used.
    // The extractor front end dies with us, even when we are killed from
    // outside before it has set itself up.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("MIREVALE_INSTALLER_PID"),
                       QString::number(QCoreApplication::applicationPid()));
    process.setProcessEnvironment(environment);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    Platform::ExtractorJob job;
    job.prepare(process);
    process.start(extractor, arguments);
    if (!process.waitForStarted(-1)) {
        result.outcome = ExtractResult::NotStarted;
        return result;
    }
    job.adopt(process);
    m_extractorPid = process.processId();
    while (process.state() != QProcess::NotRunning && !process.waitForFinished(stopPollMs)) {
        if (m_stopRequested) {
            process.kill();
            process.waitForFinished(-1);
            // The uninstaller may start next: 7-Zip must not hold files then.
            job.terminateAndWait(stopWaitMs);
            m_extractorPid = 0;
            result.outcome = ExtractResult::Stopped;
            return result;
        }
    }
    m_extractorPid = 0;
    if (process.exitStatus() == QProcess::CrashExit) {
        result.outcome = ExtractResult::Crashed;
    } else {
        result.outcome = ExtractResult::Exited;
        result.exitCode = process.exitCode();
    }
    return result;
}

void CXCopyThread::AddResult(const ExtractResult &result)
{
    QMutexLocker locker(&m_mutex);
    m_results.append(result);
}

void CXCopyThread::MarkStopped()
{
    QMutexLocker locker(&m_mutex);
    m_stopped = true;
}
