#pragma once

#include <QString>

class QAccessibleInterface;
class QObject;

// Gives the kit's controls their accessible interfaces, for screen readers:
// the buttons of CBaseButton (a button, or a link when it shows only its
// text) and the image button CImageButton (a button named by its accessible
// name). The check box is a QCheckBox and has Qt's own interface. Installed
// with QAccessible::installFactory(CAccessibleFactory::create).
class CAccessibleFactory
{
public:
    static QAccessibleInterface *create(const QString &className, QObject *object);
};
