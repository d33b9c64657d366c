#include "ExtractorJob.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QThread>

#include <windows.h>

#include <tlhelp32.h>

namespace Platform {

namespace {

// Resumes the threads of a process that was created suspended (it has one).
void resumeProcess(DWORD processId)
{
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return;
    THREADENTRY32 entry;
    entry.dwSize = sizeof(entry);
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != processId)
            continue;
        if (const HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, entry.th32ThreadID)) {
            ResumeThread(thread);
            CloseHandle(thread);
        }
    }
    CloseHandle(snapshot);
}

DWORD activeProcesses(HANDLE job)
{
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info = {};
    if (!QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &info, sizeof(info),
                                   nullptr))
        return 0;
    return info.ActiveProcesses;
}

} // namespace

ExtractorJob::ExtractorJob()
{
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (!job)
        return;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof(limits))) {
        CloseHandle(job);
        return;
    }
    m_job = job;
}

ExtractorJob::~ExtractorJob()
{
    if (m_job)
        CloseHandle(m_job);
}

void ExtractorJob::prepare(QProcess &process)
{
    process.setCreateProcessArgumentsModifier([](QProcess::CreateProcessArguments *arguments) {
        arguments->flags |= CREATE_SUSPENDED;
    });
}

bool ExtractorJob::adopt(QProcess &process)
{
    const DWORD processId = DWORD(process.processId());
    bool inJob = false;
    if (m_job) {
        if (const HANDLE child
            = OpenProcess(PROCESS_SET_QUOTA | PROCESS_TERMINATE, FALSE, processId)) {
            inJob = AssignProcessToJobObject(HANDLE(m_job), child) != 0;
            CloseHandle(child);
        }
    }
    resumeProcess(processId);
    return inJob;
}

bool ExtractorJob::terminateAndWait(int timeoutMs)
{
    if (!m_job)
        return true;
    TerminateJobObject(HANDLE(m_job), 1);
    const QDeadlineTimer deadline(timeoutMs);
    while (activeProcesses(HANDLE(m_job)) > 0) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(10);
    }
    return true;
}

} // namespace Platform
