// Log files on Windows: CreateFileW that only ever creates, never through a
// reparse point.
#include "LogFile.h"

#include <QDir>

#include <windows.h>

#include <vector>

namespace Platform {

LogFile::LogFile(const QString &path, void *handle)
    : m_handle(handle)
    , m_path(path)
{ }

LogFile::~LogFile()
{
    CloseHandle(m_handle);
}

std::unique_ptr<LogFile> LogFile::create(const QString &path)
{
    const QString native = QDir::toNativeSeparators(path);
    std::vector<wchar_t> name(size_t(native.size()) + 1, L'\0');
    native.toWCharArray(name.data());
    // CREATE_NEW fails on any existing name, a link included; with
    // FILE_FLAG_OPEN_REPARSE_POINT no reparse point is ever followed. Others
    // may read the log while it is written, never write, rename or delete it.
    HANDLE handle = CreateFileW(name.data(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return nullptr;
    return std::unique_ptr<LogFile>(new LogFile(QDir::fromNativeSeparators(path), handle));
}

bool LogFile::writeLine(const QString &text)
{
    const QByteArray line = text.toUtf8() + "\r\n";
    qint64 done = 0;
    while (done < line.size()) {
        DWORD written = 0;
        if (!WriteFile(m_handle, line.constData() + done, DWORD(line.size() - done), &written,
                       nullptr)
            || written == 0)
            return false;
        done += written;
    }
    return true;
}

} // namespace Platform
