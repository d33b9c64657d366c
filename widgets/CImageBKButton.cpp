#include "CImageBKButton.h"

#include "CFocusFrame.h"

#include <QPainter>
#include <QPixmap>

CImageBKButton::CImageBKButton(QWidget *parent)
    : CBaseButton(parent)
    , m_bkNormal(nullptr)
    , m_bkHover(nullptr)
    , m_bkPressed(nullptr)
    , m_bkDisabled(nullptr)
{
    m_moveOnHover = false;
}

CImageBKButton::~CImageBKButton() = default;

void CImageBKButton::setBkPixmaps(QPixmap *normal, QPixmap *hover, QPixmap *pressed,
                                  QPixmap *disabled)
{
    m_bkNormal = normal;
    m_bkHover = hover;
    m_bkPressed = pressed;
    m_bkDisabled = disabled;
}

void CImageBKButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);

    QPixmap *background = nullptr;
    int chosen = -1;
    if (!isEnabled()) {
        background = m_bkDisabled;
    } else {
        // A checked button and a highlighted one look hovered.
        if (isCheckable() && isChecked() && m_state == 1)
            m_state = 4;
        if (m_highlighted && m_state == 1)
            m_state = 4;
        chosen = m_state;
        switch (m_state) {
        case 1:
        case 2:
            background = m_bkNormal;
            break;
        case 3:
            background = m_bkPressed;
            break;
        case 4:
            background = m_bkHover;
            break;
        default:
            background = m_bkDisabled;
            break;
        }
    }

    if (background)
        painter.drawPixmap(m_hitRect, *background, background->rect());
    drawContent(&painter, m_hitRect);
    CFocusFrame::paint(&painter, this, hasBackground() ? m_hitRect.adjusted(2, 2, -2, -2) : rect(),
                       m_normalTextColor);
    if (chosen == 4)
        m_state = 1;
    painter.restore();
}

void CImageBKButton::resizeEvent(QResizeEvent *event)
{
    CBaseButton::resizeEvent(event);
}
