#include "InstallOptions.h"

#include <QCoreApplication>

InstallOptions InstallOptions::parse(const QStringList &arguments)
{
    InstallOptions options;
    const QLatin1String logSwitch("/LOG=");
    for (const QString &argument : arguments) {
        if (argument.compare(QLatin1String("/S"), Qt::CaseInsensitive) == 0) {
            options.silent = true;
        } else if (argument == QLatin1String("/?")) {
            options.help = true;
        } else if (argument.startsWith(logSwitch, Qt::CaseInsensitive)
                   && argument.size() > logSwitch.size() && options.logPath.isEmpty()) {
            options.logPath = argument.mid(logSwitch.size());
            options.logPath.replace(QLatin1Char('\\'), QLatin1Char('/'));
        } else if (options.error.isEmpty()) {
            options.error = argument;
        }
    }
    return options;
}

QString InstallOptions::usage()
{
    return QCoreApplication::translate("CMVInstallWnd",
                                       "/S\tinstall without a window (accepts the agreement)\n"
                                       "/LOG=<path>\twrite the log to <path>\n"
                                       "/?\tshow this list");
}
