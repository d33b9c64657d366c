#pragma once

// An open folder, and everything the installer does inside one by handle
// rather than by path: listing, opening a sub-folder without following a
// link, removing an entry, creating a folder with the installer's own
// permissions and giving it back the permissions it would inherit.
//
// A FolderHandle is valid only when it was proved to be a real folder: a
// symbolic link, a junction or any other reparse point is never opened as
// one, so a walk that enters folders only through child() never leaves the
// tree it started in.
//
// Windows (FolderHandle_win.cpp): NtCreateFile relative to the folder's
// handle with FILE_OPEN_REPARSE_POINT, GetFileInformationByHandleEx,
// SetFileInformationByHandle with a disposition, security descriptors.
// Elsewhere (FolderHandle_emul.cpp): openat with O_NOFOLLOW | O_DIRECTORY,
// fstatat, unlinkat, fdopendir, and modes and owners standing in for
// security descriptors (see platform/README.md).

#include <QString>
#include <QVector>

namespace Platform {

class FolderHandle
{
public:
    enum class Kind {
        File,
        Folder,
        Link, // symbolic link, junction or other reparse point: removed, never entered
        Other, // POSIX: a FIFO, a socket or a device
        Gone // no such entry (any more)
    };
    struct Entry
    {
        QString name;
        Kind kind = Kind::Other;
        bool hidden = false; // Windows: hidden or system attribute; POSIX: a dotfile
    };
    enum class Opened { Folder, NotAFolder, Missing, Failed };

    FolderHandle() = default;
    ~FolderHandle();
    FolderHandle(FolderHandle &&other) noexcept;
    FolderHandle &operator=(FolderHandle &&other) noexcept;
    FolderHandle(const FolderHandle &) = delete;
    FolderHandle &operator=(const FolderHandle &) = delete;

    // Opens a folder of the system by its full path (the parents of the
    // installer's folders). The last component must be a real folder.
    static FolderHandle open(const QString &path);

    bool isValid() const;

    // Opens the entry `name` as a folder without following a link. `how`
    // tells why the result is invalid: NotAFolder for a link or a file (it
    // may have changed since it was listed), Missing when there is none.
    FolderHandle child(const QString &name, Opened *how = nullptr) const;

    // The entries, without "." and "..", in the file system's order. False
    // when the folder cannot be listed.
    bool list(QVector<Entry> *entries) const;

    // What `name` is now, links not followed.
    Kind kindOf(const QString &name) const;

    // Removes the entry `name` when it is a file or a link (the link
    // itself); never a folder, never what a link points to.
    bool remove(const QString &name) const;
    // Removes the empty folder `name`, opened as `folder`.
    bool removeFolder(const QString &name, const FolderHandle &folder) const;

    // The installer's own folder `name`: created with the installer's
    // protected permissions (Windows: owner Administrators, full control for
    // SYSTEM and Administrators, read and execute for Users, nothing
    // inherited; POSIX: mode 0755, owned by this process) and opened.
    // Creating fails when the entry exists. The handle is one for holding
    // the folder (see hold()).
    FolderHandle createProtected(const QString &name) const;
    // Trades `folder`, this folder's sub-folder `name` as child() opened it,
    // for a handle that holds it in place while the installer works in it:
    // on Windows it has no right to delete and does not share deletion, so
    // that no one can rename, move or remove the folder while it is held,
    // yet everyone who may open the folder still can (a handle that may
    // delete would turn away every opener that does not share deletion,
    // FindFirstFile among them). The handle is opened again by name, and is
    // invalid unless it is the same folder; `folder` is then given back when
    // it can still be opened as that folder (else it stays invalid), so that
    // what was changed on it can be undone. On success `folder` is invalid.
    // POSIX has no sharing modes: `folder` itself is returned.
    FolderHandle hold(const QString &name, FolderHandle &folder) const;
    // Opens the sub-folder `name` as child() does, even when its permissions
    // shut the installer out, and gives it the protected permissions below.
    // Windows: the installer's privileges to take ownership, to back up and
    // to restore (an elevated administrator has them, disabled) are enabled
    // for this thread only and only while the folder is opened with backup
    // intent, which then needs no permission; the folder becomes the
    // Administrators' with the protected DACL. POSIX: a folder of this
    // process's user (any folder, as root) is opened without reading it
    // (O_PATH) and given mode 0755 (as root also owner root) before it is
    // opened; another user's folder fails, as without the privileges on
    // Windows. Its permissions changed, the caller gives them back
    // (restoreInherited()).
    FolderHandle takeOver(const QString &name, Opened *how = nullptr) const;
    // Gives this folder the protected permissions above.
    bool protect() const;
    // True when the folder belongs to a trusted owner: Windows, SYSTEM or
    // Administrators; POSIX, root or this process's user.
    bool trustedOwner() const;
    // Gives this folder back what it inherits from `parent`, with no
    // permissions of its own (Windows: an unprotected empty DACL, the
    // inherited entries propagated below; POSIX: the parent's mode).
    bool restoreInherited(const FolderHandle &parent) const;

private:
#ifdef Q_OS_WIN
    explicit FolderHandle(void *handle);
    void *m_handle = nullptr;
#else
    explicit FolderHandle(int fd);
    int m_fd = -1;
#endif
};

// The owner and permissions of `path` (the link itself if it is one), for
// checks: Windows, the owner and DACL as an SDDL string ("O:BAD:P(A;...)");
// POSIX, "owner <uid> mode <octal>". Empty when they cannot be read.
QString securityDescriptor(const QString &path);

} // namespace Platform
