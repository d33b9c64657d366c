#include "FileInUse.h"

#include <QDir>
#include <QDirIterator>

#include <windows.h>

namespace Platform {

QString firstFileInUse(const QString &folder, int limit)
{
    // QDirIterator does not follow links unless asked to.
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    for (int looked = 0; it.hasNext() && looked < limit; ++looked) {
        const QString path = it.next();
        const std::wstring native = QDir::toNativeSeparators(path).toStdWString();
        const HANDLE handle = CreateFileW(
                native.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS,
                nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            CloseHandle(handle);
            continue;
        }
        if (GetLastError() == ERROR_SHARING_VIOLATION)
            return QDir::fromNativeSeparators(path);
    }
    return QString();
}

} // namespace Platform
