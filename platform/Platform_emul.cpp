// Emulation of the platform layer for systems other than Windows.
// (Placeholder until the emulation lands: a system root only.)
#include "Platform.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace Platform {

QString systemRoot()
{
    QString root = qEnvironmentVariable("MIREVALE_SYSTEM_ROOT");
    if (root.isEmpty())
        root = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
                + QStringLiteral("/Mirevale Setup/system-root");
    root = QDir::cleanPath(QDir::fromNativeSeparators(root));
    QDir().mkpath(root);
    return root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/');
}

} // namespace Platform
