#pragma once

#include <functional>

class QWidget;

// What the process sets before its QApplication exists: DLLs from the system
// folder only, scaling with the display at its exact ratio (150 % stays 1.5),
// and the accessible interfaces of the kit's controls for screen readers.
// False when the DLL search cannot be restricted (Platform::restrictDllSearch):
// then nothing else is set and the installer ends.
bool PrepareInstallerProcess();

// The installer's start-up and event loop, in this order:
// PrepareInstallerProcess, QApplication, the bundle's translation, the window
// with its widgets, show, exec. main calls it; so does the
// start-up benchmark, which hands in beforeShow to watch the window's first
// frame. Returns the event loop's result, the process exit code.
int RunInstaller(int argc, char *argv[],
                 const std::function<void(QWidget *window)> &beforeShow = nullptr);
