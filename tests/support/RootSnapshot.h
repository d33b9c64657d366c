#pragma once

// What a temporary system root holds, to prove that an installation changed
// nothing but its own places: every entry with its kind, permissions and
// checksum, and the machine hive's values.

#include <QMap>
#include <QSettings>
#include <QString>
#include <QStringList>

namespace RootSnapshot {

// The places an installation may change, relative to the system root: the
// program folder, the data folder, the shortcuts and the machine hive file.
QStringList installerPlaces();

// Relative path -> "dir 755", "file 644 <sha1>" or "link -> <target>" for
// every entry below root (hidden ones too, links never followed), leaving
// out the entries at `excluded` (relative paths) and everything below them.
QMap<QString, QString> listing(const QString &root, const QStringList &excluded);

// The machine hive's values ("Software/Vendor/Name" -> value as text),
// without the product's uninstall entry. Fails the parse with an entry "!".
QMap<QString, QString> registry(const QString &root);

// The differences between two listings, one line each, for a message.
QStringList differences(const QMap<QString, QString> &before, const QMap<QString, QString> &after);

} // namespace RootSnapshot
