#include "CImageMgr.h"

CImageMgr *CImageMgr::s_instance = nullptr;

CImageMgr::CImageMgr()
    : QObject(nullptr)
    , m_prefix(QStringLiteral(":/images/"))
{ }

CImageMgr *CImageMgr::instance()
{
    if (!s_instance)
        s_instance = new CImageMgr;
    return s_instance;
}

QPixmap *CImageMgr::getPixmap(const QString &name)
{
    auto it = m_pixmaps.constFind(name);
    if (it != m_pixmaps.constEnd())
        return it.value();
    QPixmap *pixmap = load(name);
    m_pixmaps.insert(name, pixmap);
    return pixmap;
}

QPixmap *CImageMgr::getPixmap(const QString &name, const QSize &size)
{
    auto it = m_pixmaps.constFind(name);
    if (it != m_pixmaps.constEnd())
        return it.value();
    QPixmap *pixmap = load(name);
    *pixmap = pixmap->scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    m_pixmaps.insert(name, pixmap);
    return pixmap;
}

void CImageMgr::prefetch(const QString &name)
{
    if (m_pixmaps.contains(name) || m_pending.contains(name))
        return;
    const QString path = m_prefix + name;
    m_pending.insert(name, std::async(std::launch::async, [path] { return QImage(path); }).share());
}

// A new pixmap from the bundle: from a prefetched decode when there is one,
// else read now. Either way the same pixels as QPixmap(path).
QPixmap *CImageMgr::load(const QString &name)
{
    auto it = m_pending.find(name);
    if (it == m_pending.end())
        return new QPixmap(m_prefix + name);
    const QImage image = it.value().get();
    m_pending.erase(it);
    return new QPixmap(QPixmap::fromImage(image));
}
