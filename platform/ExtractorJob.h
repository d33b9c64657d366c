#pragma once

// The extractor's processes as one group that cannot outlive the installer.
//
// On Windows the extractor (the front end and the 7-Zip it starts) runs in a
// job object of the installer's own that kills everything in it when its
// last handle closes: when the installer ends, however it ends (a crash,
// Task Manager), the extraction ends with it. The process is created inside
// the job (Windows 10 and later), or else created suspended, put in the job
// and only then resumed, so that nothing it starts escapes. Where the job
// cannot be joined (before Windows 8, which nests jobs, an installer that
// already runs in a job of someone else's), the process runs without one
// rather than not at all.
//
// Elsewhere the front end notices its parent's death itself (see
// tools/launcher); the calls below then do nothing.

class QProcess;

namespace Platform {

class ExtractorJob
{
public:
    ExtractorJob();
    ~ExtractorJob(); // kills whatever is still in the job
    ExtractorJob(const ExtractorJob &) = delete;
    ExtractorJob &operator=(const ExtractorJob &) = delete;

    // Before QProcess::start: the process is created inside the job, or
    // suspended.
    void prepare(QProcess &process);
    // After a successful start: puts a suspended process in the job and
    // resumes it. True when it runs inside the job.
    bool adopt(QProcess &process);
    // Kills everything in the job and waits up to timeoutMs until the last
    // process of it has ended. True when the job is empty.
    bool terminateAndWait(int timeoutMs);

private:
    void *m_job = nullptr;
};

} // namespace Platform
