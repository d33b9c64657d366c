#include "CMVCheckBox.h"
#include "PaintRecorder.h"
#include "WidgetTestHelpers.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

using namespace WidgetTest;

// The box's states, as the int m_state holds them.
constexpr int Normal = CMVCheckBox::StateNormal;
constexpr int Hover = CMVCheckBox::StateHover;
constexpr int Pressed = CMVCheckBox::StatePressed;

// The box as a subclass sees it.
class CheckBox : public CMVCheckBox
{
public:
    using CMVCheckBox::CMVCheckBox;
    using CMVCheckBox::m_indicatorRect;
    using CMVCheckBox::m_state;
    using CMVCheckBox::m_textRect;
};

class TestCMVCheckBox : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QWidget> m_host;
    CheckBox *m_box = nullptr;
    QPixmap m_checked = solidPixmap(30, 30, QColor(255, 0, 0));
    QPixmap m_unchecked = solidPixmap(30, 30, QColor(0, 0, 255));
    QPixmap m_checkedHover = solidPixmap(30, 30, QColor(0, 255, 0));
    QPixmap m_uncheckedHover = solidPixmap(30, 30, QColor(255, 255, 0));
    QStringList m_log;

    QColor indicatorColor() { return m_box->grab().toImage().pixelColor(15, 15); }

    void logSignals()
    {
        connect(m_box, &QCheckBox::toggled,
                [this](bool on) { m_log << QStringLiteral("toggled %1").arg(on); });
        connect(m_box, &QCheckBox::stateChanged,
                [this](int s) { m_log << QStringLiteral("stateChanged %1").arg(s); });
        connect(m_box, &QCheckBox::clicked,
                [this](bool on) { m_log << QStringLiteral("clicked %1").arg(on); });
        connect(m_box, &QCheckBox::pressed, [this]() { m_log << QStringLiteral("pressed"); });
        connect(m_box, &QCheckBox::released, [this]() { m_log << QStringLiteral("released"); });
        connect(m_box, &CMVCheckBox::selected,
                [this](int i) { m_log << QStringLiteral("selected %1").arg(i); });
    }

private slots:
    void init()
    {
        m_log.clear();
        m_host.reset(new QWidget);
        m_host->resize(300, 200);
        m_box = new CheckBox(m_host.get());
        m_box->setGeometry(10, 10, 50, 30);
        m_box->setPixmaps(&m_checked, &m_unchecked, &m_checkedHover, &m_uncheckedHover, nullptr);
        m_box->setText(QStringLiteral("I agree"));
        clearBackground(m_box);
        m_host->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_host.get()));
        logSignals();
    }

    void cleanup() { m_host.reset(); }

    void areas_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QSize>("indicator");
        QTest::addColumn<QSize>("textArea");
        QTest::newRow("50 x 30") << QSize(50, 30) << QSize(30, 30) << QSize(20, 30);
        QTest::newRow("120 x 30") << QSize(120, 30) << QSize(30, 30) << QSize(90, 30);
        QTest::newRow("200 x 40") << QSize(200, 40) << QSize(40, 40) << QSize(160, 40);
    }

    void areas()
    {
        QFETCH(QSize, size);
        QFETCH(QSize, indicator);
        QFETCH(QSize, textArea);
        m_box->resize(size);
        QCOMPARE(m_box->indicatorSize(), indicator);
        QCOMPARE(m_box->textAreaSize(), textArea);
        QCOMPARE(m_box->m_indicatorRect, QRect(QPoint(0, 0), indicator));
        QCOMPARE(m_box->m_textRect, QRect(QPoint(indicator.width(), 0), textArea));
    }

    void clickToggles()
    {
        QTest::mousePress(m_box, Qt::LeftButton, Qt::NoModifier, QPoint(15, 15));
        QCOMPARE(m_box->m_state, Pressed);
        QTest::mouseRelease(m_box, Qt::LeftButton, Qt::NoModifier, QPoint(15, 15));
        QVERIFY(m_box->isChecked());
        QCOMPARE(m_box->m_state, Hover);
        QCOMPARE(m_log,
                 QStringList({"pressed", "pressed", "stateChanged 2", "toggled 1", "stateChanged 2",
                              "clicked 1", "released", "selected -1"}));
    }

    void pressOnTextAndReleaseInsideToggles()
    {
        QTest::mousePress(m_box, Qt::LeftButton, Qt::NoModifier, QPoint(45, 15));
        QTest::mouseRelease(m_box, Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
        QVERIFY(m_box->isChecked());
    }

    void releaseOutsideDoesNotToggle()
    {
        QTest::mousePress(m_box, Qt::LeftButton, Qt::NoModifier, QPoint(15, 15));
        QVERIFY(m_box->isDown());
        QTest::mouseRelease(m_box, Qt::LeftButton, Qt::NoModifier, QPoint(80, 15));
        QVERIFY(!m_box->isChecked());
        QCOMPARE(m_box->m_state, Normal);
        // The toolkit's release handling ran: the button is no longer down.
        QVERIFY(!m_box->isDown());
        QVERIFY(!m_log.contains(QStringLiteral("selected -1")));
        QVERIFY(!m_log.contains(QStringLiteral("toggled 1")));
    }

    void rightButtonDoesNotToggle()
    {
        QTest::mousePress(m_box, Qt::RightButton, Qt::NoModifier, QPoint(15, 15));
        QTest::mouseRelease(m_box, Qt::RightButton, Qt::NoModifier, QPoint(15, 15));
        QVERIFY(!m_box->isChecked());
        QCOMPARE(m_box->m_state, Hover);
        QCOMPARE(m_log.count(QStringLiteral("selected -1")), 0);
    }

    void doubleClickTogglesTwice()
    {
        const QPoint p(15, 15);
        sendMouse(m_box, QEvent::MouseButtonPress, p, Qt::LeftButton, Qt::LeftButton);
        sendMouse(m_box, QEvent::MouseButtonRelease, p, Qt::LeftButton, Qt::NoButton);
        sendMouse(m_box, QEvent::MouseButtonDblClick, p, Qt::LeftButton, Qt::LeftButton);
        sendMouse(m_box, QEvent::MouseButtonRelease, p, Qt::LeftButton, Qt::NoButton);
        QVERIFY(!m_box->isChecked());
        QCOMPARE(m_log.count(QStringLiteral("clicked 1")), 1);
        QCOMPARE(m_log.count(QStringLiteral("clicked 0")), 1);
        QCOMPARE(m_log.count(QStringLiteral("selected -1")), 2);
    }

    void nonInteractive()
    {
        m_box->m_interactive = false;
        QTest::mousePress(m_box, Qt::LeftButton, Qt::NoModifier, QPoint(15, 15));
        QTest::mouseRelease(m_box, Qt::LeftButton, Qt::NoModifier, QPoint(15, 15));
        QVERIFY(!m_box->isChecked());
        QVERIFY(!m_box->isDown());
        QCOMPARE(m_box->m_state, Normal);
        QVERIFY(m_log.isEmpty());

        // Hovering still changes the look.
        QCOMPARE(indicatorColor(), QColor(0, 0, 255));
        sendPlain(m_box, QEvent::Enter);
        QCOMPARE(indicatorColor(), QColor(255, 255, 0));
        sendPlain(m_box, QEvent::Leave);
        QCOMPARE(indicatorColor(), QColor(0, 0, 255));

        // Nor does the space bar toggle a focused box.
        m_box->setFocus();
        QTest::keyClick(m_box, Qt::Key_Space);
        QVERIFY(!m_box->isChecked());
    }

    // Keys as a user types them: each goes to the widget that has the focus.
    void keyboard_data()
    {
        QTest::addColumn<QString>("how"); // how the box was switched
        QTest::addColumn<bool>("tab"); // reached by Tab from another widget
        QTest::addColumn<bool>("toggles");
        QTest::newRow("on, space") << "on" << false << true;
        QTest::newRow("on, tab then space") << "on" << true << true;
        QTest::newRow("off, space") << "off" << false << false;
        QTest::newRow("off, tab then space") << "off" << true << false;
        QTest::newRow("flag cleared, space") << "flag" << false << false;
        QTest::newRow("on again, tab then space") << "on again" << true << true;
    }

    void keyboard()
    {
        QFETCH(QString, how);
        QFETCH(bool, tab);
        QFETCH(bool, toggles);
        auto *other = new QPushButton(QStringLiteral("other"), m_host.get());
        other->setGeometry(100, 100, 60, 30);
        other->show();
        QApplication::setActiveWindow(m_host.get());
        QVERIFY(QTest::qWaitForWindowActive(m_host.get()));
        (tab ? static_cast<QWidget *>(other) : m_box)->setFocus();
        if (how == QLatin1String("off") || how == QLatin1String("on again"))
            m_box->setInteractive(false);
        if (how == QLatin1String("on again"))
            m_box->setInteractive(true);
        if (how == QLatin1String("flag"))
            m_box->m_interactive = false;
        const auto focused = [this] {
            QWidget *widget = QApplication::focusWidget();
            return widget ? widget : m_host.get();
        };
        if (tab)
            QTest::keyClick(focused(), Qt::Key_Tab);
        QTest::keyClick(focused(), Qt::Key_Space);
        QCOMPARE(m_box->isChecked(), toggles);
        const bool off = how == QLatin1String("off");
        // Switched off, the box gave up the focus and Tab passes it by.
        QVERIFY(!(off && m_box->hasFocus()));
        QCOMPARE(m_box->focusPolicy(), off ? Qt::NoFocus : Qt::StrongFocus);
    }

    void indicatorImages_data()
    {
        QTest::addColumn<bool>("checked");
        QTest::addColumn<int>("state");
        QTest::addColumn<QColor>("color");
        QTest::newRow("unchecked 0") << false << Normal << QColor(0, 0, 255);
        QTest::newRow("unchecked 1") << false << Hover << QColor(255, 255, 0);
        QTest::newRow("unchecked 2") << false << Pressed << QColor(0, 0, 255);
        QTest::newRow("checked 0") << true << Normal << QColor(255, 0, 0);
        QTest::newRow("checked 1") << true << Hover << QColor(0, 255, 0);
        QTest::newRow("checked 2") << true << Pressed << QColor(255, 0, 0);
    }

    void indicatorImages()
    {
        QFETCH(bool, checked);
        QFETCH(int, state);
        QFETCH(QColor, color);
        m_box->setChecked(checked);
        m_box->m_state = state;
        QCOMPARE(indicatorColor(), color);
        // The indicator fills only the square at the left edge.
        QCOMPARE(countColor(m_box->grab().toImage(), QRect(30, 0, 20, 30), color, 0), 0);
    }

    void hoverFallbackToNormalImages()
    {
        m_box->setPixmaps(&m_checked, &m_unchecked, nullptr, nullptr, nullptr);
        m_box->m_state = Hover;
        QCOMPARE(indicatorColor(), QColor(0, 0, 255));
        m_box->setChecked(true);
        QCOMPARE(indicatorColor(), QColor(255, 0, 0));
    }

    void identicalUncheckedImages()
    {
        m_box->setPixmaps(&m_checked, &m_unchecked, &m_checkedHover, &m_unchecked, nullptr);
        sendPlain(m_box, QEvent::Enter);
        QCOMPARE(indicatorColor(), QColor(0, 0, 255));
        m_box->setChecked(true);
        QCOMPARE(indicatorColor(), QColor(0, 255, 0));
        sendPlain(m_box, QEvent::Leave);
        QCOMPARE(indicatorColor(), QColor(255, 0, 0));
    }

    void textBackgroundKeptOnNull()
    {
        m_box->setText(QString());
        QPixmap background = solidPixmap(4, 4, QColor(255, 0, 255));
        m_box->setPixmaps(&m_checked, &m_unchecked, nullptr, nullptr, &background);
        m_box->setPixmaps(&m_checked, &m_unchecked, nullptr, nullptr, nullptr);
        const QImage image = m_box->grab().toImage();
        QCOMPARE(image.pixelColor(31, 1), QColor(255, 0, 255));
        QCOMPARE(image.pixelColor(49, 29), QColor(255, 0, 255));
    }

    void textColourFontAlignment()
    {
        m_box->resize(200, 30);
        QFont font(bundleFamily());
        font.setPixelSize(13);
        m_box->m_font = &font;
        m_box->m_textColor = QColor(100, 100, 100);
        m_box->m_alignment = Qt::AlignLeft | Qt::AlignVCenter;
        PaintRecorder recorder;
        m_box->render(&recorder);
        // The line may reach the device in several runs.
        QString line;
        for (const RecordedText &run : recorder.engine().texts) {
            QCOMPARE(run.origin.y(), recorder.engine().texts.at(0).origin.y());
            line += run.text;
        }
        QCOMPARE(line.simplified(), QStringLiteral("I agree"));
        const RecordedText text = recorder.engine().texts.at(0);
        QCOMPARE(text.color, QColor(100, 100, 100));
        QCOMPARE(text.font.pixelSize(), 13);
        QCOMPARE(text.origin.x(), 30.0);
        QVERIFY(recorder.engine().drawHints.testFlag(QPainter::Antialiasing));

        m_box->m_alignment = Qt::AlignRight | Qt::AlignVCenter;
        PaintRecorder right;
        m_box->render(&right);
        QCOMPARE(right.engine().texts.at(0).origin.x()
                         + QFontMetricsF(font).horizontalAdvance("I agree"),
                 200.0);
    }

    void disabledUsesToolkitLook()
    {
        m_box->resize(120, 30);
        m_box->setEnabled(false);
        const QImage image = m_box->grab().toImage();
        for (const QColor &c : {QColor(0, 0, 255), QColor(255, 255, 0), QColor(255, 0, 0)})
            QCOMPARE(countColor(image, image.rect(), c, 0), 0);
        QVERIFY(countPainted(image, image.rect()) > 0);
    }
};

QTEST_MAIN(TestCMVCheckBox)
#include "tst_cmvcheckbox.moc"
