// The completion steps of a successful installation: the entry in the list
// of installed programs and the all-users shortcuts, on the test's system
// drive (an emulated one on Linux, the real one on Windows).
#include "InstallWndProbe.h"
#include "Platform.h"
#include "TestSystem.h"
#ifndef Q_OS_WIN
#include "RootSnapshot.h"
#endif

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

#include <memory>

namespace {

const QString translatedName = QStringLiteral("Tarvo高效学习法");
const QString uninstallKey = QStringLiteral(
        "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall");
const QString shellFoldersKey = QStringLiteral(
        "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell "
        "Folders");

// A string as a registry export writes it.
QString exported(const QString &text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    escaped.replace(QLatin1Char('"'), QLatin1String("\\\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

// A folder as the registry may hold it, with "/" separators.
QString slashed(QString path)
{
    return path.replace(QLatin1Char('\\'), QLatin1Char('/'));
}

enum StaleKind { StaleLink, DanglingLink, PlainFile, LinkToFolder, Folder, EarlierRun };
enum FolderSource {
    Seeded,
    CustomWithBackslashes,
    EmptyValues,
    MissingValues,
    EmptyDesktopOnly,
    BlankAndRelative
};

} // namespace

class TestRegistration : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void uninstallEntry_data();
    void uninstallEntry();
    void uninstallEntryRewritten();
    void shortcuts_data();
    void shortcuts();
    void noShortcutsWithoutFolders();
    void shortcutsReplaced_data();
    void shortcutsReplaced();

private:
    std::unique_ptr<InstallWndProbe> makeWindow(bool translated);
    static void createShortcuts(InstallWndProbe &window);

    QTranslator translator;
    std::unique_ptr<TestSystem> system;
};

void TestRegistration::initTestCase()
{
    QVERIFY(translator.load(QStringLiteral(":/trans/trans_iss.qm")));
}

void TestRegistration::init()
{
    // A fresh system drive for every test, in place before the platform
    // layer is asked for anything.
    system = std::make_unique<TestSystem>();
    QVERIFY(system->isValid());
}

void TestRegistration::cleanup()
{
    QCoreApplication::removeTranslator(&translator);
    system.reset();
}

std::unique_ptr<InstallWndProbe> TestRegistration::makeWindow(bool translated)
{
    if (translated)
        QCoreApplication::installTranslator(&translator);
    return std::make_unique<InstallWndProbe>();
}

// The shortcuts as an installation started now makes them: with the folders
// the system names at its start.
void TestRegistration::createShortcuts(InstallWndProbe &window)
{
    window.installPaths = CInstallPaths::resolve(window.productName);
    window.CreateShortcuts();
}

void TestRegistration::uninstallEntry_data()
{
    QTest::addColumn<bool>("translated");
    QTest::addColumn<QString>("displayName");
    QTest::addColumn<QString>("publisher");

    QTest::newRow("translated") << true << translatedName << QStringLiteral("Kestrelvane");
    QTest::newRow("untranslated") << false << QStringLiteral("Mirevale")
                                  << QStringLiteral("Manufacture");
}

void TestRegistration::uninstallEntry()
{
    QFETCH(bool, translated);
    QFETCH(QString, displayName);
    QFETCH(QString, publisher);

    const auto window = makeWindow(translated);
    window->RegisterUninstall();

    const QString programFolder = system->root() + QStringLiteral("Program Files/Mirevale/");
    const QString displayIcon = programFolder + displayName + QStringLiteral(".exe");
    const QString uninstallString = QLatin1Char('"')
            + QString(programFolder + QStringLiteral("uninstall.exe"))
                      .replace(QLatin1Char('/'), QLatin1Char('\\'))
            + QLatin1Char('"');
    QVERIFY(uninstallString.endsWith(QLatin1String("\\Program Files\\Mirevale\\uninstall.exe\"")));

    // Read back through the registry, with the types the values were given.
    {
        const auto key = Platform::openRegistryKey(uninstallKey + QStringLiteral("\\Mirevale"));
        QCOMPARE(key->childKeys().size(), 7);
        const QVariant icon = key->value(QStringLiteral("DisplayIcon"));
        QCOMPARE(icon.userType(), int(QMetaType::QString));
        QCOMPARE(icon.toString(), displayIcon);
        QVERIFY(!icon.toString().contains(QLatin1Char('\\')));
        QCOMPARE(key->value(QStringLiteral("DisplayName")).toString(), displayName);
        for (const char *name : {"NoModify", "NoRepair"}) {
            const QVariant flag = key->value(QLatin1String(name));
            QCOMPARE(flag.userType(), int(QMetaType::Int));
            QCOMPARE(flag.toInt(), 1);
        }
        QCOMPARE(key->value(QStringLiteral("Publisher")).toString(), publisher);
        QCOMPARE(key->value(QStringLiteral("DisplayVersion")).toString(), QStringLiteral("3.0"));
        const QString uninstall = key->value(QStringLiteral("UninstallString")).toString();
        QCOMPARE(uninstall, uninstallString);
        QVERIFY(!uninstall.contains(QLatin1Char('/')));
    }

    // The registry as seen from outside: the Mirevale subkey with exactly
    // these lines, by value name.
    const QStringList expected = {
            QStringLiteral("\"DisplayIcon\"=") + exported(displayIcon),
            QStringLiteral("\"DisplayName\"=") + exported(displayName),
            QStringLiteral("\"DisplayVersion\"=\"3.0\""),
            QStringLiteral("\"NoModify\"=dword:00000001"),
            QStringLiteral("\"NoRepair\"=dword:00000001"),
            QStringLiteral("\"Publisher\"=") + exported(publisher),
            QStringLiteral("\"UninstallString\"=") + exported(uninstallString),
    };
    QCOMPARE(TestSystem::registryValues(
                     QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\"
                                    "CurrentVersion\\Uninstall\\Mirevale")),
             expected);
}

void TestRegistration::uninstallEntryRewritten()
{
    // An entry left by an earlier installation, with other types and data,
    // next to another product's entry.
    {
        const auto key = Platform::openRegistryKey(uninstallKey);
        key->setValue(QStringLiteral("Mirevale/DisplayIcon"), QStringLiteral("C:/old/old.exe"));
        key->setValue(QStringLiteral("Mirevale/DisplayName"), QStringLiteral("Old name"));
        key->setValue(QStringLiteral("Mirevale/NoModify"), QStringLiteral("0"));
        key->setValue(QStringLiteral("Mirevale/NoRepair"), 0);
        key->setValue(QStringLiteral("Mirevale/Publisher"), QStringLiteral("Someone"));
        key->setValue(QStringLiteral("Mirevale/DisplayVersion"), QStringLiteral("2.0"));
        key->setValue(QStringLiteral("Mirevale/UninstallString"), QStringLiteral("C:\\old\\u.exe"));
        key->setValue(QStringLiteral("Other/DisplayName"), QStringLiteral("Other product"));
    }

    const auto window = makeWindow(true);
    window->RegisterUninstall();

    const auto key = Platform::openRegistryKey(uninstallKey);
    const QString programFolder = system->root() + QStringLiteral("Program Files/Mirevale/");
    QCOMPARE(key->value(QStringLiteral("Mirevale/DisplayIcon")).toString(),
             programFolder + translatedName + QStringLiteral(".exe"));
    QCOMPARE(key->value(QStringLiteral("Mirevale/DisplayName")).toString(), translatedName);
    QCOMPARE(key->value(QStringLiteral("Mirevale/NoModify")).userType(), int(QMetaType::Int));
    QCOMPARE(key->value(QStringLiteral("Mirevale/NoModify")).toInt(), 1);
    QCOMPARE(key->value(QStringLiteral("Mirevale/NoRepair")).toInt(), 1);
    QCOMPARE(key->value(QStringLiteral("Mirevale/Publisher")).toString(),
             QStringLiteral("Kestrelvane"));
    QCOMPARE(key->value(QStringLiteral("Mirevale/DisplayVersion")).toString(),
             QStringLiteral("3.0"));
    QVERIFY(key->value(QStringLiteral("Mirevale/UninstallString"))
                    .toString()
                    .endsWith(QLatin1String("\\Program Files\\Mirevale\\uninstall.exe\"")));
    QCOMPARE(key->value(QStringLiteral("Other/DisplayName")).toString(),
             QStringLiteral("Other product"));
    key->remove(QStringLiteral("Other"));

    // The shell folders of the seeded hive are still there.
    const auto shellFolders = Platform::openRegistryKey(shellFoldersKey);
    QCOMPARE(slashed(shellFolders->value(QStringLiteral("Common Desktop")).toString()),
             Platform::standardFolder(Platform::StandardFolder::CommonDesktop));
}

void TestRegistration::shortcuts_data()
{
    QTest::addColumn<bool>("translated");
    QTest::addColumn<int>("source");
    QTest::addColumn<QString>("productFile");

    QTest::newRow("translated, seeded folders") << true << int(Seeded) << translatedName;
    QTest::newRow("untranslated, seeded folders")
            << false << int(Seeded) << QStringLiteral("Mirevale");
    QTest::newRow("folders given with backslashes")
            << true << int(CustomWithBackslashes) << translatedName;
    QTest::newRow("empty values") << true << int(EmptyValues) << translatedName;
    QTest::newRow("missing values") << true << int(MissingValues) << translatedName;
    QTest::newRow("empty desktop only") << true << int(EmptyDesktopOnly) << translatedName;
    QTest::newRow("blank and relative values") << true << int(BlankAndRelative) << translatedName;
}

void TestRegistration::shortcuts()
{
    QFETCH(bool, translated);
    QFETCH(int, source);
    QFETCH(QString, productFile);

    const QString standardDesktop
            = Platform::standardFolder(Platform::StandardFolder::CommonDesktop);
    const QString standardPrograms
            = Platform::standardFolder(Platform::StandardFolder::CommonPrograms);
    QString desktop = standardDesktop;
    QString programs = standardPrograms;
    {
        const auto key = Platform::openRegistryKey(shellFoldersKey);
        // The shell folders name the standard folders.
        QCOMPARE(slashed(key->value(QStringLiteral("Common Desktop")).toString()), standardDesktop);
        QCOMPARE(slashed(key->value(QStringLiteral("Common Programs")).toString()),
                 standardPrograms);
        switch (source) {
        case CustomWithBackslashes:
            desktop = system->scratch() + QStringLiteral("/Elsewhere/Desk top");
            programs = system->scratch() + QStringLiteral("/Elsewhere/Menu/Programs");
            QVERIFY(QDir().mkpath(desktop));
            key->setValue(QStringLiteral("Common Desktop"),
                          QString(desktop).replace(QLatin1Char('/'), QLatin1Char('\\')));
            key->setValue(QStringLiteral("Common Programs"),
                          QString(programs).replace(QLatin1Char('/'), QLatin1Char('\\')));
            break;
        case EmptyValues:
            key->setValue(QStringLiteral("Common Desktop"), QString());
            key->setValue(QStringLiteral("Common Programs"), QString());
            break;
        case MissingValues:
            key->remove(QStringLiteral("Common Desktop"));
            key->remove(QStringLiteral("Common Programs"));
            break;
        case EmptyDesktopOnly:
            key->setValue(QStringLiteral("Common Desktop"), QString());
            break;
        case BlankAndRelative:
            key->setValue(QStringLiteral("Common Desktop"), QStringLiteral(" \t"));
            key->setValue(QStringLiteral("Common Programs"),
                          QStringLiteral("ProgramData\\Microsoft\\Windows\\Start Menu\\Programs"));
            break;
        default:
            break;
        }
    }

    const auto window = makeWindow(translated);
    createShortcuts(*window);

    const QString programFolder = system->root() + QStringLiteral("Program Files/Mirevale/");
    const QString mainExe = programFolder + productFile + QStringLiteral(".exe");
    const QString uninstaller = programFolder + QStringLiteral("uninstall.exe");

    const QFileInfo onDesktop(desktop + QLatin1Char('/') + productFile + QStringLiteral(".lnk"));
    QVERIFY2(onDesktop.isSymLink(), qPrintable(onDesktop.filePath()));
    QCOMPARE(onDesktop.symLinkTarget(), mainExe);
    QCOMPARE(QDir(desktop).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
             QStringList {productFile + QStringLiteral(".lnk")});

    // The group folder keeps the untranslated name; only the two shortcuts
    // are in it.
    const QDir group(programs + QStringLiteral("/Mirevale"));
    QVERIFY(group.exists());
    QStringList expectedEntries
            = {productFile + QStringLiteral(".lnk"), QStringLiteral("uninstall.lnk")};
    expectedEntries.sort();
    QCOMPARE(group.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name),
             expectedEntries);
    const QFileInfo programLink(group.filePath(productFile + QStringLiteral(".lnk")));
    QVERIFY(programLink.isSymLink());
    QCOMPARE(programLink.symLinkTarget(), mainExe);
    const QFileInfo uninstallLink(group.filePath(QStringLiteral("uninstall.lnk")));
    QVERIFY(uninstallLink.isSymLink());
    QCOMPARE(uninstallLink.symLinkTarget(), uninstaller);

    if (source == CustomWithBackslashes) {
        // Nothing went to the standard folders.
        QVERIFY(!QFileInfo::exists(standardPrograms + QStringLiteral("/Mirevale")));
        // (Listed: Qt on Windows calls any path ending in .lnk a link.)
        QVERIFY(!QDir(standardDesktop)
                         .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
                         .contains(productFile + QStringLiteral(".lnk")));
    }
}

// No usable value and no standard folder: no shortcut is made anywhere, in
// particular none at a root or below the working folder.
void TestRegistration::noShortcutsWithoutFolders()
{
#ifdef Q_OS_WIN
    QSKIP("the standard folders cannot be taken away from a real Windows");
#else
    const QString rootPath = system->root().chopped(1);
    {
        const auto key = Platform::openRegistryKey(shellFoldersKey);
        key->setValue(QStringLiteral("Common Desktop"), QString());
        key->setValue(QStringLiteral("Common Programs"), QStringLiteral("Programs"));
    }
    const QStringList before = RootSnapshot::listing(rootPath, {}).keys();
    const QStringList workingBefore = QDir().entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    const bool rootLinkBefore
            = QFileInfo(QStringLiteral("/") + translatedName + QStringLiteral(".lnk")).exists();
    qputenv("MIREVALE_NO_STANDARD_FOLDERS", "1");
    const auto window = makeWindow(true);
    createShortcuts(*window);
    qunsetenv("MIREVALE_NO_STANDARD_FOLDERS");

    QCOMPARE(RootSnapshot::listing(rootPath, {}).keys(), before);
    QCOMPARE(QDir().entryList(QDir::AllEntries | QDir::NoDotAndDotDot), workingBefore);
    QCOMPARE(QFileInfo(QStringLiteral("/") + translatedName + QStringLiteral(".lnk")).exists(),
             rootLinkBefore);
#endif
}

void TestRegistration::shortcutsReplaced_data()
{
    QTest::addColumn<int>("stale");

    QTest::newRow("link to an old installation") << int(StaleLink);
    QTest::newRow("dangling link") << int(DanglingLink);
    QTest::newRow("plain file") << int(PlainFile);
    QTest::newRow("link to a folder") << int(LinkToFolder);
    QTest::newRow("folder") << int(Folder);
    QTest::newRow("shortcuts of an earlier run") << int(EarlierRun);
}

void TestRegistration::shortcutsReplaced()
{
    QFETCH(int, stale);

    const QString desktop = Platform::standardFolder(Platform::StandardFolder::CommonDesktop);
    const QString group = Platform::standardFolder(Platform::StandardFolder::CommonPrograms)
            + QStringLiteral("/Mirevale");
    Platform::openRegistryKey(shellFoldersKey); // seeds the hive and its folders
    QVERIFY(QDir().mkpath(group));
    const QStringList linkPaths = {
            desktop + QLatin1Char('/') + translatedName + QStringLiteral(".lnk"),
            group + QLatin1Char('/') + translatedName + QStringLiteral(".lnk"),
            group + QStringLiteral("/uninstall.lnk"),
    };

    // What an earlier installation (or something else) left at those paths.
    const QString oldFolder = system->scratch() + QStringLiteral("/Old");
    QVERIFY(QDir().mkpath(oldFolder));
    QFile keep(oldFolder + QStringLiteral("/keep.txt"));
    QVERIFY(keep.open(QIODevice::WriteOnly));
    keep.write("keep");
    keep.close();
    const auto window = makeWindow(true);
    for (const QString &path : linkPaths) {
        switch (stale) {
        case StaleLink:
            QVERIFY(QFile::link(keep.fileName(), path));
            break;
        case DanglingLink:
            QVERIFY(QFile::link(system->scratch() + QStringLiteral("/gone.exe"), path));
            break;
        case PlainFile: {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("old shortcut");
            break;
        }
        case LinkToFolder:
            QVERIFY(QFile::link(oldFolder, path));
            break;
        case Folder:
            QVERIFY(QDir().mkpath(path));
            QVERIFY(QFile::copy(keep.fileName(), path + QStringLiteral("/keep.txt")));
            break;
        case EarlierRun:
            break;
        }
    }
    if (stale == EarlierRun)
        createShortcuts(*window);

    createShortcuts(*window);

    const QString programFolder = system->root() + QStringLiteral("Program Files/Mirevale/");
    const QStringList targets = {
            programFolder + translatedName + QStringLiteral(".exe"),
            programFolder + translatedName + QStringLiteral(".exe"),
            programFolder + QStringLiteral("uninstall.exe"),
    };
    for (int i = 0; i < linkPaths.size(); ++i) {
        const QFileInfo info(linkPaths.at(i));
        if (stale == Folder) {
            // A folder is never removed, nor anything in it.
            QVERIFY(info.isDir());
            QVERIFY(!info.isSymLink());
            QVERIFY(QFileInfo::exists(linkPaths.at(i) + QStringLiteral("/keep.txt")));
        } else {
            QVERIFY2(info.isSymLink(), qPrintable(linkPaths.at(i)));
            QCOMPARE(info.symLinkTarget(), targets.at(i));
        }
    }
    // Replacing a link never touches what it pointed at.
    QVERIFY(QFileInfo(oldFolder + QStringLiteral("/keep.txt")).isFile());
}

QTEST_MAIN(TestRegistration)
#include "tst_registration.moc"
