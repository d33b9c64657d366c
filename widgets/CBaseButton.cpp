#include "CBaseButton.h"

#include "CInputSwitch.h"

#include <QAccessible>
#include <QFont>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QTextOption>

CBaseButton::CBaseButton(QWidget *parent)
    : QPushButton(parent)
    , m_state(StateNormal)
    , m_highlighted(false)
    , m_index(-1)
    , m_hitRect(rect().adjusted(1, 1, -1, -1))
    , m_pressed(false)
    , m_normalTextColor(Qt::blue)
    , m_hoverTextColor(Qt::white)
    , m_disabledTextColor(100, 100, 100, 255)
    , m_text(text())
    , m_subFont(nullptr)
    , m_topInset(2)
    , m_bottomInset(2)
    , m_rightInset(4)
    , m_leftInset(4)
    , m_pressOffset(3)
    , m_moveOnHover(false)
    , m_topMargin(0)
    , m_bottomMargin(0)
    , m_rightMargin(0)
    , m_leftMargin(0)
    , m_autoGrow(false)
    , m_badgeColor(255, 0, 0, 255)
    , m_badgeTextColor(255, 255, 255, 255)
    , m_badgeNumber(1)
    , m_showBadge(false)
    , m_icon(nullptr)
    , m_pixmap(nullptr)
    , m_iconWidth(0)
    , m_iconHeight(0)
    , m_alignment(Qt::AlignCenter)
    , m_showSubText(false)
    , m_interactive(true)
    , m_inputSwitch(new CInputSwitch(this, &m_interactive))
{
    setAttribute(Qt::WA_MouseTracking);
}

CBaseButton::~CBaseButton() = default;

void CBaseButton::setTextColor(QColor color)
{
    m_normalTextColor = color;
    m_hoverTextColor = color;
    m_disabledTextColor = color;
}

void CBaseButton::setTexts(QString text, QString subText)
{
    const bool renamed = text != m_text;
    m_text = text;
    m_subText = subText;
    repaint();
    if (renamed) { // the caption is the accessible name: screen readers announce it
        QAccessibleEvent event(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&event);
    }
}

void CBaseButton::setButtonText(const QString &text, const QString &subText)
{
    QAbstractButton::setText(text);
    setTexts(text, subText);
}

void CBaseButton::setFonts(QFont *font, QFont *subFont)
{
    m_subFont = subFont;
    if (font)
        QWidget::setFont(*font);
}

void CBaseButton::setInteractive(bool on)
{
    m_inputSwitch->setInteractive(on);
}

void CBaseButton::shiftBy(int d)
{
    const QPoint pos = mapToParent(QPoint(0, 0));
    move(pos.x() + d, pos.y() + d);
}

void CBaseButton::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_interactive)
        return;
    if (m_hitRect.contains(event->pos())) {
        setCursor(Qt::PointingHandCursor);
        m_state = (event->buttons() & Qt::LeftButton) ? StatePressed : StateHover;
        repaint();
    } else {
        setCursor(Qt::ArrowCursor);
    }
    QAbstractButton::mouseMoveEvent(event);
}

void CBaseButton::mousePressEvent(QMouseEvent *event)
{
    if (!m_interactive)
        return;
    if (event->button() != Qt::LeftButton || !m_hitRect.contains(event->pos()))
        return;
    m_state = StatePressed;
    shiftBy(m_pressOffset);
    m_pressed = true;
    QAbstractButton::mousePressEvent(event);
}

void CBaseButton::mouseReleaseEvent(QMouseEvent *event)
{
    if (!m_interactive)
        return;
    setCursor(Qt::ArrowCursor);
    if (!m_pressed)
        return;
    const bool inside = rect().contains(event->pos());
    m_state = inside ? StateHover : StateNormal;
    shiftBy(-m_pressOffset);
    m_pressed = false;
    if (!inside)
        return;
    if (m_index == -1) {
        QAbstractButton::mouseReleaseEvent(event);
    } else {
        setChecked(!isChecked());
        emit clicked(m_index);
    }
}

void CBaseButton::enterEvent(QEvent *event)
{
    if (!m_interactive)
        return;
    if (m_moveOnHover)
        shiftBy(m_pressOffset);
    emit hoveredAt(true, m_index);
    emit hovered(true);
    QWidget::enterEvent(event);
}

void CBaseButton::leaveEvent(QEvent *event)
{
    if (!m_interactive)
        return;
    m_state = StateNormal;
    if (m_moveOnHover)
        shiftBy(-m_pressOffset);
    emit hoveredAt(false, m_index);
    emit hovered(false);
    QWidget::leaveEvent(event);
}

void CBaseButton::focusInEvent(QFocusEvent *event)
{
    if (!m_interactive)
        return;
    QPushButton::focusInEvent(event);
}

void CBaseButton::focusOutEvent(QFocusEvent *event)
{
    if (!m_interactive)
        return;
    m_state = StateNormal;
    QPushButton::focusOutEvent(event);
}

void CBaseButton::resizeEvent(QResizeEvent *event)
{
    m_hitRect = rect().adjusted(1, 1, -1, -1);
    QWidget::resizeEvent(event);
}

void CBaseButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.save();
    QRect area = rect();
    area.setLeft(area.left() + m_leftMargin);
    area.setTop(area.top() + m_topMargin);
    area.setRight(area.right() - m_rightMargin);
    area.setBottom(area.bottom() - m_bottomMargin);
    drawContent(&painter, area);
    painter.restore();
}

void CBaseButton::drawContent(QPainter *painter, QRect area)
{
    // Content rectangle inside the area.
    const int left = area.left() + 1 + m_leftInset;
    const int top = area.top() + 1 + m_topInset;
    const int right = area.right() - 1 - m_rightInset;
    const int bottom = area.bottom() - 1 - m_bottomInset;
    const int W = right - left + 1;
    const int H = bottom - top + 1;

    const QFont f1 = font();
    const QFont f2 = m_subFont ? *m_subFont : font();
    const QFontMetrics m1(f1);
    const QFontMetrics m2(f2);

    int cw, ch;
    if (m_pixmap) {
        cw = m_pixmap->width();
        ch = m_pixmap->height();
    } else {
        cw = m1.horizontalAdvance(m_text);
        ch = m1.lineSpacing();
    }
    const int sw = m2.horizontalAdvance(m_subText);
    const int sh = m2.height();
    int bw = cw;
    if (m_icon)
        bw += m_iconWidth + 5;
    int bh = qMax(ch, m_iconHeight);
    if (m_showSubText)
        bh += sh + 5;

    if (m_autoGrow) {
        const int dw = bw - W > 0 ? bw - W : 0;
        const int dh = bh - H > 0 ? bh - H : 0;
        resize(width() + dw, height() + dh);
    }

    // Block centred in the content rectangle.
    const int cy = top + H / 2;
    int x0 = left + W / 2 - bw / 2;
    int iy = cy - m_iconHeight / 2;
    int tx = x0;
    if (m_icon)
        tx += m_iconWidth + 5;
    int ty;
    if (m_pixmap) {
        ty = cy - ch / 2 + 1;
    } else {
        ty = cy + ch / 4 + 1;
        if (m_showSubText)
            ty -= 2 + sh / 2;
    }

    // Alignment shifts the block away from the centre.
    const int h = m_alignment & 15;
    const int v = m_alignment & 0xFF0;
    const int hw = (W - m_leftInset - m_rightInset) / 2;
    const int hh = (H - 2 * m_topInset) / 2;
    int dx = 0, sdx = 0, dy = 0;
    if (h == Qt::AlignLeft) {
        dx = bw / 2 - hw;
        sdx = sw / 2 - hw;
    } else if (h == Qt::AlignRight) {
        dx = hw - bw / 2;
        sdx = hw - sw / 2;
    }
    if (v == Qt::AlignTop)
        dy = bh / 2 - hh;
    else if (v == Qt::AlignBottom)
        dy = hh - bh / 2;
    x0 += dx;
    tx += dx;
    iy += dy;
    ty += dy;
    const int sx = left + (W - sw) / 2 + sdx;
    const int sy = ty + (3 * ch) / 4 + sh / 4 + 2;

    if (m_pixmap) {
        painter->drawPixmap(QRect(tx, ty, m_pixmap->width(), m_pixmap->height()), *m_pixmap,
                            m_pixmap->rect());
    } else if (!isEnabled()) {
        painter->setFont(f1);
        painter->setPen(m_disabledTextColor);
        painter->drawText(QPointF(tx, ty), m_text);
    } else if (m_state >= StateNormal && m_state <= StateHover) {
        painter->setFont(f1);
        painter->setPen(m_state == StateNormal ? m_normalTextColor : m_hoverTextColor);
        painter->drawText(QPointF(tx, ty), m_text);
        if (m_state != StateNormal || m_showSubText) {
            painter->setFont(f2);
            painter->drawText(QPointF(sx, sy), m_subText);
        }
        if (m_state == StateHover)
            m_state = StateNormal;
    }

    if (m_icon) {
        painter->drawPixmap(QRect(x0, iy, m_iconWidth, m_iconHeight), *m_icon, m_icon->rect());
        drawBadge(painter, QPoint(x0 + m_iconWidth, iy));
    }
}

void CBaseButton::drawBadge(QPainter *painter, const QPoint &anchor)
{
    if (!m_showBadge)
        return;
    QFont badgeFont = font();
    badgeFont.setPointSize(8);
    painter->setFont(badgeFont);
    const QFontMetrics metrics(badgeFont);

    const QString number = QString::number(m_badgeNumber, 10);
    int w = metrics.horizontalAdvance(number) + 4;
    const int h = metrics.height() + 4;
    if (w < h)
        w = h;
    const int x = anchor.x() - w / 2 - 2;
    const int y = anchor.y() - h / 2 - 2;
    const int r = h / 2;

    painter->setBrush(QBrush(m_badgeColor));
    painter->setPen(QPen(m_badgeTextColor));
    painter->drawRoundedRect(QRect(x, y, w, h), r, r, Qt::AbsoluteSize);
    painter->drawText(QRectF(x, y, w, h), number, QTextOption(Qt::AlignCenter));
}
