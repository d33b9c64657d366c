#pragma once

#include "FolderHandle.h"

#include <QString>

#include <functional>
#include <vector>

// One walk on folder handles that deletes a folder or empties it: each
// folder is entered only through a handle proved to be a real folder, links
// and junctions are removed as entries and never followed, and entries are
// walked in the order of their names, case ignored (as QDir lists them by
// default). The walk notes whether every folder in it could be opened and
// listed and every link in it removed (isClean()): 7-Zip follows a link to a
// folder that lies in the way of a path it writes.
class FolderWalk
{
public:
    // What the walk keeps.
    struct Policy
    {
        // Hidden entries (and, on POSIX, FIFOs, sockets and devices) stay,
        // without ending the deletion; the folder holding one then stays.
        bool keepHidden = true;
        // The folders that stay get the installer's protected permissions
        // and are held (FolderHandle::hold) until the walk gives them back
        // what they inherit (restoreInherited()).
        bool protectKept = false;
        // A folder whose permissions shut the installer out is taken over
        // (FolderHandle::takeOver) rather than left as it is; if it stays,
        // restoreInherited() gives it back what it inherits.
        bool takeOver = false;
    };

    // `stopNow` answers whether the walk is to stop between two entries.
    explicit FolderWalk(const Policy &policy, std::function<bool()> stopNow = nullptr);

    // Deletes the folder with everything in it; true when it is gone or was
    // never there. A link in its place is removed as a link.
    bool deleteFolder(const QString &path);
    // Removes everything in the folder; true when it is empty at the end.
    bool empty(const Platform::FolderHandle &folder);

    bool isClean() const { return m_clean; }

    // Gives every folder the walk protected or took over back what it
    // inherits, each parent before its children, so that each takes what its
    // parent passes on by then; `root` is the folder the walk started in,
    // which the caller gives back first. True when every one was given
    // back. The folders are held until then, and let go afterwards; a walk
    // that ends without it leaves them protected.
    bool restoreInherited(const Platform::FolderHandle &root);

private:
    // What one entry became.
    enum class Walked { Removed, Kept, Failed };

    bool emptyFolder(const Platform::FolderHandle &folder, bool deleting);
    Walked walkEntry(const Platform::FolderHandle &folder, const QString &name,
                     Platform::FolderHandle::Kind kind, bool hidden, bool deleting);
    bool stopping() const { return m_stopNow && m_stopNow(); }
    void noteProtected(Platform::FolderHandle folder, std::size_t firstBelow);

    // A folder the walk protected, with the index of its parent among them
    // (-1: the root). A folder whose own folder stayed unprotected (it could
    // not be held) counts as the child of the nearest one above that was.
    struct Protected
    {
        Platform::FolderHandle folder;
        int parent = -1;
    };

    Policy m_policy;
    std::function<bool()> m_stopNow;
    bool m_clean = true;
    // In the order they were protected: children before their parents.
    std::vector<Protected> m_protected;
};
