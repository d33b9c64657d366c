#include "InstallationSwap.h"

#include "FileInUse.h"
#include "FolderHandle.h"
#include "FolderWalk.h"
#include "Platform.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>

using Platform::FolderHandle;

InstallationSwap::InstallationSwap(const CInstallPaths &paths, std::function<bool()> stopNow)
    : m_paths(paths)
    , m_stopNow(std::move(stopNow))
{ }

QString InstallationSwap::asideName(const QString &folder)
{
    return folder + QStringLiteral(".previous");
}

QString InstallationSwap::discardedName(const QString &folder)
{
    return folder + QStringLiteral(".discarded");
}

bool InstallationSwap::exists(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

// Everything in it goes, hidden entries too; a link is removed as a link.
bool InstallationSwap::removeFolder(const QString &path)
{
    FolderWalk walk({/*keepHidden*/ false, /*protectKept*/ false});
    return walk.deleteFolder(path);
}

QStringList InstallationSwap::recoverLeftovers() const
{
    QStringList restored;
    const QString program = m_paths.programFolder();
    const QString data = m_paths.dataFolder();
    for (const QString &folder : {program, data})
        removeFolder(discardedName(folder));

    if (exists(asideName(program))) {
        if (QFileInfo(asideName(program)).isSymLink())
            removeFolder(asideName(program));
        else if (putBack(program, asideName(program), {}))
            restored << program;
    }
    // The run that was ended had moved the hidden entries into the new data
    // folder: they all go back.
    if (exists(asideName(data)) && asideDataIsOurs()
        && putBack(data, asideName(data), hiddenEntries(data, QString())))
        restored << data;
    return restored;
}

bool InstallationSwap::asideDataIsOurs() const
{
    const FolderHandle appData = FolderHandle::open(m_paths.commonAppData());
    const QString name = QFileInfo(asideName(m_paths.dataFolder())).fileName();
    bool ours = false;
    {
        FolderHandle::Opened how;
        const FolderHandle aside = appData.child(name, &how);
        ours = aside.isValid() && aside.trustedOwner();
    }
    if (!ours)
        removeFolder(asideName(m_paths.dataFolder()));
    return ours;
}

bool InstallationSwap::oldInstallationFound() const
{
    return exists(m_paths.programFolder()) || exists(m_paths.dataFolder());
}

bool InstallationSwap::renameWithRetry(const QString &from, const QString &to, bool *inUse) const
{
    QElapsedTimer waited;
    waited.start();
    for (unsigned long pause = 25;; pause *= 2) {
        const Platform::RenameResult result = Platform::renameFolder(from, to);
        *inUse = result == Platform::RenameResult::InUse;
        if (!*inUse)
            return result == Platform::RenameResult::Renamed;
        const qint64 left = inUseRetryMs - waited.elapsed();
        if (left <= 0 || m_stopNow())
            return false;
        QThread::msleep(qMin<unsigned long>(pause, static_cast<unsigned long>(left)));
    }
}

InstallationSwap::SetAside InstallationSwap::setAside(QString *failedFolder, QString *fileInUse)
{
    const QString program = m_paths.programFolder();
    const QString data = m_paths.dataFolder();
    bool inUse = false;
    const QFileInfo programInfo(program);
    if (programInfo.isSymLink()) {
        removeFolder(program); // a link is no installation: removed as a link
    } else if (programInfo.exists()) {
        if (!renameWithRetry(program, asideName(program), &inUse)) {
            *failedFolder = program;
            if (inUse)
                *fileInUse = Platform::firstFileInUse(program);
            return m_stopNow() ? SetAside::Stopped : inUse ? SetAside::InUse : SetAside::Failed;
        }
        m_programAside = true;
    }

    // Only a data folder of a trusted owner is the old installation's;
    // anything else in its place is removed when the fresh one is made.
    bool ours = false;
    {
        const FolderHandle appData = FolderHandle::open(m_paths.commonAppData());
        const FolderHandle folder = appData.child(QFileInfo(data).fileName());
        ours = folder.isValid() && folder.trustedOwner();
    }
    if (ours && (m_stopNow() || !renameWithRetry(data, asideName(data), &inUse))) {
        const bool stopped = m_stopNow();
        if (m_programAside && putBack(program, asideName(program), {}))
            m_programAside = false;
        *failedFolder = data;
        if (inUse)
            *fileInUse = Platform::firstFileInUse(data);
        return stopped ? SetAside::Stopped : inUse ? SetAside::InUse : SetAside::Failed;
    }
    m_dataAside = ours;
    if (m_stopNow()) {
        rollBack();
        return SetAside::Stopped;
    }
    return SetAside::Done;
}

QStringList InstallationSwap::hiddenEntries(const QString &folder, const QString &prefix)
{
    const FolderHandle source = FolderHandle::open(folder + prefix);
    QVector<FolderHandle::Entry> entries;
    QStringList found;
    if (!source.isValid() || !source.list(&entries))
        return found;
    for (const FolderHandle::Entry &entry : qAsConst(entries)) {
        const QString path = prefix + QLatin1Char('/') + entry.name;
        if (entry.kind == FolderHandle::Kind::Link || entry.kind == FolderHandle::Kind::Gone)
            continue;
        if (entry.hidden)
            found << path;
        else if (entry.kind == FolderHandle::Kind::Folder)
            found << hiddenEntries(folder, path);
    }
    return found;
}

QStringList InstallationSwap::moveEntries(const QString &from, const QString &to,
                                          const QStringList &entries)
{
    QStringList moved;
    for (const QString &entry : entries) {
        const QString target = to + entry;
        if (exists(target) || !QDir().mkpath(QFileInfo(target).path()))
            continue;
        if (QDir().rename(from + entry, target))
            moved << entry;
    }
    return moved;
}

void InstallationSwap::moveKeptEntries()
{
    if (!m_dataAside)
        return;
    const QString aside = asideName(m_paths.dataFolder());
    m_moved = moveEntries(aside, m_paths.dataFolder(), hiddenEntries(aside, QString()));
}

bool InstallationSwap::putBack(const QString &folder, const QString &aside,
                               const QStringList &kept) const
{
    moveEntries(folder, aside, kept);
    if (!removeFolder(folder))
        return false;
    bool inUse = false;
    return renameWithRetry(aside, folder, &inUse);
}

bool InstallationSwap::rollBack()
{
    const QString program = m_paths.programFolder();
    const QString data = m_paths.dataFolder();
    bool whole = true;
    if (m_programAside) {
        m_programAside = !putBack(program, asideName(program), {});
        whole = !m_programAside;
    } else {
        whole = removeFolder(program);
    }
    if (m_dataAside) {
        m_dataAside = !putBack(data, asideName(data), m_moved);
        whole = whole && !m_dataAside;
    } else {
        whole = removeFolder(data) && whole;
    }
    return whole;
}

bool InstallationSwap::commit()
{
    // Both are renamed before either is removed: a run ended before the
    // removal finished must not put back a half-removed folder.
    QStringList gone;
    for (const QString &folder : {m_paths.programFolder(), m_paths.dataFolder()}) {
        const bool aside = folder == m_paths.programFolder() ? m_programAside : m_dataAside;
        if (!aside)
            continue;
        bool inUse = false;
        const QString discarded = discardedName(folder);
        gone << (renameWithRetry(asideName(folder), discarded, &inUse) ? discarded
                                                                       : asideName(folder));
    }
    m_programAside = m_dataAside = false;
    bool removed = true;
    for (const QString &folder : qAsConst(gone))
        removed = removeFolder(folder) && removed;
    return removed;
}
