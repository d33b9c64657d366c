// The one-installer lock in the emulation: an exclusive flock on a file in
// the emulated system root.
#include "InstanceLock.h"
#include "Platform.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace Platform {

InstanceLock::InstanceLock(const QString &name)
    : m_name(name)
{ }

InstanceLock::~InstanceLock()
{
    release();
}

void InstanceLock::release()
{
    // Closing the descriptor releases the lock (as does the process's end).
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

InstanceLock::State InstanceLock::tryAcquire()
{
    if (m_state == State::Held)
        return m_state;
    release();
    const QString folder = systemRoot() + QStringLiteral("Windows");
    QDir().mkpath(folder);
    const QByteArray path
            = QFile::encodeName(folder + QLatin1Char('/') + m_name + QStringLiteral(".lock"));
    m_fd = ::open(path.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (m_fd < 0)
        return m_state = State::Failed;
    int result;
    do
        result = ::flock(m_fd, LOCK_EX | LOCK_NB);
    while (result != 0 && errno == EINTR);
    if (result == 0)
        return m_state = State::Held;
    const bool busy = errno == EWOULDBLOCK;
    release();
    return m_state = busy ? State::Busy : State::Failed;
}

bool InstanceLock::bringToFront(const QString &windowTitle)
{
    Q_UNUSED(windowTitle);
    return false;
}

} // namespace Platform
