#pragma once

#include <QMutex>
#include <QString>
#include <QStringList>
#include <QThread>
#include <QVector>

#include <atomic>

// The installer's worker: removes the previous installation (program folder
// and data folder) and unpacks tarvo.cab into the program folder and data.cab
// into the data folder by running the 7z.exe that lies beside the installer.
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
    // One entry per extraction attempted, in order (first tarvo.cab, then
    // data.cab).
    QVector<ExtractResult> results() const;

    // The process id of the extractor while one runs, otherwise 0.
    qint64 extractorProcessId() const;

protected:
    void run() override;

private:
    void RemoveOldInstall();
    bool DeleteDirectory(const QString &path);
    void RemoveLinks(const QString &path);
    bool FreeOfLinks(const QString &path) const;
    QString DataFolder() const;
    ExtractResult RunExtractor(const QString &extractor, const QString &archive,
                               const QString &folder);
    void AddResult(const ExtractResult &result);
    void MarkStopped();

    QString m_sourceDir;
    std::atomic<bool> m_stopRequested {false};
    std::atomic<qint64> m_extractorPid {0};

    mutable QMutex m_mutex; // guards the outcome below
    bool m_stopped = false;
    QStringList m_missingPayload;
    QVector<ExtractResult> m_results;
};
