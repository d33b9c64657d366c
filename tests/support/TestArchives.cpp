#include "TestArchives.h"

#include "TestSeams.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace TestArchives {

QString installerPassword()
{
    return QStringLiteral("#m8qzl#*&^%$!");
}

QString realSevenZip()
{
#ifdef Q_OS_WIN
    // The 7-Zip shipped beside the installer.
    const QString shipped = QStringLiteral(MIREVALE_BIN_DIR "/7za.exe");
    return QFileInfo::exists(shipped) ? shipped : QString();
#endif
    for (const QString &name :
         {QStringLiteral("7zz"), QStringLiteral("7z"), QStringLiteral("7za")}) {
        const QString path = QStandardPaths::findExecutable(name);
        if (!path.isEmpty())
            return path;
    }
    return QString();
}

QString frontEnd()
{
    return QStringLiteral(MIREVALE_BIN_DIR "/7z.exe");
}

QByteArray sealTable(const QString &folder)
{
    QByteArray table("sealed\n");
    for (const char *name : {"7z.exe",
#ifdef Q_OS_WIN
                             "7za.exe",
#endif
                             "tarvo.cab", "data.cab"}) {
        QFile file(folder + QLatin1Char('/') + QLatin1String(name));
        if (!file.exists())
            continue;
        if (!file.open(QIODevice::ReadOnly))
            return QByteArray();
        QCryptographicHash hash(QCryptographicHash::Sha256);
        if (!hash.addData(&file))
            return QByteArray();
        table += QByteArray::number(file.size()) + ' ' + hash.result().toHex() + ' ' + name + '\n';
    }
    return table + "end\n";
}

bool sealPayload(const QString &folder)
{
    TestSeams::current().sealTable = sealTable(folder);
    return !TestSeams::current().sealTable.isEmpty();
}

bool makeArchive(const QString &archive, const QString &folder, const QString &password,
                 const QStringList &extraSwitches)
{
    QFile::remove(archive);
    QProcess process;
    process.setWorkingDirectory(folder);
    process.setProcessChannelMode(QProcess::MergedChannels);
    QStringList args {QStringLiteral("a"), QStringLiteral("-t7z"), QStringLiteral("-y"),
                      QStringLiteral("-mhe=on"), QStringLiteral("-p") + password};
    args += extraSwitches;
    // "*" is 7-Zip's own wildcard (no shell here): every entry of the
    // folder, dotfiles included, each folder with all it holds.
    args << QStringLiteral("--") << QFileInfo(archive).absoluteFilePath() << QStringLiteral("*");
    process.start(realSevenZip(), args);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        qWarning("7-Zip could not make %s: %s", qPrintable(archive), process.readAll().constData());
        return false;
    }
    return true;
}

bool writeFile(const QString &path, const QByteArray &text)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

QStringList filesBelow(const QString &folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    const QDir base(folder);
    while (it.hasNext()) {
        it.next();
        if (!it.fileInfo().isDir() || it.fileInfo().isSymLink())
            files << base.relativeFilePath(it.filePath());
    }
    files.sort();
    return files;
}

QList<qint64> childProcesses(qint64 parent)
{
    QList<qint64> children;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &entry : entries) {
        bool isPid = false;
        const qint64 pid = entry.toLongLong(&isPid);
        if (!isPid)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // "pid (comm) state ppid ...": comm may hold spaces and parentheses.
        const QByteArray line = stat.readAll();
        const int close = line.lastIndexOf(')');
        const QList<QByteArray> fields = line.mid(close + 2).split(' ');
        if (fields.size() > 1 && fields.at(0) != "Z" && fields.at(1).toLongLong() == parent)
            children << pid;
    }
    return children;
}

bool processAlive(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.readAll();
    const int close = line.lastIndexOf(')');
    return close > 0 && line.mid(close + 2, 1) != "Z";
}

} // namespace TestArchives
