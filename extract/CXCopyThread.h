#pragma once

#include "CInstallPaths.h"
#include "ExtractorRun.h"
#include "InstallationSwap.h"

#include <QMutex>
#include <QString>
#include <QStringList>
#include <QThread>
#include <QVector>

#include <atomic>
#include <functional>

// The installer's worker: puts back what an earlier run that was ended left
// aside, checks that both archives open with the password (ArchiveCheck),
// that no program of the product runs and that the new installation fits
// beside the old one (PreflightCheck), sets the old installation aside
// (InstallationSwap: the program folder and the data folder renamed on their
// own volumes) and unpacks tarvo.cab into a fresh program folder and
// data.cab into a fresh data folder by running the 7z.exe that lies beside
// the installer (ExtractorRun). Only once both are unpacked are the old
// folders removed; on a failure or a stop the new folders are removed and
// the old ones put back.
//
// The data folder belongs to the installer while it works: it is created
// with permissions that let no standard user write into it, held open
// through the extraction, and given back the permissions it inherits however
// the run ends. The hidden entries of the old one move into it.
//
// The window starts it, may ask it to stop with requestInterruption() (never
// QThread::terminate()): a running extractor is killed at once, the old
// installation put back, and the run ends. The window reads outcome() after
// finished().
class CXCopyThread : public QThread
{
    Q_OBJECT

public:
    using ExtractResult = ExtractorRun::Result;

    // Why a run did nothing: nothing was extracted, and the old
    // installation is as it was (see Outcome::oldInstallation).
    enum class Refusal {
        None,
        PayloadMissing, // 7z.exe, tarvo.cab or data.cab is missing
        PayloadDamaged, // a file of the payload is damaged or replaced: not the one the
                        // installer was sealed with (the installer's own name when it
                        // was never sealed)
        ArchiveUnusable, // an archive did not list or test with the password
        FolderUnknown, // an all-users folder could not be found
        DataFolderUnsafe, // the data folder could not be made the installer's own
        ProductRunning, // a program runs from the program or the data folder
        DiskFull, // the new installation does not fit beside the old one
        FilesInUse, // a folder could not be set aside: something in it is open
        FolderNotMovable // a folder could not be set aside for another reason
    };

    // What became of the installation that was there before the run.
    enum class OldInstallation {
        None, // there was none: a failure or a stop leaves no folder behind
        Intact, // nothing of it was changed
        Replaced, // the new installation took its place
        Restored, // it was set aside and put back after a failure or a stop
        NotRestored // it could not all be put back: what is left lies in
                    // "<folder>.previous", which the next run puts back
    };

    // How a run ended; complete once finished() has been emitted.
    struct Outcome
    {
        Refusal refusal = Refusal::None;
        // What the refusal concerned: the missing payload files ("7z.exe",
        // "tarvo.cab", ...), those that do not match the seal, the archive
        // that failed its check, the folders not found ("Common AppData",
        // ...), the data folder, the running programs (full paths), the
        // volume {root or mount point, megabytes needed, megabytes free}, or
        // the folder that could not be set aside (FilesInUse: and the first
        // file found open in it, when one was).
        QStringList refusedFor;
        OldInstallation oldInstallation = OldInstallation::Intact;
        // The folders an earlier run that was ended had left aside and this
        // one put back before anything else.
        QStringList restoredAtStart;
        // One entry per extraction attempted, in order (first tarvo.cab,
        // then data.cab).
        QVector<ExtractResult> results;
        bool stopped = false; // the run ended early on a stop request
        // How long the check of both archives took, in milliseconds; -1 when
        // it did not run to its end.
        qint64 archiveCheckMs = -1;
        // How long the checks before changes (the product running, the
        // space) and setting the old installation aside took; -1 likewise.
        qint64 preflightMs = -1;

        // Nothing refused, not stopped, and both extractions succeeded.
        bool succeeded() const;
    };

    explicit CXCopyThread(QObject *parent = nullptr);
    ~CXCopyThread() override;

    // The installation's folders, resolved once by the window; set before
    // start(). Without them the run resolves them itself.
    void setInstallPaths(const CInstallPaths &paths);

    // Thread-safe; the outcome so far while the thread runs.
    Outcome outcome() const;

    // The process id of the extractor while one runs, otherwise 0.
    qint64 extractorProcessId() const;

protected:
    void run() override;

private:
    bool stopNow() const { return isInterruptionRequested(); }
    bool CheckArchives(const QString &extractor, const QStringList &archives,
                       QVector<qint64> *sizes);
    bool CheckBeforeChanges(const CInstallPaths &paths, const QVector<qint64> &sizes);
    bool SetAside(InstallationSwap &swap);
    bool InstallNew(const QString &extractor, const QStringList &archives,
                    const CInstallPaths &paths, InstallationSwap &swap);
    bool Extract(const QString &extractor, const QStringList &archives, const CInstallPaths &paths,
                 bool programFreeOfLinks, bool dataFreeOfLinks);
    void Update(const std::function<void(Outcome &)> &change);
    void Refuse(Refusal refusal, const QStringList &what);
    void LogExtraction(const ExtractResult &result);
    void Finish(InstallationSwap &swap, bool installed, bool hadOldInstallation);
    void MarkStopped();

    CInstallPaths m_paths;
    bool m_pathsGiven = false;
    std::atomic<qint64> m_extractorPid {0};

    mutable QMutex m_mutex; // guards the outcome
    Outcome m_outcome;
};
