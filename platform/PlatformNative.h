#pragma once

// What each system's implementation of the platform layer provides to the
// shared code in Platform.cpp (Platform_win.cpp, Platform_emul.cpp).

#include "Platform.h"

#include <QString>

namespace Platform {

// Opens path with the shell with the rights asked for, the test hook
// already ruled out, in the program's own folder. False when it failed.
bool nativeShellOpen(const QString &path, ShellOpenAs as);

} // namespace Platform
