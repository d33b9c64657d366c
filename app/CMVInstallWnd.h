#pragma once

#include "CInstallPaths.h"

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
    enum InstallState { StateIdle = 0, StateInstalling = 1, StateFinished = 2 };

    explicit CMVInstallWnd(QWidget *parent = nullptr);
    ~CMVInstallWnd() override;

    void InitWidgets();

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
        WorkerDone, // the worker has ended without a usable installation
        AskingWorkerDone, // the stop question is on screen, the worker has ended
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

    // Completion steps of a successful installation, run by OnThreadFinished
    // with installPaths.
    void CreateShortcuts();
    void RegisterUninstall();

private:
    void InitData();
    void LeaveAfterStop();
};
