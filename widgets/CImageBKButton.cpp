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
    bool hoverLook = false;
    if (!isEnabled()) {
        background = m_bkDisabled;
    } else {
        if (isCheckable() && isChecked() && m_state == StateNormal)
            m_state = StateHover;
        if (m_highlighted && m_state == StateNormal)
            m_state = StateHover;
        hoverLook = m_state == StateHover;
        switch (m_state) {
        case StateNormal:
        case StateLit:
            background = m_bkNormal;
            break;
        case StatePressed:
            background = m_bkPressed;
            break;
        case StateHover:
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
    if (hoverLook) // like the base's own text paint, the hover look lasts one paint
        m_state = StateNormal;
    painter.restore();
}

void CImageBKButton::resizeEvent(QResizeEvent *event)
{
    CBaseButton::resizeEvent(event);
}
