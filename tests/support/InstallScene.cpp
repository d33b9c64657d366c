#include "InstallScene.h"

#include "CMVInstallWnd.h"
#include "ExitCode.h"
#include "Platform.h"
#include "RootSnapshot.h"
#include "TestArchives.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>

#include <memory>

InstallScene::InstallScene(const QString &rootName, const QString &setupName)
    : m_root(m_base.path() + QLatin1Char('/') + rootName)
    , m_setup(m_base.path() + QLatin1Char('/') + setupName)
{
    QDir().mkpath(m_root);
    QDir().mkpath(m_setup);
    qputenv("MIREVALE_SYSTEM_ROOT", QFile::encodeName(m_root));
}

bool InstallScene::prepareSystem(int bulkKeys)
{
    {
        const std::unique_ptr<QSettings> software
                = Platform::openRegistryKey(QStringLiteral("HKEY_LOCAL_MACHINE\\Software"));
        software->setValue(QStringLiteral("Other Vendor/Tool/Path"),
                           QStringLiteral("C:\\Program Files\\Other App"));
        software->setValue(QStringLiteral("Other Vendor/Tool/Runs"), 42);
        software->setValue(QStringLiteral("Microsoft/Windows/CurrentVersion/Uninstall/Other "
                                          "Product/DisplayName"),
                           QStringLiteral("Other Product"));
        software->sync();
        if (software->status() != QSettings::NoError)
            return false;
    }
    QFile hive(m_root + QStringLiteral("/Windows/registry/HKEY_LOCAL_MACHINE.reg"));
    if (!hive.open(QIODevice::Append))
        return false;
    hive.write("[HKEY_LOCAL_MACHINE\\Software\\Other Vendor\\Binary]\n\"Blob\"=hex:01,02,ff\n\n");
    for (int i = 0; i < bulkKeys; ++i)
        hive.write(QByteArray("[HKEY_LOCAL_MACHINE\\Software\\Classes\\Bulk")
                   + QByteArray::number(i) + "]\n\"Handler\"=\"Bulk handler "
                   + QByteArray::number(i) + "\"\n\n");
    hive.close();

    const QString r = m_root + QLatin1Char('/');
    return TestArchives::writeFile(r + QStringLiteral("Program Files/Other App/app.exe"), "other")
            && TestArchives::writeFile(r + QStringLiteral("Program Files/Mirevale Tools/t.txt"),
                                       "t")
            && TestArchives::writeFile(r + QStringLiteral("ProgramData/Other/config.ini"), "[a]\n")
            && TestArchives::writeFile(r + QStringLiteral("ProgramData/Mirevale.bak/keep.txt"), "k")
            && TestArchives::writeFile(r + QStringLiteral("Windows/System32/kernel32.dll"), "k32")
            && TestArchives::writeFile(r + QStringLiteral("Users/Public/Desktop/notes.txt"), "n")
            && TestArchives::writeFile(r
                                               + QStringLiteral("ProgramData/Microsoft/Windows/"
                                                                "Start Menu/Programs/Other/o.lnk"),
                                       "o")
            && QFile::link(r + QStringLiteral("Program Files/Other App/app.exe"),
                           r + QStringLiteral("Users/Public/Desktop/Other App.lnk"));
}

bool InstallScene::writeOldInstallation(int programFiles, int dataFiles)
{
    for (int i = 0; i < programFiles; ++i) {
        if (!TestArchives::writeFile(
                    programDir() + QStringLiteral("/old%1/file%2.dat").arg(i % 25).arg(i), "old"))
            return false;
    }
    for (int i = 0; i < dataFiles; ++i) {
        if (!TestArchives::writeFile(
                    dataDir() + QStringLiteral("/decks%1/deck%2.csv").arg(i % 10).arg(i), "d"))
            return false;
    }
    return true;
}

bool InstallScene::installPayload(const QString &programArchive, const QString &dataArchive)
{
    const QString exe = m_setup + QStringLiteral("/7z.exe");
    const bool copied = QFile::copy(programArchive, m_setup + QStringLiteral("/tarvo.cab"))
            && QFile::copy(dataArchive, m_setup + QStringLiteral("/data.cab"))
            && QFile::copy(TestArchives::frontEnd(), exe)
            && QFile::setPermissions(exe, QFile::permissions(TestArchives::frontEnd()));
    m_sealTable = copied ? TestArchives::sealTable(m_setup) : QByteArray();
    return !m_sealTable.isEmpty();
}

bool InstallScene::giveToNobody()
{
    return QProcess::execute(QStringLiteral("chown"),
                             {QStringLiteral("-R"), QStringLiteral("-h"),
                              QStringLiteral("nobody:nogroup"), m_base.path()})
            == 0;
}

void InstallScene::snapshot()
{
    m_listing = RootSnapshot::listing(m_root, RootSnapshot::installerPlaces());
    m_registry = RootSnapshot::registry(m_root);
}

InstallDriver::Report InstallScene::run(InstallDriver::Params params) const
{
    params.systemRoot = m_root;
    params.payloadDir = m_setup;
    params.sealTable = m_sealTable;
    return InstallDriver::run(params);
}

// The exit code each ending must give, as a POSIX parent sees it (low 8
// bits): completed, stopped, or failed (any failure's code but those two).
int InstallScene::expectedExitCode(const InstallDriver::Report &report)
{
    if (report.state == CMVInstallWnd::StateFinished)
        return ExitCode::Completed;
    if (report.cancelled) // a stop that came after both extractions completes
        return report.succeeded ? int(ExitCode::Completed) : ExitCode::UserStopped & 0xff;
    const int code = report.exitCode;
    return code != ExitCode::Completed && code != (ExitCode::UserStopped & 0xff) ? code : -1;
}

QStringList InstallScene::problems(const InstallDriver::Report &report,
                                   const QString &leftOver) const
{
    QStringList found;
    if (!report.finishedInTime)
        found << QStringLiteral("the installer did not end in time");
    if (report.crashed)
        found << QStringLiteral("the installer crashed");
    else if (report.exitCode != expectedExitCode(report))
        found << QStringLiteral("exit code %1").arg(report.exitCode);
    for (qint64 pid : report.extractors) {
        if (TestArchives::processAlive(pid))
            found << QStringLiteral("extractor %1 still runs").arg(pid);
    }
    for (qint64 pid : InstallDriver::processesMentioning(m_base.path()))
        found << QStringLiteral("process %1 still runs on the scene").arg(pid);
    // The program after Finished; nothing after a stop (the worker puts the
    // old installation back) or a failure.
    const int opens = report.state == CMVInstallWnd::StateFinished ? 1 : 0;
    if (report.opened.size() != opens)
        found << QStringLiteral("the shell was asked to open %1 things").arg(report.opened.size());
    if (report.succeeded && !report.cancelled && report.state != 2)
        found << QStringLiteral("a successful installation did not show Finished");
    const QStringList listing = RootSnapshot::differences(
            m_listing, RootSnapshot::listing(m_root, RootSnapshot::installerPlaces()));
    for (const QString &line : listing) {
        if (leftOver.isEmpty() || !line.startsWith(QStringLiteral("new: ") + leftOver))
            found << QStringLiteral("file system: ") + line;
    }
    const QStringList registry
            = RootSnapshot::differences(m_registry, RootSnapshot::registry(m_root));
    for (const QString &line : registry)
        found << QStringLiteral("registry: ") + line;
    if (!found.isEmpty())
        found << QStringLiteral("driver output:\n") + report.output;
    return found;
}
