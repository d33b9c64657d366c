#pragma once

// The processes running on the system, as far as this process may see them,
// with the program each one runs: for asking which processes run a program
// from inside a folder (the old installation) before it is replaced.
//
// Windows (RunningProcess_win.cpp): a Toolhelp snapshot of the processes,
// each opened with PROCESS_QUERY_LIMITED_INFORMATION for
// QueryFullProcessImageNameW. Emulation (RunningProcess_emul.cpp):
// /proc/<pid>/exe, and for a shell (sh, dash, bash) also the script it runs,
// the first argument of /proc/<pid>/cmdline that is not an option.

#include <QString>
#include <QVector>

namespace Platform {

class RunningProcess
{
public:
    qint64 pid = 0;
    // The program's full path, "/" separators. Empty when this process may
    // not ask (another user's process in the emulation, a protected one on
    // Windows) or the process is gone.
    QString executable;
    // The emulation only: the script a shell runs, made absolute against the
    // shell's working folder. Empty otherwise.
    QString script;

    // Every process, this one included, in no particular order.
    static QVector<RunningProcess> all();

    // The processes whose executable or script lies inside `folder` (at any
    // depth); on Windows the comparison ignores case. Processes whose
    // program could not be named are not among them.
    static QVector<RunningProcess> inFolder(const QString &folder);
};

} // namespace Platform
