// The platform layer on Windows: every call goes to the real service.
#include "Platform.h"
#include "PlatformNative.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include <windows.h>

#include <knownfolders.h>
#include <shellapi.h>
#include <shlobj.h>

#include <vector>

namespace Platform {

void restrictDllSearch()
{
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

QString systemRoot()
{
    return QDir::rootPath();
}

std::unique_ptr<QSettings> openRegistryKey(const QString &keyPath)
{
    return std::make_unique<QSettings>(keyPath, QSettings::NativeFormat);
}

QString standardFolder(StandardFolder folder)
{
    const KNOWNFOLDERID *id = &FOLDERID_CommonPrograms;
    switch (folder) {
    case StandardFolder::CommonAppData:
        id = &FOLDERID_ProgramData;
        break;
    case StandardFolder::CommonDesktop:
        id = &FOLDERID_PublicDesktop;
        break;
    case StandardFolder::CommonPrograms:
        break;
    }
    PWSTR path = nullptr;
    QString result;
    if (SUCCEEDED(SHGetKnownFolderPath(*id, 0, nullptr, &path)))
        result = QDir::fromNativeSeparators(QString::fromWCharArray(path));
    CoTaskMemFree(path);
    while (result.endsWith(QLatin1Char('/')) && result.size() > 3)
        result.chop(1);
    return result;
}

bool createDirectory(const QString &path)
{
    const QString nativePath = QDir::toNativeSeparators(path);
    return CreateDirectoryW(reinterpret_cast<LPCWSTR>(nativePath.utf16()), nullptr) != 0;
}

void nativeShellOpen(const QString &path)
{
    // As long as the path needs, with its terminating zero.
    const QString nativePath = QDir::toNativeSeparators(path);
    std::vector<wchar_t> file(size_t(nativePath.size()) + 1, L'\0');
    nativePath.toWCharArray(file.data());
    ShellExecuteW(nullptr, L"open", file.data(), nullptr, nullptr, SW_SHOWNORMAL);
}

bool createLink(const QString &target, const QString &linkPath)
{
    return QFile::link(target, linkPath);
}

// Decided by the reparse-point attribute alone: Qt 5 on Windows also calls a
// shortcut (.lnk) file a symbolic link, and a shortcut in an old
// installation is a file like any other.
bool isLink(const QFileInfo &info)
{
    const QString nativePath = QDir::toNativeSeparators(info.absoluteFilePath());
    const DWORD attributes = GetFileAttributesW(reinterpret_cast<LPCWSTR>(nativePath.utf16()));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

} // namespace Platform
