#pragma once

#include <QAccessibleWidget>

class CBaseButton;

// The accessible side of a CBaseButton: named by its painted caption (which
// the toolkit's button text need not hold), a link when it paints no
// background image (text only), a button otherwise. Pressing it clicks it.
class CAccessibleButton : public QAccessibleWidget
{
public:
    explicit CAccessibleButton(CBaseButton *button);

    QAccessible::Role role() const override;
    QAccessible::State state() const override;
    QString text(QAccessible::Text t) const override;
    QStringList actionNames() const override;
    void doAction(const QString &actionName) override;

private:
    CBaseButton *button() const;
};
