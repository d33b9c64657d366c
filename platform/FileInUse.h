#pragma once

// Which file keeps a folder from being renamed: for naming it to the user
// when a folder cannot be set aside.
//
// Windows (FileInUse_win.cpp): the entries below the folder, links not
// followed, each opened for deletion with every sharing mode
// (CreateFileW with DELETE, FILE_FLAG_OPEN_REPARSE_POINT); the first that
// is refused for a sharing violation is in use. Emulation
// (FileInUse_emul.cpp): the entries below the folder that a process this
// one may see holds open (/proc/<pid>/fd, cwd, exe), the first by name.

#include <QString>

namespace Platform {

// The first entry below `folder` that is in use, with "/" separators; empty
// when none is found among the first `limit` entries.
QString firstFileInUse(const QString &folder, int limit = 10000);

} // namespace Platform
