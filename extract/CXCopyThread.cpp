#include "CXCopyThread.h"

#include "ArchiveCheck.h"
#include "CPayloadSeal.h"
#include "FolderHandle.h"
#include "FolderWalk.h"
#include "InstallLog.h"
#include "OldInstallRemoval.h"
#include "Platform.h"
#include "PreflightCheck.h"
#include "Product.h"
#include "TestSeams.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMutexLocker>

using Platform::FolderHandle;

namespace {

// Gives the data folder back the permissions it inherits when the run ends,
// however it ends (success, failure, stop), then the folders the walk in it
// protected or took over, each after its parent.
class InheritOnExit
{
public:
    InheritOnExit(const FolderHandle &folder, const FolderHandle &parent, FolderWalk &walk)
        : m_folder(folder)
        , m_parent(parent)
        , m_walk(walk)
    { }
    ~InheritOnExit()
    {
        m_folder.restoreInherited(m_parent);
        m_walk.restoreInherited(m_folder);
    }
    InheritOnExit(const InheritOnExit &) = delete;
    InheritOnExit &operator=(const InheritOnExit &) = delete;

private:
    const FolderHandle &m_folder;
    const FolderHandle &m_parent;
    FolderWalk &m_walk;
};

// The folder holding 7z.exe, tarvo.cab and data.cab: the installer's own.
QString payloadFolder()
{
#ifdef MIREVALE_TEST_SEAMS
    if (!TestSeams::current().payloadDir.isEmpty())
        return TestSeams::current().payloadDir;
#endif
    return QCoreApplication::applicationDirPath();
}

} // namespace

bool CXCopyThread::Outcome::succeeded() const
{
    if (stopped || refusal != Refusal::None || results.size() != 2)
        return false;
    for (const ExtractResult &result : results) {
        if (!result.succeeded())
            return false;
    }
    return true;
}

CXCopyThread::CXCopyThread(QObject *parent)
    : QThread(parent)
{ }

CXCopyThread::~CXCopyThread() = default;

void CXCopyThread::setInstallPaths(const CInstallPaths &paths)
{
    m_paths = paths;
    m_pathsGiven = true;
}

CXCopyThread::Outcome CXCopyThread::outcome() const
{
    QMutexLocker locker(&m_mutex);
    return m_outcome;
}

qint64 CXCopyThread::extractorProcessId() const
{
    return m_extractorPid;
}

void CXCopyThread::run()
{
    Update([](Outcome &outcome) { outcome = Outcome(); });

    // Every folder is known before anything is touched: no path is built
    // from a folder that could not be found.
    const CInstallPaths paths = m_pathsGiven ? m_paths : CInstallPaths::resolve(QString());
    if (!paths.isComplete())
        return Refuse(Refusal::FolderUnknown, paths.missing());

    // What an earlier run that was ended left aside is put back first.
    InstallationSwap swap(paths, [this] { return stopNow(); });
    const QStringList restored = swap.recoverLeftovers();
    const bool hadOld = swap.oldInstallationFound();
    if (!restored.isEmpty())
        InstallLog::write(QStringLiteral("put back what an ended run had left aside: %1")
                                  .arg(restored.join(QStringLiteral(", "))));
    InstallLog::write(hadOld ? QStringLiteral("an earlier installation is there")
                             : QStringLiteral("no earlier installation"));
    Update([&](Outcome &outcome) {
        outcome.restoredAtStart = restored;
        outcome.oldInstallation = hadOld ? OldInstallation::Intact : OldInstallation::None;
    });

    // The payload is held from here to the end and checked against the seal.
    CPayloadSeal seal(payloadFolder());

    // Without the whole payload nothing is changed.
    const QString source = seal.folder();
    const QString extractor = source + QStringLiteral("/" MIREVALE_EXTRACTOR);
    const QStringList archives {source + QStringLiteral("/" MIREVALE_PROGRAM_ARCHIVE),
                                source + QStringLiteral("/" MIREVALE_DATA_ARCHIVE)};
    QStringList missing;
    for (const QString &file : QStringList {extractor} + archives) {
        if (!QFileInfo(file).isFile())
            missing << QFileInfo(file).fileName();
    }
    if (!missing.isEmpty())
        return Refuse(Refusal::PayloadMissing, missing);
    if (!seal.programsMatch())
        return Refuse(Refusal::PayloadDamaged, seal.mismatched());

    // 1. Nor before both archives are known to open with the password
    // through the extractor that will unpack them,
    QVector<qint64> sizes;
    const bool usable = CheckArchives(extractor, archives, &sizes);
    if (!stopNow() && !seal.archivesMatch())
        return Refuse(Refusal::PayloadDamaged, seal.mismatched());
    if (!usable)
        return;

    // 2. nor while the product runs or when the new installation does not
    // fit beside the old one.
    QElapsedTimer preflight;
    preflight.start();
    if (!CheckBeforeChanges(paths, sizes))
        return;

    // 3. The old installation is set aside, whole.
    if (!SetAside(swap))
        return;
    const qint64 preflightMs = preflight.elapsed();
    Update([preflightMs](Outcome &outcome) { outcome.preflightMs = preflightMs; });
    InstallLog::write(
            QStringLiteral("checked before changes and set aside (%1 ms)").arg(preflightMs));

    // 4. Both archives are unpacked into fresh folders; then the old
    // installation goes, or, on a failure or a stop, comes back.
    const bool installed = InstallNew(extractor, archives, paths, swap);
    Finish(swap, installed, hadOld);
}

// True when both archives passed; otherwise the run is refused or stopped.
bool CXCopyThread::CheckArchives(const QString &extractor, const QStringList &archives,
                                 QVector<qint64> *sizes)
{
    QElapsedTimer checking;
    checking.start();
    const int unusable
            = ArchiveCheck(extractor, [this] { return stopNow(); }).firstUnusable(archives, sizes);
    if (stopNow()) {
        MarkStopped();
        return false;
    }
    if (unusable >= 0) {
        Refuse(Refusal::ArchiveUnusable, {QFileInfo(archives.at(unusable)).fileName()});
        return false;
    }
    const qint64 ms = checking.elapsed();
    Update([ms](Outcome &outcome) { outcome.archiveCheckMs = ms; });
    qint64 total = 0;
    for (qint64 size : *sizes)
        total += size;
    InstallLog::write(QStringLiteral("both archives open with the password (%1 ms); unpacked %2 MB")
                              .arg(ms)
                              .arg(total / (1024 * 1024)));
    return true;
}

// True when no program of the product runs and the payload fits.
bool CXCopyThread::CheckBeforeChanges(const CInstallPaths &paths, const QVector<qint64> &sizes)
{
    const QStringList folders {paths.programFolder(), paths.dataFolder()};
    const QStringList running = PreflightCheck::runningPrograms(folders);
    if (!running.isEmpty()) {
        Refuse(Refusal::ProductRunning, running);
        return false;
    }
    const QStringList volume = PreflightCheck::tooLittleSpace(folders, sizes);
    if (!volume.isEmpty()) {
        Refuse(Refusal::DiskFull, volume);
        return false;
    }
    if (stopNow()) {
        MarkStopped();
        return false;
    }
    return true;
}

// True when the old installation's folders are aside (or there were none).
bool CXCopyThread::SetAside(InstallationSwap &swap)
{
    QString folder, file;
    switch (swap.setAside(&folder, &file)) {
    case InstallationSwap::SetAside::Done:
        return true;
    case InstallationSwap::SetAside::Stopped:
        MarkStopped();
        return false;
    case InstallationSwap::SetAside::InUse:
        Refuse(Refusal::FilesInUse,
               file.isEmpty() ? QStringList {folder} : QStringList {folder, file});
        return false;
    case InstallationSwap::SetAside::Failed:
        break;
    }
    Refuse(Refusal::FolderNotMovable, {folder});
    return false;
}

// True when both archives were unpacked into the fresh folders.
bool CXCopyThread::InstallNew(const QString &extractor, const QStringList &archives,
                              const CInstallPaths &paths, InstallationSwap &swap)
{
    // The fresh data folder is the installer's own before anything goes into
    // it, and stays open until the extraction ends; then it inherits again.
    const OldInstallRemoval removal([this] { return stopNow(); });
    const FolderHandle appData = FolderHandle::open(paths.commonAppData());
    const FolderHandle data
            = appData.isValid() ? removal.secureDataFolder(appData) : FolderHandle();
    if (!data.isValid()) {
        if (stopNow())
            MarkStopped();
        else
            Refuse(Refusal::DataFolderUnsafe, {paths.dataFolder()});
        return false;
    }
    // The machine's hidden entries move over; the walk then removes any
    // link among them and gives their folders the installer's permissions
    // (taking over those that shut it out) until the guard gives them back.
    FolderWalk kept({/*keepHidden*/ true, /*protectKept*/ true, /*takeOver*/ true},
                    [this] { return stopNow(); });
    const InheritOnExit inherit(data, appData, kept);
    swap.moveKeptEntries();
    kept.empty(data);
    if (stopNow()) {
        MarkStopped();
        return false;
    }
    return Extract(extractor, archives, paths, true, kept.isClean());
}

// Removes the old installation after a complete one, puts it back otherwise.
void CXCopyThread::Finish(InstallationSwap &swap, bool installed, bool hadOldInstallation)
{
    if (installed) {
        swap.commit(); // what stays is removed by the next run
        InstallLog::write(QStringLiteral("the new installation is in place"));
        Update([hadOldInstallation](Outcome &outcome) {
            outcome.oldInstallation
                    = hadOldInstallation ? OldInstallation::Replaced : OldInstallation::None;
        });
        return;
    }
    const bool aside = swap.programSetAside() || swap.dataSetAside();
    const bool whole = swap.rollBack();
    InstallLog::write(whole ? QStringLiteral("the old installation is as it was")
                            : QStringLiteral("part of the old installation waits aside for the "
                                             "next run"));
    Update([=](Outcome &outcome) {
        if (!hadOldInstallation)
            outcome.oldInstallation = OldInstallation::None;
        else if (!whole)
            outcome.oldInstallation = OldInstallation::NotRestored;
        else
            outcome.oldInstallation = aside ? OldInstallation::Restored : OldInstallation::Intact;
    });
}

// True when both archives were unpacked; the second is not tried after the
// first failed, nor when the installation is being stopped.
bool CXCopyThread::Extract(const QString &extractor, const QStringList &archives,
                           const CInstallPaths &paths, bool programFreeOfLinks,
                           bool dataFreeOfLinks)
{
    const QString programDir = paths.programFolder();
    Platform::createDirectory(programDir);
    // A program folder made afresh is checked again: nothing but a real
    // folder is unpacked into (7-Zip makes it when its parents are missing).
    const QFileInfo programInfo(programDir);
    const bool programFolder = (!programInfo.exists() && !programInfo.isSymLink())
            || FolderHandle::open(programDir).isValid();

    const ExtractorRun extractorRun(
            extractor, [this] { return stopNow(); }, &m_extractorPid);
    const ExtractResult first
            = extractorRun.extract(archives.at(0), programDir, programFreeOfLinks && programFolder);
    Update([&first](Outcome &outcome) { outcome.results.append(first); });
    LogExtraction(first);
    if (first.outcome == ExtractResult::Stopped || stopNow()) {
        MarkStopped();
        return false;
    }
    if (!first.succeeded())
        return false;

    const ExtractResult second
            = extractorRun.extract(archives.at(1), paths.dataFolder(), dataFreeOfLinks);
    Update([&second](Outcome &outcome) { outcome.results.append(second); });
    LogExtraction(second);
    if (second.outcome == ExtractResult::Stopped || stopNow()) {
        MarkStopped();
        return false;
    }
    return second.succeeded();
}

void CXCopyThread::Update(const std::function<void(Outcome &)> &change)
{
    QMutexLocker locker(&m_mutex);
    change(m_outcome);
}

void CXCopyThread::LogExtraction(const ExtractResult &result)
{
    InstallLog::write(QStringLiteral("unpacked %1 into %2: outcome %3, 7-Zip exit code %4")
                              .arg(QFileInfo(result.archive).fileName(), result.folder)
                              .arg(int(result.outcome))
                              .arg(result.exitCode));
}

void CXCopyThread::Refuse(Refusal refusal, const QStringList &what)
{
    InstallLog::write(QStringLiteral("refused (%1): %2")
                              .arg(int(refusal))
                              .arg(what.join(QStringLiteral(", "))));
    Update([&](Outcome &outcome) {
        outcome.refusal = refusal;
        outcome.refusedFor = what;
    });
}

void CXCopyThread::MarkStopped()
{
    InstallLog::write(QStringLiteral("stopped"));
    Update([](Outcome &outcome) { outcome.stopped = true; });
}
