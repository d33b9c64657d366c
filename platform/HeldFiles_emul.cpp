// Held files on POSIX systems: file descriptors. The folder's path is what
// the kernel says the descriptor is (/proc/self/fd); files are opened
// relative to the folder's descriptor without following a link. POSIX has
// no sharing modes: anyone with the right to write can still change a held
// file (see platform/README.md).
#include "HeldFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Platform {

HeldFiles::HeldFiles(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    m_folder = fd;
    const QString self = QStringLiteral("/proc/self/fd/%1").arg(fd);
    m_folderPath = QFileInfo(self).exists() ? QFileInfo(self).symLinkTarget()
                                            : QFileInfo(path).canonicalFilePath();
    if (m_folderPath.isEmpty())
        m_folderPath = QDir::cleanPath(QDir(path).absolutePath());
}

HeldFiles::~HeldFiles()
{
    for (qintptr fd : qAsConst(m_files)) {
        if (fd >= 0)
            ::close(int(fd));
    }
    if (m_folder >= 0)
        ::close(int(m_folder));
}

bool HeldFiles::isValid() const
{
    return m_folder >= 0;
}

QString HeldFiles::folder() const
{
    return m_folderPath;
}

HeldFiles::Held HeldFiles::hold(const QString &name)
{
    m_files.append(-1);
    if (m_folder < 0)
        return Held::Failed;
    const QByteArray encoded = QFile::encodeName(name);
    const int fd = ::openat(int(m_folder), encoded.constData(),
                            O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return Held::Missing;
        return errno == ELOOP ? Held::NotAFile : Held::Failed;
    }
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return Held::NotAFile;
    }
    m_files.last() = fd;
    return Held::Yes;
}

qint64 HeldFiles::size(int index) const
{
    const qintptr fd = m_files.value(index, -1);
    struct stat info;
    if (fd < 0 || ::fstat(int(fd), &info) != 0)
        return -1;
    return qint64(info.st_size);
}

qint64 HeldFiles::read(int index, qint64 offset, char *buffer, qint64 length) const
{
    const qintptr fd = m_files.value(index, -1);
    if (fd < 0)
        return -1;
    for (;;) {
        const ssize_t got = ::pread(int(fd), buffer, size_t(length), off_t(offset));
        if (got >= 0 || errno != EINTR)
            return qint64(got);
    }
}

} // namespace Platform
