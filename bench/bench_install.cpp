// One whole installation driven through the window, as a person does it:
// start-up as in main, tick the agreement box, press Install, wait for the
// finished state. Reports the time from the press to the finished state, the
// ticks of the 300 ms progress timer meanwhile and the peak memory.
//
// The worker unpacks the 7z.exe, tarvo.cab and data.cab that lie beside this
// program, into the system root of $MIREVALE_SYSTEM_ROOT.
//
// With $MIREVALE_BENCH_DISK_FULL set, every volume shows no free space: the
// run is refused after the archives' check, and what is reported is the time
// from the window's receiving the worker's end to the message on screen.

#include "BenchClock.h"
#include "CMVInstallWnd.h"
#include "CXCopyThread.h"
#include "TestSeams.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QThread>
#include <QTimer>
#include <QTranslator>
#include <QVector>
#include <QtTest/QTest>

namespace {

int fail(const char *what)
{
    BenchClock::report(QByteArray("error=") + what);
    return 1;
}

// The window's child that is an instance of the class, the widest when
// there are several (the Install button is wider than the link).
QWidget *childOfClass(QWidget *window, const char *className)
{
    QWidget *found = nullptr;
    for (QWidget *child : window->findChildren<QWidget *>()) {
        if (child->inherits(className) && (!found || child->width() > found->width()))
            found = child;
    }
    return found;
}

// Notes when the window last received a queued call (the worker's end comes
// as one) and when the first message box shows, and answers the box.
class MessageWatch : public QObject
{
public:
    QObject *window = nullptr;
    qint64 callNs = 0;
    qint64 shownNs = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == window && event->type() == QEvent::MetaCall && !shownNs)
            callNs = BenchClock::nowNs();
        auto *box = qobject_cast<QMessageBox *>(watched);
        if (box && event->type() == QEvent::Show && !shownNs) {
            shownNs = BenchClock::nowNs();
            QTimer::singleShot(0, box, &QMessageBox::reject);
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTranslator translator;
    translator.load(QStringLiteral(":/trans/trans_iss.qm"));
    app.installTranslator(&translator);

    const bool diskFull = qEnvironmentVariableIsSet("MIREVALE_BENCH_DISK_FULL");
    if (diskFull)
        TestSeams::current().freeSpace = [](const QString &) { return qint64(0); };
    MessageWatch messages;
    app.installEventFilter(&messages);

    CMVInstallWnd window(nullptr);
    messages.window = &window;
    window.InitWidgets();
    window.show();
    if (!QTest::qWaitForWindowExposed(&window, 10000))
        return fail("window-not-exposed");

    auto *box = qobject_cast<QAbstractButton *>(childOfClass(&window, "CMVCheckBox"));
    QWidget *install = childOfClass(&window, "CImageBKButton");
    if (!box || !install)
        return fail("widgets-missing");
    QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, box->rect().center());
    if (!box->isChecked())
        return fail("box-not-checked");

    const qint64 pressed = BenchClock::nowNs();
    QTest::mouseClick(install, Qt::LeftButton, Qt::NoModifier, install->rect().center());

    // The press started the progress timer and the worker.
    QTimer *progress = nullptr;
    for (QTimer *timer : window.findChildren<QTimer *>()) {
        if (timer->isActive() && timer->interval() == 300)
            progress = timer;
    }
    auto *worker = window.findChild<QThread *>();
    if (!progress || !worker)
        return fail("install-not-started");

    QVector<qint64> ticks {pressed};
    QObject::connect(progress, &QTimer::timeout, &app,
                     [&ticks] { ticks.append(BenchClock::nowNs()); });

    int exitCode = 0;
    // Queued after the window's own slot, which was connected first: by now
    // the window has reached its finished state or given up.
    QObject::connect(worker, &QThread::finished, &app, [&] {
        const qint64 done = BenchClock::nowNs();
        if (diskFull) {
            // The window has shown its message (answered at once) by now.
            if (!messages.shownNs || !messages.callNs)
                exitCode = fail("no-message");
            else
                BenchClock::report(
                        "failure_to_message_ms="
                        + QByteArray::number((messages.shownNs - messages.callNs) / 1e6, 'f', 3));
            QCoreApplication::exit(exitCode);
            return;
        }
        if (progress->isActive()) {
            exitCode = fail("not-finished");
            QCoreApplication::exit(exitCode);
            return;
        }
        QByteArray deviations;
        for (int i = 1; i < ticks.size(); ++i) {
            if (i > 1)
                deviations += ',';
            deviations += QByteArray::number((ticks[i] - ticks[i - 1]) / 1e6 - 300.0, 'f', 3);
        }
        const auto *copier = qobject_cast<CXCopyThread *>(worker);
        BenchClock::report(
                "install_ms=" + QByteArray::number((done - pressed) / 1e6, 'f', 3)
                + " check_ms=" + QByteArray::number(copier ? copier->outcome().archiveCheckMs : -1)
                + " preflight_ms=" + QByteArray::number(copier ? copier->outcome().preflightMs : -1)
                + " peak_rss_kb=" + QByteArray::number(BenchClock::peakRssKb())
                + " tick_deviation_ms=" + deviations);
        QCoreApplication::exit(0);
    });
    const int loop = app.exec();
    return exitCode ? exitCode : loop;
}
