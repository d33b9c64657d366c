// The installer's start-up, through the same function as main. Ends after
// the window's first frame.

#include "FirstPaintProbe.h"
#include "RunInstaller.h"

int main(int argc, char *argv[])
{
    return RunInstaller(argc, argv, [](QWidget *window) { new FirstPaintProbe(window); });
}
