// OldInstallRemoval on its own, on an emulated system drive: links in the
// old installation, wherever they are and wherever they lead (outside, to the
// drive's root, to a parent, in circles), are removed as links. What they lead
// to stays, the program folder goes, the data folder is emptied, and both
// count as free of links afterwards.

#include "CInstallPaths.h"
#include "FolderHandle.h"
#include "FolderWalk.h"
#include "OldInstallRemoval.h"
#include "RootSnapshot.h"
#include "TestArchives.h"
#include "TestSystem.h"

#include <QDir>
#include <QFile>
#include <QtTest>

class TestOldInstallRemoval : public QObject
{
    Q_OBJECT

private slots:
    void linksRemovedAsLinks_data();
    void linksRemovedAsLinks();
};

void TestOldInstallRemoval::linksRemovedAsLinks_data()
{
    QTest::addColumn<QString>("link"); // relative to the system root
    // "outside" (a folder of the user's files), "outside file" (one of them),
    // "/" (the system root), or a target relative to the link's folder.
    QTest::addColumn<QString>("target");

    QTest::newRow("link to a folder inside the program folder")
            << QStringLiteral("Program Files/Mirevale/plugins/shared") << QStringLiteral("outside");
    QTest::newRow("link to a file inside the data folder")
            << QStringLiteral("ProgramData/Mirevale/decks/elsewhere.csv")
            << QStringLiteral("outside file");
    QTest::newRow("program folder is a link")
            << QStringLiteral("Program Files/Mirevale") << QStringLiteral("outside");
    QTest::newRow("data folder is a link")
            << QStringLiteral("ProgramData/Mirevale") << QStringLiteral("outside");
    QTest::newRow("to the system root")
            << QStringLiteral("Program Files/Mirevale/l0") << QStringLiteral("/");
    QTest::newRow("to the parent folder")
            << QStringLiteral("Program Files/Mirevale/up") << QStringLiteral("..");
    QTest::newRow("to itself") << QStringLiteral("Program Files/Mirevale/l1/loop")
                               << QStringLiteral("loop");
    QTest::newRow("circle of two")
            << QStringLiteral("ProgramData/Mirevale/a") << QStringLiteral("b");
    QTest::newRow("data folder to the system root")
            << QStringLiteral("ProgramData/Mirevale/decks") << QStringLiteral("/");
    QTest::newRow("program folder is a link to its parent")
            << QStringLiteral("Program Files/Mirevale") << QStringLiteral(".");
}

void TestOldInstallRemoval::linksRemovedAsLinks()
{
    QFETCH(QString, link);
    QFETCH(QString, target);

    TestSystem system;
    QVERIFY(system.isValid());
    const CInstallPaths paths = CInstallPaths::resolve(QString());
    QVERIFY(paths.isComplete());
    QCOMPARE(paths.dataFolder(), system.root() + QStringLiteral("ProgramData/Mirevale"));
    const QString programDir = paths.programFolder();
    const QString dataDir = paths.dataFolder();
    const QString outside = system.root() + QStringLiteral("Users/Public/Documents/user files");
    QVERIFY(TestArchives::writeFile(outside + QStringLiteral("/thesis.txt"), "years of work\n"));
    QVERIFY(TestArchives::writeFile(outside + QStringLiteral("/photos/p1.jpg"), "jpeg"));
    for (int i = 0; i < 4; ++i) {
        QVERIFY(TestArchives::writeFile(programDir + QStringLiteral("/old%1/lesson.txt").arg(i),
                                        "l"));
        QVERIFY(TestArchives::writeFile(dataDir + QStringLiteral("/decks%1/deck.csv").arg(i), "d"));
    }
    QVERIFY(TestArchives::writeFile(programDir + QStringLiteral("/plugins/p.txt"), "p"));

    const QString path = system.root() + link;
    if (link.endsWith(QLatin1String("/Mirevale")))
        QVERIFY(QDir(path).removeRecursively());
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    const QString to = target == QLatin1String("outside") ? outside
            : target == QLatin1String("outside file")     ? outside + QStringLiteral("/thesis.txt")
            : target == QLatin1String("/")                ? system.root()
                                                          : target;
    QVERIFY(QFile::link(to, path));
    if (target == QLatin1String("b"))
        QVERIFY(QFile::link(QStringLiteral("a"), QFileInfo(path).path() + QStringLiteral("/b")));
    QVERIFY(QFileInfo(path).isSymLink());
    const QStringList places {QStringLiteral("Program Files/Mirevale"),
                              QStringLiteral("ProgramData/Mirevale")};
    const QMap<QString, QString> before = RootSnapshot::listing(system.root(), places);

    const OldInstallRemoval removal([] { return false; });
    const Platform::FolderHandle appData = Platform::FolderHandle::open(paths.commonAppData());
    const Platform::FolderHandle data = removal.secureDataFolder(appData);
    QVERIFY(data.isValid());
    FolderWalk dataWalk({/*keepHidden*/ true, /*protectKept*/ true, /*takeOver*/ true});
    const OldInstallRemoval::Result removed = removal.remove(programDir, data, dataWalk);

    const QMap<QString, QString> after = RootSnapshot::listing(system.root(), places);
    QVERIFY2(after == before,
             qPrintable(RootSnapshot::differences(before, after).join(QLatin1Char('\n'))));
    QCOMPARE(TestArchives::filesBelow(outside),
             QStringList({QStringLiteral("photos/p1.jpg"), QStringLiteral("thesis.txt")}));
    QVERIFY(!QFileInfo::exists(programDir) && !QFileInfo(programDir).isSymLink());
    QVERIFY(!QFileInfo(dataDir).isSymLink() && QFileInfo(dataDir).isDir());
    QVERIFY(QDir(dataDir).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System
                                  | QDir::NoDotAndDotDot));
    QVERIFY(removed.programFreeOfLinks);
    QVERIFY(removed.dataFreeOfLinks);
    QVERIFY(data.restoreInherited(appData));
    QVERIFY(dataWalk.restoreInherited(data));
}

QTEST_GUILESS_MAIN(TestOldInstallRemoval)
#include "tst_oldinstallremoval.moc"
