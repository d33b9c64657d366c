#include "CXCopyThread.h"

#include "ExtractorJob.h"
#include "FolderHandle.h"
#include "Platform.h"
#include "Product.h"
#include "TestSeams.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMutexLocker>
#include <QProcess>

#include <algorithm>
#include <memory>
#include <vector>

using Platform::FolderHandle;

namespace {

QString password()
{
    return QStringLiteral(MIREVALE_ARCHIVE_PASSWORD);
}

// How often a running extractor is checked against a stop request.
const int stopPollMs = 50;
// How long a stop waits for the last process of the extractor to end.
const int stopWaitMs = 5000;

// The first file of a 7-Zip technical listing ("l -slt"), in the archive's
// own order: the first entry after the "----------" line that is no folder,
// preferring one with data (an empty file proves nothing about the
// password). Empty when the archive holds no file.
QString firstFile(const QByteArray &listing)
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

// Gives the data folder back the permissions it inherits when the run ends,
// however it ends.
class InheritOnExit
{
public:
    InheritOnExit(const FolderHandle &folder, const FolderHandle &parent)
        : m_folder(folder)
        , m_parent(parent)
    { }
    ~InheritOnExit() { m_folder.restoreInherited(m_parent); }
    InheritOnExit(const InheritOnExit &) = delete;
    InheritOnExit &operator=(const InheritOnExit &) = delete;

private:
    const FolderHandle &m_folder;
    const FolderHandle &m_parent;
};

// Starts the extractor front end in a job of its own. Nothing to answer on
// stdin: a question from 7-Zip reads end of input instead of hanging. The
// front end dies with us, even when we are killed from outside before it has
// set itself up.
bool startExtractor(QProcess &process, Platform::ExtractorJob &job, const QString &program,
                    const QStringList &arguments)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("MIREVALE_INSTALLER_PID"),
                       QString::number(QCoreApplication::applicationPid()));
    process.setProcessEnvironment(environment);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    job.prepare(process);
    process.start(program, arguments);
    if (!process.waitForStarted(-1))
        return false;
    job.adopt(process);
    return true;
}

// Kills the front end and whatever 7-Zip it started. The uninstaller may
// start next: 7-Zip must not hold files then.
void stopExtractor(QProcess &process, Platform::ExtractorJob &job)
{
    process.kill();
    process.waitForFinished(-1);
    job.terminateAndWait(stopWaitMs);
}

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
    if (m_stopped || m_refusal != Refusal::None || m_results.size() != 2)
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

CXCopyThread::Refusal CXCopyThread::refusal() const
{
    QMutexLocker locker(&m_mutex);
    return m_refusal;
}

QStringList CXCopyThread::refusedFor() const
{
    QMutexLocker locker(&m_mutex);
    return m_refusedFor;
}

qint64 CXCopyThread::archiveCheckMs() const
{
    QMutexLocker locker(&m_mutex);
    return m_archiveCheckMs;
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
        m_refusal = Refusal::None;
        m_refusedFor.clear();
        m_archiveCheckMs = -1;
        m_results.clear();
    }

    // Every folder is known before anything is touched: no path is built
    // from a folder that could not be found.
    const CInstallPaths paths = CInstallPaths::resolve(QString());
    if (!paths.isComplete()) {
        Refuse(Refusal::FolderUnknown, paths.missing());
        return;
    }
    QString appDir = m_sourceDir.isEmpty() ? QCoreApplication::applicationDirPath() : m_sourceDir;
#ifdef MIREVALE_TEST_SEAMS
    if (!TestSeams::current().payloadDir.isEmpty())
        appDir = TestSeams::current().payloadDir;
#endif
    const QString programDir = paths.programFolder();
    const QString dataDir = paths.dataFolder();
    const QString extractor = appDir + QStringLiteral("/" MIREVALE_EXTRACTOR);
    const QString firstArchive = appDir + QStringLiteral("/" MIREVALE_PROGRAM_ARCHIVE);
    const QString secondArchive = appDir + QStringLiteral("/" MIREVALE_DATA_ARCHIVE);

    // Without the whole payload the old installation is left as it is: it
    // could not be put back.
    QStringList missing;
    for (const QString &file : {extractor, firstArchive, secondArchive}) {
        if (!QFileInfo(file).isFile())
            missing << QFileInfo(file).fileName();
    }
    if (!missing.isEmpty()) {
        {
            QMutexLocker locker(&m_mutex);
            m_missingPayload = missing;
        }
        Refuse(Refusal::PayloadMissing, missing);
        return;
    }

    // Nor is anything deleted before both archives are known to open with
    // the password through the extractor that will unpack them.
    QElapsedTimer checking;
    checking.start();
    const QStringList archives {firstArchive, secondArchive};
    const int unusable = CheckArchives(extractor, archives);
    if (m_stopRequested) {
        MarkStopped();
        return;
    }
    if (unusable >= 0) {
        Refuse(Refusal::ArchiveUnusable, {QFileInfo(archives.at(unusable)).fileName()});
        return;
    }
    {
        QMutexLocker locker(&m_mutex);
        m_archiveCheckMs = checking.elapsed();
    }
    if (m_stopRequested) {
        MarkStopped();
        return;
    }

    // The data folder is made the installer's own before its content is
    // touched, and stays open until the run ends; then it inherits again.
    const FolderHandle appData = FolderHandle::open(paths.commonAppData());
    const FolderHandle data = appData.isValid() ? SecureDataFolder(appData) : FolderHandle();
    if (!data.isValid()) {
        if (m_stopRequested)
            MarkStopped();
        else
            Refuse(Refusal::DataFolderUnsafe, {dataDir});
        return;
    }
    const InheritOnExit inherit(data, appData);

    RemoveOldInstall(paths, data);
    if (m_stopRequested) {
        MarkStopped();
        return;
    }

    Platform::createDirectory(programDir);
    // A program folder made afresh is checked again: nothing but a real
    // folder is unpacked into (7-Zip makes it when its parents are missing).
    const QFileInfo programInfo(programDir);
    const bool programFolder = (!programInfo.exists() && !programInfo.isSymLink())
            || FolderHandle::open(programDir).isValid();
    const ExtractResult first = RunExtractor(extractor, firstArchive, programDir,
                                             m_programFreeOfLinks && programFolder);
    AddResult(first);
    // The second archive is extracted whatever became of the first, unless
    // the installation is being stopped.
    if (first.outcome == ExtractResult::Stopped || m_stopRequested) {
        MarkStopped();
        return;
    }
    const ExtractResult second = RunExtractor(extractor, secondArchive, dataDir, m_dataFreeOfLinks);
    AddResult(second);
    if (second.outcome == ExtractResult::Stopped)
        MarkStopped();
}

// Lists each archive with the password and tests its first file: proves
// that a 7-Zip runs behind the front end, that the archive is a 7z archive,
// that it is whole enough to list and that the password opens it. Testing
// the first file in the archive's order decodes only the start of a solid
// block. The archives are checked side by side: each command is mostly the
// extractor's start and its listing. Returns the index of the first archive
// that failed its check, -1 when all passed (or the check was stopped).
int CXCopyThread::CheckArchives(const QString &extractor, const QStringList &archives)
{
    const QStringList common {QStringLiteral("-t7z"), QStringLiteral("-sccUTF-8"),
                              QStringLiteral("-p%1").arg(password())};
    QVector<QStringList> listings;
    for (const QString &archive : archives)
        listings << QStringList {QStringLiteral("l"), QStringLiteral("-slt")} + common
                        + QStringList {QStringLiteral("--"), archive};
    QVector<QByteArray> listed;
    const QVector<int> listCodes = RunQuietly(extractor, listings, &listed);
    if (m_stopRequested)
        return -1;

    QVector<bool> usable(archives.size(), false);
    QVector<QStringList> tests;
    QVector<int> tested; // the archive of each test
    for (int i = 0; i < archives.size(); ++i) {
        if (listCodes.at(i) != 0 || !listed.at(i).contains("\nType = 7z"))
            continue;
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
    const QVector<int> testCodes = RunQuietly(extractor, tests, &outputs);
    if (m_stopRequested)
        return -1;
    for (int t = 0; t < tested.size(); ++t) {
        usable[tested.at(t)] = (testCodes.at(t) == 0 || testCodes.at(t) == 1)
                && !outputs.at(t).contains("No files to process");
    }
    return int(usable.indexOf(false));
}

// Runs short extractor commands side by side, all stopped at once on a stop
// request; the standard output of each goes to the output of the same index.
// Returns their exit codes, -1 for one that could not start, crashed or was
// stopped.
QVector<int> CXCopyThread::RunQuietly(const QString &program, const QVector<QStringList> &commands,
                                      QVector<QByteArray> *outputs)
{
    const int count = int(commands.size());
    outputs->fill(QByteArray(), count);
    QVector<int> codes(count, -1);
    std::vector<std::unique_ptr<QProcess>> processes;
    std::vector<std::unique_ptr<Platform::ExtractorJob>> jobs;
    for (int i = 0; i < count; ++i) {
        processes.emplace_back(new QProcess);
        jobs.emplace_back(new Platform::ExtractorJob);
        if (!startExtractor(*processes[i], *jobs[i], program, commands.at(i)))
            processes[i].reset();
    }
    for (bool running = true; running;) {
        running = false;
        for (int i = 0; i < count; ++i) {
            QProcess *process = processes[size_t(i)].get();
            if (!process || process->state() == QProcess::NotRunning)
                continue;
            if (!process->waitForFinished(stopPollMs / count))
                running = true;
            (*outputs)[i].append(process->readAllStandardOutput());
        }
        if (m_stopRequested) {
            for (int i = 0; i < count; ++i) {
                if (processes[size_t(i)])
                    stopExtractor(*processes[size_t(i)], *jobs[size_t(i)]);
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

// Opens the data folder as the installer's own: created with the protected
// permissions when it is not there (a link in its place is removed as a
// link), reset to them when it is there and belongs to a trusted owner, and
// removed entirely (hidden entries too, links never followed) and created
// afresh when someone else owns it. Invalid when none of that worked.
FolderHandle CXCopyThread::SecureDataFolder(const FolderHandle &appData)
{
    const QString name = CInstallPaths::folderName();
    for (int attempt = 0; attempt < 3 && !m_stopRequested; ++attempt) {
        FolderHandle::Opened how;
        FolderHandle folder = appData.child(name, &how);
        if (how == FolderHandle::Opened::Missing) {
            folder = appData.createProtected(name);
            if (folder.isValid())
                return folder;
            continue; // something took the name meanwhile: look again
        }
        if (how == FolderHandle::Opened::NotAFolder) {
            appData.remove(name);
            continue;
        }
        if (!folder.isValid())
            return FolderHandle();
        if (folder.trustedOwner())
            return folder.protect() ? appData.hold(name, std::move(folder)) : FolderHandle();
        // Not ours: nothing in it is kept.
        m_keepHidden = false;
        m_protectKept = false;
        const bool emptied = EmptyFolder(folder, true);
        m_keepHidden = true;
        if (!emptied || !appData.removeFolder(name, folder))
            return FolderHandle();
    }
    return FolderHandle();
}

// The program folder is deleted and the data folder emptied, in one walk
// each on handles: links are removed as links wherever they are, and the
// walk notes whether every folder in it could be opened and listed and
// every link removed, since 7-Zip follows a link to a folder that lies in
// the way of a path it writes.
void CXCopyThread::RemoveOldInstall(const CInstallPaths &paths, const FolderHandle &data)
{
    m_walkClean = true;
    DeleteDirectory(paths.programFolder());
    m_programFreeOfLinks = m_walkClean;
    if (m_stopRequested)
        return;

    // In the data folder, the folders that stay (they hold hidden entries)
    // get the installer's permissions too, so that no one else can write
    // into any folder 7-Zip unpacks into.
    m_walkClean = true;
    m_protectKept = true;
    EmptyFolder(data, true);
    m_protectKept = false;
    m_dataFreeOfLinks = m_walkClean;
}

// Deletes the folder with everything in it; true when it is gone or was
// never there. A link in its place is removed as a link.
bool CXCopyThread::DeleteDirectory(const QString &path)
{
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    const FolderHandle parent
            = FolderHandle::open(slash <= 0 ? QStringLiteral("/") : path.left(slash));
    if (!parent.isValid()) {
        // No parent folder, nothing to delete; one that cannot be opened
        // cannot be searched.
        const QFileInfo info(path);
        const bool nothing = !info.exists() && !info.isSymLink();
        m_walkClean = nothing;
        return nothing;
    }
    const QString name = path.mid(slash + 1);
    const FolderHandle::Kind kind = parent.kindOf(name);
    if (kind == FolderHandle::Kind::Gone)
        return true;
    return WalkEntry(parent, name, int(kind), false, true) == Walked::Removed;
}

// Walks the folder's entries in the order of their names, case ignored (as
// QDir lists them by default). While `deleting`,
// files and sub-folders are removed; the first that cannot be ends the
// deletion in this folder, and the rest is only searched for links. Hidden
// entries (and, on POSIX, FIFOs, sockets and devices) are kept while
// m_keepHidden, without ending the deletion; the folder holding one then
// stays. Links are removed everywhere, as links. True when the folder is
// empty at the end.
bool CXCopyThread::EmptyFolder(const FolderHandle &folder, bool deleting)
{
    QVector<FolderHandle::Entry> entries;
    if (!folder.list(&entries)) {
        m_walkClean = false;
        return false;
    }
    std::sort(entries.begin(), entries.end(),
              [](const FolderHandle::Entry &a, const FolderHandle::Entry &b) {
                  return a.name.compare(b.name, Qt::CaseInsensitive) < 0;
              });
    bool empty = true;
    for (const FolderHandle::Entry &entry : entries) {
        if (m_stopRequested)
            return false;
        const Walked walked
                = WalkEntry(folder, entry.name, int(entry.kind), entry.hidden, deleting);
        if (walked != Walked::Removed)
            empty = false;
        if (walked == Walked::Failed)
            deleting = false;
    }
    return empty;
}

// One entry of a walk, of the kind it had when listed. An entry that
// changed since (a folder swapped for a link, a file for a folder) is
// looked at once more as what it is now; it is never followed.
CXCopyThread::Walked CXCopyThread::WalkEntry(const FolderHandle &folder, const QString &name,
                                             int listedKind, bool hidden, bool deleting)
{
    using Kind = FolderHandle::Kind;
    Kind kind = Kind(listedKind);
    const bool keep = hidden && m_keepHidden;
    for (int look = 0; look < 3; ++look) {
        switch (kind) {
        case Kind::Gone:
            return Walked::Removed;
        case Kind::Link:
            if (folder.remove(name))
                return Walked::Removed;
            kind = folder.kindOf(name);
            if (kind == Kind::Link) {
                m_walkClean = false;
                return Walked::Failed;
            }
            break;
        case Kind::Folder: {
            FolderHandle::Opened how;
            const FolderHandle child = folder.child(name, &how);
            if (!child.isValid()) {
                if (how == FolderHandle::Opened::NotAFolder
                    || how == FolderHandle::Opened::Missing) {
                    kind = folder.kindOf(name);
                    break;
                }
                m_walkClean = false;
                return Walked::Failed;
            }
            const bool deleteChild = deleting && !keep;
            if (EmptyFolder(child, deleteChild) && deleteChild && folder.removeFolder(name, child))
                return Walked::Removed;
            if (m_stopRequested)
                return Walked::Failed;
            if (m_protectKept && !child.protect())
                m_walkClean = false;
            return keep ? Walked::Kept : Walked::Failed;
        }
        case Kind::File:
        case Kind::Other:
            if (keep || (kind == Kind::Other && m_keepHidden))
                return Walked::Kept;
            if (!deleting)
                return Walked::Failed;
            if (folder.remove(name))
                return Walked::Removed;
            {
                const Kind now = folder.kindOf(name);
                if (now == kind)
                    return Walked::Failed;
                kind = now;
            }
            break;
        }
    }
    m_walkClean = false;
    return Walked::Failed;
}

// Runs the extractor on one archive and waits for it in short steps, so that
// a stop request kills it at once.
CXCopyThread::ExtractResult CXCopyThread::RunExtractor(const QString &extractor,
                                                       const QString &archive,
                                                       const QString &folder,
                                                       bool folderFreeOfLinks)
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
        || archive.contains(QLatin1Char('?')) || !folderFreeOfLinks) {
        result.outcome = ExtractResult::Refused;
        return result;
    }

    const QStringList arguments {QStringLiteral("x"), QStringLiteral("-yo%1").arg(folder),
                                 QStringLiteral("-p%1").arg(password()), archive};
    QProcess process;
    // The output is not used.
    process.setStandardOutputFile(QProcess::nullDevice());
    Platform::ExtractorJob job;
    if (!startExtractor(process, job, extractor, arguments)) {
        result.outcome = ExtractResult::NotStarted;
        return result;
    }
    m_extractorPid = process.processId();
    while (process.state() != QProcess::NotRunning && !process.waitForFinished(stopPollMs)) {
        if (m_stopRequested) {
            stopExtractor(process, job);
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

void CXCopyThread::Refuse(Refusal refusal, const QStringList &what)
{
    QMutexLocker locker(&m_mutex);
    m_refusal = refusal;
    m_refusedFor = what;
}
