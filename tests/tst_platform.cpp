// The platform layer: on Linux its emulation (system root, registry hive
// files, folder creation, shell open and links); on Windows the same calls on
// the real services, where the emulation's own contract has no counterpart.
#include "ExtractorJob.h"
#include "FolderHandle.h"
#include "InstanceLock.h"
#include "LogFile.h"
#include "Platform.h"
#include "RunningProcess.h"
#include "TestSystem.h"
#ifndef Q_OS_WIN
#include "RegistryHive_emul.h"
#endif

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <memory>
#include <vector>

namespace {

const QString shellFolders = QStringLiteral(
        "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell "
        "Folders");
const QString uninstallKey = QStringLiteral(
        "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall");

#ifdef Q_OS_WIN
const char *const emulationOnly = "the emulation's own contract: Windows has the real service";
#endif

// A folder as the registry may hold it, with "/" separators.
QString slashed(QString path)
{
    return path.replace(QLatin1Char('\\'), QLatin1Char('/'));
}

QStringList capturedWarnings;
QtMessageHandler previousHandler = nullptr;

void captureWarnings(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg)
        capturedWarnings << message;
    else
        previousHandler(type, context, message);
}

// Collects qWarning messages while it lives.
class WarningCapture
{
public:
    WarningCapture()
    {
        capturedWarnings.clear();
        previousHandler = qInstallMessageHandler(captureWarnings);
    }
    ~WarningCapture() { qInstallMessageHandler(previousHandler); }
};

[[maybe_unused]] QByteArray readAll(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

[[maybe_unused]] bool writeAll(const QString &fileName, const QByteArray &data)
{
    QDir().mkpath(QFileInfo(fileName).path());
    QFile file(fileName);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

} // namespace

class TestPlatform : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void systemRootFromVariable_data();
    void systemRootFromVariable();
    void systemRootRejected_data();
    void systemRootRejected();

    void seededHive();
    void uninstallEntryExactText();
    void registryRoundTrip_data();
    void registryRoundTrip();
    void readsHandWrittenHive();
    void caseInsensitiveKeys();
    void otherHives();
    void unparseableHiveLeftIntact_data();
    void unparseableHiveLeftIntact();
    void rawValuesPreserved();
    void atomicReplace();
    void registryFromWorkerThreads();

    void createDirectoryLastComponent_data();
    void createDirectoryLastComponent();
    void shellOpenStartsExecutableDetached();
    void links();
    void extractorJob_data();
    void extractorJob();

    void systemRootFromSystem();
    void freeSpace_data();
    void freeSpace();
    void sameVolume_data();
    void sameVolume();
    void renameFolder_data();
    void renameFolder();
    void runningProcesses_data();
    void runningProcesses();
    void instanceLock_data();
    void instanceLock();
    void logFileCreatesOnlyNew_data();
    void logFileCreatesOnlyNew();
    void logFileInTemporaryFolder();
    void removesReadOnlyEntries_data();
    void removesReadOnlyEntries();
    void takeOver_data();
    void takeOver();
    void shellOpenFails_data();
    void shellOpenFails();
    void programsUsing();

private:
    QString root() const { return m_root->path() + QLatin1Char('/'); }
    QString hiveFile(const QString &hive = QStringLiteral("HKEY_LOCAL_MACHINE")) const
    {
        return root() + QStringLiteral("Windows/registry/") + hive + QStringLiteral(".reg");
    }

    std::unique_ptr<QTemporaryDir> m_root;
};

void TestPlatform::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void TestPlatform::init()
{
    m_root = std::make_unique<QTemporaryDir>();
    QVERIFY(m_root->isValid());
    qputenv("MIREVALE_SYSTEM_ROOT", QFile::encodeName(m_root->path()));
}

void TestPlatform::cleanup()
{
    m_root.reset();
}

void TestPlatform::systemRootFromVariable_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << ""
                           << "";
    QTest::newRow("trailing slash") << "/"
                                    << "";
    QTest::newRow("unclean") << "/sub/../"
                             << "";
    QTest::newRow("created on demand") << "/new root"
                                       << "new root/";
}

void TestPlatform::systemRootFromVariable()
{
#ifdef Q_OS_WIN
    QSKIP(emulationOnly);
#else
    QFETCH(QString, suffix);
    QFETCH(QString, expected);
    qputenv("MIREVALE_SYSTEM_ROOT", QFile::encodeName(m_root->path() + suffix));
    const QString result = Platform::systemRoot();
    QCOMPARE(result, root() + expected);
    QVERIFY(QFileInfo(result).isDir());
#endif
}

void TestPlatform::systemRootRejected_data()
{
    QTest::addColumn<QString>("value");
    QTest::newRow("empty") << "";
    QTest::newRow("root") << "/";
    QTest::newRow("root in disguise") << "/tmp/..";
    QTest::newRow("relative") << "relative/dir";
    QTest::newRow("dot") << ".";
}

void TestPlatform::systemRootRejected()
{
#ifdef Q_OS_WIN
    QSKIP(emulationOnly);
#else
    QFETCH(QString, value);
    qputenv("MIREVALE_SYSTEM_ROOT", QFile::encodeName(value));
    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression(QStringLiteral("^MIREVALE_SYSTEM_ROOT=")));
    const QString expected = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
            + QStringLiteral("/Mirevale Setup/system-root/");
    QCOMPARE(Platform::systemRoot(), expected);
    QVERIFY(QFileInfo(expected).isDir());
#endif
}

void TestPlatform::seededHive()
{
#ifdef Q_OS_WIN
    QSKIP(emulationOnly);
#else
    QVERIFY(!QFile::exists(hiveFile()));
    const QString appData = root() + QStringLiteral("ProgramData");
    const QString desktop = root() + QStringLiteral("Users/Public/Desktop");
    const QString programs
            = root() + QStringLiteral("ProgramData/Microsoft/Windows/Start Menu/Programs");
    {
        auto key = Platform::openRegistryKey(shellFolders);
        QCOMPARE(key->value(QStringLiteral("Common AppData")), QVariant(appData));
        QCOMPARE(key->value(QStringLiteral("Common Desktop")), QVariant(desktop));
        QCOMPARE(key->value(QStringLiteral("Common Programs")), QVariant(programs));
    }
    QCOMPARE(Platform::standardFolder(Platform::StandardFolder::CommonAppData), appData);
    QCOMPARE(Platform::standardFolder(Platform::StandardFolder::CommonDesktop), desktop);
    QCOMPARE(Platform::standardFolder(Platform::StandardFolder::CommonPrograms), programs);
    for (const QString &folder : {appData, desktop, programs})
        QVERIFY2(QFileInfo(folder).isDir(), qPrintable(folder));

    const QString expected
            = QStringLiteral(
                      "Windows Registry Editor Version 5.00\n"
                      "\n"
                      "[HKEY_LOCAL_"
                      "MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell "
                      "Folders]\n"
                      "\"Common AppData\"=\"%1\"\n"
                      "\"Common Desktop\"=\"%2\"\n"
                      "\"Common Programs\"=\"%3\"\n"
                      "\n")
                      .arg(appData, desktop, programs);
    QCOMPARE(readAll(hiveFile()), expected.toUtf8());
#endif
}

void TestPlatform::uninstallEntryExactText()
{
#ifdef Q_OS_WIN
    QSKIP(emulationOnly);
#else
    const QString exe = root() + QStringLiteral("Program Files/Mirevale/米瑞维尔.exe");
    {
        auto key = Platform::openRegistryKey(uninstallKey);
        key->setValue(QStringLiteral("Mirevale/DisplayIcon"), exe);
        key->setValue(QStringLiteral("Mirevale/DisplayName"), QStringLiteral("米瑞维尔"));
        key->setValue(QStringLiteral("Mirevale/NoModify"), 1);
        key->setValue(QStringLiteral("Mirevale/NoRepair"), 1);
        key->setValue(QStringLiteral("Mirevale/Publisher"), QStringLiteral("Kestrelvane \"KV\""));
        key->setValue(QStringLiteral("Mirevale/DisplayVersion"), QStringLiteral("3.0"));
        key->setValue(QStringLiteral("Mirevale/UninstallString"),
                      QStringLiteral("C:\\Program Files\\Mirevale\\uninstall.exe"));
    }
    const QString expected
            = QStringLiteral(
                      "Windows Registry Editor Version 5.00\n"
                      "\n"
                      "[HKEY_LOCAL_"
                      "MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\"
                      "Shell Folders]\n"
                      "\"Common AppData\"=\"%1ProgramData\"\n"
                      "\"Common Desktop\"=\"%1Users/Public/Desktop\"\n"
                      "\"Common Programs\"=\"%1ProgramData/Microsoft/Windows/Start "
                      "Menu/Programs\"\n"
                      "\n"
                      "[HKEY_LOCAL_"
                      "MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
                      "Mirevale]\n"
                      "\"DisplayIcon\"=\"%2\"\n"
                      "\"DisplayName\"=\"米瑞维尔\"\n"
                      "\"DisplayVersion\"=\"3.0\"\n"
                      "\"NoModify\"=dword:00000001\n"
                      "\"NoRepair\"=dword:00000001\n"
                      "\"Publisher\"=\"Kestrelvane \\\"KV\\\"\"\n"
                      "\"UninstallString\"=\"C:\\\\Program Files\\\\Mirevale\\\\uninstall.exe\"\n"
                      "\n")
                      .arg(root(), exe);
    QCOMPARE(QString::fromUtf8(readAll(hiveFile())), expected);
#endif
}

void TestPlatform::registryRoundTrip_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("type");
    QTest::newRow("string") << QVariant(QStringLiteral("3.0")) << "\"Value\"=\"3.0\""
                            << int(QMetaType::QString);
    QTest::newRow("empty string") << QVariant(QString()) << "\"Value\"=\"\""
                                  << int(QMetaType::QString);
    QTest::newRow("dword") << QVariant(1) << "\"Value\"=dword:00000001" << int(QMetaType::Int);
    QTest::newRow("dword large") << QVariant(0x7fabcdef) << "\"Value\"=dword:7fabcdef"
                                 << int(QMetaType::Int);
    QTest::newRow("dword negative")
            << QVariant(-1) << "\"Value\"=dword:ffffffff" << int(QMetaType::Int);
    QTest::newRow("backslash") << QVariant(QStringLiteral("C:\\a b\\"))
                               << "\"Value\"=\"C:\\\\a b\\\\\"" << int(QMetaType::QString);
    QTest::newRow("quote") << QVariant(QStringLiteral("say \"hi\""))
                           << "\"Value\"=\"say \\\"hi\\\"\"" << int(QMetaType::QString);
    QTest::newRow("non-ASCII") << QVariant(QStringLiteral("Grüße 米瑞维尔 😀"))
                               << "\"Value\"=\"Grüße 米瑞维尔 😀\"" << int(QMetaType::QString);
    QTest::newRow("line break") << QVariant(QStringLiteral("a\nb"))
                                << "\"Value\"=hex(1):61,00,0a,00,62,00,00,00"
                                << int(QMetaType::QString);
    QTest::newRow("unpaired surrogate")
            << QVariant(QStringLiteral("A") + QChar(0xd800) + QStringLiteral("B"))
            << "\"Value\"=hex(1):41,00,00,d8,42,00,00,00" << int(QMetaType::QString);
}

void TestPlatform::registryRoundTrip()
{
    QFETCH(QVariant, value);
    QFETCH(QString, line);
    QFETCH(int, type);
    {
        auto key = Platform::openRegistryKey(QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Test"));
        key->setValue(QStringLiteral("Value"), value);
    }
    // Read back from outside the program: the hive file, a registry export.
#ifdef Q_OS_WIN
    if (line.contains(QLatin1String("hex(1)")))
        QSKIP("how the system's export writes such a string is its own affair");
#else
    const QByteArray text = readAll(hiveFile());
    QVERIFY2(text.contains("\n[HKEY_LOCAL_MACHINE\\Software\\Test]\n" + line.toUtf8() + "\n\n"),
             text.constData());
    QSettings::SettingsMap map;
    QVERIFY(RegistryHive::parse(text, QStringLiteral("HKEY_LOCAL_MACHINE"), &map));
    const QVariant parsed = map.value(QStringLiteral("Software/Test/Value"));
    QCOMPARE(parsed.userType(), type);
    QCOMPARE(parsed, value.userType() == QMetaType::QString ? QVariant(value.toString()) : value);
#endif
    QCOMPARE(TestSystem::registryValues(QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Test")),
             QStringList {line});

    auto key = Platform::openRegistryKey(QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Test"));
    const QVariant read = key->value(QStringLiteral("Value"));
    QCOMPARE(read.userType(), type);
}

void TestPlatform::readsHandWrittenHive()
{
#ifdef Q_OS_WIN
    QSKIP(emulationOnly);
#else
    // As a registry editor on Windows would leave it: CRLF, a BOM, upper-case
    // hex digits, a default value.
    QVERIFY(writeAll(hiveFile(QStringLiteral("HKEY_CURRENT_USER")),
                     "\xef\xbb\xbfWindows Registry Editor Version 5.00\r\n\r\n"
                     "[HKEY_CURRENT_USER\\Software\\Vendor]\r\n"
                     "@=\"default\"\r\n"
                     "\"Path\"=\"C:\\\\Vendor\\\\\xe7\xb1\xb3\"\r\n"
                     "\"Count\"=dword:0000002A\r\n\r\n"));
    auto key = Platform::openRegistryKey(QStringLiteral("HKEY_CURRENT_USER\\Software\\Vendor"));
    QCOMPARE(key->value(QStringLiteral("Path")), QVariant(QStringLiteral("C:\\Vendor\\米")));
    const QVariant count = key->value(QStringLiteral("Count"));
    QCOMPARE(count.userType(), int(QMetaType::Int));
    QCOMPARE(count.toInt(), 42);
    QCOMPARE(key->value(QStringLiteral(".")), QVariant(QStringLiteral("default")));
    QCOMPARE(key->status(), QSettings::NoError);
#endif
}

void TestPlatform::caseInsensitiveKeys()
{
#ifdef Q_OS_WIN
    QSKIP(emulationOnly);
#else
    {
        auto key = Platform::openRegistryKey(uninstallKey);
        key->setValue(QStringLiteral("Mirevale/DisplayName"), QStringLiteral("Old"));
    }
    {
        auto key = Platform::openRegistryKey(QStringLiteral(
                "hkey_local_machine\\software\\MICROSOFT\\windows\\currentversion\\UNINSTALL"));
        QCOMPARE(key->value(QStringLiteral("Mirevale/DisplayName")),
                 QVariant(QStringLiteral("Old")));
        // A sub-key and a value name in another spelling land on the existing ones.
        key->setValue(QStringLiteral("MIREVALE/displayname"), QStringLiteral("New"));
    }
    const QByteArray text = readAll(hiveFile());
    QVERIFY2(text.contains("[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\"
                           "Uninstall\\Mirevale]\n\"DisplayName\"=\"New\"\n\n"),
             text.constData());
    QCOMPARE(text.count("DisplayName"), 1);
    QVERIFY(!text.toLower().contains(
            "[hkey_local_machine\\software\\microsoft\\windows\\"
            "currentversion\\uninstall\\mirevale]\n\"displayname\"=\"old"));

    auto key = Platform::openRegistryKey(uninstallKey);
    QCOMPARE(key->value(QStringLiteral("Mirevale/DisplayName")), QVariant(QStringLiteral("New")));
    QCOMPARE(key->childGroups(), QStringList {QStringLiteral("Mirevale")});
#endif
}

void TestPlatform::otherHives()
{
#ifdef Q_OS_WIN
    QSKIP(emulationOnly);
#else
    {
        auto user = Platform::openRegistryKey(QStringLiteral("HKEY_CURRENT_USER\\Software\\Test"));
        user->setValue(QStringLiteral("Name"), QStringLiteral("user"));
        auto bare = Platform::openRegistryKey(QStringLiteral("Software\\Bare"));
        bare->setValue(QStringLiteral("Name"), QStringLiteral("machine"));
    }
    QCOMPARE(readAll(hiveFile(QStringLiteral("HKEY_CURRENT_USER"))),
             QByteArray("Windows Registry Editor Version 5.00\n\n"
                        "[HKEY_CURRENT_USER\\Software\\Test]\n\"Name\"=\"user\"\n\n"));
    const QByteArray machine = readAll(hiveFile());
    QVERIFY(machine.contains("[HKEY_LOCAL_MACHINE\\Software\\Bare]\n\"Name\"=\"machine\"\n"));
    QVERIFY(!machine.contains("\"user\""));
#endif
}

void TestPlatform::unparseableHiveLeftIntact_data()
{
    QTest::addColumn<QByteArray>("content");
    const QByteArray header = "Windows Registry Editor Version 5.00\n\n";
    QTest::newRow("garbage") << QByteArray("\x01\x02 not a registry file \xff");
    QTest::newRow("no header") << QByteArray("[HKEY_CURRENT_USER\\A]\n\"x\"=\"1\"\n");
    QTest::newRow("other hive") << header + "[HKEY_LOCAL_MACHINE\\A]\n\"x\"=\"1\"\n";
    QTest::newRow("value before key") << header + "\"x\"=\"1\"\n";
    QTest::newRow("short dword") << header + "[HKEY_CURRENT_USER\\A]\n\"x\"=dword:1\n";
    QTest::newRow("unterminated string") << header + "[HKEY_CURRENT_USER\\A]\n\"x\"=\"1\n";
    QTest::newRow("deletion") << header + "[HKEY_CURRENT_USER\\A]\n\"x\"=-\n";
    QTest::newRow("bad hex") << header + "[HKEY_CURRENT_USER\\A]\n\"x\"=hex:zz\n";
    QTest::newRow("comment") << header + "; note\n[HKEY_CURRENT_USER\\A]\n";
    QTest::newRow("invalid UTF-8") << header + "[HKEY_CURRENT_USER\\A]\n\"x\"=\"\xc3\x28\"\n";
    // Text that UTF-8 cannot hold: it would be written back as a file that
    // no longer parses.
    QTest::newRow("zero character in UTF-8")
            << header + QByteArray("[HKEY_CURRENT_USER\\A]\n\"x\0y\"=\"1\"\n", 32);
    const auto utf16 = [](const QString &text) {
        QByteArray bytes("\xff\xfe");
        for (const QChar c : text)
            bytes.append(char(c.unicode() & 0xff)).append(char(c.unicode() >> 8));
        return bytes;
    };
    QTest::newRow("zero character in UTF-16")
            << utf16(QString::fromLatin1(header) + QStringLiteral("[HKEY_CURRENT_USER\\A]\n\"x")
                     + QChar(0) + QStringLiteral("y\"=\"1\"\n"));
    QTest::newRow("unpaired surrogate in UTF-16")
            << utf16(QString::fromLatin1(header) + QStringLiteral("[HKEY_CURRENT_USER\\A")
                     + QChar(0xdc00) + QStringLiteral("]\n\"x\"=\"1\"\n"));
}

void TestPlatform::unparseableHiveLeftIntact()
{
#ifdef Q_OS_WIN
    QSKIP(emulationOnly);
#else
    QFETCH(QByteArray, content);
    const QString file = hiveFile(QStringLiteral("HKEY_CURRENT_USER"));
    QVERIFY(writeAll(file, content));
    {
        WarningCapture capture;
        auto key = Platform::openRegistryKey(QStringLiteral("HKEY_CURRENT_USER\\A"));
        QVERIFY(!key->value(QStringLiteral("x")).isValid());
        QCOMPARE(key->status(), QSettings::FormatError);
        key->setValue(QStringLiteral("x"), QStringLiteral("new"));
        key->sync();
        QVERIFY(key->status() != QSettings::NoError);
        QCOMPARE(readAll(file), content);
        key.reset();
        QVERIFY(!capturedWarnings.isEmpty());
        for (const QString &warning : qAsConst(capturedWarnings))
            QVERIFY2(warning.contains(file), qPrintable(warning));
    }
    QCOMPARE(readAll(file), content);
    QCOMPARE(QDir(QFileInfo(file).path()).entryList(QDir::Files),
             QStringList {QStringLiteral("HKEY_CURRENT_USER.reg")});
#endif
}

void TestPlatform::rawValuesPreserved()
{
#ifdef Q_OS_WIN
    QSKIP(emulationOnly);
#else
    const QByteArray section = "[HKEY_CURRENT_USER\\Raw]\n"
                               "\"Binary\"=hex:01,02,03,\\\n  04,05\n"
                               "\"Expand\"=hex(2):25,00,41,00,00,00\n"
                               "\"Quad\"=hex(b):01,00,00,00,00,00,00,00\n\n";
    const QString file = hiveFile(QStringLiteral("HKEY_CURRENT_USER"));
    QVERIFY(writeAll(file, "Windows Registry Editor Version 5.00\n\n" + section));
    {
        auto key = Platform::openRegistryKey(QStringLiteral("HKEY_CURRENT_USER\\Other"));
        key->setValue(QStringLiteral("Added"), 7);
    }
    QCOMPARE(readAll(file),
             "Windows Registry Editor Version 5.00\n\n"
             "[HKEY_CURRENT_USER\\Other]\n\"Added\"=dword:00000007\n\n"
                     + section);
#endif
}

void TestPlatform::atomicReplace()
{
#ifdef Q_OS_WIN
    QSKIP(emulationOnly);
#else
    Platform::openRegistryKey(shellFolders).reset(); // seeds the hive
    struct stat before = {};
    QCOMPARE(::stat(QFile::encodeName(hiveFile()).constData(), &before), 0);
    {
        auto key = Platform::openRegistryKey(uninstallKey);
        key->setValue(QStringLiteral("Mirevale/NoModify"), 1);
        key->sync();
        QCOMPARE(key->status(), QSettings::NoError);
    }
    struct stat after = {};
    QCOMPARE(::stat(QFile::encodeName(hiveFile()).constData(), &after), 0);
    QVERIFY(before.st_ino != after.st_ino);
    QVERIFY(readAll(hiveFile()).contains("\"NoModify\"=dword:00000001"));
    QCOMPARE(
            QDir(root() + QStringLiteral("Windows/registry")).entryList(QDir::Files | QDir::Hidden),
            QStringList {QStringLiteral("HKEY_LOCAL_MACHINE.reg")});
#endif
}

void TestPlatform::registryFromWorkerThreads()
{
    // The extraction thread reads the shell folders; nothing is seeded yet.
    QString results[2];
    QThread *threads[2];
    for (int i = 0; i < 2; ++i) {
        threads[i] = QThread::create([&results, i] {
            results[i] = Platform::openRegistryKey(shellFolders)
                                 ->value(QStringLiteral("Common AppData"))
                                 .toString();
        });
        threads[i]->start();
    }
    for (QThread *thread : threads) {
        QVERIFY(thread->wait(10000));
        delete thread;
    }
    const QString appData = Platform::standardFolder(Platform::StandardFolder::CommonAppData);
#ifndef Q_OS_WIN
    QCOMPARE(appData, root() + QStringLiteral("ProgramData"));
#endif
    QCOMPARE(slashed(results[0]), appData);
    QCOMPARE(slashed(results[1]), appData);
}

void TestPlatform::createDirectoryLastComponent_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("created");
    QTest::addColumn<bool>("existsAfter");
    QTest::newRow("new under existing") << "Program Files" << true << true;
    QTest::newRow("non-ASCII") << "米瑞维尔" << true << true;
    QTest::newRow("exists already") << "existing" << false << true;
    QTest::newRow("parent missing") << "missing/child" << false << false;
    QTest::newRow("backslashes") << "existing\\child" << true << true;
}

void TestPlatform::createDirectoryLastComponent()
{
    QFETCH(QString, path);
    QFETCH(bool, created);
    QFETCH(bool, existsAfter);
    QVERIFY(QDir().mkdir(root() + QStringLiteral("existing")));
    QCOMPARE(Platform::createDirectory(root() + path), created);
    const QString slashed = QString(path).replace(QLatin1Char('\\'), QLatin1Char('/'));
    QCOMPARE(QFileInfo(root() + slashed).isDir(), existsAfter);
    QVERIFY(!QFileInfo::exists(root() + QStringLiteral("missing")));
}

void TestPlatform::shellOpenStartsExecutableDetached()
{
#ifdef Q_OS_WIN
    // The Windows demo program notes its start in last-run.txt beside itself.
    const QString folder = root() + QStringLiteral("Program Files/米瑞维尔 Mirevale");
    QVERIFY(QDir().mkpath(folder));
    const QString program = folder + QStringLiteral("/Tarvo高效学习法.exe");
    QVERIFY(QFile::copy(QStringLiteral(MIREVALE_DEMO_PROGRAM), program));
    QVERIFY(Platform::shellOpen(program));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(folder + QStringLiteral("/last-run.txt")).size() > 0, 20000);
    // A script that writes where it runs: it starts in its own folder, not
    // in the installer's working folder.
    const QString script = folder + QStringLiteral("/where.cmd");
    QVERIFY(writeAll(script, "@cd > started.txt\r\n"));
    QVERIFY(Platform::shellOpen(script));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(folder + QStringLiteral("/started.txt")).size() > 0, 20000);
#else
    // The script starts in its own folder and keeps running until the test
    // releases it: shellOpen must have returned before it ends.
    const QString folder = root() + QStringLiteral("Program Files/Mirevale");
    QVERIFY(QDir().mkpath(folder));
    const QString script = folder + QStringLiteral("/run me.sh");
    QVERIFY(writeAll(script,
                     "#!/bin/sh\n"
                     "echo started > started.txt\n"
                     "i=0\n"
                     "while [ ! -e release ] && [ $i -lt 400 ]; do sleep 0.05; i=$((i+1)); done\n"
                     "echo done > done.txt\n"));
    QVERIFY(QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

    QVERIFY(Platform::shellOpen(script));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(folder + QStringLiteral("/started.txt")), 10000);
    QVERIFY(!QFile::exists(folder + QStringLiteral("/done.txt")));
    QVERIFY(writeAll(folder + QStringLiteral("/release"), "go"));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(folder + QStringLiteral("/done.txt")), 10000);
#endif
}

void TestPlatform::links()
{
    const QString target = root() + QStringLiteral("目标.exe");
    QVERIFY(writeAll(target, "program"));
    QVERIFY(QDir().mkdir(root() + QStringLiteral("folder")));
    const QString fileLink = root() + QStringLiteral("Desktop 米.lnk");
    const QString folderLink = root() + QStringLiteral("folder.lnk");

    QVERIFY(Platform::createLink(target, fileLink));
    QVERIFY(Platform::createLink(root() + QStringLiteral("folder"), folderLink));
    QVERIFY(!Platform::createLink(target, fileLink)); // exists already

#ifdef Q_OS_WIN
    // Shortcut files are files like any other, not links to walk around.
    QVERIFY(!Platform::isLink(QFileInfo(fileLink)));
    QVERIFY(!Platform::isLink(QFileInfo(folderLink)));
#else
    QVERIFY(Platform::isLink(QFileInfo(fileLink)));
    QVERIFY(Platform::isLink(QFileInfo(folderLink)));
    QCOMPARE(readAll(fileLink), QByteArray("program"));
#endif
    QVERIFY(!Platform::isLink(QFileInfo(target)));
    QVERIFY(!Platform::isLink(QFileInfo(root() + QStringLiteral("folder"))));
    QCOMPARE(QFileInfo(fileLink).symLinkTarget(), target);
}

void TestPlatform::extractorJob_data()
{
    QTest::addColumn<bool>("adopted");
    QTest::newRow("adopted, then terminated") << true;
    // The installer dying between the start and adopt(): what it started
    // must not survive it, not even suspended.
    QTest::newRow("job closed before adopt") << false;
}

void TestPlatform::extractorJob()
{
#ifdef Q_OS_WIN
    QFETCH(bool, adopted);
    QProcess process; // waits for a key on its standard input, a pipe
    auto job = std::make_unique<Platform::ExtractorJob>();
    job->prepare(process);
    process.start(QString::fromLocal8Bit(qgetenv("ComSpec")),
                  {QStringLiteral("/c"), QStringLiteral("pause")});
    QVERIFY(process.waitForStarted());
    if (adopted) {
        QVERIFY(job->adopt(process));
        QVERIFY(!process.waitForFinished(300));
        QVERIFY(job->terminateAndWait(10000));
    } else {
        job.reset();
    }
    QVERIFY(process.waitForFinished(10000));
#else
    QSKIP("without job objects the front end watches the installer itself");
#endif
}

void TestPlatform::systemRootFromSystem()
{
#ifdef Q_OS_WIN
    // %SystemDrive% belongs to whoever started the installer.
    const QByteArray saved = qgetenv("SystemDrive");
    qputenv("SystemDrive", "Q:");
    const QString result = Platform::systemRoot();
    qputenv("SystemDrive", saved);
    QVERIFY2(QRegularExpression(QStringLiteral("^[A-Z]:/$")).match(result).hasMatch(),
             qPrintable(result));
    QVERIFY(result != QLatin1String("Q:/"));
    QVERIFY(QFileInfo(result + QStringLiteral("Windows/System32")).isDir());
#else
    QSKIP("the emulated root comes from MIREVALE_SYSTEM_ROOT (systemRootFromVariable)");
#endif
}

void TestPlatform::freeSpace_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("known");
    QTest::newRow("folder") << "" << true;
    QTest::newRow("file") << "file.txt" << true;
    QTest::newRow("not there yet") << "Program Files/Mirevale/sub" << true;
    QTest::newRow("empty path") << "<empty>" << false;
}

void TestPlatform::freeSpace()
{
    QFETCH(QString, path);
    QFETCH(bool, known);
    QVERIFY(writeAll(root() + QStringLiteral("file.txt"), "x"));
    const QString full = path == QLatin1String("<empty>") ? QString() : root() + path;
    const qint64 free = Platform::freeSpace(full);
    if (!known) {
        QCOMPARE(free, qint64(-1));
        return;
    }
    // Others write on the volume meanwhile: equal within 64 MiB.
    const qint64 expected = QStorageInfo(root()).bytesAvailable();
    QVERIFY2(free > 0 && qAbs(free - expected) < 64 * 1024 * 1024,
             qPrintable(QStringLiteral("%1 against %2").arg(free).arg(expected)));
}

void TestPlatform::sameVolume_data()
{
    QTest::addColumn<QString>("other");
    QTest::addColumn<bool>("same");
    QTest::newRow("sibling folder") << "<root>b" << true;
    QTest::newRow("file inside") << "<root>a/file.txt" << true;
    QTest::newRow("missing") << "<root>missing" << false;
#ifndef Q_OS_WIN
    QTest::newRow("another file system") << "/proc/self" << false;
#endif
}

void TestPlatform::sameVolume()
{
    QFETCH(QString, other);
    QFETCH(bool, same);
    QVERIFY(QDir().mkpath(root() + QStringLiteral("a")));
    QVERIFY(QDir().mkpath(root() + QStringLiteral("b")));
    QVERIFY(writeAll(root() + QStringLiteral("a/file.txt"), "x"));
    other.replace(QStringLiteral("<root>"), root());
    QCOMPARE(Platform::sameVolume(root() + QStringLiteral("a"), other), same);
    QCOMPARE(Platform::sameVolume(other, root() + QStringLiteral("a")), same);
}

void TestPlatform::renameFolder_data()
{
    QTest::addColumn<QString>("situation");
    QTest::addColumn<int>("expected");
    QTest::newRow("free") << "free" << int(Platform::RenameResult::Renamed);
    QTest::newRow("file open inside") << "open file" << int(Platform::RenameResult::InUse);
    QTest::newRow("file open in a sub-folder") << "open deep" << int(Platform::RenameResult::InUse);
    QTest::newRow("program running inside") << "running" << int(Platform::RenameResult::InUse);
    QTest::newRow("target exists") << "target exists" << int(Platform::RenameResult::Failed);
    QTest::newRow("missing") << "missing" << int(Platform::RenameResult::Failed);
}

void TestPlatform::renameFolder()
{
    QFETCH(QString, situation);
    QFETCH(int, expected);
    const QString from = root() + QStringLiteral("Program Files/Mirevale");
    const QString to = root() + QStringLiteral("Program Files/Mirevale.old");
    QVERIFY(QDir().mkpath(from + QStringLiteral("/sub")));
    QVERIFY(writeAll(from + QStringLiteral("/sub/data.bin"), "data"));
    QVERIFY(writeAll(from + QStringLiteral("/program.exe"), "program"));
    QFile open(from
               + (situation == QLatin1String("open deep") ? QStringLiteral("/sub/data.bin")
                                                          : QStringLiteral("/program.exe")));
#ifdef Q_OS_WIN
    if (TestSystem::underWine()
        && (situation.startsWith(QLatin1String("open")) || situation == QLatin1String("running")))
        QSKIP("Wine renames a folder with files open inside; Windows refuses");
#endif
    // QFile on Windows shares reading and writing, not deletion.
    if (situation.startsWith(QLatin1String("open")))
        QVERIFY(open.open(QIODevice::ReadOnly));
    QProcess running;
    if (situation == QLatin1String("running")) {
#ifdef Q_OS_WIN
        // Waits for a key on its standard input, a pipe.
        const QString program = from + QStringLiteral("/sub/waiter.exe");
        QVERIFY(QFile::copy(QString::fromLocal8Bit(qgetenv("ComSpec")), program));
        running.start(program, {QStringLiteral("/c"), QStringLiteral("pause")});
#else
        const QString program = from + QStringLiteral("/sub/sleeper");
        QVERIFY(QFile::copy(QStringLiteral("/bin/sleep"), program));
        running.start(program, {QStringLiteral("60")});
#endif
        QVERIFY(running.waitForStarted());
    }
    if (situation == QLatin1String("target exists"))
        QVERIFY(QDir().mkpath(to));
    const QString source
            = situation == QLatin1String("missing") ? from + QStringLiteral("-none") : from;

    QCOMPARE(int(Platform::renameFolder(source, to)), expected);
    const bool renamed = expected == int(Platform::RenameResult::Renamed);
    QCOMPARE(QFileInfo(from + QStringLiteral("/sub/data.bin")).exists(), !renamed);
    QCOMPARE(QFileInfo(to + QStringLiteral("/sub/data.bin")).exists(), renamed);
    if (running.state() != QProcess::NotRunning) {
        running.kill();
        QVERIFY(running.waitForFinished(10000));
    }
}

void TestPlatform::runningProcesses_data()
{
    QTest::addColumn<QString>("what");
    QTest::newRow("this process") << "self";
    QTest::newRow("started program") << "program";
#ifndef Q_OS_WIN
    QTest::newRow("shell script") << "script";
#endif
}

void TestPlatform::runningProcesses()
{
    QFETCH(QString, what);
    const QString folder = root() + QStringLiteral("Program Files/Mirevale");
    QVERIFY(QDir().mkpath(folder));
    QProcess process;
    qint64 pid = QCoreApplication::applicationPid();
    QString program = QCoreApplication::applicationFilePath();
    if (what == QLatin1String("program")) {
#ifdef Q_OS_WIN
        // Waits for a key on its standard input, a pipe.
        program = QDir::fromNativeSeparators(QString::fromLocal8Bit(qgetenv("ComSpec")));
        process.start(program, {QStringLiteral("/c"), QStringLiteral("pause")});
#else
        program = folder + QStringLiteral("/sleeper");
        QVERIFY(QFile::copy(QStringLiteral("/bin/sleep"), program));
        process.start(program, {QStringLiteral("60")});
#endif
    } else if (what == QLatin1String("script")) {
        program = folder + QStringLiteral("/run me.sh");
        QVERIFY(writeAll(program, "#!/bin/sh\nwhile [ ! -e stop ]; do sleep 0.1; done\n"));
        QVERIFY(QFile::setPermissions(program,
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        process.start(program, QStringList());
    }
    if (what != QLatin1String("self")) {
        QVERIFY(process.waitForStarted());
        pid = process.processId();
    }
    const QString inside = QFileInfo(program).path();

    const auto found = Platform::RunningProcess::inFolder(inside);
    const auto it = std::find_if(found.begin(), found.end(),
                                 [pid](const Platform::RunningProcess &p) { return p.pid == pid; });
    QVERIFY2(it != found.end(), qPrintable(inside));
    const QString named = what == QLatin1String("script") ? it->script : it->executable;
#ifdef Q_OS_WIN
    QCOMPARE(named.toLower(), program.toLower());
#else
    QCOMPARE(named, program);
#endif
    // Nothing runs from a folder beside it.
    QVERIFY(QDir().mkpath(root() + QStringLiteral("Other")));
    QVERIFY(Platform::RunningProcess::inFolder(root() + QStringLiteral("Other")).isEmpty());
    QVERIFY(Platform::RunningProcess::inFolder(inside + QStringLiteral("-other")).isEmpty());
    if (what != QLatin1String("self")) {
        process.kill();
        QVERIFY(process.waitForFinished(10000));
    }
}

void TestPlatform::instanceLock_data()
{
    QTest::addColumn<QString>("situation");
    QTest::addColumn<int>("expected");
    QTest::newRow("free") << "free" << int(Platform::InstanceLock::State::Held);
    QTest::newRow("held by another") << "held" << int(Platform::InstanceLock::State::Busy);
    QTest::newRow("released by another") << "released" << int(Platform::InstanceLock::State::Held);
#ifdef Q_OS_WIN
    // Objects of the same name outside the private namespace block nothing.
    QTest::newRow("name taken elsewhere") << "squatted" << int(Platform::InstanceLock::State::Held);
#else
    // A link in the lock file's place is never followed.
    QTest::newRow("link in place") << "squatted" << int(Platform::InstanceLock::State::Failed);
#endif
}

void TestPlatform::instanceLock()
{
    QFETCH(QString, situation);
    QFETCH(int, expected);
    const QString name = QStringLiteral("MirevaleTest%1").arg(QCoreApplication::applicationPid());
    auto holder = std::make_unique<Platform::InstanceLock>(name);
#ifdef Q_OS_WIN
    std::vector<HANDLE> squatters;
    if (situation == QLatin1String("squatted")) {
        for (const QString &prefix : {QStringLiteral("Local\\"), QStringLiteral("Global\\")})
            squatters.push_back(CreateMutexW(nullptr, TRUE,
                                             reinterpret_cast<LPCWSTR>((prefix + name).utf16())));
    }
#else
    const QString victim = root() + QStringLiteral("victim");
    if (situation == QLatin1String("squatted")) {
        QVERIFY(QDir().mkpath(root() + QStringLiteral("Windows")));
        QVERIFY(QFile::link(victim,
                            root() + QStringLiteral("Windows/") + name + QStringLiteral(".lock")));
    }
#endif
    if (situation == QLatin1String("held") || situation == QLatin1String("released")) {
        const auto held = holder->tryAcquire();
#ifdef Q_OS_WIN
        if (held == Platform::InstanceLock::State::Failed && TestSystem::underWine())
            QSKIP("Wine has no private namespaces: the lock cannot be made there");
#endif
        QCOMPARE(held, Platform::InstanceLock::State::Held);
        if (situation == QLatin1String("released"))
            holder.reset();
    }
    // The other instance: another thread (a mutex is its thread's own).
    Platform::InstanceLock::State state = Platform::InstanceLock::State::Failed;
    std::unique_ptr<QThread> thread(QThread::create([&] {
        Platform::InstanceLock other(name);
        state = other.tryAcquire();
    }));
    thread->start();
    QVERIFY(thread->wait(10000));
#ifdef Q_OS_WIN
    for (HANDLE squatter : squatters)
        CloseHandle(squatter);
    if (state == Platform::InstanceLock::State::Failed && TestSystem::underWine())
        QSKIP("Wine has no private namespaces: the lock cannot be made there");
#else
    QVERIFY(!QFileInfo::exists(victim));
#endif
    QCOMPARE(int(state), expected);
}

void TestPlatform::logFileCreatesOnlyNew_data()
{
    QTest::addColumn<QString>("existing");
    QTest::addColumn<bool>("created");
    QTest::newRow("new") << "" << true;
    QTest::newRow("file there") << "file" << false;
    QTest::newRow("folder there") << "folder" << false;
#ifndef Q_OS_WIN
    QTest::newRow("link to a file") << "link" << false;
    QTest::newRow("dangling link") << "dangling" << false;
#endif
}

void TestPlatform::logFileCreatesOnlyNew()
{
    QFETCH(QString, existing);
    QFETCH(bool, created);
    const QString path = root() + QStringLiteral("安装 log.txt");
    const QString target = root() + QStringLiteral("target.txt");
    if (existing == QLatin1String("file"))
        QVERIFY(writeAll(path, "before"));
    else if (existing == QLatin1String("folder"))
        QVERIFY(QDir().mkdir(path));
    else if (existing == QLatin1String("link") || existing == QLatin1String("dangling"))
        QVERIFY(QFile::link(target, path));
    if (existing == QLatin1String("link"))
        QVERIFY(writeAll(target, "before"));

    auto log = Platform::LogFile::create(path);
    QCOMPARE(bool(log), created);
    if (!created) {
        if (existing != QLatin1String("folder"))
            QCOMPARE(readAll(path),
                     existing == QLatin1String("dangling") ? QByteArray() : QByteArray("before"));
        QCOMPARE(QFileInfo::exists(target), existing == QLatin1String("link"));
        return;
    }
    QCOMPARE(log->path(), path);
    QVERIFY(log->writeLine(QStringLiteral("第一行")));
    QVERIFY(log->writeLine(QStringLiteral("second")));
#ifdef Q_OS_WIN
    QCOMPARE(readAll(path), QStringLiteral("第一行\r\nsecond\r\n").toUtf8());
    // Readable by others while it is written, never writable.
    QFile other(path);
    QVERIFY(other.open(QIODevice::ReadOnly));
    QFile writer(path);
    QVERIFY(!writer.open(QIODevice::Append));
#else
    QCOMPARE(readAll(path), QStringLiteral("第一行\nsecond\n").toUtf8());
    QCOMPARE(QFileInfo(path).permissions(),
             QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
#endif
}

void TestPlatform::logFileInTemporaryFolder()
{
    const QString prefix = QStringLiteral("MirevaleTest%1").arg(QCoreApplication::applicationPid());
    auto first = Platform::LogFile::createInTemporaryFolder(prefix);
    auto second = Platform::LogFile::createInTemporaryFolder(prefix);
    QVERIFY(first && second);
    const QString folder = Platform::temporaryFolder();
#ifndef Q_OS_WIN
    QCOMPARE(folder, root() + QStringLiteral("Windows/Temp"));
#endif
    const QRegularExpression name(QStringLiteral("^%1-\\d{8}-\\d{6}-%2(-\\d+)?\\.log$")
                                          .arg(prefix)
                                          .arg(QCoreApplication::applicationPid()));
    for (const auto *log : {first.get(), second.get()}) {
        QCOMPARE(QFileInfo(log->path()).path(), folder);
        QVERIFY2(name.match(QFileInfo(log->path()).fileName()).hasMatch(), qPrintable(log->path()));
        QVERIFY(QFileInfo(log->path()).isFile());
    }
    QVERIFY(first->path() != second->path());
    const QString paths[] = {first->path(), second->path()};
    first.reset();
    second.reset();
    for (const QString &path : paths)
        QVERIFY(QFile::remove(path));
}

void TestPlatform::removesReadOnlyEntries_data()
{
    QTest::addColumn<bool>("folder");
    QTest::newRow("read-only file") << false;
    // Wine keeps no read-only attribute on a folder; Windows does.
    QTest::newRow("read-only folder") << true;
}

void TestPlatform::removesReadOnlyEntries()
{
    QFETCH(bool, folder);
    const QString tree = root() + QStringLiteral("tree");
    const QString entry = tree + QStringLiteral("/entry");
    QVERIFY(QDir().mkpath(tree));
    if (folder)
        QVERIFY(QDir().mkdir(entry));
    else
        QVERIFY(writeAll(entry, "data"));
#ifdef Q_OS_WIN
    QVERIFY(SetFileAttributesW(reinterpret_cast<LPCWSTR>(QDir::toNativeSeparators(entry).utf16()),
                               FILE_ATTRIBUTE_READONLY));
#else
    QVERIFY(QFile::setPermissions(entry, QFile::ReadOwner | QFile::ExeOwner));
#endif
    {
        const Platform::FolderHandle handle = Platform::FolderHandle::open(tree);
        QVERIFY(handle.isValid());
        if (folder) {
            Platform::FolderHandle child = handle.child(QStringLiteral("entry"));
            QVERIFY(child.isValid());
            QVERIFY(handle.removeFolder(QStringLiteral("entry"), child));
        } else {
            QVERIFY(handle.remove(QStringLiteral("entry")));
        }
    }
    QVERIFY(!QFileInfo::exists(entry));
    QVERIFY(QDir(tree).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty());
}

void TestPlatform::takeOver_data()
{
    QTest::addColumn<QString>("entry"); // what "entry" is
    QTest::addColumn<int>("opened"); // FolderHandle::Opened
    using Opened = Platform::FolderHandle::Opened;
    QTest::newRow("folder") << QStringLiteral("folder") << int(Opened::Folder);
    // Its own user shut out (POSIX; Wine enforces no DACL).
    QTest::newRow("folder that shuts its owner out")
            << QStringLiteral("shut folder") << int(Opened::Folder);
    QTest::newRow("file") << QStringLiteral("file") << int(Opened::NotAFolder);
    QTest::newRow("missing") << QStringLiteral("missing") << int(Opened::Missing);
#ifndef Q_OS_WIN
    QTest::newRow("link to a folder") << QStringLiteral("link") << int(Opened::NotAFolder);
#endif
}

// A folder is taken over whatever its permissions say, and made the
// installer's own; nothing else is, and nothing stays enabled afterwards.
void TestPlatform::takeOver()
{
    QFETCH(QString, entry);
    QFETCH(int, opened);
    const QString tree = root() + QStringLiteral("tree");
    const QString path = tree + QStringLiteral("/entry");
    QVERIFY(QDir().mkpath(tree));
    if (entry == QLatin1String("file")) {
        QVERIFY(writeAll(path, "data"));
    } else if (entry == QLatin1String("link")) {
        QVERIFY(QDir().mkpath(root() + QStringLiteral("elsewhere")));
        QVERIFY(QFile::link(root() + QStringLiteral("elsewhere"), path));
    } else if (entry != QLatin1String("missing")) {
        QVERIFY(QDir().mkdir(path));
        QVERIFY(writeAll(path + QStringLiteral("/inside.txt"), "kept"));
#ifndef Q_OS_WIN
        if (entry == QLatin1String("shut folder"))
            QVERIFY(::chmod(QFile::encodeName(path).constData(), 0) == 0);
#endif
    }
    const QString before = Platform::securityDescriptor(path);
    const Platform::FolderHandle parent = Platform::FolderHandle::open(tree);
    QVERIFY(parent.isValid());
    Platform::FolderHandle::Opened how = Platform::FolderHandle::Opened::Failed;
    const Platform::FolderHandle folder = parent.takeOver(QStringLiteral("entry"), &how);
    QCOMPARE(int(how), opened);
    QCOMPARE(folder.isValid(), opened == int(Platform::FolderHandle::Opened::Folder));
#ifdef Q_OS_WIN
    // The privileges were this thread's for the opening only.
    HANDLE token = nullptr;
    QVERIFY(!OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token));
    QCOMPARE(GetLastError(), DWORD(ERROR_NO_TOKEN));
    const QString protectedSecurity
            = QStringLiteral("O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)");
#else
    const QString protectedSecurity = QStringLiteral("owner %1 mode 0755").arg(::geteuid());
#endif
    if (!folder.isValid()) {
        QCOMPARE(Platform::securityDescriptor(path), before);
        return;
    }
    QVector<Platform::FolderHandle::Entry> entries;
    QVERIFY(folder.list(&entries));
    QCOMPARE(entries.size(), 1);
    QCOMPARE(entries.at(0).name, QStringLiteral("inside.txt"));
#ifdef Q_OS_WIN
    if (TestSystem::underWine())
        QSKIP("Wine keeps no security descriptor of a folder");
#endif
    QCOMPARE(Platform::securityDescriptor(path), protectedSecurity);
}

void TestPlatform::shellOpenFails_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("missing") << "missing.exe" << QByteArray();
#ifndef Q_OS_WIN
    QTest::newRow("no program") << "broken"
                                << QByteArray("\x7f"
                                              "ELF broken");
#endif
}

void TestPlatform::shellOpenFails()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    const QString path = root() + name;
    if (!content.isEmpty()) {
        QVERIFY(writeAll(path, content));
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner));
    }
    QVERIFY(!Platform::shellOpen(path));
    QVERIFY(!Platform::shellOpenAsUser(path));
}

void TestPlatform::programsUsing()
{
    const QString path = root() + QStringLiteral("in use.txt");
    QVERIFY(writeAll(path, "data"));
    QVERIFY(Platform::programsUsing(path).isEmpty());
    QFile held(path);
    QVERIFY(held.open(QIODevice::ReadOnly));
    const QStringList names = Platform::programsUsing(path);
#ifdef Q_OS_WIN
    if (TestSystem::underWine() && names.isEmpty())
        QSKIP("Wine's Restart Manager finds no process");
    QVERIFY(!names.isEmpty());
#else
    QCOMPARE(names, QStringList {QFileInfo(QCoreApplication::applicationFilePath()).fileName()});
#endif
    held.close();
    QVERIFY(Platform::programsUsing(path).isEmpty());
}

QTEST_MAIN(TestPlatform)
#include "tst_platform.moc"
