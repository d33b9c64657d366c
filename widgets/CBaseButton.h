#pragma once

#include <QColor>
#include <QPushButton>
#include <QRect>
#include <QString>

class CInputSwitch;
class QFont;
class QPainter;
class QPixmap;

// Push button of the kit that paints only its own content: a text line (or a
// content pixmap), an optional second line, an optional icon with a number
// badge. It keeps its own visual state (m_state, see State), shifts itself
// while pressed and can be made deaf to mouse, focus and key input.
class CBaseButton : public QPushButton
{
    Q_OBJECT

public:
    // Values of m_state.
    enum State {
        StateNormal = 1,
        StateLit = 2, // painted like StateHover but kept; nothing in the kit enters it
        StatePressed = 3,
        StateHover = 4, // lasts one paint of the text, then StateNormal
    };

    explicit CBaseButton(QWidget *parent);
    ~CBaseButton() override;

    void setTextColor(QColor color);
    // Both repaint at once; setButtonText also sets the toolkit button's text.
    void setTexts(QString text, QString subText);
    void setButtonText(const QString &text, const QString &subText);
    // The main and second text lines as painted.
    QString mainText() const { return m_text; }
    QString subText() const { return m_subText; }
    void setFonts(QFont *font, QFont *subFont);
    // Switched off, the button ignores the mouse, focus and keys and leaves
    // the focus chain; see CInputSwitch.
    void setInteractive(bool on);

    void drawContent(QPainter *painter, QRect area);
    void drawBadge(QPainter *painter, const QPoint &anchor);

signals:
    void hovered(bool isHover = true);
    void hoveredAt(bool isHover = true, int index = 0);
    void clicked(int index);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void enterEvent(QEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

    // The input handlers drive m_state, m_hitRect and m_pressed; the other
    // members keep their defaults unless the setters above or a subclass
    // change them.
    int m_state; // a State
    bool m_highlighted;
    int m_index;
    QRect m_hitRect;
    bool m_pressed;
    QColor m_normalTextColor;
    QColor m_hoverTextColor;
    QColor m_disabledTextColor;
    QString m_text;
    QString m_subText;
    QFont *m_subFont;
    int m_topInset;
    int m_bottomInset;
    int m_rightInset;
    int m_leftInset;
    int m_pressOffset;
    bool m_moveOnHover;
    int m_topMargin;
    int m_bottomMargin;
    int m_rightMargin;
    int m_leftMargin;
    bool m_autoGrow;
    QColor m_badgeColor;
    QColor m_badgeTextColor;
    int m_badgeNumber;
    bool m_showBadge;
    QPixmap *m_icon;
    QPixmap *m_pixmap;
    int m_iconWidth;
    int m_iconHeight;
    int m_alignment;
    bool m_showSubText;
    bool m_interactive;

private:
    void shiftBy(int d);

    CInputSwitch *m_inputSwitch;
};
