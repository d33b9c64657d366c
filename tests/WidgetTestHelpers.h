#pragma once

// Small helpers shared by the widget tests: hand-made input events, fonts
// with chosen metrics and pixel sampling of grabbed pictures.

#include "CFontMgr.h"

#include <QApplication>
#include <QFocusEvent>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QImage>
#include <QMouseEvent>
#include <QPalette>
#include <QPixmap>
#include <QWidget>

#include <functional>

namespace WidgetTest {

inline void sendMouse(QWidget *w, QEvent::Type type, const QPoint &pos, Qt::MouseButton button,
                      Qt::MouseButtons buttons)
{
    QMouseEvent event(type, pos, w->mapToGlobal(pos), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &event);
}

inline void sendPlain(QWidget *w, QEvent::Type type)
{
    QEvent event(type);
    QApplication::sendEvent(w, &event);
}

inline void sendFocus(QWidget *w, QEvent::Type type)
{
    QFocusEvent event(type, Qt::OtherFocusReason);
    QApplication::sendEvent(w, &event);
}

// Family of the bundle's interface font.
inline QString bundleFamily()
{
    const QFont *font = CFontMgr::instance()->getFont(10);
    return font->family();
}

// First font (bundle family first, then every installed one) at a pixel size
// from 6 to 40 that satisfies the predicate; a default font if none does.
inline QFont findFont(const std::function<bool(const QFont &)> &accept, bool *found)
{
    QStringList families {bundleFamily()};
    families += QFontDatabase().families();
    for (const QString &family : families) {
        for (int px = 6; px <= 40; ++px) {
            QFont font(family);
            font.setPixelSize(px);
            if (accept(font)) {
                *found = true;
                return font;
            }
        }
    }
    *found = false;
    return QFont();
}

// First installed family whose point-size form satisfies the predicate.
inline QString findFamily(const std::function<bool(const QFont &)> &accept)
{
    QStringList families {bundleFamily()};
    families += QFontDatabase().families();
    for (const QString &family : families) {
        if (accept(QFont(family)))
            return family;
    }
    return QString();
}

// A string of exactly the given advance in these metrics, or empty.
inline QString textOfWidth(const QFontMetrics &metrics, int width)
{
    const QString chars = QStringLiteral("nil.mo");
    for (int a = 0; a < 60; ++a) {
        for (int b = 0; b < 60; ++b) {
            for (int c = 0; c < chars.size(); ++c) {
                const QString text = QString(a, QLatin1Char('n')) + QString(b, chars.at(c));
                const int advance = metrics.horizontalAdvance(text);
                if (advance == width && !text.isEmpty())
                    return text;
                if (advance > width)
                    break;
            }
        }
    }
    return QString();
}

// Number of clearly painted pixels (alpha >= 128) of the colour in the area.
inline int countColor(const QImage &image, const QRect &area, const QColor &color,
                      int tolerance = 40)
{
    int count = 0;
    const QRect r = area.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() >= 128 && qAbs(c.red() - color.red()) <= tolerance
                && qAbs(c.green() - color.green()) <= tolerance
                && qAbs(c.blue() - color.blue()) <= tolerance)
                ++count;
        }
    }
    return count;
}

// Number of pixels that carry any paint (alpha > 0) in the area.
inline int countPainted(const QImage &image, const QRect &area)
{
    int count = 0;
    const QRect r = area.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (image.pixelColor(x, y).alpha() > 0)
                ++count;
    return count;
}

// Grabbed pictures of a child widget show its own paint over a transparent
// background once the roles the toolkit fills it with are transparent.
inline void clearBackground(QWidget *w)
{
    QPalette palette = w->palette();
    palette.setColor(QPalette::Window, Qt::transparent);
    palette.setColor(QPalette::Button, Qt::transparent);
    palette.setColor(QPalette::Base, Qt::transparent);
    w->setPalette(palette);
}

inline QPixmap solidPixmap(int w, int h, const QColor &color)
{
    QPixmap pixmap(w, h);
    pixmap.fill(color);
    return pixmap;
}

} // namespace WidgetTest
