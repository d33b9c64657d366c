// Log files in the emulation: POSIX open that only ever creates.
#include "LogFile.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace Platform {

LogFile::LogFile(const QString &path, int fd)
    : m_fd(fd)
    , m_path(path)
{ }

LogFile::~LogFile()
{
    ::close(m_fd);
}

std::unique_ptr<LogFile> LogFile::create(const QString &path)
{
    const QString clean = QDir::fromNativeSeparators(path);
    const int fd = ::open(QFile::encodeName(clean).constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return nullptr;
    return std::unique_ptr<LogFile>(new LogFile(clean, fd));
}

bool LogFile::writeLine(const QString &text)
{
    const QByteArray line = text.toUtf8() + '\n';
    qint64 done = 0;
    while (done < line.size()) {
        const ssize_t written = ::write(m_fd, line.constData() + done, size_t(line.size() - done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += written;
    }
    return true;
}

} // namespace Platform
