// Running processes on Windows: a Toolhelp snapshot, and each process's
// image path asked with the least right that may ask for it.
#include "RunningProcess.h"

#include <QDir>

#include <windows.h>

#include <tlhelp32.h>

#include <vector>

namespace Platform {

namespace {

QString imagePath(DWORD pid)
{
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process)
        return QString();
    std::vector<wchar_t> buffer(32768);
    DWORD size = DWORD(buffer.size());
    QString path;
    if (QueryFullProcessImageNameW(process, 0, buffer.data(), &size))
        path = QDir::fromNativeSeparators(QString::fromWCharArray(buffer.data(), int(size)));
    CloseHandle(process);
    return path;
}

} // namespace

QVector<RunningProcess> RunningProcess::all()
{
    QVector<RunningProcess> processes;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return processes;
    PROCESSENTRY32W entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry)) {
        RunningProcess process;
        process.pid = entry.th32ProcessID;
        // The idle and system processes have no image to name.
        if (entry.th32ProcessID != 0)
            process.executable = imagePath(entry.th32ProcessID);
        processes.append(process);
    }
    CloseHandle(snapshot);
    return processes;
}

} // namespace Platform
