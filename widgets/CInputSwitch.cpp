#include "CInputSwitch.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QWidget>

CInputSwitch::CInputSwitch(QWidget *widget, bool *interactive)
    : QObject(widget)
    , m_widget(widget)
    , m_interactive(interactive)
    , m_focusPolicy(widget->focusPolicy())
{
    widget->installEventFilter(this);
}

CInputSwitch::~CInputSwitch() = default;

void CInputSwitch::setInteractive(bool on)
{
    *m_interactive = on;
    if (on) {
        m_widget->setFocusPolicy(m_focusPolicy);
        return;
    }
    if (m_widget->focusPolicy() != Qt::NoFocus)
        m_focusPolicy = m_widget->focusPolicy();
    m_widget->setFocusPolicy(Qt::NoFocus);
    if (m_widget->hasFocus())
        m_widget->clearFocus();
}

bool CInputSwitch::eventFilter(QObject *watched, QEvent *event)
{
    const bool key = event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease;
    if (watched != m_widget || !key)
        return QObject::eventFilter(watched, event);
    if (!*m_interactive) {
        event->ignore(); // the application hands an ignored key on to the parent
        return true;
    }
    // Enter presses a focused control as the space bar does.
    const auto *keyEvent = static_cast<QKeyEvent *>(event);
    if (keyEvent->key() != Qt::Key_Return && keyEvent->key() != Qt::Key_Enter)
        return QObject::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress && !keyEvent->isAutoRepeat()) {
        if (auto *button = qobject_cast<QAbstractButton *>(m_widget))
            button->click();
    }
    return true;
}
