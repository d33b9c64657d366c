#pragma once

#include "CImageMgr.h"
#include "CInstallPaths.h"
#include "InstallFailure.h"

#include <QString>
#include <QWidget>

class QCloseEvent;
class QPixmap;
class QTimer;
class CImageBKButton;
class CMVCheckBox;
class CXCopyThread;

// The installer's one window: a frameless, translucent 660 by 430 surface
// painted from the bundle's artwork, with the close button, the publisher
// line, the Install button and the agreement check box with its link.
class CMVInstallWnd : public QWidget
{
    Q_OBJECT

public:
    // StateFailed: the worker ended without a usable installation; the
    // window says why, and may start again from there (see InstallFailure).
    enum InstallState { StateIdle = 0, StateInstalling = 1, StateFinished = 2, StateFailed = 3 };

    // The window's size in logical pixels, the background's too.
    static constexpr QSize WindowSize {660, 430};

    // The larger pictures the window's construction asks for, to be decoded
    // ahead on another core (CImageMgr::prefetch).
    static QVector<CImageMgr::Prefetch> ImagesToPrefetch();

    explicit CMVInstallWnd(QWidget *parent = nullptr);
    ~CMVInstallWnd() override;

    void InitWidgets();

    // Installs with no window and no message box (the /S switch): what a
    // box would say goes to the log; the event loop ends with the exit code
    // when the installation has ended. The agreement counts as accepted.
    void InstallUnattended();

protected:
    void paintEvent(QPaintEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private slots:
    void OnInstallBtnClked();
    void OnCloseBtnClked();
    void OnLinkBtnClked();
    void OnThreadFinished();
    void OnTimer1();
    void OnTimer2();

protected:
    // Where an installation stands while installState is StateInstalling.
    enum class InstallingStep {
        Working, // the worker runs, nothing asked
        Asking, // the stop question is on screen, the worker runs
        AskingWorkerDone, // the stop question is on screen, the worker has
                          // ended without a usable installation
        Stopping, // the user said yes: the worker is asked to stop
        Leaving // the window is closing itself after a stop
    };

    QPixmap *backgroundPixmap = nullptr;
    CImageBKButton *installButton = nullptr;
    CMVCheckBox *agreeCheckBox = nullptr;
    CImageBKButton *linkButton = nullptr;
    int installState = StateIdle;
    QString productName;
    QString installDir;
    CXCopyThread *copyThread = nullptr;
    QTimer *timer1 = nullptr;
    QTimer *timer2 = nullptr;
    int slideIndex = -1;
    int frameIndex = -1;
    bool cancelRequested = false;

    InstallingStep installingStep = InstallingStep::Working;
    // Every folder of the installation, resolved when it starts; until then
    // only the paths below the program folder.
    CInstallPaths installPaths;
    // Why the last run failed, in StateFailed.
    InstallFailure failure;
    bool unattended = false;

    // Completion steps of a successful installation, run by OnThreadFinished
    // with installPaths.
    void CreateShortcuts();
    void RegisterUninstall();

private:
    void InitData();
    void StartInstallation();
    void EndInstallation();
    void ShowFailure();
    void LeaveAfterStop();
    void Quit(int exitCode);
};
