// Emulation of the platform layer for systems other than Windows: a folder
// plays the system drive and text files in it play the registry hives (see
// platform/README.md).
#include "Platform.h"
#include "ProcFs_emul.h"
#include "Product.h"
#include "RegistryHive_emul.h"

#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QProcess>
#include <QSaveFile>
#include <QSet>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace Platform {

bool restrictDllSearch()
{
    return true;
}

namespace {

const char rootVariable[] = "MIREVALE_SYSTEM_ROOT";
const QString machineHive = QStringLiteral("HKEY_LOCAL_MACHINE");
const QString shellFoldersKey
        = QStringLiteral(MIREVALE_SHELL_FOLDERS_KEY).replace(QLatin1Char('\\'), QLatin1Char('/'));

// Serialises seeding and the spelling look-up of openRegistryKey.
QMutex registryMutex;
// Hive files that a write merged case variants in: the settings cache of
// this process still holds both spellings until it reads the file again.
QMutex staleMutex;
QSet<QString> staleHives;

QString defaultSystemRoot()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
            + QStringLiteral("/Mirevale Setup/system-root");
}

QString fileNameOf(const QIODevice &device)
{
    const auto file = qobject_cast<const QFileDevice *>(&device);
    return file ? file->fileName() : QString();
}

QString hiveOfFile(const QString &fileName)
{
    return QFileInfo(fileName).completeBaseName();
}

bool readHive(QIODevice &device, QSettings::SettingsMap &map)
{
    const QString fileName = fileNameOf(device);
    if (RegistryHive::parse(device.readAll(), hiveOfFile(fileName), &map))
        return true;
    qWarning("Registry hive %s is not a registry export this emulation understands; its values "
             "are not read and the file is never rewritten",
             qPrintable(fileName));
    return false;
}

// Qt calls this even after a failed read, with the new values only: the
// file on disk is checked again and left alone when it cannot be parsed.
bool writeHive(QIODevice &device, const QSettings::SettingsMap &map)
{
    const QString fileName = fileNameOf(device);
    const QString hive = hiveOfFile(fileName);
    QSettings::SettingsMap onDisk;
    QFile file(fileName);
    if (file.exists()
        && (!file.open(QIODevice::ReadOnly)
            || !RegistryHive::parse(file.readAll(), hive, &onDisk))) {
        qWarning("Registry hive %s cannot be parsed; it is not rewritten and the new values are "
                 "lost",
                 qPrintable(fileName));
        return false;
    }
    const QSettings::SettingsMap merged = RegistryHive::mergeCaseVariants(map, onDisk);
    if (merged.size() != map.size()) {
        QMutexLocker locker(&staleMutex);
        staleHives.insert(fileName);
    }
    const QByteArray data = RegistryHive::serialize(hive, merged);
    return device.write(data) == data.size();
}

QSettings::Format registryFormat()
{
    static const QSettings::Format format = [] {
        qRegisterMetaType<RegistryRawValue>();
        return QSettings::registerFormat(QStringLiteral("reg"), readHive, writeHive,
                                         Qt::CaseSensitive);
    }();
    return format;
}

QString registryFolder()
{
    return systemRoot() + QStringLiteral("Windows/registry/");
}

// Where the standard folders lie below the system root.
QString standardFolderPath(StandardFolder folder)
{
    switch (folder) {
    case StandardFolder::CommonAppData:
        return systemRoot() + QStringLiteral("ProgramData");
    case StandardFolder::CommonDesktop:
        return systemRoot() + QStringLiteral("Users/Public/Desktop");
    case StandardFolder::CommonPrograms:
        break;
    }
    return systemRoot() + QStringLiteral("ProgramData/Microsoft/Windows/Start Menu/Programs");
}

// A machine hive that does not exist yet starts with the shell folders of a
// standard installation, and those folders are created.
void seedMachineHive(const QString &fileName)
{
    const StandardFolder folders[] = {StandardFolder::CommonAppData, StandardFolder::CommonDesktop,
                                      StandardFolder::CommonPrograms};
    const QString names[]
            = {QStringLiteral(MIREVALE_COMMON_APPDATA), QStringLiteral(MIREVALE_COMMON_DESKTOP),
               QStringLiteral(MIREVALE_COMMON_PROGRAMS)};
    QSettings::SettingsMap map;
    for (int i = 0; i < 3; ++i) {
        const QString folder = standardFolderPath(folders[i]);
        QDir().mkpath(folder);
        map.insert(shellFoldersKey + QLatin1Char('/') + names[i], folder);
    }
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || !file.write(RegistryHive::serialize(machineHive, map))
        || !file.commit())
        qWarning("Cannot create the registry hive %s", qPrintable(fileName));
}

// Makes the settings cache of this process read a hive file again.
void refreshIfStale(const QString &fileName)
{
    {
        QMutexLocker locker(&staleMutex);
        if (!staleHives.remove(fileName))
            return;
    }
    QFile file(fileName);
    if (file.open(QIODevice::ReadOnly))
        file.setFileTime(QFileInfo(fileName).lastModified().addSecs(-2),
                         QFileDevice::FileModificationTime);
}

} // namespace

QString systemRoot()
{
    QString root;
    if (qEnvironmentVariableIsSet(rootVariable)) {
        const QString value = qEnvironmentVariable(rootVariable);
        const QString clean = QDir::cleanPath(value);
        if (value.isEmpty() || QDir::isRelativePath(clean) || clean == QLatin1String("/"))
            qWarning("%s=\"%s\" is not an absolute folder other than \"/\"; using %s instead",
                     rootVariable, qPrintable(value), qPrintable(defaultSystemRoot()));
        else
            root = clean;
    }
    if (root.isEmpty())
        root = defaultSystemRoot();
    QDir().mkpath(root);
    return root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/');
}

std::unique_ptr<QSettings> openRegistryKey(const QString &keyPath)
{
    static const QString hives[]
            = {QStringLiteral("HKEY_CURRENT_USER"), machineHive,
               QStringLiteral("HKEY_CLASSES_ROOT"), QStringLiteral("HKEY_USERS")};
    QStringList segments = QString(keyPath)
                                   .replace(QLatin1Char('\\'), QLatin1Char('/'))
                                   .split(QLatin1Char('/'), Qt::SkipEmptyParts);
    // As with the native format, a path without a hive is a machine key.
    QString hive = machineHive;
    for (const QString &name : hives) {
        if (!segments.isEmpty() && segments.first().compare(name, Qt::CaseInsensitive) == 0) {
            hive = name;
            segments.removeFirst();
            break;
        }
    }

    const QString folder = registryFolder();
    QDir().mkpath(folder);
    const QString fileName = folder + hive + QStringLiteral(".reg");
    QString group = segments.join(QLatin1Char('/'));
    {
        QMutexLocker locker(&registryMutex);
        if (hive == machineHive && !QFileInfo::exists(fileName))
            seedMachineHive(fileName);
        QFile file(fileName);
        QSettings::SettingsMap map;
        if (file.open(QIODevice::ReadOnly) && RegistryHive::parse(file.readAll(), hive, &map))
            group = RegistryHive::existingKeySpelling(map, group);
    }
    refreshIfStale(fileName);

    auto settings = std::make_unique<QSettings>(fileName, registryFormat());
    if (!group.isEmpty())
        settings->beginGroup(group);
    return settings;
}

QString standardFolder(StandardFolder folder)
{
    // Test seam: a system whose known-folder lookup fails.
    if (qEnvironmentVariableIsSet("MIREVALE_NO_STANDARD_FOLDERS"))
        return QString();
    return standardFolderPath(folder);
}

bool createDirectory(const QString &path)
{
    const QString folder = QString(path).replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (folder.isEmpty() || QFileInfo::exists(folder))
        return false;
    return QDir().mkdir(folder);
}

// Nothing here is elevated: both ways start the program alike.
static bool openWithShell(const QString &path, ShellOpenAs)
{
    const QFileInfo info(QString(path).replace(QLatin1Char('\\'), QLatin1Char('/')));
    if (!info.exists())
        return false;
    if (info.isFile() && info.isExecutable())
        return QProcess::startDetached(info.absoluteFilePath(), QStringList(), info.absolutePath());
    return QDesktopServices::openUrl(QUrl::fromLocalFile(info.absoluteFilePath()));
}

namespace {

// The nearest existing entry of path: path itself, or a parent.
QString nearestExisting(const QString &path)
{
    QString current = QDir::cleanPath(QDir::fromNativeSeparators(path));
    while (!current.isEmpty() && !QFileInfo::exists(current)) {
        const QString parent = QFileInfo(current).path();
        if (parent == current)
            return QString();
        current = parent;
    }
    return current;
}

// True when `path` is `folder` or lies below it (both cleaned, absolute).
bool isWithin(const QString &path, const QString &folder)
{
    return path == folder || path.startsWith(folder + QLatin1Char('/'));
}

// True when a process this one may look at has something open below
// `folder`: a file or folder (/proc/<pid>/fd), its working folder or its
// program. Windows refuses to rename a folder in the same cases.
bool holdsSomethingBelow(const QString &folder)
{
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    for (const QString &process : ProcFs::processFolders()) {
        for (const QString &link : ProcFs::usedLinks(process)) {
            const QString target = ProcFs::linkTarget(link);
            if (!target.isEmpty() && (isWithin(target, folder) || isWithin(target, canonical)))
                return true;
        }
    }
    return false;
}

} // namespace

qint64 freeSpace(const QString &path)
{
    const QString existing = nearestExisting(path);
    struct statvfs info = {};
    if (existing.isEmpty() || ::statvfs(QFile::encodeName(existing).constData(), &info) != 0)
        return -1;
    return qint64(info.f_bavail) * qint64(info.f_frsize);
}

bool sameVolume(const QString &path, const QString &other)
{
    struct stat first = {};
    struct stat second = {};
    return ::lstat(QFile::encodeName(QDir::fromNativeSeparators(path)).constData(), &first) == 0
            && ::lstat(QFile::encodeName(QDir::fromNativeSeparators(other)).constData(), &second)
            == 0
            && first.st_dev == second.st_dev;
}

RenameResult renameFolder(const QString &from, const QString &to)
{
    const QString source = QDir::cleanPath(QDir::fromNativeSeparators(from));
    const QString target = QDir::cleanPath(QDir::fromNativeSeparators(to));
    struct stat info = {};
    if (::lstat(QFile::encodeName(source).constData(), &info) != 0 || !S_ISDIR(info.st_mode))
        return RenameResult::Failed;
    if (holdsSomethingBelow(source))
        return RenameResult::InUse;
    // Never replaces: rename(2) would put a folder in the place of an empty one.
    return ::renameat2(AT_FDCWD, QFile::encodeName(source).constData(), AT_FDCWD,
                       QFile::encodeName(target).constData(), RENAME_NOREPLACE)
                    == 0
            ? RenameResult::Renamed
            : RenameResult::Failed;
}

QStringList programsUsing(const QString &path)
{
    const QFileInfo info(QDir::fromNativeSeparators(path));
    const QString file = info.absoluteFilePath();
    const QString canonical = info.canonicalFilePath();
    QStringList names;
    for (const QString &process : ProcFs::processFolders()) {
        const QString program = ProcFs::linkTarget(process + QStringLiteral("/exe"));
        if (program.isEmpty())
            continue;
        for (const QString &link : ProcFs::usedLinks(process)) {
            if (link.endsWith(QLatin1String("/cwd")))
                continue; // a working folder is no file in use
            const QString target = ProcFs::linkTarget(link);
            if (!target.isEmpty() && (target == file || target == canonical)) {
                names << QFileInfo(program).fileName();
                break;
            }
        }
    }
    return names;
}

QString temporaryFolder()
{
    const QString folder = systemRoot() + QStringLiteral("Windows/Temp");
    QDir().mkpath(folder);
    return folder;
}

bool shellOpen(const QString &path)
{
    return openWithShell(path, ShellOpenAs::Installer);
}

bool shellOpenAsUser(const QString &path)
{
    return openWithShell(path, ShellOpenAs::SignedInUser);
}

bool createLink(const QString &target, const QString &linkPath)
{
    return QFile::link(target, linkPath);
}

bool isLink(const QFileInfo &info)
{
    return info.isSymLink();
}

} // namespace Platform
