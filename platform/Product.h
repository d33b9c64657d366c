#pragma once

// The facts of the product that the installer, its tools, its resources and
// its tests share: names, registry keys, the payload and the version. Plain
// string macros, so that the resource compiler and the Win32 tools can use
// them as they are; Qt code wraps them in QStringLiteral(), Win32 code in
// MIREVALE_WIDE(). The version is generated from the project's version into
// ProductVersion.h.

#define MIREVALE_WIDE_(text) L##text
#define MIREVALE_WIDE(text) MIREVALE_WIDE_(text)

// The untranslated name: the program folder, the data folder, the
// Programs-menu group and the uninstall entry's subkey.
#define MIREVALE_FOLDER_NAME "Mirevale"
#define MIREVALE_PUBLISHER "Kestrelvane"
#define MIREVALE_COPYRIGHT_YEAR "2026"

// The program folder below the system drive's root.
#define MIREVALE_PROGRAM_FILES "Program Files"

// Registry keys below HKEY_LOCAL_MACHINE.
#define MIREVALE_HKLM "HKEY_LOCAL_MACHINE"
#define MIREVALE_SHELL_FOLDERS_KEY "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"
#define MIREVALE_UNINSTALL_KEY "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"

// Values of the Shell Folders key.
#define MIREVALE_COMMON_APPDATA "Common AppData"
#define MIREVALE_COMMON_DESKTOP "Common Desktop"
#define MIREVALE_COMMON_PROGRAMS "Common Programs"

// The payload beside the installer.
#define MIREVALE_EXTRACTOR "7z.exe"
#define MIREVALE_PROGRAM_ARCHIVE "tarvo.cab"
#define MIREVALE_DATA_ARCHIVE "data.cab"
// The stand-alone 7-Zip the front end runs on Windows, beside it.
#define MIREVALE_SEVENZIP "7za.exe"
// The password of both archives.
#define MIREVALE_ARCHIVE_PASSWORD "#m8qzl#*&^%$!"

// What the program folder holds besides the main executable.
#define MIREVALE_UNINSTALLER "uninstall.exe"
