#include "CImageBKButton.h"
#include "PaintRecorder.h"
#include "WidgetTestHelpers.h"

#include <QPainter>
#include <QtTest>

#include <memory>

using namespace WidgetTest;

// The base button's states, as the int m_state holds them.
constexpr int Normal = CBaseButton::StateNormal;
constexpr int Lit = CBaseButton::StateLit;
constexpr int Pressed = CBaseButton::StatePressed;
constexpr int Hover = CBaseButton::StateHover;

// The button as a subclass sees it.
class BKButton : public CImageBKButton
{
public:
    using CImageBKButton::CImageBKButton;
    using CImageBKButton::m_bkDisabled;
    using CImageBKButton::m_bkHover;
    using CImageBKButton::m_bkNormal;
    using CImageBKButton::m_bkPressed;
    using CImageBKButton::m_highlighted;
    using CImageBKButton::m_leftMargin;
    using CImageBKButton::m_moveOnHover;
    using CImageBKButton::m_state;
    using CImageBKButton::m_topMargin;
};

class TestCImageBKButton : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QWidget> m_host;
    BKButton *m_button = nullptr;
    QPixmap m_normal = solidPixmap(10, 10, QColor(255, 0, 0));
    QPixmap m_hover = solidPixmap(10, 10, QColor(0, 255, 0));
    QPixmap m_pressed = solidPixmap(10, 10, QColor(0, 0, 255));
    QPixmap m_disabled = solidPixmap(10, 10, QColor(255, 255, 0));

    QColor background() { return m_button->grab().toImage().pixelColor(3, 3); }

private slots:
    void init()
    {
        m_host.reset(new QWidget);
        m_host->resize(300, 200);
        m_button = new BKButton(m_host.get());
        m_button->setGeometry(20, 20, 120, 40);
        m_button->setBkPixmaps(&m_normal, &m_hover, &m_pressed, &m_disabled);
        clearBackground(m_button);
        m_host->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_host.get()));
    }

    void cleanup() { m_host.reset(); }

    void construction()
    {
        BKButton b(nullptr);
        QVERIFY(!b.m_moveOnHover);
        QVERIFY(!b.m_bkNormal && !b.m_bkHover && !b.m_bkPressed && !b.m_bkDisabled);
    }

    void backgroundByState_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QColor>("color");
        QTest::addColumn<int>("stateAfter");
        QTest::newRow("1") << Normal << true << QColor(255, 0, 0) << Normal;
        QTest::newRow("2") << Lit << true << QColor(255, 0, 0) << Lit;
        QTest::newRow("3") << Pressed << true << QColor(0, 0, 255) << Pressed;
        QTest::newRow("4") << Hover << true << QColor(0, 255, 0) << Normal;
        QTest::newRow("0") << 0 << true << QColor(255, 255, 0) << 0;
        QTest::newRow("7") << 7 << true << QColor(255, 255, 0) << 7;
        QTest::newRow("disabled, 3") << Pressed << false << QColor(255, 255, 0) << Pressed;
        QTest::newRow("disabled, 4") << Hover << false << QColor(255, 255, 0) << Hover;
    }

    void backgroundByState()
    {
        QFETCH(int, state);
        QFETCH(bool, enabled);
        QFETCH(QColor, color);
        QFETCH(int, stateAfter);
        m_button->setEnabled(enabled);
        m_button->m_state = state;
        const QImage image = m_button->grab().toImage();
        // Drawn into the hit area only: the outer pixel ring stays clear.
        QCOMPARE(image.pixelColor(1, 1), color);
        QCOMPARE(image.pixelColor(118, 38), color);
        QCOMPARE(image.pixelColor(0, 0).alpha(), 0);
        QCOMPARE(image.pixelColor(119, 39).alpha(), 0);
        QCOMPARE(m_button->m_state, stateAfter);
    }

    void checkedLooksHovered()
    {
        m_button->setCheckable(true);
        m_button->setChecked(true);
        QCOMPARE(m_button->m_state, Normal);
        QCOMPARE(background(), QColor(0, 255, 0));
        QCOMPARE(m_button->m_state, Normal);
        m_button->setChecked(false);
        QCOMPARE(background(), QColor(255, 0, 0));
    }

    void highlightedLooksHovered()
    {
        m_button->m_highlighted = true;
        QCOMPARE(background(), QColor(0, 255, 0));
        QCOMPARE(m_button->m_state, Normal);
        m_button->m_state = Pressed;
        QCOMPARE(background(), QColor(0, 0, 255));
        m_button->m_highlighted = false;
        m_button->m_state = Normal;
        QCOMPARE(background(), QColor(255, 0, 0));
    }

    void sharedBackgroundWithoutDisabled()
    {
        // The installer's Install button: one picture for three states and
        // none while disabled.
        m_button->setBkPixmaps(&m_normal, &m_normal, &m_normal, nullptr);
        QFont font(bundleFamily());
        font.setPixelSize(20);
        m_button->setFont(font);
        m_button->setTexts(QStringLiteral("Install"), QString());
        for (int state = Normal; state <= Hover; ++state) {
            m_button->m_state = state;
            QCOMPARE(background(), QColor(255, 0, 0));
        }
        m_button->setEnabled(false);
        const QImage image = m_button->grab().toImage();
        QCOMPARE(countColor(image, image.rect(), QColor(255, 0, 0), 0), 0);
        QVERIFY(countColor(image, image.rect(), QColor(100, 100, 100), 10) > 0);
    }

    void hoverMoveShowsHoverOnce()
    {
        sendMouse(m_button, QEvent::MouseMove, QPoint(30, 20), Qt::NoButton, Qt::NoButton);
        // The move's repaint showed the hover look and put the state back.
        QCOMPARE(m_button->m_state, Normal);
        QCOMPARE(background(), QColor(255, 0, 0));
        sendMouse(m_button, QEvent::MouseMove, QPoint(30, 20), Qt::NoButton, Qt::LeftButton);
        QCOMPARE(m_button->m_state, Pressed);
        QCOMPARE(background(), QColor(0, 0, 255));
    }

    void withoutBackgroundPaintsContentInHitRect()
    {
        m_button->setBkPixmaps(nullptr, nullptr, nullptr, nullptr);
        m_button->setTexts(QStringLiteral("Link"), QStringLiteral("sub"));
        m_button->m_leftMargin = 10; // not used by this button
        m_button->m_topMargin = 10;
        PaintRecorder recorder;
        m_button->render(&recorder);
        QVERIFY(recorder.engine().pixmaps.isEmpty());
        QVERIFY(recorder.engine().drawHints.testFlag(QPainter::Antialiasing));

        PaintRecorder expected;
        QPainter painter(&expected);
        m_button->drawContent(&painter, QRect(1, 1, 118, 38));
        painter.end();
        QCOMPARE(recorder.engine().texts.size(), 1);
        QCOMPARE(recorder.engine().texts.at(0).origin, expected.engine().texts.at(0).origin);
        QCOMPARE(recorder.engine().texts.at(0).color, QColor(Qt::blue));
    }
};

QTEST_MAIN(TestCImageBKButton)
#include "tst_cimagebkbutton.moc"
