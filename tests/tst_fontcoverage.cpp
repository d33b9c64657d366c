#include <QtTest>

#include "CFontMgr.h"

#include <QFile>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QRawFont>
#include <QXmlStreamReader>

// The bundled font may be cut down to the characters of the translation
// source at build time. Every Chinese character of every message must still
// have its own glyph in the bundle's font and draw ink with the managers'
// font; Latin letters may come from the toolkit's fallback.
class TestFontCoverage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void messages_data();
    void messages();
    void familyKept();

private:
    QRawFont m_raw;
};

void TestFontCoverage::initTestCase()
{
    QFile file(QStringLiteral(":/font/SIMHEI.TTF"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    m_raw.loadFromData(file.readAll(), 16, QFont::PreferDefaultHinting);
    QVERIFY(m_raw.isValid());
}

void TestFontCoverage::messages_data()
{
    QTest::addColumn<QString>("text");
    QFile ts(QStringLiteral(MIREVALE_SOURCE_DIR "/res/trans/trans_iss.ts"));
    QVERIFY(ts.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&ts);
    QString context;
    int count = 0;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("source")
                   || xml.name() == QLatin1String("translation")) {
            const QString kind = xml.name().toString();
            const QString text = xml.readElementText();
            QTest::newRow(qPrintable(context + QLatin1Char(' ') + kind + QLatin1Char(' ')
                                     + QString::number(++count)))
                    << text;
        }
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QVERIFY(count >= 36); // 18 messages, each with a source and a translation
}

void TestFontCoverage::messages()
{
    QFETCH(QString, text);
    const QVector<uint> codePoints = text.toUcs4();
    for (const uint c : codePoints) {
        if (c < 0x2E80) // Latin, punctuation, symbols: the fallback may draw them
            continue;
        QVERIFY2(m_raw.supportsCharacter(c),
                 qPrintable(QStringLiteral("no glyph for U+%1").arg(c, 4, 16, QLatin1Char('0'))));
    }

    // Drawn with the font the widgets get, the text leaves ink.
    QFont *font = CFontMgr::instance()->getFont(17);
    QVERIFY(QFontMetrics(*font).horizontalAdvance(text) > 0);
    QImage image(QFontMetrics(*font).horizontalAdvance(text) + 8, 40, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(*font);
    painter.setPen(Qt::black);
    painter.drawText(image.rect(), Qt::AlignCenter, text);
    painter.end();
    int dark = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            dark += qGray(image.pixel(x, y)) < 128;
    }
    QVERIFY(dark > text.size());
}

void TestFontCoverage::familyKept()
{
    // The subset keeps the whole name table: the registered family is the
    // one the raw data names, and it is the widgets' family.
    QVERIFY(!m_raw.familyName().isEmpty());
    QCOMPARE(CFontMgr::instance()->getFont(8)->family(), m_raw.familyName());
    QVERIFY(!m_raw.fontTable("name").isEmpty());
}

QTEST_MAIN(TestFontCoverage)
#include "tst_fontcoverage.moc"
