#pragma once

#include <QMap>
#include <QObject>
#include <QPixmap>
#include <QSize>
#include <QString>

// Process-wide cache of the bundle's images. Each name is loaded once, on its
// first request, and kept until the process ends; callers borrow the pointers.
// On a display scaled above 100 % an image is read from its twice-as-large
// variant (name@2x.png) where the bundle has one: the pixmap then has the
// device pixel ratio 2 and the same size in logical pixels (logicalSize).
class CImageMgr : public QObject
{
    Q_OBJECT

public:
    static CImageMgr *instance();

    QPixmap *getPixmap(const QString &name);
    QPixmap *getPixmap(const QString &name, const QSize &size);

    // Starts decoding the image on a worker thread, so that the first
    // getPixmap for it finds the work done. Changes nothing else: the first
    // request still decides the size. A name already cached is left alone.
    void prefetch(const QString &name);

    // The size a pixmap covers on screen, in logical pixels.
    static QSize logicalSize(const QPixmap &pixmap);

private:
    struct PendingDecode; // a decode under way on a worker thread

    CImageMgr();
    QPixmap *load(const QString &name);
    // The bundle path to read name from, and the ratio its pixels have.
    QString sourcePath(const QString &name, qreal *ratio) const;

    QString m_prefix;
    QMap<QString, QPixmap *> m_pixmaps;
    QMap<QString, PendingDecode *> m_pending;

    static CImageMgr *s_instance;
};
