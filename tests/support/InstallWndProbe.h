#pragma once

// The installer window as the tests see it: the same window, with the state
// it keeps for its subclasses made public. Tests that drive it through its
// child widgets read here where the installation stands, and the painting
// tests put it into a state directly.

#include "CMVInstallWnd.h"

class InstallWndProbe : public CMVInstallWnd
{
public:
    using CMVInstallWnd::CMVInstallWnd;

    using CMVInstallWnd::agreeCheckBox;
    using CMVInstallWnd::backgroundPixmap;
    using CMVInstallWnd::cancelRequested;
    using CMVInstallWnd::copyThread;
    using CMVInstallWnd::frameIndex;
    using CMVInstallWnd::installButton;
    using CMVInstallWnd::installDir;
    using CMVInstallWnd::installPaths;
    using CMVInstallWnd::installState;
    using CMVInstallWnd::linkButton;
    using CMVInstallWnd::productName;
    using CMVInstallWnd::slideIndex;
    using CMVInstallWnd::timer1;
    using CMVInstallWnd::timer2;
    using CMVInstallWnd::failure;

    using CMVInstallWnd::CreateShortcuts;
    using CMVInstallWnd::RegisterUninstall;

    // The window has seen its worker end (finished() delivered).
    bool workerEnded() const
    {
        return installState == StateFinished || installState == StateFailed
                || installingStep == InstallingStep::AskingWorkerDone
                || installingStep == InstallingStep::Leaving;
    }
};
