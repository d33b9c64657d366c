#pragma once

#include <QCheckBox>
#include <QColor>
#include <QRect>
#include <QSize>

class CInputSwitch;
class QFont;
class QPixmap;

// Check box painted from four images (checked or not, each with a hover
// variant) in a square indicator at its left edge, with its text in the rest
// of the width. A completed mouse click also emits selected. Switched off
// (m_interactive false) it takes neither mouse clicks nor keys; the pointer
// still changes its look.
class CMVCheckBox : public QCheckBox
{
    Q_OBJECT

public:
    // Values of m_state.
    enum State { StateNormal = 0, StateHover = 1, StatePressed = 2 };

    explicit CMVCheckBox(QWidget *parent);
    ~CMVCheckBox() override;

    QSize indicatorSize() const;
    QSize textAreaSize() const;
    void setPixmaps(QPixmap *checked, QPixmap *unchecked, QPixmap *checkedHover,
                    QPixmap *uncheckedHover, QPixmap *textBackground);
    // Sets m_interactive and, while it is off, takes the box out of the focus
    // chain; see CInputSwitch.
    void setInteractive(bool on);

signals:
    void selected(int objIdx);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void enterEvent(QEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

    // The owner writes the public members directly.
public:
    bool m_interactive;

protected:
    int m_state; // a State
    QRect m_indicatorRect;
    QRect m_textRect;
    QPixmap *m_uncheckedPixmap;
    QPixmap *m_uncheckedHoverPixmap;
    QPixmap *m_checkedPixmap;
    QPixmap *m_checkedHoverPixmap;
    QPixmap *m_textBackground;

public:
    QColor m_textColor;
    QFont *m_font;
    int m_alignment;

protected:
    int m_objIdx;

private:
    void updateRects();

    CInputSwitch *m_inputSwitch;
};
