// Folders by handle on POSIX systems: file descriptors opened with
// O_NOFOLLOW | O_DIRECTORY, and every call relative to one (see
// platform/README.md for how modes and owners stand in for Windows security).
#include "FolderHandle.h"

#include <QFile>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace Platform {

namespace {

const int folderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
const mode_t protectedMode = 0755;

FolderHandle::Kind kindOfMode(mode_t mode)
{
    if (S_ISLNK(mode))
        return FolderHandle::Kind::Link;
    if (S_ISDIR(mode))
        return FolderHandle::Kind::Folder;
    if (S_ISREG(mode))
        return FolderHandle::Kind::File;
    return FolderHandle::Kind::Other;
}

} // namespace

FolderHandle::FolderHandle(int fd)
    : m_fd(fd)
{ }

FolderHandle::~FolderHandle()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

FolderHandle::FolderHandle(FolderHandle &&other) noexcept
    : m_fd(other.m_fd)
{
    other.m_fd = -1;
}

FolderHandle &FolderHandle::operator=(FolderHandle &&other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

FolderHandle FolderHandle::open(const QString &path)
{
    return FolderHandle(::open(QFile::encodeName(path).constData(), folderFlags));
}

bool FolderHandle::isValid() const
{
    return m_fd >= 0;
}

FolderHandle FolderHandle::child(const QString &name, Opened *how) const
{
    const int fd = m_fd < 0 ? -1 : ::openat(m_fd, QFile::encodeName(name).constData(), folderFlags);
    if (how) {
        if (fd >= 0)
            *how = Opened::Folder;
        else if (errno == ELOOP || errno == ENOTDIR)
            *how = Opened::NotAFolder;
        else if (errno == ENOENT)
            *how = Opened::Missing;
        else
            *how = Opened::Failed;
    }
    return FolderHandle(fd);
}

bool FolderHandle::list(QVector<Entry> *entries) const
{
    entries->clear();
    // A folder that can be read but not searched cannot be told free of
    // links: its entries cannot be opened.
    if (m_fd < 0 || ::faccessat(m_fd, ".", R_OK | X_OK, AT_EACCESS) != 0)
        return false;
    // fdopendir takes over the descriptor it is given: hand it a copy.
    const int copy = m_fd < 0 ? -1 : ::fcntl(m_fd, F_DUPFD_CLOEXEC, 0);
    DIR *dir = copy < 0 ? nullptr : ::fdopendir(copy);
    if (!dir) {
        if (copy >= 0)
            ::close(copy);
        return false;
    }
    ::rewinddir(dir);
    errno = 0;
    while (const dirent *d = ::readdir(dir)) {
        const char *name = d->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
            continue;
        Entry entry;
        entry.name = QFile::decodeName(name);
        entry.hidden = name[0] == '.';
        switch (d->d_type) {
        case DT_DIR:
            entry.kind = Kind::Folder;
            break;
        case DT_REG:
            entry.kind = Kind::File;
            break;
        case DT_LNK:
            entry.kind = Kind::Link;
            break;
        case DT_UNKNOWN:
            entry.kind = kindOf(entry.name);
            break;
        default:
            entry.kind = Kind::Other;
        }
        entries->append(entry);
        errno = 0;
    }
    const bool complete = errno == 0;
    ::closedir(dir);
    return complete;
}

FolderHandle::Kind FolderHandle::kindOf(const QString &name) const
{
    struct stat info;
    if (m_fd < 0
        || ::fstatat(m_fd, QFile::encodeName(name).constData(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? Kind::Gone : Kind::Other;
    return kindOfMode(info.st_mode);
}

bool FolderHandle::remove(const QString &name) const
{
    // unlinkat without AT_REMOVEDIR removes a file or a link, and fails on a
    // folder.
    return m_fd >= 0 && ::unlinkat(m_fd, QFile::encodeName(name).constData(), 0) == 0;
}

bool FolderHandle::removeFolder(const QString &name, const FolderHandle &folder) const
{
    // By name: POSIX cannot remove a folder through its descriptor. A name
    // swapped meanwhile for a link fails (ENOTDIR); a full folder too.
    Q_UNUSED(folder);
    return m_fd >= 0 && ::unlinkat(m_fd, QFile::encodeName(name).constData(), AT_REMOVEDIR) == 0;
}

FolderHandle FolderHandle::createProtected(const QString &name) const
{
    const QByteArray native = QFile::encodeName(name);
    if (m_fd < 0 || ::mkdirat(m_fd, native.constData(), protectedMode) != 0)
        return FolderHandle();
    FolderHandle created = child(name);
    if (!created.protect())
        return FolderHandle();
    return created;
}

FolderHandle FolderHandle::hold(const QString &name, FolderHandle &folder) const
{
    // A descriptor keeps no one out and nothing from being renamed: there is
    // nothing to trade it for.
    Q_UNUSED(name);
    return m_fd >= 0 ? std::move(folder) : FolderHandle();
}

FolderHandle FolderHandle::takeOver(const QString &name, Opened *how) const
{
    if (how)
        *how = Opened::Failed;
    if (m_fd < 0)
        return FolderHandle();
    const QByteArray native = QFile::encodeName(name);
    // O_PATH opens the folder without the right to read it: enough to look
    // at it and, through /proc, to change its mode (fchmod refuses an O_PATH
    // descriptor). A link is opened as itself (O_NOFOLLOW) and refused.
    const int path = ::openat(m_fd, native.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    struct stat before;
    if (path < 0 || ::fstat(path, &before) != 0 || !S_ISDIR(before.st_mode)) {
        const int error = errno;
        if (path >= 0)
            ::close(path);
        if (how)
            *how = path >= 0 || error == ELOOP || error == ENOTDIR ? Opened::NotAFolder
                    : error == ENOENT                              ? Opened::Missing
                                                                   : Opened::Failed;
        return FolderHandle();
    }
    const QByteArray proc = "/proc/self/fd/" + QByteArray::number(path);
    const bool taken = (::geteuid() == 0 || before.st_uid == ::geteuid())
            && (::geteuid() != 0 || ::chown(proc.constData(), 0, 0) == 0)
            && ::chmod(proc.constData(), protectedMode) == 0;
    ::close(path);
    FolderHandle folder = taken ? child(name, how) : FolderHandle();
    struct stat after;
    if (folder.isValid()
        && (::fstat(folder.m_fd, &after) != 0 || after.st_dev != before.st_dev
            || after.st_ino != before.st_ino)) {
        // Another folder took the name meanwhile: it is not the one taken over.
        if (how)
            *how = Opened::Failed;
        return FolderHandle();
    }
    return folder;
}

bool FolderHandle::protect() const
{
    if (m_fd < 0)
        return false;
    // As root, the folder becomes root's, as on Windows it becomes the
    // Administrators'.
    if (::geteuid() == 0 && ::fchown(m_fd, 0, 0) != 0)
        return false;
    return ::fchmod(m_fd, protectedMode) == 0;
}

bool FolderHandle::trustedOwner() const
{
    struct stat info;
    if (m_fd < 0 || ::fstat(m_fd, &info) != 0)
        return false;
    return info.st_uid == 0 || info.st_uid == ::geteuid();
}

bool FolderHandle::restoreInherited(const FolderHandle &parent) const
{
    struct stat info;
    if (m_fd < 0 || parent.m_fd < 0 || ::fstat(parent.m_fd, &info) != 0)
        return false;
    return ::fchmod(m_fd, info.st_mode & 0777) == 0;
}

QString securityDescriptor(const QString &path)
{
    struct stat info;
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return QString();
    return QStringLiteral("owner %1 mode %2")
            .arg(info.st_uid)
            .arg(info.st_mode & 07777, 4, 8, QLatin1Char('0'));
}

} // namespace Platform
