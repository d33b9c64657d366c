#pragma once

#include "CInstallPaths.h"

#include <QMutex>
#include <QString>
#include <QStringList>
#include <QThread>
#include <QVector>

#include <atomic>

namespace Platform {
class FolderHandle;
}

// The installer's worker: checks that both archives open with the password,
// removes the previous installation (the program folder; the data folder is
// emptied, never removed) and unpacks tarvo.cab into the program folder and
// data.cab into the data folder by running the 7z.exe that lies beside the
// installer.
//
// The data folder belongs to the installer while it works: it is created, or
// reset, with permissions that let no standard user write into it, held open
// through the extraction, and given back the permissions it inherits however
// the run ends.
//
// The window starts it, may ask it to stop with requestStop() (never
// QThread::terminate()), and reads the outcome after finished().
class CXCopyThread : public QThread
{
    Q_OBJECT

public:
    // How one run of the extractor ended.
    struct ExtractResult
    {
        enum Outcome {
            NotStarted, // the extractor could not be started
            Crashed, // it died from a signal or was killed from outside
            Exited, // it ended on its own with exitCode
            Stopped, // killed because the installation was stopped
            Refused // not started: the folder held a link that could not be
                    // removed or a folder that could not be searched for one,
                    // or a path held a character 7-Zip reads as a wildcard
        };

        QString archive;
        QString folder;
        Outcome outcome = NotStarted;
        int exitCode = -1; // 7-Zip's exit code when Exited

        // 7-Zip's 0 (no error) and 1 (warnings only) are success.
        bool succeeded() const { return outcome == Exited && (exitCode == 0 || exitCode == 1); }
    };

    // Why a run did nothing at all: nothing was deleted, nothing extracted.
    enum class Refusal {
        None,
        PayloadMissing, // 7z.exe, tarvo.cab or data.cab is missing
        ArchiveUnusable, // an archive did not list or test with the password
        FolderUnknown, // an all-users folder could not be found
        DataFolderUnsafe // the data folder could not be made the installer's own
    };

    explicit CXCopyThread(QObject *parent = nullptr);
    ~CXCopyThread() override;

    // The folder holding 7z.exe, tarvo.cab and data.cab; empty (the default)
    // means the installer's own folder. Set before start().
    void setSourceDir(const QString &dir);

    // Thread-safe, from any thread: makes the worker kill a running
    // extractor at once and skip everything left, the deletion included. The
    // thread then returns and finished() is emitted as usual. What was
    // already deleted or extracted stays as it is.
    void requestStop();

    // The outcome, complete once finished() has been emitted.
    // True when the payload was there, the run was not stopped and both
    // extractions succeeded.
    bool succeeded() const;
    // True when the run ended early because of requestStop().
    bool stopped() const;
    // True when 7z.exe, tarvo.cab or data.cab was missing: then nothing was
    // deleted and nothing extracted.
    bool payloadMissing() const;
    // The names of the missing payload files ("7z.exe", "tarvo.cab", ...).
    QStringList missingPayload() const;
    // Why nothing was done, and what it concerned: the missing payload
    // files, the archive that failed its check ("tarvo.cab"), the folders
    // not found ("Common AppData", ...) or the data folder.
    Refusal refusal() const;
    QStringList refusedFor() const;
    // How long the check of both archives took, in milliseconds; -1 when it
    // did not run to its end.
    qint64 archiveCheckMs() const;
    // One entry per extraction attempted, in order (first tarvo.cab, then
    // data.cab).
    QVector<ExtractResult> results() const;

    // The process id of the extractor while one runs, otherwise 0.
    qint64 extractorProcessId() const;

protected:
    void run() override;

private:
    // What one entry became in a walk.
    enum class Walked { Removed, Kept, Failed };

    int CheckArchives(const QString &extractor, const QStringList &archives);
    QVector<int> RunQuietly(const QString &program, const QVector<QStringList> &commands,
                            QVector<QByteArray> *outputs);
    Platform::FolderHandle SecureDataFolder(const Platform::FolderHandle &appData);
    void RemoveOldInstall(const CInstallPaths &paths, const Platform::FolderHandle &data);
    bool DeleteDirectory(const QString &path);
    bool EmptyFolder(const Platform::FolderHandle &folder, bool deleting);
    Walked WalkEntry(const Platform::FolderHandle &folder, const QString &name, int kind,
                     bool hidden, bool deleting);
    ExtractResult RunExtractor(const QString &extractor, const QString &archive,
                               const QString &folder, bool folderFreeOfLinks);
    void AddResult(const ExtractResult &result);
    void MarkStopped();
    void Refuse(Refusal refusal, const QStringList &what);

    QString m_sourceDir;
    std::atomic<bool> m_stopRequested {false};
    // The walk in progress: what it keeps, and whether every folder in it
    // could be opened and listed and every link in it removed.
    bool m_keepHidden = true;
    bool m_protectKept = false;
    bool m_walkClean = true;
    bool m_programFreeOfLinks = true;
    bool m_dataFreeOfLinks = true;
    std::atomic<qint64> m_extractorPid {0};

    mutable QMutex m_mutex; // guards the outcome below
    bool m_stopped = false;
    QStringList m_missingPayload;
    Refusal m_refusal = Refusal::None;
    QStringList m_refusedFor;
    qint64 m_archiveCheckMs = -1;
    QVector<ExtractResult> m_results;
};
