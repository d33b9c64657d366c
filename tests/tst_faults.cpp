// Faults injected into whole installations, each in a process of its own
// (see InstallDriver): the extractor killed, the installation stopped at
// random moments, a program folder the installer may not write, the
// installer killed. (Damaged archives: tst_extract.) Every run must end without a crash or a hang,
// with the exit code of how it ended, no extractor left and nothing changed outside the
// installer's own places.
//
// The moments are random; the seed is printed and MIREVALE_FAULT_SEED
// replays a run.

#include "CMVInstallWnd.h"
#include "CXCopyThread.h"
#include "InstallDriver.h"
#include "InstallScene.h"
#include "RootSnapshot.h"
#include "TestArchives.h"
#include "TestSeams.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

class TestFaults : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void killExtractor();
    void stopAtRandomMoment();
    void readOnlyProgramFolder();
    void installerKilled();

private:
    QString archive(const QString &name) const
    {
        return m_archives.path() + QLatin1Char('/') + name;
    }
    void prepare(InstallScene &scene, bool medium, int oldProgramFiles, int oldDataFiles,
                 int bulkKeys = 0);
    // The calibration's timeline: when the first and second extractor
    // started and when the worker ended, in ms after Install.
    QList<int> timeline() const { return m_timeline; }

    QTemporaryDir m_archives;
    QRandomGenerator m_random;
    quint32 m_seed = 0;
    QList<int> m_timeline;
};

namespace {

// 30 runs of each fault; the sanitizer build, several times slower, may ask
// for fewer with MIREVALE_FAULT_RUNS.
const int runs = qEnvironmentVariableIsSet("MIREVALE_FAULT_RUNS")
        ? qMax(1, qEnvironmentVariableIntValue("MIREVALE_FAULT_RUNS"))
        : 30;
const int oldProgramFiles = 1500;
const int oldDataFiles = 500;
// Keys in the machine hive besides the installer's: reading it takes a moment,
// as on a real machine, which opens a gap between the two archives.
const int bulkKeys = 5000;

QString describe(const QStringList &problems, int run, const QString &what)
{
    return QStringLiteral("run %1 (%2):\n").arg(run).arg(what) + problems.join(QLatin1Char('\n'));
}

} // namespace

void TestFaults::initTestCase()
{
    QVERIFY2(!TestArchives::realSevenZip().isEmpty(), "7-Zip is not installed");
    QVERIFY(QFileInfo(TestArchives::frontEnd()).isExecutable());
    const QByteArray given = qgetenv("MIREVALE_FAULT_SEED");
    m_seed = given.isEmpty() ? QRandomGenerator::global()->generate() : given.toUInt();
    m_random.seed(m_seed);
    qInfo("fault seed: %u (set MIREVALE_FAULT_SEED=%u to replay)", m_seed, m_seed);

    const QString src = m_archives.path() + QStringLiteral("/src");
    const QByteArray script = "#!/bin/sh\nexit 0\n";
    const QString program = src + QStringLiteral("/program/");
    QVERIFY(TestArchives::writeFile(program + QString::fromUtf8("Tarvo高效学习法.exe"), script));
    QVERIFY(TestArchives::writeFile(program + QStringLiteral("uninstall.exe"), script));
    for (int i = 0; i < 40; ++i)
        QVERIFY(TestArchives::writeFile(program + QStringLiteral("lessons/%1/lesson.txt").arg(i),
                                        QByteArray(2000, char('a' + i % 26))));
    for (int i = 0; i < 20; ++i)
        QVERIFY(TestArchives::writeFile(src + QStringLiteral("/data/decks/deck%1.csv").arg(i),
                                        "front,back\n"));
    const QString pw = TestArchives::installerPassword();
    QVERIFY(TestArchives::makeArchive(archive(QStringLiteral("small-program.cab")),
                                      src + QStringLiteral("/program"), pw));
    QVERIFY(TestArchives::makeArchive(archive(QStringLiteral("small-data.cab")),
                                      src + QStringLiteral("/data"), pw));

    // Medium archives take a few hundred milliseconds each to unpack: zeros
    // from a sparse file, packed with a small dictionary.
    const QStringList slow {QStringLiteral("-m0=LZMA2:d=64k:fb=273:mf=hc4"),
                            QStringLiteral("-mmt=2")};
    for (const QString &part : {QStringLiteral("program"), QStringLiteral("data")}) {
        QFile big(src + QLatin1Char('/') + part + QStringLiteral("/big.bin"));
        QVERIFY(big.open(QIODevice::WriteOnly));
        QVERIFY(big.resize(qint64(48) << 20));
        big.close();
        QVERIFY(TestArchives::makeArchive(archive(QStringLiteral("medium-%1.cab").arg(part)),
                                          src + QLatin1Char('/') + part, pw, slow));
        QVERIFY(QFile::remove(big.fileName()));
    }

    // A calibration run without a fault: the moments to aim at.
    InstallScene scene;
    prepare(scene, true, oldProgramFiles, oldDataFiles, bulkKeys);
    const InstallDriver::Report report = scene.run({});
    const QStringList problems = scene.problems(report);
    QVERIFY2(problems.isEmpty(), qPrintable(describe(problems, 0, QStringLiteral("no fault"))));
    QVERIFY(report.succeeded);
    QCOMPARE(report.state, 2);
    QCOMPARE(report.extractorStartMs.size(), 2);
    m_timeline = {report.extractorStartMs.at(0), report.extractorStartMs.at(1), report.endedMs};
    qInfo("timeline: first extractor at %d ms, second at %d ms, end at %d ms", m_timeline.at(0),
          m_timeline.at(1), m_timeline.at(2));
}

void TestFaults::prepare(InstallScene &scene, bool medium, int programFiles, int dataFiles,
                         int bulkKeys)
{
    QVERIFY(scene.prepareSystem(bulkKeys));
    QVERIFY(scene.writeOldInstallation(programFiles, dataFiles));
    const QString kind = medium ? QStringLiteral("medium") : QStringLiteral("small");
    QVERIFY(scene.installPayload(archive(kind + QStringLiteral("-program.cab")),
                                 archive(kind + QStringLiteral("-data.cab"))));
    scene.snapshot();
}

// SIGKILL from outside to the extractor, in either archive.
void TestFaults::killExtractor()
{
    int hitFirst = 0, hitSecond = 0, late = 0;
    for (int run = 0; run < runs; ++run) {
        InstallScene scene;
        prepare(scene, true, 200, 50, bulkKeys);
        InstallDriver::Params params;
        params.fault = InstallDriver::KillExtractor;
        // The driver waits for an extractor if none runs at that moment. The
        // old installation is set aside, not walked, before the extractors
        // run and removed after them: even runs aim before the second
        // extractor's start (as the calibration timed it), odd runs at the
        // first third of the time from there to the end.
        params.delayMs = run % 2 == 0 ? int(m_random.bounded(m_timeline.at(1) + 1))
                                      : m_timeline.at(1)
                        + int(m_random.bounded(qMax(1, (m_timeline.at(2) - m_timeline.at(1)) / 3)));
        const InstallDriver::Report report = scene.run(params);
        const QStringList problems = scene.problems(report);
        QVERIFY2(problems.isEmpty(),
                 qPrintable(describe(problems, run,
                                     QStringLiteral("kill at %1 ms").arg(params.delayMs))));
        // A signal that reaches an extractor already on its way out after a
        // clean exit (its exit code set, not yet a zombie) changes nothing:
        // that extraction did finish, and the run counts as a late one.
        const int killed = report.faultLine.startsWith(QLatin1String("killed "))
                ? report.faultLine.mid(7).toInt()
                : -1;
        const bool exitedAnyway
                = killed >= 0 && report.outcomes.value(killed) == QLatin1String("2 0");
        if (killed == 0 && !exitedAnyway)
            ++hitFirst;
        else if (killed == 1 && !exitedAnyway)
            ++hitSecond;
        else if (exitedAnyway)
            ++late;
        // A killed extraction is never reported as a success.
        if (killed >= 0 && !exitedAnyway)
            QVERIFY2(!report.succeeded, qPrintable(report.output));
        // A completed run opens the program; a failed one opens nothing and
        // says why.
        if (report.succeeded) {
            QCOMPARE(report.opened.size(), 1);
            QVERIFY(report.opened.first().endsWith(QString::fromUtf8("Tarvo高效学习法.exe")));
        } else {
            QCOMPARE(report.opened, QStringList());
            QCOMPARE(report.state, int(CMVInstallWnd::StateFailed));
            QVERIFY2(report.output.contains(QRegularExpression(QStringLiteral("(^|\n)warned\t"))),
                     qPrintable(report.output));
        }
    }
    qInfo("killed in the first archive %d times, in the second %d times, on its way out %d times",
          hitFirst, hitSecond, late);
    QVERIFY(hitFirst > 0 && hitSecond > 0);
}

// Yes to the stop question at a random moment: during the deletion of a
// large old installation, in either archive, and right between the two.
void TestFaults::stopAtRandomMoment()
{
    QMap<QString, int> hits;
    for (int run = 0; run < runs; ++run) {
        InstallScene scene;
        // Runs that answer between the archives get a machine hive of a
        // real machine's size: finding the data folder there takes a while.
        prepare(scene, true, oldProgramFiles, oldDataFiles, run % 5 == 4 ? 20000 : bulkKeys);
        InstallDriver::Params params;
        params.fault = run % 5 == 4 ? InstallDriver::StopBetweenArchives : InstallDriver::StopAt;
        // Each stage gets runs of its own, at a random moment inside it
        // (as the calibration timed it), and some runs aim anywhere.
        const int stage = run % 5;
        const int from = stage == 1 ? m_timeline.at(0) : stage == 2 ? m_timeline.at(1) : 0;
        // Stage 4 opens the question during the first archive at the latest
        // and answers Yes the moment that archive is done.
        const int to = stage == 0          ? m_timeline.at(0)
                : stage == 1 || stage == 4 ? m_timeline.at(1)
                                           : m_timeline.at(2);
        params.delayMs = from + int(m_random.bounded(qMax(1, to - from)));
        const InstallDriver::Report report = scene.run(params);
        const QStringList problems = scene.problems(report);
        QVERIFY2(problems.isEmpty(),
                 qPrintable(describe(problems, run,
                                     QStringLiteral("stop at %1 ms, mode %2")
                                             .arg(params.delayMs)
                                             .arg(int(params.fault)))));
        // Once the window has asked the worker to stop, no extractor
        // starts (allowing for the moment between starting one and
        // publishing its process id).
        const bool between = report.faultLine.startsWith(QLatin1String("answered 1 0 "));
        for (int startedAt : report.extractorStartMs) {
            if (report.stopRequestedMs >= 0)
                QVERIFY2(startedAt <= report.stopRequestedMs + 100, qPrintable(report.output));
        }
        QString where;
        if (report.faultLine == QLatin1String("late"))
            where = QStringLiteral("after the end");
        else if (!report.stopped)
            where = QStringLiteral("too late to stop");
        else if (report.results == 0)
            where = QStringLiteral("deletion");
        else if (report.results == 1)
            where = between ? QStringLiteral("between the archives")
                            : QStringLiteral("first archive");
        else
            where = QStringLiteral("second archive");
        ++hits[where];
        if (report.stopped) {
            QVERIFY(!report.succeeded);
            QCOMPARE(report.state, 1);
            QCOMPARE(report.opened, QStringList()); // put back by the worker, no uninstaller
        }
    }
    for (auto it = hits.cbegin(); it != hits.cend(); ++it)
        qInfo("stopped %s: %d times", qPrintable(it.key()), it.value());
    QVERIFY(hits.value(QStringLiteral("deletion")) > 0);
    // The worker finds every folder before it deletes anything, so nothing
    // but starting the second extractor lies between the archives now: a
    // stop aimed there lands before the second extractor starts or stops it
    // at once; either way no extractor started after the stop (checked
    // above for every run).
    QVERIFY(hits.value(QStringLiteral("between the archives"))
                    + hits.value(QStringLiteral("second archive"))
            > 0);
    // Run times vary; the stops that aim inside an archive hit one or the
    // other.
    QVERIFY(hits.value(QStringLiteral("first archive"))
                    + hits.value(QStringLiteral("second archive"))
            > 0);
}

// The program folder of an old installation, or a folder in it, is
// read-only and belongs to the installer's user, who is not root: nothing
// can be deleted there, yet the folder can be renamed aside. Sometimes the
// user also stops the installation at a random moment.
void TestFaults::readOnlyProgramFolder()
{
    if (::geteuid() != 0)
        QSKIP("needs root to hand the scene to an unprivileged user");
    for (int run = 0; run < runs; ++run) {
        InstallScene scene;
        prepare(scene, false, 60, 20);
        // The folder itself, or one folder inside it.
        const QString folder = run % 2 == 0
                ? scene.programDir()
                : scene.programDir() + QStringLiteral("/old%1").arg(m_random.bounded(25));
        QVERIFY(scene.giveToNobody());
        QVERIFY(QFile::setPermissions(folder,
                                      QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup
                                              | QFile::ExeGroup | QFile::ReadOther
                                              | QFile::ExeOther));
        scene.snapshot();
        InstallDriver::Params params;
        params.unprivileged = true;
        if (run % 3 == 2) {
            params.fault = InstallDriver::StopAt;
            params.delayMs = int(m_random.bounded(300));
        }
        const InstallDriver::Report report = scene.run(params);
        // What the walk could not remove of the old folder, renamed to be
        // discarded, is the only change allowed (the next run tries again).
        const QString discarded = scene.programDir() + QStringLiteral(".discarded");
        const QStringList problems
                = scene.problems(report, QStringLiteral("Program Files/Mirevale.discarded"));
        QVERIFY2(problems.isEmpty(),
                 qPrintable(describe(problems, run, QStringLiteral("%1 read-only").arg(folder))));
        // The old folder is set aside whole, read-only or not, and the new
        // one unpacked beside it unless the user stopped; what could not be
        // deleted is still there, aside or (after a stop) in its place.
        if (params.fault == InstallDriver::NoFault)
            QVERIFY2(report.succeeded, qPrintable(report.output));
        if (report.succeeded) {
            QVERIFY(QFileInfo(discarded + folder.mid(scene.programDir().size())).isDir());
        } else {
            QVERIFY(QFileInfo(folder).isDir());
            QVERIFY(!QFileInfo::exists(discarded));
        }
    }
}

// The installer itself killed from outside while 7-Zip unpacks a program
// archive that takes seconds: the extractor dies with it at once, nothing
// outside the installer's places changed, and the next run puts the old
// installation back whole.
void TestFaults::installerKilled()
{
    const QString src = m_archives.path() + QStringLiteral("/src/program");
    {
        QFile big(src + QStringLiteral("/big.bin"));
        QVERIFY(big.open(QIODevice::WriteOnly));
        QVERIFY(big.resize(qint64(1) << 30));
    }
    QVERIFY(TestArchives::makeArchive(
            archive(QStringLiteral("slow-program.cab")), src, TestArchives::installerPassword(),
            {QStringLiteral("-m0=LZMA2:d=64k:fb=273:mf=hc4"), QStringLiteral("-mmt=2")}));
    QVERIFY(QFile::remove(src + QStringLiteral("/big.bin")));

    for (int run = 0; run < 5; ++run) {
        InstallScene scene;
        QVERIFY(scene.prepareSystem());
        QVERIFY(scene.writeOldInstallation(200, 50));
        QVERIFY(scene.installPayload(archive(QStringLiteral("slow-program.cab")),
                                     archive(QStringLiteral("small-data.cab"))));
        scene.snapshot();
        const auto oldInstallation = [&scene] {
            return QList<QMap<QString, QString>> {RootSnapshot::listing(scene.programDir(), {}),
                                                  RootSnapshot::listing(scene.dataDir(), {})};
        };
        const QList<QMap<QString, QString>> before = oldInstallation();
        InstallDriver::Params params;
        params.fault = InstallDriver::KillInstaller;
        params.delayMs = int(m_random.bounded(300));
        const InstallDriver::Report report = scene.run(params);
        QVERIFY(report.finishedInTime);
        QVERIFY2(report.faultLine == QLatin1String("installer killed 0"),
                 qPrintable(report.output));
        QVERIFY(report.crashed);
        QCOMPARE(report.extractors.size(), 1);
        // Far less than the seconds the extraction would still take.
        QTRY_VERIFY2_WITH_TIMEOUT(!TestArchives::processAlive(report.extractors.first()),
                                  qPrintable(QStringLiteral("run %1: the extractor outlived the "
                                                            "installer")
                                                     .arg(run)),
                                  500);
        QVERIFY(InstallDriver::processesMentioning(scene.base()).isEmpty());

        // The next run puts back what the killed one had set aside before it
        // does anything else (here it then refuses: no payload); nothing of
        // the old installation is lost.
        const bool aside = QFileInfo::exists(scene.programDir() + QStringLiteral(".previous"));
        QTemporaryDir noPayload;
        TestSeams::current().payloadDir = noPayload.path();
        CXCopyThread next;
        next.start();
        QVERIFY(next.wait(60000));
        TestSeams::current() = TestSeams();
        QCOMPARE(next.outcome().refusal, CXCopyThread::Refusal::PayloadMissing);
        QCOMPARE(next.outcome().restoredAtStart.contains(scene.programDir()), aside);
        QVERIFY2(oldInstallation() == before, qPrintable(QString::number(run)));
        QStringList problems = scene.problems(report);
        problems = problems.filter(QRegularExpression(QStringLiteral("^(file system|registry):")));
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    }
}

MIREVALE_MAIN_WITH_DRIVER(TestFaults)
#include "tst_faults.moc"
