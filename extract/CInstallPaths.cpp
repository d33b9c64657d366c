#include "CInstallPaths.h"

#include "Platform.h"
#include "Product.h"

#include <QDir>
#include <QSettings>

#include <memory>

CInstallPaths::CInstallPaths(const QString &productName)
    : m_productName(productName)
    , m_programFolder(Platform::systemRoot() + QStringLiteral(MIREVALE_PROGRAM_FILES "/")
                      + folderName())
{ }

CInstallPaths CInstallPaths::resolve(const QString &productName)
{
    CInstallPaths paths(productName);
    paths.m_missing.clear();

    const std::unique_ptr<QSettings> shellFolders = Platform::openRegistryKey(
            QStringLiteral(MIREVALE_HKLM "\\" MIREVALE_SHELL_FOLDERS_KEY));
    const struct
    {
        QString value;
        Platform::StandardFolder standard;
        QString *folder;
    } folders[] = {{QStringLiteral(MIREVALE_COMMON_APPDATA),
                    Platform::StandardFolder::CommonAppData, &paths.m_commonAppData},
                   {QStringLiteral(MIREVALE_COMMON_DESKTOP),
                    Platform::StandardFolder::CommonDesktop, &paths.m_desktop},
                   {QStringLiteral(MIREVALE_COMMON_PROGRAMS),
                    Platform::StandardFolder::CommonPrograms, &paths.m_programs}};
    for (const auto &folder : folders) {
        *folder.folder = usableFolder(shellFolders->value(folder.value, QString()).toString());
        if (folder.folder->isEmpty())
            *folder.folder = usableFolder(Platform::standardFolder(folder.standard));
        if (folder.folder->isEmpty())
            paths.m_missing << folder.value;
    }
    return paths;
}

QString CInstallPaths::folderName()
{
    return QStringLiteral(MIREVALE_FOLDER_NAME);
}

QString CInstallPaths::usableFolder(const QString &value)
{
    QString folder = QString(value).replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (folder.trimmed().isEmpty() || QDir::isRelativePath(folder))
        return QString();
#ifdef Q_OS_WIN
    // "/folder" is relative to the current drive: a drive letter or a
    // network share is required.
    const bool drive = folder.size() >= 3 && folder.at(0).isLetter()
            && folder.at(1) == QLatin1Char(':') && folder.at(2) == QLatin1Char('/');
    if (!drive && !folder.startsWith(QLatin1String("//")))
        return QString();
#endif
    while (folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    // A drive's root is no all-users folder: nothing is placed there.
    if (folder.isEmpty() || (folder.size() == 2 && folder.at(1) == QLatin1Char(':')))
        return QString();
    return folder;
}

QString CInstallPaths::programFilesFolder() const
{
    return m_programFolder.left(m_programFolder.lastIndexOf(QLatin1Char('/')));
}

QString CInstallPaths::dataFolder() const
{
    return m_commonAppData.isEmpty() ? QString()
                                     : m_commonAppData + QLatin1Char('/') + folderName();
}

QString CInstallPaths::groupFolder() const
{
    return m_programs.isEmpty() ? QString() : m_programs + QLatin1Char('/') + folderName();
}

QString CInstallPaths::mainExecutable() const
{
    return m_programFolder + QLatin1Char('/') + m_productName + QStringLiteral(".exe");
}

QString CInstallPaths::uninstaller() const
{
    return m_programFolder + QStringLiteral("/" MIREVALE_UNINSTALLER);
}

QString CInstallPaths::desktopShortcut() const
{
    return m_desktop.isEmpty()
            ? QString()
            : m_desktop + QLatin1Char('/') + m_productName + QStringLiteral(".lnk");
}

QString CInstallPaths::programShortcut() const
{
    return m_programs.isEmpty()
            ? QString()
            : groupFolder() + QLatin1Char('/') + m_productName + QStringLiteral(".lnk");
}

QString CInstallPaths::uninstallShortcut(const QString &caption) const
{
    return m_programs.isEmpty()
            ? QString()
            : groupFolder() + QLatin1Char('/') + caption + QStringLiteral(".lnk");
}
