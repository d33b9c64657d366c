#include "CBaseLabel.h"
#include "PaintRecorder.h"
#include "WidgetTestHelpers.h"

#include <QPainter>
#include <QtTest>

#include <memory>

using namespace WidgetTest;

// The label as a subclass sees it, with the look and behaviour members that
// only construction or a subclass sets.
class Label : public CBaseLabel
{
public:
    using CBaseLabel::CBaseLabel;
    using CBaseLabel::m_autoHeight;
    using CBaseLabel::m_backgroundColor;
    using CBaseLabel::m_backgroundPixmap;
    using CBaseLabel::m_draggable;
    using CBaseLabel::m_font;
    using CBaseLabel::m_radius;

    void setBorder(int width, const QColor &color)
    {
        m_borderWidth = width;
        m_borderColor = color;
    }

    void setTextMargins(int left, int top, int right, int bottom)
    {
        m_leftMargin = left;
        m_topMargin = top;
        m_rightMargin = right;
        m_bottomMargin = bottom;
    }
};

class TestCBaseLabel : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QWidget> m_host;
    Label *m_label = nullptr;

    static QString repeat(const QString &word, int n)
    {
        QStringList words;
        for (int i = 0; i < n; ++i)
            words << word;
        return words.join(QLatin1Char(' '));
    }

private slots:
    void init()
    {
        m_host.reset(new QWidget);
        m_host->resize(300, 200);
        m_label = new Label(m_host.get());
        m_label->setGeometry(20, 30, 100, 40);
        clearBackground(m_label);
        m_host->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_host.get()));
    }

    void cleanup() { m_host.reset(); }

    void defaultsShowOnlyText()
    {
        QCOMPARE(m_label->alignment(), Qt::AlignCenter);
        QFont font(bundleFamily());
        font.setPixelSize(20);
        m_label->setFont(font);
        m_label->setLabelText(QStringLiteral("MM"));
        QCOMPARE(m_label->size(), QSize(100, 40));
        const QImage image = m_label->grab().toImage();
        // Corners and edges carry no paint; the text in black is there.
        QCOMPARE(countPainted(image, QRect(0, 0, 100, 5)), 0);
        QCOMPARE(countPainted(image, QRect(0, 0, 20, 40)), 0);
        QVERIFY(countColor(image, image.rect(), Qt::black) > 0);
    }

    void wrapsAnywhereCentred()
    {
        QFont font(bundleFamily());
        font.setPixelSize(14);
        m_label->setFont(font);
        m_label->setTextColor(QColor(200, 0, 0));
        const QString text(30, QLatin1Char('x'));
        m_label->setLabelText(text);
        PaintRecorder recorder;
        m_label->render(&recorder);
        const QVector<RecordedText> lines = recorder.engine().texts;
        QVERIFY(lines.size() >= 2);
        const QFontMetricsF metrics(font);
        QString joined;
        for (const RecordedText &line : lines) {
            QCOMPARE(line.color, QColor(200, 0, 0));
            QVERIFY(metrics.horizontalAdvance(line.text) <= 100);
            const qreal centre = line.origin.x() + metrics.horizontalAdvance(line.text) / 2;
            QVERIFY2(qAbs(centre - 50) <= 1.0, qPrintable(QString::number(centre)));
            joined += line.text;
        }
        QCOMPARE(joined, text);
    }

    void borderAndMargins_data()
    {
        QTest::addColumn<int>("border");
        QTest::addColumn<QRect>("margins"); // left, top, right, bottom in x, y, w, h
        QTest::newRow("border 2") << 2 << QRect(0, 0, 0, 0);
        QTest::newRow("margins") << 0 << QRect(6, 3, 10, 4);
        QTest::newRow("both") << 2 << QRect(6, 3, 10, 4);
    }

    void borderAndMargins()
    {
        QFETCH(int, border);
        QFETCH(QRect, margins);
        m_label->setBorder(border, QColor(0, 0, 255));
        m_label->m_backgroundColor = QColor(0, 255, 0);
        m_label->setTextMargins(margins.x(), margins.y(), margins.width(), margins.height());
        m_label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        m_label->setLabelText(QStringLiteral("A"));
        PaintRecorder recorder;
        m_label->render(&recorder);
        // The last shape is the label's own background (rendering may fill
        // the widget's palette background first).
        QVERIFY(!recorder.engine().paths.isEmpty());
        const RecordedPath path = recorder.engine().paths.last();
        const QRectF background(border, border, 100 - 2 * border, 40 - 2 * border);
        QCOMPARE(path.bounds, background);
        QCOMPARE(path.pen, QColor(0, 0, 255));
        QCOMPARE(path.brush, QColor(0, 255, 0));
        QCOMPARE(recorder.engine().texts.size(), 1);
        const QFontMetrics metrics(m_label->font());
        QCOMPARE(recorder.engine().texts.at(0).origin,
                 QPointF(border + margins.x(), border + margins.y() + metrics.ascent()));

        // Painted: the outline colour at the border, the fill inside.
        if (border > 0) {
            const QImage image = m_label->grab().toImage();
            QCOMPARE(image.pixelColor(50, 2), QColor(0, 0, 255));
            QCOMPARE(image.pixelColor(50, 20).green(), 255);
            QCOMPARE(image.pixelColor(50, 0).alpha(), 0);
        }
    }

    void roundedCorners()
    {
        m_label->m_backgroundColor = QColor(0, 255, 0);
        m_label->m_radius = 10.0f;
        const QImage image = m_label->grab().toImage();
        QCOMPARE(image.pixelColor(0, 0).alpha(), 0);
        QCOMPARE(image.pixelColor(50, 0), QColor(0, 255, 0));
        QCOMPARE(image.pixelColor(10, 10), QColor(0, 255, 0));
        m_label->m_radius = 0.0f;
        QCOMPARE(m_label->grab().toImage().pixelColor(0, 0), QColor(0, 255, 0));
    }

    void backgroundPixmap()
    {
        m_label->setBorder(3, QColor(0, 0, 255));
        m_label->m_backgroundColor = QColor(0, 255, 0);
        m_label->m_radius = 8.0f;
        QPixmap picture = solidPixmap(10, 10, QColor(250, 0, 250));
        m_label->m_backgroundPixmap = &picture;
        const QImage image = m_label->grab().toImage();
        QCOMPARE(image.pixelColor(3, 3), QColor(250, 0, 250));
        QCOMPARE(image.pixelColor(96, 36), QColor(250, 0, 250));
        QCOMPARE(image.pixelColor(2, 20).alpha(), 0);
        QCOMPARE(image.pixelColor(97, 20).alpha(), 0);
        QCOMPARE(countColor(image, image.rect(), QColor(0, 255, 0), 10), 0);
        QCOMPARE(countColor(image, image.rect(), QColor(0, 0, 255), 10), 0);
    }

    void labelFontPointer()
    {
        QFont big(bundleFamily());
        big.setPixelSize(26);
        m_label->m_font = &big;
        m_label->setLabelText(QStringLiteral("A"));
        PaintRecorder recorder;
        m_label->render(&recorder);
        QCOMPARE(recorder.engine().texts.at(0).font.pixelSize(), 26);
    }

    void autoHeightOff()
    {
        m_label->resize(100, 16);
        m_label->setLabelText(repeat(QStringLiteral("word"), 20));
        QCOMPARE(m_label->text(), repeat(QStringLiteral("word"), 20));
        QCOMPARE(m_label->size(), QSize(100, 16));
    }

    void autoHeightGrowsByHeightDifference()
    {
        QFont font(bundleFamily());
        font.setPixelSize(12);
        m_label->setFont(font);
        m_label->m_autoHeight = true;
        m_label->resize(100, 10);
        const QString text = repeat(QStringLiteral("ab"), 12);
        const QFontMetrics metrics(font);
        const QRect bounds = metrics.boundingRect(QRect(0, 0, 100, 10),
                                                  int(Qt::AlignCenter) | Qt::TextWordWrap, text);
        QVERIFY(bounds.width() <= 100);
        m_label->setLabelText(text);
        QCOMPARE(m_label->size(), QSize(100, bounds.height()));
    }

    void workedAdjustment_data()
    {
        QTest::addColumn<bool>("unbreakable");
        QTest::addColumn<QSize>("size");
        QTest::newRow("three lines") << false << QSize(100, 48);
        QTest::newRow("one wide word") << true << QSize(100, 32);
    }

    void workedAdjustment()
    {
        QFETCH(bool, unbreakable);
        QFETCH(QSize, size);
        // The first case needs three word-wrapped lines 48 pixels high, the
        // second a font whose metrics are 16 pixels high.
        bool found = false;
        const QFont font = findFont(
                [unbreakable](const QFont &f) {
                    const QFontMetrics m(f);
                    if (unbreakable)
                        return m.height() == 16;
                    return m.boundingRect(QRect(0, 0, 1, 16),
                                          int(Qt::AlignCenter) | Qt::TextWordWrap,
                                          QStringLiteral("n n n"))
                                   .height()
                            == 48;
                },
                &found);
        QVERIFY2(found, "no font with the metrics of the example");
        const QFontMetrics metrics(font);
        QString text;
        if (unbreakable) {
            text = textOfWidth(metrics, 130);
            if (text.isEmpty())
                text = QString(1, QLatin1Char('n'))
                        + textOfWidth(metrics, 130 - metrics.horizontalAdvance('n'));
            QVERIFY(metrics.horizontalAdvance(text) > 100);
            QVERIFY(metrics.horizontalAdvance(text) < 200);
        } else {
            // Words that fit one by one but not two to a line.
            QString word(1, QLatin1Char('n'));
            while (metrics.horizontalAdvance(word + QLatin1Char(' ') + word) <= 100)
                word += QLatin1Char('n');
            QVERIFY(metrics.horizontalAdvance(word) <= 100);
            text = repeat(word, 3);
            QCOMPARE(metrics.boundingRect(QRect(0, 0, 100, 16),
                                          int(Qt::AlignCenter) | Qt::TextWordWrap, text)
                             .height(),
                     48);
        }
        m_label->setFont(font);
        m_label->m_autoHeight = true;
        m_label->resize(100, 16);
        m_label->setLabelText(text);
        QCOMPARE(m_label->size(), size);
    }

    void noTextWidthDoesNothing()
    {
        m_label->m_autoHeight = true;
        m_label->setTextMargins(60, 0, 60, 0);
        m_label->resize(100, 16);
        m_label->setLabelText(QStringLiteral("Wide text that cannot fit"));
        QCOMPARE(m_label->size(), QSize(100, 16));
    }

    void dragging_data()
    {
        QTest::addColumn<bool>("draggable");
        QTest::addColumn<QPoint>("shift");
        QTest::newRow("on") << true << QPoint(10, 3);
        QTest::newRow("off") << false << QPoint(0, 0);
    }

    void dragging()
    {
        QFETCH(bool, draggable);
        QFETCH(QPoint, shift);
        m_label->m_draggable = draggable;
        const QPoint start = m_label->pos();
        sendMouse(m_label, QEvent::MouseButtonPress, QPoint(5, 5), Qt::LeftButton, Qt::LeftButton);
        sendMouse(m_label, QEvent::MouseMove, QPoint(15, 8), Qt::NoButton, Qt::LeftButton);
        QCOMPARE(m_label->pos(), start + shift);
        // The pressed point stays under the pointer: a move to the new
        // place of (5, 5) changes nothing.
        sendMouse(m_label, QEvent::MouseMove, QPoint(5, 5), Qt::NoButton, Qt::LeftButton);
        QCOMPARE(m_label->pos(), start + shift);
    }
};

QTEST_MAIN(TestCBaseLabel)
#include "tst_cbaselabel.moc"
