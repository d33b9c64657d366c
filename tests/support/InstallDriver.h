#pragma once

// One whole installation through the real window, in a process of its own,
// with a fault injected at a chosen moment. A test program whose main() is
// MIREVALE_MAIN_WITH_DRIVER runs as that process when started with
// "--run-installation"; InstallDriver::run() starts it (optionally as the
// unprivileged user, or under a tool such as valgrind) and reads its report.
//
// The driver ticks the agreement box and presses Install, injects the fault,
// and then leaves the way a user would: "Finished" after a successful
// installation, otherwise the close button and Yes. It exits with the
// window's exit code; a hang makes it exit with 3.

#include <QList>
#include <QObject>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QtTest>

class InstallWndProbe;
class QMessageBox;

class InstallDriver : public QObject
{
    Q_OBJECT

public:
    enum Fault {
        NoFault,
        KillExtractor, // SIGKILL to the extractor running at the moment
        StopAt, // the close button, then Yes, at the moment
        StopBetweenArchives, // Yes the moment the first extractor has ended
        KillInstaller // SIGKILL to the installer itself while an extractor runs
    };

    struct Params
    {
        QString systemRoot;
        QString payloadDir;
        QByteArray sealTable; // the payload's seal (TestSeams::sealTable)
        Fault fault = NoFault;
        int delayMs = 0; // after Install was pressed
        bool unprivileged = false; // run as nobody:nogroup (setpriv)
        QStringList wrapper; // a program and its arguments to run the driver under
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        int timeoutMs = 120000;
    };

    struct Report
    {
        bool finishedInTime = false;
        bool crashed = false; // ended by a signal
        int exitCode = -1;
        QList<qint64> extractors; // every extractor process id seen
        QList<int> extractorStartMs; // when each was first seen, after Install
        int endedMs = -1; // when the worker had ended, after Install
        int stopRequestedMs = -1; // when the window asked the worker to stop
        QStringList opened; // what the window asked the shell to open
        QString faultLine; // where the injected fault hit, as the driver saw it
        int state = -1; // the window's installState at the end
        int results = -1; // extractions attempted
        QStringList outcomes; // each extraction's outcome and exit code, "2 0" and so on
        bool succeeded = false;
        bool stopped = false;
        bool cancelled = false; // the stop question was answered Yes
        QString output; // everything the driver printed
    };

    static Report run(const Params &params);

    // The process ids of live processes whose command line mentions text.
    static QList<qint64> processesMentioning(const QString &text);

    static bool isDriverCall(int argc, char **argv);
    static int drive(int argc, char **argv);

private:
    InstallDriver(InstallWndProbe *window, Fault fault, int delayMs);
    void start();
    void poll();
    void clickLater(QWidget *widget, const QPoint &at);
    void printReport(int exitCode);

    InstallWndProbe *m_window;
    Fault m_fault;
    int m_delayMs;
    QElapsedTimer m_clock;
    bool m_faultDone = false;
    bool m_answerYes = false; // answer the stop question when it shows
    bool m_answerBetween = false; // only once the first extractor has ended
    bool m_leaving = false;
    bool m_warned = false; // a failure's warning was shown and closed
    bool m_endSeen = false;
    bool m_cancelSeen = false;
    QList<qint64> m_seen;
};

// A test program's main() that is also the installation driver.
#define MIREVALE_MAIN_WITH_DRIVER(TestObject) \
    int main(int argc, char *argv[]) \
    { \
        if (InstallDriver::isDriverCall(argc, argv)) \
            return InstallDriver::drive(argc, argv); \
        QApplication app(argc, argv); \
        app.setAttribute(Qt::AA_Use96Dpi, true); \
        TestObject tc; \
        QTEST_SET_MAIN_SOURCE_PATH \
        return QTest::qExec(&tc, argc, argv); \
    }
