#pragma once

#include <QColor>
#include <QLabel>
#include <QPoint>
#include <QRect>
#include <QString>

class QFont;
class QPixmap;

// Label that behaves as a button: one image per state (normal, hover,
// pressed, disabled), shaped like its image, with its own clicked signal.
class CImageButton : public QLabel
{
    Q_OBJECT

public:
    // Values of m_state.
    enum State {
        StateNormal = 0,
        StateHover = 1,
        StatePressed = 2, // also while the button has the focus
        StateDisabled = 3, // the pointer is ignored; only a subclass enters it
    };

    explicit CImageButton(QWidget *parent);
    ~CImageButton() override;

    void setPixmaps(QPixmap *normal, QPixmap *pressed, QPixmap *hover, QPixmap *disabled);

signals:
    void clicked();
    void hovered();
    void focussIn();
    void focussOut();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void enterEvent(QEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

    int m_state; // a State
    QPixmap *m_normalPixmap;
    QPixmap *m_hoverPixmap;
    QPixmap *m_pressedPixmap;
    QPixmap *m_disabledPixmap;
    QPoint m_pressPos;

    // Offered to subclasses; the defaults draw nothing extra. A caption is
    // drawn centred over the image when it has a font; a null rectangle means
    // the whole widget. The shift flags draw the pressed or the hover image
    // 6 pixels right and down.
    QString m_caption;
    QFont *m_captionFont;
    QColor m_captionColor;
    QRect m_captionRect;
    int m_index; // for a subclass to number its buttons, -1 by default
    bool m_shiftPressed;
    bool m_shiftHover;
};
