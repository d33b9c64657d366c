#pragma once

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

private:
    void InitData();
    void LeaveAfterStop();

    // Completion steps of a successful installation, run by OnThreadFinished.
    void CreateShortcuts();
    void RegisterUninstall();

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

    // Bookkeeping of the ways out: the worker has delivered its finished(),
    // the stop question is on screen, the window is closing itself.
    bool threadEnded = false;
    bool questionOpen = false;
    bool leaving = false;
    // Where the worker takes 7z.exe and the archives from; empty means the
    // installer's own folder. Only tests set it.
    QString payloadDir;

    friend class TestInstallWnd;
    friend class InstallDriver;
};
