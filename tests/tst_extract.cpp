// CXCopyThread with the real 7-Zip behind the 7z.exe front end, on the
// test's system drive (a temporary emulated one on Linux, the real one on
// Windows), on archives this test makes itself.

#include "CXCopyThread.h"
#include "FolderHandle.h"
#include "InstallationSwap.h"
#include "Platform.h"
#include "TestArchives.h"
#include "TestSeams.h"
#include "TestSystem.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QSettings>
#include <QSignalSpy>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <memory>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

using Tree = QMap<QString, QByteArray>; // relative path -> content

namespace {

const QString shellFoldersKey = QStringLiteral(
        "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell "
        "Folders");

Tree programContent()
{
    return {{QStringLiteral("Tarvo高效学习法.exe"), "#!/bin/sh\necho new\n"},
            {QStringLiteral("uninstall.exe"), "#!/bin/sh\nexit 0\n"},
            {QStringLiteral("readme.txt"), "version 3.0\n"},
            {QStringLiteral("lessons/one.txt"), "lesson one\n"},
            {QStringLiteral("lessons/deeper/two 二.txt"), "lesson two\n"}};
}

Tree dataContent()
{
    return {{QStringLiteral("decks/basics/vocabulary.csv"), "front,back\n"},
            {QStringLiteral("settings/defaults.ini"), "[review]\n"}};
}

Tree oldProgram()
{
    return {{QStringLiteral("Tarvo高效学习法.exe"), "old program\n"},
            {QStringLiteral("old-only.dll"), "old library\n"},
            {QStringLiteral("last-run.txt"), "written by the program\n"},
            {QStringLiteral("plugins/extra/plugin.txt"), "added later\n"},
            {QStringLiteral("lessons/one.txt"), "old lesson\n"}};
}

Tree oldData()
{
    return {{QStringLiteral("decks/mine/my deck.csv"), "the user's own\n"},
            {QStringLiteral("progress/history.log"), "reviews\n"}};
}

bool writeTree(const QString &folder, const Tree &tree)
{
    for (auto it = tree.cbegin(); it != tree.cend(); ++it) {
        if (!TestArchives::writeFile(folder + QLatin1Char('/') + it.key(), it.value()))
            return false;
    }
    return QDir().mkpath(folder);
}

// What differs between two trees, for a failure message.
QByteArray treeDifference(const Tree &actual, const Tree &expected)
{
    QStringList lines;
    for (auto it = actual.cbegin(); it != actual.cend(); ++it) {
        if (!expected.contains(it.key()))
            lines << QStringLiteral("extra: ") + it.key();
        else if (expected.value(it.key()) != it.value())
            lines << QStringLiteral("differs: %1 (%2 bytes, expected %3)")
                             .arg(it.key())
                             .arg(it.value().size())
                             .arg(expected.value(it.key()).size());
    }
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        if (!actual.contains(it.key()))
            lines << QStringLiteral("missing: ") + it.key();
    }
    return lines.join(QStringLiteral("; ")).toUtf8();
}

// Every file below folder with its content, hidden ones included; a link is
// listed, never followed, as "-> target".
Tree readTree(const QString &folder)
{
    Tree tree;
    const QDir base(folder);
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        const QString name = base.relativeFilePath(info.filePath());
        if (info.isSymLink()) {
            tree.insert(name, "-> " + info.symLinkTarget().toUtf8());
        } else if (!info.isDir()) {
            QFile file(info.filePath());
            tree.insert(name, file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("?"));
        }
    }
    return tree;
}

// How a run ended, for failure messages.
QByteArray describe(const CXCopyThread &thread)
{
    const CXCopyThread::Outcome outcome = thread.outcome();
    QString text = QStringLiteral("refusal %1 %2; stopped %3;")
                           .arg(int(outcome.refusal))
                           .arg(outcome.refusedFor.join(QLatin1Char(',')))
                           .arg(outcome.stopped);
    for (const CXCopyThread::ExtractResult &result : outcome.results)
        text += QStringLiteral(" %1: outcome %2 exit %3;")
                        .arg(result.archive)
                        .arg(int(result.outcome))
                        .arg(result.exitCode);
    return text.toUtf8();
}

void setCommonAppData(const QVariant &value)
{
    const std::unique_ptr<QSettings> key = Platform::openRegistryKey(shellFoldersKey);
    if (value.isValid())
        key->setValue(QStringLiteral("Common AppData"), value);
    else
        key->remove(QStringLiteral("Common AppData"));
}

} // namespace

class TestExtract : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void install_data();
    void install();
    void hiddenFileStopsDeletion_data();
    void hiddenFileStopsDeletion();
    void missingPayload_data();
    void missingPayload();
    void payloadNotSealed_data();
    void payloadNotSealed();
    void sealedByScript_data();
    void sealedByScript();
    void payloadHeldWhileInstalling();
    void damagedArchive_data();
    void damagedArchive();
    void extractorOutcome_data();
    void extractorOutcome();
    void commonAppData_data();
    void commonAppData();
    void allUsersFolderMissing_data();
    void allUsersFolderMissing();
    void dataFolderPermissions_data();
    void dataFolderPermissions();
    void foreignDataFolder();
    void stopBeforeStart();
    void stopDuringExtraction();
    void stopDuringDeletion();
    void refusedBeforeChanges_data();
    void refusedBeforeChanges();
    void failureRestores_data();
    void failureRestores();

private:
    QString programDir() const;
    QString dataDir() const;
    bool makePayload(const QString &password = TestArchives::installerPassword());
    bool runToEnd(CXCopyThread &thread, int timeoutMs = 60000, bool sealed = true);
    bool makeSlowProgramArchive();
    void damagedAtRandom(const QString &damage);

    std::unique_ptr<TestSystem> system;
    std::unique_ptr<QTemporaryDir> source;
    QString sourceDir;
};

void TestExtract::initTestCase()
{
    QVERIFY2(!TestArchives::realSevenZip().isEmpty(), "7-Zip (7zz, 7z or 7za) is not installed");
    QVERIFY(QFileInfo(TestArchives::frontEnd()).isExecutable());
}

// A fresh system root (set before any platform call of the test) and a fresh
// installer folder for every test.
void TestExtract::init()
{
    system = std::make_unique<TestSystem>();
    source = std::make_unique<QTemporaryDir>();
    QVERIFY(system->isValid() && source->isValid());
    QVERIFY(QDir().mkpath(Platform::systemRoot() + QStringLiteral("Program Files")));
    sourceDir = source->path() + QStringLiteral("/setup");
    QVERIFY(QDir().mkpath(sourceDir));
}

void TestExtract::cleanup()
{
    // Leave nothing of a failed test writable by the next one.
    const QList<qint64> children = TestArchives::childProcesses(QCoreApplication::applicationPid());
    QVERIFY2(children.isEmpty(), "a process started by the test is still running");
    TestSeams::current() = TestSeams();
    system.reset();
    source.reset();
}

QString TestExtract::programDir() const
{
    return Platform::systemRoot() + QStringLiteral("Program Files/Mirevale");
}

QString TestExtract::dataDir() const
{
    const std::unique_ptr<QSettings> key = Platform::openRegistryKey(shellFoldersKey);
    // (The registry holds the value with backslashes, on Linux too.)
    return key->value(QStringLiteral("Common AppData"))
                   .toString()
                   .replace(QLatin1Char('\\'), QLatin1Char('/'))
            + QStringLiteral("/Mirevale");
}

// 7z.exe, tarvo.cab and data.cab in the installer folder.
bool TestExtract::makePayload(const QString &password)
{
    const QString content = source->path() + QStringLiteral("/content");
    const QString program = content + QStringLiteral("/program/Tarvo高效学习法.exe");
    return writeTree(content + QStringLiteral("/program"), programContent())
            && QFile::setPermissions(program, QFile::permissions(program) | QFile::ExeOwner)
            && writeTree(content + QStringLiteral("/data"), dataContent())
            && TestArchives::makeArchive(sourceDir + QStringLiteral("/tarvo.cab"),
                                         content + QStringLiteral("/program"), password)
            && TestArchives::makeArchive(sourceDir + QStringLiteral("/data.cab"),
                                         content + QStringLiteral("/data"), password)
            && QFile::copy(TestArchives::frontEnd(), sourceDir + QStringLiteral("/7z.exe"))
#ifdef Q_OS_WIN
            // The shipped front end runs only the 7-Zip beside it.
            && QFile::copy(TestArchives::realSevenZip(), sourceDir + QStringLiteral("/7za.exe"))
#endif
            ;
}

// Starts the thread on the payload in sourceDir, sealed as it is now unless
// `sealed` is false, and blocks until it has ended; true when it ended in
// time and emitted finished() once.
bool TestExtract::runToEnd(CXCopyThread &thread, int timeoutMs, bool sealed)
{
    QSignalSpy finished(&thread, &QThread::finished);
    TestSeams::current().payloadDir = sourceDir;
    if (sealed && !TestArchives::sealPayload(sourceDir))
        return false;
    thread.start();
    return thread.wait(unsigned(timeoutMs)) && finished.count() == 1;
}

// A program archive that takes seconds to unpack: 400 MB of zeros from a
// sparse file, packed to a few kilobytes.
bool TestExtract::makeSlowProgramArchive()
{
    const QString content = source->path() + QStringLiteral("/big");
    QFile big(content + QStringLiteral("/big.bin"));
    const bool made = QDir().mkpath(content) && big.open(QIODevice::WriteOnly)
            && big.resize(qint64(400) << 20);
    big.close();
    const bool packed = made
            && TestArchives::makeArchive(sourceDir + QStringLiteral("/tarvo.cab"), content,
                                         TestArchives::installerPassword(),
                                         {QStringLiteral("-m0=LZMA2:d=64k:fb=273:mf=hc4"),
                                          QStringLiteral("-mmt=2")});
    return big.remove() && packed;
}

void TestExtract::install_data()
{
    QTest::addColumn<bool>("oldInstallation");
    QTest::addColumn<QString>("appData"); // "" keeps the standard value
    QTest::addColumn<QString>("setupFolder");

    QTest::newRow("first installation") << false << QString() << QString();
    QTest::newRow("reinstallation") << true << QString() << QString();
    QTest::newRow("spaces and non-ASCII paths")
            << true << QStringLiteral("All Users/共享 数据") << QStringLiteral("安装 程序 (x86)");
}

void TestExtract::install()
{
    QFETCH(bool, oldInstallation);
    QFETCH(QString, appData);
    QFETCH(QString, setupFolder);

    if (!setupFolder.isEmpty()) {
        sourceDir = source->path() + QLatin1Char('/') + setupFolder;
        QVERIFY(QDir().mkpath(sourceDir));
    }
    if (!appData.isEmpty()) {
        const QString folder = Platform::systemRoot() + appData;
        QVERIFY(QDir().mkpath(folder));
        // As the registry holds it: backslashes.
        setCommonAppData(QString(folder).replace(QLatin1Char('/'), QLatin1Char('\\')));
        QCOMPARE(dataDir(), folder + QStringLiteral("/Mirevale"));
    }
    const QString data = dataDir();
    if (oldInstallation) {
        QVERIFY(writeTree(programDir(), oldProgram()));
        QVERIFY(writeTree(data, oldData()));
    } else {
        QVERIFY(!QFileInfo::exists(programDir()));
        QVERIFY(!QFileInfo::exists(data));
    }
    QVERIFY(makePayload());

    CXCopyThread thread;
    QVERIFY(runToEnd(thread));

    // Nothing of the old installation is left, everything new is there.
    const Tree program = readTree(programDir());
    QVERIFY2(program == programContent(), treeDifference(program, programContent()).constData());
    const Tree dataTree = readTree(data);
    QVERIFY2(dataTree == dataContent(), treeDifference(dataTree, dataContent()).constData());
    QVERIFY(QFileInfo(programDir() + QStringLiteral("/Tarvo高效学习法.exe")).isExecutable());
    QVERIFY2(thread.outcome().succeeded(), describe(thread).constData());
    QVERIFY(!thread.outcome().stopped);
    QCOMPARE(thread.outcome().refusal, CXCopyThread::Refusal::None);
    const QVector<CXCopyThread::ExtractResult> results = thread.outcome().results;
    QCOMPARE(results.size(), 2);
    QCOMPARE(results.at(0).archive, sourceDir + QStringLiteral("/tarvo.cab"));
    QCOMPARE(results.at(0).folder, programDir());
    QCOMPARE(results.at(1).archive, sourceDir + QStringLiteral("/data.cab"));
    QCOMPARE(results.at(1).folder, data);
    for (const CXCopyThread::ExtractResult &result : results) {
        QCOMPARE(result.outcome, CXCopyThread::ExtractResult::Exited);
        QCOMPARE(result.exitCode, 0);
    }
    QCOMPARE(thread.extractorProcessId(), qint64(0));
}

void TestExtract::hiddenFileStopsDeletion_data()
{
    QTest::addColumn<bool>("inProgramFolder");
    QTest::addColumn<QString>("holder"); // folder holding the dotfile, relative

    QTest::newRow("program folder, sub-folder") << true << QStringLiteral("keep");
    QTest::newRow("program folder, top level") << true << QString();
    QTest::newRow("data folder, sub-folder") << false << QStringLiteral("keep");
    QTest::newRow("data folder, top level") << false << QString();
}

// The old folders are set aside whole and removed after the extraction; a
// hidden entry of the data folder (the machine's, not the installation's)
// moves to the same place in the new data folder, one of the program folder
// goes with the old folder. Nothing else old stays.
void TestExtract::hiddenFileStopsDeletion()
{
    QFETCH(bool, inProgramFolder);
    QFETCH(QString, holder);

    const QString folder = inProgramFolder ? programDir() : dataDir();
    const QString other = inProgramFolder ? dataDir() : programDir();
    Tree old;
    for (int i = 0; i < 3; ++i) {
        old.insert(QStringLiteral("file%1.txt").arg(i), QByteArray::number(i));
        old.insert(QStringLiteral("dir%1/inner/f.txt").arg(i), QByteArray::number(i));
    }
    const QString prefix = holder.isEmpty() ? QString() : holder + QLatin1Char('/');
    old.insert(prefix + QStringLiteral(".hidden"), "dotfile");
    old.insert(prefix + QStringLiteral("visible.txt"), "visible");
    QVERIFY(writeTree(folder, old));
#ifdef Q_OS_WIN
    // On Windows the dotfile is hidden by its attribute.
    QCOMPARE(QProcess::execute(QDir::fromNativeSeparators(qEnvironmentVariable("SystemRoot"))
                                       + QStringLiteral("/system32/attrib.exe"),
                               {QStringLiteral("+h"),
                                QDir::toNativeSeparators(folder + QLatin1Char('/') + prefix
                                                         + QStringLiteral(".hidden"))}),
             0);
#endif
    QVERIFY(writeTree(other, inProgramFolder ? oldData() : oldProgram()));
    QVERIFY(makePayload());

    CXCopyThread thread;
    QVERIFY(runToEnd(thread));
    QVERIFY2(thread.outcome().succeeded(), describe(thread).constData());
    QCOMPARE(thread.outcome().oldInstallation, CXCopyThread::OldInstallation::Replaced);

    Tree expected = inProgramFolder ? programContent() : dataContent();
    // Under Wine no folder is the Administrators': the old data folder counts
    // as a stranger's and is replaced whole, hidden entries too.
    if (!inProgramFolder && !TestSystem::underWine())
        expected.insert(prefix + QStringLiteral(".hidden"), "dotfile");
    const Tree after = readTree(folder);
    QVERIFY2(after == expected, treeDifference(after, expected).constData());
    QCOMPARE(readTree(other), inProgramFolder ? dataContent() : programContent());
    // Nothing is left aside.
    for (const QString &path : {programDir(), dataDir()}) {
        QVERIFY(!QFileInfo::exists(path + QStringLiteral(".previous")));
        QVERIFY(!QFileInfo::exists(path + QStringLiteral(".discarded")));
    }
}

void TestExtract::missingPayload_data()
{
    QTest::addColumn<QStringList>("missing");
    QTest::addColumn<bool>("oldInstallation");

    QTest::newRow("no 7z.exe") << QStringList {"7z.exe"} << true;
    QTest::newRow("no tarvo.cab") << QStringList {"tarvo.cab"} << true;
    QTest::newRow("no data.cab") << QStringList {"data.cab"} << true;
    QTest::newRow("nothing at all") << QStringList {"7z.exe", "tarvo.cab", "data.cab"} << true;
    QTest::newRow("no data.cab, first installation") << QStringList {"data.cab"} << false;
}

void TestExtract::missingPayload()
{
    QFETCH(QStringList, missing);
    QFETCH(bool, oldInstallation);

    if (oldInstallation) {
        QVERIFY(writeTree(programDir(), oldProgram()));
        QVERIFY(writeTree(dataDir(), oldData()));
    }
    QVERIFY(makePayload());
    for (const QString &name : missing)
        QVERIFY(QFile::remove(sourceDir + QLatin1Char('/') + name));

    CXCopyThread thread;
    QVERIFY(runToEnd(thread));

    if (oldInstallation) {
        QCOMPARE(readTree(programDir()), oldProgram());
        QCOMPARE(readTree(dataDir()), oldData());
    } else {
        QVERIFY(!QFileInfo::exists(programDir()));
        QVERIFY(!QFileInfo::exists(dataDir()));
    }
    QCOMPARE(thread.outcome().refusal, CXCopyThread::Refusal::PayloadMissing);
    QCOMPARE(thread.outcome().refusedFor, missing);
    QVERIFY(thread.outcome().results.isEmpty());
    QVERIFY(!thread.outcome().succeeded());
    QVERIFY(!thread.outcome().stopped);
}

void TestExtract::payloadNotSealed_data()
{
    QTest::addColumn<QString>("change"); // what happens to the sealed payload
    QTest::addColumn<QString>("refused"); // the file named; "" the installer itself

    QTest::newRow("installer never sealed") << QStringLiteral("unsealed") << QString();
    QTest::newRow("seal cut short") << QStringLiteral("cut") << QString();
    QTest::newRow("tarvo.cab replaced")
            << QStringLiteral("replace tarvo.cab") << QStringLiteral("tarvo.cab");
    QTest::newRow("data.cab replaced")
            << QStringLiteral("replace data.cab") << QStringLiteral("data.cab");
    QTest::newRow("data.cab, one byte changed")
            << QStringLiteral("flip data.cab") << QStringLiteral("data.cab");
    QTest::newRow("7z.exe replaced") << QStringLiteral("plant 7z.exe") << QStringLiteral("7z.exe");
#ifdef Q_OS_WIN
    QTest::newRow("7za.exe replaced")
            << QStringLiteral("plant 7za.exe") << QStringLiteral("7za.exe");
#else
    QTest::newRow("7z.exe a link to the sealed one")
            << QStringLiteral("link 7z.exe") << QStringLiteral("7z.exe");
#endif
}

// The installer runs and unpacks only the payload it was sealed with: an
// installer without a seal, or a payload file of another size or content
// than sealed, or no regular file, is refused before anything is deleted
// or run; a program planted in the payload never runs.
void TestExtract::payloadNotSealed()
{
    QFETCH(QString, change);
    QFETCH(QString, refused);

    QVERIFY(writeTree(programDir(), oldProgram()));
    QVERIFY(writeTree(dataDir(), oldData()));
    QVERIFY(makePayload());
    QVERIFY(TestArchives::sealPayload(sourceDir));
    const QString file = sourceDir + QLatin1Char('/') + change.section(QLatin1Char(' '), 1);
    const QString ran = source->path() + QStringLiteral("/planted-ran.txt");
    if (change == QLatin1String("unsealed")) {
        TestSeams::current().sealTable.clear();
        refused = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    } else if (change == QLatin1String("cut")) {
        TestSeams::current().sealTable.chop(4); // without "end\n"
        refused = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    } else if (change.startsWith(QLatin1String("replace "))) {
        // A sound archive with the password: the archives' check passes it.
        QVERIFY(QFile::remove(file));
        QVERIFY(TestArchives::makeArchive(file, source->path() + QStringLiteral("/content/data"),
                                          TestArchives::installerPassword()));
    } else if (change.startsWith(QLatin1String("flip "))) {
        QFile archive(file);
        QVERIFY(archive.open(QIODevice::ReadWrite));
        const qint64 at = archive.size() - 1;
        QVERIFY(archive.seek(at));
        char byte = 0;
        QVERIFY(archive.getChar(&byte));
        QVERIFY(archive.seek(at));
        QVERIFY(archive.putChar(char(byte ^ 1)));
    } else if (change.startsWith(QLatin1String("plant "))) {
        QVERIFY(QFile::remove(file));
#ifdef Q_OS_WIN
        // The stand-in records any extraction; its listings and tests go
        // to no front end and fail.
        QVERIFY(QFile::copy(QStringLiteral(MIREVALE_STANDIN_EXTRACTOR), file));
        QVERIFY(TestArchives::writeFile(sourceDir + QStringLiteral("/stand-in.txt"),
                                        source->path().toUtf8() + "/none.exe\n" + ran.toUtf8()
                                                + "\nexit 0\n"));
#else
        QVERIFY(TestArchives::writeFile(
                file,
                "#!/bin/sh\necho ran >>'" + QFile::encodeName(ran) + "'\nexec '"
                        + QFile::encodeName(TestArchives::frontEnd()) + "' \"$@\"\n"));
        QVERIFY(QFile::setPermissions(file, QFile::permissions(file) | QFile::ExeOwner));
#endif
    } else if (change.startsWith(QLatin1String("link "))) {
        const QString moved = source->path() + QStringLiteral("/elsewhere.exe");
        QVERIFY(QFile::rename(file, moved));
        QVERIFY(QFile::link(moved, file));
    }

    CXCopyThread thread;
    QVERIFY(runToEnd(thread, 60000, false));

    const CXCopyThread::Outcome outcome = thread.outcome();
    QCOMPARE(outcome.refusal, CXCopyThread::Refusal::PayloadDamaged);
    QCOMPARE(outcome.refusedFor, QStringList {refused});
    QVERIFY(outcome.results.isEmpty());
    QVERIFY(!outcome.succeeded());
    QVERIFY(!QFileInfo::exists(ran));
    QCOMPARE(readTree(programDir()), oldProgram());
    QCOMPARE(readTree(dataDir()), oldData());
}

void TestExtract::sealedByScript_data()
{
    QTest::addColumn<bool>("changedAfterSealing");

    QTest::newRow("payload as sealed") << false;
    QTest::newRow("data.cab changed after sealing") << true;
}

// scripts/seal writes the seal into the program's own image, where the
// installer finds it: a copy of this test program, sealed by the script
// with a payload beside it, installs that payload, and refuses it once
// changed. (The copy runs this same test function, finding the payload's
// folder in MIREVALE_SEALED_PAYLOAD, with no seal of the test seams.)
void TestExtract::sealedByScript()
{
    QFETCH(bool, changedAfterSealing);
    const QByteArray sealed = qgetenv("MIREVALE_SEALED_PAYLOAD");
    if (!sealed.isEmpty()) {
        TestSeams::current().sealTable.clear();
        sourceDir = QFile::decodeName(sealed);
        CXCopyThread thread;
        QVERIFY(runToEnd(thread, 60000, false));
        QCOMPARE(thread.outcome().succeeded(), !changedAfterSealing);
        QCOMPARE(thread.outcome().refusedFor,
                 changedAfterSealing ? QStringList {QStringLiteral("data.cab")} : QStringList());
        return;
    }
#ifdef Q_OS_WIN
    QSKIP("scripts/seal runs on the build machine; the Windows stage seals the shipped installer");
#else
    QVERIFY(makePayload());
    const QString copy = sourceDir + QStringLiteral("/tst_extract_sealed");
    QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), copy));
    QProcess seal;
    seal.start(QStringLiteral(MIREVALE_SOURCE_DIR "/scripts/seal"),
               {sourceDir, QStringLiteral("tst_extract_sealed")});
    QVERIFY(seal.waitForFinished(30000));
    QVERIFY2(seal.exitCode() == 0, seal.readAllStandardError().constData());
    if (changedAfterSealing)
        QVERIFY(TestArchives::writeFile(sourceDir + QStringLiteral("/data.cab"), "changed"));

    QProcess run;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("MIREVALE_SEALED_PAYLOAD"), sourceDir);
    run.setProcessEnvironment(environment);
    run.setProcessChannelMode(QProcess::MergedChannels);
    run.start(copy,
              {QStringLiteral("sealedByScript:") + QString::fromUtf8(QTest::currentDataTag())});
    QVERIFY(run.waitForFinished(60000));
    QVERIFY2(run.exitStatus() == QProcess::NormalExit && run.exitCode() == 0,
             run.readAll().constData());
#endif
}

// From its check to the end of the run the payload is held: on Windows no
// one can write, rename or delete a file of it, or rename its folder, while
// reading it still works; on Linux the descriptors are open (POSIX cannot
// keep anyone out). All of it is let go when the run ends.
void TestExtract::payloadHeldWhileInstalling()
{
    QVERIFY(makePayload());
    QVERIFY(makeSlowProgramArchive());
    QStringList names {QStringLiteral("7z.exe"), QStringLiteral("tarvo.cab"),
                       QStringLiteral("data.cab")};
#ifdef Q_OS_WIN
    names << QStringLiteral("7za.exe");
#else
    // What this process holds open, by path.
    const auto held = []() {
        QStringList paths;
        for (const QFileInfo &fd :
             QDir(QStringLiteral("/proc/self/fd")).entryInfoList(QDir::AllEntries | QDir::System))
            paths << fd.symLinkTarget();
        return paths;
    };
#endif
    CXCopyThread thread;
    TestSeams::current().payloadDir = sourceDir;
    QVERIFY(TestArchives::sealPayload(sourceDir));
    thread.start();
    const auto stopOnFailure = qScopeGuard([&thread] {
        thread.requestInterruption();
        thread.wait();
    });
    QTRY_VERIFY_WITH_TIMEOUT(thread.extractorProcessId() != 0 || thread.isFinished(), 60000);
    QVERIFY(thread.extractorProcessId() != 0);

    for (const QString &name : qAsConst(names)) {
        const QString path = sourceDir + QLatin1Char('/') + name;
#ifdef Q_OS_WIN
        QFile file(path);
        QVERIFY2(!file.open(QIODevice::ReadWrite), qPrintable(name));
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(name));
        file.close();
        QVERIFY2(!MoveFileExW(
                         reinterpret_cast<LPCWSTR>(QDir::toNativeSeparators(path).utf16()),
                         reinterpret_cast<LPCWSTR>(
                                 QDir::toNativeSeparators(path + QStringLiteral(".moved")).utf16()),
                         0),
                 qPrintable(name));
        QVERIFY2(!DeleteFileW(reinterpret_cast<LPCWSTR>(QDir::toNativeSeparators(path).utf16())),
                 qPrintable(name));
#else
        QVERIFY2(held().contains(path), qPrintable(name));
#endif
    }
#ifdef Q_OS_WIN
    QVERIFY(!QDir().rename(sourceDir, sourceDir + QStringLiteral("-moved")));
#else
    QVERIFY(held().contains(sourceDir));
#endif

    thread.requestInterruption();
    QVERIFY(thread.wait(10000));
    QVERIFY(thread.outcome().stopped);
#ifdef Q_OS_WIN
    QVERIFY(QDir().rename(sourceDir, sourceDir + QStringLiteral("-moved")));
#else
    const QStringList after = held();
    for (const QString &path : after)
        QVERIFY2(!path.startsWith(sourceDir), qPrintable(path));
#endif
}

void TestExtract::damagedArchive_data()
{
    QTest::addColumn<QString>("damage"); // what is done to the payload
    QTest::addColumn<QString>("archive"); // the archive the check refuses; empty: at random

    // (Every kind of damage the check finds: tst_archivecheck.)
    QTest::newRow("wrong password") << QStringLiteral("password") << QStringLiteral("tarvo.cab");
    QTest::newRow("corrupted second archive")
            << QStringLiteral("corrupt data.cab") << QStringLiteral("data.cab");
#ifndef Q_OS_WIN
    QTest::newRow("truncated at random") << QStringLiteral("truncate") << QString();
    QTest::newRow("bit flipped at random") << QStringLiteral("flip") << QString();
#endif
}

// A damaged archive never makes a successful installation. When the check
// before the deletion refuses it, the old installation stays exactly as it
// was and nothing is extracted. Damage at random, in either archive, is
// found by the check or by the extraction, except for a flip in a byte that
// nothing reads.
void TestExtract::damagedArchive()
{
    QFETCH(QString, damage);
    QFETCH(QString, archive);

    if (archive.isEmpty()) {
        damagedAtRandom(damage);
        return;
    }
    QVERIFY(writeTree(programDir(), oldProgram()));
    QVERIFY(writeTree(dataDir(), oldData()));
    QVERIFY(QFile::setPermissions(dataDir(), QFileDevice::Permissions(0x7777)));
    const QString dataSecurity = Platform::securityDescriptor(dataDir());
    QVERIFY(makePayload(damage == QLatin1String("password") ? QStringLiteral("another one")
                                                            : TestArchives::installerPassword()));
    if (damage.startsWith(QLatin1String("corrupt "))) {
        // Overwrite the middle of the packed stream.
        QFile file(sourceDir + QLatin1Char('/') + damage.section(QLatin1Char(' '), 1));
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.seek(file.size() / 3));
        file.write(QByteArray(int(file.size() / 3), '\xA5'));
    }

    CXCopyThread thread;
    QVERIFY(runToEnd(thread));

    const CXCopyThread::Outcome outcome = thread.outcome();
    QCOMPARE(outcome.refusal, CXCopyThread::Refusal::ArchiveUnusable);
    QCOMPARE(outcome.refusedFor, QStringList {archive});
    QVERIFY(outcome.results.isEmpty());
    QVERIFY(!outcome.succeeded());
    QVERIFY(!outcome.stopped);
    QCOMPARE(outcome.archiveCheckMs, qint64(-1));
    QCOMPARE(readTree(programDir()), oldProgram());
    QCOMPARE(readTree(dataDir()), oldData());
    QCOMPARE(Platform::securityDescriptor(dataDir()), dataSecurity);
}

// Runs of an installation, each with one archive truncated or with one bit
// flipped at a random place; the seed is printed, MIREVALE_FAULT_SEED
// replays it and MIREVALE_FAULT_RUNS sets the number of runs (30).
void TestExtract::damagedAtRandom(const QString &damage)
{
    const QByteArray given = qgetenv("MIREVALE_FAULT_SEED");
    const quint32 seed = given.isEmpty() ? QRandomGenerator::global()->generate() : given.toUInt();
    qInfo("fault seed: %u (set MIREVALE_FAULT_SEED=%u to replay)", seed, seed);
    QRandomGenerator random(seed);
    const int runs = qEnvironmentVariableIsSet("MIREVALE_FAULT_RUNS")
            ? qMax(1, qEnvironmentVariableIntValue("MIREVALE_FAULT_RUNS"))
            : 30;
    QVERIFY(makePayload());
    QMap<QString, QByteArray> sound;
    for (const QString &name : {QStringLiteral("tarvo.cab"), QStringLiteral("data.cab")}) {
        QFile file(sourceDir + QLatin1Char('/') + name);
        QVERIFY(file.open(QIODevice::ReadOnly));
        sound.insert(name, file.readAll());
    }

    int failures = 0;
    for (int run = 0; run < runs; ++run) {
        QVERIFY(QDir(programDir()).removeRecursively() && QDir(dataDir()).removeRecursively());
        QVERIFY(writeTree(programDir(), oldProgram()));
        QVERIFY(writeTree(dataDir(), oldData()));
        const QString damaged
                = run % 2 == 0 ? QStringLiteral("tarvo.cab") : QStringLiteral("data.cab");
        QString what;
        for (auto it = sound.cbegin(); it != sound.cend(); ++it) {
            QByteArray bytes = it.value();
            if (it.key() == damaged && damage == QLatin1String("truncate")) {
                const int keep = int(random.bounded(bytes.size()));
                bytes.truncate(keep);
                what = QStringLiteral("%1 truncated to %2 bytes").arg(damaged).arg(keep);
            } else if (it.key() == damaged) {
                const int at = int(random.bounded(bytes.size()));
                const int bit = int(random.bounded(8));
                bytes[at] = char(bytes.at(at) ^ (1 << bit));
                what = QStringLiteral("%1 bit %2 of byte %3 flipped").arg(damaged).arg(bit).arg(at);
            }
            QFile file(sourceDir + QLatin1Char('/') + it.key());
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            QCOMPARE(file.write(bytes), qint64(bytes.size()));
        }

        CXCopyThread thread;
        QVERIFY2(runToEnd(thread), qPrintable(what));
        const CXCopyThread::Outcome outcome = thread.outcome();
        if (outcome.refusal == CXCopyThread::Refusal::ArchiveUnusable) {
            QVERIFY2(outcome.results.isEmpty(), qPrintable(what));
            QVERIFY2(readTree(programDir()) == oldProgram(), qPrintable(what));
            QVERIFY2(readTree(dataDir()) == oldData(), qPrintable(what));
        } else {
            QVERIFY2(outcome.refusal == CXCopyThread::Refusal::None, describe(thread).constData());
            QCOMPARE(outcome.results.size(), outcome.results.value(0).succeeded() ? 2 : 1);
            if (!outcome.succeeded()) { // the old installation is back, exactly
                QVERIFY2(readTree(programDir()) == oldProgram(), qPrintable(what));
                QVERIFY2(readTree(dataDir()) == oldData(), qPrintable(what));
                QCOMPARE(outcome.oldInstallation, CXCopyThread::OldInstallation::Restored);
            }
        }
        if (!outcome.succeeded())
            ++failures;
    }
    // 7-Zip checks the archive's checksums: a damaged archive fails, except
    // for a flip in a byte that nothing reads.
    qInfo("%d of %d runs failed as they should", failures, runs);
    QVERIFY(failures >= runs * 9 / 10);
}

void TestExtract::extractorOutcome_data()
{
    QTest::addColumn<QByteArray>("script"); // the fake 7z.exe, empty: not executable
    QTest::addColumn<int>("outcome");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<bool>("success");

    using R = CXCopyThread::ExtractResult;
    QTest::newRow("no error") << QByteArray("exit 0") << int(R::Exited) << 0 << true;
    QTest::newRow("warnings") << QByteArray("exit 1") << int(R::Exited) << 1 << true;
    QTest::newRow("fatal error") << QByteArray("exit 2") << int(R::Exited) << 2 << false;
    QTest::newRow("command-line error") << QByteArray("exit 7") << int(R::Exited) << 7 << false;
    QTest::newRow("out of memory") << QByteArray("exit 8") << int(R::Exited) << 8 << false;
#ifdef Q_OS_WIN
    // How Windows ends a process on an access violation (0xC0000005).
    QTest::newRow("crash") << QByteArray("exit -1073741819") << int(R::Crashed) << -1 << false;
#else
    QTest::newRow("crash") << QByteArray("kill -SEGV $$") << int(R::Crashed) << -1 << false;
#endif
    QTest::newRow("cannot start") << QByteArray() << int(R::NotStarted) << -1 << false;
}

// A stand-in extractor records its arguments: the installer's four, in order,
// for both archives, each outcome classified. The archives' check goes on to
// the real front end; a stand-in that cannot start fails it.
void TestExtract::extractorOutcome()
{
    QFETCH(QByteArray, script);
    QFETCH(int, outcome);
    QFETCH(int, exitCode);
    QFETCH(bool, success);

    QVERIFY(makePayload());
    const QString fake = sourceDir + QStringLiteral("/7z.exe");
    const QString argsFile = source->path() + QStringLiteral("/args.txt");
    QVERIFY(QFile::remove(fake));
#ifdef Q_OS_WIN
    if (script.isEmpty()) {
        QVERIFY(TestArchives::writeFile(fake, "not a program"));
    } else {
        QVERIFY(QFile::copy(QStringLiteral(MIREVALE_STANDIN_EXTRACTOR), fake));
        QVERIFY(TestArchives::writeFile(sourceDir + QStringLiteral("/stand-in.txt"),
                                        TestArchives::frontEnd().toUtf8() + '\n' + argsFile.toUtf8()
                                                + '\n' + script + "\nworking folder\n"));
    }
#else
    QVERIFY(TestArchives::writeFile(
            fake,
            "#!/bin/sh\ncase \"$1\" in l|t) exec '" + QFile::encodeName(TestArchives::frontEnd())
                    + "' \"$@\";; esac\nprintf '%s\\n' \"$@\" >>'" + QFile::encodeName(argsFile)
                    + "'\npwd -P >>'" + QFile::encodeName(argsFile) + "'\n" + script + "\n"));
    if (!script.isEmpty())
        QVERIFY(QFile::setPermissions(fake, QFile::permissions(fake) | QFile::ExeOwner));
#endif

    CXCopyThread thread;
    QVERIFY(runToEnd(thread));

    const QVector<CXCopyThread::ExtractResult> results = thread.outcome().results;
    if (script.isEmpty()) {
        QCOMPARE(thread.outcome().refusal, CXCopyThread::Refusal::ArchiveUnusable);
        QVERIFY(results.isEmpty());
        QVERIFY(!QFileInfo::exists(programDir()));
        QVERIFY(!QFileInfo::exists(argsFile));
        return;
    }
    QCOMPARE(thread.outcome().refusal, CXCopyThread::Refusal::None);
    QVERIFY(thread.outcome().archiveCheckMs >= 0);
    // After a failure the second archive is not tried.
    QCOMPARE(results.size(), success ? 2 : 1);
    for (const CXCopyThread::ExtractResult &result : results) {
        QCOMPARE(int(result.outcome), outcome);
        QCOMPARE(result.exitCode, exitCode);
        QCOMPARE(result.succeeded(), success);
    }
    QCOMPARE(thread.outcome().succeeded(), success);
    QCOMPARE(thread.outcome().oldInstallation, CXCopyThread::OldInstallation::None);
    // Both folders were made before the extractor ran; a first installation
    // that failed leaves neither.
    QCOMPARE(QFileInfo(programDir()).isDir(), success);
    QCOMPARE(QFileInfo(dataDir()).isDir(), success);
    QFile file(argsFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString password = TestArchives::installerPassword();
    // Each run's arguments, then the folder it worked in: the payload's own,
    // never the one the installer was started in.
    const QString workedIn = QFileInfo(sourceDir).canonicalFilePath();
    const QStringList expected {QStringLiteral("x"),
                                QStringLiteral("-yo") + programDir(),
                                QStringLiteral("-p") + password,
                                sourceDir + QStringLiteral("/tarvo.cab"),
                                workedIn,
                                QStringLiteral("x"),
                                QStringLiteral("-yo") + dataDir(),
                                QStringLiteral("-p") + password,
                                sourceDir + QStringLiteral("/data.cab"),
                                workedIn};
    QStringList recorded
            = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (int i = 4; i < recorded.size(); i += 5)
        recorded[i] = QFileInfo(recorded.at(i)).canonicalFilePath();
    QCOMPARE(recorded, success ? expected : QStringList(expected.mid(0, 5)));
}

void TestExtract::commonAppData_data()
{
    QTest::addColumn<QVariant>("value"); // invalid: the value is missing

    QTest::newRow("missing") << QVariant();
    QTest::newRow("empty") << QVariant(QString());
    QTest::newRow("blank") << QVariant(QStringLiteral(" \t "));
    QTest::newRow("relative") << QVariant(QStringLiteral("ProgramData"));
    QTest::newRow("root") << QVariant(QStringLiteral("/"));
}

// Without a usable "Common AppData" the standard all-users folder is used;
// nothing is built from an empty value (which would mean "/Mirevale").
void TestExtract::commonAppData()
{
    QFETCH(QVariant, value);

    const QString standard = Platform::standardFolder(Platform::StandardFolder::CommonAppData)
            + QStringLiteral("/Mirevale");
    QVERIFY(writeTree(standard, oldData()));
    setCommonAppData(value);
    const bool rootFolderBefore = QFileInfo::exists(QStringLiteral("/Mirevale"));
    QVERIFY(makePayload());

    CXCopyThread thread;
    QVERIFY(runToEnd(thread));

    QCOMPARE(readTree(standard), dataContent());
    QCOMPARE(QFileInfo::exists(QStringLiteral("/Mirevale")), rootFolderBefore);
    QVERIFY(!QFileInfo::exists(QDir::currentPath() + QStringLiteral("/ProgramData/Mirevale")));
    QCOMPARE(thread.outcome().results.value(1).folder, standard);
    QVERIFY(thread.outcome().succeeded());
}

void TestExtract::allUsersFolderMissing_data()
{
    QTest::addColumn<QString>("name"); // the Shell Folders value
    QTest::addColumn<QVariant>("value"); // invalid: the value is missing

    QTest::newRow("data folder: missing") << QStringLiteral("Common AppData") << QVariant();
    QTest::newRow("data folder: empty") << QStringLiteral("Common AppData") << QVariant(QString());
    QTest::newRow("desktop: blank")
            << QStringLiteral("Common Desktop") << QVariant(QStringLiteral("  "));
    QTest::newRow("Programs menu: relative") << QStringLiteral("Common Programs")
                                             << QVariant(QStringLiteral("Start Menu\\Programs"));
}

// No usable value and no standard folder either: the installation refuses
// before anything is deleted, and builds no path from nothing.
void TestExtract::allUsersFolderMissing()
{
#ifdef Q_OS_WIN
    QSKIP("the standard folders cannot be taken away from a real Windows");
#else
    QFETCH(QString, name);
    QFETCH(QVariant, value);

    const QString data = dataDir();
    QVERIFY(writeTree(programDir(), oldProgram()));
    QVERIFY(writeTree(data, oldData()));
    {
        const std::unique_ptr<QSettings> key = Platform::openRegistryKey(shellFoldersKey);
        if (value.isValid())
            key->setValue(name, value);
        else
            key->remove(name);
    }
    QVERIFY(makePayload());
    const QStringList rootBefore = QDir(Platform::systemRoot()).entryList(QDir::AllEntries);
    const bool rootFolderBefore = QFileInfo::exists(QStringLiteral("/Mirevale"));

    qputenv("MIREVALE_NO_STANDARD_FOLDERS", "1");
    QVERIFY(Platform::standardFolder(Platform::StandardFolder::CommonDesktop).isEmpty());
    CXCopyThread thread;
    const bool ended = runToEnd(thread);
    qunsetenv("MIREVALE_NO_STANDARD_FOLDERS");
    QVERIFY(ended);

    QCOMPARE(thread.outcome().refusal, CXCopyThread::Refusal::FolderUnknown);
    QCOMPARE(thread.outcome().refusedFor, QStringList {name});
    QVERIFY(thread.outcome().results.isEmpty());
    QVERIFY(!thread.outcome().succeeded());
    QCOMPARE(readTree(programDir()), oldProgram());
    QCOMPARE(readTree(data), oldData());
    QCOMPARE(QDir(Platform::systemRoot()).entryList(QDir::AllEntries), rootBefore);
    QCOMPARE(QFileInfo::exists(QStringLiteral("/Mirevale")), rootFolderBefore);
#endif
}

void TestExtract::dataFolderPermissions_data()
{
    QTest::addColumn<QByteArray>("extraction"); // what the stand-in extractor does
    QTest::addColumn<bool>("stop");

#ifdef Q_OS_WIN
    // The real extractor on a slow archive: to its end, or stopped.
    QTest::newRow("finished") << QByteArray() << false;
    QTest::newRow("stopped") << QByteArray() << true;
    return;
#endif
    QTest::newRow("finished") << QByteArray("exit 0") << false;
    QTest::newRow("failed") << QByteArray("exit 2") << false;
    QTest::newRow("stopped") << QByteArray("exec sleep 60") << true;
}

// The new data folder, beside an old one of mode 0777 under a ProgramData
// of mode 0775, is 0755 and this process's while the extractor runs, and
// takes its parent's mode when the installation ends; after a failure or a
// stop the old one is back with its own.
void TestExtract::dataFolderPermissions()
{
    QFETCH(QByteArray, extraction);
    QFETCH(bool, stop);

#ifdef Q_OS_WIN
    // While 7-Zip runs, the data folder carries the installer's protected
    // descriptor; afterwards it inherits from ProgramData again.
    Q_UNUSED(extraction);
    QVERIFY(writeTree(dataDir(), oldData()));
    const QString inherited = Platform::securityDescriptor(dataDir());
    QVERIFY(!inherited.isEmpty());
    QVERIFY(makePayload());
    QVERIFY(makeSlowProgramArchive());
    CXCopyThread thread;
    TestSeams::current().payloadDir = sourceDir;
    QVERIFY(TestArchives::sealPayload(sourceDir));
    thread.start();
    QTRY_VERIFY_WITH_TIMEOUT(thread.extractorProcessId() != 0 || thread.isFinished(), 60000);
    const bool extracting = thread.extractorProcessId() != 0;
    const QString during = Platform::securityDescriptor(dataDir());
    if (stop)
        thread.requestInterruption();
    QVERIFY(thread.wait(120000));
    QVERIFY(extracting);
    QCOMPARE(thread.outcome().stopped, stop);
    QCOMPARE(thread.outcome().succeeded(), !stop);
    if (stop && TestSystem::underWine())
        QSKIP("under Wine the old data folder is not the Administrators': a stop does not put it "
              "back");
    QCOMPARE(Platform::securityDescriptor(dataDir()), inherited);
    if (TestSystem::underWine())
        QSKIP("Wine keeps no security descriptor of a folder");
    QCOMPARE(during,
             QStringLiteral("O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)"));
#else
    // The machine's hidden folders: one anyone may write, with a folder in it,
    // and one that shuts its owner out (taken over rather than refused).
    const Tree kept {{QStringLiteral(".open/state.bin"), "machine\n"},
                     {QStringLiteral(".open/inner/state.bin"), "machine\n"},
                     {QStringLiteral(".shut/key.bin"), "machine\n"}};
    Tree old = oldData();
    for (auto it = kept.cbegin(); it != kept.cend(); ++it)
        old.insert(it.key(), it.value());
    QVERIFY(writeTree(dataDir(), old));
    const QString appData = QFileInfo(dataDir()).path();
    QVERIFY(::chmod(QFile::encodeName(appData).constData(), 0775) == 0);
    QVERIFY(::chmod(QFile::encodeName(dataDir()).constData(), 0777) == 0);
    QVERIFY(::chmod(QFile::encodeName(dataDir() + QStringLiteral("/.open")).constData(), 0777)
            == 0);
    QVERIFY(::chmod(QFile::encodeName(dataDir() + QStringLiteral("/.shut")).constData(), 0) == 0);
    QVERIFY(makePayload());
    const QString fake = sourceDir + QStringLiteral("/7z.exe");
    const QString seen = source->path() + QStringLiteral("/seen.txt");
    QVERIFY(QFile::remove(fake));
    const QByteArray data = QFile::encodeName(dataDir());
    QVERIFY(TestArchives::writeFile(
            fake,
            "#!/bin/sh\ncase \"$1\" in l|t) exec '" + QFile::encodeName(TestArchives::frontEnd())
                    + "' \"$@\";; esac\nstat -c '%a %u' '" + data + "' '" + data + "/.open' '"
                    + data + "/.shut' >>'" + QFile::encodeName(seen) + "'\n" + extraction + "\n"));
    QVERIFY(QFile::setPermissions(fake, QFile::permissions(fake) | QFile::ExeOwner));

    CXCopyThread thread;
    TestSeams::current().payloadDir = sourceDir;
    QVERIFY(TestArchives::sealPayload(sourceDir));
    thread.start();
    if (stop) {
        QTRY_VERIFY_WITH_TIMEOUT(thread.extractorProcessId() != 0 && QFileInfo(seen).size() > 0,
                                 30000);
        thread.requestInterruption();
    }
    QVERIFY(thread.wait(60000));

    QFile file(seen);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray during = QByteArray::number(0755, 8) + ' ' + QByteArray::number(::geteuid());
    int lines = 0;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (!line.isEmpty()) {
            QCOMPARE(line, during);
            ++lines;
        }
    }
    QCOMPARE(lines % 3, 0);
    QVERIFY(lines > 0);
    // A new data folder inherits; after a failure or a stop the old one is
    // back as it was. The hidden folders inherit in either case: they were
    // the new folder's while it inherited.
    const bool finished = thread.outcome().succeeded();
    const QString owner = QStringLiteral("owner %1 mode ").arg(::geteuid());
    QCOMPARE(Platform::securityDescriptor(dataDir()),
             owner + QLatin1String(finished ? "0775" : "0777"));
    // (each after its own folder: given back before it, .open/inner would
    // inherit .open's protected mode)
    for (const QString &folder :
         {QStringLiteral("/.open"), QStringLiteral("/.open/inner"), QStringLiteral("/.shut")})
        QCOMPARE(Platform::securityDescriptor(dataDir() + folder), owner + QLatin1String("0775"));
    // (the stand-in unpacks nothing)
    QCOMPARE(readTree(dataDir()), finished ? kept : old);
    QCOMPARE(finished, extraction == "exit 0");
    QCOMPARE(thread.outcome().stopped, stop);
#endif
}

// A data folder that someone else owns is not trusted: it is removed with
// everything in it, hidden entries too, without following the link inside,
// and made afresh.
void TestExtract::foreignDataFolder()
{
#ifdef Q_OS_WIN
    QSKIP("needs another owner; Wine has one user");
#else
    if (::geteuid() != 0)
        QSKIP("needs root to give the folder to another user");
    const QString outside = source->path() + QStringLiteral("/outside");
    const Tree precious {{QStringLiteral("keep.txt"), "precious\n"}};
    QVERIFY(writeTree(outside, precious));
    QVERIFY(writeTree(dataDir(), oldData()));
    QVERIFY(TestArchives::writeFile(dataDir() + QStringLiteral("/.planted"), "x"));
    QVERIFY(QFile::link(outside, dataDir() + QStringLiteral("/decks/out")));
    QCOMPARE(QProcess::execute(QStringLiteral("chown"),
                               {QStringLiteral("-R"), QStringLiteral("-h"),
                                QStringLiteral("nobody:nogroup"), dataDir()}),
             0);
    QVERIFY(makePayload());

    CXCopyThread thread;
    QVERIFY(runToEnd(thread));

    QVERIFY(thread.outcome().succeeded());
    QCOMPARE(readTree(outside), precious);
    QCOMPARE(readTree(dataDir()), dataContent());
    const QString appData = QFileInfo(dataDir()).path();
    QCOMPARE(Platform::securityDescriptor(dataDir()),
             QStringLiteral("owner 0 mode %1")
                     .arg(Platform::securityDescriptor(appData).section(QLatin1Char(' '), 3)));
#endif
}

void TestExtract::stopBeforeStart()
{
    QVERIFY(writeTree(programDir(), oldProgram()));
    QVERIFY(writeTree(dataDir(), oldData()));
    QVERIFY(makePayload());

    // Asked to stop the moment it runs, before run() (a request before
    // start() is void).
    CXCopyThread thread;
    connect(
            &thread, &QThread::started, &thread, [&thread] { thread.requestInterruption(); },
            Qt::DirectConnection);
    QVERIFY(runToEnd(thread));

    QCOMPARE(readTree(programDir()), oldProgram());
    QCOMPARE(readTree(dataDir()), oldData());
    QVERIFY(thread.outcome().stopped);
    QVERIFY(thread.outcome().results.isEmpty());
    QVERIFY(!thread.outcome().succeeded());
    QCOMPARE(thread.outcome().oldInstallation, CXCopyThread::OldInstallation::Intact);
}

// The extractor is killed at once; the thread ends within a second and no
// process it started is left. What was already extracted is removed.
void TestExtract::stopDuringExtraction()
{
    QVERIFY(makePayload());
    QVERIFY(makeSlowProgramArchive());

    CXCopyThread thread;
    QSignalSpy finished(&thread, &QThread::finished);
    TestSeams::current().payloadDir = sourceDir;
    QVERIFY(TestArchives::sealPayload(sourceDir));
    thread.start();

    // Wait until 7-Zip is writing, noting every process id below the worker.
    const QString output = programDir() + QStringLiteral("/big.bin");
    QList<qint64> started;
    QElapsedTimer waiting;
    waiting.start();
    while (waiting.elapsed() < 30000 && !thread.isFinished()) {
        const qint64 pid = thread.extractorProcessId();
        if (pid != 0 && !started.contains(pid))
            started << pid;
        if (pid != 0) {
            for (qint64 child : TestArchives::childProcesses(pid)) {
                if (!started.contains(child))
                    started << child;
            }
        }
        if (pid != 0 && QFileInfo(output).size() > 0)
            break;
        QThread::yieldCurrentThread();
    }
    QVERIFY2(!started.isEmpty() && QFileInfo(output).size() > 0,
             "the extraction did not get under way");

    QElapsedTimer stopping;
    stopping.start();
    thread.requestInterruption();
    QVERIFY(thread.wait(1000));
    QVERIFY(stopping.elapsed() < 1000);
    QCOMPARE(finished.count(), 1);

    for (qint64 pid : started)
        QVERIFY2(!TestArchives::processAlive(pid), qPrintable(QString::number(pid)));
    QVERIFY(TestArchives::childProcesses(QCoreApplication::applicationPid()).isEmpty());
    QCOMPARE(thread.extractorProcessId(), qint64(0));
    QVERIFY(thread.outcome().stopped);
    QVERIFY(!thread.outcome().succeeded());
    const QVector<CXCopyThread::ExtractResult> results = thread.outcome().results;
    QCOMPARE(results.size(), 1); // data.cab was skipped
    QCOMPARE(results.at(0).outcome, CXCopyThread::ExtractResult::Stopped);
#ifndef Q_OS_WIN
    // (7-Zip for Windows gives a file its whole length before writing it.)
    QVERIFY(QFileInfo(output).size() < (qint64(400) << 20));
#endif
    // A first installation that was stopped leaves no folder.
    QVERIFY(!QFileInfo::exists(programDir()));
    QVERIFY(!QFileInfo::exists(dataDir()));
    QCOMPARE(thread.outcome().oldInstallation, CXCopyThread::OldInstallation::None);
}

// A large old installation is set aside whole, not walked: a stop while the
// new one is unpacked puts every file of it back.
void TestExtract::stopDuringDeletion()
{
    Tree old = oldProgram();
    for (int i = 0; i < 30; ++i) {
        for (int j = 0; j < 50; ++j)
            old.insert(QStringLiteral("part%1/f%2").arg(i).arg(j), QByteArray::number(j));
    }
    QVERIFY(writeTree(programDir(), old));
    QVERIFY(writeTree(dataDir(), oldData()));
    QVERIFY(makePayload());
    QVERIFY(makeSlowProgramArchive());

    CXCopyThread thread;
    TestSeams::current().payloadDir = sourceDir;
    QVERIFY(TestArchives::sealPayload(sourceDir));
    thread.start();
    const auto stopOnFailure = qScopeGuard([&thread] {
        thread.requestInterruption();
        thread.wait();
    });
    const QString output = programDir() + QStringLiteral("/big.bin");
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(output).size() > 0 || thread.isFinished(), 30000);
    QVERIFY2(QFileInfo(output).size() > 0, describe(thread).constData());
    QVERIFY(QFileInfo::exists(programDir() + QStringLiteral(".previous/part29/f49")));
    thread.requestInterruption();
    QVERIFY(thread.wait(10000));

    QVERIFY(thread.outcome().stopped);
    QCOMPARE(thread.outcome().oldInstallation, CXCopyThread::OldInstallation::Restored);
    const Tree program = readTree(programDir());
    QVERIFY2(program == old, treeDifference(program, old).constData());
    // (Under Wine the old data folder is not the Administrators': it is
    // replaced, as a stranger's would be, and cannot be put back.)
    if (!TestSystem::underWine())
        QCOMPARE(readTree(dataDir()), oldData());
    for (const QString &path : {programDir(), dataDir()})
        QVERIFY(!QFileInfo::exists(path + QStringLiteral(".previous")));
}

void TestExtract::refusedBeforeChanges_data()
{
    QTest::addColumn<QString>("cause");
    QTest::addColumn<int>("refusal");

    using R = CXCopyThread::Refusal;
#ifndef Q_OS_WIN
    QTest::newRow("product running") << QStringLiteral("running") << int(R::ProductRunning);
#endif
    QTest::newRow("disk full") << QStringLiteral("disk") << int(R::DiskFull);
    QTest::newRow("file open in the program folder")
            << QStringLiteral("program in use") << int(R::FilesInUse);
    QTest::newRow("file open in the data folder")
            << QStringLiteral("data in use") << int(R::FilesInUse);
}

// What is refused after the archives' check changes nothing: the old
// installation's files are the same before and after.
void TestExtract::refusedBeforeChanges()
{
    QFETCH(QString, cause);
    QFETCH(int, refusal);
#ifdef Q_OS_WIN
    if (cause.endsWith(QLatin1String("in use")) && TestSystem::underWine())
        QSKIP("Wine renames a folder with files open inside; Windows refuses");
#endif

    QVERIFY(writeTree(programDir(), oldProgram()));
    QVERIFY(writeTree(dataDir(), oldData()));
    QVERIFY(makePayload());
    QProcess program;
    QFile held;
    QStringList expectedFor;
    if (cause == QLatin1String("running")) {
        // The demo program is a script: its process is the shell.
        const QString script = programDir() + QStringLiteral("/run.sh");
        QVERIFY(TestArchives::writeFile(script, "#!/bin/sh\nwhile :; do sleep 1; done\n"));
        program.start(QStringLiteral("/bin/sh"), {script});
        QVERIFY(program.waitForStarted());
        expectedFor << script;
    } else if (cause == QLatin1String("disk")) {
        TestSeams::current().freeSpace = [](const QString &) { return qint64(1) << 20; };
        // The tiny payload plus the margin (16 MiB and 5 %), rounded up.
        expectedFor << QStorageInfo(Platform::systemRoot()).rootPath() << QStringLiteral("17")
                    << QStringLiteral("1");
    } else {
        const QString folder
                = cause.startsWith(QLatin1String("program")) ? programDir() : dataDir();
        held.setFileName(folder
                         + (folder == programDir() ? QStringLiteral("/last-run.txt")
                                                   : QStringLiteral("/progress/history.log")));
        QVERIFY(held.open(QIODevice::ReadOnly));
        expectedFor << folder << held.fileName();
    }
    const Tree programBefore = readTree(programDir());
    const auto cleanUp = qScopeGuard([&program] {
        program.kill();
        program.waitForFinished();
    });

    CXCopyThread thread;
    QElapsedTimer running;
    running.start();
    QVERIFY(runToEnd(thread));

    const CXCopyThread::Outcome outcome = thread.outcome();
    QCOMPARE(int(outcome.refusal), refusal);
    QCOMPARE(outcome.refusedFor, expectedFor);
    QVERIFY(outcome.results.isEmpty());
    QVERIFY(!outcome.stopped);
    QCOMPARE(outcome.oldInstallation, CXCopyThread::OldInstallation::Intact);
    if (refusal == int(CXCopyThread::Refusal::FilesInUse)) // retried a while first
        QVERIFY(running.elapsed() >= InstallationSwap::inUseRetryMs);
    QCOMPARE(readTree(programDir()), programBefore);
    QCOMPARE(readTree(dataDir()), oldData());
    for (const QString &path : {programDir(), dataDir()})
        QVERIFY(!QFileInfo::exists(InstallationSwap::asideName(path)));
}

void TestExtract::failureRestores_data()
{
    QTest::addColumn<QString>("situation");

#ifndef Q_OS_WIN
    QTest::newRow("second extraction fails") << QStringLiteral("second fails");
#endif
    QTest::newRow("left aside by a killed run") << QStringLiteral("killed");
#ifndef Q_OS_WIN
    QTest::newRow("aside data folder of another owner") << QStringLiteral("planted");
#endif
}

// The old installation comes back exactly when the new one fails, and when
// an earlier run was killed with it aside; an aside data folder the
// installer did not make is removed, never put back.
void TestExtract::failureRestores()
{
    QFETCH(QString, situation);
#ifdef Q_OS_WIN
    if (TestSystem::underWine())
        QSKIP("under Wine the old data folder is not the Administrators': it is not put back");
#endif

    const QString programAside = InstallationSwap::asideName(programDir());
    const QString dataAside = InstallationSwap::asideName(dataDir());
    Tree oldDataTree = oldData();
    QVERIFY(makePayload());
    if (situation == QLatin1String("second fails")) {
        QVERIFY(writeTree(programDir(), oldProgram()));
        QVERIFY(writeTree(dataDir(), oldData()));
        // The machine's hidden entry moves into the new folder and back.
        oldDataTree.insert(QStringLiteral("decks/.machine"), "kept");
        QVERIFY(writeTree(dataDir(), oldDataTree));
        const QString fake = sourceDir + QStringLiteral("/7z.exe");
        QVERIFY(QFile::remove(fake));
        QVERIFY(TestArchives::writeFile(fake,
                                        "#!/bin/sh\ncase \"$4\" in *data.cab) exit 2;; esac\nexec '"
                                                + QFile::encodeName(TestArchives::frontEnd())
                                                + "' \"$@\"\n"));
        QVERIFY(QFile::setPermissions(fake, QFile::permissions(fake) | QFile::ExeOwner));
    } else if (situation == QLatin1String("killed")) {
        // Killed while unpacking: the old folders aside, new ones half made.
        QVERIFY(writeTree(programAside, oldProgram()));
        QVERIFY(writeTree(dataAside, oldData()));
        QVERIFY(writeTree(programDir(), {{QStringLiteral("readme.txt"), "version 3"}}));
        QVERIFY(writeTree(dataDir(), {{QStringLiteral("decks/new.csv"), "new"}}));
#ifndef Q_OS_WIN
        // A hidden entry it had moved over goes back.
        QVERIFY(TestArchives::writeFile(dataDir() + QStringLiteral("/.machine"), "kept"));
        oldDataTree.insert(QStringLiteral(".machine"), "kept");
#endif
        QVERIFY(QFile::remove(sourceDir + QStringLiteral("/7z.exe"))); // refused after it
    } else {
        QVERIFY(writeTree(programDir(), oldProgram()));
        QVERIFY(writeTree(dataAside,
                          {{QStringLiteral("settings/defaults.ini"), "planted"},
                           {QStringLiteral("planted.dll"), "planted"}}));
        QCOMPARE(QProcess::execute(QStringLiteral("chown"),
                                   {QStringLiteral("-R"), QStringLiteral("-h"),
                                    QStringLiteral("nobody:nogroup"), dataAside}),
                 0);
        // Refused once the leftovers are dealt with: what was put back shows.
        QVERIFY(QFile::remove(sourceDir + QStringLiteral("/7z.exe")));
    }

    CXCopyThread thread;
    QVERIFY(runToEnd(thread));

    const CXCopyThread::Outcome outcome = thread.outcome();
    if (situation == QLatin1String("planted")) {
        QCOMPARE(outcome.refusal, CXCopyThread::Refusal::PayloadMissing);
        QVERIFY(outcome.restoredAtStart.isEmpty());
        QVERIFY(!QFileInfo::exists(dataDir()));
        QCOMPARE(readTree(programDir()), oldProgram());
    } else {
        QVERIFY(!outcome.succeeded());
        const Tree program = readTree(programDir());
        QVERIFY2(program == oldProgram(), treeDifference(program, oldProgram()).constData());
        const Tree data = readTree(dataDir());
        QVERIFY2(data == oldDataTree, treeDifference(data, oldDataTree).constData());
    }
    if (situation == QLatin1String("second fails")) {
        QCOMPARE(outcome.refusal, CXCopyThread::Refusal::None);
        QCOMPARE(outcome.results.size(), 2);
        QCOMPARE(outcome.results.at(1).exitCode, 2);
        QCOMPARE(outcome.oldInstallation, CXCopyThread::OldInstallation::Restored);
    } else if (situation == QLatin1String("killed")) {
        QCOMPARE(outcome.refusal, CXCopyThread::Refusal::PayloadMissing);
        QCOMPARE(outcome.restoredAtStart, QStringList({programDir(), dataDir()}));
        QCOMPARE(outcome.oldInstallation, CXCopyThread::OldInstallation::Intact);
    }
    for (const QString &path : {programDir(), dataDir()}) {
        QVERIFY(!QFileInfo::exists(InstallationSwap::asideName(path)));
        QVERIFY(!QFileInfo::exists(InstallationSwap::discardedName(path)));
    }
}

QTEST_GUILESS_MAIN(TestExtract)
#include "tst_extract.moc"
