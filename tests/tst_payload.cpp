// The demo payload built into bin/: what it holds, its program, and its
// uninstaller, which must remove exactly what an installation made.

#include "ExitCode.h"
#include "InstanceLock.h"
#include "Platform.h"
#include "TestArchives.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

const QString productName = QStringLiteral("Tarvo高效学习法");
const QString shellFoldersKey = QStringLiteral(
        "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell "
        "Folders");
const QString uninstallKey = QStringLiteral(
        "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall");

QString shellFolder(const QString &name)
{
    return Platform::openRegistryKey(shellFoldersKey)
            ->value(name)
            .toString()
            .replace(QLatin1Char('\\'), QLatin1Char('/'));
}

bool extract(const QString &archive, const QString &folder)
{
    QProcess process;
    process.start(TestArchives::frontEnd(),
                  {QStringLiteral("x"), QStringLiteral("-yo") + folder,
                   QStringLiteral("-p") + TestArchives::installerPassword(),
                   QStringLiteral(MIREVALE_BIN_DIR "/") + archive});
    return process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit
            && process.exitCode() == 0;
}

// Everything below folder, folders included, links not followed.
QStringList entriesBelow(const QString &folder)
{
    QStringList entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        entries << QDir(folder).relativeFilePath(it.next());
    entries.sort();
    return entries;
}

} // namespace

class TestPayload : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void archivesAreSmall_data();
    void archivesAreSmall();
    void contents();
    void programLogsItsStarts();
    void uninstallerRemovesTheInstallation_data();
    void uninstallerRemovesTheInstallation();
    void uninstallerRefusesAForeignFolder();
    void commandLine_data();
    void commandLine();

private:
    QString programDir() const { return Platform::systemRoot() + "Program Files/Mirevale"; }
    QString dataDir() const { return shellFolder("Common AppData") + "/Mirevale"; }
    void install();
    int runInstaller(const QStringList &arguments);
    static int status(int exitCode);
    QString logPath() const;

    std::unique_ptr<QTemporaryDir> root;
};

void TestPayload::init()
{
    root = std::make_unique<QTemporaryDir>();
    QVERIFY(root->isValid());
    qputenv("MIREVALE_SYSTEM_ROOT", QFile::encodeName(root->path()));
}

void TestPayload::cleanup()
{
    root.reset();
}

// An installation as the installer makes it, unattended: both archives, the
// three shortcuts and the uninstall entry.
void TestPayload::install()
{
    QCOMPARE(runInstaller({QStringLiteral("/S")}), 0);
}

// The installer itself, in the test's system root, with a log of its own.
int TestPayload::runInstaller(const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(QStringLiteral(MIREVALE_BIN_DIR "/MirevaleSetup"),
                  QStringList(arguments) << QStringLiteral("/LOG=") + logPath());
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return -1;
    return process.exitCode();
}

// What a POSIX parent sees of an exit code: its low 8 bits (1639 arrives as
// 103); Windows passes all 32.
int TestPayload::status(int exitCode)
{
    return exitCode & 0xff;
}

QString TestPayload::logPath() const
{
    return root->path() + QStringLiteral("/setup.log");
}

// The exit codes deployment tools read, with what the log says.
void TestPayload::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("otherInstaller");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<bool>("installed");
    QTest::newRow("unattended") << QStringList {"/S"} << false << 0 << true;
    QTest::newRow("unattended, lower case") << QStringList {"/s"} << false << 0 << true;
    // The codes deployment tools know, as numbers: a typo in ExitCode.h must not pass.
    QTest::newRow("unknown switch")
            << QStringList {"/S", "/D=C:\\Elsewhere"} << false << 1639 << false;
    QTest::newRow("help") << QStringList {"/S", "/?"} << false << 1639 << false;
    QTest::newRow("another installer running") << QStringList {"/S"} << true << 1618 << false;
}

void TestPayload::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, otherInstaller);
    QFETCH(int, exitCode);
    QFETCH(bool, installed);
    std::unique_ptr<Platform::InstanceLock> other;
    if (otherInstaller) {
        other = std::make_unique<Platform::InstanceLock>(QStringLiteral("MirevaleSetup"));
        QCOMPARE(other->tryAcquire(), Platform::InstanceLock::State::Held);
    }
    QCOMPARE(runInstaller(arguments), status(exitCode));
    QCOMPARE(QFile::exists(programDir() + "/" + productName + ".exe"), installed);
    QCOMPARE(Platform::openRegistryKey(uninstallKey)->childGroups().contains("Mirevale"),
             installed);
    QFile log(logPath());
    if (exitCode == 1639 || exitCode == 1618) {
        QVERIFY(!log.exists()); // refused before anything was recorded
        return;
    }
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(log.readAll());
    QVERIFY2(text.contains(QStringLiteral("exit code %1").arg(exitCode)), qPrintable(text));
    QVERIFY(!text.contains(TestArchives::installerPassword()));
    // A log is always a new file: a second run with the same /LOG= refuses.
    QCOMPARE(runInstaller(arguments), status(ExitCode::BadCommandLine));
}

void TestPayload::archivesAreSmall_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("tarvo.cab") << QStringLiteral("tarvo.cab");
    QTest::newRow("data.cab") << QStringLiteral("data.cab");
}

void TestPayload::archivesAreSmall()
{
    QFETCH(QString, name);
    const QFileInfo archive(QStringLiteral(MIREVALE_BIN_DIR "/") + name);
    QVERIFY(archive.isFile());
    QVERIFY(archive.size() > 0 && archive.size() < 1024 * 1024);
}

void TestPayload::contents()
{
    install();
    const QStringList program = entriesBelow(programDir());
    QVERIFY(program.contains(productName + ".exe"));
    QVERIFY(program.contains("uninstall.exe"));
    QVERIFY(QFileInfo(programDir() + "/" + productName + ".exe").isExecutable());
    QVERIFY(QFileInfo(programDir() + "/uninstall.exe").isExecutable());
    QVERIFY(std::any_of(program.cbegin(), program.cend(),
                        [](const QString &e) { return e.count('/') >= 2; }));
    const QStringList data = entriesBelow(dataDir());
    QVERIFY(std::any_of(data.cbegin(), data.cend(),
                        [](const QString &e) { return e.count('/') >= 2; }));
    QVERIFY(!data.contains(productName + ".exe"));
}

void TestPayload::programLogsItsStarts()
{
    install();
    for (int run = 1; run <= 2; ++run) {
        QProcess process;
        // Started through its desktop shortcut, as the user would.
        process.start(shellFolder("Common Desktop") + "/" + productName + ".lnk", QStringList());
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitCode(), 0);
        QVERIFY(QString::fromUtf8(process.readAllStandardOutput()).contains(productName));
        QFile log(programDir() + "/last-run.txt");
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = log.readAll().trimmed().split('\n');
        QCOMPARE(lines.size(), run);
        QVERIFY(QDateTime::fromString(QString::fromLatin1(lines.last()), "yyyy-MM-dd HH:mm:ss")
                        .isValid());
    }
}

void TestPayload::uninstallerRemovesTheInstallation_data()
{
    QTest::addColumn<bool>("throughShortcut");
    QTest::newRow("run from the program folder") << false;
    QTest::newRow("run through its shortcut") << true;
}

void TestPayload::uninstallerRemovesTheInstallation()
{
    QFETCH(bool, throughShortcut);

    install();
    const QString programs = shellFolder("Common Programs");
    const QString desktop = shellFolder("Common Desktop");
    // What must survive: other programs' files, shortcuts and registry entries.
    QVERIFY(TestArchives::writeFile(Platform::systemRoot() + "Program Files/Other/o.exe", "o"));
    QVERIFY(TestArchives::writeFile(shellFolder("Common AppData") + "/Other/o.dat", "o"));
    QVERIFY(TestArchives::writeFile(desktop + "/notes.txt", "o"));
    QVERIFY(TestArchives::writeFile(programs + "/Other/other.lnk", "o"));
    {
        const std::unique_ptr<QSettings> key = Platform::openRegistryKey(uninstallKey);
        key->setValue("MirevaleTools/DisplayName", QStringLiteral("Not us"));
    }
    const QString outside = root->path() + "/elsewhere";
    QVERIFY(TestArchives::writeFile(outside + "/keep.txt", "keep"));
    QVERIFY(QFile::link(outside, dataDir() + "/linked"));

    const QString uninstaller = throughShortcut ? programs + "/Mirevale/uninstall.lnk"
                                                : programDir() + "/uninstall.exe";
    QProcess process;
    process.start(uninstaller, QStringList());
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitCode(), 0);

    QVERIFY(!QFileInfo::exists(programDir()));
    QVERIFY(!QFileInfo::exists(dataDir()));
    QVERIFY(!QFileInfo::exists(desktop + "/" + productName + ".lnk"));
    QVERIFY(!QFileInfo::exists(programs + "/Mirevale"));
    QCOMPARE(entriesBelow(outside), QStringList {"keep.txt"});
    QCOMPARE(entriesBelow(Platform::systemRoot() + "Program Files"),
             QStringList({"Other", "Other/o.exe"}));
    QVERIFY(QFileInfo::exists(shellFolder("Common AppData") + "/Other/o.dat"));
    QVERIFY(QFileInfo::exists(desktop + "/notes.txt"));
    QVERIFY(QFileInfo::exists(programs + "/Other/other.lnk"));

    const std::unique_ptr<QSettings> key = Platform::openRegistryKey(uninstallKey);
    QVERIFY(!key->childGroups().contains("Mirevale", Qt::CaseInsensitive));
    QCOMPARE(key->value("MirevaleTools/DisplayName").toString(), QStringLiteral("Not us"));
    QVERIFY(!shellFolder("Common AppData").isEmpty());
}

void TestPayload::uninstallerRefusesAForeignFolder()
{
    const QString folder = root->path() + "/Downloads";
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(extract(QStringLiteral("tarvo.cab"), folder));
    QProcess process;
    process.start(folder + "/uninstall.exe", QStringList());
    QVERIFY(process.waitForFinished(10000));
    QVERIFY(process.exitCode() != 0);
    QVERIFY(QFileInfo::exists(folder + "/" + productName + ".exe"));
}

QTEST_GUILESS_MAIN(TestPayload)
#include "tst_payload.moc"
