#include "InstallWndProbe.h"

#include <QTemporaryDir>
#include <QTimer>
#include <QTranslator>
#include <QtTest>

// The window's shell: flags, size, title, icon and its state before an
// installation, read through InstallWndProbe.
class TestWindowShell : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void flagsAndSize();
    void title_data();
    void title();
    void icon();
    void initialState();
    void installDirIndependentOfTranslation_data();
    void installDirIndependentOfTranslation();
    void notMovedByDragging();

private:
    QTemporaryDir m_root;
    QTranslator m_translator;
};

void TestWindowShell::initTestCase()
{
    QVERIFY(m_root.isValid());
    qputenv("MIREVALE_SYSTEM_ROOT", m_root.path().toUtf8());
    QVERIFY(m_translator.load(QStringLiteral(":/trans/trans_iss.qm")));
}

void TestWindowShell::flagsAndSize()
{
    InstallWndProbe w;
    // Exactly the three hints; Qt adds the window type bit to every top-level widget.
    const Qt::WindowFlags hints = w.windowFlags() & ~Qt::WindowType_Mask;
    QCOMPARE(int(hints), 0xC800);
    QCOMPARE(int(w.windowFlags() & Qt::WindowType_Mask), int(Qt::Window));
    QCOMPARE(w.size(), QSize(660, 430));
    QCOMPARE(w.minimumSize(), QSize(660, 430));
    QCOMPARE(w.maximumSize(), QSize(660, 430));
    QVERIFY(w.testAttribute(Qt::WA_TranslucentBackground));
}

void TestWindowShell::title_data()
{
    QTest::addColumn<bool>("translated");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("product");
    QTest::newRow("with translation")
            << true << "TarvoSetup" << QString::fromUtf8("Tarvo高效学习法");
    QTest::newRow("without translation") << false << "MV Setup"
                                         << "Mirevale";
}

void TestWindowShell::title()
{
    QFETCH(bool, translated);
    QFETCH(QString, title);
    QFETCH(QString, product);
    if (translated)
        QCoreApplication::installTranslator(&m_translator);
    InstallWndProbe w;
    QCoreApplication::removeTranslator(&m_translator);
    QCOMPARE(w.windowTitle(), title);
    QCOMPARE(w.productName, product);
}

void TestWindowShell::icon()
{
    InstallWndProbe w;
    const QIcon icon = w.windowIcon();
    QVERIFY(!icon.isNull());
    QCOMPARE(icon.availableSizes(), QList<QSize>() << QSize(50, 50));
}

void TestWindowShell::initialState()
{
    InstallWndProbe w;
    QCOMPARE(w.installState, int(CMVInstallWnd::StateIdle));
    QCOMPARE(w.slideIndex, -1);
    QCOMPARE(w.frameIndex, -1);
    QVERIFY(!w.copyThread);
    QVERIFY(!w.cancelRequested);
    QVERIFY(w.timer1 && w.timer2);
    QVERIFY(!w.timer1->isActive());
    QVERIFY(!w.timer2->isActive());
    QCOMPARE(w.timer1->parent(), &w);
    QCOMPARE(w.timer2->parent(), &w);
    // Both timers drive the animation slots.
    QCOMPARE(w.findChildren<QTimer *>().size(), 2);
}

void TestWindowShell::installDirIndependentOfTranslation_data()
{
    QTest::addColumn<bool>("translated");
    QTest::newRow("with translation") << true;
    QTest::newRow("without translation") << false;
}

void TestWindowShell::installDirIndependentOfTranslation()
{
    QFETCH(bool, translated);
    if (translated)
        QCoreApplication::installTranslator(&m_translator);
    InstallWndProbe w;
    QCoreApplication::removeTranslator(&m_translator);
    QCOMPARE(w.installDir, m_root.path() + QStringLiteral("/Program Files/Mirevale/"));
}

void TestWindowShell::notMovedByDragging()
{
    InstallWndProbe w;
    w.InitWidgets();
    w.move(40, 30);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QPoint before = w.pos();
    // A press on the background, a move with the button held and a release.
    const QPoint start(330, 200);
    QMouseEvent press(QEvent::MouseButtonPress, start, w.mapToGlobal(start), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&w, &press);
    for (int step = 1; step <= 5; ++step) {
        const QPoint p = start + QPoint(20 * step, 10 * step);
        QMouseEvent move(QEvent::MouseMove, p, w.mapToGlobal(p), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QCoreApplication::sendEvent(&w, &move);
    }
    const QPoint end = start + QPoint(100, 50);
    QMouseEvent release(QEvent::MouseButtonRelease, end, w.mapToGlobal(end), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&w, &release);
    QCoreApplication::processEvents();
    QCOMPARE(w.pos(), before);
}

QTEST_MAIN(TestWindowShell)
#include "tst_windowshell.moc"
