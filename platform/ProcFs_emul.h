#pragma once

// What /proc shows this process of the others, for the emulation's answers
// to "who holds this file" and "is the product running". Processes this one
// may not look at are simply missing, as on Windows without the right.

#include <QString>
#include <QStringList>

namespace Platform {
namespace ProcFs {

// The folders /proc/<pid> of the processes, in /proc's order.
QStringList processFolders();

// The pid of a folder of processFolders().
qint64 pidOf(const QString &processFolder);

// The target of a /proc link, without the " (deleted)" that Linux appends
// for an entry that is gone (*deleted then says so); empty when unreadable.
QString linkTarget(const QString &link, bool *deleted = nullptr);

// The links of a process to what it uses: its working folder, its program,
// then each file it holds open (/proc/<pid>/fd).
QStringList usedLinks(const QString &processFolder);

} // namespace ProcFs
} // namespace Platform
