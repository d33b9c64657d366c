#pragma once

#include <QObject>

class QWidget;

// Watches a top-level window for its first paint. The paint event of the
// window comes first in a repaint; its children and the flush of the backing
// store follow inside the same event. A zero timer started there fires once
// all of that is done: then the probe reports the time since the driver
// launched the process and the peak memory, and ends the event loop. The
// window owns it.
class FirstPaintProbe : public QObject
{
    Q_OBJECT

public:
    explicit FirstPaintProbe(QWidget *window);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void frameDone();
    void timedOut();

private:
    QWidget *m_window;
    bool m_seen = false;
};
