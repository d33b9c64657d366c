#pragma once

#include <QString>

// Asks the shell to open a file with its "open" verb and returns at once:
// false when the launch failed. The path may use forward or backward slashes
// and may be of any length.
bool ShellOpen(const QString &path);

// The same, as the signed-in user: the program does not inherit the
// installer's administrator rights (see Platform::shellOpenAsUser).
bool ShellOpenAsUser(const QString &path);
