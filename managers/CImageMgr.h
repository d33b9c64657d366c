#pragma once

#include <QImage>
#include <QMap>
#include <QObject>
#include <QPixmap>
#include <QSize>
#include <QString>

#include <future>

// Process-wide cache of the bundle's images. Each name is loaded once, on its
// first request, and kept until the process ends; callers borrow the pointers.
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

private:
    CImageMgr();
    QPixmap *load(const QString &name);

    QString m_prefix;
    QMap<QString, QPixmap *> m_pixmaps;
    QMap<QString, std::shared_future<QImage>> m_pending; // decodes under way

    static CImageMgr *s_instance;
};
