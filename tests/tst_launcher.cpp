// The extractor front end 7z.exe: its command-line rewriting on its own, and
// the built program in front of the system's real 7-Zip.

#include "ArgRewrite.h"
#include "TestArchives.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <string>
#include <vector>

using Args = std::vector<std::string>;
Q_DECLARE_METATYPE(Args)

namespace {

Args toArgs(const QStringList &list)
{
    Args args;
    for (const QString &item : list)
        args.push_back(item.toStdString());
    return args;
}

// The arguments as Windows hands them to the front end: UTF-16, exactly as
// the QStrings hold them, unpaired surrogates included.
std::vector<std::u16string> toUtf16Args(const QStringList &list)
{
    std::vector<std::u16string> args;
    for (const QString &item : list)
        args.emplace_back(reinterpret_cast<const char16_t *>(item.utf16()),
                          std::size_t(item.size()));
    return args;
}

QStringList toList(const Args &args)
{
    QStringList list;
    for (const std::string &arg : args)
        list << QString::fromStdString(arg);
    return list;
}

} // namespace

class TestLauncher : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void rewrite_data();
    void rewrite();
    void rejectsMalformed_data();
    void rejectsMalformed();
    void windowsCommandLine_data();
    void windowsCommandLine();
    void extendedLengthPath_data();
    void extendedLengthPath();

    void extractsThroughFrontEnd_data();
    void extractsThroughFrontEnd();
    void commandLineErrorExitsSeven();
    void passesExitCodeThrough_data();
    void passesExitCodeThrough();
    void neverRunsItself_data();
    void neverRunsItself();
    void sevenZipWorksInItsFolder();
    void replacesItselfWithSevenZip();

private:
    QProcess *startFrontEnd(const QStringList &args, const QString &workDir,
                            const QProcessEnvironment &env
                            = QProcessEnvironment::systemEnvironment());

    QTemporaryDir tmp;
    QString archive; // holds a.txt and "sub dir/数据.txt", installer's password
};

void TestLauncher::initTestCase()
{
    QVERIFY(tmp.isValid());
    QVERIFY2(!TestArchives::realSevenZip().isEmpty(), "7-Zip (7zz, 7z or 7za) is not installed");
    QVERIFY(QFileInfo(TestArchives::frontEnd()).isExecutable());
    const QString content = tmp.path() + QStringLiteral("/content");
    QVERIFY(TestArchives::writeFile(content + QStringLiteral("/a.txt"), "alpha\n"));
    QVERIFY(TestArchives::writeFile(content + QStringLiteral("/sub dir/数据.txt"), "beta\n"));
    archive = tmp.path() + QStringLiteral("/payload.cab");
    QVERIFY(TestArchives::makeArchive(archive, content, TestArchives::installerPassword()));
}

void TestLauncher::rewrite_data()
{
    QTest::addColumn<QStringList>("input");
    QTest::addColumn<QStringList>("expected");

    const QString pw = TestArchives::installerPassword();
    QTest::newRow("installer's legacy form")
            << QStringList {"x", "-yo/root/Program Files/Mirevale", "-p" + pw, "/app/tarvo.cab"}
            << QStringList {"x",       "-t7z",          "-y", "-o/root/Program Files/Mirevale",
                            "-p" + pw, "/app/tarvo.cab"};
    QTest::newRow("separate switches unchanged")
            << QStringList {"x", "-y", "-o/d", "-psecret", "a.7z"}
            << QStringList {"x", "-t7z", "-y", "-o/d", "-psecret", "a.7z"};
    QTest::newRow("any order") << QStringList {"-p" + pw, "a.7z", "-yo/d", "x"}
                               << QStringList {"-p" + pw, "a.7z", "-y", "-o/d", "x"};
    QTest::newRow("upper case") << QStringList {"x", "-YO/d", "-PSecret", "a.7z"}
                                << QStringList {"x", "-t7z", "-y", "-o/d", "-pSecret", "a.7z"};
    QTest::newRow("-y with password glued")
            << QStringList {"x", "-yp$(rm -rf ~)", "a.7z"}
            << QStringList {"x", "-t7z", "-y", "-p$(rm -rf ~)", "a.7z"};
    QTest::newRow("-y twice glued")
            << QStringList {"x", "-yy", "a.7z"} << QStringList {"x", "-t7z", "-y", "-y", "a.7z"};
    QTest::newRow("-y, -y and folder glued")
            << QStringList {"x", "-yyo/d", "a.7z"}
            << QStringList {"x", "-t7z", "-y", "-y", "-o/d", "a.7z"};
    QTest::newRow("odd password characters")
            << QStringList {"x", "-p\"'; `id` \\ *?&|<>", "-o/d", "a.7z"}
            << QStringList {"x", "-t7z", "-p\"'; `id` \\ *?&|<>", "-o/d", "a.7z"};
    QTest::newRow("password that looks like switches")
            << QStringList {"x", "-pyo/x -y", "a.7z"}
            << QStringList {"x", "-t7z", "-pyo/x -y", "a.7z"};
    QTest::newRow("empty password asks")
            << QStringList {"x", "-p", "a.7z"} << QStringList {"x", "-t7z", "-p", "a.7z"};
    QTest::newRow("folder with spaces and non-ASCII")
            << QStringList {"x", "-yo/tmp/数据 folder/ä", "a b.7z"}
            << QStringList {"x", "-t7z", "-y", "-o/tmp/数据 folder/ä", "a b.7z"};
    QTest::newRow("other switches pass through")
            << QStringList {"x", "-aoa", "-bb3", "-sccUTF-8", "-o/d", "a.7z", "-r"}
            << QStringList {"x", "-t7z", "-aoa", "-bb3", "-sccUTF-8", "-o/d", "a.7z", "-r"};
    QTest::newRow("names after --") << QStringList {"x", "-o/d", "--", "-yo.7z", "-"}
                                    << QStringList {"x", "-t7z", "-o/d", "--", "-yo.7z", "-"};
    // A character beyond the BMP arrives as a surrogate pair.
    QTest::newRow("surrogate pair")
            << QStringList {"x", "-p密\U0001F600", "-o/d/\U00010437", "a.7z"}
            << QStringList {"x", "-t7z", "-p密\U0001F600", "-o/d/\U00010437", "a.7z"};
    // The archive type: 7z for every command that opens or writes an archive,
    // unless the caller names one; none for the others.
    QTest::newRow("type given") << QStringList {"x", "-T7z", "a.7z"}
                                << QStringList {"x", "-T7z", "a.7z"};
    QTest::newRow("other type given")
            << QStringList {"l", "a.zip", "-tzip"} << QStringList {"l", "a.zip", "-tzip"};
    QTest::newRow("command after --") << QStringList {"-o/d", "--", "E", "-a.7z"}
                                      << QStringList {"-o/d", "-t7z", "--", "E", "-a.7z"};
    QTest::newRow("add") << QStringList {"a", "-mx9", "a.7z", "f"}
                         << QStringList {"a", "-t7z", "-mx9", "a.7z", "f"};
    QTest::newRow("rename") << QStringList {"Rn", "a.7z", "o", "n"}
                            << QStringList {"Rn", "-t7z", "a.7z", "o", "n"};
    for (const char *command : {"d", "l", "t", "u"})
        QTest::addRow("%s", command)
                << QStringList {command, "a.7z"} << QStringList {command, "-t7z", "a.7z"};
    for (const char *command : {"b", "h", "i", "xx", "r"})
        QTest::addRow("no type for %s", command)
                << QStringList {command, "f"} << QStringList {command, "f"};
}

void TestLauncher::rewrite()
{
    QFETCH(QStringList, input);
    QFETCH(QStringList, expected);
    // As the Windows front end reads them (UTF-16) and as the POSIX one does.
    const launcher::RewriteResult result = launcher::readArguments(toUtf16Args(input));
    QVERIFY2(result.ok, result.error.c_str());
    QCOMPARE(toList(launcher::rewriteArguments(toArgs(input)).args), expected);
    QCOMPARE(toList(result.args), expected);
    QVERIFY(result.error.empty());
}

void TestLauncher::rejectsMalformed_data()
{
    QTest::addColumn<QStringList>("input");

    QTest::newRow("nothing") << QStringList {};
    QTest::newRow("no command") << QStringList {"-y", "-o/d", "-ppw"};
    QTest::newRow("empty argument") << QStringList {"x", "", "a.7z"};
    QTest::newRow("lone dash") << QStringList {"x", "-", "a.7z"};
    QTest::newRow("dash digit") << QStringList {"x", "-1", "a.7z"};
    QTest::newRow("-o without folder") << QStringList {"x", "-o", "a.7z"};
    QTest::newRow("-yo without folder") << QStringList {"x", "-yo", "a.7z"};
    QTest::newRow("two folders") << QStringList {"x", "-o/a", "-yo/b", "a.7z"};
    QTest::newRow("-y glued to unknown") << QStringList {"x", "-yao", "a.7z"};
    QTest::newRow("-y glued to dash") << QStringList {"x", "-y-o/d", "a.7z"};
    // Not valid UTF-16: refused, never changed into something else.
    const QString high(QChar(0xD83D));
    const QString low(QChar(0xDE00));
    QTest::newRow("lone high surrogate") << QStringList {"x", "-ppw" + high, "a.7z"};
    QTest::newRow("lone low surrogate") << QStringList {"x", "-o/d" + low, "a.7z"};
    QTest::newRow("surrogates reversed") << QStringList {"x", "a" + low + high + ".7z"};
    QTest::newRow("high surrogate last") << QStringList {"x", "a.7z", "name" + high};
}

void TestLauncher::rejectsMalformed()
{
    QFETCH(QStringList, input);
    const launcher::RewriteResult result = launcher::readArguments(toUtf16Args(input));
    QVERIFY(!result.ok);
    QVERIFY(!result.error.empty());
    QVERIFY(result.args.empty());
}

void TestLauncher::windowsCommandLine_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("line");

    const QString pw = TestArchives::installerPassword();
    QTest::newRow("installer")
            << QStringList {"C:\\Program Files\\App\\7z-real.exe", "x",       "-y",
                            "-oC:\\Program Files\\Mirevale",       "-p" + pw, "C:\\App\\tarvo.cab"}
            << true
            << "\"C:\\Program Files\\App\\7z-real.exe\" x -y \"-oC:\\Program Files\\Mirevale\" -p"
                    + pw + " C:\\App\\tarvo.cab";
    QTest::newRow("trailing backslash stays literal")
            << QStringList {"7z.exe", "-oC:\\a b\\", "x"} << true << "7z.exe \"-oC:\\a b\\\" x";
    QTest::newRow("empty and tab")
            << QStringList {"7z.exe", "", "a\tb"} << true << "7z.exe \"\" \"a\tb\"";
    // 7-Zip trims line feeds at the ends of its command line.
    QTest::newRow("line feed at an end")
            << QStringList {"7z.exe", "x", "a.7z", "name\n"} << true << "7z.exe x a.7z \"name\n\"";
    QTest::newRow("double quote refused")
            << QStringList {"7z.exe", "x", "-pse\"cret"} << false << QString();
}

void TestLauncher::windowsCommandLine()
{
    QFETCH(QStringList, args);
    QFETCH(bool, ok);
    QFETCH(QString, line);
    std::string result;
    std::string error;
    const Args all = toArgs(args);
    QCOMPARE(launcher::windowsCommandLine(all.front(), Args(all.begin() + 1, all.end()), result,
                                          error),
             ok);
    QCOMPARE(QString::fromStdString(result), line);
    if (!ok) {
        QVERIFY(!error.empty());
        // The argument may be a password: it never shows in the message.
        QVERIFY(error.find("se\"cret") == std::string::npos);
    }
}

void TestLauncher::extendedLengthPath_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");

    const QString deep = QStringLiteral("\\a").repeated(200);
    QTest::newRow("drive") << "C:\\Program Files\\Mirevale"
                           << "\\\\?\\C:\\Program Files\\Mirevale";
    QTest::newRow("drive root") << "d:\\"
                                << "\\\\?\\d:\\";
    QTest::newRow("longer than MAX_PATH") << "C:" + deep << "\\\\?\\C:" + deep;
    QTest::newRow("UNC") << "\\\\server\\share\\setup\\7z.exe"
                         << "\\\\?\\UNC\\server\\share\\setup\\7z.exe";
    QTest::newRow("already extended") << "\\\\?\\C:\\a"
                                      << "\\\\?\\C:\\a";
    QTest::newRow("extended UNC") << "\\\\?\\UNC\\s\\x"
                                  << "\\\\?\\UNC\\s\\x";
    QTest::newRow("device") << "\\\\.\\pipe\\x"
                            << "\\\\.\\pipe\\x";
    QTest::newRow("relative") << "setup\\7z.exe"
                              << "setup\\7z.exe";
    QTest::newRow("drive-relative") << "C:7z.exe"
                                    << "C:7z.exe";
    QTest::newRow("rooted, no drive") << "\\7z.exe"
                                      << "\\7z.exe";
    QTest::newRow("bare double backslash") << "\\\\"
                                           << "\\\\";
    QTest::newRow("empty") << QString() << QString();
}

void TestLauncher::extendedLengthPath()
{
    QFETCH(QString, path);
    QFETCH(QString, expected);
    QCOMPARE(QString::fromStdString(launcher::extendedLengthPath(path.toStdString())), expected);
    QCOMPARE(QString::fromStdWString(launcher::extendedLengthPath(path.toStdWString())), expected);
}

QProcess *TestLauncher::startFrontEnd(const QStringList &args, const QString &workDir,
                                      const QProcessEnvironment &env)
{
    auto *process = new QProcess(this);
    process->setProcessEnvironment(env);
    process->setWorkingDirectory(workDir);
    process->start(TestArchives::frontEnd(), args);
    return process;
}

void TestLauncher::extractsThroughFrontEnd_data()
{
    QTest::addColumn<QString>("folderSwitch");
    QTest::addColumn<QString>("target");

    QTest::newRow("legacy -yo") << QStringLiteral("-yo")
                                << QStringLiteral("legacy/Program Files/x");
    QTest::newRow("separate -o") << QStringLiteral("-o") << QStringLiteral("separate/数据 folder");
}

void TestLauncher::extractsThroughFrontEnd()
{
    QFETCH(QString, folderSwitch);
    QFETCH(QString, target);
    const QString out = tmp.path() + QLatin1Char('/') + target;
    QStringList args {"x", folderSwitch + out, "-p" + TestArchives::installerPassword(), archive};
    if (folderSwitch == QLatin1String("-o"))
        args.insert(1, QStringLiteral("-y"));
    QProcess *process = startFrontEnd(args, tmp.path());
    QVERIFY(process->waitForFinished(30000));
    QCOMPARE(process->exitStatus(), QProcess::NormalExit);
    QCOMPARE(process->exitCode(), 0);
    QCOMPARE(TestArchives::filesBelow(out),
             QStringList({QStringLiteral("a.txt"), QStringLiteral("sub dir/数据.txt")}));
    QFile file(out + QStringLiteral("/sub dir/数据.txt"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("beta\n"));
}

void TestLauncher::commandLineErrorExitsSeven()
{
    const QString out = tmp.path() + QStringLiteral("/never");
    QProcess *process = startFrontEnd({"x", "-o" + out, "-o" + out, archive}, tmp.path());
    QVERIFY(process->waitForFinished(10000));
    QCOMPARE(process->exitCode(), 7);
    QVERIFY(process->readAllStandardError().contains("command line error"));
    QVERIFY(!QFileInfo::exists(out));
}

void TestLauncher::passesExitCodeThrough_data()
{
    QTest::addColumn<bool>("xz");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("target");

    QTest::newRow("wrong password")
            << false << QStringLiteral("not the password") << QStringLiteral("wrong-password");
    // 7-Zip reads .xz files too, but the front end tells it the archive is 7z.
    QTest::newRow("xz, not 7z") << true << TestArchives::installerPassword()
                                << QStringLiteral("from-xz");
}

void TestLauncher::passesExitCodeThrough()
{
    QFETCH(bool, xz);
    QFETCH(QString, password);
    QFETCH(QString, target);
    QString source = archive;
    if (xz) {
        source = tmp.path() + QStringLiteral("/a.txt.xz");
        QFile::remove(source);
        QProcess pack;
        pack.setWorkingDirectory(tmp.path() + QStringLiteral("/content"));
        pack.start(TestArchives::realSevenZip(), {"a", "-txz", "-y", "-bd", source, "a.txt"});
        QVERIFY(pack.waitForFinished(30000));
        QCOMPARE(pack.exitCode(), 0);
    }
    const QString out = tmp.path() + QLatin1Char('/') + target;
    QProcess *process = startFrontEnd({"x", "-yo" + out, "-p" + password, source}, tmp.path());
    QVERIFY(process->waitForFinished(30000));
    QCOMPARE(process->exitStatus(), QProcess::NormalExit);
    QCOMPARE(process->exitCode(), 2);
    QVERIFY(TestArchives::filesBelow(out).isEmpty());
}

void TestLauncher::neverRunsItself_data()
{
    QTest::addColumn<QString>("variable");
    QTest::addColumn<bool>("ownFolderOnPath");
    QTest::addColumn<int>("exitCode");

#ifdef Q_OS_WIN
    // The shipped Windows front end runs only the 7-Zip beside it, whatever
    // the environment says.
    QTest::addColumn<QString>("besideIt"); // what 7za.exe beside the copy is
    QTest::newRow("7za.exe beside it") << QString() << false << 0 << QStringLiteral("7za");
    QTest::newRow("variable ignored")
            << QStringLiteral("C:/nonexistent/7zz.exe") << false << 0 << QStringLiteral("7za");
    QTest::newRow("nothing beside it, own folder on PATH") << QString() << true << 2 << QString();
    QTest::newRow("7za.exe is the front end itself")
            << QString() << false << 2 << QStringLiteral("front end");
    return;
#endif
    // The front end's own folder, first on PATH, holds a "7zz" that is the
    // front end itself: it must be skipped for the real one.
    QTest::newRow("own folder first on PATH") << QString() << true << 0;
    QTest::newRow("variable names the front end") << TestArchives::frontEnd() << false << 2;
    QTest::newRow("variable names a link to it") << QStringLiteral("LINK") << false << 2;
    QTest::newRow("variable names a missing file")
            << QStringLiteral("/nonexistent/7zz") << false << 2;
}

void TestLauncher::neverRunsItself()
{
    QFETCH(QString, variable);
    QFETCH(bool, ownFolderOnPath);
    QFETCH(int, exitCode);

    QTemporaryDir work;
    QVERIFY(work.isValid());
    // A copy of the front end in a folder of its own, with a link "7zz" to it.
    const QString folder = work.path() + QStringLiteral("/bin");
    QVERIFY(QDir().mkpath(folder));
    const QString copy = folder + QStringLiteral("/7z.exe");
    QVERIFY(QFile::copy(TestArchives::frontEnd(), copy));
#ifdef Q_OS_WIN
    QFETCH(QString, besideIt);
    if (!besideIt.isEmpty()) {
        QVERIFY(QFile::copy(besideIt == QLatin1String("7za") ? TestArchives::realSevenZip()
                                                             : TestArchives::frontEnd(),
                            folder + QStringLiteral("/7za.exe")));
    }
    const QChar pathSeparator = QLatin1Char(';');
#else
    QVERIFY(QFile::link(copy, folder + QStringLiteral("/7zz")));
    const QChar pathSeparator = QLatin1Char(':');
#endif
    if (variable == QLatin1String("LINK"))
        variable = folder + QStringLiteral("/7zz");
    else if (variable == TestArchives::frontEnd())
        variable = copy;

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (ownFolderOnPath)
        env.insert(QStringLiteral("PATH"), folder + pathSeparator + env.value("PATH"));
    if (!variable.isEmpty())
        env.insert(QStringLiteral("MIREVALE_7ZIP"), variable);
    env.remove(QStringLiteral("MIREVALE_7ZIP_FRONT_END"));

    const QString out = work.path() + QStringLiteral("/out");
    auto *process = new QProcess(this);
    process->setProcessEnvironment(env);
    process->start(copy, {"x", "-yo" + out, "-p" + TestArchives::installerPassword(), archive});
    QVERIFY(process->waitForFinished(30000));
    QCOMPARE(process->exitCode(), exitCode);
    QCOMPARE(QFileInfo::exists(out + QStringLiteral("/a.txt")), exitCode == 0);
}

// The working folder the front end inherits is whoever started the
// installer's choice: 7-Zip works in its own folder instead.
void TestLauncher::sevenZipWorksInItsFolder()
{
#ifdef Q_OS_WIN
    QTemporaryDir work;
    QVERIFY(work.isValid());
    const QString folder = work.path() + QStringLiteral("/bin");
    const QString elsewhere = work.path() + QStringLiteral("/chosen by the user");
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(QDir().mkpath(elsewhere));
    const QString copy = folder + QStringLiteral("/7z.exe");
    QVERIFY(QFile::copy(TestArchives::frontEnd(), copy));
    QVERIFY(QFile::copy(QStringLiteral(MIREVALE_STANDIN_EXTRACTOR),
                        folder + QStringLiteral("/7za.exe")));
    const QString record = work.path() + QStringLiteral("/record.txt");
    QVERIFY(TestArchives::writeFile(folder + QStringLiteral("/stand-in.txt"),
                                    "-\n" + record.toUtf8() + "\nexit 0\nworking folder\n"));
    QProcess process;
    process.setWorkingDirectory(elsewhere);
    process.start(copy, {"x", "-yo" + work.path() + QStringLiteral("/out"), archive});
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitCode(), 0);
    QFile file(record);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QVERIFY(lines.size() >= 2);
    QCOMPARE(QDir::cleanPath(QString::fromUtf8(lines.at(lines.size() - 2))).toLower(),
             QDir::cleanPath(folder).toLower());
#else
    QSKIP("on POSIX the front end becomes 7-Zip, in the working folder the installer gives it");
#endif
}

void TestLauncher::replacesItselfWithSevenZip()
{
#ifdef Q_OS_WIN
    QSKIP("On Windows the front end waits for 7-Zip in a job object instead");
#endif
    // Without a password 7-Zip stops and asks on stdin: the process then
    // waiting must be 7-Zip itself, with the front end's process id.
    QProcess *process = startFrontEnd({"x", "-yo" + tmp.path() + "/asked", archive}, tmp.path());
    QVERIFY(process->waitForStarted(10000));
    const QString sevenZip = QFileInfo(TestArchives::realSevenZip()).canonicalFilePath();
    const QString pidExe = QStringLiteral("/proc/%1/exe").arg(process->processId());
    // /usr/bin/7z may be a script that execs the binary: compare binaries
    // only where the found 7-Zip is one.
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(pidExe).canonicalFilePath()
                                     != QFileInfo(TestArchives::frontEnd()).canonicalFilePath(),
                             10000);
    if (!sevenZip.endsWith(QLatin1String("/7z")) && !sevenZip.endsWith(QLatin1String("/7za")))
        QTRY_COMPARE_WITH_TIMEOUT(QFileInfo(pidExe).canonicalFilePath(), sevenZip, 10000);
    QVERIFY(TestArchives::childProcesses(process->processId()).isEmpty());
    process->kill();
    QVERIFY(process->waitForFinished(10000));
}

QTEST_GUILESS_MAIN(TestLauncher)
#include "tst_launcher.moc"
