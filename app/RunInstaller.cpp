#include "RunInstaller.h"

#include "CAccessibleFactory.h"
#include "CImageMgr.h"
#include "CMVInstallWnd.h"
#include "Platform.h"

#include <QAccessible>
#include <QApplication>
#include <QTranslator>

void PrepareInstallerProcess()
{
    Platform::restrictDllSearch();
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
            Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
    QAccessible::installFactory(CAccessibleFactory::create);
}

int RunInstaller(int argc, char *argv[], const std::function<void(QWidget *window)> &beforeShow)
{
    PrepareInstallerProcess();
    QApplication app(argc, argv);

    // The bundle's translation is always in force, whatever the system language.
    QTranslator translator;
    translator.load(QStringLiteral(":/trans/trans_iss.qm"));
    app.installTranslator(&translator);

    // The background is the largest picture: decode it on a second core while
    // the window's construction loads the system's font configuration.
    CImageMgr::instance()->prefetch(QStringLiteral("background.png"));

    CMVInstallWnd window(nullptr);
    window.InitWidgets();
    if (beforeShow)
        beforeShow(&window);
    window.show();
    return app.exec();
    // window, translator and app are destroyed in this order on return.
}
