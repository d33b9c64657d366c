#include "CImageButton.h"
#include "WidgetTestHelpers.h"

#include <QKeyEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

using namespace WidgetTest;

// The button's states, as the int m_state holds them.
constexpr int Normal = CImageButton::StateNormal;
constexpr int Hover = CImageButton::StateHover;
constexpr int Pressed = CImageButton::StatePressed;
constexpr int Disabled = CImageButton::StateDisabled;

// The button as a subclass sees it, with the caption, index and shift
// members that only a subclass sets.
class ImageButton : public CImageButton
{
public:
    using CImageButton::CImageButton;
    using CImageButton::m_index;
    using CImageButton::m_pressPos;
    using CImageButton::m_shiftHover;
    using CImageButton::m_shiftPressed;
    using CImageButton::m_state;

    void setCaption(const QString &text, QFont *font, const QColor &color,
                    const QRect &rect = QRect())
    {
        m_caption = text;
        m_captionFont = font;
        m_captionColor = color;
        m_captionRect = rect;
    }
};

class TestCImageButton : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QWidget> m_host;
    ImageButton *m_button = nullptr;
    QPixmap m_normal = solidPixmap(20, 20, QColor(255, 0, 0));
    QPixmap m_pressed = solidPixmap(20, 20, QColor(0, 255, 0));
    QPixmap m_hover = solidPixmap(20, 20, QColor(0, 0, 255));
    QPixmap m_disabled = solidPixmap(20, 20, QColor(255, 255, 0));

    QColor shown() { return m_button->grab().toImage().pixelColor(10, 10); }

private slots:
    void init()
    {
        m_host.reset(new QWidget);
        m_host->resize(200, 100);
        m_button = new ImageButton(m_host.get());
        m_button->setGeometry(40, 30, 20, 20);
        m_button->setPixmaps(&m_normal, &m_pressed, &m_hover, &m_disabled);
        clearBackground(m_button);
        m_host->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_host.get()));
    }

    void cleanup() { m_host.reset(); }

    void clickDistance_data()
    {
        QTest::addColumn<QPoint>("press");
        QTest::addColumn<QPoint>("release");
        QTest::addColumn<int>("clicks");
        QTest::newRow("5 away on both axes") << QPoint(5, 5) << QPoint(10, 10) << 1;
        QTest::newRow("6 away") << QPoint(5, 5) << QPoint(11, 5) << 0;
        QTest::newRow("6 away up") << QPoint(10, 10) << QPoint(10, 4) << 0;
        QTest::newRow("outside, 3 away") << QPoint(18, 18) << QPoint(21, 18) << 1;
    }

    void clickDistance()
    {
        QFETCH(QPoint, press);
        QFETCH(QPoint, release);
        QFETCH(int, clicks);
        QSignalSpy clicked(m_button, SIGNAL(clicked()));
        QTest::mousePress(m_button, Qt::LeftButton, Qt::NoModifier, press);
        QCOMPARE(m_button->m_state, Pressed);
        QCOMPARE(m_button->m_pressPos, press);
        QTest::mouseRelease(m_button, Qt::LeftButton, Qt::NoModifier, release);
        QCOMPARE(clicked.count(), clicks);
        QCOMPARE(m_button->m_state, Hover);
    }

    void rightButtonAndStrayRelease()
    {
        QSignalSpy clicked(m_button, SIGNAL(clicked()));
        QTest::mousePress(m_button, Qt::RightButton, Qt::NoModifier, QPoint(5, 5));
        QTest::mouseRelease(m_button, Qt::RightButton, Qt::NoModifier, QPoint(5, 5));
        QCOMPARE(clicked.count(), 0);
        QCOMPARE(m_button->m_state, Hover);
        QTest::mouseRelease(m_button, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        QCOMPARE(clicked.count(), 0);
    }

    void doubleClickEmitsTwice()
    {
        QSignalSpy clicked(m_button, SIGNAL(clicked()));
        const QPoint p(8, 8);
        sendMouse(m_button, QEvent::MouseButtonPress, p, Qt::LeftButton, Qt::LeftButton);
        sendMouse(m_button, QEvent::MouseButtonRelease, p, Qt::LeftButton, Qt::NoButton);
        sendMouse(m_button, QEvent::MouseButtonDblClick, p, Qt::LeftButton, Qt::LeftButton);
        sendMouse(m_button, QEvent::MouseButtonRelease, p, Qt::LeftButton, Qt::NoButton);
        QCOMPARE(clicked.count(), 2);
    }

    void keys_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("clicks");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("Return") << int(Qt::Key_Return) << 1 << true;
        QTest::newRow("Enter") << int(Qt::Key_Enter) << 1 << true;
        QTest::newRow("A") << int(Qt::Key_A) << 0 << false;
    }

    void keys()
    {
        QFETCH(int, key);
        QFETCH(int, clicks);
        QFETCH(bool, accepted);
        m_button->setFocusPolicy(Qt::StrongFocus);
        m_button->setFocus();
        QSignalSpy clicked(m_button, SIGNAL(clicked()));
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(m_button, &event);
        QCOMPARE(clicked.count(), clicks);
        // Other keys go to the label, which leaves them for its parent.
        QCOMPARE(event.isAccepted(), accepted);
    }

    void hoverSignal()
    {
        QSignalSpy hovered(m_button, SIGNAL(hovered()));
        sendPlain(m_button, QEvent::Enter);
        QCOMPARE(hovered.count(), 1);
        QCOMPARE(m_button->m_state, Hover);
        QCOMPARE(shown(), QColor(0, 0, 255));
        sendPlain(m_button, QEvent::Leave);
        QCOMPARE(hovered.count(), 1);
        QCOMPARE(m_button->m_state, Normal);
        QCOMPARE(shown(), QColor(255, 0, 0));
    }

    void focus()
    {
        QSignalSpy in(m_button, SIGNAL(focussIn()));
        QSignalSpy out(m_button, SIGNAL(focussOut()));
        m_button->m_state = Disabled;
        sendFocus(m_button, QEvent::FocusIn);
        QCOMPARE(m_button->m_state, Pressed);
        QCOMPARE(shown(), QColor(0, 255, 0));
        sendFocus(m_button, QEvent::FocusOut);
        QCOMPARE(m_button->m_state, Normal);
        QCOMPARE(in.count(), 1);
        QCOMPARE(out.count(), 1);
    }

    void disabledStateIgnoresPointer()
    {
        QSignalSpy clicked(m_button, SIGNAL(clicked()));
        QSignalSpy hovered(m_button, SIGNAL(hovered()));
        m_button->m_state = Disabled;
        QCOMPARE(shown(), QColor(255, 255, 0));
        sendPlain(m_button, QEvent::Enter);
        QTest::mousePress(m_button, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        QTest::mouseRelease(m_button, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        sendPlain(m_button, QEvent::Leave);
        QCOMPARE(m_button->m_state, Disabled);
        QCOMPARE(clicked.count() + hovered.count(), 0);
        // Return still clicks.
        QTest::keyClick(m_button, Qt::Key_Return);
        QCOMPARE(clicked.count(), 1);
    }

    void imagesByState_data()
    {
        QTest::addColumn<bool>("onlyNormal");
        QTest::addColumn<int>("state");
        QTest::addColumn<QColor>("color");
        QTest::newRow("0") << false << Normal << QColor(255, 0, 0);
        QTest::newRow("1") << false << Hover << QColor(0, 0, 255);
        QTest::newRow("2") << false << Pressed << QColor(0, 255, 0);
        QTest::newRow("3") << false << Disabled << QColor(255, 255, 0);
        QTest::newRow("only normal, 1") << true << Hover << QColor(255, 0, 0);
        QTest::newRow("only normal, 2") << true << Pressed << QColor(255, 0, 0);
        QTest::newRow("only normal, 3") << true << Disabled << QColor(255, 0, 0);
    }

    void imagesByState()
    {
        QFETCH(bool, onlyNormal);
        QFETCH(int, state);
        QFETCH(QColor, color);
        if (onlyNormal)
            m_button->setPixmaps(&m_normal, nullptr, nullptr, nullptr);
        m_button->m_state = state;
        QCOMPARE(shown(), color);
    }

    void maskFollowsImage()
    {
        // Left half transparent: clicks there reach the widget below.
        QImage image(20, 20, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.fillRect(10, 0, 10, 20, QColor(255, 0, 0));
        painter.end();
        QPixmap shaped = QPixmap::fromImage(image);
        m_button->setPixmaps(&shaped, nullptr, nullptr, nullptr);
        m_button->repaint();
        QVERIFY(!m_button->mask().isEmpty());
        QCOMPARE(m_host->childAt(QPoint(45, 40)), static_cast<QWidget *>(nullptr));
        QCOMPARE(m_host->childAt(QPoint(55, 40)), static_cast<QWidget *>(m_button));

        // An image without transparent pixels leaves the widget unmasked.
        m_button->setPixmaps(&m_normal, nullptr, nullptr, nullptr);
        m_button->repaint();
        QCOMPARE(m_host->childAt(QPoint(45, 40)), static_cast<QWidget *>(m_button));
    }

    void caption()
    {
        QFont font(bundleFamily());
        font.setPixelSize(18);
        m_button->resize(60, 30);
        QPixmap plain = solidPixmap(60, 30, QColor(0, 0, 0));
        m_button->setPixmaps(&plain, nullptr, nullptr, nullptr);
        m_button->setCaption(QStringLiteral("OK"), nullptr, QColor(255, 255, 255));
        QCOMPARE(countColor(m_button->grab().toImage(), QRect(0, 0, 60, 30), Qt::white), 0);
        m_button->setCaption(QStringLiteral("OK"), &font, QColor(255, 255, 255));
        const QImage image = m_button->grab().toImage();
        QVERIFY(countColor(image, QRect(15, 0, 30, 30), Qt::white) > 0);
        QCOMPARE(countColor(image, QRect(0, 0, 10, 30), Qt::white), 0);
        QCOMPARE(countColor(image, QRect(50, 0, 10, 30), Qt::white), 0);

        // A caption rectangle moves the text.
        m_button->setCaption(QStringLiteral("OK"), &font, QColor(255, 255, 255),
                             QRect(30, 0, 30, 30));
        const QImage moved = m_button->grab().toImage();
        QCOMPARE(countColor(moved, QRect(0, 0, 30, 30), Qt::white), 0);
        QVERIFY(countColor(moved, QRect(30, 0, 30, 30), Qt::white) > 0);
    }

    void index() { QCOMPARE(m_button->m_index, -1); }

    void shiftedImages_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<bool>("shiftPressed");
        QTest::addColumn<bool>("shiftHover");
        QTest::addColumn<bool>("shifted");
        QTest::newRow("pressed, flag") << Pressed << true << false << true;
        QTest::newRow("pressed, hover flag") << Pressed << false << true << false;
        QTest::newRow("hover, flag") << Hover << false << true << true;
        QTest::newRow("normal, both flags") << Normal << true << true << false;
    }

    void shiftedImages()
    {
        QFETCH(int, state);
        QFETCH(bool, shiftPressed);
        QFETCH(bool, shiftHover);
        QFETCH(bool, shifted);
        m_button->m_shiftPressed = shiftPressed;
        m_button->m_shiftHover = shiftHover;
        m_button->m_state = state;
        const QImage image = m_button->grab().toImage();
        QCOMPARE(image.pixelColor(3, 3).alpha() == 0, shifted);
        QCOMPARE(image.pixelColor(10, 10).alpha(), 255);
    }
};

QTEST_MAIN(TestCImageButton)
#include "tst_cimagebutton.moc"
