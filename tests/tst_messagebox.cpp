// The modal message box, answered with real clicks and keys, and the shell
// open helper observed through the platform layer's hook.
#include "CFontMgr.h"
#include "Platform.h"
#include "ShellOpen.h"
#include "ShowMessageBox.h"
#include "TestSeams.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QTranslator>
#include <QtTest>

#include <functional>

namespace {

enum Answer { ClickRole, ClickToolkitButton, PressEscape, CloseBox };

// What the box looked like while it was open.
struct SeenBox
{
    bool shown = false;
    bool timedOut = false;
    QStringList buttons; // in the order they were created
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool iconPixmapSet = false;
    QString title;
    QString text;
    QFont font;
    QList<QFont> buttonFonts;
};

QString describe(QMessageBox *box, QAbstractButton *button)
{
    if (box->standardButton(button) != QMessageBox::NoButton)
        return QStringLiteral("<toolkit %1>").arg(int(box->standardButton(button)), 0, 16);
    static const QMap<int, QString> roles = {{QMessageBox::AcceptRole, QStringLiteral("Accept")},
                                             {QMessageBox::RejectRole, QStringLiteral("Reject")},
                                             {QMessageBox::YesRole, QStringLiteral("Yes")},
                                             {QMessageBox::NoRole, QStringLiteral("No")}};
    return button->text() + QLatin1Char('@')
            + roles.value(box->buttonRole(button), QStringLiteral("other"));
}

// The box's buttons in creation order (child order of the button box).
QList<QAbstractButton *> buttonsInOrder(QMessageBox *box)
{
    QList<QAbstractButton *> ordered;
    const QList<QAbstractButton *> all = box->findChildren<QAbstractButton *>();
    const QList<QAbstractButton *> own = box->buttons();
    for (QAbstractButton *button : all) {
        if (own.contains(button))
            ordered.append(button);
    }
    return ordered;
}

// Calls ShowMessageBox and, once the modal box is on screen, records what it
// shows and hands it to `answer`. A watchdog closes a box that stays open so
// that a fault fails the test instead of hanging it.
int showAndAnswer(const QString &title, const QString &text, int flags,
                  const std::function<void(QMessageBox *)> &answer, SeenBox *seen)
{
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&]() {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        poll.stop();
        seen->shown = true;
        const QList<QAbstractButton *> buttons = buttonsInOrder(box);
        for (QAbstractButton *button : buttons) {
            seen->buttons.append(describe(box, button));
            seen->buttonFonts.append(button->font());
        }
        seen->icon = box->icon();
        seen->iconPixmapSet = !box->iconPixmap().isNull();
        seen->title = box->windowTitle();
        seen->text = box->text();
        seen->font = box->font();
        answer(box);
    });
    poll.start();

    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&]() {
        seen->timedOut = true;
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
            box->done(-1);
    });
    watchdog.start(10000);

    return ShowMessageBox(nullptr, title, text, flags);
}

void clickButton(QMessageBox *box, QAbstractButton *button)
{
    if (button)
        QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, button->rect().center());
    else
        box->done(-1); // nothing to click: the test fails on the result
}

} // namespace

class TestMessageBox : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void looks_data();
    void looks();
    void answers_data();
    void answers();
    void titleAndText_data();
    void titleAndText();
    void shellOpen_data();
    void shellOpen();

private:
    QTranslator translator;
};

void TestMessageBox::initTestCase()
{
    QVERIFY(translator.load(QStringLiteral(":/trans/trans_iss.qm")));
    QVERIFY(QCoreApplication::installTranslator(&translator));
    // The box must not get the bundle's font by accident.
    QVERIFY(QApplication::font().family() != CFontMgr::instance()->getFont(9)->family());
}

void TestMessageBox::cleanupTestCase()
{
    QCoreApplication::removeTranslator(&translator);
    TestSeams::current() = TestSeams();
}

void TestMessageBox::looks_data()
{
    QTest::addColumn<int>("flags");
    QTest::addColumn<QStringList>("buttons");
    QTest::addColumn<int>("icon");

    const QString ok = QStringLiteral("确定@Accept");
    const QString yes = QStringLiteral("确定@Yes");
    const QString no = QStringLiteral("取消@No");
    const QString cancel = QStringLiteral("取消@Reject");
    const QString toolkitOk = QStringLiteral("<toolkit %1>").arg(int(QMessageBox::Ok), 0, 16);

    QTest::newRow("0: Ok alone") << 0 << QStringList {ok} << int(QMessageBox::NoIcon);
    QTest::newRow("12: Yes and No") << 12 << QStringList {yes, no} << int(QMessageBox::NoIcon);
    QTest::newRow("0x10: no button of its own")
            << 0x10 << QStringList {toolkitOk} << int(QMessageBox::NoIcon);
    QTest::newRow("0x300: two icon bits") << 0x300 << QStringList {ok} << int(QMessageBox::NoIcon);
    QTest::newRow("0x10F: all four, question")
            << 0x10F << QStringList {ok, yes, no, cancel} << int(QMessageBox::Question);
    QTest::newRow("0x1F: unknown button bit ignored")
            << 0x1F << QStringList {ok, yes, no, cancel} << int(QMessageBox::NoIcon);
    QTest::newRow("0x201: information")
            << 0x201 << QStringList {ok} << int(QMessageBox::Information);
    QTest::newRow("0x402: warning") << 0x402 << QStringList {cancel} << int(QMessageBox::Warning);
    QTest::newRow("0x80C: critical")
            << 0x80C << QStringList {yes, no} << int(QMessageBox::Critical);
    QTest::newRow("0x900: icon combination")
            << 0x900 << QStringList {ok} << int(QMessageBox::NoIcon);
    QTest::newRow("0x1000: unknown icon value")
            << 0x1000 << QStringList {ok} << int(QMessageBox::NoIcon);
}

void TestMessageBox::looks()
{
    QFETCH(int, flags);
    QFETCH(QStringList, buttons);
    QFETCH(int, icon);

    SeenBox seen;
    showAndAnswer(
            QStringLiteral("Title"), QStringLiteral("Text"), flags,
            [](QMessageBox *box) { QTest::keyClick(box, Qt::Key_Escape); }, &seen);
    QVERIFY(seen.shown);
    QVERIFY(!seen.timedOut);
    QCOMPARE(seen.buttons, buttons);
    QCOMPARE(int(seen.icon), icon);
    QCOMPARE(seen.iconPixmapSet, icon != int(QMessageBox::NoIcon));

    // The installer's own 9-point font, on the box and on its buttons.
    const QFont *expected = CFontMgr::instance()->getFont(9);
    QCOMPARE(seen.font.toString(), expected->toString());
    QCOMPARE(seen.font.pointSize(), 9);
    for (const QFont &font : qAsConst(seen.buttonFonts)) {
        QCOMPARE(font.family(), expected->family());
        QCOMPARE(font.pointSize(), 9);
    }
}

void TestMessageBox::answers_data()
{
    QTest::addColumn<int>("flags");
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("role");
    QTest::addColumn<int>("result");

    QTest::newRow("0: click Ok") << 0 << int(ClickRole) << int(QMessageBox::AcceptRole) << 1;
    QTest::newRow("0: Escape") << 0 << int(PressEscape) << -1 << 1;
    QTest::newRow("12: click Yes") << 12 << int(ClickRole) << int(QMessageBox::YesRole) << 4;
    QTest::newRow("12: click No") << 12 << int(ClickRole) << int(QMessageBox::NoRole) << 8;
    QTest::newRow("12: Escape") << 12 << int(PressEscape) << -1 << 8;
    QTest::newRow("12: close") << 12 << int(CloseBox) << -1 << 8;
    QTest::newRow("0x10F: click Ok")
            << 0x10F << int(ClickRole) << int(QMessageBox::AcceptRole) << 1;
    QTest::newRow("0x10F: click Yes") << 0x10F << int(ClickRole) << int(QMessageBox::YesRole) << 4;
    QTest::newRow("0x10F: click No") << 0x10F << int(ClickRole) << int(QMessageBox::NoRole) << 8;
    QTest::newRow("0x10F: click Cancel")
            << 0x10F << int(ClickRole) << int(QMessageBox::RejectRole) << 2;
    QTest::newRow("0x10F: Escape") << 0x10F << int(PressEscape) << -1 << 2;
    QTest::newRow("3: Escape") << 3 << int(PressEscape) << -1 << 2;
    QTest::newRow("0x10: click the toolkit's button") << 0x10 << int(ClickToolkitButton) << -1 << 0;
    QTest::newRow("0x10: Escape") << 0x10 << int(PressEscape) << -1 << 0;
    QTest::newRow("0x10: close") << 0x10 << int(CloseBox) << -1 << 0;
    QTest::newRow("0x300: click Ok")
            << 0x300 << int(ClickRole) << int(QMessageBox::AcceptRole) << 1;
}

void TestMessageBox::answers()
{
    QFETCH(int, flags);
    QFETCH(int, answer);
    QFETCH(int, role);
    QFETCH(int, result);

    SeenBox seen;
    const int got = showAndAnswer(
            QStringLiteral("Title"), QStringLiteral("Text"), flags,
            [&](QMessageBox *box) {
                switch (answer) {
                case ClickRole: {
                    QAbstractButton *target = nullptr;
                    for (QAbstractButton *button : box->buttons()) {
                        if (box->standardButton(button) == QMessageBox::NoButton
                            && box->buttonRole(button) == QMessageBox::ButtonRole(role))
                            target = button;
                    }
                    clickButton(box, target);
                    break;
                }
                case ClickToolkitButton:
                    clickButton(box, box->button(QMessageBox::Ok));
                    break;
                case PressEscape:
                    QTest::keyClick(box, Qt::Key_Escape);
                    break;
                case CloseBox:
                    box->close();
                    break;
                }
            },
            &seen);
    QVERIFY(seen.shown);
    QVERIFY(!seen.timedOut);
    QCOMPARE(got, result);
    QVERIFY(!QApplication::activeModalWidget());
}

void TestMessageBox::titleAndText_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");

    QTest::newRow("both") << QStringLiteral("问题") << QStringLiteral("您确定取消安装吗？");
    QTest::newRow("empty title") << QString() << QStringLiteral("Some text");
    QTest::newRow("empty text") << QStringLiteral("Some title") << QString();
    QTest::newRow("both empty") << QString() << QString();
}

void TestMessageBox::titleAndText()
{
    QFETCH(QString, title);
    QFETCH(QString, text);

    const QMessageBox pristine;
    SeenBox seen;
    showAndAnswer(
            title, text, MsgBtnOk, [](QMessageBox *box) { QTest::keyClick(box, Qt::Key_Escape); },
            &seen);
    QVERIFY(seen.shown);
    QCOMPARE(seen.title, title.isEmpty() ? pristine.windowTitle() : title);
    QCOMPARE(seen.text, text.isEmpty() ? pristine.text() : text);
}

void TestMessageBox::shellOpen_data()
{
    QTest::addColumn<QString>("path");

    const QString product = QStringLiteral("Tarvo高效学习法");
    QTest::newRow("non-ASCII") << QStringLiteral("C:/Program Files/Mirevale/") + product
                    + QStringLiteral(".exe");
    QTest::newRow("backslashes") << QStringLiteral("C:\\Program Files\\Mirevale\\uninstall.exe");
    QTest::newRow("plain") << QStringLiteral("C:/Program Files/Mirevale/uninstall.exe");
    QTest::newRow("non-ASCII folder name")
            << QStringLiteral("C:/Program Files/Mirevale/米瑞维尔.exe");
    QTest::newRow("600 characters")
            << QStringLiteral("C:/") + QString(593, QLatin1Char('x')) + QStringLiteral(".exe");

    // Long paths whose length is counted in UTF-16 units: the surrogate pair
    // of U+1F600 counts twice.
    const QString prefix = QStringLiteral("C:/Program Files/Mirevale/\U0001F600");
    const QString suffix = QStringLiteral(".exe");
    for (int length : {511, 512, 600}) {
        const QString path = prefix
                + QString(length - prefix.size() - suffix.size(), QLatin1Char('x')) + suffix;
        QTest::newRow(qPrintable(QStringLiteral("%1 units").arg(length))) << path;
    }
}

void TestMessageBox::shellOpen()
{
    QFETCH(QString, path);

    QStringList opened;
    QList<Platform::ShellOpenAs> rights;
    TestSeams::current().shellOpen = [&](const QString &p, Platform::ShellOpenAs as) {
        opened.append(p);
        rights.append(as);
    };
    ShellOpen(path);
    ShellOpenAsUser(path);
    TestSeams::current().shellOpen = nullptr;

    QCOMPARE(opened.size(), 2);
    QCOMPARE(opened.first().size(), path.size());
    QCOMPARE(opened, QStringList({path, path}));
    QCOMPARE(rights,
             QList<Platform::ShellOpenAs>(
                     {Platform::ShellOpenAs::Installer, Platform::ShellOpenAs::SignedInUser}));
}

QTEST_MAIN(TestMessageBox)
#include "tst_messagebox.moc"
