#include "CMVInstallWnd.h"

#include "CImageMgr.h"
#include "Platform.h"

#include <QIcon>
#include <QPainter>
#include <QTimer>

CMVInstallWnd::CMVInstallWnd(QWidget *parent) : QWidget(parent)
{
    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowMaximizeButtonHint);
    setFixedSize(660, 430);
    setWindowTitle(tr("MV Setup"));
    setWindowIcon(QIcon(*CImageMgr::instance()->getPixmap(QStringLiteral("app_icon.png"),
                                                          QSize(50, 50))));
    setAttribute(Qt::WA_TranslucentBackground, true);
    InitData();
}

CMVInstallWnd::~CMVInstallWnd()
{
    delete timer1;
    timer1 = nullptr;
}

void CMVInstallWnd::InitData()
{
    productName = tr("Mirevale");
    // The system drive's root: QDir::rootPath() on Windows, the emulated root
    // elsewhere.
    installDir = Platform::systemRoot() + QStringLiteral("Program Files/")
            + QStringLiteral("Mirevale") + QStringLiteral("/");
    installState = StateIdle;
    slideIndex = -1;
    frameIndex = -1;
    copyThread = nullptr;
    cancelRequested = false;

    timer1 = new QTimer(this);
    connect(timer1, SIGNAL(timeout()), this, SLOT(OnTimer1()));
    timer2 = new QTimer(this);
    connect(timer2, SIGNAL(timeout()), this, SLOT(OnTimer2()));
}

void CMVInstallWnd::InitWidgets()
{
    const int W = width();
    const int H = height();

    // 1. Background, held at exactly the window's size.
    backgroundPixmap = CImageMgr::instance()->getPixmap(QStringLiteral("background.png"), QSize(W, H));
    *backgroundPixmap = backgroundPixmap->scaled(W, H, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

void CMVInstallWnd::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (backgroundPixmap)
        painter.drawPixmap(QRectF(0, 0, width(), height()), *backgroundPixmap,
                           QRectF(backgroundPixmap->rect()));
    painter.end();
}

void CMVInstallWnd::OnInstallBtnClked() { }

void CMVInstallWnd::OnCloseBtnClked() { }

void CMVInstallWnd::OnLinkBtnClked() { }

void CMVInstallWnd::OnThreadFinished() { }

void CMVInstallWnd::OnTimer1() { }

void CMVInstallWnd::OnTimer2() { }
