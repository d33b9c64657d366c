#pragma once

#include <QAccessibleWidget>

class CImageButton;

// The accessible side of a CImageButton: a button (not the label it derives
// from) named by its accessible name; pressing it emits its clicked().
class CAccessibleImageButton : public QAccessibleWidget
{
public:
    explicit CAccessibleImageButton(CImageButton *button);

    QStringList actionNames() const override;
    void doAction(const QString &actionName) override;
};
