#include "CBaseButton.h"
#include "PaintRecorder.h"
#include "WidgetTestHelpers.h"

#include <QPainter>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

using namespace WidgetTest;

// The button's states, as the int m_state holds them.
constexpr int Normal = CBaseButton::StateNormal;
constexpr int Lit = CBaseButton::StateLit;
constexpr int Pressed = CBaseButton::StatePressed;
constexpr int Hover = CBaseButton::StateHover;

// The button as a subclass sees it: its state, and the look and layout
// members that only construction or a subclass sets.
class Button : public CBaseButton
{
public:
    using CBaseButton::CBaseButton;
    using CBaseButton::m_alignment;
    using CBaseButton::m_autoGrow;
    using CBaseButton::m_badgeColor;
    using CBaseButton::m_badgeNumber;
    using CBaseButton::m_badgeTextColor;
    using CBaseButton::m_disabledTextColor;
    using CBaseButton::m_hitRect;
    using CBaseButton::m_hoverTextColor;
    using CBaseButton::m_icon;
    using CBaseButton::m_iconHeight;
    using CBaseButton::m_iconWidth;
    using CBaseButton::m_index;
    using CBaseButton::m_interactive;
    using CBaseButton::m_leftInset;
    using CBaseButton::m_leftMargin;
    using CBaseButton::m_moveOnHover;
    using CBaseButton::m_normalTextColor;
    using CBaseButton::m_pixmap;
    using CBaseButton::m_pressed;
    using CBaseButton::m_pressOffset;
    using CBaseButton::m_showBadge;
    using CBaseButton::m_showSubText;
    using CBaseButton::m_state;
    using CBaseButton::m_topMargin;

    void setBadge(int number)
    {
        m_showBadge = true;
        m_badgeNumber = number;
    }
};

class TestCBaseButton : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QWidget> m_host;
    Button *m_button = nullptr;

    // Font with a line spacing of 20 and a text 100 pixels wide in it.
    bool workedFont(QFont *font, QString *text)
    {
        bool found = false;
        *font = findFont([](const QFont &f) { return QFontMetrics(f).lineSpacing() == 20; },
                         &found);
        if (!found)
            return false;
        *text = textOfWidth(QFontMetrics(*font), 100);
        return !text->isEmpty();
    }

    QVector<RecordedText> recordContent(CBaseButton *b, const QRect &area)
    {
        PaintRecorder recorder;
        QPainter painter(&recorder);
        b->drawContent(&painter, area);
        painter.end();
        return recorder.engine().texts;
    }

private slots:
    void init()
    {
        m_host.reset(new QWidget);
        m_host->resize(400, 300);
        m_button = new Button(m_host.get());
        m_button->setGeometry(50, 40, 155, 43);
        QFont font(bundleFamily());
        font.setPixelSize(20);
        m_button->setFont(font);
        m_button->setTexts(QStringLiteral("Install"), QString());
        clearBackground(m_button);
        m_host->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_host.get()));
    }

    void cleanup() { m_host.reset(); }

    void defaults()
    {
        Button b(nullptr);
        QCOMPARE(b.m_state, Normal);
        QCOMPARE(b.m_index, -1);
        QCOMPARE(b.m_normalTextColor, QColor(0, 0, 255, 255));
        QCOMPARE(b.m_hoverTextColor, QColor(255, 255, 255, 255));
        QCOMPARE(b.m_disabledTextColor, QColor(100, 100, 100, 255));
        QCOMPARE(b.m_alignment, 132);
        QCOMPARE(b.m_hitRect, b.rect().adjusted(1, 1, -1, -1));
        QVERIFY(b.testAttribute(Qt::WA_MouseTracking));
        QVERIFY(b.m_interactive);
    }

    void workedLayout_data()
    {
        QTest::addColumn<int>("alignment");
        QTest::addColumn<int>("tx");
        QTest::addColumn<int>("ty");
        QTest::newRow("centre") << int(Qt::AlignCenter) << 27 << 27;
        QTest::newRow("left") << int(Qt::AlignLeft | Qt::AlignVCenter) << 9 << 27;
        QTest::newRow("right") << int(Qt::AlignRight | Qt::AlignVCenter) << 45 << 27;
        QTest::newRow("top") << int(Qt::AlignHCenter | Qt::AlignTop) << 27 << 21;
        QTest::newRow("bottom") << int(Qt::AlignHCenter | Qt::AlignBottom) << 27 << 33;
    }

    void workedLayout()
    {
        QFETCH(int, alignment);
        QFETCH(int, tx);
        QFETCH(int, ty);
        QFont font;
        QString text;
        QVERIFY2(workedFont(&font, &text), "no font with a line spacing of 20");
        Button b(nullptr);
        b.resize(155, 43);
        b.setFont(font);
        b.setTexts(text, QString());
        b.m_alignment = alignment;
        const QVector<RecordedText> texts = recordContent(&b, b.rect());
        QCOMPARE(texts.size(), 1);
        QCOMPARE(texts.at(0).text, text);
        QCOMPARE(texts.at(0).origin, QPointF(tx, ty));
        QCOMPARE(texts.at(0).color, QColor(Qt::blue));
    }

    void workedLayoutPixmapMode()
    {
        // A 100 by 20 content pixmap: left edge at 27, top edge 21 - 10 + 1.
        QPixmap content = solidPixmap(100, 20, QColor(0, 200, 0));
        m_button->m_pixmap = &content;
        const QImage image = m_button->grab().toImage();
        QCOMPARE(image.pixelColor(27, 12), QColor(0, 200, 0));
        QCOMPARE(image.pixelColor(126, 31), QColor(0, 200, 0));
        QCOMPARE(image.pixelColor(26, 12).alpha(), 0);
        QCOMPARE(image.pixelColor(27, 11).alpha(), 0);
        QCOMPARE(image.pixelColor(127, 31).alpha(), 0);
        QCOMPARE(image.pixelColor(126, 32).alpha(), 0);
        // No text in pixmap mode, whatever the state.
        m_button->m_state = Pressed;
        QCOMPARE(countColor(m_button->grab().toImage(), m_button->rect(), Qt::white), 0);
    }

    void workedBadge()
    {
        const QString family = findFamily([](const QFont &f) {
            QFont small(f);
            small.setPointSize(8);
            const QFontMetrics m(small);
            return m.horizontalAdvance(QStringLiteral("7")) == 6 && m.height() == 12;
        });
        if (family.isEmpty())
            QSKIP("no installed font has a digit 6 wide and a height of 12 at 8 points");
        Button b(nullptr);
        b.setFont(QFont(family));
        b.setBadge(7);
        PaintRecorder recorder;
        QPainter painter(&recorder);
        b.drawBadge(&painter, QPoint(40, 10));
        painter.end();
        QCOMPARE(recorder.engine().paths.size(), 1);
        QCOMPARE(recorder.engine().paths.at(0).bounds, QRectF(30, 0, 16, 16));
        QCOMPARE(recorder.engine().paths.at(0).brush, QColor(255, 0, 0));
        QCOMPARE(recorder.engine().texts.size(), 1);
        QCOMPARE(recorder.engine().texts.at(0).text, QStringLiteral("7"));
        QCOMPARE(qRound(recorder.engine().texts.at(0).origin.x()), 35);

        // Painted: a red circle, its corners left clear.
        QImage image(60, 30, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter imagePainter(&image);
        b.drawBadge(&imagePainter, QPoint(40, 10));
        imagePainter.end();
        QCOMPARE(image.pixelColor(31, 8), QColor(255, 0, 0));
        QCOMPARE(image.pixelColor(30, 0).alpha(), 0);
        QCOMPARE(image.pixelColor(45, 15).alpha(), 0);
        QCOMPARE(image.pixelColor(29, 8).alpha(), 0);
    }

    void badgeShape_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<bool>("circle");
        QTest::newRow("1") << 1 << true;
        QTest::newRow("100") << 100 << false;
    }

    void badgeShape()
    {
        QFETCH(int, number);
        QFETCH(bool, circle);
        Button b(nullptr);
        b.setBadge(number);
        b.m_badgeColor = QColor(0, 0, 250);
        b.m_badgeTextColor = QColor(250, 250, 0);
        QFont small(b.font());
        small.setPointSize(8);
        const QFontMetrics m(small);
        const int h = m.height() + 4;
        const int w = qMax(h, m.horizontalAdvance(QString::number(number)) + 4);
        PaintRecorder recorder;
        QPainter painter(&recorder);
        b.drawBadge(&painter, QPoint(50, 20));
        painter.end();
        QCOMPARE(recorder.engine().paths.size(), 1);
        const RecordedPath path = recorder.engine().paths.at(0);
        QCOMPARE(path.bounds, QRectF(50 - w / 2 - 2, 20 - h / 2 - 2, w, h));
        QCOMPARE(path.bounds.width() == path.bounds.height(), circle);
        QCOMPARE(path.brush, QColor(0, 0, 250));
        QCOMPARE(path.pen, QColor(250, 250, 0));
        QCOMPARE(recorder.engine().texts.at(0).text, QString::number(number));
        QCOMPARE(recorder.engine().texts.at(0).color, QColor(250, 250, 0));
    }

    void badgeOnlyWithIcon()
    {
        Button b(nullptr);
        b.resize(155, 43);
        b.setBadge(3);
        PaintRecorder plain;
        QPainter p1(&plain);
        b.drawContent(&p1, b.rect());
        p1.end();
        QVERIFY(plain.engine().paths.isEmpty());

        // With a 16 by 16 icon the block is icon + 5 + text, the badge sits
        // on the icon's top-right corner.
        QPixmap icon = solidPixmap(8, 8, Qt::red);
        b.m_icon = &icon;
        b.m_iconWidth = 16;
        b.m_iconHeight = 16;
        b.setTexts(QString(), QString());
        PaintRecorder recorder;
        QPainter p2(&recorder);
        b.drawContent(&p2, b.rect());
        p2.end();
        // Empty text: the block is the icon alone, still centred.
        const int x0 = 5 + 145 / 2 - 21 / 2;
        const int iy = 3 + 37 / 2 - 8;
        QCOMPARE(recorder.engine().pixmaps.size(), 1);
        QCOMPARE(recorder.engine().pixmaps.at(0).target, QRectF(x0, iy, 16, 16));
        QCOMPARE(recorder.engine().paths.size(), 1);
        QFont small(b.font());
        small.setPointSize(8);
        const int h = QFontMetrics(small).height() + 4;
        QCOMPARE(recorder.engine().paths.at(0).bounds.top(), qreal(iy - h / 2 - 2));
        QCOMPARE(recorder.engine().paths.at(0).bounds.left(), qreal(x0 + 16 - h / 2 - 2));
    }

    void emptyTextPaintsNothing()
    {
        m_button->setTexts(QString(), QString());
        for (int s = Normal; s <= Hover; ++s) {
            m_button->m_state = s;
            QCOMPARE(countPainted(m_button->grab().toImage(), m_button->rect()), 0);
        }
    }

    void textByState_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<bool>("twoLines");
        QTest::addColumn<int>("lines");
        QTest::addColumn<QColor>("color");
        QTest::addColumn<int>("stateAfter");
        QTest::newRow("1") << Normal << false << 1 << QColor(Qt::blue) << Normal;
        QTest::newRow("1 two-line") << Normal << true << 2 << QColor(Qt::blue) << Normal;
        QTest::newRow("2") << Lit << false << 2 << QColor(Qt::white) << Lit;
        QTest::newRow("3") << Pressed << false << 2 << QColor(Qt::white) << Pressed;
        QTest::newRow("4") << Hover << false << 2 << QColor(Qt::white) << Normal;
        QTest::newRow("0") << 0 << false << 0 << QColor() << 0;
        QTest::newRow("5") << 5 << true << 0 << QColor() << 5;
    }

    void textByState()
    {
        QFETCH(int, state);
        QFETCH(bool, twoLines);
        QFETCH(int, lines);
        QFETCH(QColor, color);
        QFETCH(int, stateAfter);
        Button b(nullptr);
        b.resize(155, 60);
        QFont sub(bundleFamily());
        sub.setPixelSize(9);
        b.setFonts(nullptr, &sub);
        b.setTexts(QStringLiteral("Main"), QStringLiteral("Second"));
        b.m_showSubText = twoLines;
        b.m_state = state;
        const QVector<RecordedText> texts = recordContent(&b, b.rect());
        QCOMPARE(texts.size(), lines);
        for (const RecordedText &t : texts)
            QCOMPARE(t.color, color);
        if (lines == 2) {
            QCOMPARE(texts.at(1).text, QStringLiteral("Second"));
            QCOMPARE(texts.at(1).font.pixelSize(), 9);
            QVERIFY(texts.at(1).origin.y() > texts.at(0).origin.y());
        }
        QCOMPARE(b.m_state, stateAfter);
    }

    void twoLineLayout()
    {
        Button b(nullptr);
        b.resize(155, 60);
        b.setTexts(QStringLiteral("Main"), QStringLiteral("Second line"));
        b.m_showSubText = true;
        const QFontMetrics m(b.font());
        const int ch = m.lineSpacing(), sh = m.height(), sw = m.horizontalAdvance("Second line");
        const int W = 145, H = 54;
        const int ty = 3 + H / 2 + ch / 4 + 1 - (2 + sh / 2);
        const QVector<RecordedText> texts = recordContent(&b, b.rect());
        QCOMPARE(texts.size(), 2);
        QCOMPARE(texts.at(0).origin.y(), qreal(ty));
        QCOMPARE(texts.at(1).origin, QPointF(5 + (W - sw) / 2, ty + (3 * ch) / 4 + sh / 4 + 2));
    }

    void disabledPaintsOneGreyLine()
    {
        Button b(nullptr);
        b.resize(155, 60);
        b.setTexts(QStringLiteral("Main"), QStringLiteral("Second"));
        b.m_showSubText = true;
        b.setEnabled(false);
        b.m_state = Hover;
        const QVector<RecordedText> texts = recordContent(&b, b.rect());
        QCOMPARE(texts.size(), 1);
        QCOMPARE(texts.at(0).color, QColor(100, 100, 100));
        QCOMPARE(b.m_state, Hover);
    }

    void hoverColourLastsOnePaint()
    {
        const QImage normal = m_button->grab().toImage();
        QVERIFY(countColor(normal, m_button->rect(), Qt::blue) > 0);
        QCOMPARE(countColor(normal, m_button->rect(), Qt::white), 0);

        sendMouse(m_button, QEvent::MouseMove, QPoint(20, 20), Qt::NoButton, Qt::NoButton);
        QCOMPARE(m_button->cursor().shape(), Qt::PointingHandCursor);
        QCOMPARE(m_button->m_state, Normal); // the move's own repaint showed the hover state

        m_button->m_state = Hover;
        const QImage hover = m_button->grab().toImage();
        QVERIFY(countColor(hover, m_button->rect(), Qt::white) > 0);
        QCOMPARE(countColor(hover, m_button->rect(), Qt::blue), 0);
        QCOMPARE(m_button->m_state, Normal);
        QVERIFY(countColor(m_button->grab().toImage(), m_button->rect(), Qt::blue) > 0);
    }

    void moveStates_data()
    {
        QTest::addColumn<QPoint>("pos");
        QTest::addColumn<int>("buttons");
        QTest::addColumn<int>("state");
        QTest::addColumn<int>("cursor");
        QTest::newRow("inside, left held")
                << QPoint(20, 20) << int(Qt::LeftButton) << Pressed << int(Qt::PointingHandCursor);
        QTest::newRow("inside, right held")
                << QPoint(20, 20) << int(Qt::RightButton) << Normal << int(Qt::PointingHandCursor);
        QTest::newRow("border pixel")
                << QPoint(0, 20) << int(Qt::NoButton) << Lit << int(Qt::ArrowCursor);
        QTest::newRow("outside") << QPoint(200, 20) << int(Qt::LeftButton) << Lit
                                 << int(Qt::ArrowCursor);
    }

    void moveStates()
    {
        QFETCH(QPoint, pos);
        QFETCH(int, buttons);
        QFETCH(int, state);
        QFETCH(int, cursor);
        m_button->m_state = Lit;
        m_button->setCursor(Qt::WaitCursor);
        sendMouse(m_button, QEvent::MouseMove, pos, Qt::NoButton, Qt::MouseButtons(buttons));
        // State 4 is painted at once and falls back to 1.
        QCOMPARE(m_button->m_state, state);
        QCOMPARE(int(m_button->cursor().shape()), cursor);
    }

    void clickInside_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("checkable");
        QTest::addColumn<int>("toolkitClicks");
        QTest::addColumn<int>("indexClicks");
        QTest::addColumn<bool>("checkedAfter");
        QTest::addColumn<int>("stateAfter");
        // The toolkit's click repaints at once, so its hover state is
        // already painted and back at 1.
        QTest::newRow("plain") << -1 << false << 1 << 0 << false << Normal;
        QTest::newRow("index 5") << 5 << false << 0 << 1 << false << Hover;
        QTest::newRow("index 5, checkable") << 5 << true << 0 << 1 << true << Hover;
    }

    void clickInside()
    {
        QFETCH(int, index);
        QFETCH(bool, checkable);
        QFETCH(int, toolkitClicks);
        QFETCH(int, indexClicks);
        QFETCH(bool, checkedAfter);
        QFETCH(int, stateAfter);
        m_button->m_index = index;
        m_button->setCheckable(checkable);
        QSignalSpy toolkit(m_button, SIGNAL(clicked()));
        QSignalSpy indexed(m_button, SIGNAL(clicked(int)));
        const QPoint start = m_button->pos();

        QTest::mousePress(m_button, Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
        QCOMPARE(m_button->pos(), start + QPoint(3, 3));
        QCOMPARE(m_button->m_state, Pressed);
        QVERIFY(m_button->m_pressed);
        QTest::mouseRelease(m_button, Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
        QCOMPARE(m_button->pos(), start);
        QVERIFY(!m_button->m_pressed);
        QCOMPARE(m_button->m_state, stateAfter);
        QCOMPARE(m_button->cursor().shape(), Qt::ArrowCursor);
        QCOMPARE(toolkit.count(), toolkitClicks);
        QCOMPARE(indexed.count(), indexClicks);
        if (indexClicks)
            QCOMPARE(indexed.at(0).at(0).toInt(), 5);
        QCOMPARE(m_button->isChecked(), checkedAfter);
    }

    void releaseOnBorderCountsAsInside()
    {
        QSignalSpy toolkit(m_button, SIGNAL(clicked()));
        QTest::mousePress(m_button, Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
        QTest::mouseRelease(m_button, Qt::LeftButton, Qt::NoModifier, QPoint(0, 0));
        QCOMPARE(toolkit.count(), 1);
        m_button->m_index = 3;
        QSignalSpy indexed(m_button, SIGNAL(clicked(int)));
        QTest::mousePress(m_button, Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
        QTest::mouseRelease(m_button, Qt::LeftButton, Qt::NoModifier, QPoint(154, 42));
        QCOMPARE(indexed.count(), 1);
        QCOMPARE(m_button->m_state, Hover);
    }

    void pressOnBorderIsDropped()
    {
        const QPoint start = m_button->pos();
        QSignalSpy pressedSpy(m_button, SIGNAL(pressed()));
        QTest::mousePress(m_button, Qt::LeftButton, Qt::NoModifier, QPoint(0, 10));
        QCOMPARE(m_button->pos(), start);
        QCOMPARE(m_button->m_state, Normal);
        QCOMPARE(pressedSpy.count(), 0);
    }

    void releaseOutside()
    {
        QSignalSpy toolkit(m_button, SIGNAL(clicked()));
        QSignalSpy indexed(m_button, SIGNAL(clicked(int)));
        const QPoint start = m_button->pos();
        QTest::mousePress(m_button, Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
        QTest::mouseRelease(m_button, Qt::LeftButton, Qt::NoModifier, QPoint(200, 20));
        QCOMPARE(toolkit.count(), 0);
        QCOMPARE(indexed.count(), 0);
        QCOMPARE(m_button->m_state, Normal);
        QCOMPARE(m_button->pos(), start);
        QVERIFY(!m_button->m_pressed);

        m_button->m_index = 2;
        QTest::mousePress(m_button, Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
        QTest::mouseRelease(m_button, Qt::LeftButton, Qt::NoModifier, QPoint(20, 60));
        QCOMPARE(indexed.count(), 0);
        QCOMPARE(toolkit.count(), 0);
    }

    void rightPressIsDropped()
    {
        const QPoint start = m_button->pos();
        m_button->setCursor(Qt::PointingHandCursor);
        m_button->m_state = Lit;
        QSignalSpy toolkit(m_button, SIGNAL(clicked()));
        QTest::mousePress(m_button, Qt::RightButton, Qt::NoModifier, QPoint(20, 20));
        QCOMPARE(m_button->pos(), start);
        QCOMPARE(m_button->m_state, Lit);
        QVERIFY(!m_button->m_pressed);
        QTest::mouseRelease(m_button, Qt::RightButton, Qt::NoModifier, QPoint(20, 20));
        QCOMPARE(m_button->cursor().shape(), Qt::ArrowCursor);
        QCOMPARE(m_button->m_state, Lit);
        QCOMPARE(m_button->pos(), start);
        QCOMPARE(toolkit.count(), 0);
    }

    void enterLeave()
    {
        m_button->m_index = 7;
        QStringList log;
        connect(m_button, &CBaseButton::hoveredAt,
                [&](bool on, int index) { log << QStringLiteral("at %1 %2").arg(on).arg(index); });
        connect(m_button, &CBaseButton::hovered,
                [&](bool on) { log << QStringLiteral("hovered %1").arg(on); });
        const QPoint start = m_button->pos();
        m_button->m_state = Pressed;
        sendPlain(m_button, QEvent::Enter);
        QCOMPARE(m_button->m_state, Pressed);
        QCOMPARE(m_button->pos(), start);
        sendPlain(m_button, QEvent::Leave);
        QCOMPARE(m_button->m_state, Normal);
        QCOMPARE(log, QStringList({"at 1 7", "hovered 1", "at 0 7", "hovered 0"}));
    }

    void moveOnHover_data()
    {
        QTest::addColumn<int>("offset");
        QTest::newRow("default offset") << 3;
        QTest::newRow("offset 6") << 6;
    }

    void moveOnHover()
    {
        QFETCH(int, offset);
        m_button->m_moveOnHover = true;
        m_button->m_pressOffset = offset;
        const QPoint start = m_button->pos();
        sendPlain(m_button, QEvent::Enter);
        QCOMPARE(m_button->pos(), start + QPoint(offset, offset));
        QTest::mousePress(m_button, Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
        QCOMPARE(m_button->pos(), start + QPoint(2 * offset, 2 * offset));
        QTest::mouseRelease(m_button, Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
        sendPlain(m_button, QEvent::Leave);
        QCOMPARE(m_button->pos(), start);
    }

    void focusOutResetsState()
    {
        m_button->m_state = Pressed;
        sendFocus(m_button, QEvent::FocusIn);
        QCOMPARE(m_button->m_state, Pressed);
        sendFocus(m_button, QEvent::FocusOut);
        QCOMPARE(m_button->m_state, Normal);
    }

    void nonInteractiveIgnores_data()
    {
        QTest::addColumn<int>("event");
        QTest::newRow("move inside") << int(QEvent::MouseMove);
        QTest::newRow("press") << int(QEvent::MouseButtonPress);
        QTest::newRow("release") << int(QEvent::MouseButtonRelease);
        QTest::newRow("enter") << int(QEvent::Enter);
        QTest::newRow("leave") << int(QEvent::Leave);
        QTest::newRow("focus in") << int(QEvent::FocusIn);
        QTest::newRow("focus out") << int(QEvent::FocusOut);
        QTest::newRow("space key") << int(QEvent::KeyPress);
    }

    void nonInteractiveIgnores()
    {
        QFETCH(int, event);
        m_button->m_moveOnHover = true;
        m_button->m_index = 1;
        m_button->setInteractive(false);
        m_button->setCursor(Qt::WaitCursor);
        m_button->m_state = Lit;
        const QPoint start = m_button->pos();
        QSignalSpy hovered(m_button, SIGNAL(hovered(bool)));
        QSignalSpy hoveredAt(m_button, SIGNAL(hoveredAt(bool, int)));
        QSignalSpy toolkit(m_button, SIGNAL(clicked()));
        QSignalSpy indexed(m_button, SIGNAL(clicked(int)));
        QSignalSpy pressedSpy(m_button, SIGNAL(pressed()));
        const auto type = QEvent::Type(event);
        if (type == QEvent::Enter || type == QEvent::Leave)
            sendPlain(m_button, type);
        else if (type == QEvent::FocusIn || type == QEvent::FocusOut)
            sendFocus(m_button, type);
        else if (type == QEvent::KeyPress)
            QTest::keyClick(m_button, Qt::Key_Space);
        else
            sendMouse(m_button, type, QPoint(20, 20), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton);
        QCOMPARE(m_button->m_state, Lit);
        QCOMPARE(m_button->cursor().shape(), Qt::WaitCursor);
        QCOMPARE(m_button->pos(), start);
        QVERIFY(!m_button->m_pressed);
        QCOMPARE(hovered.count() + hoveredAt.count() + toolkit.count() + indexed.count()
                         + pressedSpy.count(),
                 0);
        // Out of the focus chain while switched off; back in when on again.
        QCOMPARE(m_button->focusPolicy(), Qt::NoFocus);
        m_button->setInteractive(true);
        QCOMPARE(m_button->focusPolicy(), Qt::StrongFocus);
    }

    void interactivityOffBetweenPressAndRelease()
    {
        QSignalSpy toolkit(m_button, SIGNAL(clicked()));
        const QPoint start = m_button->pos();
        QTest::mousePress(m_button, Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
        m_button->setInteractive(false);
        QTest::mouseRelease(m_button, Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
        QCOMPARE(m_button->pos(), start + QPoint(3, 3));
        QVERIFY(m_button->m_pressed);
        QCOMPARE(toolkit.count(), 0);
    }

    void tinyWidgetHasNoHitArea_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("2 wide") << QSize(2, 20);
        QTest::newRow("2 high") << QSize(20, 2);
    }

    void tinyWidgetHasNoHitArea()
    {
        QFETCH(QSize, size);
        m_button->resize(size);
        QVERIFY(m_button->m_hitRect.isEmpty());
        const QPoint start = m_button->pos();
        m_button->m_state = Lit;
        for (int x = 0; x < size.width(); ++x) {
            for (int y = 0; y < size.height(); ++y) {
                sendMouse(m_button, QEvent::MouseMove, QPoint(x, y), Qt::NoButton, Qt::NoButton);
                QTest::mousePress(m_button, Qt::LeftButton, Qt::NoModifier, QPoint(x, y));
                QCOMPARE(m_button->pos(), start);
                QCOMPARE(m_button->m_state, Lit);
            }
        }
        QCOMPARE(m_button->cursor().shape(), Qt::ArrowCursor);
    }

    void setTextsRepaintsAtOnce()
    {
        m_button->m_state = Hover;
        m_button->setTexts(QStringLiteral("Installing..."), QString());
        QCOMPARE(m_button->m_state, Normal);
        QCOMPARE(m_button->text(), QString());
        m_button->m_state = Hover;
        m_button->setButtonText(QStringLiteral("Link"), QString());
        QCOMPARE(m_button->m_state, Normal);
        QCOMPARE(m_button->text(), QStringLiteral("Link"));
    }

    void setTextColorAndFonts()
    {
        Button b(nullptr);
        b.resize(155, 43);
        b.setTextColor(QColor(10, 20, 30));
        QFont font(bundleFamily());
        font.setPixelSize(17);
        b.setFonts(&font, nullptr);
        QCOMPARE(b.font().pixelSize(), 17);
        b.setFonts(nullptr, nullptr);
        QCOMPARE(b.font().pixelSize(), 17);
        b.setTexts(QStringLiteral("A"), QString());
        QCOMPARE(recordContent(&b, b.rect()).at(0).color, QColor(10, 20, 30));
        b.m_state = Pressed;
        QCOMPARE(recordContent(&b, b.rect()).at(0).color, QColor(10, 20, 30));
        b.setEnabled(false);
        QCOMPARE(recordContent(&b, b.rect()).at(0).color, QColor(10, 20, 30));
        QCOMPARE(recordContent(&b, b.rect()).at(0).font.pixelSize(), 17);
    }

    void insetsAndMargins()
    {
        Button b(nullptr);
        b.resize(155, 43);
        b.setTexts(QStringLiteral("Go"), QString());
        b.m_alignment = Qt::AlignLeft | Qt::AlignVCenter;
        const int bw = QFontMetrics(b.font()).horizontalAdvance(QStringLiteral("Go"));
        const qreal before = recordContent(&b, b.rect()).at(0).origin.x();
        QCOMPARE(before, qreal(5 + 145 / 2 - bw / 2 + bw / 2 - 137 / 2));
        b.m_leftInset = 10;
        // W = 139, HW = (139 - 14) / 2.
        QCOMPARE(recordContent(&b, b.rect()).at(0).origin.x(),
                 qreal(11 + 139 / 2 - bw / 2 + bw / 2 - 125 / 2));

        // Margins move the area the widget's own paint hands to the painter.
        b.m_leftInset = 4;
        b.m_alignment = Qt::AlignCenter;
        b.m_leftMargin = 20;
        b.m_topMargin = 6;
        PaintRecorder recorder;
        b.render(&recorder);
        QCOMPARE(recorder.engine().texts.size(), 1);
        const int W = 155 - 20 - 10, H = 43 - 6 - 6;
        const int ch = QFontMetrics(b.font()).lineSpacing();
        QCOMPARE(recorder.engine().texts.at(0).origin,
                 QPointF(25 + W / 2 - bw / 2, 9 + H / 2 + ch / 4 + 1));
    }

    void autoGrow()
    {
        QFont font(bundleFamily());
        font.setPixelSize(20);
        m_button->setFont(font);
        const QString text = QStringLiteral("A much longer caption than fits");
        m_button->setTexts(text, QString());
        m_button->resize(60, 20);
        QCOMPARE(m_button->size(), QSize(60, 20));
        m_button->m_autoGrow = true;
        m_button->update();
        const QFontMetrics m(font);
        const QSize expected(60 + m.horizontalAdvance(text) - 50, 20 + m.lineSpacing() - 14);
        QTRY_COMPARE_WITH_TIMEOUT(m_button->size(), expected, 5000);
        QCOMPARE(m_button->m_hitRect, QRect(QPoint(1, 1), expected - QSize(2, 2)));
    }
};

QTEST_MAIN(TestCBaseButton)
#include "tst_cbasebutton.moc"
