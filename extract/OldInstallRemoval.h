#pragma once

#include "FolderHandle.h"

#include <QString>

#include <functional>

class FolderWalk;

// Clears the previous installation before anything is unpacked: the program
// folder is deleted, the data folder made the installer's own and emptied,
// each in one walk on handles (FolderWalk).
class OldInstallRemoval
{
public:
    // Whether a folder may be unpacked into: its walk removed every link in
    // it and could search every folder in it for one.
    struct Result
    {
        bool programFreeOfLinks = true;
        bool dataFreeOfLinks = true;
    };

    // `stopNow` answers whether the installation is to stop.
    explicit OldInstallRemoval(std::function<bool()> stopNow);

    // Opens the data folder, a sub-folder of the all-users data folder
    // `appData`, as the installer's own, held (FolderHandle::hold): created
    // with the protected permissions when it is not there (a link in its
    // place is removed as a link), reset to them when it is there and
    // belongs to a trusted owner, and, when someone else owns it or its
    // permissions shut the installer out, taken over (FolderHandle::takeOver)
    // so that no one else can add to it, removed entirely (hidden entries
    // too, links never followed) and created afresh. Invalid when none of
    // that worked; then no folder keeps permissions changed on the way.
    Platform::FolderHandle secureDataFolder(const Platform::FolderHandle &appData) const;

    // Deletes the program folder and empties the data folder with
    // `dataWalk`, a walk that keeps hidden entries, protects what stays and
    // takes over what shuts the installer out: the folders that stay (they
    // hold hidden entries) get the installer's permissions too, so that no
    // one else can write into any folder 7-Zip unpacks into, and the walk
    // holds them until the caller gives them back what they inherit
    // (FolderWalk::restoreInherited, after the data folder).
    Result remove(const QString &programFolder, const Platform::FolderHandle &data,
                  FolderWalk &dataWalk) const;

private:
    std::function<bool()> m_stopNow;
};
