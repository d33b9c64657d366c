#pragma once

#include <QByteArray>
#include <QHash>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <QThread>

#include <atomic>
#include <memory>

namespace Platform {
class HeldFiles;
}

// The seal of the payload: the installer carries the size and SHA-256 of
// every file it runs or unpacks (7z.exe, on Windows 7za.exe, tarvo.cab and
// data.cab) in a block of its own image, written there by scripts/seal
// before the installer is signed, so that its signature covers them.
//
// A CPayloadSeal holds the payload's folder and files open from its
// construction to its destruction (Platform::HeldFiles: nobody can change,
// replace, rename or delete them meanwhile) and compares what it reads
// through those handles with the seal. The programs are checked when asked
// (programsMatch(), before any of them runs); the archives' digests are
// computed at once in a thread of the seal's own, beside whatever the
// caller does meanwhile, and awaited by archivesMatch().
//
// An installer that was never sealed matches nothing: it carries the block
// as built, which says "unsealed".
class CPayloadSeal : public QThread
{
    Q_OBJECT

public:
    // The size and digest of one sealed file.
    struct Entry
    {
        qint64 size = -1;
        QByteArray sha256; // 64 lower-case hex digits
    };

    // Holds `folder` and the payload in it, and starts the archives' check.
    explicit CPayloadSeal(const QString &folder, QObject *parent = nullptr);
    ~CPayloadSeal() override;

    // The held folder's own path, links resolved: the path to run and read
    // the payload by. `folder` as given when it could not be held (then
    // nothing matches).
    QString folder() const;

    // True when the programs of the payload are the sealed ones.
    bool programsMatch();
    // True when the archives are the sealed ones; waits for their digests.
    bool archivesMatch();
    // What did not match so far, in the payload's order: the files that are
    // missing, not regular files, or of another size or digest than sealed;
    // the installer's own file name when it carries no seal.
    QStringList mismatched() const;

    // The payload's files, programs first: 7z.exe, (Windows) 7za.exe,
    // tarvo.cab, data.cab.
    static QStringList payloadNames();
    // The seal this installer carries: the table of its image's block (in a
    // test build, the test seams' table when one is set). Empty when the
    // installer was not sealed.
    static QByteArray table();
    // Reads a table ("sealed", one "<size> <sha256> <name>" line per file,
    // "end"; each line ends in "\n"). False, and no entries, when it is
    // malformed or not sealed.
    static bool parse(const QByteArray &table, QHash<QString, Entry> *entries);

protected:
    void run() override;

private:
    bool Matches(int index);
    void Mismatch(int index);

    std::unique_ptr<Platform::HeldFiles> m_held;
    QString m_folder;
    QStringList m_names;
    int m_programCount = 0;
    bool m_sealed = false;
    QHash<QString, Entry> m_entries;
    std::atomic<bool> m_abort {false};

    mutable QMutex m_mutex; // guards what follows
    QVector<bool> m_failed; // per payload file
    bool m_archivesMatch = false;
};
