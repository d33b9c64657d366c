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
    explicit CImageButton(QWidget *parent);
    ~CImageButton() override;

    void setPixmaps(QPixmap *normal, QPixmap *pressed, QPixmap *hover, QPixmap *disabled);

    // Optional caption drawn centred over the image (needs text and font);
    // an empty rectangle means the whole widget.
    void setCaption(const QString &text, QFont *font, const QColor &color = Qt::black,
                    const QRect &textRect = QRect());
    void setIndex(int index);
    int index() const;
    // Draw the pressed or the hover image shifted 6 pixels right and down.
    void setShiftPressedImage(bool on);
    void setShiftHoverImage(bool on);

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

    int m_state;
    QPixmap *m_normalPixmap;
    QPixmap *m_hoverPixmap;
    QPixmap *m_pressedPixmap;
    QPixmap *m_disabledPixmap;
    QPoint m_pressPos;
    QString m_caption;
    QFont *m_captionFont;
    QColor m_captionColor;
    QRect m_captionRect;
    int m_index;
    bool m_shiftPressed;
    bool m_shiftHover;

    friend class TestCImageButton;
};
