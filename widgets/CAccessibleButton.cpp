#include "CAccessibleButton.h"

#include "CBaseButton.h"
#include "CImageBKButton.h"

CAccessibleButton::CAccessibleButton(CBaseButton *button)
    : QAccessibleWidget(button, QAccessible::Button)
{ }

CBaseButton *CAccessibleButton::button() const
{
    return static_cast<CBaseButton *>(widget());
}

QAccessible::Role CAccessibleButton::role() const
{
    const auto *image = qobject_cast<const CImageBKButton *>(button());
    if (image && !image->hasBackground())
        return QAccessible::Link;
    return QAccessible::Button;
}

QAccessible::State CAccessibleButton::state() const
{
    QAccessible::State s = QAccessibleWidget::state();
    s.pressed = button()->isDown();
    s.checkable = button()->isCheckable();
    s.checked = button()->isChecked();
    return s;
}

QString CAccessibleButton::text(QAccessible::Text t) const
{
    if (t != QAccessible::Name)
        return QAccessibleWidget::text(t);
    if (!button()->accessibleName().isEmpty())
        return button()->accessibleName();
    if (!button()->mainText().isEmpty())
        return button()->mainText();
    return button()->text();
}

QStringList CAccessibleButton::actionNames() const
{
    QStringList names;
    if (button()->isEnabled())
        names << pressAction();
    return names + QAccessibleWidget::actionNames();
}

void CAccessibleButton::doAction(const QString &actionName)
{
    if (actionName == pressAction()) {
        if (button()->isEnabled())
            button()->click();
        return;
    }
    QAccessibleWidget::doAction(actionName);
}
