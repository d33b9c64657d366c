// The installer's start-up, step for step as in main: translator, window,
// InitWidgets, show. Ends after the window's first frame.

#include "CAccessibleFactory.h"
#include "CImageMgr.h"
#include "CMVInstallWnd.h"
#include "FirstPaintProbe.h"

#include <QAccessible>
#include <QApplication>
#include <QTranslator>

int main(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
            Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
    QAccessible::installFactory(CAccessibleFactory::create);
    QApplication app(argc, argv);
    QTranslator translator;
    translator.load(QStringLiteral(":/trans/trans_iss.qm"));
    app.installTranslator(&translator);

    // The background is the largest picture: decode it on a second core while
    // the window's construction loads the system's font configuration.
    CImageMgr::instance()->prefetch(QStringLiteral("background.png"));

    CMVInstallWnd window(nullptr);
    window.InitWidgets();
    FirstPaintProbe probe(&window);
    window.show();
    return app.exec();
}
