#pragma once

#include <QColor>
#include <QRect>

class QPainter;
class QWidget;

// The kit's focus indication: a dotted frame inside area, drawn while widget
// has the focus and the user has moved the focus by keyboard in its window
// (as Windows shows focus rectangles), so a mouse user never sees it.
class CFocusFrame
{
public:
    static void paint(QPainter *painter, const QWidget *widget, const QRect &area,
                      const QColor &color);
};
