// The artwork in the resource bundle: sizes, PNG encoding, the pixel
// properties the window relies on, and the Windows file icon and manifest.

#include "ProductVersion.h"

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QSet>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

QString sourcePath(const QString &relative)
{
    return QStringLiteral(MIREVALE_SOURCE_DIR "/") + relative;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

QImage bundleImage(const QString &name)
{
    return QImage(QStringLiteral(":/images/") + name).convertToFormat(QImage::Format_ARGB32);
}

quint32 u32le(const QByteArray &data, int at)
{
    return quint32(quint8(data[at])) | quint32(quint8(data[at + 1])) << 8
            | quint32(quint8(data[at + 2])) << 16 | quint32(quint8(data[at + 3])) << 24;
}

quint16 u16le(const QByteArray &data, int at)
{
    return quint16(quint8(data[at]) | quint8(data[at + 1]) << 8);
}

quint32 u32be(const QByteArray &data, int at)
{
    return quint32(quint8(data[at])) << 24 | quint32(quint8(data[at + 1])) << 16
            | quint32(quint8(data[at + 2])) << 8 | quint32(quint8(data[at + 3]));
}

} // namespace

class TestArtwork : public QObject
{
    Q_OBJECT

private slots:
    void images_data();
    void images();
    void progressBlocks_data();
    void progressBlocks();
    void slides_data();
    void slides();
    void checkIndicators();
    void closeButton();
    void buttonFace();
    void background();
    void iconFile();
    void manifest();
};

void TestArtwork::images_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");
    QVector<QPair<QString, QSize>> images
            = {{"background", QSize(658, 435)},    {"app_icon", QSize(128, 128)},
               {"close", QSize(20, 20)},           {"close_clicked", QSize(20, 20)},
               {"button", QSize(150, 44)},         {"checked_normal", QSize(37, 37)},
               {"checked_hover", QSize(37, 37)},   {"unchecked", QSize(37, 37)},
               {"unchecked_hover", QSize(37, 37)}, {"text1", QSize(210, 37)},
               {"text2", QSize(328, 85)},          {"text3", QSize(354, 108)},
               {"text4", QSize(442, 108)}};
    for (int i = 1; i <= 10; ++i)
        images.append({QStringLiteral("b%1").arg(i), QSize(i >= 3 && i <= 8 ? 21 : 20, 43)});
    for (const auto &image : qAsConst(images))
        QTest::newRow(qPrintable(image.first)) << image.first + ".png" << image.second;
    // Each again at twice its size (Qt's "@2x" name), for displays above 100 %.
    for (const auto &image : qAsConst(images))
        QTest::newRow(qPrintable(image.first + "@2x"))
                << image.first + "@2x.png" << image.second * 2;
}

void TestArtwork::images()
{
    QFETCH(QString, name);
    QFETCH(QSize, size);

    const QImage image(QStringLiteral(":/images/") + name);
    QVERIFY2(!image.isNull(), qPrintable(name));
    QCOMPARE(image.size(), size);
    QVERIFY(image.hasAlphaChannel());

    // The bundle carries the committed file unchanged.
    const QByteArray onDisk = readAll(sourcePath(QStringLiteral("res/images/") + name));
    QVERIFY(!onDisk.isEmpty());
    QCOMPARE(readAll(QStringLiteral(":/images/") + name), onDisk);

    // PNG signature, then the IHDR chunk: width, height, bit depth 8,
    // colour type 6 (RGBA), no interlacing.
    QVERIFY(onDisk.size() > 33);
    QCOMPARE(onDisk.left(8), QByteArray("\x89PNG\r\n\x1a\n", 8));
    QCOMPARE(onDisk.mid(12, 4), QByteArray("IHDR"));
    QCOMPARE(u32be(onDisk, 16), quint32(size.width()));
    QCOMPARE(u32be(onDisk, 20), quint32(size.height()));
    QCOMPARE(int(quint8(onDisk[24])), 8);
    QCOMPARE(int(quint8(onDisk[25])), 6);
    QCOMPARE(int(quint8(onDisk[28])), 0);
}

void TestArtwork::progressBlocks_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("alpha");
    const int alphas[10] = {255, 230, 204, 179, 153, 128, 102, 77, 51, 26};
    for (int i = 0; i < 10; ++i)
        QTest::newRow(qPrintable(QStringLiteral("b%1").arg(i + 1))) << i + 1 << alphas[i];
}

void TestArtwork::progressBlocks()
{
    QFETCH(int, index);
    QFETCH(int, alpha);

    const QImage image = bundleImage(QStringLiteral("b%1.png").arg(index));
    QVERIFY(!image.isNull());
    const QRgb block = qRgba(13, 113, 250, alpha);
    // The bar's body carries the block colour at exactly its alpha; only
    // the rounded corners are fainter, and nothing is stronger.
    int exact = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            QVERIFY(qAlpha(pixel) <= alpha);
            if (qAlpha(pixel) > 0)
                QCOMPARE(pixel | 0xff000000u, qRgba(13, 113, 250, 255));
            if (pixel == block)
                ++exact;
        }
    }
    QCOMPARE(image.pixel(image.width() / 2, image.height() / 2), block);
    QCOMPARE(image.pixel(image.width() / 2, 0), block);
    QCOMPARE(image.pixel(0, image.height() / 2), block);
    QVERIFY2(exact >= image.width() * image.height() * 9 / 10, qPrintable(QString::number(exact)));
}

void TestArtwork::slides_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("text1") << "text1.png";
    QTest::newRow("text2") << "text2.png";
    QTest::newRow("text3") << "text3.png";
    QTest::newRow("text4") << "text4.png";
}

void TestArtwork::slides()
{
    QFETCH(QString, name);
    const QImage image = bundleImage(name);
    QVERIFY(!image.isNull());

    // White lettering on a transparent ground, filling the picture.
    int ink = 0, solid = 0;
    QRect inkBox;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (qAlpha(pixel) == 0)
                continue;
            QCOMPARE(pixel | 0xff000000u, 0xffffffffu);
            ++ink;
            if (qAlpha(pixel) == 255)
                ++solid;
            inkBox |= QRect(x, y, 1, 1);
        }
    }
    const int area = image.width() * image.height();
    QVERIFY2(ink > area / 10 && ink < area * 7 / 10, qPrintable(QString::number(ink)));
    // Strokes with an opaque core, not a faint smear.
    QVERIFY2(solid > 100, qPrintable(QString::number(solid)));
    QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(image.pixel(image.width() - 1, image.height() - 1)), 0);
    QVERIFY(inkBox.width() >= image.width() * 85 / 100
            || inkBox.height() >= image.height() * 85 / 100);
    // Centred: equal free space left and right within two pixels.
    QVERIFY(qAbs(inkBox.left() - (image.width() - 1 - inkBox.right())) <= 2);
}

void TestArtwork::checkIndicators()
{
    QCOMPARE(readAll(QStringLiteral(":/images/unchecked_hover.png")),
             readAll(QStringLiteral(":/images/unchecked.png")));

    const QImage checked = bundleImage(QStringLiteral("checked_normal.png"));
    const QImage checkedHover = bundleImage(QStringLiteral("checked_hover.png"));
    const QImage unchecked = bundleImage(QStringLiteral("unchecked.png"));
    int differing = 0;
    for (int y = 0; y < 37; ++y) {
        for (int x = 0; x < 37; ++x) {
            if (checked.pixel(x, y) != checkedHover.pixel(x, y))
                ++differing;
        }
    }
    QVERIFY2(differing > 100, qPrintable(QString::number(differing)));

    // Transparent ground around the box; a light grey face when unchecked,
    // a blue one when checked.
    for (const QImage &image : {checked, checkedHover, unchecked}) {
        QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
        QCOMPARE(qAlpha(image.pixel(36, 36)), 0);
    }
    const QRgb face = unchecked.pixel(18, 18);
    QCOMPARE(qAlpha(face), 255);
    QVERIFY(qRed(face) >= 220 && qAbs(qRed(face) - qBlue(face)) <= 12);
    const QRgb blue = checked.pixel(12, 12);
    QCOMPARE(qAlpha(blue), 255);
    QVERIFY(qBlue(blue) > qRed(blue) + 100);
}

void TestArtwork::closeButton()
{
    const QImage normal = bundleImage(QStringLiteral("close.png"));
    const QImage pressed = bundleImage(QStringLiteral("close_clicked.png"));
    for (const QImage &image : {normal, pressed}) {
        QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
        QCOMPARE(qAlpha(image.pixel(19, 19)), 0);
        // The cross runs through the centre and is light.
        const QRgb centre = image.pixel(10, 10);
        QVERIFY(qRed(centre) >= 240 && qGreen(centre) >= 240 && qBlue(centre) >= 240);
    }
    // Between the arms the normal look lets the background through.
    QCOMPARE(qAlpha(normal.pixel(10, 2)), 0);
    QVERIFY(qAlpha(normal.pixel(10, 10)) >= 128);
    QVERIFY(qAlpha(pressed.pixel(10, 10)) > qAlpha(normal.pixel(10, 10)));
}

void TestArtwork::buttonFace()
{
    const QImage image = bundleImage(QStringLiteral("button.png"));
    QCOMPARE(image.pixel(75, 22), qRgba(16, 117, 251, 255));
    QCOMPARE(image.pixel(75, 0), qRgba(16, 117, 251, 255));
    QCOMPARE(image.pixel(0, 22), qRgba(16, 117, 251, 255));
    for (const QPoint &corner : {QPoint(0, 0), QPoint(149, 0), QPoint(0, 43), QPoint(149, 43)})
        QVERIFY(qAlpha(image.pixel(corner)) < 255);
}

void TestArtwork::background()
{
    const QImage image = bundleImage(QStringLiteral("background.png"));
    QVERIFY(!image.isNull());

    // Rounded corners: transparent at the very corners of the panel.
    QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(image.pixel(650, 0)), 0);
    QCOMPARE(qAlpha(image.pixel(657, 0)), 0);
    // The panel (651 x 427) is opaque inside its rounded outline.
    for (int y = 8; y < 419; ++y) {
        for (int x = 8; x < 643; ++x) {
            if (qAlpha(image.pixel(x, y)) != 255)
                QFAIL(qPrintable(QStringLiteral("panel pixel %1,%2 not opaque").arg(x).arg(y)));
        }
    }
    QCOMPARE(qAlpha(image.pixel(325, 213)), 255);
    QCOMPARE(qAlpha(image.pixel(650, 213)), 255);
    QCOMPARE(qAlpha(image.pixel(325, 426)), 255);
    // Shadow: partly transparent right of and below the panel, fading out.
    for (const QPoint &near : {QPoint(651, 213), QPoint(325, 427)}) {
        const int a = qAlpha(image.pixel(near));
        QVERIFY2(a > 0 && a < 255, qPrintable(QString::number(a)));
    }
    QVERIFY(qAlpha(image.pixel(657, 213)) < qAlpha(image.pixel(652, 213)));
    QVERIFY(qAlpha(image.pixel(325, 434)) < qAlpha(image.pixel(325, 428)));
    QVERIFY(qAlpha(image.pixel(657, 434)) < 16);

    // Blue upper area, white band over the lowest 51 rows of the panel.
    for (int y = 20; y < 370; y += 25) {
        const QRgb pixel = image.pixel(325, y);
        QVERIFY2(qBlue(pixel) > qRed(pixel) + 80, qPrintable(QString::number(y)));
    }
    for (int y = 377; y < 420; ++y) {
        for (int x = 10; x < 640; x += 7) {
            const QRgb pixel = image.pixel(x, y);
            QVERIFY2(qRed(pixel) >= 245 && qGreen(pixel) >= 245 && qBlue(pixel) >= 245,
                     qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
        }
    }
    const QRgb aboveBand = image.pixel(325, 374);
    QVERIFY(qRed(aboveBand) < 200);
}

void TestArtwork::iconFile()
{
    const QString path = sourcePath(QStringLiteral("res/app.ico"));
    const QByteArray data = readAll(path);
    QVERIFY(data.size() > 6);
    QCOMPARE(u16le(data, 0), quint16(0));
    QCOMPARE(u16le(data, 2), quint16(1));
    const int count = u16le(data, 4);
    QCOMPARE(count, 20);
    QVERIFY(data.size() >= 6 + 16 * count);

    QSet<int> sizes;
    for (int i = 0; i < count; ++i) {
        const int entry = 6 + 16 * i;
        const int width = quint8(data[entry]) == 0 ? 256 : quint8(data[entry]);
        const int height = quint8(data[entry + 1]) == 0 ? 256 : quint8(data[entry + 1]);
        QCOMPARE(width, height);
        QVERIFY(width >= 16 && width <= 256);
        QCOMPARE(u16le(data, entry + 6), quint16(32));
        const quint32 length = u32le(data, entry + 8);
        const quint32 offset = u32le(data, entry + 12);
        QVERIFY(offset >= quint32(6 + 16 * count));
        QVERIFY(quint64(offset) + length <= quint64(data.size()));
        const QByteArray image = data.mid(int(offset), int(length));
        if (image.startsWith("\x89PNG")) {
            const QImage png = QImage::fromData(image, "PNG");
            QCOMPARE(png.size(), QSize(width, width));
            QVERIFY(png.hasAlphaChannel());
        } else {
            // 32-bit device independent bitmap, height doubled for the mask.
            QCOMPARE(u32le(image, 0), quint32(40));
            QCOMPARE(int(u32le(image, 4)), width);
            QCOMPARE(int(u32le(image, 8)), 2 * width);
            QCOMPARE(u16le(image, 14), quint16(32));
            const int maskStride = ((width + 31) / 32) * 4;
            QCOMPARE(int(length), 40 + width * width * 4 + maskStride * width);
        }
        sizes.insert(width);
    }
    QCOMPARE(sizes.size(), 20);
    QVERIFY(sizes.contains(16));
    QVERIFY(sizes.contains(256));

    // Qt's own reader decodes every image of it, too.
    if (QImageReader::supportedImageFormats().contains("ico")) {
        QImageReader reader(path, "ico");
        QCOMPARE(reader.imageCount(), 20);
        QSet<int> decoded;
        for (int i = 0; i < reader.imageCount(); ++i) {
            QVERIFY(reader.jumpToImage(i));
            const QImage image = reader.read();
            QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
            decoded.insert(image.width());
            // Opaque in the middle: the icon tile fills its centre.
            QCOMPARE(
                    qAlpha(image.pixel(image.width() / 2, image.height() - 2 - image.height() / 4)),
                    255);
        }
        QCOMPARE(decoded, sizes);
    }
}

void TestArtwork::manifest()
{
    // The manifest the build generates from res/MirevaleSetup.manifest.in.
    QFile file(QStringLiteral(MIREVALE_GENERATED_DIR "/MirevaleSetup.manifest"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    bool level = false, commonControls = false, own = false;
    QString dpiAware, dpiAwareness;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        const QXmlStreamAttributes attributes = xml.attributes();
        // Per-monitor DPI awareness: Windows does not stretch the window.
        if (xml.name() == QLatin1String("dpiAware"))
            dpiAware = xml.readElementText();
        if (xml.name() == QLatin1String("dpiAwareness"))
            dpiAwareness = xml.readElementText();
        if (xml.name() == QLatin1String("requestedExecutionLevel")) {
            QCOMPARE(attributes.value(QLatin1String("level")).toString(),
                     QStringLiteral("requireAdministrator"));
            QCOMPARE(attributes.value(QLatin1String("uiAccess")).toString(),
                     QStringLiteral("false"));
            level = true;
        }
        if (xml.name() == QLatin1String("assemblyIdentity")
            && attributes.value(QLatin1String("name"))
                    == QLatin1String("Microsoft.Windows.Common-Controls")) {
            QCOMPARE(attributes.value(QLatin1String("version")).toString(),
                     QStringLiteral("6.0.0.0"));
            commonControls = true;
        }
        if (xml.name() == QLatin1String("assemblyIdentity")
            && attributes.value(QLatin1String("name"))
                    == QLatin1String("Kestrelvane.Mirevale.Setup")) {
            QCOMPARE(attributes.value(QLatin1String("version")).toString(),
                     QStringLiteral(MIREVALE_VERSION_DOTTED));
            QCOMPARE(QStringLiteral(MIREVALE_VERSION_DOTTED), QStringLiteral("3.0.0.0"));
            own = true;
        }
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QCOMPARE(dpiAware, QStringLiteral("true/pm"));
    QCOMPARE(dpiAwareness, QStringLiteral("PerMonitorV2,PerMonitor"));
    QVERIFY(level);
    QVERIFY(commonControls);
    QVERIFY(own);

    // The resource script names the icon group 101 and the manifest as
    // resource 1 of type 24 (found through the generated folder).
    const QString script
            = QString::fromUtf8(readAll(sourcePath(QStringLiteral("res/MirevaleSetup.rc"))));
    QVERIFY(script.contains(QRegularExpression(QStringLiteral("^101\\s+ICON\\s+\"app\\.ico\"\\s*$"),
                                               QRegularExpression::MultilineOption)));
    QVERIFY(script.contains(
            QRegularExpression(QStringLiteral("^1\\s+24\\s+\"MirevaleSetup\\.manifest\"\\s*$"),
                               QRegularExpression::MultilineOption)));
}

QTEST_MAIN(TestArtwork)
#include "tst_artwork.moc"
