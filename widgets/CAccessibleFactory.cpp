#include "CAccessibleFactory.h"

#include "CAccessibleButton.h"
#include "CAccessibleImageButton.h"
#include "CBaseButton.h"
#include "CImageButton.h"

QAccessibleInterface *CAccessibleFactory::create(const QString &className, QObject *object)
{
    // Qt walks the class chain from the most derived class up and asks every
    // factory for each name: CImageBKButton ends here as a CBaseButton.
    if (className == QLatin1String(CBaseButton::staticMetaObject.className())) {
        if (auto *button = qobject_cast<CBaseButton *>(object))
            return new CAccessibleButton(button);
    } else if (className == QLatin1String(CImageButton::staticMetaObject.className())) {
        if (auto *button = qobject_cast<CImageButton *>(object))
            return new CAccessibleImageButton(button);
    }
    return nullptr;
}
