#pragma once

// A folder and files in it, held open from the moment they are checked until
// the installation ends, so that what was checked is what is run and read:
// nobody can write, rename, replace or delete a held file, nor rename or
// delete the held folder, while the installer holds them. Everyone may still
// read a held file, and run it.
//
// Windows (HeldFiles_win.cpp): the folder is opened with FILE_LIST_DIRECTORY,
// sharing read and write but not deletion (FILE_FLAG_BACKUP_SEMANTICS); each
// file with GENERIC_READ, sharing read only, FILE_FLAG_OPEN_REPARSE_POINT,
// and refused unless it is a regular file (no folder, no reparse point).
// Elsewhere (HeldFiles_emul.cpp): file descriptors, the files opened with
// O_NOFOLLOW and refused unless regular; POSIX has no sharing modes, so the
// emulation holds the files' identity but cannot keep anyone from changing
// them.
//
// The files are read through the held handles, never by their path again,
// and at explicit offsets, so that several threads may read at once.

#include <QString>
#include <QVector>

namespace Platform {

class HeldFiles
{
public:
    enum class Held {
        Yes,
        Missing, // no such entry
        NotAFile, // a folder, a link or another reparse point, a device...
        Failed // there, but it could not be opened (in use, no access)
    };

    // Holds the folder `path` (links in the path followed). Check isValid().
    explicit HeldFiles(const QString &path);
    ~HeldFiles();
    HeldFiles(const HeldFiles &) = delete;
    HeldFiles &operator=(const HeldFiles &) = delete;

    bool isValid() const;
    // The held folder's own path, every link in it resolved ("/"
    // separators, no trailing "/"): a path nobody can redirect while the
    // folder is held. Empty when the folder is not held.
    QString folder() const;

    // Opens and holds the file `name` of the folder. The files are numbered
    // in the order of the calls, held or not.
    Held hold(const QString &name);
    // The size of held file `index` as its handle sees it; -1 when not held.
    qint64 size(int index) const;
    // Reads up to `length` bytes at `offset` of held file `index` into
    // `buffer`; the number read, 0 at the end, -1 on an error.
    qint64 read(int index, qint64 offset, char *buffer, qint64 length) const;

private:
    // Windows: HANDLEs; POSIX: file descriptors; -1 when not held.
    qintptr m_folder = -1;
    QString m_folderPath;
    QVector<qintptr> m_files;
};

} // namespace Platform
