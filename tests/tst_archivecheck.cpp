// ArchiveCheck on its own: the first file of 7-Zip's technical listing, and
// the check of two archives through the 7z.exe front end with the real
// 7-Zip behind it, on archives damaged in every way the installer must
// refuse.

#include "ArchiveCheck.h"
#include "TestArchives.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class TestArchiveCheck : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void firstFile_data();
    void firstFile();
    void unusableArchive_data();
    void unusableArchive();
    void stopEndsTheCheck();

private:
    QString extractor() const { return m_setup + QStringLiteral("/7z.exe"); }
    QStringList archives() const
    {
        return {m_setup + QStringLiteral("/tarvo.cab"), m_setup + QStringLiteral("/data.cab")};
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_setup;
};

void TestArchiveCheck::initTestCase()
{
    QVERIFY2(!TestArchives::realSevenZip().isEmpty(), "7-Zip (7zz, 7z or 7za) is not installed");
    QVERIFY(QFileInfo(TestArchives::frontEnd()).isExecutable());
}

// Two sound archives and the front end in a fresh installer folder.
void TestArchiveCheck::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_setup = m_dir->path() + QStringLiteral("/setup");
    const QString content = m_dir->path() + QStringLiteral("/content");
    const QString pw = TestArchives::installerPassword();
    QVERIFY(TestArchives::writeFile(content + QStringLiteral("/program/readme.txt"), "3.0\n"));
    QVERIFY(TestArchives::writeFile(content + QStringLiteral("/program/lessons/one.txt"), "one"));
    QVERIFY(TestArchives::writeFile(content + QStringLiteral("/data/decks/basics.csv"), "a,b\n"));
    QVERIFY(TestArchives::makeArchive(archives().at(0), content + QStringLiteral("/program"), pw));
    QVERIFY(TestArchives::makeArchive(archives().at(1), content + QStringLiteral("/data"), pw));
    QVERIFY(QFile::copy(TestArchives::frontEnd(), extractor()));
#ifdef Q_OS_WIN
    // The shipped front end runs only the 7-Zip beside it.
    QVERIFY(QFile::copy(TestArchives::realSevenZip(), m_setup + QStringLiteral("/7za.exe")));
#endif
}

void TestArchiveCheck::cleanup()
{
    qunsetenv("MIREVALE_7ZIP");
    m_dir.reset();
}

void TestArchiveCheck::firstFile_data()
{
    QTest::addColumn<QByteArray>("listing"); // what "l -slt" prints
    QTest::addColumn<QString>("first");
    QTest::addColumn<qint64>("unpacked"); // the sum of the entries' sizes

    const QByteArray header = "7-Zip 23.01\n\nListing archive: a.cab\n\n--\nPath = a.cab\n"
                              "Type = 7z\nPhysical Size = 300\nSolid = +\nBlocks = 1\n\n"
                              "----------\n";
    QTest::newRow("file with data first") << header
                    + "Path = one.txt\nSize = 3\nFolder = -\n\nPath = two.txt\nSize = 3\n"
                      "Folder = -\n" << QStringLiteral("one.txt")
                                          << qint64(6);
    QTest::newRow("folders come first") << header
                    + "Path = lessons\nSize = 0\nFolder = +\n\nPath = lessons/one.txt\n"
                      "Size = 3\nFolder = -\n"
                                        << QStringLiteral("lessons/one.txt") << qint64(3);
    QTest::newRow("folder known by its attribute")
            << header
                    + "Path = lessons\nSize = 0\nAttributes = D_ drwxr-xr-x\n\n"
                      "Path = lessons/one.txt\nSize = 3\nAttributes = A_ -rw-r--r--\n"
            << QStringLiteral("lessons/one.txt") << qint64(3);
    QTest::newRow("an empty file gives way to one with data") << header
                    + "Path = empty.txt\nSize = 0\nFolder = -\n\nPath = full.txt\nSize = 9\n"
                      "Folder = -\n" << QStringLiteral("full.txt")
                                                              << qint64(9);
    QTest::newRow("only empty files: the first") << header
                    + "Path = e1.txt\nSize = 0\nFolder = -\n\nPath = e2.txt\nSize = 0\n"
                      "Folder = -\n" << QStringLiteral("e1.txt")
                                                 << qint64(0);
    QTest::newRow("no file at all") << header + "Path = lessons\nSize = 0\nFolder = +\n\n"
                                    << QString() << qint64(0);
    QTest::newRow("the archive's own path is no entry") << header << QString() << qint64(0);
    QTest::newRow("no entries line")
            << QByteArray("Path = a.cab\nType = 7z\nSize = 9\n") << QString() << qint64(0);
    QTest::newRow("Windows line ends")
            << QByteArray(header + "Path = dir\nFolder = +\n\nPath = dir\\one.txt\nSize = 3\n")
                       .replace("\n", "\r\n")
            << QStringLiteral("dir\\one.txt") << qint64(3);
    QTest::newRow("entries without blank lines between them")
            << header + "Path = e.txt\nSize = 0\nPath = f.txt\nSize = 2\n"
            << QStringLiteral("f.txt") << qint64(2);
    QTest::newRow("non-ASCII name")
            << header + QString::fromUtf8("Path = 学习/ümlaut.txt\nSize = 5\n").toUtf8()
            << QString::fromUtf8("学习/ümlaut.txt") << qint64(5);
}

void TestArchiveCheck::firstFile()
{
    QFETCH(QByteArray, listing);
    QFETCH(QString, first);
    QFETCH(qint64, unpacked);
    QCOMPARE(ArchiveCheck::firstFile(listing), first);
    QCOMPARE(ArchiveCheck::unpackedSize(listing), unpacked);
}

void TestArchiveCheck::unusableArchive_data()
{
    QTest::addColumn<QString>("damage"); // what is done to the payload
    QTest::addColumn<int>("unusable"); // the archive the check refuses, -1: none

    QTest::newRow("sound archives") << QString() << -1;
    QTest::newRow("wrong password") << QStringLiteral("password") << 0;
    QTest::newRow("no 7-Zip behind the front end") << QStringLiteral("no 7-Zip") << 0;
    QTest::newRow("corrupted first archive") << QStringLiteral("corrupt tarvo.cab") << 0;
    QTest::newRow("first archive is no archive") << QStringLiteral("text tarvo.cab") << 0;
    QTest::newRow("truncated second archive") << QStringLiteral("truncate data.cab") << 1;
    QTest::newRow("second archive is a zip archive") << QStringLiteral("zip data.cab") << 1;
    QTest::newRow("corrupted second archive") << QStringLiteral("corrupt data.cab") << 1;
}

// Each archive is listed and its first file tested: an archive that does
// not open with the password, is damaged where it is read or is of another
// format is found, and named by its index.
void TestArchiveCheck::unusableArchive()
{
    QFETCH(QString, damage);
    QFETCH(int, unusable);

    if (damage == QLatin1String("password")) {
        QVERIFY(QFile::remove(archives().at(0)));
        QVERIFY(TestArchives::makeArchive(archives().at(0),
                                          m_dir->path() + QStringLiteral("/content/program"),
                                          QStringLiteral("another one")));
    }
    QFile file(m_setup + QLatin1Char('/') + damage.section(QLatin1Char(' '), 1));
    if (damage.startsWith(QLatin1String("text "))) {
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("This is not an archive.\n");
    } else if (damage.startsWith(QLatin1String("corrupt "))) {
        // Overwrite the middle of the packed stream.
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.seek(file.size() / 3));
        file.write(QByteArray(int(file.size() / 3), '\xA5'));
    } else if (damage.startsWith(QLatin1String("truncate "))) {
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.resize(file.size() * 2 / 3));
    } else if (damage.startsWith(QLatin1String("zip "))) {
        // A sound archive of another format, which 7-Zip would unpack.
        QVERIFY(file.remove());
#ifdef Q_OS_WIN
        // The shipped stand-alone 7-Zip packs 7z and xz only: an xz stream.
        const QStringList pack {QStringLiteral("a"), QStringLiteral("-txz"),
                                QStringLiteral("-bso0"), file.fileName(),
                                TestArchives::realSevenZip()};
#else
        const QStringList pack {QStringLiteral("a"), QStringLiteral("-tzip"),
                                QStringLiteral("-bso0"), file.fileName(),
                                m_dir->path() + QStringLiteral("/content/data/decks")};
#endif
        QCOMPARE(QProcess::execute(TestArchives::realSevenZip(), pack), 0);
    }
    file.close();
    if (damage == QLatin1String("no 7-Zip")) {
#ifdef Q_OS_WIN
        QVERIFY(QFile::remove(m_setup + QStringLiteral("/7za.exe")));
#else
        qputenv("MIREVALE_7ZIP", QFile::encodeName(m_dir->path() + QStringLiteral("/none/7zz")));
#endif
    }

    int stopQuestions = 0;
    const ArchiveCheck check(extractor(), [&stopQuestions] {
        ++stopQuestions;
        return false;
    });
    QCOMPARE(check.firstUnusable(archives()), unusable);
    QVERIFY(stopQuestions > 0);
#ifndef Q_OS_WIN
    QVERIFY(TestArchives::childProcesses(QCoreApplication::applicationPid()).isEmpty());
#endif
}

// A stop ends the check at once, without naming an archive, and leaves no
// process behind.
void TestArchiveCheck::stopEndsTheCheck()
{
    QVERIFY(QFile::resize(archives().at(1), 100));
    const ArchiveCheck check(extractor(), [] { return true; });
    QCOMPARE(check.firstUnusable(archives()), -1);
#ifndef Q_OS_WIN
    QVERIFY(TestArchives::childProcesses(QCoreApplication::applicationPid()).isEmpty());
#endif
}

QTEST_GUILESS_MAIN(TestArchiveCheck)
#include "tst_archivecheck.moc"
