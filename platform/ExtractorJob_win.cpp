#include "ExtractorJob.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QThread>

#include <memory>
#include <vector>

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

// The attribute that creates a process inside a job, with the extended
// start-up information that carries it; kept alive by the process's
// creation modifier until the process has been created.
struct JobAttribute
{
    STARTUPINFOEXW startup = {};
    HANDLE job = nullptr;
    std::vector<char> buffer;

    // Null where Windows has no such attribute (before Windows 10).
    static std::shared_ptr<JobAttribute> make(void *job)
    {
        auto attribute = std::make_shared<JobAttribute>();
        attribute->job = HANDLE(job);
        SIZE_T size = 0;
        InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        if (size == 0)
            return nullptr;
        attribute->buffer.resize(size);
        const auto list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attribute->buffer.data());
        if (!InitializeProcThreadAttributeList(list, 1, 0, &size))
            return nullptr;
        attribute->startup.lpAttributeList = list;
        if (!UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_JOB_LIST, &attribute->job,
                                       sizeof(HANDLE), nullptr, nullptr))
            return nullptr;
        return attribute;
    }

    ~JobAttribute()
    {
        if (startup.lpAttributeList)
            DeleteProcThreadAttributeList(startup.lpAttributeList);
    }
};

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
    // Where Windows can (10 and later), the process is created inside the
    // job: there is no moment in which the installer could die and leave it
    // outside. Elsewhere it is created suspended and joins in adopt().
    std::shared_ptr<JobAttribute> attribute;
    if (m_job)
        attribute = JobAttribute::make(m_job);
    process.setCreateProcessArgumentsModifier(
            [attribute](QProcess::CreateProcessArguments *arguments) {
                if (!attribute) {
                    arguments->flags |= CREATE_SUSPENDED;
                    return;
                }
                attribute->startup.StartupInfo = *arguments->startupInfo;
                attribute->startup.StartupInfo.cb = sizeof(STARTUPINFOEXW);
                arguments->startupInfo = &attribute->startup.StartupInfo;
                arguments->flags |= EXTENDED_STARTUPINFO_PRESENT;
            });
}

bool ExtractorJob::adopt(QProcess &process)
{
    const DWORD processId = DWORD(process.processId());
    bool inJob = false;
    if (m_job) {
        if (const HANDLE child
            = OpenProcess(PROCESS_SET_QUOTA | PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION,
                          FALSE, processId)) {
            BOOL member = FALSE;
            if (IsProcessInJob(child, HANDLE(m_job), &member) && member) {
                // Created inside the job, and running.
                CloseHandle(child);
                return true;
            }
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
