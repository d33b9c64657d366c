#pragma once

// Our layer over the Windows services the installer uses: the system drive,
// the registry, directory creation, the shell and shell links. On Windows
// every call goes to the real service; elsewhere an emulation rooted in a
// folder that plays the system drive stands in (see platform/README.md).
//
// Paths are QStrings with "/" inside the program; conversion to native
// separators happens inside this layer.

#include <QString>

#include <memory>

class QSettings;
class QFileInfo;

namespace Platform {

// From here on, DLLs are loaded from the system folder only: never from the
// program's own folder (a downloaded installer starts from the user's
// Downloads folder) nor from PATH. The first call in main, on Windows
// (SetDefaultDllDirectories); elsewhere nothing.
void restrictDllSearch();

// The root of the system drive, with forward slashes and a trailing "/":
// QDir::rootPath() on Windows, the emulated system root elsewhere
// ($MIREVALE_SYSTEM_ROOT, or a folder under the user's data location).
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

// ShellExecuteW with the verb "open", with the installer's rights. Returns
// at once; reports nothing.
void shellOpen(const QString &path);

// Opens path with the verb "open" as the signed-in user: on Windows the
// desktop shell's own process (Explorer) opens it, so the program does not
// inherit the installer's administrator rights. Where there is no desktop
// shell, the same as shellOpen. Returns at once; reports nothing.
void shellOpenAsUser(const QString &path);

// A shell link at linkPath pointing at target (QFile::link: a .lnk file on
// Windows, a symbolic link elsewhere).
bool createLink(const QString &target, const QString &linkPath);

// True for a symbolic link and, on Windows, for a junction or any other
// reparse point: entries that a recursive deletion must never descend into.
bool isLink(const QFileInfo &info);

} // namespace Platform
