// artgen: draws the installer's artwork.
//
//   artgen [folder] [--ico file] [--preview file]
//
// writes the 23 PNG images of the resource bundle and their "@2x" variants
// (twice the size) into folder (res/images by default) and the Windows file icon to file
// (folder/../app.ico by default).

#include "Artwork.h"
#include "IconFile.h"
#include "Product.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QPainter>
#include <QStringList>

#include <cstdio>

namespace {

const char kFontFile[] = "/usr/share/fonts/truetype/droid/DroidSansFallbackFull.ttf";

bool savePng(const QImage &image, const QString &folder, const QString &name)
{
    // Format_ARGB32 makes Qt write colour type 6 (RGBA) even when every
    // pixel is opaque.
    const QString path = folder + QLatin1Char('/') + name;
    if (!image.convertToFormat(QImage::Format_ARGB32).save(path, "PNG")) {
        std::fprintf(stderr, "artgen: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

// A mock-up of the installer window while installing, one quarter per
// slide, painted from the files just written: for checking the artwork by eye.
QImage drawPreview(const QString &folder, const QString &family)
{
    auto load = [&folder](const QString &name) { return QImage(folder + QLatin1Char('/') + name); };
    const QImage background
            = load(QStringLiteral("background.png"))
                      .scaled(660, 430, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QImage preview(1320, 860, QImage::Format_ARGB32_Premultiplied);
    preview.fill(QColor(96, 96, 96));
    QPainter p(&preview);
    p.setRenderHint(QPainter::Antialiasing);
    QFont small(family);
    small.setPointSize(8);
    QFont large(family);
    large.setPointSize(17);
    for (int slide = 0; slide < 4; ++slide) {
        p.save();
        p.translate(660 * (slide % 2), 430 * (slide / 2));
        p.drawImage(0, 0, background);
        const QImage text = load(QStringLiteral("text%1.png").arg(slide + 1));
        p.drawImage((660 - text.width()) / 2, 430 / 4, text);
        for (int i = 1; i <= 4 + 2 * slide; ++i)
            p.drawImage(220 + 25 * i, 286, load(QStringLiteral("b%1.png").arg(i)));
        p.drawImage(625, 10,
                    load(slide == 3 ? QStringLiteral("close_clicked.png")
                                    : QStringLiteral("close.png")));
        p.drawImage(QRect(252, 376, 155, 43), load(QStringLiteral("button.png")));
        p.setFont(large);
        p.setPen(Qt::white);
        p.drawText(QRect(252, 376, 155, 43), Qt::AlignCenter, QStringLiteral("正在安装"));
        const QString boxImage = slide == 0 ? QStringLiteral("unchecked.png")
                : slide == 1                ? QStringLiteral("checked_normal.png")
                                            : QStringLiteral("checked_hover.png");
        p.drawImage(QRect(30, 381, 30, 30), load(boxImage));
        p.setFont(small);
        p.setPen(QColor(100, 100, 100));
        p.drawText(QRect(60, 381, 200, 30), Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("已经阅读并同意安装"));
        p.setPen(QColor(86, 118, 170));
        p.drawText(QRect(178, 381, 70, 30), Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("安装协议"));
        p.setPen(Qt::white);
        p.drawText(QRect(330, 332, 300, 16), Qt::AlignRight | Qt::AlignVCenter,
                   QStringLiteral("Copyright © " MIREVALE_COPYRIGHT_YEAR " " MIREVALE_PUBLISHER
                                  ". All rights reserved."));
        p.restore();
    }
    p.end();
    return preview;
}

bool copyFile(const QString &folder, const QString &from, const QString &to)
{
    const QString target = folder + QLatin1Char('/') + to;
    QFile::remove(target);
    if (!QFile::copy(folder + QLatin1Char('/') + from, target)) {
        std::fprintf(stderr, "artgen: cannot write %s\n", qPrintable(target));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Draws the installer's artwork."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("folder"),
                                 QStringLiteral("Folder for the PNG images (default res/images)."));
    const QCommandLineOption icoOption(
            QStringLiteral("ico"),
            QStringLiteral("Windows icon file to write (default <folder>/../app.ico)."),
            QStringLiteral("file"));
    parser.addOption(icoOption);
    const QCommandLineOption previewOption(
            QStringLiteral("preview"),
            QStringLiteral("Also write a mock-up of the window to file."), QStringLiteral("file"));
    parser.addOption(previewOption);
    parser.process(app);

    const QStringList args = parser.positionalArguments();
    const QString folder = args.isEmpty() ? QStringLiteral("res/images") : args.first();
    const QString icoPath = parser.isSet(icoOption) ? parser.value(icoOption)
                                                    : folder + QStringLiteral("/../app.ico");
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "artgen: cannot create %s\n", qPrintable(folder));
        return 1;
    }

    const int fontId = QFontDatabase::addApplicationFont(QString::fromLatin1(kFontFile));
    const QStringList families = QFontDatabase::applicationFontFamilies(fontId);
    if (families.isEmpty()) {
        std::fprintf(stderr, "artgen: cannot load the font %s\n", kFontFile);
        return 1;
    }
    const QString family = families.first();

    // Every image twice: at its size, and at twice its size as "name@2x.png"
    // (Qt's convention) for displays scaled above 100 %.
    bool ok = true;
    for (int scale = 1; ok && scale <= 2; ++scale) {
        setArtworkScale(scale);
        const QString suffix = scale == 1 ? QStringLiteral(".png") : QStringLiteral("@2x.png");
        auto save = [&](const QImage &image, const QString &base) {
            return savePng(image, folder, base + suffix);
        };
        ok = save(drawBackground(family), QStringLiteral("background"))
                && save(drawAppIcon(128), QStringLiteral("app_icon"))
                && save(drawCloseButton(false), QStringLiteral("close"))
                && save(drawCloseButton(true), QStringLiteral("close_clicked"))
                && save(drawButtonFace(), QStringLiteral("button"))
                && save(drawCheckIndicator(true, false), QStringLiteral("checked_normal"))
                && save(drawCheckIndicator(true, true), QStringLiteral("checked_hover"))
                && save(drawCheckIndicator(false, false), QStringLiteral("unchecked"))
                // The unchecked box does not react to the pointer: same file.
                && copyFile(folder, QStringLiteral("unchecked") + suffix,
                            QStringLiteral("unchecked_hover") + suffix);

        // Progress blocks: one blue bar at falling opacity; the middle six are
        // a pixel wider so that the row keeps its 25-pixel pitch evenly.
        const int alphas[10] = {255, 230, 204, 179, 153, 128, 102, 77, 51, 26};
        for (int i = 0; ok && i < 10; ++i) {
            const int width = (i >= 2 && i <= 7) ? 21 : 20;
            ok = save(drawProgressBlock(width, alphas[i]), QStringLiteral("b%1").arg(i + 1));
        }
        for (int i = 0; ok && i < 4; ++i)
            ok = save(drawSlide(i, family), QStringLiteral("text%1").arg(i + 1));
    }
    setArtworkScale(1);
    if (!ok)
        return 1;

    QList<QImage> icons;
    for (int size :
         {16, 20, 22, 24, 28, 30, 32, 36, 40, 44, 48, 56, 60, 64, 72, 80, 96, 128, 192, 256})
        icons.append(drawAppIcon(size));
    if (!writeIconFile(icoPath, icons)) {
        std::fprintf(stderr, "artgen: cannot write %s\n", qPrintable(icoPath));
        return 1;
    }
    if (parser.isSet(previewOption)
        && !drawPreview(folder, family).save(parser.value(previewOption))) {
        std::fprintf(stderr, "artgen: cannot write %s\n", qPrintable(parser.value(previewOption)));
        return 1;
    }
    return 0;
}
