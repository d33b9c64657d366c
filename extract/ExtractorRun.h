#pragma once

#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>

class QProcess;

namespace Platform {
class ExtractorJob;
}

// The extractor front end (7z.exe) run on one archive: started in a job of
// its own, waited for in short steps, and killed with everything it started
// the moment the installation is to stop.
class ExtractorRun
{
public:
    // How one run of the extractor ended.
    struct Result
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

    // How often a running extractor is checked against a stop request.
    static constexpr int stopPollMs = 50;

    // `stopNow` answers whether the installation is to stop; `processId`,
    // when given, holds the running extractor's process id, otherwise 0.
    ExtractorRun(const QString &extractor, std::function<bool()> stopNow,
                 std::atomic<qint64> *processId = nullptr);

    // Unpacks `archive` into `folder` ("x", "-yo<folder>", "-p<password>",
    // the archive) and waits for the extractor. A folder that is not free of
    // links, or a path 7-Zip would read as a wildcard, is refused.
    Result extract(const QString &archive, const QString &folder, bool folderFreeOfLinks) const;

    // Starts the front end in `job`, with nothing to answer on stdin; false
    // when it did not start. The front end dies with the installer.
    static bool start(QProcess &process, Platform::ExtractorJob &job, const QString &program,
                      const QStringList &arguments);
    // Kills the front end and whatever 7-Zip it started.
    static void stop(QProcess &process, Platform::ExtractorJob &job);

    // The archives' password.
    static QString password();

private:
    QString m_extractor;
    std::function<bool()> m_stopNow;
    std::atomic<qint64> *m_processId;
};
