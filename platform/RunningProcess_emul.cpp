// Running processes in the emulation: what /proc shows this process.
#include "RunningProcess.h"

#include "ProcFs_emul.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace Platform {

namespace {

bool isShell(const QString &executable)
{
    const QString name = QFileInfo(executable).fileName();
    return name == QLatin1String("sh") || name == QLatin1String("dash")
            || name == QLatin1String("bash");
}

// The script a shell runs: the first argument after its name that is not an
// option ("sh -e script"), absolute against the shell's working folder. None
// for "sh -c command".
QString scriptOf(const QString &processFolder)
{
    QFile file(processFolder + QStringLiteral("/cmdline"));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    const QList<QByteArray> arguments = file.readAll().split('\0');
    for (int i = 1; i < arguments.size(); ++i) {
        const QByteArray &argument = arguments.at(i);
        if (argument.isEmpty() || argument == "-c")
            return QString();
        if (argument.startsWith('-'))
            continue;
        const QString script = QFile::decodeName(argument);
        if (QDir::isAbsolutePath(script))
            return QDir::cleanPath(script);
        const QString folder = ProcFs::linkTarget(processFolder + QStringLiteral("/cwd"));
        return folder.isEmpty() ? QString() : QDir::cleanPath(folder + QLatin1Char('/') + script);
    }
    return QString();
}

} // namespace

QVector<RunningProcess> RunningProcess::all()
{
    QVector<RunningProcess> processes;
    for (const QString &folder : ProcFs::processFolders()) {
        RunningProcess process;
        process.pid = ProcFs::pidOf(folder);
        process.executable = ProcFs::linkTarget(folder + QStringLiteral("/exe"));
        if (isShell(process.executable))
            process.script = scriptOf(folder);
        processes.append(process);
    }
    return processes;
}

} // namespace Platform
