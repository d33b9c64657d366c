#include "CXCopyThread.h"

#include "ArchiveCheck.h"
#include "CPayloadSeal.h"
#include "FolderHandle.h"
#include "OldInstallRemoval.h"
#include "Platform.h"
#include "Product.h"
#include "TestSeams.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMutexLocker>

using Platform::FolderHandle;

namespace {

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

    // The payload is held from here to the end and checked against the seal.
    CPayloadSeal seal(payloadFolder());

    // Without the whole payload the old installation is left as it is: it
    // could not be put back.
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

    // 1. Nor is anything deleted before both archives are known to open with
    // the password through the extractor that will unpack them.
    const bool usable = CheckArchives(extractor, archives);
    if (!stopNow() && !seal.archivesMatch())
        return Refuse(Refusal::PayloadDamaged, seal.mismatched());
    if (!usable)
        return;

    // 2. The data folder is made the installer's own before its content is
    // touched, and stays open until the run ends; then it inherits again.
    const OldInstallRemoval removal([this] { return stopNow(); });
    const FolderHandle appData = FolderHandle::open(paths.commonAppData());
    const FolderHandle data
            = appData.isValid() ? removal.secureDataFolder(appData) : FolderHandle();
    if (!data.isValid())
        return stopNow() ? MarkStopped() : Refuse(Refusal::DataFolderUnsafe, {paths.dataFolder()});
    const InheritOnExit inherit(data, appData);

    // 3. The old installation goes.
    const OldInstallRemoval::Result removed = removal.remove(paths.programFolder(), data);
    if (stopNow())
        return MarkStopped();

    // 4. Both archives are unpacked.
    Extract(extractor, archives, paths, removed.programFreeOfLinks, removed.dataFreeOfLinks);
}

// True when both archives passed; otherwise the run is refused or stopped.
bool CXCopyThread::CheckArchives(const QString &extractor, const QStringList &archives)
{
    QElapsedTimer checking;
    checking.start();
    const int unusable
            = ArchiveCheck(extractor, [this] { return stopNow(); }).firstUnusable(archives);
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
    return true;
}

// The second archive is extracted whatever became of the first, unless the
// installation is being stopped.
void CXCopyThread::Extract(const QString &extractor, const QStringList &archives,
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
    if (first.outcome == ExtractResult::Stopped || stopNow())
        return MarkStopped();

    const ExtractResult second
            = extractorRun.extract(archives.at(1), paths.dataFolder(), dataFreeOfLinks);
    Update([&second](Outcome &outcome) { outcome.results.append(second); });
    if (second.outcome == ExtractResult::Stopped)
        MarkStopped();
}

void CXCopyThread::Update(const std::function<void(Outcome &)> &change)
{
    QMutexLocker locker(&m_mutex);
    change(m_outcome);
}

void CXCopyThread::Refuse(Refusal refusal, const QStringList &what)
{
    Update([&](Outcome &outcome) {
        outcome.refusal = refusal;
        outcome.refusedFor = what;
    });
}

void CXCopyThread::MarkStopped()
{
    Update([](Outcome &outcome) { outcome.stopped = true; });
}
