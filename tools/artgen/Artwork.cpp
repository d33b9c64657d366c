#include "Artwork.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QVector>
#include <QtMath>

#include <algorithm>
#include <cmath>

namespace {

const QColor kWhite(255, 255, 255);

int g_scale = 1; // pixels per design pixel

// An image of width by height design pixels: g_scale times as many pixels,
// painted in design pixels (its device pixel ratio makes QPainter scale).
QImage blankImage(int width, int height)
{
    QImage image(width * g_scale, height * g_scale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(g_scale);
    image.fill(Qt::transparent);
    return image;
}

// Signed distance from p to a rectangle with rounded corners (negative inside).
qreal roundedRectDistance(const QPointF &p, const QRectF &rect, qreal radius)
{
    const QPointF centre = rect.center();
    const qreal qx = std::abs(p.x() - centre.x()) - (rect.width() / 2 - radius);
    const qreal qy = std::abs(p.y() - centre.y()) - (rect.height() / 2 - radius);
    const qreal outside = std::hypot(std::max(qx, 0.0), std::max(qy, 0.0));
    return outside + std::min(std::max(qx, qy), 0.0) - radius;
}

// One line of lettering as an outline, baseline at y = 0, left at x = 0.
QPainterPath textPath(const QString &family, const QString &text, qreal pixelSize)
{
    QFont font(family);
    font.setPixelSize(qRound(pixelSize));
    font.setStyleStrategy(QFont::PreferAntialias);
    QPainterPath path;
    path.addText(0, 0, font, text);
    return path;
}

// Fills the outline; a stroke of the same colour makes the single-weight
// font look bold where wanted.
void paintLettering(QPainter &p, const QPainterPath &path, const QColor &color, qreal boldPen)
{
    p.setBrush(color);
    if (boldPen > 0) {
        QPen pen(color, boldPen);
        pen.setJoinStyle(Qt::RoundJoin);
        p.setPen(pen);
    } else {
        p.setPen(Qt::NoPen);
    }
    p.drawPath(path);
}

// The logo mark: an open book with a spark rising above it, drawn in a
// 100 x 100 design space mapped onto target.
void paintLogoMark(QPainter &p, const QRectF &target, const QColor &color)
{
    p.save();
    p.translate(target.topLeft());
    p.scale(target.width() / 100.0, target.height() / 100.0);
    p.setPen(Qt::NoPen);
    p.setBrush(color);

    QPainterPath left;
    left.moveTo(47, 82);
    left.cubicTo(37, 74, 26, 71, 13, 72);
    left.lineTo(13, 42);
    left.cubicTo(26, 41, 38, 44, 47, 52);
    left.closeSubpath();
    QPainterPath right;
    right.moveTo(53, 82);
    right.cubicTo(63, 74, 74, 71, 87, 72);
    right.lineTo(87, 42);
    right.cubicTo(74, 41, 62, 44, 53, 52);
    right.closeSubpath();
    p.drawPath(left);
    p.drawPath(right);

    // Four-pointed spark above the spine.
    QPainterPath spark;
    const QPointF c(50, 25);
    const qreal r = 17, w = 4.2;
    spark.moveTo(c.x(), c.y() - r);
    spark.quadTo(c.x() + w, c.y() - w, c.x() + r, c.y());
    spark.quadTo(c.x() + w, c.y() + w, c.x(), c.y() + r);
    spark.quadTo(c.x() - w, c.y() + w, c.x() - r, c.y());
    spark.quadTo(c.x() - w, c.y() - w, c.x(), c.y() - r);
    p.drawPath(spark);
    p.restore();
}

void paintGlobe(QPainter &p, const QPointF &c, qreal r)
{
    p.save();
    // Soft glow behind the sphere.
    QRadialGradient glow(c, r * 1.35);
    glow.setColorAt(0.0, QColor(255, 255, 255, 34));
    glow.setColorAt(0.7, QColor(255, 255, 255, 12));
    glow.setColorAt(1.0, QColor(255, 255, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawEllipse(c, r * 1.35, r * 1.35);

    QRadialGradient body(c + QPointF(-r * 0.35, -r * 0.4), r * 1.3);
    body.setColorAt(0.0, QColor(255, 255, 255, 30));
    body.setColorAt(1.0, QColor(255, 255, 255, 6));
    p.setBrush(body);
    p.drawEllipse(c, r, r);

    p.setBrush(Qt::NoBrush);
    const qreal tilt = 0.28; // apparent height of a parallel against its width
    // Parallels: the far half of each ring fainter than the near half.
    for (int deg = -60; deg <= 60; deg += 30) {
        const qreal phi = qDegreesToRadians(qreal(deg));
        const qreal rx = r * std::cos(phi);
        const qreal ry = rx * tilt;
        const QRectF ring(c.x() - rx, c.y() - r * std::sin(phi) * std::sqrt(1 - tilt * tilt) - ry,
                          2 * rx, 2 * ry);
        p.setPen(QPen(QColor(255, 255, 255, 22), 1.0));
        p.drawArc(ring, 0, 180 * 16);
        p.setPen(QPen(QColor(255, 255, 255, 48), 1.2));
        p.drawArc(ring, 180 * 16, 180 * 16);
    }
    // Meridians.
    for (int deg = 15; deg < 180; deg += 30) {
        const qreal rx = r * std::abs(std::cos(qDegreesToRadians(qreal(deg))));
        p.setPen(QPen(QColor(255, 255, 255, 40), 1.1));
        p.drawEllipse(c, rx, r);
    }
    p.setPen(QPen(QColor(255, 255, 255, 70), 1.4));
    p.drawEllipse(c, r, r);

    // A few linked points: knowledge travelling around the world.
    const QVector<QPointF> towns
            = {c + QPointF(-0.55 * r, -0.35 * r), c + QPointF(0.1 * r, -0.62 * r),
               c + QPointF(0.5 * r, -0.1 * r), c + QPointF(-0.15 * r, 0.3 * r),
               c + QPointF(0.35 * r, 0.55 * r)};
    QPen arcPen(QColor(255, 255, 255, 95), 1.2);
    arcPen.setCapStyle(Qt::RoundCap);
    p.setPen(arcPen);
    for (int i = 0; i + 1 < towns.size(); ++i) {
        const QPointF a = towns.at(i), b = towns.at(i + 1);
        const QPointF mid
                = (a + b) / 2 + QPointF(0, -0.22 * std::hypot(b.x() - a.x(), b.y() - a.y()));
        QPainterPath arc;
        arc.moveTo(a);
        arc.quadTo(mid, b);
        p.drawPath(arc);
    }
    p.setPen(Qt::NoPen);
    for (const QPointF &t : towns) {
        p.setBrush(QColor(255, 255, 255, 60));
        p.drawEllipse(t, 5, 5);
        p.setBrush(QColor(255, 255, 255, 210));
        p.drawEllipse(t, 2.2, 2.2);
    }

    // Orbit ring with a small satellite.
    p.translate(c);
    p.rotate(-18);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 255, 255, 55), 1.2));
    const QRectF orbit(-r * 1.28, -r * 0.34, 2 * r * 1.28, 2 * r * 0.34);
    p.drawArc(orbit, 200 * 16, 160 * 16);
    p.setPen(QPen(QColor(255, 255, 255, 25), 1.0));
    p.drawArc(orbit, 20 * 16, 160 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 200));
    const qreal sat = qDegreesToRadians(qreal(250));
    p.drawEllipse(QPointF(r * 1.28 * std::cos(sat), -r * 0.34 * std::sin(sat)), 3, 3);
    p.restore();
}

} // namespace

void setArtworkScale(int scale)
{
    g_scale = scale;
}

QImage drawBackground(const QString &fontFamily)
{
    const int width = 658, height = 435;
    const QRectF panel(0, 0, 651, 427);
    const qreal radius = 8;
    const int bandTop = 427 - 51;

    QImage image = blankImage(width, height);

    // Drop shadow, fading out over the 7 to 8 pixels right of and below the
    // panel. Its source is inset so that it does not show at the top left.
    const QRectF shadowSource(6, 6, panel.width() - 6, panel.height() - 6);
    const qreal spread = 8.0;
    for (int y = 0; y < image.height(); ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QPointF at((x + 0.5) / g_scale, (y + 0.5) / g_scale);
            const qreal d = roundedRectDistance(at, shadowSource, radius);
            const qreal t = 1.0 - std::min(std::max(d / spread, 0.0), 1.0);
            const int alpha = qRound(70 * t * t);
            line[x] = qPremultiply(qRgba(18, 38, 72, alpha));
        }
    }

    // The panel, drawn apart and cut to its rounded outline.
    QImage content = blankImage(int(panel.width()), int(panel.height()));
    {
        QPainter p(&content);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);

        // Deeper blue at the top, lighter towards the middle and bottom so
        // that the darker progress blocks stand out against it.
        QLinearGradient sky(0, 0, 0, bandTop);
        sky.setColorAt(0.0, QColor(20, 112, 242));
        sky.setColorAt(1.0, QColor(76, 162, 255));
        p.fillRect(QRectF(0, 0, panel.width(), bandTop), sky);

        QRadialGradient light(QPointF(90, -60), 480);
        light.setColorAt(0.0, QColor(255, 255, 255, 40));
        light.setColorAt(1.0, QColor(255, 255, 255, 0));
        p.fillRect(QRectF(0, 0, panel.width(), bandTop), light);

        // A soft lighter field behind the progress row and the slides.
        QRadialGradient field(QPointF(340, 290), 260);
        field.setColorAt(0.0, QColor(255, 255, 255, 34));
        field.setColorAt(1.0, QColor(255, 255, 255, 0));
        p.fillRect(QRectF(0, 0, panel.width(), bandTop), field);

        // Large faint glows give the blue some depth.
        for (const QPointF &centre : {QPointF(-30, 300), QPointF(250, -140)}) {
            QRadialGradient glow(centre, 190);
            glow.setColorAt(0.0, QColor(255, 255, 255, 22));
            glow.setColorAt(1.0, QColor(255, 255, 255, 0));
            p.fillRect(QRectF(0, 0, panel.width(), bandTop), glow);
        }

        paintGlobe(p, QPointF(548, 152), 124);

        // Two soft waves along the bottom of the blue area.
        QPainterPath wave1;
        wave1.moveTo(0, 352);
        wave1.cubicTo(150, 318, 300, 380, 651, 330);
        wave1.lineTo(651, bandTop);
        wave1.lineTo(0, bandTop);
        wave1.closeSubpath();
        p.setBrush(QColor(255, 255, 255, 14));
        p.drawPath(wave1);
        QPainterPath wave2;
        wave2.moveTo(0, 366);
        wave2.cubicTo(220, 340, 380, 384, 651, 352);
        wave2.lineTo(651, bandTop);
        wave2.lineTo(0, bandTop);
        wave2.closeSubpath();
        p.setBrush(QColor(255, 255, 255, 18));
        p.drawPath(wave2);

        // Logo tile and title in the top left corner.
        const QRectF tile(26, 24, 46, 46);
        p.setBrush(QColor(0, 40, 110, 40));
        p.drawRoundedRect(tile.translated(0, 2), 11, 11);
        p.setBrush(kWhite);
        p.drawRoundedRect(tile, 11, 11);
        paintLogoMark(p, tile.adjusted(7, 7, -7, -7),
                      QColor(kButtonRed, kButtonGreen, kButtonBlue));

        QPainterPath title = textPath(fontFamily, QStringLiteral("Tarvo高效学习法"), 26);
        const QRectF titleBox = title.boundingRect();
        p.save();
        p.translate(86 - titleBox.left(), 30 - titleBox.top());
        paintLettering(p, title, kWhite, 0.7);
        p.restore();

        QPainterPath subtitle
                = textPath(fontFamily, QStringLiteral("MIREVALE  ·  高效学习  轻松掌握"), 12);
        const QRectF subBox = subtitle.boundingRect();
        p.save();
        p.translate(87 - subBox.left(), 58 - subBox.top());
        paintLettering(p, subtitle, QColor(255, 255, 255, 190), 0);
        p.restore();

        // White band along the bottom with a hairline on top.
        p.fillRect(QRectF(0, bandTop, panel.width(), panel.height() - bandTop), kWhite);
        p.fillRect(QRectF(0, bandTop, panel.width(), 1), QColor(214, 226, 243));
    }
    {
        QImage mask = blankImage(int(panel.width()), int(panel.height()));
        QPainter m(&mask);
        m.setRenderHint(QPainter::Antialiasing);
        m.setPen(Qt::NoPen);
        m.setBrush(kWhite);
        m.drawRoundedRect(panel, radius, radius);
        m.end();
        QPainter p(&content);
        p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        p.drawImage(0, 0, mask);
    }
    QPainter p(&image);
    p.drawImage(0, 0, content);
    p.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

QImage drawAppIcon(int size)
{
    QImage image = blankImage(size, size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    const qreal s = size;
    // Small icons use the whole square; large ones keep a margin as Windows
    // and desktop icon themes do.
    const qreal margin = size >= 48 ? s * 0.06 : 0;
    const QRectF tile(margin, margin, s - 2 * margin, s - 2 * margin);
    const qreal corner = tile.width() * 0.22;

    if (size >= 48) {
        p.setBrush(QColor(0, 30, 80, 50));
        p.drawRoundedRect(tile.translated(0, s * 0.02), corner, corner);
    }
    QLinearGradient fill(tile.topLeft(), tile.bottomRight());
    fill.setColorAt(0.0, QColor(52, 160, 255));
    fill.setColorAt(1.0, QColor(10, 92, 230));
    p.setBrush(fill);
    p.drawRoundedRect(tile, corner, corner);

    QLinearGradient gloss(tile.topLeft(), QPointF(tile.left(), tile.center().y()));
    gloss.setColorAt(0.0, QColor(255, 255, 255, 60));
    gloss.setColorAt(1.0, QColor(255, 255, 255, 0));
    p.setBrush(gloss);
    p.drawRoundedRect(tile, corner, corner);

    const qreal inset = tile.width() * 0.14;
    paintLogoMark(p, tile.adjusted(inset, inset, -inset, -inset), kWhite);
    p.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

QImage drawCloseButton(bool pressed)
{
    QImage image = blankImage(20, 20);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    if (pressed) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 46));
        p.drawEllipse(QRectF(0.5, 0.5, 19, 19));
    }
    QPen pen(pressed ? QColor(255, 255, 255, 255) : QColor(255, 255, 255, 185),
             pressed ? 2.2 : 1.6);
    pen.setCapStyle(Qt::RoundCap);
    p.setPen(pen);
    p.drawLine(QPointF(5.5, 5.5), QPointF(14.5, 14.5));
    p.drawLine(QPointF(14.5, 5.5), QPointF(5.5, 14.5));
    p.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

QImage drawButtonFace()
{
    QImage image = blankImage(150, 44);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(kButtonRed, kButtonGreen, kButtonBlue));
    p.drawRoundedRect(QRectF(0, 0, 150, 44), 6, 6);
    p.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

QImage drawCheckIndicator(bool checked, bool hover)
{
    QImage image = blankImage(37, 37);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF box(8.5, 8.5, 20, 20);
    if (!checked) {
        p.setPen(QPen(QColor(190, 197, 207), 1.5));
        p.setBrush(QColor(243, 245, 248));
        p.drawRoundedRect(box.adjusted(0.75, 0.75, -0.75, -0.75), 3, 3);
    } else {
        p.setPen(Qt::NoPen);
        if (hover) {
            // A halo and a lighter face while the pointer rests on it.
            p.setBrush(QColor(kButtonRed, kButtonGreen, kButtonBlue, 55));
            p.drawRoundedRect(box.adjusted(-3, -3, 3, 3), 6, 6);
            p.setBrush(QColor(62, 148, 255));
        } else {
            p.setBrush(QColor(kButtonRed, kButtonGreen, kButtonBlue));
        }
        p.drawRoundedRect(box, 3, 3);
        QPen tick(kWhite, 2.6);
        tick.setCapStyle(Qt::RoundCap);
        tick.setJoinStyle(Qt::RoundJoin);
        p.setPen(tick);
        p.setBrush(Qt::NoBrush);
        QPainterPath mark;
        mark.moveTo(box.left() + 5, box.top() + 10.5);
        mark.lineTo(box.left() + 8.6, box.top() + 14);
        mark.lineTo(box.left() + 15.2, box.top() + 6.5);
        p.drawPath(mark);
    }
    p.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

QImage drawProgressBlock(int width, int alpha)
{
    // Coverage of the rounded bar first, then the colour set per pixel, so
    // that every fully covered pixel carries the block colour and alpha
    // exactly (no premultiplication round trip).
    const int height = 43;
    QImage coverage = blankImage(width, height);
    QPainter p(&coverage);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(kWhite);
    p.drawRoundedRect(QRectF(0, 0, width, height), 2.5, 2.5);
    p.end();

    QImage image(coverage.size(), QImage::Format_ARGB32);
    image.setDevicePixelRatio(g_scale);
    for (int y = 0; y < image.height(); ++y) {
        const QRgb *in = reinterpret_cast<const QRgb *>(coverage.constScanLine(y));
        QRgb *out = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int a = (qAlpha(in[x]) * alpha + 127) / 255;
            out[x] = qRgba(kBlockRed, kBlockGreen, kBlockBlue, a);
        }
    }
    return image;
}

QImage drawSlide(int index, const QString &fontFamily)
{
    struct Line
    {
        QString text;
        qreal scale; // relative letter size
        bool bold;
        int alpha;
    };
    struct Slide
    {
        int width, height;
        QVector<Line> lines;
    };
    const QVector<Slide> slides = {
            {210, 37, {{QStringLiteral("高效学习，从Tarvo开始"), 1.0, true, 255}}},
            {328,
             85,
             {{QStringLiteral("科学记忆  方法先行"), 1.0, true, 255},
              {QStringLiteral("让每一分钟的学习都有收获"), 0.62, false, 255}}},
            {354,
             108,
             {{QStringLiteral("专注 · 理解 · 记忆"), 1.0, true, 255},
              {QStringLiteral("Tarvo高效学习法，找到属于你的学习节奏"), 0.5, false, 240}}},
            {442,
             108,
             {{QStringLiteral("学得轻松  考得从容"), 1.0, true, 255},
              {QStringLiteral("Tarvo陪你把每一次努力，都变成看得见的进步"), 0.5, false, 240}}},
    };
    const Slide &slide = slides.at(index);

    // Lay the lines out at a nominal size, then scale the whole block to fit.
    const qreal nominal = 100;
    QVector<QPainterPath> paths;
    QVector<qreal> pens;
    QVector<QRectF> boxes;
    qreal blockWidth = 0, blockHeight = 0;
    for (const Line &line : slide.lines) {
        const qreal size = nominal * line.scale;
        const QPainterPath path = textPath(fontFamily, line.text, size);
        const qreal pen = line.bold ? size * 0.035 : 0;
        const QRectF box = path.boundingRect().adjusted(-pen / 2, -pen / 2, pen / 2, pen / 2);
        if (!boxes.isEmpty())
            blockHeight += nominal * 0.3 * line.scale;
        paths.append(path);
        pens.append(pen);
        boxes.append(box);
        blockWidth = std::max(blockWidth, box.width());
        blockHeight += box.height();
    }
    const qreal marginX = 4, marginY = 3;
    const qreal k = std::min((slide.width - 2 * marginX) / blockWidth,
                             (slide.height - 2 * marginY) / blockHeight);

    QImage image = blankImage(slide.width, slide.height);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    qreal top = (slide.height - blockHeight * k) / 2;
    for (int i = 0; i < paths.size(); ++i) {
        const QRectF &box = boxes.at(i);
        if (i > 0)
            top += nominal * 0.3 * slide.lines.at(i).scale * k;
        p.save();
        p.translate((slide.width - box.width() * k) / 2, top);
        p.scale(k, k);
        p.translate(-box.left(), -box.top());
        paintLettering(p, paths.at(i), QColor(255, 255, 255, slide.lines.at(i).alpha), pens.at(i));
        p.restore();
        top += box.height() * k;
    }
    p.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}
