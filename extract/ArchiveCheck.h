#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

// The check that comes before anything is deleted: each archive is listed
// ("l -slt") with the password and its first file tested ("t") through the
// extractor front end. It proves that a 7-Zip runs behind the front end,
// that the archive is a 7z archive, whole enough to list, and that the
// password opens it. Testing the first file in the archive's order decodes
// only the start of a solid block. The archives are checked side by side:
// each command is mostly the extractor's start and its listing.
class ArchiveCheck
{
public:
    // `stopNow` answers whether the installation is to stop.
    ArchiveCheck(const QString &extractor, std::function<bool()> stopNow);

    // The index of the first archive that failed its check; -1 when all
    // passed, or when the check was stopped. `unpackedSizes`, when given,
    // gets each archive's unpacked size from its listing (0 for one that did
    // not list).
    int firstUnusable(const QStringList &archives, QVector<qint64> *unpackedSizes = nullptr) const;

    // The first file of a technical listing ("l -slt"), in the archive's own
    // order: the first entry after the "----------" line that is no folder,
    // preferring one with data (an empty file proves nothing about the
    // password). Empty when the archive holds no file.
    static QString firstFile(const QByteArray &listing);

    // The bytes a technical listing's entries take once unpacked: the sum of
    // their "Size = " lines after the "----------" line.
    static qint64 unpackedSize(const QByteArray &listing);

private:
    static void logFailure(const QString &what, const QString &archive, int exitCode,
                           const QByteArray &output);
    QVector<int> runSideBySide(const QVector<QStringList> &commands,
                               QVector<QByteArray> *outputs) const;

    QString m_extractor;
    std::function<bool()> m_stopNow;
};
