#pragma once

#include "CInstallPaths.h"

#include <QString>
#include <QStringList>

#include <functional>

// Replaces the old installation so that it can be put back: the program
// folder and the data folder are renamed aside on their own volume
// ("<name>.previous", one atomic rename each, nothing walked), the new
// installation is unpacked into fresh folders, and only once it is complete
// are the aside folders renamed "<name>.discarded" and removed. Until then a
// failure, a stop or a killed run leaves the old installation whole beside
// the new folders: rollBack() (or recoverLeftovers() in the next run)
// removes the new folders and renames the old ones back.
//
// The data folder lies in the all-users data folder, where standard users
// may create entries: an aside data folder is put back only when it belongs
// to a trusted owner (as the installer's own data folder does), any other
// entry of that name is removed.
class InstallationSwap
{
public:
    // How setAside() ended.
    enum class SetAside {
        Done,
        InUse, // a folder could not be renamed: something below it is open
        Failed, // a folder could not be renamed for another reason
        Stopped // the installation was stopped meanwhile
    };

    // How long renaming a folder is retried while something holds it open:
    // virus scanners and indexers hold files briefly.
    static constexpr int inUseRetryMs = 2000;

    // `stopNow` answers whether the installation is to stop.
    InstallationSwap(const CInstallPaths &paths, std::function<bool()> stopNow);

    static QString asideName(const QString &folder); // "<folder>.previous"
    static QString discardedName(const QString &folder); // "<folder>.discarded"

    // Puts back what an earlier run that was ended left aside and removes
    // what it left to discard. Returns the folders put back.
    QStringList recoverLeftovers() const;

    // True when the program folder or the data folder is there.
    bool oldInstallationFound() const;

    // Renames the program folder, then the data folder when it belongs to a
    // trusted owner (another one's is left to be removed), aside. On
    // anything but Done nothing stays renamed; `failedFolder` names the
    // folder that could not be renamed and, when it was in use,
    // `fileInUse` the first entry below it found open (empty when none was
    // found).
    SetAside setAside(QString *failedFolder, QString *fileInUse);

    // Moves the hidden entries of the aside data folder (on Windows hidden
    // or system, elsewhere dotfiles; links excepted), at any depth below
    // folders that are not hidden, to the same place in the fresh data
    // folder: they belong to the machine, not to an installation.
    void moveKeptEntries();

    // Removes the new folders and renames the old ones back; the kept
    // entries go back into the old data folder. True when everything set
    // aside is back (and, for a first installation, nothing is left).
    bool rollBack();

    // The new installation is complete: the aside folders are removed.
    // False when some of them stayed (the next run removes them).
    bool commit();

    bool programSetAside() const { return m_programAside; }
    bool dataSetAside() const { return m_dataAside; }

private:
    // The renaming with retries while the folder is in use.
    bool renameWithRetry(const QString &from, const QString &to, bool *inUse) const;
    // The hidden entries below `folder` + `prefix`, as paths relative to
    // `folder` ("/name", "/sub/name"), walking into the folders that are not
    // hidden; links are neither listed nor entered.
    static QStringList hiddenEntries(const QString &folder, const QString &prefix);
    // Moves each entry (relative path) of `from` that `to` lacks to the same
    // place below `to`, creating its parents; returns those moved.
    static QStringList moveEntries(const QString &from, const QString &to,
                                   const QStringList &entries);
    // Moves the `kept` entries of `folder` (the new one) back into `aside`,
    // removes `folder` and renames `aside` to `folder`.
    bool putBack(const QString &folder, const QString &aside, const QStringList &kept) const;
    // True when the aside data folder is the installer's to put back; an
    // entry that is not is removed.
    bool asideDataIsOurs() const;
    static bool exists(const QString &path);
    static bool removeFolder(const QString &path);

    CInstallPaths m_paths;
    std::function<bool()> m_stopNow;
    bool m_programAside = false;
    bool m_dataAside = false;
    QStringList m_moved; // the hidden entries moved into the new data folder
};
