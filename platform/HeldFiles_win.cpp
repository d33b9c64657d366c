// Held files on Windows: handles whose sharing lets others read and run a
// file but never write, rename or delete it, and never rename or delete the
// folder (see HeldFiles.h and the README's Security section).
#include "HeldFiles.h"

#include <QDir>

#include <windows.h>

#include <string>

namespace Platform {

namespace {

HANDLE handleOf(qintptr value)
{
    return reinterpret_cast<HANDLE>(value);
}

qintptr valueOf(HANDLE handle)
{
    return reinterpret_cast<qintptr>(handle);
}

// "\\?\C:\..." -> "C:\...", "\\?\UNC\server\share" -> "\\server\share".
QString withoutExtendedPrefix(const QString &path)
{
    if (path.startsWith(QLatin1String("\\\\?\\UNC\\")))
        return QStringLiteral("\\\\") + path.mid(8);
    if (path.startsWith(QLatin1String("\\\\?\\")))
        return path.mid(4);
    return path;
}

// The extended-length form of a full path, so that no MAX_PATH limit applies.
std::wstring extendedPath(const QString &path)
{
    const QString native = QDir::toNativeSeparators(path);
    if (native.startsWith(QLatin1String("\\\\")))
        return (QStringLiteral("\\\\?\\UNC") + native.mid(1)).toStdWString();
    return (QStringLiteral("\\\\?\\") + native).toStdWString();
}

} // namespace

HeldFiles::HeldFiles(const QString &path)
{
    // The folder's name cannot be deleted or renamed while this handle is
    // open: it does not share deletion. Listing and creating entries stay
    // open to everyone.
    const QString native = QDir::toNativeSeparators(path);
    HANDLE folder = CreateFileW(reinterpret_cast<LPCWSTR>(native.utf16()), FILE_LIST_DIRECTORY,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (folder == INVALID_HANDLE_VALUE)
        return;
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetFinalPathNameByHandleW(folder, &buffer[0], DWORD(buffer.size()),
                                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0) {
            CloseHandle(folder);
            return;
        }
        if (length < buffer.size()) {
            buffer.resize(length);
            break;
        }
        buffer.resize(length + 1);
    }
    m_folder = valueOf(folder);
    m_folderPath
            = QDir::fromNativeSeparators(withoutExtendedPrefix(QString::fromStdWString(buffer)));
    while (m_folderPath.endsWith(QLatin1Char('/')) && m_folderPath.size() > 3)
        m_folderPath.chop(1);
}

HeldFiles::~HeldFiles()
{
    for (qintptr file : qAsConst(m_files)) {
        if (file != -1)
            CloseHandle(handleOf(file));
    }
    if (m_folder != -1)
        CloseHandle(handleOf(m_folder));
}

bool HeldFiles::isValid() const
{
    return m_folder != -1;
}

QString HeldFiles::folder() const
{
    return m_folderPath;
}

HeldFiles::Held HeldFiles::hold(const QString &name)
{
    m_files.append(-1);
    if (m_folder == -1)
        return Held::Failed;
    // Reading and running share read access (FILE_READ_DATA or
    // FILE_EXECUTE); nobody may open it to write or delete (rename) it.
    const std::wstring path = extendedPath(m_folderPath + QLatin1Char('/') + name);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return Held::Missing;
        return Held::Failed;
    }
    FILE_ATTRIBUTE_TAG_INFO tag = {};
    if (!GetFileInformationByHandleEx(file, FileAttributeTagInfo, &tag, sizeof(tag))
        || GetFileType(file) != FILE_TYPE_DISK
        || (tag.FileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))) {
        CloseHandle(file);
        return Held::NotAFile;
    }
    m_files.last() = valueOf(file);
    return Held::Yes;
}

qint64 HeldFiles::size(int index) const
{
    const qintptr file = m_files.value(index, -1);
    LARGE_INTEGER size = {};
    if (file == -1 || !GetFileSizeEx(handleOf(file), &size))
        return -1;
    return qint64(size.QuadPart);
}

qint64 HeldFiles::read(int index, qint64 offset, char *buffer, qint64 length) const
{
    const qintptr file = m_files.value(index, -1);
    if (file == -1)
        return -1;
    // A synchronous handle reads at the offset given in the OVERLAPPED.
    OVERLAPPED at = {};
    at.Offset = DWORD(quint64(offset) & 0xffffffffu);
    at.OffsetHigh = DWORD(quint64(offset) >> 32);
    DWORD got = 0;
    const DWORD wanted = DWORD(qMin<qint64>(length, 1 << 30));
    if (!ReadFile(handleOf(file), buffer, wanted, &got, &at))
        return GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
    return qint64(got);
}

} // namespace Platform
