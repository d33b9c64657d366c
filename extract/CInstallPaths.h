#pragma once

#include <QString>
#include <QStringList>

// Every folder and file the installation places, computed in one place for
// the worker and the window: the program folder, the data folder, the
// all-users desktop and Programs menu, the main executable, the uninstaller
// and the three shortcuts.
//
// The all-users folders come from the Shell Folders key; a value that is
// missing, empty, blank or relative gives way to the system's standard
// folder. When that cannot be found either, the folder is missing: the
// paths are not complete and the installation must not go on (no path is
// ever built from nothing, such as "/Mirevale" at a drive's root).
class CInstallPaths
{
public:
    // The paths below the program folder, which need no lookup (the system
    // drive's root + "Program Files/Mirevale"). productName names the main
    // executable and its shortcuts. The all-users folders are not looked
    // up yet: the paths are not complete.
    explicit CInstallPaths(const QString &productName = QString());
    // The same with the all-users folders looked up: the Shell Folders key
    // and, where needed, the standard folders.
    static CInstallPaths resolve(const QString &productName);

    // True when every folder was found; missing() names the others
    // ("Common AppData", "Common Desktop", "Common Programs").
    bool isComplete() const { return m_missing.isEmpty(); }
    QStringList missing() const { return m_missing; }

    QString programFilesFolder() const; // the program folder's parent
    QString programFolder() const { return m_programFolder; }
    QString commonAppData() const { return m_commonAppData; } // the data folder's parent
    QString dataFolder() const;
    QString desktopFolder() const { return m_desktop; }
    QString programsFolder() const { return m_programs; }
    QString groupFolder() const; // the Programs-menu group "Mirevale"
    QString mainExecutable() const;
    QString uninstaller() const;
    QString desktopShortcut() const;
    QString programShortcut() const;
    // The group's shortcut to the uninstaller, named `caption`.
    QString uninstallShortcut(const QString &caption) const;

    // The untranslated folder name of the installation's folders.
    static QString folderName();

    // A value of the Shell Folders key as a folder: "\" turned into "/";
    // empty when it is empty, blank or not an absolute path.
    static QString usableFolder(const QString &value);

private:
    QString m_productName;
    QString m_programFolder;
    QString m_commonAppData;
    QString m_desktop;
    QString m_programs;
    QStringList m_missing {QStringLiteral("Common AppData"), QStringLiteral("Common Desktop"),
                           QStringLiteral("Common Programs")};
};
