#pragma once

#include "CInstallPaths.h"
#include "ExtractorRun.h"

#include <QMutex>
#include <QString>
#include <QStringList>
#include <QThread>
#include <QVector>

#include <atomic>
#include <functional>

// The installer's worker: checks that both archives open with the password
// (ArchiveCheck), removes the previous installation (OldInstallRemoval: the
// program folder; the data folder is emptied, never removed) and unpacks
// tarvo.cab into the program folder and data.cab into the data folder by
// running the 7z.exe that lies beside the installer (ExtractorRun).
//
// The data folder belongs to the installer while it works: it is created, or
// reset, with permissions that let no standard user write into it, held open
// through the extraction, and given back the permissions it inherits however
// the run ends.
//
// The window starts it, may ask it to stop with requestInterruption() (never
// QThread::terminate()): a running extractor is killed at once and
// everything left is skipped, the deletion included; what was already
// deleted or extracted stays. The window reads outcome() after finished().
class CXCopyThread : public QThread
{
    Q_OBJECT

public:
    using ExtractResult = ExtractorRun::Result;

    // Why a run did nothing at all: nothing was deleted, nothing extracted.
    enum class Refusal {
        None,
        PayloadMissing, // 7z.exe, tarvo.cab or data.cab is missing
        PayloadDamaged, // a file of the payload is damaged or replaced: not the one the
                        // installer was sealed with (the installer's own name when it
                        // was never sealed)
        ArchiveUnusable, // an archive did not list or test with the password
        FolderUnknown, // an all-users folder could not be found
        DataFolderUnsafe // the data folder could not be made the installer's own
    };

    // How a run ended; complete once finished() has been emitted.
    struct Outcome
    {
        Refusal refusal = Refusal::None;
        // What the refusal concerned: the missing payload files ("7z.exe",
        // "tarvo.cab", ...), those that do not match the seal, the archive
        // that failed its check, the folders
        // not found ("Common AppData", ...) or the data folder.
        QStringList refusedFor;
        // One entry per extraction attempted, in order (first tarvo.cab,
        // then data.cab).
        QVector<ExtractResult> results;
        bool stopped = false; // the run ended early on a stop request
        // How long the check of both archives took, in milliseconds; -1 when
        // it did not run to its end.
        qint64 archiveCheckMs = -1;

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
    bool CheckArchives(const QString &extractor, const QStringList &archives);
    void Extract(const QString &extractor, const QStringList &archives, const CInstallPaths &paths,
                 bool programFreeOfLinks, bool dataFreeOfLinks);
    void Update(const std::function<void(Outcome &)> &change);
    void Refuse(Refusal refusal, const QStringList &what);
    void MarkStopped();

    CInstallPaths m_paths;
    bool m_pathsGiven = false;
    std::atomic<qint64> m_extractorPid {0};

    mutable QMutex m_mutex; // guards the outcome
    Outcome m_outcome;
};
