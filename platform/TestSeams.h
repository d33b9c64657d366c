#pragma once

// The one place where a test reaches into an installation: what the
// installer would otherwise take from its own folder and from the system.
//
// It exists only in test builds. The installer's code is compiled twice:
// once as shipped, where MIREVALE_TEST_SEAMS is not defined and nothing below
// exists, and once for the tests and benchmarks, which define it and provide
// TestSeams::current() (tests/support/TestSeams.cpp). So the shipped
// installer cannot be made to skip a check or run something else through it:
// there is no code in it that reads a seam.

#ifdef MIREVALE_TEST_SEAMS

#include "Platform.h"

#include <QByteArray>
#include <QString>

#include <functional>

struct TestSeams
{
    // Where 7z.exe and the archives are taken from instead of the
    // installer's own folder; empty: the installer's folder.
    QString payloadDir;

    // The seal the installer checks its payload against, in place of the
    // one scripts/seal writes into the image: the table after the block's
    // marker line ("sealed\n<size> <sha256> <name>\n...end\n"). Empty: the
    // image's own block, which in a test program is never sealed.
    QByteArray sealTable;

    // While set, programs the installer would open through the shell
    // (the installed program, the uninstaller) are handed to it instead,
    // with the rights they would run with, and nothing is started.
    std::function<void(const QString &path, Platform::ShellOpenAs as)> shellOpen;

    // While set, the free space the worker's check before unpacking sees on
    // the volume of a path (Platform::freeSpace otherwise).
    std::function<qint64(const QString &path)> freeSpace;

    // The seams of this process. Tests set them before the installation
    // starts and reset them (current() = TestSeams()) when done.
    static TestSeams &current();
};

#endif
