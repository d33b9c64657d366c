#pragma once

// The log of one run of the installer: UTF-8, one time-stamped line per
// event, written as the run goes, so that a killed installer leaves the log
// up to that moment. Any thread may write. Until open() succeeds, lines are
// dropped. The archives' password never reaches the file: a line that holds
// it has it replaced.

#include <QString>

namespace InstallLog {

// Creates the log: at `path` when given (the /LOG= switch), else a new file
// with a unique name in the temporary folder. Always a new file, never one
// that was there, never through a link (Platform::LogFile). Empty when it
// could not be made; the path of the file otherwise.
QString open(const QString &path);

void write(const QString &line);

// Ends the log (the file is closed; later lines are dropped).
void close();

} // namespace InstallLog
