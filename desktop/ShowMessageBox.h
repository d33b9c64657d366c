#pragma once

#include <QString>

class QWidget;

// The flag word of ShowMessageBox: the low byte chooses the buttons (any
// combination; 0 means Ok alone), the second byte one icon. The result of a
// click is the flag of the clicked button.
enum MessageBoxFlag {
    MsgBtnOk = 0x01,
    MsgBtnCancel = 0x02,
    MsgBtnYes = 0x04,
    MsgBtnNo = 0x08,
    MsgIconQuestion = 0x100,
    MsgIconInformation = 0x200,
    MsgIconWarning = 0x400,
    MsgIconCritical = 0x800
};

// Shows a modal message box in the installer's font with translated buttons
// and returns MsgBtnOk, MsgBtnCancel, MsgBtnYes or MsgBtnNo for the button
// the user chose, or 0 when the box was answered with none of them.
int ShowMessageBox(QWidget *parent, const QString &title, const QString &text, int flags);
