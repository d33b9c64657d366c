#pragma once

#include <QColor>
#include <QLabel>
#include <QPoint>

class QFont;
class QPixmap;

// Label of the kit: a rounded, outlined background (or a stretched picture)
// with the text wrapped at any character on top. It can grow its height to
// fit its text (m_autoHeight) and be dragged around inside its parent
// (m_draggable); both are off unless a subclass switches them on.
class CBaseLabel : public QLabel
{
    Q_OBJECT

public:
    explicit CBaseLabel(QWidget *parent);
    ~CBaseLabel() override;

    void setTextColor(const QColor &color);
    void setLabelText(const QString &text);
    void adjustHeight();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

    // m_pressPos follows the presses while dragging is on; the other members
    // keep their defaults unless setTextColor or a subclass changes them.
    QColor m_textColor;
    QColor m_backgroundColor;
    QColor m_borderColor;
    int m_borderWidth;
    float m_radius;
    int m_leftMargin;
    int m_topMargin;
    int m_rightMargin;
    int m_bottomMargin;
    QPixmap *m_backgroundPixmap;
    QFont *m_font;
    bool m_autoHeight;
    QPoint m_pressPos;
    bool m_draggable;
};
