// Memory: one whole installation under valgrind's memcheck, in a process of
// its own (see InstallDriver), and the heap over many windows made and
// destroyed.

#include "CMVInstallWnd.h"
#include "InstallDriver.h"
#include "InstallScene.h"
#include "TestArchives.h"

#include <QApplication>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

#include <malloc.h>

#if defined(__SANITIZE_ADDRESS__)
#define MIREVALE_UNDER_SANITIZER
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define MIREVALE_UNDER_SANITIZER
#endif
#endif

class TestMemory : public QObject
{
    Q_OBJECT

private slots:
    void heapDoesNotGrow();
    void installationUnderValgrind();
};

namespace {

void makeAndDestroyWindow()
{
    auto *window = new CMVInstallWnd;
    window->InitWidgets();
    window->show();
    QCoreApplication::processEvents();
    window->grab();
    delete window;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

size_t heapInUse()
{
    malloc_trim(0);
    return mallinfo2().uordblks;
}

} // namespace

// A hundred windows, each shown, painted and destroyed, leave the heap as
// they found it (after a warm-up that fills the shared caches of images,
// fonts and Qt itself).
void TestMemory::heapDoesNotGrow()
{
#ifdef MIREVALE_UNDER_SANITIZER
    QSKIP("built with the sanitizers: their allocator hides the heap, and valgrind cannot run it");
#endif
    QTranslator translator;
    QVERIFY(translator.load(QStringLiteral(":/trans/trans_iss.qm")));
    QCoreApplication::installTranslator(&translator);
    for (int i = 0; i < 10; ++i)
        makeAndDestroyWindow();
    const size_t before = heapInUse();
    for (int i = 0; i < 100; ++i)
        makeAndDestroyWindow();
    const size_t after = heapInUse();
    const qint64 growth = qint64(after) - qint64(before);
    qInfo("heap in use: %zu bytes before, %zu after 100 windows", before, after);
    // Allocator noise stays near 2 KB; a leak of 48 bytes per window (one
    // small block) crosses the line. Smaller leaks are memcheck's part.
    QVERIFY2(growth < 4800, qPrintable(QStringLiteral("the heap grew by %1 bytes").arg(growth)));
    QCoreApplication::removeTranslator(&translator);
}

// valgrind --tool=memcheck on the whole installer, from the first window to
// "Finished": no error and no definite leak outside the libraries that the
// suppression file names.
void TestMemory::installationUnderValgrind()
{
#ifdef MIREVALE_UNDER_SANITIZER
    QSKIP("built with the sanitizers: their allocator hides the heap, and valgrind cannot run it");
#endif
    const QString valgrind = QStandardPaths::findExecutable(QStringLiteral("valgrind"));
    if (valgrind.isEmpty())
        QSKIP("valgrind is not installed");
    QTemporaryDir archives;
    const QString src = archives.path() + QStringLiteral("/src");
    const QByteArray script = "#!/bin/sh\nexit 0\n";
    QVERIFY(TestArchives::writeFile(src + QString::fromUtf8("/program/Tarvo高效学习法.exe"),
                                    script));
    QVERIFY(TestArchives::writeFile(src + QStringLiteral("/program/uninstall.exe"), script));
    QVERIFY(TestArchives::writeFile(src + QStringLiteral("/data/decks/deck.csv"), "a,b\n"));
    const QString pw = TestArchives::installerPassword();
    QVERIFY(TestArchives::makeArchive(archives.path() + QStringLiteral("/tarvo.cab"),
                                      src + QStringLiteral("/program"), pw));
    QVERIFY(TestArchives::makeArchive(archives.path() + QStringLiteral("/data.cab"),
                                      src + QStringLiteral("/data"), pw));

    InstallScene scene;
    QVERIFY(scene.prepareSystem());
    QVERIFY(scene.writeOldInstallation(50, 10));
    QVERIFY(scene.installPayload(archives.path() + QStringLiteral("/tarvo.cab"),
                                 archives.path() + QStringLiteral("/data.cab")));
    scene.snapshot();

    const QString log = archives.path() + QStringLiteral("/valgrind.log");
    InstallDriver::Params params;
    params.wrapper = QStringList {
            valgrind,
            QStringLiteral("--tool=memcheck"),
            QStringLiteral("--leak-check=full"),
            QStringLiteral("--show-leak-kinds=definite"),
            QStringLiteral("--errors-for-leak-kinds=definite"),
            QStringLiteral("--error-exitcode=99"),
            QStringLiteral("--num-callers=40"),
            QStringLiteral("--suppressions=" MIREVALE_SOURCE_DIR "/tests/valgrind.supp"),
            QStringLiteral("--log-file=") + log};
    params.timeoutMs = 300000;
    const InstallDriver::Report report = scene.run(params);
    QFile logFile(log);
    QVERIFY(logFile.open(QIODevice::ReadOnly));
    const QByteArray text = logFile.readAll();
    // memcheck's reports, whole, where a failure can be read.
    const QString prefix
            = QStringLiteral("==%1== ").arg(text.mid(2, text.indexOf("==", 2) - 2).constData());
    const QStringList blocks = QString::fromUtf8(text).split(prefix + QLatin1Char('\n'));
    for (const QString &block : blocks) {
        if (block.contains(QLatin1String("   at ")))
            qWarning("%s", qPrintable(block));
    }
    const QStringList problems = scene.problems(report);
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    QVERIFY(report.succeeded);
    QCOMPARE(report.state, 2);
    QVERIFY(text.contains("ERROR SUMMARY: 0 errors"));
}

MIREVALE_MAIN_WITH_DRIVER(TestMemory)
#include "tst_memory.moc"
