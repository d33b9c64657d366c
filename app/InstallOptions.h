#pragma once

#include <QString>
#include <QStringList>

// The installer's command line. Windows-style switches, case ignored:
//   /S          unattended: no window, no message box; accepts the agreement
//   /LOG=<path> write the log there instead of the temporary folder
//   /?          show the switches
// Anything else is an error. The folders are fixed by design: there is no
// /D=.
struct InstallOptions
{
    bool silent = false;
    bool help = false;
    QString logPath; // empty: the default log in the temporary folder
    QString error; // the argument that could not be read; empty when all were

    bool isValid() const { return error.isEmpty(); }

    // arguments without the program name (QCoreApplication::arguments().mid(1)).
    static InstallOptions parse(const QStringList &arguments);
    // The list of switches, for the help box.
    static QString usage();
};
