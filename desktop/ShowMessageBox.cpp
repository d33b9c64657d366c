#include "ShowMessageBox.h"

#include "CFontMgr.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>

int ShowMessageBox(QWidget *parent, const QString &title, const QString &text, int flags)
{
    QMessageBox box(parent);
    box.setFont(*CFontMgr::instance()->getFont(9));
    if (!title.isEmpty())
        box.setWindowTitle(title);
    if (!text.isEmpty())
        box.setText(text);

    int buttons = flags & 0xFF;
    if (buttons == 0)
        buttons = MsgBtnOk;

    QPushButton *okButton = nullptr;
    QPushButton *yesButton = nullptr;
    QPushButton *noButton = nullptr;
    QPushButton *cancelButton = nullptr;
    if (buttons & MsgBtnOk)
        okButton = box.addButton(QObject::tr("Ok"), QMessageBox::AcceptRole);
    if (buttons & MsgBtnYes)
        yesButton = box.addButton(QObject::tr("Yes"), QMessageBox::YesRole);
    if (buttons & MsgBtnNo)
        noButton = box.addButton(QObject::tr("No"), QMessageBox::NoRole);
    if (buttons & MsgBtnCancel)
        cancelButton = box.addButton(QObject::tr("Cancel"), QMessageBox::RejectRole);

    switch (flags & 0xFF00) {
    case MsgIconQuestion:
        box.setIcon(QMessageBox::Question);
        break;
    case MsgIconInformation:
        box.setIcon(QMessageBox::Information);
        break;
    case MsgIconWarning:
        box.setIcon(QMessageBox::Warning);
        break;
    case MsgIconCritical:
        box.setIcon(QMessageBox::Critical);
        break;
    default:
        break;
    }

    box.exec();

    QAbstractButton *clicked = box.clickedButton();
    if (!clicked)
        return 0;
    if (clicked == okButton)
        return MsgBtnOk;
    if (clicked == cancelButton)
        return MsgBtnCancel;
    if (clicked == yesButton)
        return MsgBtnYes;
    if (clicked == noButton)
        return MsgBtnNo;
    return 0;
}
