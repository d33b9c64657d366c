#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

// What is checked once the archives are known to be good and before anything
// of the old installation changes: that no program of the product runs, and
// that the new installation fits on its volumes beside the old one (the old
// one is set aside, not deleted, until the new one is complete).
class PreflightCheck
{
public:
    // The margin on top of the unpacked sizes: 5 % plus 16 MiB per volume.
    static constexpr int marginPercent = 5;
    static constexpr qint64 marginBytes = Q_INT64_C(16) * 1024 * 1024;

    // The programs (executables, or the scripts a shell runs) that run from
    // inside one of `folders`; empty when none does.
    static QStringList runningPrograms(const QStringList &folders);

    // Checks that `bytes.at(i)` unpacked into `folders.at(i)` fits, folders
    // on one volume counted together. Empty when everything fits, otherwise
    // the first volume that is too small: {its root or mount point, the
    // megabytes needed, the megabytes free}.
    static QStringList tooLittleSpace(const QStringList &folders, const QVector<qint64> &bytes);

    // The bytes needed for `bytes` of payload, the margin included.
    static qint64 withMargin(qint64 bytes);
};
