#pragma once

// Reading and writing of an emulated registry hive: a text file in the
// syntax of a "Windows Registry Editor Version 5.00" export (see
// platform/README.md). Pure functions on bytes and settings maps, so that the
// QSettings format of the platform layer and a fuzzer can share them.
//
// A settings map holds one entry per value. Its key is the key path below
// the hive and the value name, joined with "/" ("Software/Vendor/Name"); the
// default value of a key has the name ".". Values are QString (REG_SZ), int
// (REG_DWORD) or RegistryRawValue (any other type, kept as written).

#include <QByteArray>
#include <QMetaType>
#include <QSettings>
#include <QString>

// A value of a type the emulation does not interpret (hex:, hex(2):, ...):
// the text after "=", continuation lines included, written back unchanged.
struct RegistryRawValue
{
    QString text;
};
Q_DECLARE_METATYPE(RegistryRawValue)

namespace RegistryHive {

// True when two values read from a hive are the same value of the same type.
bool sameValue(const QVariant &a, const QVariant &b);

// Parses a hive file of the hive hiveName ("HKEY_LOCAL_MACHINE"). Returns
// false, with map cleared, for anything that is not a well-formed export of
// that hive. Empty data is an empty hive. Key and value names are merged
// case-insensitively, the first spelling in the file kept.
bool parse(const QByteArray &data, const QString &hiveName, QSettings::SettingsMap *map);

// The file text for map: the header line, a blank line, then one section per
// key (sorted case-insensitively) with its values, each section followed by
// a blank line. UTF-8, "\n" line ends.
QByteArray serialize(const QString &hiveName, const QSettings::SettingsMap &map);

// Rewrites the keys of map so that key paths and value names that differ
// only in case use one spelling: a spelling found in known (the hive as it
// is on disk) wins, then the first in map order. When several entries fall
// together, the one whose value differs from known's wins (the newly set
// one). Returns the merged map.
QSettings::SettingsMap mergeCaseVariants(const QSettings::SettingsMap &map,
                                         const QSettings::SettingsMap &known);

// The spelling of keyPath ("/"-separated) as it exists in map, matched
// case-insensitively segment by segment; segments not found keep theirs.
QString existingKeySpelling(const QSettings::SettingsMap &map, const QString &keyPath);

} // namespace RegistryHive
