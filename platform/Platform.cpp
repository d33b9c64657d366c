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

void shellOpen(const QString &path)
{
    ShellOpenHook hook;
    {
        QMutexLocker locker(&hookMutex);
        hook = shellOpenHook;
    }
    if (hook)
        hook(path);
    else
        nativeShellOpen(path);
}

} // namespace Platform
