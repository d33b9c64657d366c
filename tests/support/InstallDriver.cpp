#include "InstallDriver.h"

#include "CImageBKButton.h"
#include "CImageButton.h"
#include "CMVCheckBox.h"
#include "CXCopyThread.h"
#include "InstallWndProbe.h"
#include "Platform.h"
#include "TestSeams.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QTimer>
#include <QTranslator>
#include <QUrl>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

// True while the process exists and has not ended (not a zombie).
bool runningProcess(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.readAll();
    const int close = line.lastIndexOf(')');
    return close > 0 && close + 2 < line.size() && line.at(close + 2) != 'Z'
            && line.at(close + 2) != 'X';
}

const char *const driverSwitch = "--run-installation";

// One report line: fields separated by tabs, each percent-encoded, so that
// paths with line breaks and tabs survive.
void say(const QStringList &fields)
{
    QByteArray line;
    for (const QString &field : fields) {
        if (!line.isEmpty())
            line += '\t';
        line += QUrl::toPercentEncoding(field, "/ ");
    }
    line += '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fflush(stdout);
}

QMessageBox *openQuestion()
{
    return qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
}

} // namespace

bool InstallDriver::isDriverCall(int argc, char **argv)
{
    return argc >= 4 && std::strcmp(argv[1], driverSwitch) == 0;
}

InstallDriver::InstallDriver(InstallWndProbe *window, Fault fault, int delayMs)
    : m_window(window)
    , m_fault(fault)
    , m_delayMs(delayMs)
{ }

int InstallDriver::drive(int argc, char **argv)
{
    const Fault fault = Fault(std::atoi(argv[2]));
    const int delayMs = std::atoi(argv[3]);
    const QString payloadDir = argc > 4 ? QUrl::fromPercentEncoding(argv[4]) : QString();
    TestSeams::current().sealTable = argc > 5 ? QUrl::fromPercentEncoding(argv[5]).toUtf8() : "";

    QApplication app(argc, argv);
    QTranslator translator;
    translator.load(QStringLiteral(":/trans/trans_iss.qm"));
    app.installTranslator(&translator);
    // The window's way out opens the program or the uninstaller: noted,
    // never started.
    TestSeams::current().shellOpen = [](const QString &path, Platform::ShellOpenAs) {
        say({QStringLiteral("opened"), path});
    };
    TestSeams::current().payloadDir = payloadDir;

    InstallWndProbe window(nullptr);
    window.InitWidgets();
    window.show();

    InstallDriver driver(&window, fault, delayMs);
    QTimer::singleShot(0, &driver, [&driver] { driver.start(); });
    QTimer poller;
    poller.setInterval(1);
    connect(&poller, &QTimer::timeout, &driver, [&driver] { driver.poll(); });
    poller.start();
    const int code = app.exec();
    poller.stop();
    driver.printReport(code);
    return code;
}

void InstallDriver::start()
{
    QTest::mouseClick(m_window->agreeCheckBox, Qt::LeftButton, Qt::NoModifier, QPoint(10, 15));
    QTest::mouseClick(m_window->installButton, Qt::LeftButton, Qt::NoModifier, QPoint(70, 20));
    m_clock.start();
    say({QStringLiteral("started"), QString::number(m_window->installState)});
}

// Clicks from a fresh event: a click on the close button opens the stop
// question, whose own event loop must not run inside poll().
void InstallDriver::clickLater(QWidget *widget, const QPoint &at)
{
    QTimer::singleShot(0, widget, [widget, at] {
        QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, at);
    });
}

void InstallDriver::poll()
{
    if (!m_clock.isValid())
        return;
    if (m_clock.elapsed() > 90000) {
        say({QStringLiteral("hang")});
        std::_Exit(3);
    }
    CXCopyThread *thread = m_window->copyThread;
    if (!thread)
        return;
    if (m_window->workerEnded() && !m_endSeen) {
        m_endSeen = true;
        say({QStringLiteral("ended"), QString::number(m_clock.elapsed())});
    }
    const qint64 pid = thread->extractorProcessId();
    if (pid && !m_seen.contains(pid)) {
        m_seen << pid;
        say({QStringLiteral("extractor"), QString::number(pid),
             QString::number(m_clock.elapsed())});
    }
    // After the extractors seen so far: one that started before the stop
    // was requested is always listed before this line.
    if (m_window->cancelRequested && !m_cancelSeen) {
        m_cancelSeen = true;
        say({QStringLiteral("stop requested"), QString::number(m_clock.elapsed())});
    }

    if (!m_faultDone && m_clock.elapsed() >= m_delayMs) {
        if (m_fault == KillExtractor) {
            // An extractor that has already ended (a zombie, or reaped while
            // the worker has not yet noticed) is not killed by the signal:
            // that run counts as one more try, not as a kill.
            if (pid && runningProcess(pid) && ::kill(pid_t(pid), SIGKILL) == 0) {
                m_faultDone = true;
                say({QStringLiteral("fault"), QStringLiteral("killed"),
                     QString::number(thread->outcome().results.size())});
            } else if (!pid && m_window->workerEnded()) {
                m_faultDone = true;
                say({QStringLiteral("fault"), QStringLiteral("late")});
            }
        } else if (m_fault == KillInstaller) {
            if (pid) {
                say({QStringLiteral("fault"), QStringLiteral("installer killed"),
                     QString::number(thread->outcome().results.size())});
                ::kill(::getpid(), SIGKILL);
            } else if (m_window->workerEnded()) {
                m_faultDone = true;
                say({QStringLiteral("fault"), QStringLiteral("late")});
            }
        } else if (m_fault == StopAt || m_fault == StopBetweenArchives) {
            m_faultDone = true;
            if (m_window->workerEnded()) {
                say({QStringLiteral("fault"), QStringLiteral("late")});
            } else {
                m_answerYes = true;
                m_answerBetween = m_fault == StopBetweenArchives;
                clickLater(m_window->findChild<CImageButton *>(), QPoint(10, 10));
            }
        } else {
            m_faultDone = true;
        }
    }

    if (QMessageBox *box = openQuestion()) {
        // A failure's warning has no Yes: it is read and closed.
        QAbstractButton *ok = nullptr;
        for (QAbstractButton *button : box->buttons()) {
            if (box->buttonRole(button) == QMessageBox::AcceptRole)
                ok = button;
        }
        if (ok && !m_warned) {
            m_warned = true;
            say({QStringLiteral("warned"), box->text()});
            QTimer::singleShot(0, ok, [ok] { QTest::mouseClick(ok, Qt::LeftButton); });
            return;
        }
        const bool between = thread->outcome().results.size() == 1 && pid == 0;
        if (m_answerYes && (!m_answerBetween || between || m_window->workerEnded())) {
            m_answerYes = false;
            const QList<QAbstractButton *> buttons = box->buttons();
            for (QAbstractButton *button : buttons) {
                if (box->buttonRole(button) == QMessageBox::YesRole) {
                    say({QStringLiteral("fault"), QStringLiteral("answered"),
                         QString::number(thread->outcome().results.size()), QString::number(pid),
                         QString::number(m_clock.elapsed())});
                    QTimer::singleShot(0, button,
                                       [button] { QTest::mouseClick(button, Qt::LeftButton); });
                }
            }
        }
        return;
    }

    // The way out, once the worker has ended and no fault is pending.
    if (m_leaving || !m_window->workerEnded() || m_window->cancelRequested
        || (!m_faultDone && (m_fault == StopAt || m_fault == StopBetweenArchives)) || m_answerYes)
        return;
    if (!m_faultDone) {
        m_faultDone = true;
        say({QStringLiteral("fault"), QStringLiteral("late")});
    }
    m_leaving = true;
    if (m_window->installState == CMVInstallWnd::StateFinished) {
        clickLater(m_window->installButton, QPoint(70, 20));
    } else if (m_window->installState == CMVInstallWnd::StateFailed) {
        // Nothing runs any more: the close button leaves without a question.
        clickLater(m_window->findChild<CImageButton *>(), QPoint(10, 10));
    } else {
        m_answerYes = true;
        m_answerBetween = false;
        clickLater(m_window->findChild<CImageButton *>(), QPoint(10, 10));
    }
}

void InstallDriver::printReport(int exitCode)
{
    CXCopyThread *thread = m_window->copyThread;
    const CXCopyThread::Outcome outcome = thread ? thread->outcome() : CXCopyThread::Outcome();
    for (const CXCopyThread::ExtractResult &result : outcome.results)
        say({QStringLiteral("outcome"), QString::number(int(result.outcome)),
             QString::number(result.exitCode)});
    say({QStringLiteral("report"), QString::number(exitCode),
         QString::number(m_window->installState),
         QString::number(thread ? outcome.results.size() : -1),
         QString::number(thread && outcome.succeeded()), QString::number(thread && outcome.stopped),
         QString::number(m_window->cancelRequested)});
}

// ---------------------------------------------------------------------------

InstallDriver::Report InstallDriver::run(const Params &params)
{
    Report report;
    QStringList command = params.wrapper;
    if (params.unprivileged)
        command = QStringList {QStringLiteral("setpriv"), QStringLiteral("--reuid=nobody"),
                               QStringLiteral("--regid=nogroup"), QStringLiteral("--clear-groups")}
                + command;
    command << QCoreApplication::applicationFilePath() << QString::fromLatin1(driverSwitch)
            << QString::number(int(params.fault)) << QString::number(params.delayMs)
            << QString::fromLatin1(QUrl::toPercentEncoding(params.payloadDir, "/"))
            << QString::fromLatin1(QUrl::toPercentEncoding(QString::fromUtf8(params.sealTable)));

    QProcessEnvironment env = params.environment;
    env.insert(QStringLiteral("MIREVALE_SYSTEM_ROOT"), params.systemRoot);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    if (params.unprivileged) {
        // Somewhere the user may write its caches.
        env.insert(QStringLiteral("HOME"), QDir::tempPath());
        env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    }

    QProcess process;
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(command.takeFirst(), command);
    report.finishedInTime = process.waitForFinished(params.timeoutMs);
    if (!report.finishedInTime) {
        process.kill();
        process.waitForFinished(-1);
    }
    report.crashed = process.exitStatus() == QProcess::CrashExit;
    report.exitCode = process.exitCode();
    const QByteArray out = process.readAllStandardOutput();
    report.output = QString::fromUtf8(out) + QString::fromUtf8(process.readAllStandardError());
    for (const QByteArray &line : out.split('\n')) {
        QStringList f;
        for (const QByteArray &field : line.split('\t'))
            f << QUrl::fromPercentEncoding(field);
        if (f.value(0) == QLatin1String("extractor")) {
            report.extractors << f.value(1).toLongLong();
            report.extractorStartMs << f.value(2).toInt();
        } else if (f.value(0) == QLatin1String("stop requested")) {
            report.stopRequestedMs = f.value(1).toInt();
        } else if (f.value(0) == QLatin1String("ended"))
            report.endedMs = f.value(1).toInt();
        else if (f.value(0) == QLatin1String("opened"))
            report.opened << f.value(1);
        else if (f.value(0) == QLatin1String("outcome"))
            report.outcomes << f.mid(1).join(QLatin1Char(' '));
        else if (f.value(0) == QLatin1String("fault") && report.faultLine.isEmpty())
            report.faultLine = f.mid(1).join(QLatin1Char(' '));
        else if (f.value(0) == QLatin1String("report") && f.size() >= 6) {
            report.state = f.at(2).toInt();
            report.results = f.at(3).toInt();
            report.succeeded = f.at(4) == QLatin1String("1");
            report.stopped = f.at(5) == QLatin1String("1");
            report.cancelled = f.value(6) == QLatin1String("1");
        }
    }
    return report;
}

QList<qint64> InstallDriver::processesMentioning(const QString &text)
{
    QList<qint64> found;
    const QByteArray needle = text.toUtf8();
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &entry : entries) {
        bool isPid = false;
        const qint64 pid = entry.toLongLong(&isPid);
        if (!isPid || pid == QCoreApplication::applicationPid())
            continue;
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (cmdline.open(QIODevice::ReadOnly) && cmdline.readAll().contains(needle)) {
            QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
            stat.open(QIODevice::ReadOnly);
            const QByteArray line = stat.readAll();
            const int close = line.lastIndexOf(')');
            if (close > 0 && line.mid(close + 2, 1) != "Z")
                found << pid;
        }
    }
    return found;
}
