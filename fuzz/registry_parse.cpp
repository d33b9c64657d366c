// Fuzzer of the registry hive parser: any bytes as a hive file. Parsing
// never crashes or hangs; what parses writes back to text that parses to the
// same values and writes back to the same text again.
#include "RegistryHive_emul.h"

#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

const QString hive = QStringLiteral("HKEY_LOCAL_MACHINE");

bool sameMap(const QSettings::SettingsMap &a, const QSettings::SettingsMap &b)
{
    if (a.keys() != b.keys())
        return false;
    for (auto it = a.constBegin(); it != a.constEnd(); ++it) {
        if (!RegistryHive::sameValue(it.value(), b.value(it.key())))
            return false;
    }
    return true;
}

void fail(const char *what)
{
    std::fprintf(stderr, "registry_parse: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    QSettings::SettingsMap map;
    map.insert(QStringLiteral("stale"), 1);
    if (!RegistryHive::parse(bytes, hive, &map)) {
        if (!map.isEmpty())
            fail("a failed parse left values in the map");
        return 0;
    }

    // Parsing already merged the spellings that differ only in case.
    if (!sameMap(RegistryHive::mergeCaseVariants(map, QSettings::SettingsMap()), map))
        fail("a parsed map still holds case variants");

    const QByteArray text = RegistryHive::serialize(hive, map);
    QSettings::SettingsMap again;
    if (!RegistryHive::parse(text, hive, &again))
        fail("the written hive does not parse");
    if (!sameMap(again, map))
        fail("the written hive reads back different values");
    if (RegistryHive::serialize(hive, again) != text)
        fail("writing the hive twice gives different text");
    return 0;
}
