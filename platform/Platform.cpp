// The part of the platform layer that is the same on every system.
#include "Platform.h"
#include "PlatformNative.h"

#include <QMutex>
#include <QMutexLocker>

namespace Platform {

namespace {

QMutex hookMutex;
ShellOpenHook shellOpenHook;

} // namespace

void setShellOpenHook(ShellOpenHook hook)
{
    QMutexLocker locker(&hookMutex);
    shellOpenHook = std::move(hook);
}

namespace {

bool open(const QString &path, ShellOpenAs as)
{
    ShellOpenHook hook;
    {
        QMutexLocker locker(&hookMutex);
        hook = shellOpenHook;
    }
    if (!hook)
        return nativeShellOpen(path, as);
    hook(path, as);
    return true;
}

} // namespace

bool shellOpen(const QString &path)
{
    return open(path, ShellOpenAs::Installer);
}

bool shellOpenAsUser(const QString &path)
{
    return open(path, ShellOpenAs::SignedInUser);
}

} // namespace Platform
