#pragma once

// Archives and processes for the extraction tests: the real 7-Zip of the
// system makes the archives, the project's 7z.exe front end unpacks them.

#include <QString>
#include <QStringList>

namespace TestArchives {

// The installer's password.
QString installerPassword();

// The system's 7-Zip (7zz, 7z or 7za on PATH; on Windows the 7za.exe shipped
// beside the installer); empty when there is none.
QString realSevenZip();

// The front end built beside the installer.
QString frontEnd();

// Packs everything inside `folder` (sub-folders included, hidden files too)
// into the 7z archive `archive`, encrypted with `password`, names too.
// `extraSwitches` go to 7-Zip as they are (e.g. "-mx0"). True on success.
bool makeArchive(const QString &archive, const QString &folder, const QString &password,
                 const QStringList &extraSwitches = QStringList());

// The seal of the payload in `folder`, as scripts/seal writes it into an
// installer: the size and SHA-256 of each of 7z.exe, (Windows) 7za.exe,
// tarvo.cab and data.cab that is there.
QByteArray sealTable(const QString &folder);
// Seals the payload in `folder` for this process's installations (the test
// seams' table); seal again after changing it. False when a file could not
// be read.
bool sealPayload(const QString &folder);

// Writes `text` into the file `path`, creating missing parent folders.
bool writeFile(const QString &path, const QByteArray &text);

// Every file below `folder` (relative paths, "/" separated, sorted), hidden
// files included, links not followed.
QStringList filesBelow(const QString &folder);

// The ids of the live child processes of process `parent` (from /proc; Linux
// only: under Wine the end-to-end test watches the processes from outside).
QList<qint64> childProcesses(qint64 parent);

// True while a process with that id exists and is not a zombie.
bool processAlive(qint64 pid);

} // namespace TestArchives
