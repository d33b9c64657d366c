#include "CFocusFrame.h"

#include <QPainter>
#include <QPen>
#include <QWidget>

void CFocusFrame::paint(QPainter *painter, const QWidget *widget, const QRect &area,
                        const QColor &color)
{
    if (!widget->hasFocus() || !widget->window()->testAttribute(Qt::WA_KeyboardFocusChange))
        return;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setPen(QPen(color, 1, Qt::DotLine));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(area.adjusted(0, 0, -1, -1));
    painter->restore();
}
