#pragma once

#include <QMap>
#include <QObject>
#include <QPixmap>
#include <QSize>
#include <QString>

// Process-wide cache of the bundle's images. Each name is loaded once, on its
// first request, and kept until the process ends; callers borrow the pointers.
class CImageMgr : public QObject
{
    Q_OBJECT

public:
    static CImageMgr *instance();

    QPixmap *getPixmap(const QString &name);
    QPixmap *getPixmap(const QString &name, const QSize &size);

private:
    CImageMgr();

    QString m_prefix;
    QMap<QString, QPixmap *> m_pixmaps;

    static CImageMgr *s_instance;
};
