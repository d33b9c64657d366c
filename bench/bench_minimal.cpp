// The floor: the least a Qt program does to show a frameless translucent
// 660 by 430 window painting one pixmap. Ends after its first frame.

#include "FirstPaintProbe.h"

#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QWidget>

namespace {

class PixmapWindow : public QWidget
{
public:
    PixmapWindow()
        : m_pixmap(QStringLiteral(":/minimal/background.png"))
    {
        setWindowFlags(Qt::FramelessWindowHint);
        setAttribute(Qt::WA_TranslucentBackground, true);
        setFixedSize(660, 430);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.drawPixmap(rect(), m_pixmap);
    }

private:
    QPixmap m_pixmap;
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    PixmapWindow window;
    FirstPaintProbe probe(&window);
    window.show();
    return app.exec();
}
