#include "CMVInstallWnd.h"

#include "CImageMgr.h"
#include "Platform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QPainter>
#include <QSettings>
#include <QTimer>

#include <memory>

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

// ---------------------------------------------------------------------------
// Completion steps: the all-users shortcuts and the product's entry in the
// list of installed programs.

namespace {

// A folder named in the Shell Folders key, with forward slashes. A missing or
// empty value falls back to the platform's standard folder, so that no
// shortcut lands in the root of the file system.
QString shellFolder(QSettings &shellFolders, const QString &name, Platform::StandardFolder fallback)
{
    QString folder = shellFolders.value(name, QString()).toString();
    folder.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (folder.isEmpty())
        folder = Platform::standardFolder(fallback);
    return folder;
}

// Makes the shortcut linkPath to target. A shortcut file or link left at the
// same path by an earlier installation is replaced, so the shortcut always
// leads to this installation; a folder of that name is never touched.
void makeShortcut(const QString &target, const QString &linkPath)
{
    const QFileInfo existing(linkPath);
    if (Platform::isLink(existing) || existing.isFile())
        QFile::remove(linkPath);
    Platform::createLink(target, linkPath);
}

} // namespace

void CMVInstallWnd::CreateShortcuts()
{
    const QString mainExe = installDir + productName + QStringLiteral(".exe");
    const QString uninstaller = installDir + QStringLiteral("uninstall.exe");
    const std::unique_ptr<QSettings> shellFolders = Platform::openRegistryKey(
            QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\"
                           "Explorer\\Shell Folders"));

    const QString desktop = shellFolder(*shellFolders, QStringLiteral("Common Desktop"),
                                        Platform::StandardFolder::CommonDesktop);
    makeShortcut(mainExe, desktop + QLatin1Char('/') + productName + QStringLiteral(".lnk"));

    const QString programs = shellFolder(*shellFolders, QStringLiteral("Common Programs"),
                                         Platform::StandardFolder::CommonPrograms);
    const QString group = programs + QLatin1Char('/') + QStringLiteral("Mirevale");
    QDir(programs).mkpath(group);
    makeShortcut(mainExe, group + QLatin1Char('/') + productName + QStringLiteral(".lnk"));
    makeShortcut(uninstaller, group + QLatin1Char('/') + tr("uninstall") + QStringLiteral(".lnk"));
}

void CMVInstallWnd::RegisterUninstall()
{
    const QString mainExe = installDir + productName + QStringLiteral(".exe");
    QString uninstaller = installDir + QStringLiteral("uninstall.exe");
    uninstaller.replace(QLatin1Char('/'), QLatin1Char('\\'));

    const std::unique_ptr<QSettings> uninstall = Platform::openRegistryKey(
            QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\"
                           "Uninstall"));
    uninstall->setValue(QStringLiteral("Mirevale/DisplayIcon"), mainExe);
    uninstall->setValue(QStringLiteral("Mirevale/DisplayName"), productName);
    uninstall->setValue(QStringLiteral("Mirevale/NoModify"), 1);
    uninstall->setValue(QStringLiteral("Mirevale/NoRepair"), 1);
    uninstall->setValue(QStringLiteral("Mirevale/Publisher"), tr("Manufacture"));
    uninstall->setValue(QStringLiteral("Mirevale/DisplayVersion"), QStringLiteral("3.0"));
    // Quoted: the path holds a space, and an unquoted command line would let
    // Windows try C:\Program.exe first.
    uninstall->setValue(QStringLiteral("Mirevale/UninstallString"),
                        QLatin1Char('"') + uninstaller + QLatin1Char('"'));
}
