#pragma once

#include <QColor>
#include <QPushButton>
#include <QRect>
#include <QString>

class QFont;
class QPainter;
class QPixmap;

// Push button of the kit that paints only its own content: a text line (or a
// content pixmap), an optional second line, an optional icon with a number
// badge. It keeps its own visual state, shifts itself while pressed and can
// be made deaf to mouse, focus and key input.
class CBaseButton : public QPushButton
{
    Q_OBJECT

public:
    explicit CBaseButton(QWidget *parent);
    ~CBaseButton() override;

    void setTextColor(QColor color);
    void setTexts(QString text, QString subText);
    void setButtonText(const QString &text, const QString &subText);
    // The main and second text lines as painted.
    QString mainText() const { return m_text; }
    QString subText() const { return m_subText; }
    void setFonts(QFont *font, QFont *subFont);
    // Switched off, the button ignores the mouse, focus and keys and leaves
    // the focus chain (giving up the focus it has); switched on again it gets
    // back the focus policy it had.
    void setInteractive(bool on);

    void drawContent(QPainter *painter, QRect area);
    void drawBadge(QPainter *painter, const QPoint &anchor);

    // Content and look that the owner may change after construction.
    void setIconPixmap(QPixmap *icon, int width, int height);
    void setContentPixmap(QPixmap *pixmap);
    void setBadge(bool show, int number);
    void setBadgeColors(const QColor &fill, const QColor &text);
    void setPaintMargins(int left, int top, int right, int bottom);
    void setInsets(int left, int top, int right, int bottom);
    void setIndex(int index);
    void setHighlighted(bool on);
    void setAutoGrow(bool on);
    void setAlignment(int alignment);
    void setShowSubText(bool on);
    void setPressOffset(int offset);
    void setMoveOnHover(bool on);

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
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void enterEvent(QEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

    int m_state;
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
    Qt::FocusPolicy m_focusPolicy; // the policy to return to when interactive

private:
    void shiftBy(int d);

    friend class TestCBaseButton;
    friend class TestCImageBKButton;
};
