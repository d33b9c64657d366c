#include "ShellOpen.h"

#include "Platform.h"

void ShellOpen(const QString &path)
{
    // The platform layer converts the whole path, however long, so a long
    // path never reaches the shell cut short.
    Platform::shellOpen(path);
}

void ShellOpenAsUser(const QString &path)
{
    Platform::shellOpenAsUser(path);
}
