#pragma once

#include <functional>

class QWidget;

// The installer's start-up and event loop, in this order: DLL search
// restricted to the system folder, QApplication, the bundle's translation,
// the window with its widgets, show, exec. main calls it; so does the
// start-up benchmark, which hands in beforeShow to watch the window's first
// frame. Returns the event loop's result, the process exit code.
int RunInstaller(int argc, char *argv[],
                 const std::function<void(QWidget *window)> &beforeShow = nullptr);
