#include "CMVCheckBox.h"

#include "CFocusFrame.h"
#include "CInputSwitch.h"

#include <QFont>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QTextOption>

CMVCheckBox::CMVCheckBox(QWidget *parent)
    : QCheckBox(parent)
    , m_interactive(true)
    , m_state(StateNormal)
    , m_uncheckedPixmap(nullptr)
    , m_uncheckedHoverPixmap(nullptr)
    , m_checkedPixmap(nullptr)
    , m_checkedHoverPixmap(nullptr)
    , m_textBackground(nullptr)
    , m_textColor(0, 0, 0, 255)
    , m_font(nullptr)
    , m_alignment(Qt::AlignHCenter | Qt::AlignVCenter)
    , m_objIdx(-1)
    , m_inputSwitch(new CInputSwitch(this, &m_interactive))
{
    updateRects();
}

CMVCheckBox::~CMVCheckBox() = default;

void CMVCheckBox::updateRects()
{
    const int w = width();
    const int h = height();
    m_indicatorRect = QRect(0, 0, h, h);
    m_textRect = QRect(h, 0, w - h, h);
}

QSize CMVCheckBox::indicatorSize() const
{
    return QSize(height(), height());
}

QSize CMVCheckBox::textAreaSize() const
{
    return QSize(width() - height(), height());
}

void CMVCheckBox::setPixmaps(QPixmap *checked, QPixmap *unchecked, QPixmap *checkedHover,
                             QPixmap *uncheckedHover, QPixmap *textBackground)
{
    m_checkedPixmap = checked;
    m_uncheckedPixmap = unchecked;
    m_checkedHoverPixmap = checkedHover ? checkedHover : checked;
    m_uncheckedHoverPixmap = uncheckedHover ? uncheckedHover : unchecked;
    if (textBackground)
        m_textBackground = textBackground;
    updateRects();
}

void CMVCheckBox::setInteractive(bool on)
{
    m_inputSwitch->setInteractive(on);
}

void CMVCheckBox::resizeEvent(QResizeEvent *event)
{
    updateRects();
    QWidget::resizeEvent(event);
}

void CMVCheckBox::mousePressEvent(QMouseEvent *event)
{
    if (!m_interactive)
        return;
    m_state = StatePressed;
    emit pressed();
    QAbstractButton::mousePressEvent(event);
}

void CMVCheckBox::mouseReleaseEvent(QMouseEvent *event)
{
    if (!m_interactive)
        return;
    const bool inside = rect().contains(event->pos());
    m_state = inside ? StateHover : StateNormal;
    if (event->button() == Qt::LeftButton && inside) {
        setChecked(!isChecked());
        emit stateChanged(checkState());
        emit clicked(isChecked());
        emit released();
        emit selected(m_objIdx);
        return;
    }
    QAbstractButton::mouseReleaseEvent(event);
}

void CMVCheckBox::enterEvent(QEvent *event)
{
    m_state = StateHover;
    QWidget::enterEvent(event);
}

void CMVCheckBox::leaveEvent(QEvent *event)
{
    m_state = StateNormal;
    QWidget::leaveEvent(event);
}

void CMVCheckBox::paintEvent(QPaintEvent *event)
{
    if (!isEnabled()) {
        QCheckBox::paintEvent(event);
        return;
    }

    QPainter painter(this);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);

    const bool hover = m_state == StateHover;
    QPixmap *indicator = isChecked() ? (hover ? m_checkedHoverPixmap : m_checkedPixmap)
                                     : (hover ? m_uncheckedHoverPixmap : m_uncheckedPixmap);
    if (indicator)
        painter.drawPixmap(m_indicatorRect, *indicator, indicator->rect());

    if (m_textBackground)
        painter.drawPixmap(m_textRect, *m_textBackground, m_textBackground->rect());
    painter.setPen(m_textColor);
    QFont textFont = font();
    if (m_font)
        textFont = *m_font;
    painter.setFont(textFont);
    painter.drawText(QRectF(m_textRect), text(), QTextOption(Qt::Alignment(m_alignment)));
    CFocusFrame::paint(&painter, this, rect(), m_textColor);

    painter.restore();
}
