#include "FirstPaintProbe.h"

#include "BenchClock.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

FirstPaintProbe::FirstPaintProbe(QWidget *window)
    : QObject(window)
    , m_window(window)
{
    window->installEventFilter(this);
    QTimer::singleShot(30000, this, &FirstPaintProbe::timedOut);
}

bool FirstPaintProbe::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window && event->type() == QEvent::Paint && !m_seen) {
        m_seen = true;
        QTimer::singleShot(0, this, &FirstPaintProbe::frameDone);
    }
    return QObject::eventFilter(watched, event);
}

void FirstPaintProbe::frameDone()
{
    const qint64 now = BenchClock::nowNs();
    const qint64 launch = BenchClock::launchNs();
    const double ms = launch > 0 ? (now - launch) / 1e6 : -1.0;
    BenchClock::report(QByteArray("first_paint_ms=") + QByteArray::number(ms, 'f', 3)
                       + " peak_rss_kb=" + QByteArray::number(BenchClock::peakRssKb()));
    QCoreApplication::exit(0);
}

void FirstPaintProbe::timedOut()
{
    BenchClock::report("error=no-paint-within-30s");
    QCoreApplication::exit(2);
}
