#include "CBaseLabel.h"
#include "CFontMgr.h"
#include "CImageBKButton.h"
#include "CImageButton.h"
#include "CImageMgr.h"
#include "CMVCheckBox.h"
#include "CXCopyThread.h"
#include "InstallWndProbe.h"
#include "PaintRecorder.h"
#include "Platform.h"
#include "Product.h"
#include "TestArchives.h"
#include "TestSeams.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPainter>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QTranslator>
#include <QtTest>

#include <functional>
#include <memory>

// The installer window end to end: layout, painting, the install flow with
// the real 7-Zip behind our 7z.exe front end, and every way out. The window
// is driven through mouse events on its child widgets only; where the
// installation stands is read through InstallWndProbe.
class TestInstallFlow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void layout();
    void idleClicksChangeNothing_data();
    void idleClicksChangeNothing();
    void fullInstallation();
    void installPressedTwice();
    void foldersNamedAtTheStart();
    void keysDuringInstallation_data();
    void keysDuringInstallation();
    void stopAnsweredNo();
    void stopAnsweredYes();
    void failedExtractionIsNoSuccess_data();
    void failedExtractionIsNoSuccess();
    void workerEndsWhileQuestionOpen_data();
    void workerEndsWhileQuestionOpen();
    void systemCloseDuringInstallation();
    void destructorStopsWorker();
    void painting_data();
    void painting();
    void timerSequences();

private:
    enum Payload { Normal, WithoutMainExe, Slow, CorruptData };

    QString makePayload(Payload kind);
    std::unique_ptr<InstallWndProbe> makeWindow(Payload kind);
    CImageButton *closeButton(InstallWndProbe &w);
    void tickAndInstall(InstallWndProbe &w);
    void answerQuestion(QMessageBox::ButtonRole role,
                        std::function<void(QMessageBox *)> check = nullptr);
    void waitForExtractor(InstallWndProbe &w);
    QString mainExe() const;
    QString uninstaller() const;
    bool hasUninstallEntry() const;
    QStringList shortcutFiles() const;

    QTranslator m_translator;
    QTemporaryDir m_archives; // archives shared by all cases
    std::unique_ptr<QTemporaryDir> m_root; // a fresh system root per case
    QStringList m_opened; // what the window asked the shell to open
    QList<Platform::ShellOpenAs> m_openedAs; // and with whose rights
    QList<qint64> m_extractors; // extractor processes seen in this case
};

static const QString productName = QString::fromUtf8("Tarvo高效学习法");

void TestInstallFlow::initTestCase()
{
    QVERIFY(m_translator.load(QStringLiteral(":/trans/trans_iss.qm")));
    QCoreApplication::installTranslator(&m_translator);
    QVERIFY2(!TestArchives::realSevenZip().isEmpty(), "7-Zip is not installed");
    QVERIFY(QFileInfo(TestArchives::frontEnd()).isExecutable());
    TestSeams::current().shellOpen = [this](const QString &path, Platform::ShellOpenAs as) {
        m_opened << path;
        m_openedAs << as;
    };

    // The program and data trees, packed once in each variant.
    const QString src = m_archives.path() + QStringLiteral("/src");
    const QByteArray script = "#!/bin/sh\necho run >> \"$(dirname \"$0\")/last-run.txt\"\n";
    QVERIFY(TestArchives::writeFile(
            src + QStringLiteral("/program/") + productName + QStringLiteral(".exe"), script));
    QVERIFY(TestArchives::writeFile(src + QStringLiteral("/program/uninstall.exe"), script));
    QVERIFY(TestArchives::writeFile(src + QStringLiteral("/program/lib/core.dat"), "core"));
    QVERIFY(TestArchives::writeFile(src + QStringLiteral("/bare/uninstall.exe"), script));
    QVERIFY(TestArchives::writeFile(src + QStringLiteral("/data/decks/basics.csv"), "a,b\n"));
    const QString pw = TestArchives::installerPassword();
    const QString a = m_archives.path();
    QVERIFY(TestArchives::makeArchive(a + QStringLiteral("/tarvo.cab"),
                                      src + QStringLiteral("/program"), pw));
    QVERIFY(TestArchives::makeArchive(a + QStringLiteral("/bare.cab"),
                                      src + QStringLiteral("/bare"), pw));
    QVERIFY(TestArchives::makeArchive(a + QStringLiteral("/data.cab"),
                                      src + QStringLiteral("/data"), pw));

    // A program archive that takes seconds to unpack: 300 MB of zeros from a
    // sparse file, packed to a few kilobytes, beside the program itself.
    {
        QFile big(src + QStringLiteral("/program/big.bin"));
        QVERIFY(big.open(QIODevice::WriteOnly));
        QVERIFY(big.resize(qint64(300) << 20));
    }
    QVERIFY(TestArchives::makeArchive(
            a + QStringLiteral("/slow.cab"), src + QStringLiteral("/program"), pw,
            {QStringLiteral("-m0=LZMA2:d=64k:fb=273:mf=hc4"), QStringLiteral("-mmt=2")}));
    QVERIFY(QFile::remove(src + QStringLiteral("/program/big.bin")));

    // A data archive whose bytes are damaged half-way.
    QVERIFY(QFile::copy(a + QStringLiteral("/data.cab"), a + QStringLiteral("/corrupt.cab")));
    QFile corrupt(a + QStringLiteral("/corrupt.cab"));
    QVERIFY(corrupt.open(QIODevice::ReadWrite));
    const qint64 size = corrupt.size();
    QVERIFY(corrupt.resize(size / 2));
}

void TestInstallFlow::cleanupTestCase()
{
    TestSeams::current() = TestSeams();
}

void TestInstallFlow::init()
{
    m_root.reset(new QTemporaryDir);
    QVERIFY(m_root->isValid());
    qputenv("MIREVALE_SYSTEM_ROOT", m_root->path().toUtf8());
    m_opened.clear();
    m_openedAs.clear();
    m_extractors.clear();
}

void TestInstallFlow::cleanup()
{
    // Nothing the installer started may outlive it.
    for (qint64 pid : qAsConst(m_extractors))
        QTRY_VERIFY2_WITH_TIMEOUT(!TestArchives::processAlive(pid),
                                  qPrintable(QStringLiteral("extractor %1 left").arg(pid)), 5000);
    TestSeams::current() = TestSeams();
    m_root.reset();
}

QString TestInstallFlow::makePayload(Payload kind)
{
    const QString dir = m_root->path() + QStringLiteral("/payload");
    QDir().mkpath(dir);
    const QString a = m_archives.path();
    const QString program = kind == WithoutMainExe ? QStringLiteral("/bare.cab")
            : kind == Slow                         ? QStringLiteral("/slow.cab")
                                                   : QStringLiteral("/tarvo.cab");
    const QString data
            = kind == CorruptData ? QStringLiteral("/corrupt.cab") : QStringLiteral("/data.cab");
    QFile::copy(a + program, dir + QStringLiteral("/tarvo.cab"));
    QFile::copy(a + data, dir + QStringLiteral("/data.cab"));
    QFile::copy(TestArchives::frontEnd(), dir + QStringLiteral("/7z.exe"));
    QFile::setPermissions(dir + QStringLiteral("/7z.exe"),
                          QFile::permissions(TestArchives::frontEnd()));
    return dir;
}

std::unique_ptr<InstallWndProbe> TestInstallFlow::makeWindow(Payload kind)
{
    std::unique_ptr<InstallWndProbe> w(new InstallWndProbe);
    w->InitWidgets();
    TestSeams::current().payloadDir = makePayload(kind);
    w->show();
    if (!QTest::qWaitForWindowExposed(w.get()))
        qWarning("window not exposed");
    return w;
}

CImageButton *TestInstallFlow::closeButton(InstallWndProbe &w)
{
    const auto buttons = w.findChildren<CImageButton *>();
    return buttons.size() == 1 ? buttons.first() : nullptr;
}

void TestInstallFlow::tickAndInstall(InstallWndProbe &w)
{
    QTest::mouseClick(w.agreeCheckBox, Qt::LeftButton, Qt::NoModifier, QPoint(10, 15));
    QVERIFY(w.agreeCheckBox->isChecked());
    QTest::mouseClick(w.installButton, Qt::LeftButton, Qt::NoModifier, QPoint(70, 20));
    QCOMPARE(w.installState, int(CMVInstallWnd::StateInstalling));
    QVERIFY(w.copyThread);
}

// Answers the next stop question with the button of `role`, after `check`
// has looked at the box.
void TestInstallFlow::answerQuestion(QMessageBox::ButtonRole role,
                                     std::function<void(QMessageBox *)> check)
{
    // Looks for the box every few milliseconds without blocking the event
    // loop, since the box may open only after other queued work has run.
    auto deadline = std::make_shared<QElapsedTimer>();
    deadline->start();
    auto attempt = std::make_shared<std::function<void()>>();
    // The function holds itself (to schedule the next look); the last look
    // breaks that cycle. It always runs as the timer's copy, so clearing
    // *attempt is safe.
    *attempt = [this, role, check, deadline, attempt] {
        const auto done = [attempt] { *attempt = nullptr; };
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box) {
            if (deadline->elapsed() < 10000) {
                QTimer::singleShot(10, this, *attempt);
                return;
            }
            qWarning("no stop question appeared");
            done();
            return;
        }
        done();
        if (check)
            check(box);
        for (QAbstractButton *b : box->buttons()) {
            if (box->buttonRole(b) == role) {
                QTest::mouseClick(b, Qt::LeftButton);
                return;
            }
        }
        qWarning("no button of the role asked for");
        box->reject();
    };
    QTimer::singleShot(0, this, *attempt);
}

void TestInstallFlow::waitForExtractor(InstallWndProbe &w)
{
    QElapsedTimer t;
    t.start();
    qint64 pid = 0;
    while (t.elapsed() < 30000 && !(pid = w.copyThread->extractorProcessId()))
        QTest::qWait(5);
    QVERIFY2(pid != 0, "the extractor did not start");
    m_extractors << pid;
    for (qint64 child : TestArchives::childProcesses(pid))
        m_extractors << child;
}

QString TestInstallFlow::mainExe() const
{
    return m_root->path() + QStringLiteral("/Program Files/Mirevale/") + productName
            + QStringLiteral(".exe");
}

QString TestInstallFlow::uninstaller() const
{
    return m_root->path() + QStringLiteral("/Program Files/Mirevale/uninstall.exe");
}

bool TestInstallFlow::hasUninstallEntry() const
{
    auto key = Platform::openRegistryKey(QStringLiteral(
            "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"));
    return key->childGroups().contains(QStringLiteral("Mirevale"));
}

QStringList TestInstallFlow::shortcutFiles() const
{
    QStringList found;
    const QString r = m_root->path();
    for (const QString &p :
         {r + QStringLiteral("/Users/Public/Desktop/") + productName + QStringLiteral(".lnk"),
          r + QStringLiteral("/ProgramData/Microsoft/Windows/Start Menu/Programs/Mirevale/")
                  + productName + QStringLiteral(".lnk"),
          r
                  + QStringLiteral("/ProgramData/Microsoft/Windows/Start "
                                   "Menu/Programs/Mirevale/uninstall.lnk")}) {
        if (QFileInfo(p).isSymLink())
            found << p;
    }
    return found;
}

// ---------------------------------------------------------------------------

void TestInstallFlow::layout()
{
    auto w = makeWindow(Normal);
    QFont *small = CFontMgr::instance()->getFont(8);
    const QFontMetrics fm(*small);

    CImageButton *close = closeButton(*w);
    QVERIFY(close);
    QCOMPARE(close->geometry(), QRect(625, 10, 20, 20));
    QCOMPARE(close->geometry().right(), 644);

    const auto labels = w->findChildren<CBaseLabel *>();
    QCOMPARE(labels.size(), 1);
    QCOMPARE(labels.first()->geometry().right(), 629);
    QCOMPARE(labels.first()->y(), 332);
    QCOMPARE(labels.first()->height(), 16);
    QVERIFY(labels.first()->width() >= fm.horizontalAdvance(labels.first()->text()));

    QCOMPARE(w->installButton->geometry(), QRect(252, 376, 155, 43));

    const int u = fm.horizontalAdvance(QString::fromUtf8("已经阅读并同意安装"));
    QVERIFY(u > 20);
    QCOMPARE(w->agreeCheckBox->geometry(), QRect(30, 381, 50 + u - 20, 30));
    QCOMPARE(w->agreeCheckBox->text(), QString::fromUtf8("已经阅读并同意安装"));

    const int k = fm.horizontalAdvance(QString::fromUtf8("安装协议"));
    const int r = w->agreeCheckBox->geometry().right();
    QCOMPARE(w->linkButton->geometry(), QRect(r + (252 - r - k) / 2, 381, k, 30));
    QCOMPARE(w->linkButton->text(), QString::fromUtf8("安装协议"));

    // Creation order is the stacking order.
    const QObjectList kids = w->children();
    QList<QWidget *> widgets;
    for (QObject *o : kids)
        if (auto *wd = qobject_cast<QWidget *>(o))
            widgets << wd;
    QCOMPARE(widgets.size(), 5);
    QCOMPARE(widgets.at(0), static_cast<QWidget *>(close));
    QCOMPARE(widgets.at(1), static_cast<QWidget *>(labels.first()));
    QCOMPARE(widgets.at(2), static_cast<QWidget *>(w->installButton));
    QCOMPARE(widgets.at(3), static_cast<QWidget *>(w->agreeCheckBox));
    QCOMPARE(widgets.at(4), static_cast<QWidget *>(w->linkButton));
    QCOMPARE(w->backgroundPixmap->size(), QSize(660, 430));
}

void TestInstallFlow::idleClicksChangeNothing_data()
{
    QTest::addColumn<bool>("link"); // the link, else Install with the box unticked
    QTest::newRow("install while unchecked") << false;
    QTest::newRow("link") << true;
}

// Before the installation, Install with the box unticked and the link are
// clicked (the buttons do emit clicked()) and nothing follows.
void TestInstallFlow::idleClicksChangeNothing()
{
    QFETCH(bool, link);
    auto w = makeWindow(Normal);
    QVERIFY(!w->agreeCheckBox->isChecked());
    CImageBKButton *button = link ? w->linkButton : w->installButton;
    QSignalSpy clicked(button, SIGNAL(clicked()));
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier,
                      link ? QPoint(5, 15) : QPoint(70, 20));
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(w->installState, int(CMVInstallWnd::StateIdle));
    QVERIFY(!w->copyThread);
    QVERIFY(w->findChildren<CXCopyThread *>().isEmpty());
    QVERIFY(!w->timer1->isActive() && !w->timer2->isActive());
    QCOMPARE(w->slideIndex, -1);
    QCOMPARE(w->installButton->mainText(), QString::fromUtf8("立即安装"));
    QVERIFY(w->isVisible());
    QVERIFY(m_opened.isEmpty());
}

void TestInstallFlow::fullInstallation()
{
    auto w = makeWindow(Normal);
    tickAndInstall(*w);
    QCOMPARE(w->installButton->mainText(), QString::fromUtf8("正在安装"));
    QCOMPARE(w->installButton->text(), QString()); // the toolkit's text stays empty
    QVERIFY(!w->agreeCheckBox->m_interactive);
    QCOMPARE(w->slideIndex, 0);
    QCOMPARE(w->timer1->interval(), 5000);
    QCOMPARE(w->timer2->interval(), 300);
    QVERIFY(w->timer1->isActive() && w->timer2->isActive());
    // Nothing is registered before the worker has ended.
    QVERIFY(!hasUninstallEntry());

    QTRY_COMPARE_WITH_TIMEOUT(w->installState, int(CMVInstallWnd::StateFinished), 60000);
    QVERIFY(w->copyThread->isFinished());
    QVERIFY(!w->timer1->isActive() && !w->timer2->isActive());
    QCOMPARE(w->installButton->mainText(), QString::fromUtf8("安装完成"));
    QCOMPARE(shortcutFiles().size(), 3);
    for (const QString &link : shortcutFiles()) {
        const QString target
                = link.endsWith(QStringLiteral("uninstall.lnk")) ? uninstaller() : mainExe();
        QCOMPARE(QFileInfo(link).symLinkTarget(), target);
    }
    QVERIFY(hasUninstallEntry());
    auto key = Platform::openRegistryKey(QStringLiteral(
            "HKEY_LOCAL_"
            "MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Mirevale"));
    QCOMPARE(key->childKeys().size(), 7);
    QCOMPARE(key->value(QStringLiteral("DisplayIcon")).toString(), mainExe());
    QCOMPARE(key->value(QStringLiteral("DisplayName")).toString(), productName);
    QVERIFY(m_opened.isEmpty());

    // "Finished" closes the window, opens the program and ends with 0.
    QTimer::singleShot(0, this, [&] {
        QTest::mouseClick(w->installButton, Qt::LeftButton, Qt::NoModifier, QPoint(70, 20));
    });
    QCOMPARE(QApplication::exec(), 0);
    QVERIFY(!w->isVisible());
    QCOMPARE(m_opened, QStringList() << mainExe());
    // As the signed-in user, not with the installer's rights.
    QCOMPARE(m_openedAs, QList<Platform::ShellOpenAs>() << Platform::ShellOpenAs::SignedInUser);
}

void TestInstallFlow::installPressedTwice()
{
    auto w = makeWindow(Normal);
    tickAndInstall(*w);
    CXCopyThread *first = w->copyThread;
    QTest::mouseClick(w->installButton, Qt::LeftButton, Qt::NoModifier, QPoint(70, 20));
    QCOMPARE(w->copyThread, first);
    QCOMPARE(w->findChildren<CXCopyThread *>().size(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(w->installState, int(CMVInstallWnd::StateFinished), 60000);
    QCOMPARE(w->findChildren<CXCopyThread *>().size(), 1);
}

// The shortcuts go to the folders the system named when the installation
// started, not to where a folder was moved to while it ran.
void TestInstallFlow::foldersNamedAtTheStart()
{
    auto w = makeWindow(Normal);
    tickAndInstall(*w);
    const QString moved = m_root->path() + QStringLiteral("/Moved Desktop");
    QVERIFY(QDir().mkpath(moved));
    Platform::openRegistryKey(QStringLiteral(MIREVALE_HKLM "\\" MIREVALE_SHELL_FOLDERS_KEY))
            ->setValue(QStringLiteral(MIREVALE_COMMON_DESKTOP), moved);
    QTRY_COMPARE_WITH_TIMEOUT(w->installState, int(CMVInstallWnd::StateFinished), 60000);
    QCOMPARE(shortcutFiles().size(), 3);
    QVERIFY(QDir(moved)
                    .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
                    .isEmpty());
}

void TestInstallFlow::keysDuringInstallation_data()
{
    QTest::addColumn<bool>("boxFocused"); // the box had the focus before the start
    QTest::addColumn<int>("tabs");
    QTest::newRow("space on the focused box") << true << 0;
    QTest::newRow("tab then space") << false << 1;
    QTest::newRow("tab twice then space") << false << 2;
    QTest::newRow("tab three times then space") << false << 3;
}

// While installing, the check box, the link and the Install button take no
// key either: the agreement cannot be undone, nothing is clicked.
void TestInstallFlow::keysDuringInstallation()
{
    QFETCH(bool, boxFocused);
    QFETCH(int, tabs);
    auto w = makeWindow(Slow);
    QApplication::setActiveWindow(w.get());
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    if (boxFocused)
        w->agreeCheckBox->setFocus();
    tickAndInstall(*w);
    QSignalSpy link(w->linkButton, SIGNAL(clicked()));
    QSignalSpy install(w->installButton, SIGNAL(clicked()));
    const auto focused = [&w] {
        QWidget *widget = QApplication::focusWidget();
        return widget ? widget : w.get();
    };
    for (int i = 0; i < tabs; ++i)
        QTest::keyClick(focused(), Qt::Key_Tab);
    QTest::keyClick(focused(), Qt::Key_Space);
    QVERIFY(w->agreeCheckBox->isChecked());
    QCOMPARE(link.count() + install.count(), 0);
    for (QWidget *widget :
         {static_cast<QWidget *>(w->agreeCheckBox), static_cast<QWidget *>(w->linkButton),
          static_cast<QWidget *>(w->installButton)})
        QVERIFY(!widget->hasFocus());
    QCOMPARE(w->installState, int(CMVInstallWnd::StateInstalling));
}

void TestInstallFlow::stopAnsweredNo()
{
    auto w = makeWindow(Slow);
    tickAndInstall(*w);
    waitForExtractor(*w);
    const qint64 extractor = w->copyThread->extractorProcessId();

    int slideAtQuestion = -2;
    int frameAtQuestion = -2;
    bool timersStopped = false;
    QString title, text;
    answerQuestion(QMessageBox::NoRole, [&](QMessageBox *box) {
        timersStopped = !w->timer1->isActive() && !w->timer2->isActive();
        slideAtQuestion = w->slideIndex;
        frameAtQuestion = w->frameIndex;
        title = box->windowTitle();
        text = box->text();
    });
    QTest::mouseClick(closeButton(*w), Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));

    QVERIFY(timersStopped);
    QCOMPARE(title, QString::fromUtf8("问题"));
    QCOMPARE(text, QString::fromUtf8("您确定取消安装吗？"));
    // Restarted with their intervals, from where they stood.
    QVERIFY(w->timer1->isActive() && w->timer2->isActive());
    QCOMPARE(w->timer1->interval(), 5000);
    QCOMPARE(w->timer2->interval(), 300);
    QCOMPARE(w->slideIndex, slideAtQuestion);
    QCOMPARE(w->frameIndex, frameAtQuestion);
    QVERIFY(!w->cancelRequested);
    // The extraction was never interrupted and runs to the end.
    QVERIFY(!w->copyThread->isFinished());
    QCOMPARE(w->copyThread->extractorProcessId(), extractor);
    QVERIFY(TestArchives::processAlive(extractor));
    QTRY_COMPARE_WITH_TIMEOUT(w->installState, int(CMVInstallWnd::StateFinished), 120000);
    QVERIFY(w->copyThread->outcome().succeeded());
    QVERIFY(m_opened.isEmpty());
}

void TestInstallFlow::stopAnsweredYes()
{
    auto w = makeWindow(Slow);
    tickAndInstall(*w);
    waitForExtractor(*w);

    answerQuestion(QMessageBox::YesRole);
    QTimer::singleShot(0, this, [&] {
        QTest::mouseClick(closeButton(*w), Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    });
    QCOMPARE(QApplication::exec(), 0);

    QVERIFY(!w->isVisible());
    QVERIFY(w->cancelRequested);
    QVERIFY(w->copyThread->isFinished());
    QVERIFY(w->copyThread->outcome().stopped);
    QCOMPARE(w->installState, int(CMVInstallWnd::StateInstalling));
    QCOMPARE(m_opened, QStringList() << uninstaller());
    // The uninstaller keeps the installer's administrator rights.
    QCOMPARE(m_openedAs, QList<Platform::ShellOpenAs>() << Platform::ShellOpenAs::Installer);
    QVERIFY(!hasUninstallEntry());
    QVERIFY(shortcutFiles().isEmpty());
    for (qint64 pid : qAsConst(m_extractors))
        QVERIFY(!TestArchives::processAlive(pid));
}

void TestInstallFlow::failedExtractionIsNoSuccess_data()
{
    QTest::addColumn<int>("payload");
    QTest::addColumn<bool>("mainExePresent");
    QTest::addColumn<bool>("extractionSucceeded");
    QTest::newRow("no main executable") << int(WithoutMainExe) << false << true;
    // Refused by the archives' check: nothing was extracted at all.
    QTest::newRow("damaged data archive") << int(CorruptData) << false << false;
}

// The worker ends without a usable installation: no shortcut, no entry, no
// "Finished"; the animation goes on and the stop question lets the user out.
void TestInstallFlow::failedExtractionIsNoSuccess()
{
    QFETCH(int, payload);
    QFETCH(bool, mainExePresent);
    QFETCH(bool, extractionSucceeded);
    auto w = makeWindow(Payload(payload));
    tickAndInstall(*w);
    QTRY_VERIFY_WITH_TIMEOUT(w->workerEnded(), 60000);
    QCOMPARE(QFile::exists(mainExe()), mainExePresent);
    QCOMPARE(w->copyThread->outcome().succeeded(), extractionSucceeded);
    QCOMPARE(w->installState, int(CMVInstallWnd::StateInstalling));
    QCOMPARE(w->installButton->mainText(), QString::fromUtf8("正在安装"));
    QVERIFY(w->timer1->isActive() && w->timer2->isActive());
    QVERIFY(!hasUninstallEntry());
    QVERIFY(shortcutFiles().isEmpty());

    answerQuestion(QMessageBox::YesRole);
    QTimer::singleShot(0, this, [&] {
        QTest::mouseClick(closeButton(*w), Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    });
    QCOMPARE(QApplication::exec(), 0);
    QVERIFY(!w->isVisible());
    QCOMPARE(m_opened, QStringList() << uninstaller());
}

void TestInstallFlow::workerEndsWhileQuestionOpen_data()
{
    QTest::addColumn<int>("role");
    QTest::newRow("answered no") << int(QMessageBox::NoRole);
    QTest::newRow("answered yes") << int(QMessageBox::YesRole);
}

// The question's own event loop delivers the worker's end: the window shows
// the finished state and the late answer neither restarts the animation nor
// stops anything.
void TestInstallFlow::workerEndsWhileQuestionOpen()
{
    QFETCH(int, role);
    auto w = makeWindow(Normal);
    tickAndInstall(*w);
    bool finishedWhileOpen = false;
    answerQuestion(QMessageBox::ButtonRole(role), [&](QMessageBox *) {
        QTRY_COMPARE_WITH_TIMEOUT(w->installState, int(CMVInstallWnd::StateFinished), 60000);
        finishedWhileOpen = true;
    });
    QTest::mouseClick(closeButton(*w), Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    QVERIFY(finishedWhileOpen);
    QCOMPARE(w->installState, int(CMVInstallWnd::StateFinished));
    QVERIFY(!w->timer1->isActive() && !w->timer2->isActive());
    QVERIFY(!w->cancelRequested);
    QVERIFY(w->isVisible());
    QVERIFY(m_opened.isEmpty());
    QVERIFY(hasUninstallEntry());
    QCOMPARE(w->installButton->mainText(), QString::fromUtf8("安装完成"));
}

// Alt+F4 or the taskbar while installing: the close is refused and the stop
// question asked instead; the worker is never destroyed while it runs.
void TestInstallFlow::systemCloseDuringInstallation()
{
    auto w = makeWindow(Slow);
    tickAndInstall(*w);
    waitForExtractor(*w);

    bool asked = false;
    answerQuestion(QMessageBox::NoRole, [&](QMessageBox *) { asked = true; });
    QVERIFY(!w->close());
    QVERIFY(w->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(asked, 5000);
    QTRY_VERIFY(w->timer1->isActive());
    QVERIFY(!w->copyThread->isFinished());

    // The second time, yes: the installer stops and ends with 0.
    answerQuestion(QMessageBox::YesRole);
    QTimer::singleShot(0, this, [&] { w->close(); });
    QCOMPARE(QApplication::exec(), 0);
    QVERIFY(!w->isVisible());
    QVERIFY(w->copyThread->isFinished());
    QCOMPARE(m_opened, QStringList() << uninstaller());
}

void TestInstallFlow::destructorStopsWorker()
{
    auto w = makeWindow(Slow);
    tickAndInstall(*w);
    waitForExtractor(*w);
    QPointer<CXCopyThread> thread = w->copyThread;
    w.reset();
    QVERIFY(thread.isNull());
    for (qint64 pid : qAsConst(m_extractors))
        QVERIFY(!TestArchives::processAlive(pid));
}

// ---------------------------------------------------------------------------
// Painting: what the window draws itself (its children left out), recorded
// as pixmap targets and checked against the bundle's images at the
// positions and sizes the artwork gives.

void TestInstallFlow::painting_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("slide");
    QTest::addColumn<int>("frame");
    QTest::addColumn<int>("expectedSlide");
    QTest::addColumn<int>("expectedBlocks");
    QTest::newRow("before install") << 0 << -1 << -1 << -1 << 0;
    QTest::newRow("install accepted") << 1 << 0 << -1 << 0 << 0;
    QTest::newRow("one block") << 1 << 0 << 0 << 0 << 1;
    QTest::newRow("ten blocks") << 1 << 1 << 9 << 1 << 10;
    QTest::newRow("wrapped") << 1 << 2 << -1 << 2 << 0;
    QTest::newRow("last slide") << 1 << 3 << 4 << 3 << 5;
    QTest::newRow("finished") << 2 << 3 << 6 << 3 << 0;
}

void TestInstallFlow::painting()
{
    QFETCH(int, state);
    QFETCH(int, slide);
    QFETCH(int, frame);
    QFETCH(int, expectedSlide);
    QFETCH(int, expectedBlocks);

    auto w = makeWindow(Normal);
    w->installState = state;
    w->slideIndex = slide;
    w->frameIndex = frame;
    PaintRecorder recorder;
    w->render(&recorder, QPoint(), QRegion(), QWidget::RenderFlags());
    const PaintRecorderEngine &drawn = recorder.engine();
    QVERIFY(drawn.drawHints.testFlag(QPainter::Antialiasing));

    // Where each image of the bundle must land: slide corners and sizes,
    // block i at 220 + 25 i.
    CImageMgr *images = CImageMgr::instance();
    const QVector<QRectF> slides = {QRectF(225, 107, 210, 37), QRectF(166, 107, 328, 85),
                                    QRectF(153, 107, 354, 108), QRectF(109, 107, 442, 108)};
    QVector<RecordedPixmap> want;
    want.append({QRectF(0, 0, 660, 430),
                 images->getPixmap(QStringLiteral("background.png"), QSize(660, 430))->cacheKey()});
    if (expectedSlide >= 0) {
        const QString name = QStringLiteral("text%1.png").arg(expectedSlide + 1);
        want.append({slides.at(expectedSlide), images->getPixmap(name)->cacheKey()});
    }
    for (int i = 1; i <= expectedBlocks; ++i) {
        const QString name = QStringLiteral("b%1.png").arg(i);
        const int width = (i <= 2 || i >= 9) ? 20 : 21;
        want.append({QRectF(220 + 25 * i, 286, width, 43), images->getPixmap(name)->cacheKey()});
    }

    QCOMPARE(drawn.pixmaps.size(), want.size());
    for (int i = 0; i < want.size(); ++i) {
        QCOMPARE(drawn.pixmaps.at(i).target, want.at(i).target);
        QCOMPARE(drawn.pixmaps.at(i).cacheKey, want.at(i).cacheKey);
    }
}

void TestInstallFlow::timerSequences()
{
    auto w = makeWindow(Normal);
    tickAndInstall(*w);
    QCOMPARE(w->slideIndex, 0);
    QList<int> slides, frames;
    for (int i = 0; i < 5; ++i) {
        QMetaObject::invokeMethod(w.get(), "OnTimer1");
        slides << w->slideIndex;
    }
    w->frameIndex = -1;
    for (int i = 0; i < 12; ++i) {
        QMetaObject::invokeMethod(w.get(), "OnTimer2");
        frames << w->frameIndex;
    }
    QCOMPARE(slides, QList<int>({1, 2, 3, 0, 1}));
    QCOMPARE(frames, QList<int>({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, -1, 0}));
    QTRY_COMPARE_WITH_TIMEOUT(w->installState, int(CMVInstallWnd::StateFinished), 60000);
}

QTEST_MAIN(TestInstallFlow)
#include "tst_installwnd.moc"
