#pragma once

// Our layer over the Windows services the installer uses: the system drive,
// the registry, directory creation, the shell and shell links. On Windows
// every call goes to the real service; elsewhere an emulation rooted in a
// folder that plays the system drive stands in (see platform/README.md).
//
// Paths are QStrings with "/" inside the program; conversion to native
// separators happens inside this layer.

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <memory>

class QSettings;
class QFileInfo;

namespace Platform {

// From here on, DLLs are loaded from the system folder only: never from the
// program's own folder (a downloaded installer starts from the user's
// Downloads folder) nor from PATH. The first call in main, on Windows
// (SetDefaultDllDirectories); elsewhere nothing. False when Windows cannot
// restrict the search (Windows 7 without update KB2533623, which brings
// SetDefaultDllDirectories): the installer must not go on then.
bool restrictDllSearch();

// The root of the system drive, with forward slashes and a trailing "/": on
// Windows the drive of GetSystemWindowsDirectoryW ("C:/"; never the
// environment's %SystemDrive%), empty if the system cannot say; the
// emulated system root elsewhere ($MIREVALE_SYSTEM_ROOT, or a folder under
// the user's data location).
QString systemRoot();

// Opens a registry key by its full path, for example
// "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders".
// On Windows this is QSettings(path, QSettings::NativeFormat). Elsewhere the
// settings object works on the emulated hive file, positioned on the key as a
// group: a QString is stored as REG_SZ, an int as REG_DWORD. Key paths match
// case-insensitively. The settings object commits when it is destroyed.
std::unique_ptr<QSettings> openRegistryKey(const QString &keyPath);

// The all-users folders of a standard Windows installation, used when the
// shell-folders key has no usable value. Forward slashes, no trailing "/".
// Empty when the system cannot name the folder (SHGetKnownFolderPath
// failed; in the emulation, while MIREVALE_NO_STANDARD_FOLDERS is set).
enum class StandardFolder { CommonAppData, CommonDesktop, CommonPrograms };
QString standardFolder(StandardFolder folder);

// CreateDirectoryW: creates the last path component only. True when the
// folder was created; false when it exists already or its parent is missing.
bool createDirectory(const QString &path);

// Whose rights a program opened through the shell runs with.
enum class ShellOpenAs {
    Installer, // the installer's own (administrator on Windows)
    SignedInUser // the signed-in user's, without the installer's elevation
};

// ShellExecuteW with the verb "open", with the installer's rights; the
// program starts in its own folder (never the installer's working folder).
// Returns at once: false when the launch failed (worth a log line).
bool shellOpen(const QString &path);

// Opens path with the verb "open" as the signed-in user: on Windows the
// desktop shell's own process (Explorer) opens it, so the program does not
// inherit the installer's administrator rights. Where there is no desktop
// shell, the same as shellOpen. The program starts in its own folder.
// Returns at once: false when the launch failed (the desktop shell's way
// reports only that it took the request).
bool shellOpenAsUser(const QString &path);

// A shell link at linkPath pointing at target (QFile::link: a .lnk file on
// Windows, a symbolic link elsewhere).
bool createLink(const QString &target, const QString &linkPath);

// True for a symbolic link and, on Windows, for a junction or any other
// reparse point: entries that a recursive deletion must never descend into.
bool isLink(const QFileInfo &info);

// The bytes that this process's user may still write on the volume holding
// path (or, when path does not exist yet, its nearest existing parent):
// GetDiskFreeSpaceExW's "available to the caller"; POSIX, statvfs
// f_bavail * f_frsize. -1 when it cannot be told.
qint64 freeSpace(const QString &path);

// True when both existing paths lie on the same volume, so that one can be
// renamed next to the other without copying (Windows: the volume serial
// numbers of the entries opened by handle, links not followed; POSIX:
// st_dev of lstat). False when either cannot be examined.
bool sameVolume(const QString &path, const QString &other);

// How renameFolder() ended.
enum class RenameResult {
    Renamed,
    InUse, // something holds the folder or an entry below it open
    Failed // anything else: missing, no right, target exists, other volume
};

// Renames the folder `from` to `to` on the same volume, never copying and
// never replacing an existing `to` (MoveFileExW without flags). On Windows
// a folder cannot be renamed while a file below it is open (a running
// program's image included): that refusal is InUse, so a rename aside
// tells whether anything in the folder is in use. The emulation refuses in
// the same cases, by looking at what the processes it may see hold open
// below `from` (/proc/<pid>/fd, cwd, exe), then renames.
RenameResult renameFolder(const QString &from, const QString &to);

// The programs that hold the file `path` open, to name them to the user:
// Windows, the Restart Manager (RmStartSession, RmRegisterResources,
// RmGetList, RmEndSession; rstrtmgr.dll is delay-loaded from the system
// folder), each by the name it gives (strAppName), else by its program's
// file name; the emulation, the processes it may see whose /proc/<pid>/fd
// or exe is the file, by their program's file name. Empty when none is
// found or the system cannot tell (Wine's Restart Manager finds none).
QStringList programsUsing(const QString &path);

// The temporary folder of this process, with forward slashes and no
// trailing "/": Windows, GetTempPath2W where it exists (SYSTEM's own
// folder for a service), else GetTempPathW; the emulation,
// <system root>Windows/Temp, created on demand.
QString temporaryFolder();

} // namespace Platform
