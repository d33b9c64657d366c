#include "CImageMgr.h"

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QThreadPool>

#include <future>
#include <memory>

struct CImageMgr::PendingDecode
{
    std::future<QImage> image;
    qreal ratio;
    QSize size; // the logical size it is scaled to, or none
};

CImageMgr *CImageMgr::s_instance = nullptr;

namespace {

// The bundle holds PNG files only: they are read by Qt's own PNG reader,
// without asking every image format plugin installed whether it knows the
// file (which loads them all, and their libraries, into the process).
QImage readImage(const QString &path)
{
    QImageReader reader(path, QByteArrayLiteral("png"));
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}

} // namespace

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
    QPixmap *pixmap = load(name, size);
    // The size asked for is a logical one: a 2x image keeps twice as many
    // pixels. A decode prefetched for this size is already there.
    const qreal ratio = pixmap->devicePixelRatioF();
    *pixmap = pixmap->scaled(size * ratio, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    pixmap->setDevicePixelRatio(ratio);
    m_pixmaps.insert(name, pixmap);
    return pixmap;
}

void CImageMgr::prefetch(const QVector<Prefetch> &images)
{
    struct Job
    {
        QString path;
        QSize pixels;
        std::promise<QImage> image;
    };
    auto jobs = std::make_shared<std::vector<Job>>();
    for (const Prefetch &request : images) {
        if (m_pixmaps.contains(request.name) || m_pending.contains(request.name))
            continue;
        auto *pending = new PendingDecode;
        Job job;
        job.path = sourcePath(request.name, &pending->ratio);
        job.pixels = request.size * pending->ratio;
        pending->size = request.size;
        pending->image = job.image.get_future();
        jobs->push_back(std::move(job));
        m_pending.insert(request.name, pending);
    }
    if (jobs->empty())
        return;
    // Scaling and the conversion to the raster pixmap's own format happen on
    // the worker too, so that QPixmap::fromImage() has only the data to take.
    // The worker is one of Qt's pool, which makes QImage do its work on that
    // one thread instead of spreading it over the cores the window's own
    // construction is using.
    QThreadPool::globalInstance()->start([jobs] {
        for (Job &job : *jobs) {
            QImage image = readImage(job.path);
            if (job.pixels.isValid() && !image.isNull())
                image = image.scaled(job.pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            job.image.set_value(image.convertToFormat(image.hasAlphaChannel()
                                                              ? QImage::Format_ARGB32_Premultiplied
                                                              : QImage::Format_RGB32));
        }
    });
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

// A new pixmap from the bundle: from a prefetched decode made for this size
// when there is one, else read now. Either way the same pixels as
// QPixmap(path), scaled as the first request asks.
QPixmap *CImageMgr::load(const QString &name, const QSize &size)
{
    QPixmap *pixmap = nullptr;
    qreal ratio = 1.0;
    auto it = m_pending.find(name);
    if (it != m_pending.end()) {
        std::unique_ptr<PendingDecode> pending(it.value());
        m_pending.erase(it);
        QImage image = pending->image.get();
        if (pending->size == size) {
            ratio = pending->ratio;
            pixmap = new QPixmap(QPixmap::fromImage(std::move(image)));
        }
    }
    if (!pixmap)
        pixmap = new QPixmap(QPixmap::fromImage(readImage(sourcePath(name, &ratio))));
    pixmap->setDevicePixelRatio(ratio);
    return pixmap;
}
