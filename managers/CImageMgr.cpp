#include "CImageMgr.h"

#include <QFile>
#include <QGuiApplication>
#include <QImage>

#include <future>

struct CImageMgr::PendingDecode
{
    std::future<QImage> image;
    qreal ratio;
};

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

QSize CImageMgr::logicalSize(const QPixmap &pixmap)
{
    const qreal ratio = pixmap.devicePixelRatioF();
    return QSize(qRound(pixmap.width() / ratio), qRound(pixmap.height() / ratio));
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
    // The size asked for is a logical one: a 2x image keeps twice as many pixels.
    const qreal ratio = pixmap->devicePixelRatioF();
    *pixmap = pixmap->scaled(size * ratio, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    pixmap->setDevicePixelRatio(ratio);
    m_pixmaps.insert(name, pixmap);
    return pixmap;
}

void CImageMgr::prefetch(const QString &name)
{
    if (m_pixmaps.contains(name) || m_pending.contains(name))
        return;
    auto *pending = new PendingDecode;
    const QString path = sourcePath(name, &pending->ratio);
    pending->image = std::async(std::launch::async, [path] { return QImage(path); });
    m_pending.insert(name, pending);
}

// Above 100 % the 2x variant, when the bundle has one; otherwise, and for a
// name the bundle lacks, the image itself. At 100 % no 2x file is touched.
QString CImageMgr::sourcePath(const QString &name, qreal *ratio) const
{
    *ratio = 1.0;
    if (qGuiApp && qGuiApp->devicePixelRatio() > 1.0 && name.endsWith(QLatin1String(".png"))) {
        const QString twice = m_prefix + name.chopped(4) + QStringLiteral("@2x.png");
        if (QFile::exists(twice)) {
            *ratio = 2.0;
            return twice;
        }
    }
    return m_prefix + name;
}

// A new pixmap from the bundle: from a prefetched decode when there is one,
// else read now. Either way the same pixels as QPixmap(path).
QPixmap *CImageMgr::load(const QString &name)
{
    QPixmap *pixmap = nullptr;
    qreal ratio = 1.0;
    auto it = m_pending.find(name);
    if (it == m_pending.end()) {
        pixmap = new QPixmap(sourcePath(name, &ratio));
    } else {
        PendingDecode *pending = it.value();
        m_pending.erase(it);
        ratio = pending->ratio;
        pixmap = new QPixmap(QPixmap::fromImage(pending->image.get()));
        delete pending;
    }
    pixmap->setDevicePixelRatio(ratio);
    return pixmap;
}
