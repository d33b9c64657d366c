#ifndef ICONFILE_H
#define ICONFILE_H

#include <QImage>
#include <QList>
#include <QString>

// Writes a Windows icon file (.ico) holding the given images, each at most
// 256 pixels square. Images below 64 pixels are stored as 32-bit device
// independent bitmaps with an AND mask, larger ones as PNG.
bool writeIconFile(const QString &path, const QList<QImage> &images);

#endif // ICONFILE_H
