#include "CBaseLabel.h"

#include <QFont>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QTextOption>

CBaseLabel::CBaseLabel(QWidget *parent)
    : QLabel(parent, Qt::WindowFlags())
    , m_textColor(0, 0, 0, 255)
    , m_backgroundColor(0, 0, 0, 0)
    , m_borderColor(Qt::transparent)
    , m_borderWidth(0)
    , m_radius(0.0f)
    , m_leftMargin(0)
    , m_topMargin(0)
    , m_rightMargin(0)
    , m_bottomMargin(0)
    , m_backgroundPixmap(nullptr)
    , m_font(nullptr)
    , m_autoHeight(false)
    , m_pressPos(0, 0)
    , m_draggable(false)
{
    setAlignment(Qt::AlignCenter);
    repaint();
}

CBaseLabel::~CBaseLabel() = default;

void CBaseLabel::setTextColor(const QColor &color)
{
    m_textColor = color;
}

void CBaseLabel::setLabelText(const QString &text)
{
    QLabel::setText(text);
    adjustHeight();
}

void CBaseLabel::adjustHeight()
{
    if (!m_autoHeight)
        return;
    QFont textFont = font();
    if (m_font)
        textFont = *m_font;
    const QFontMetrics metrics(textFont);

    const QRect r = rect();
    const QRect textRect(
            QPoint(r.left() + m_borderWidth + m_leftMargin, r.top() + m_borderWidth + m_topMargin),
            QPoint(r.right() - m_borderWidth - m_rightMargin,
                   r.bottom() - m_borderWidth - m_bottomMargin));
    const QRect bounds = metrics.boundingRect(textRect, int(alignment()) | Qt::TextWordWrap, text(),
                                              0, nullptr);

    int dh = bounds.height() - textRect.height();
    const int dw = bounds.width() - textRect.width();
    if (dw > 0) {
        // Without room for any text there is no line count to grow by.
        if (textRect.width() <= 0)
            return;
        dh += metrics.height() * (dw / textRect.width() + 1);
    }
    if (dh > 0 || dw > 0)
        resize(width(), height() + dh);
}

void CBaseLabel::mousePressEvent(QMouseEvent *event)
{
    if (m_draggable)
        m_pressPos = event->pos();
}

void CBaseLabel::mouseMoveEvent(QMouseEvent *event)
{
    if (m_draggable)
        move(x() + event->pos().x() - m_pressPos.x(), y() + event->pos().y() - m_pressPos.y());
}

void CBaseLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);

    const QRect background
            = rect().adjusted(m_borderWidth, m_borderWidth, -m_borderWidth, -m_borderWidth);
    const QPen oldPen = painter.pen();
    const QBrush oldBrush = painter.brush();

    if (!m_backgroundPixmap) {
        QPen border;
        border.setColor(m_borderColor);
        border.setWidth(m_borderWidth);
        painter.setPen(border);
        painter.setBrush(QBrush(m_backgroundColor));
        painter.drawRoundedRect(QRectF(background), m_radius, m_radius, Qt::AbsoluteSize);
    } else {
        painter.drawPixmap(background, *m_backgroundPixmap, m_backgroundPixmap->rect());
    }

    QRect textRect = background;
    textRect.setLeft(textRect.left() + m_leftMargin);
    textRect.setTop(textRect.top() + m_topMargin);
    textRect.setRight(textRect.right() - m_rightMargin);
    textRect.setBottom(textRect.bottom() - m_bottomMargin);

    QPen textPen = oldPen;
    textPen.setColor(m_textColor);
    painter.setPen(textPen);
    QFont textFont = font();
    if (m_font)
        textFont = *m_font;
    painter.setFont(textFont);

    QTextOption option(alignment());
    option.setWrapMode(QTextOption::WrapAnywhere);
    painter.drawText(QRectF(textRect), text(), option);

    painter.setPen(oldPen);
    painter.setBrush(oldBrush);
    painter.restore();
}
