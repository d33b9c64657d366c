#pragma once

#include <QCheckBox>
#include <QColor>
#include <QRect>
#include <QSize>

class QFont;
class QPixmap;

// Check box painted from four images (checked or not, each with a hover
// variant) in a square indicator at its left edge, with its text in the rest
// of the width. A completed mouse click also emits selected. Switched off
// (m_interactive false) it takes neither mouse clicks nor keys.
class CMVCheckBox : public QCheckBox
{
    Q_OBJECT

public:
    explicit CMVCheckBox(QWidget *parent);
    ~CMVCheckBox() override;

    QSize indicatorSize() const;
    QSize textAreaSize() const;
    void setPixmaps(QPixmap *checked, QPixmap *unchecked, QPixmap *checkedHover,
                    QPixmap *uncheckedHover, QPixmap *textBackground);
    // Sets m_interactive and takes the box out of the focus chain while it is
    // off (giving up the focus it has), so that no key reaches it; switched on
    // again it gets back the focus policy it had.
    void setInteractive(bool on);

signals:
    void selected(int objIdx);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void enterEvent(QEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

public:
    bool m_interactive;

protected:
    int m_state;
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

    Qt::FocusPolicy m_focusPolicy; // the policy to return to when interactive

    friend class TestCMVCheckBox;
};
