// Fuzzer of writes to a hive file of arbitrary bytes through the platform
// layer: a value set through Platform::openRegistryKey either lands in the
// hive with every other value kept, or, when the file cannot be parsed, the
// file stays byte for byte as it was.
#include "Platform.h"
#include "RegistryHive_emul.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

const QString hive = QStringLiteral("HKEY_LOCAL_MACHINE");
const QString keyPath = QStringLiteral("Software/Mirevale Fuzz");
const QString valueName = QStringLiteral("Value");
const QString written = QStringLiteral("written by the fuzzer");

QTemporaryDir *base = nullptr;
unsigned counter = 0;

void quiet(QtMsgType, const QMessageLogContext &, const QString &) { }

void fail(const char *what)
{
    std::fprintf(stderr, "registry_write: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qInstallMessageHandler(quiet);
    // Every write syncs the file to disk: a memory file system keeps the
    // fuzzer fast.
    const QFileInfo shm(QStringLiteral("/dev/shm"));
    const QString tmp = shm.isDir() && shm.isWritable() ? shm.filePath() : QDir::tempPath();
    base = new QTemporaryDir(tmp + QStringLiteral("/mirevale-fuzz-XXXXXX"));
    if (!base->isValid())
        fail("cannot create a temporary folder");
    std::atexit([] { delete base; });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    // A new system root each time: Qt caches settings files by name.
    const QString root = base->path() + QStringLiteral("/root%1").arg(counter++);
    const QString folder = root + QStringLiteral("/Windows/registry");
    const QString fileName = folder + QStringLiteral("/") + hive + QStringLiteral(".reg");
    if (!QDir().mkpath(folder))
        fail("cannot create the registry folder");
    {
        QFile file(fileName);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            fail("cannot write the hive file");
    }
    qputenv("MIREVALE_SYSTEM_ROOT", root.toUtf8());

    QSettings::SettingsMap before;
    const bool parsed = RegistryHive::parse(bytes, hive, &before);
    {
        std::unique_ptr<QSettings> settings
                = Platform::openRegistryKey(QStringLiteral("HKEY_LOCAL_MACHINE\\") + keyPath);
        settings->setValue(valueName, written);
    }

    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        fail("the hive file is gone");
    const QByteArray after = file.readAll();
    file.close();
    if (QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
        != QStringList(hive + QStringLiteral(".reg")))
        fail("the write left other files in the registry folder");

    if (!parsed) {
        if (after != bytes)
            fail("a hive that does not parse was changed by a write");
    } else {
        QSettings::SettingsMap map;
        if (!RegistryHive::parse(after, hive, &map))
            fail("the rewritten hive does not parse");
        const QString target = keyPath + QStringLiteral("/") + valueName;
        int found = 0;
        for (auto it = map.constBegin(); it != map.constEnd(); ++it) {
            if (it.key().compare(target, Qt::CaseInsensitive) != 0)
                continue;
            ++found;
            if (it.value() != QVariant(written))
                fail("the value set is not in the hive");
        }
        if (found != 1)
            fail("the value set is not in the hive exactly once");
        int kept = 0;
        for (auto it = before.constBegin(); it != before.constEnd(); ++it) {
            if (it.key().compare(target, Qt::CaseInsensitive) == 0)
                continue;
            ++kept;
            if (!map.contains(it.key())
                || !RegistryHive::sameValue(map.value(it.key()), it.value()))
                fail("a value of the hive was lost or changed by a write");
        }
        if (map.size() != kept + 1)
            fail("the write added values that were not set");
    }
    QDir(root).removeRecursively();
    return 0;
}
