#include "CAccessibleFactory.h"
#include "CImageMgr.h"
#include "CMVInstallWnd.h"
#include "Platform.h"

#include <QAccessible>
#include <QApplication>
#include <QTranslator>

int main(int argc, char *argv[])
{
    Platform::restrictDllSearch();

    // Scaled with the display, at its exact ratio (150 % stays 1.5), and the
    // accessible interfaces of the kit's controls for screen readers.
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
            Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
    QAccessible::installFactory(CAccessibleFactory::create);
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
    window.show();
    return app.exec();
    // window, translator and app are destroyed in this order on return.
}
