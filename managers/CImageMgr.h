#pragma once

#include <QMap>
#include <QObject>
#include <QPixmap>
#include <QSize>
#include <QString>
#include <QVector>

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

    // One image for prefetch(): its name and the logical size its first
    // request will ask for (none for an unsized request).
    struct Prefetch
    {
        QString name;
        QSize size;
    };

    // Starts decoding the images, in order, on one worker thread, so that
    // the first getPixmap for each finds the work done, scaling included.
    // Changes nothing else: the first request still decides the size (a
    // decode made for another size is not used). Names already cached or
    // under way are left alone.
    void prefetch(const QVector<Prefetch> &images);

    // The size a pixmap covers on screen, in logical pixels.
    static QSize logicalSize(const QPixmap &pixmap);

private:
    struct PendingDecode; // a decode under way on a worker thread

    CImageMgr();
    QPixmap *load(const QString &name, const QSize &size = QSize());
    // The bundle path to read name from, and the ratio its pixels have.
    QString sourcePath(const QString &name, qreal *ratio) const;

    QString m_prefix;
    QMap<QString, QPixmap *> m_pixmaps;
    QMap<QString, PendingDecode *> m_pending;

    static CImageMgr *s_instance;
};
