#include "CImageMgr.h"

CImageMgr *CImageMgr::s_instance = nullptr;

CImageMgr::CImageMgr() : QObject(nullptr), m_prefix(QStringLiteral(":/images/")) { }

CImageMgr *CImageMgr::instance()
{
    if (!s_instance)
        s_instance = new CImageMgr;
    return s_instance;
}

QPixmap *CImageMgr::getPixmap(const QString &name)
{
    const QString path = m_prefix + name;
    auto it = m_pixmaps.constFind(name);
    if (it != m_pixmaps.constEnd())
        return it.value();
    auto *pixmap = new QPixmap(path);
    m_pixmaps.insert(name, pixmap);
    return pixmap;
}

QPixmap *CImageMgr::getPixmap(const QString &name, const QSize &size)
{
    const QString path = m_prefix + name;
    auto it = m_pixmaps.constFind(name);
    if (it != m_pixmaps.constEnd())
        return it.value();
    auto *pixmap = new QPixmap(path);
    *pixmap = pixmap->scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    m_pixmaps.insert(name, pixmap);
    return pixmap;
}
