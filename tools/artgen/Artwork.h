#ifndef ARTWORK_H
#define ARTWORK_H

#include <QImage>
#include <QString>

// The installer's artwork, drawn with QPainter. Every function returns a
// QImage::Format_ARGB32 image at the exact size the installer expects.
// fontFamily is a family with Chinese coverage, registered by the caller.

// Blue brand colours: the Install button face and the progress blocks.
constexpr int kButtonRed = 16, kButtonGreen = 117, kButtonBlue = 251;
constexpr int kBlockRed = 13, kBlockGreen = 113, kBlockBlue = 250;

// Draws every later image at scale times its size (1, or 2 for the "@2x"
// variants of high-density displays), the same picture in finer pixels.
void setArtworkScale(int scale);

QImage drawBackground(const QString &fontFamily);
QImage drawAppIcon(int size);
QImage drawCloseButton(bool pressed);
QImage drawButtonFace();
QImage drawCheckIndicator(bool checked, bool hover);
QImage drawProgressBlock(int width, int alpha);
// index 0 to 3: the four slogan slides shown while installing.
QImage drawSlide(int index, const QString &fontFamily);

#endif // ARTWORK_H
