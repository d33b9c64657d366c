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

void open(const QString &path, ShellOpenAs as)
{
    ShellOpenHook hook;
    {
        QMutexLocker locker(&hookMutex);
        hook = shellOpenHook;
    }
    if (hook)
        hook(path, as);
    else
        nativeShellOpen(path, as);
}

} // namespace

void shellOpen(const QString &path)
{
    open(path, ShellOpenAs::Installer);
}

void shellOpenAsUser(const QString &path)
{
    open(path, ShellOpenAs::SignedInUser);
}

} // namespace Platform
