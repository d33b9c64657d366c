#include "CMVInstallWnd.h"

#include "CBaseLabel.h"
#include "CFontMgr.h"
#include "CImageBKButton.h"
#include "CImageButton.h"
#include "CImageMgr.h"
#include "CInstallPaths.h"
#include "CMVCheckBox.h"
#include "CXCopyThread.h"
#include "ExitCode.h"
#include "InstallLog.h"
#include "Platform.h"
#include "Product.h"
#include "ProductVersion.h"
#include "ShellOpen.h"
#include "ShowMessageBox.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QIcon>
#include <QPainter>
#include <QSettings>
#include <QTimer>
#include <QtMath>

#include <memory>

namespace {

QString iconImage()
{
    return QStringLiteral("app_icon.png");
}
constexpr QSize iconSize(50, 50);

QString backgroundImage()
{
    return QStringLiteral("background.png");
}

} // namespace

QVector<CImageMgr::Prefetch> CMVInstallWnd::ImagesToPrefetch()
{
    return {{iconImage(), iconSize}, {backgroundImage(), WindowSize}};
}

CMVInstallWnd::CMVInstallWnd(QWidget *parent)
    : QWidget(parent)
{
    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowMaximizeButtonHint);
    setFixedSize(WindowSize);
    setWindowTitle(tr("MV Setup"));
    setWindowIcon(QIcon(*CImageMgr::instance()->getPixmap(iconImage(), iconSize)));
    setAttribute(Qt::WA_TranslucentBackground, true);
    InitData();
}

CMVInstallWnd::~CMVInstallWnd()
{
    // A worker still running is stopped and waited for: destroying a running
    // QThread aborts the process, and its extractor must not outlive us.
    if (copyThread) {
        copyThread->requestInterruption();
        copyThread->wait();
        delete copyThread;
        copyThread = nullptr;
    }
    delete timer1;
    timer1 = nullptr;
}

void CMVInstallWnd::InitData()
{
    productName = tr("Mirevale");
    // On the system drive's root: QDir::rootPath() on Windows, the emulated
    // root elsewhere.
    installPaths = CInstallPaths(productName);
    installDir = installPaths.programFolder() + QStringLiteral("/");
    installState = StateIdle;
    slideIndex = -1;
    frameIndex = -1;
    copyThread = nullptr;
    cancelRequested = false;
    installingStep = InstallingStep::Working;

    timer1 = new QTimer(this);
    connect(timer1, SIGNAL(timeout()), this, SLOT(OnTimer1()));
    timer2 = new QTimer(this);
    connect(timer2, SIGNAL(timeout()), this, SLOT(OnTimer2()));
    // The blocks grow on a beat a person sees: no coarse-timer slack.
    timer2->setTimerType(Qt::PreciseTimer);
}

void CMVInstallWnd::InitWidgets()
{
    CImageMgr *images = CImageMgr::instance();
    CFontMgr *fonts = CFontMgr::instance();
    const int W = width();
    const int H = height();

    // 1. Background, held at exactly the window's size (in logical pixels: on
    // a scaled display the pixmap keeps its device pixel ratio).
    backgroundPixmap = images->getPixmap(backgroundImage(), QSize(W, H));
    const qreal ratio = backgroundPixmap->devicePixelRatioF();
    *backgroundPixmap = backgroundPixmap->scaled(QSize(W, H) * ratio, Qt::IgnoreAspectRatio,
                                                 Qt::SmoothTransformation);
    backgroundPixmap->setDevicePixelRatio(ratio);

    // 2. Close button, 15 pixels from the right edge and 10 from the top.
    auto *closeButton = new CImageButton(this);
    QPixmap *closePixmap = images->getPixmap(QStringLiteral("close.png"));
    QPixmap *closeClickedPixmap = images->getPixmap(QStringLiteral("close_clicked.png"));
    const QSize closeSize = CImageMgr::logicalSize(*closePixmap);
    const int w = closeSize.width();
    const int h = closeSize.height();
    closeButton->setGeometry(W - 15 - w, 10, w, h);
    closeButton->setPixmaps(closePixmap, closeClickedPixmap, nullptr, nullptr);
    closeButton->setAccessibleName(tr("Close"));

    // 3. Publisher line, right edge 30 pixels from the window's.
    auto *companyLabel = new CBaseLabel(this);
    QFont *smallFont = fonts->getFont(8);
    const QString companyText = tr("company name");
    // Measured to the next whole pixel: the label lays its text out with
    // fractional advances, and a width rounded down would wrap the line.
    const int t = qCeil(QFontMetricsF(*smallFont).horizontalAdvance(companyText));
    companyLabel->setGeometry(W - 30 - t, 3 * H / 4 + 10, t, smallFont->pointSize() * 2);
    companyLabel->setTextColor(QColor(255, 255, 255, 255));
    companyLabel->setFont(*smallFont);
    companyLabel->setLabelText(companyText);

    // 4. Install button, bottom centre.
    installButton = new CImageBKButton(this);
    installButton->setGeometry((W - 155) / 2, H - 54, 155, 43);
    QPixmap *buttonPixmap = images->getPixmap(QStringLiteral("button.png"), QSize(155, 43));
    installButton->setBkPixmaps(buttonPixmap, buttonPixmap, buttonPixmap, nullptr);
    installButton->setTextColor(QColor(255, 255, 255, 255));
    installButton->setFonts(fonts->getFont(17), nullptr);
    installButton->setTexts(tr("Install"), QString());

    // 5. Agreement check box, widened to fit its text.
    agreeCheckBox = new CMVCheckBox(this);
    agreeCheckBox->setGeometry(30, H - 49, 50, 30);
    const QSize indicator = agreeCheckBox->indicatorSize();
    const QSize textArea = agreeCheckBox->textAreaSize();
    const QFontMetrics smallMetrics(*smallFont);
    const QString checkText = tr("check content");
    const int u = smallMetrics.horizontalAdvance(checkText);
    if (u > textArea.width())
        agreeCheckBox->setGeometry(agreeCheckBox->x(), H - 49, 50 + (u - textArea.width()), 30);
    QPixmap *checkedNormal = images->getPixmap(QStringLiteral("checked_normal.png"), indicator);
    QPixmap *checkedHover = images->getPixmap(QStringLiteral("checked_hover.png"), indicator);
    QPixmap *unchecked = images->getPixmap(QStringLiteral("unchecked.png"), indicator);
    QPixmap *uncheckedHover = images->getPixmap(QStringLiteral("unchecked_hover.png"), indicator);
    agreeCheckBox->setPixmaps(checkedNormal, unchecked, checkedHover, uncheckedHover, nullptr);
    agreeCheckBox->m_alignment = Qt::AlignLeft | Qt::AlignVCenter;
    agreeCheckBox->setText(checkText);
    agreeCheckBox->m_font = smallFont;
    agreeCheckBox->m_textColor = QColor(100, 100, 100, 255);

    // 6. Agreement link, centred in the gap between the box and the Install button.
    linkButton = new CImageBKButton(this);
    const QString linkText = tr("Link");
    const int k = smallMetrics.horizontalAdvance(linkText);
    const int r = agreeCheckBox->x() + agreeCheckBox->width() - 1;
    const int x = installButton->x();
    linkButton->setGeometry(r + (x - r - k) / 2, agreeCheckBox->y(), k, agreeCheckBox->height());
    linkButton->setTextColor(QColor(86, 118, 170, 255));
    linkButton->setFonts(smallFont, nullptr);
    linkButton->setButtonText(linkText, QString());

    // 7. Connections.
    connect(installButton, SIGNAL(clicked()), this, SLOT(OnInstallBtnClked()));
    connect(linkButton, SIGNAL(clicked()), this, SLOT(OnLinkBtnClked()));
    connect(closeButton, SIGNAL(clicked()), this, SLOT(OnCloseBtnClked()));
}

void CMVInstallWnd::paintEvent(QPaintEvent *)
{
    CImageMgr *images = CImageMgr::instance();
    const int W = width();
    const int H = height();

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (backgroundPixmap)
        painter.drawPixmap(QRectF(0, 0, W, H), *backgroundPixmap, QRectF(backgroundPixmap->rect()));

    if (slideIndex >= 0 && slideIndex <= 3) {
        QPixmap *slide = images->getPixmap(QStringLiteral("text%1.png").arg(slideIndex + 1));
        const QSize size = CImageMgr::logicalSize(*slide);
        painter.drawPixmap(QRectF((W - size.width()) / 2, H / 4, size.width(), size.height()),
                           *slide, QRectF(slide->rect()));
    }

    if (installState == StateInstalling && frameIndex >= 0) {
        int x = W / 3;
        const int y = 2 * H / 3;
        for (int i = 1; i <= frameIndex + 1; ++i) {
            QPixmap *block = images->getPixmap(QStringLiteral("b%1.png").arg(i));
            x += 25;
            const QSize size = CImageMgr::logicalSize(*block);
            painter.drawPixmap(QRectF(x, y, size.width(), size.height()), *block,
                               QRectF(block->rect()));
        }
    }
    painter.end();
}

void CMVInstallWnd::closeEvent(QCloseEvent *event)
{
    // A close from the system (Alt+F4, the taskbar, a session end) while the
    // installation runs must not end the event loop under a running worker:
    // refuse it and ask the stop question, as the close button does.
    if (installState == StateInstalling) {
        if (installingStep != InstallingStep::Leaving) {
            event->ignore();
            if (installingStep == InstallingStep::Working)
                QMetaObject::invokeMethod(this, "OnCloseBtnClked", Qt::QueuedConnection);
            return;
        }
        QWidget::closeEvent(event);
        return;
    }
    // However the window is closed otherwise, the run ends with what it came
    // to: completed, failed, or left before installing.
    QWidget::closeEvent(event);
    if (installState == StateFinished)
        Quit(ExitCode::Completed);
    else if (installState == StateFailed)
        Quit(failure.exitCode);
    else
        Quit(ExitCode::UserStopped);
}

void CMVInstallWnd::OnInstallBtnClked()
{
    if (installState == StateIdle) {
        if (agreeCheckBox->isChecked())
            StartInstallation();
    } else if (installState == StateFailed && failure.retryable) {
        // Nothing was changed and the cause may have gone: the whole
        // installation again, from its checks on.
        delete copyThread;
        copyThread = nullptr;
        frameIndex = -1;
        StartInstallation();
    } else if (installState == StateFinished) {
        close(); // ends the run, completed
        // The program runs as the signed-in user, not with the installer's
        // administrator rights, so that its files and settings are theirs.
        if (!ShellOpenAsUser(installPaths.mainExecutable()))
            InstallLog::write(
                    QStringLiteral("could not start %1").arg(installPaths.mainExecutable()));
    }
}

void CMVInstallWnd::InstallUnattended()
{
    unattended = true;
    agreeCheckBox->setChecked(true);
    StartInstallation();
}

void CMVInstallWnd::StartInstallation()
{
    installButton->setTexts(tr("Installing..."), QString());
    installButton->setInteractive(false);
    installButton->setAccessibleDescription(QString());
    agreeCheckBox->setInteractive(false);
    linkButton->setInteractive(false);
    ++slideIndex;
    if (slideIndex == 4)
        slideIndex = 0;
    installState = StateInstalling;
    installingStep = InstallingStep::Working;
    // The folders as the system names them now, for the whole installation.
    installPaths = CInstallPaths::resolve(productName);
    InstallLog::write(QStringLiteral("program folder: %1").arg(installPaths.programFolder()));
    InstallLog::write(QStringLiteral("data folder: %1").arg(installPaths.dataFolder()));
    InstallLog::write(QStringLiteral("desktop: %1; Programs menu: %2")
                              .arg(installPaths.desktopFolder(), installPaths.programsFolder()));
    timer1->start(5000);
    timer2->start(300);
    copyThread = new CXCopyThread(this);
    copyThread->setInstallPaths(installPaths);
    connect(copyThread, SIGNAL(finished()), this, SLOT(OnThreadFinished()));
    copyThread->start(QThread::InheritPriority);
}

void CMVInstallWnd::OnCloseBtnClked()
{
    if (installState != StateInstalling) {
        close(); // ends the run with its exit code
        return;
    }
    if (installingStep != InstallingStep::Working)
        return; // asking already, or stopping
    installingStep = InstallingStep::Asking;

    timer1->stop();
    timer2->stop();
    const int result
            = ShowMessageBox(this, QObject::tr("Question"),
                             QObject::tr("Do you want to stop MV-Install?"), MsgBtnYes | MsgBtnNo);
    // The worker may have ended without a usable installation while the
    // question was open.
    const bool workerFailed = installingStep == InstallingStep::AskingWorkerDone;
    installingStep = InstallingStep::Working;

    // The installation may have finished while the question was open: the
    // window then shows the finished state and the answer changes nothing.
    if (installState != StateInstalling)
        return;

    if (workerFailed) {
        // Nothing runs any more: yes leaves with the failure's code, any
        // other answer shows what went wrong.
        failure = InstallFailure::of(copyThread->outcome(), productName);
        if (result == MsgBtnYes) {
            installingStep = InstallingStep::Leaving;
            close();
            Quit(failure.exitCode);
        } else {
            EndInstallation();
        }
        return;
    }
    if (result == MsgBtnNo) {
        timer1->start();
        timer2->start();
    } else if (result == MsgBtnYes) {
        cancelRequested = true;
        installingStep = InstallingStep::Stopping;
        InstallLog::write(QStringLiteral("stop asked for by the user"));
        // The worker kills its extractor and returns; OnThreadFinished then
        // leaves.
        copyThread->requestInterruption();
    }
}

void CMVInstallWnd::OnLinkBtnClked() { }

void CMVInstallWnd::OnThreadFinished()
{
    if (cancelRequested) {
        LeaveAfterStop();
        return;
    }
    const bool usable
            = QFile::exists(installPaths.mainExecutable()) && copyThread->outcome().succeeded();
    // A failure while the stop question is open waits for its answer; a
    // finished installation completes at once.
    if (!usable && installingStep == InstallingStep::Asking) {
        installingStep = InstallingStep::AskingWorkerDone;
        return;
    }
    EndInstallation();
}

void CMVInstallWnd::EndInstallation()
{
    // A failed extraction counts like a missing main executable: nothing is
    // registered and the window does not report success.
    if (!QFile::exists(installPaths.mainExecutable()) || !copyThread->outcome().succeeded()) {
        ShowFailure();
        return;
    }

    CreateShortcuts();
    RegisterUninstall();

    installState = StateFinished;
    installButton->setInteractive(true);
    installButton->setTexts(tr("Finished"), QString());
    update();
    timer1->stop();
    timer2->stop();
    InstallLog::write(QStringLiteral("installation completed"));
    if (unattended)
        Quit(ExitCode::Completed);
}

void CMVInstallWnd::ShowFailure()
{
    failure = InstallFailure::of(copyThread->outcome(), productName);
    if (failure.message.isEmpty()) {
        // Both extractions reported success, yet the program is not there.
        failure.exitCode = ExitCode::Failed;
        failure.message = tr("The installation did not complete: %1 is missing after unpacking. "
                             "Please download the installer again.")
                                  .arg(QFileInfo(installPaths.mainExecutable()).fileName());
    }
    timer1->stop();
    timer2->stop();
    installState = StateFailed;
    installButton->setTexts(failure.retryable ? tr("Try again") : tr("Not installed"), QString());
    installButton->setInteractive(failure.retryable);
    // Screen readers hear the end: the failure as the Install button's
    // description, beside its new caption.
    installButton->setAccessibleDescription(tr("Installation failed"));
    update();
    InstallLog::write(QStringLiteral("failed: %1").arg(failure.message));
    if (unattended) {
        Quit(failure.exitCode);
        return;
    }
    ShowMessageBox(this, tr("Installation failed"), failure.message, MsgBtnOk | MsgIconWarning);
}

void CMVInstallWnd::LeaveAfterStop()
{
    installingStep = InstallingStep::Leaving;
    close();
    // The worker has put the old installation back (or, for a first one,
    // removed what it had placed): no uninstaller is needed. Only when the
    // stop came too late, after both extractions, is the new installation
    // there: then it is completed, never left unregistered.
    if (QFile::exists(installPaths.mainExecutable()) && copyThread->outcome().succeeded()) {
        InstallLog::write(QStringLiteral("the installation had finished before the stop"));
        CreateShortcuts();
        RegisterUninstall();
        Quit(ExitCode::Completed);
        return;
    }
    Quit(ExitCode::UserStopped);
}

void CMVInstallWnd::Quit(int exitCode)
{
    InstallLog::write(QStringLiteral("exit code %1").arg(exitCode));
    QCoreApplication::exit(exitCode);
}

void CMVInstallWnd::OnTimer1()
{
    ++slideIndex;
    if (slideIndex == 4)
        slideIndex = 0;
    update();
}

void CMVInstallWnd::OnTimer2()
{
    ++frameIndex;
    if (frameIndex == 10)
        frameIndex = -1;
    update();
}

// ---------------------------------------------------------------------------
// Completion steps: the all-users shortcuts and the product's entry in the
// list of installed programs.

namespace {

// Makes the shortcut linkPath to target. A shortcut file or link left at the
// same path by an earlier installation is replaced, so the shortcut always
// leads to this installation; a folder of that name is never touched.
void makeShortcut(const QString &target, const QString &linkPath)
{
    const QFileInfo existing(linkPath);
    // Qt on Windows reads a shortcut file as a link to its target: isFile()
    // is false for one that leads to a folder or to nothing, isSymLink() is
    // true. QFile::remove never removes a folder.
    if (Platform::isLink(existing) || existing.isSymLink() || existing.isFile())
        QFile::remove(linkPath);
    const bool made = Platform::createLink(target, linkPath);
    InstallLog::write(QStringLiteral("shortcut %1 -> %2%3")
                              .arg(linkPath, target,
                                   made ? QString() : QStringLiteral(" could not be made")));
}

} // namespace

void CMVInstallWnd::CreateShortcuts()
{
    // Without every all-users folder no shortcut is made: none lands in a
    // root or a relative folder.
    if (!installPaths.isComplete())
        return;
    const QString mainExe = installPaths.mainExecutable();
    makeShortcut(mainExe, installPaths.desktopShortcut());
    QDir(installPaths.programsFolder()).mkpath(installPaths.groupFolder());
    makeShortcut(mainExe, installPaths.programShortcut());
    makeShortcut(installPaths.uninstaller(), installPaths.uninstallShortcut(tr("uninstall")));
}

void CMVInstallWnd::RegisterUninstall()
{
    const QString mainExe = installPaths.mainExecutable();
    QString uninstaller = installPaths.uninstaller();
    uninstaller.replace(QLatin1Char('/'), QLatin1Char('\\'));

    const std::unique_ptr<QSettings> uninstall
            = Platform::openRegistryKey(QStringLiteral(MIREVALE_HKLM "\\" MIREVALE_UNINSTALL_KEY));
    const QString entry = QStringLiteral(MIREVALE_FOLDER_NAME "/");
    const auto set = [&](const QString &name, const QVariant &value) {
        uninstall->setValue(entry + name, value);
        InstallLog::write(QStringLiteral("uninstall entry: %1 = %2").arg(name, value.toString()));
    };
    set(QStringLiteral("DisplayIcon"), mainExe);
    set(QStringLiteral("DisplayName"), productName);
    set(QStringLiteral("NoModify"), 1);
    set(QStringLiteral("NoRepair"), 1);
    set(QStringLiteral("Publisher"), tr("Manufacture"));
    set(QStringLiteral("DisplayVersion"), QStringLiteral(MIREVALE_VERSION));
    // Quoted: the path holds a space, and an unquoted command line would let
    // Windows try C:\Program.exe first.
    set(QStringLiteral("UninstallString"), QLatin1Char('"') + uninstaller + QLatin1Char('"'));
}
