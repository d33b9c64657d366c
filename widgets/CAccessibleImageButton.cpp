#include "CAccessibleImageButton.h"

#include "CImageButton.h"

CAccessibleImageButton::CAccessibleImageButton(CImageButton *button)
    : QAccessibleWidget(button, QAccessible::Button)
{ }

QStringList CAccessibleImageButton::actionNames() const
{
    return QStringList(pressAction()) + QAccessibleWidget::actionNames();
}

void CAccessibleImageButton::doAction(const QString &actionName)
{
    if (actionName == pressAction()) {
        emit static_cast<CImageButton *>(widget())->clicked();
        return;
    }
    QAccessibleWidget::doAction(actionName);
}
