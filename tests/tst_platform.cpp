// The platform layer: on Linux its emulation (system root, registry hive
// files, folder creation, shell open and links); on Windows the same calls on
// the real services, where the emulation's own contract has no counterpart.
#include "ExtractorJob.h"
#include "Platform.h"
#include "TestSystem.h"
#ifndef Q_OS_WIN
#include "RegistryHive_emul.h"
#endif

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

#include <memory>

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
    Platform::shellOpen(program);
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(folder + QStringLiteral("/last-run.txt")).size() > 0, 20000);
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

    Platform::shellOpen(script);
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

QTEST_MAIN(TestPlatform)
#include "tst_platform.moc"
