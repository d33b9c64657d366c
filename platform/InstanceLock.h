#pragma once

// One installer at a time: a lock held while the installer runs, released
// when the object is destroyed or the process dies.
//
// Windows (InstanceLock_win.cpp): a mutex in a private namespace whose
// boundary holds the Administrators SID (CreateBoundaryDescriptorW,
// AddSIDToBoundaryDescriptor, CreatePrivateNamespaceW or
// OpenPrivateNamespaceW, CreateMutexW). Only a process running with the
// Administrators group can create or open that namespace, so a standard user
// cannot take the lock first; an object of the same name made anywhere else
// (Global\, Local\, another namespace) is another object and blocks nothing.
// A mutex belongs to a thread: acquire and destroy the lock on one thread.
// Wine (8.0) has no private namespaces: there the lock is Failed.
//
// Emulation (InstanceLock_emul.cpp): flock(LOCK_EX | LOCK_NB) on
// <system root>Windows/<name>.lock, opened with O_CREAT | O_NOFOLLOW |
// O_CLOEXEC (a link in its place fails). Two InstanceLock objects of one
// process exclude each other, as two processes do.

#include <QString>

namespace Platform {

class InstanceLock
{
public:
    enum class State {
        Held, // this object holds the lock
        Busy, // another instance holds it
        Failed // the lock could not be made or opened: the caller decides
    };

    // `name`: letters, digits, '-' and '_' (the object's and the file's name).
    explicit InstanceLock(const QString &name);
    ~InstanceLock();
    InstanceLock(const InstanceLock &) = delete;
    InstanceLock &operator=(const InstanceLock &) = delete;

    // Takes the lock if no one holds it; never waits. A lock whose holder
    // died without releasing it is free. Held again when already held.
    State tryAcquire();
    State state() const { return m_state; }

    // For the instance that found the lock busy: brings the visible
    // top-level window titled `windowTitle` of another process (the holder)
    // to the front, restoring it when minimised (SetForegroundWindow; this
    // process, just started by the user, may hand on the foreground with
    // AllowSetForegroundWindow). False when there is no such window. The
    // emulation does nothing and returns false: X11 window managers decide
    // themselves what comes to the front.
    static bool bringToFront(const QString &windowTitle);

private:
    void release();

    QString m_name;
    State m_state = State::Failed;
#ifdef Q_OS_WIN
    void *m_boundary = nullptr;
    void *m_namespace = nullptr;
    void *m_mutex = nullptr;
#else
    int m_fd = -1;
#endif
};

} // namespace Platform
