#pragma once

#include "CXCopyThread.h"

#include <QString>

// What the window makes of an installation that ended without a usable
// result: the sentence for the user (what happened, what to do), the exit
// code, and whether another try can help.
struct InstallFailure
{
    QString message; // empty when the outcome is no failure
    int exitCode = 0;
    // Nothing was changed and the cause can go away (the product closed, a
    // file freed, space made): the Install button offers another try.
    bool retryable = false;

    // productName names the product in "close it first".
    static InstallFailure of(const CXCopyThread::Outcome &outcome, const QString &productName);
};
