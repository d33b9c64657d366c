// Whole installations (see InstallDriver) on a hostile file system: links in
// the old installation behind folders the deletion cannot remove or swapped
// in while it runs (links anywhere in it: tst_oldinstallremoval), folders
// the installer may not read or enter, and names with line breaks, quotes, "%1",
// leading dashes and non-ASCII letters in every path. The installer deletes
// nothing outside its folders, writes nothing through a link, and hands
// every path to the extractor as one argument.

#include "InstallDriver.h"
#include "InstallScene.h"
#include "RootSnapshot.h"
#include "TestArchives.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <cstdio>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

class TestHostileFs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void linksBehindUndeletableFolders();
    void inaccessibleFolders_data();
    void inaccessibleFolders();
    void hostileNames();
    void wildcardsInPaths_data();
    void wildcardsInPaths();
    void foldersSwappedForLinks();

private:
    QString archive(const QString &name) const
    {
        return m_archives.path() + QLatin1Char('/') + name;
    }

    QTemporaryDir m_archives;
};

namespace {

const QString product = QString::fromUtf8("Tarvo高效学习法");
const int lessonFolders = 20;

// Folders the program archive unpacks at its top level: l0 ... l19.
QString lesson(int i)
{
    return QStringLiteral("l%1").arg(i);
}

const QString hostile = QString::fromUtf8("-rf \n\"quoted\" 'single' %1 $HOME `x` 高效 ümlaut");

QStringList hostileEntries()
{
    return {QStringLiteral("-rf"),
            QStringLiteral("--help.txt"),
            QStringLiteral("%1.txt"),
            QStringLiteral("%1%2 %~dp0.txt"),
            QStringLiteral("line\nbreak.txt"),
            QStringLiteral("dq\"uote.txt"),
            QStringLiteral("sq'uote.txt"),
            QString::fromUtf8("学习/ümlaut ё.txt"),
            QStringLiteral("-o out/-y.txt"),
            QStringLiteral("@list.txt")};
}

} // namespace

void TestHostileFs::initTestCase()
{
    QVERIFY2(!TestArchives::realSevenZip().isEmpty(), "7-Zip is not installed");
    const QString src = m_archives.path() + QStringLiteral("/src");
    const QByteArray script = "#!/bin/sh\nexit 0\n";
    const QString program = src + QStringLiteral("/program/");
    QVERIFY(TestArchives::writeFile(program + product + QStringLiteral(".exe"), script));
    QVERIFY(TestArchives::writeFile(program + QStringLiteral("uninstall.exe"), script));
    for (int i = 0; i < lessonFolders; ++i)
        QVERIFY(TestArchives::writeFile(program + lesson(i) + QStringLiteral("/lesson.txt"), "l"));
    QVERIFY(TestArchives::writeFile(src + QStringLiteral("/data/decks/deck.csv"), "a,b\n"));
    const QString pw = TestArchives::installerPassword();
    QVERIFY(TestArchives::makeArchive(archive(QStringLiteral("program.cab")),
                                      src + QStringLiteral("/program"), pw));
    QVERIFY(TestArchives::makeArchive(archive(QStringLiteral("data.cab")),
                                      src + QStringLiteral("/data"), pw));

    // The same with hostile names inside.
    for (const QString &name : hostileEntries()) {
        QVERIFY(TestArchives::writeFile(program + name, name.toUtf8()));
        QVERIFY(TestArchives::writeFile(src + QStringLiteral("/data/") + name, name.toUtf8()));
    }
    QVERIFY(TestArchives::makeArchive(archive(QStringLiteral("hostile-program.cab")),
                                      src + QStringLiteral("/program"), pw));
    QVERIFY(TestArchives::makeArchive(archive(QStringLiteral("hostile-data.cab")),
                                      src + QStringLiteral("/data"), pw));
}

// Links to folders outside, in an old installation whose deletion stops
// early at a folder holding a hidden entry: 7-Zip must not unpack through a
// link that the deletion never reached.
void TestHostileFs::linksBehindUndeletableFolders()
{
    InstallScene scene;
    QVERIFY(scene.prepareSystem());
    const QString outside = scene.root() + QStringLiteral("/Users/Public/Documents/");
    for (int i = 0; i < 8; ++i)
        QVERIFY(TestArchives::writeFile(scene.programDir() + QStringLiteral("/k%1/.hidden").arg(i),
                                        "h"));
    for (int i = 0; i < lessonFolders; ++i) {
        QVERIFY(QDir().mkpath(outside + lesson(i)));
        QVERIFY(QFile::link(outside + lesson(i),
                            scene.programDir() + QLatin1Char('/') + lesson(i)));
    }
    // The walk stops at the first k<n> in listing order; links after it in
    // that order would be left without the links being removed first.
    const QStringList order
            = QDir(scene.programDir())
                      .entryList(QDir::Dirs | QDir::Files | QDir::NoDotAndDotDot | QDir::System,
                                 QDir::NoSort);
    int firstStop = order.size();
    for (int i = 0; i < order.size(); ++i) {
        if (order.at(i).startsWith(QLatin1Char('k'))) {
            firstStop = i;
            break;
        }
    }
    QVERIFY2(firstStop < order.size() - 1, "no link after the first undeletable folder");
    QVERIFY(scene.installPayload(archive(QStringLiteral("program.cab")),
                                 archive(QStringLiteral("data.cab"))));
    scene.snapshot();

    const InstallDriver::Report report = scene.run({});
    const QStringList problems = scene.problems(report);
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    for (int i = 0; i < lessonFolders; ++i) {
        QVERIFY(QDir(outside + lesson(i))
                        .isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System
                                 | QDir::NoDotAndDotDot));
        QVERIFY(!QFileInfo(scene.programDir() + QLatin1Char('/') + lesson(i)).isSymLink());
    }
    QVERIFY(report.succeeded);
}

void TestHostileFs::inaccessibleFolders_data()
{
    QTest::addColumn<QString>("folder"); // inside the program folder; empty: the folder itself
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("linkInside"); // a link to a folder outside, in that folder
    QTest::addColumn<bool>("inData"); // the folder is in the data folder instead

    QTest::newRow("no permission at all") << QStringLiteral("old3") << 0 << false << false;
    QTest::newRow("no read permission") << QStringLiteral("old4") << 0300 << false << false;
    QTest::newRow("no execute permission") << QStringLiteral("old5") << 0600 << false << false;
    QTest::newRow("read-only folder holding a link") << QString() << 0555 << true << false;
    QTest::newRow("read-only sub-folder holding a link")
            << QStringLiteral("l2") << 0555 << true << false;
    // Its owner shut out (it can still be moved: that needs write permission).
    QTest::newRow("hidden data folder without read permission")
            << QStringLiteral(".machine") << 0300 << false << true;
    QTest::newRow("hidden data folder with write permission only")
            << QStringLiteral(".machine") << 0200 << false << true;
    QTest::newRow("data folder without read permission") << QString() << 0300 << false << true;
}

// As an unprivileged user: a folder of the old installation that cannot be
// listed, entered or changed stays after its removal. Nothing else is
// harmed, and nothing is unpacked through a link that could not be removed.
// A hidden folder of the data folder, the machine's, moves into the new one
// however its owner shut itself out: it is taken over while the installer
// works and then gets the permissions the new data folder passes on.
void TestHostileFs::inaccessibleFolders()
{
    QFETCH(QString, folder);
    QFETCH(int, mode);
    QFETCH(bool, linkInside);
    QFETCH(bool, inData);
    if (::geteuid() != 0)
        QSKIP("needs root to hand the scene to an unprivileged user");
    InstallScene scene;
    QVERIFY(scene.prepareSystem());
    QVERIFY(scene.writeOldInstallation(100, 10));
    const QString place = inData ? scene.dataDir() : scene.programDir();
    const QString path = folder.isEmpty() ? place : place + QLatin1Char('/') + folder;
    QVERIFY(QDir().mkpath(path));
    if (inData)
        QVERIFY(TestArchives::writeFile(path + QStringLiteral("/key.bin"), "machine"));
    // In a data folder that shuts the installer out, a folder that does too.
    const QString locked = path + QStringLiteral("/locked");
    if (inData && folder.isEmpty())
        QVERIFY(TestArchives::writeFile(locked + QStringLiteral("/inside.txt"), "x"));
    const QString outside = scene.root() + QStringLiteral("/Users/Public/Documents");
    if (linkInside) {
        QVERIFY(QDir().mkpath(outside + QStringLiteral("/l2")));
        QVERIFY(QDir().mkpath(outside + QStringLiteral("/l3")));
        // The program archive unpacks l2/lesson.txt and l3/lesson.txt.
        QVERIFY(QFile::link(
                outside + (folder.isEmpty() ? QStringLiteral("/l3") : QStringLiteral("/l2")),
                path + (folder.isEmpty() ? QStringLiteral("/l3") : QStringLiteral("/lesson.txt"))));
    }
    QVERIFY(scene.installPayload(archive(QStringLiteral("program.cab")),
                                 archive(QStringLiteral("data.cab"))));
    QVERIFY(scene.giveToNobody());
    if (inData && folder.isEmpty())
        QVERIFY(::chmod(QFile::encodeName(locked).constData(), 0) == 0);
    QVERIFY(::chmod(QFile::encodeName(path).constData(), mode_t(mode)) == 0);
    scene.snapshot();

    InstallDriver::Params params;
    params.unprivileged = true;
    const InstallDriver::Report report = scene.run(params);
    if (inData) {
        const QStringList problems = scene.problems(report);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
        QVERIFY2(report.succeeded, qPrintable(report.output));
        // Each takes its folder's mode; a data folder that shut the installer
        // out was no old installation: it was taken over and replaced whole.
        struct stat kept, data;
        QVERIFY(::stat(QFile::encodeName(path).constData(), &kept) == 0);
        QVERIFY(::stat(QFile::encodeName(QFileInfo(path).path()).constData(), &data) == 0);
        QCOMPARE(kept.st_mode & 07777, data.st_mode & 07777);
        QFile key(path + QStringLiteral("/key.bin"));
        if (folder.isEmpty()) {
            QVERIFY(!key.exists());
            QVERIFY(!QFileInfo::exists(locked));
            return;
        }
        QVERIFY(key.open(QIODevice::ReadOnly));
        QCOMPARE(key.readAll(), QByteArray("machine"));
        return;
    }
    // What could not be removed of the old folder waits, renamed to be
    // discarded, for the next run; nothing else changed.
    const QString discarded = QStringLiteral("Program Files/Mirevale.discarded");
    const QStringList problems = scene.problems(report, discarded);
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    QVERIFY(QFileInfo(scene.root() + QLatin1Char('/') + discarded
                      + path.mid(scene.programDir().size()))
                    .isDir());
    if (linkInside) {
        QVERIFY(QDir(outside + QStringLiteral("/l2")).isEmpty());
        QVERIFY(QDir(outside + QStringLiteral("/l3")).isEmpty());
    }
    // The old folder is set aside whole: the new installation goes into a
    // fresh one, never through an old link.
    QVERIFY2(report.succeeded, qPrintable(report.output));
}

// Line breaks, quotes, "%1", leading dashes and non-ASCII letters in the
// system root, in the installer's folder and in the archives' names. The
// extractor is a recorder in front of 7-Zip that notes its arguments.
void TestHostileFs::hostileNames()
{
    InstallScene scene(hostile + QStringLiteral("/root ") + hostile,
                       hostile + QStringLiteral("/setup ") + hostile);
    QVERIFY(scene.prepareSystem());
    QVERIFY(scene.writeOldInstallation(20, 10));
    QVERIFY(scene.installPayload(archive(QStringLiteral("hostile-program.cab")),
                                 archive(QStringLiteral("hostile-data.cab"))));
    const QString log = scene.base() + QStringLiteral("/arguments.log");
    const QString recorder = scene.base() + QStringLiteral("/recorder.sh");
    QVERIFY(TestArchives::writeFile(recorder,
                                    "#!/bin/bash\n"
                                    // Two checks run side by side: one record at a time.
                                    "exec 9>>\"$ARGUMENTS_LOG\"\nflock 9\n"
                                    "printf '%s\\0' \"$@\" END >&9\nexec 9>&-\n"
                                    "exec \"$REAL_7ZIP\" \"$@\"\n"));
    QVERIFY(QFile::setPermissions(recorder, QFile::permissions(recorder) | QFile::ExeOwner));
    scene.snapshot();

    InstallDriver::Params params;
    params.environment.insert(QStringLiteral("MIREVALE_7ZIP"), recorder);
    params.environment.insert(QStringLiteral("ARGUMENTS_LOG"), log);
    params.environment.insert(QStringLiteral("REAL_7ZIP"), TestArchives::realSevenZip());
    const InstallDriver::Report report = scene.run(params);
    const QStringList problems = scene.problems(report);
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    QVERIFY2(report.succeeded, qPrintable(report.output));
    QCOMPARE(report.opened,
             QStringList() << scene.programDir() + QLatin1Char('/') + product
                             + QStringLiteral(".exe"));

    for (const QString &name : hostileEntries()) {
        for (const QString &folder : {scene.programDir(), scene.dataDir()}) {
            QFile file(folder + QLatin1Char('/') + name);
            QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
            QCOMPARE(file.readAll(), name.toUtf8());
        }
    }

    QFile file(log);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QList<QStringList> calls {{}};
    const QList<QByteArray> fields = file.readAll().split('\0');
    for (const QByteArray &field : fields) {
        if (field == "END")
            calls << QStringList();
        else if (!field.isEmpty())
            calls.last() << QString::fromUtf8(field);
    }
    calls.removeLast();
    const QString pw = QStringLiteral("-p") + TestArchives::installerPassword();
    // First both archives are listed, then the first file of each is tested
    // (the two archives side by side, so in either order), each path one
    // argument after "--"; then both are extracted, in order, as 7z archives
    // (the front end adds -t7z).
    QCOMPARE(calls.size(), 6);
    for (int phase = 0; phase < 2; ++phase) {
        QStringList checked;
        for (const QStringList &call : calls.mid(phase * 2, 2)) {
            const int names = call.indexOf(QStringLiteral("--"));
            QCOMPARE(call.first(), phase == 0 ? QStringLiteral("l") : QStringLiteral("t"));
            QVERIFY(call.contains(pw));
            QCOMPARE(call.size(), names + (phase == 0 ? 2 : 3));
            checked << call.value(names + 1);
        }
        checked.sort();
        QCOMPARE(checked,
                 QStringList({scene.setup() + QStringLiteral("/data.cab"),
                              scene.setup() + QStringLiteral("/tarvo.cab")}));
    }
    calls = calls.mid(4);
    QCOMPARE(calls.at(0),
             QStringList({QStringLiteral("x"), QStringLiteral("-t7z"), QStringLiteral("-y"),
                          QStringLiteral("-o") + scene.programDir(), pw,
                          scene.setup() + QStringLiteral("/tarvo.cab")}));
    QCOMPARE(calls.at(1),
             QStringList({QStringLiteral("x"), QStringLiteral("-t7z"), QStringLiteral("-y"),
                          QStringLiteral("-o") + scene.dataDir(), pw,
                          scene.setup() + QStringLiteral("/data.cab")}));
}

void TestHostileFs::wildcardsInPaths_data()
{
    QTest::addColumn<QString>("rootName");
    QTest::addColumn<QString>("setupName");
    QTest::newRow("star in the system root") << QStringLiteral("r*t") << QStringLiteral("setup");
    QTest::newRow("star in the installer folder")
            << QStringLiteral("root") << QStringLiteral("s*p");
    QTest::newRow("question mark in the installer folder")
            << QStringLiteral("root") << QStringLiteral("s?p");
}

// 7-Zip reads "*" in its output folder as the archive's name, and "*" and
// "?" in the archive's path as wildcards. A system root or installer folder
// named so (possible outside Windows) must not make it unpack elsewhere or
// unpack another archive: the installation is refused and nothing appears
// beside the scene's own folders.
void TestHostileFs::wildcardsInPaths()
{
    QFETCH(QString, rootName);
    QFETCH(QString, setupName);
    InstallScene scene(rootName, setupName);
    QVERIFY(scene.prepareSystem());
    QVERIFY(scene.installPayload(archive(QStringLiteral("program.cab")),
                                 archive(QStringLiteral("data.cab"))));
    // Another installer folder that the wildcard would also match.
    const QString decoy = scene.base() + QStringLiteral("/sXp");
    QVERIFY(TestArchives::writeFile(decoy + QStringLiteral("/note.txt"), "decoy"));
    QVERIFY(QFile::copy(archive(QStringLiteral("hostile-program.cab")),
                        decoy + QStringLiteral("/tarvo.cab")));
    scene.snapshot();
    const QStringList before
            = QDir(scene.base()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    const QMap<QString, QString> decoyBefore = RootSnapshot::listing(decoy, {});

    const InstallDriver::Report report = scene.run({});
    const QStringList problems = scene.problems(report);
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    QVERIFY(!report.succeeded);
    QCOMPARE(QDir(scene.base()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
    QCOMPARE(RootSnapshot::listing(decoy, {}), decoyBefore);
    QVERIFY(!QFile::exists(scene.programDir() + QStringLiteral("/--help.txt")));
}

// While the installer deletes the old installation, another process swaps
// its folders for links to a folder outside, and back, at random moments:
// between the listing of a folder and the removal of its entries the walk
// meets links where it listed folders. It removes them as links; the folder
// outside never changes.
void TestHostileFs::foldersSwappedForLinks()
{
    const QByteArray given = qgetenv("MIREVALE_FAULT_SEED");
    const quint32 seed = given.isEmpty() ? QRandomGenerator::global()->generate() : given.toUInt();
    qInfo("fault seed: %u (set MIREVALE_FAULT_SEED=%u to replay)", seed, seed);
    QRandomGenerator random(seed);
    int swaps = 0;
    for (int run = 0; run < 8; ++run) {
        InstallScene scene;
        QVERIFY(scene.prepareSystem());
        // The old folders old0..old24 and decks0..decks9, with files named as
        // the ones outside: a walk through a link would delete those.
        QVERIFY(scene.writeOldInstallation(2000, 400));
        const QString outside = scene.root() + QStringLiteral("/Users/Public/Documents/outside");
        for (int i = 0; i < 2000; i += 50)
            QVERIFY(TestArchives::writeFile(outside + QStringLiteral("/file%1.dat").arg(i), "o"));
        QStringList victims;
        for (int i = 0; i < 25; ++i)
            victims << scene.programDir() + QStringLiteral("/old%1").arg(i);
        for (int i = 0; i < 10; ++i)
            victims << scene.dataDir() + QStringLiteral("/decks%1").arg(i);
        QVERIFY(scene.installPayload(archive(QStringLiteral("program.cab")),
                                     archive(QStringLiteral("data.cab"))));
        scene.snapshot();

        std::atomic<bool> done {false};
        std::atomic<int> swapped {0};
        const quint32 attackerSeed = random.generate();
        std::thread attacker([&] {
            QRandomGenerator dice(attackerSeed);
            const QByteArray target = QFile::encodeName(outside);
            while (!done) {
                const QByteArray victim
                        = QFile::encodeName(victims.at(int(dice.bounded(victims.size()))));
                const QByteArray away = victim + ".away";
                if (::rename(victim.constData(), away.constData()) != 0)
                    continue;
                if (::symlink(target.constData(), victim.constData()) == 0)
                    ++swapped;
                for (quint32 spin = dice.bounded(20000u); spin > 0; --spin)
                    std::atomic_signal_fence(std::memory_order_seq_cst);
                ::unlink(victim.constData());
                ::rename(away.constData(), victim.constData());
            }
        });
        const InstallDriver::Report report = scene.run({});
        done = true;
        attacker.join();
        swaps += swapped;

        const QStringList problems = scene.problems(report);
        QVERIFY2(problems.isEmpty(),
                 qPrintable(QStringLiteral("run %1:\n").arg(run)
                            + problems.join(QLatin1Char('\n'))));
        QCOMPARE(RootSnapshot::listing(outside, {}).size(), 40);
    }
    qInfo("%d swaps during 8 installations", swaps);
    QVERIFY(swaps > 0);
}

MIREVALE_MAIN_WITH_DRIVER(TestHostileFs)
#include "tst_hostilefs.moc"
