#include "CImageButton.h"

#include <QBitmap>
#include <QFont>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>

CImageButton::CImageButton(QWidget *parent)
    : QLabel(parent, Qt::WindowFlags())
    , m_state(StateNormal)
    , m_normalPixmap(nullptr)
    , m_hoverPixmap(nullptr)
    , m_pressedPixmap(nullptr)
    , m_disabledPixmap(nullptr)
    , m_captionFont(nullptr)
    , m_captionColor(Qt::black)
    , m_index(-1)
    , m_shiftPressed(false)
    , m_shiftHover(false)
{ }

CImageButton::~CImageButton() = default;

void CImageButton::setPixmaps(QPixmap *normal, QPixmap *pressed, QPixmap *hover, QPixmap *disabled)
{
    m_normalPixmap = normal;
    m_pressedPixmap = pressed ? pressed : normal;
    m_hoverPixmap = hover ? hover : normal;
    m_disabledPixmap = disabled ? disabled : normal;
}

void CImageButton::enterEvent(QEvent *)
{
    if (m_state == StateDisabled)
        return;
    m_state = StateHover;
    update();
    emit hovered();
}

void CImageButton::leaveEvent(QEvent *)
{
    if (m_state == StateDisabled)
        return;
    m_state = StateNormal;
    update();
}

void CImageButton::mousePressEvent(QMouseEvent *event)
{
    if (m_state == StateDisabled)
        return;
    m_pressPos = event->pos();
    m_state = StatePressed;
    update();
}

void CImageButton::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_state == StateDisabled)
        return;
    // A click is a release near the press point, wherever the pointer is.
    const bool click = m_state == StatePressed && qAbs(event->pos().x() - m_pressPos.x()) < 6
            && qAbs(event->pos().y() - m_pressPos.y()) < 6;
    m_state = StateHover;
    update();
    if (event->button() == Qt::LeftButton && click)
        emit clicked();
}

void CImageButton::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        emit clicked();
        return;
    }
    QLabel::keyPressEvent(event);
}

void CImageButton::focusInEvent(QFocusEvent *)
{
    m_state = StatePressed;
    update();
    emit focussIn();
}

void CImageButton::focusOutEvent(QFocusEvent *)
{
    m_state = StateNormal;
    update();
    emit focussOut();
}

void CImageButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    QPixmap *image = nullptr;
    bool shifted = false;
    switch (m_state) {
    case StateNormal:
        image = m_normalPixmap;
        break;
    case StateHover:
        image = m_hoverPixmap;
        shifted = m_shiftHover;
        break;
    case StatePressed:
        image = m_pressedPixmap;
        shifted = m_shiftPressed;
        break;
    case StateDisabled:
        image = m_disabledPixmap;
        break;
    default:
        break;
    }
    if (!image)
        return;

    // The widget takes the shape of the unshifted image, so the shape under
    // the pointer does not move while the button is pressed.
    // In logical pixels: a 2x image's mask has twice the widget's size.
    const QBitmap mask = image->devicePixelRatioF() == 1.0
            ? image->mask()
            : QBitmap(image->mask().scaled(rect().size()));
    const QRect target = shifted ? rect().translated(6, 6) : rect();
    painter.drawPixmap(target, *image, image->rect());
    if (!m_caption.isEmpty() && m_captionFont) {
        painter.setFont(*m_captionFont);
        painter.setPen(m_captionColor);
        painter.drawText(m_captionRect.isNull() ? rect() : m_captionRect, Qt::AlignCenter,
                         m_caption);
    }
    setMask(mask);
}
