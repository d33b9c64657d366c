#include "RunInstaller.h"

#include "CAccessibleFactory.h"
#include "CImageMgr.h"
#include "CMVInstallWnd.h"
#include "ExitCode.h"
#include "InstallLog.h"
#include "InstallOptions.h"
#include "InstanceLock.h"
#include "Platform.h"
#include "Product.h"
#include "ProductVersion.h"
#include "ShowMessageBox.h"

#include <QAccessible>
#include <QApplication>
#include <QTranslator>

bool PrepareInstallerProcess()
{
    if (!Platform::restrictDllSearch())
        return false;
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
            Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
    QAccessible::installFactory(CAccessibleFactory::create);
    return true;
}

int RunInstaller(int argc, char *argv[], const std::function<void(QWidget *window)> &beforeShow)
{
    // Where DLLs would still be searched for in the installer's folder, it
    // ends before anything else is loaded, a message box included (its
    // theme's DLLs are no KnownDLLs): "the installation failed".
    if (!PrepareInstallerProcess())
        return ExitCode::Failed;
    QApplication app(argc, argv);

    // The bundle's translation is always in force, whatever the system language.
    QTranslator translator;
    translator.load(QStringLiteral(":/trans/trans_iss.qm"));
    app.installTranslator(&translator);

    const InstallOptions options = InstallOptions::parse(app.arguments().mid(1));
    if (!options.isValid() || options.help) {
        if (!options.silent)
            ShowMessageBox(nullptr, CMVInstallWnd::tr("MV Setup"), InstallOptions::usage(),
                           MsgBtnOk | MsgIconInformation);
        return ExitCode::BadCommandLine;
    }

    // One installer at a time. A lock that cannot be made at all (Wine has
    // no private namespaces) does not keep anyone from installing.
    Platform::InstanceLock lock(QStringLiteral("MirevaleSetup"));
    if (lock.tryAcquire() == Platform::InstanceLock::State::Busy) {
        Platform::InstanceLock::bringToFront(CMVInstallWnd::tr("MV Setup"));
        return ExitCode::AnotherInstallation;
    }

    if (InstallLog::open(options.logPath).isEmpty() && !options.logPath.isEmpty()) {
        // A log was asked for where none can be made safely: refuse rather
        // than run unrecorded.
        if (!options.silent)
            ShowMessageBox(nullptr, CMVInstallWnd::tr("MV Setup"),
                           CMVInstallWnd::tr("The log file %1 cannot be created: it exists "
                                             "already or its folder cannot be written.")
                                   .arg(options.logPath),
                           MsgBtnOk | MsgIconWarning);
        return ExitCode::BadCommandLine;
    }
    InstallLog::write(QStringLiteral("%1 %2").arg(QStringLiteral(MIREVALE_FOLDER_NAME " Setup"),
                                                  QStringLiteral(MIREVALE_VERSION)));
    InstallLog::write(
            QStringLiteral("command line: %1").arg(app.arguments().join(QLatin1Char(' '))));
    if (lock.state() != Platform::InstanceLock::State::Held)
        InstallLog::write(QStringLiteral("the one-installer lock could not be made"));

    // Decode the larger pictures on a second core while the window's
    // construction loads the system's style and font configuration.
    if (!options.silent)
        CImageMgr::instance()->prefetch(CMVInstallWnd::ImagesToPrefetch());

    CMVInstallWnd window(nullptr);
    window.InitWidgets();
    if (options.silent) {
        window.InstallUnattended();
    } else {
        if (beforeShow)
            beforeShow(&window);
        window.show();
    }
    const int exitCode = app.exec();
    InstallLog::close();
    return exitCode;
    // window, lock, translator and app are destroyed in this order on return.
}
