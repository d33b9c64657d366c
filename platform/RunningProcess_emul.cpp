// Running processes in the emulation: what /proc shows this process.
#include "RunningProcess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace Platform {

namespace {

// The target of a /proc link, without the " (deleted)" that Linux appends
// for a file that is gone.
QString linkTarget(const QString &link)
{
    QString target = QFile::symLinkTarget(link);
    if (target.endsWith(QLatin1String(" (deleted)")))
        target.chop(10);
    return target;
}

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
        const QString folder = linkTarget(processFolder + QStringLiteral("/cwd"));
        return folder.isEmpty() ? QString() : QDir::cleanPath(folder + QLatin1Char('/') + script);
    }
    return QString();
}

} // namespace

QVector<RunningProcess> RunningProcess::all()
{
    QVector<RunningProcess> processes;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &entry : entries) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (!number)
            continue;
        const QString folder = QStringLiteral("/proc/") + entry;
        RunningProcess process;
        process.pid = pid;
        process.executable = linkTarget(folder + QStringLiteral("/exe"));
        if (isShell(process.executable))
            process.script = scriptOf(folder);
        processes.append(process);
    }
    return processes;
}

} // namespace Platform
