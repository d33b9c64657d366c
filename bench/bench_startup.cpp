// The installer's start-up, step for step as in main: translator, window,
// InitWidgets, show. Ends after the window's first frame.

#include "CMVInstallWnd.h"
#include "FirstPaintProbe.h"

#include <QApplication>
#include <QTranslator>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTranslator translator;
    translator.load(QStringLiteral(":/trans/trans_iss.qm"));
    app.installTranslator(&translator);

    CMVInstallWnd window(nullptr);
    window.InitWidgets();
    FirstPaintProbe probe(&window);
    window.show();
    return app.exec();
}
