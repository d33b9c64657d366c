#pragma once

#include <QObject>

class QWidget;

// Switches the input of one widget of the kit on and off, together with the
// widget's own interactive flag, which the widget's mouse handlers test.
// Switched off, the widget leaves the focus chain (giving up the focus it
// has) and its keys pass it by to its parent, as QWidget's own key handlers
// would leave them; switched on again, it gets back the focus policy it had,
// and Enter presses the focused control as the space bar does.
class CInputSwitch : public QObject
{
    Q_OBJECT

public:
    // Becomes a child of the widget and watches its events; interactive is
    // the widget's own flag, read for every key it gets.
    CInputSwitch(QWidget *widget, bool *interactive);
    ~CInputSwitch() override;

    void setInteractive(bool on);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *m_widget;
    bool *m_interactive;
    Qt::FocusPolicy m_focusPolicy; // the policy to return to when interactive
};
