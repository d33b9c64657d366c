#pragma once

#include "CBaseButton.h"

class QPixmap;

// Button that paints a background image chosen by the base button's state
// (m_state) and the base button's content (text, icon, badge) on top of it.
// A checked or highlighted button in StateNormal looks hovered.
class CImageBKButton : public CBaseButton
{
    Q_OBJECT

public:
    explicit CImageBKButton(QWidget *parent);
    ~CImageBKButton() override;

    void setBkPixmaps(QPixmap *normal, QPixmap *hover, QPixmap *pressed, QPixmap *disabled);
    // Whether any enabled state paints an image (else only the text shows).
    bool hasBackground() const { return m_bkNormal || m_bkHover || m_bkPressed; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

    QPixmap *m_bkNormal;
    QPixmap *m_bkHover;
    QPixmap *m_bkPressed;
    QPixmap *m_bkDisabled;
};
