#include "TestSystem.h"

#include "FolderHandle.h"
#include "Platform.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTextStream>

#include <algorithm>

using Platform::FolderHandle;

namespace {

const char *const shellFoldersKey
        = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell "
          "Folders";
const char *const uninstallKey
        = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// The value lines of the section `keyPath` of a registry export.
QStringList sectionLines(const QString &text, const QString &keyPath)
{
    const QString header = QLatin1Char('[') + keyPath + QLatin1Char(']');
    QStringList section;
    bool inside = false;
    for (QString line : text.split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.startsWith(QLatin1Char('['))) {
            inside = line.compare(header, Qt::CaseInsensitive) == 0;
            continue;
        }
        if (inside && !line.isEmpty())
            section.append(line);
    }
    std::sort(section.begin(), section.end(), [](const QString &a, const QString &b) {
        return a.section(QLatin1Char('='), 0, 0)
                       .compare(b.section(QLatin1Char('='), 0, 0), Qt::CaseInsensitive)
                < 0;
    });
    return section;
}

// Removes the entry `name` of `parent`, a folder with everything in it, by
// handle. (QDir::removeRecursively takes a folder named like a shortcut for
// a shortcut file, fails to remove it as a file and gives up.)
void removeTree(const FolderHandle &parent, const QString &name)
{
    FolderHandle::Opened how;
    const FolderHandle folder = parent.child(name, &how);
    if (how == FolderHandle::Opened::Missing)
        return;
    if (!folder.isValid()) {
        parent.remove(name);
        return;
    }
    QVector<FolderHandle::Entry> entries;
    folder.list(&entries);
    for (const FolderHandle::Entry &entry : entries)
        removeTree(folder, entry.name);
    parent.removeFolder(name, folder);
}

} // namespace

TestSystem::TestSystem()
{
#ifdef Q_OS_WIN
    clearInstallation();
#else
    if (m_root.isValid())
        qputenv("MIREVALE_SYSTEM_ROOT", QFile::encodeName(m_root.path()));
#endif
}

TestSystem::~TestSystem()
{
#ifdef Q_OS_WIN
    clearInstallation();
#else
    qunsetenv("MIREVALE_SYSTEM_ROOT");
#endif
}

bool TestSystem::isValid() const
{
    return m_root.isValid() && m_scratch.isValid() && Platform::systemRoot() == root();
}

QString TestSystem::root() const
{
#ifdef Q_OS_WIN
    return QDir::rootPath();
#else
    return m_root.path() + QLatin1Char('/');
#endif
}

QString TestSystem::scratch() const
{
    return m_scratch.path();
}

void TestSystem::clearInstallation()
{
    const QString desktop = Platform::standardFolder(Platform::StandardFolder::CommonDesktop);
    const QString programs = Platform::standardFolder(Platform::StandardFolder::CommonPrograms);
    const QString appData = Platform::standardFolder(Platform::StandardFolder::CommonAppData);
    {
        QSettings shellFolders(QString::fromLatin1(shellFoldersKey), QSettings::NativeFormat);
        shellFolders.setValue(QStringLiteral("Common Desktop"), QDir::toNativeSeparators(desktop));
        shellFolders.setValue(QStringLiteral("Common Programs"),
                              QDir::toNativeSeparators(programs));
        shellFolders.setValue(QStringLiteral("Common AppData"), QDir::toNativeSeparators(appData));
        QSettings uninstall(QString::fromLatin1(uninstallKey), QSettings::NativeFormat);
        uninstall.remove(QStringLiteral("Mirevale"));
    }
    removeTree(FolderHandle::open(root() + QStringLiteral("Program Files")),
               QStringLiteral("Mirevale"));
    removeTree(FolderHandle::open(appData), QStringLiteral("Mirevale"));
    removeTree(FolderHandle::open(programs), QStringLiteral("Mirevale"));
    const FolderHandle desktopFolder = FolderHandle::open(desktop);
    QVector<FolderHandle::Entry> entries;
    desktopFolder.list(&entries);
    for (const FolderHandle::Entry &entry : entries) {
        if ((entry.name.startsWith(QLatin1String("Tarvo"))
             || entry.name.startsWith(QLatin1String("Mirevale")))
            && entry.name.endsWith(QLatin1String(".lnk")))
            removeTree(desktopFolder, entry.name);
    }
}

bool TestSystem::underWine()
{
#ifdef Q_OS_WIN
    // Every Wine prefix has this key; no Windows has.
    return !QSettings(QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Wine"), QSettings::NativeFormat)
                    .childGroups()
                    .isEmpty();
#else
    return false;
#endif
}

QStringList TestSystem::registryValues(const QString &keyPath)
{
#ifdef Q_OS_WIN
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("key.reg"));
    QProcess reg;
    reg.start(QDir::fromNativeSeparators(qEnvironmentVariable("SystemRoot"))
                      + QStringLiteral("/system32/reg.exe"),
              {QStringLiteral("export"), keyPath, QDir::toNativeSeparators(file),
               QStringLiteral("/y")});
    if (!reg.waitForFinished(60000) || reg.exitCode() != 0)
        return {QStringLiteral("<reg export failed>")};
    QFile exported(file);
    if (!exported.open(QIODevice::ReadOnly))
        return {QStringLiteral("<no export>")};
    const QByteArray bytes = exported.readAll();
    // UTF-16LE with a byte order mark.
    const QString text = QString::fromUtf16(reinterpret_cast<const char16_t *>(bytes.constData()),
                                            bytes.size() / 2);
#else
    QFile hive(Platform::systemRoot() + QStringLiteral("Windows/registry/HKEY_LOCAL_MACHINE.reg"));
    if (!hive.open(QIODevice::ReadOnly))
        return {QStringLiteral("<no hive file>")};
    const QString text = QString::fromUtf8(hive.readAll());
#endif
    return sectionLines(text, keyPath);
}
