// A stand-in for the extractor front end in the Windows tests, where the
// Linux tests' stand-ins (shell scripts) cannot run. It is configured by
// stand-in.txt beside it, three lines: the real front end, a file to append
// its arguments to (one per line, UTF-8), and what to do then: "exit N"; a
// fourth line "working folder" appends its working folder after them.
// Listing (l) and testing (t) go to the real front end, so that the check of
// the archives before anything is deleted still passes.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>

#include <cstdlib>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    QFile config(QCoreApplication::applicationDirPath() + QStringLiteral("/stand-in.txt"));
    if (!config.open(QIODevice::ReadOnly))
        return 7;
    const QStringList lines = QString::fromUtf8(config.readAll()).split(QLatin1Char('\n'));
    if (lines.size() < 3)
        return 7;

    const QString command = arguments.value(0);
    if (command == QLatin1String("l") || command == QLatin1String("t")) {
        QProcess frontEnd;
        frontEnd.setProcessChannelMode(QProcess::ForwardedChannels);
        frontEnd.start(lines.at(0), arguments);
        if (!frontEnd.waitForFinished(-1) || frontEnd.exitStatus() != QProcess::NormalExit)
            return 2;
        return frontEnd.exitCode();
    }

    QFile record(lines.at(1));
    if (!record.open(QIODevice::Append))
        return 7;
    for (const QString &argument : arguments)
        record.write(argument.toUtf8() + '\n');
    if (lines.value(3) == QLatin1String("working folder"))
        record.write(QDir::currentPath().toUtf8() + '\n');
    record.close();
    // An access violation ends a Windows process with the code 0xC0000005.
    std::exit(lines.at(2).section(QLatin1Char(' '), 1).toInt());
}
