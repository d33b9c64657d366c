#include "FolderWalk.h"

#include <QFileInfo>
#include <QVector>

#include <algorithm>

using Platform::FolderHandle;

FolderWalk::FolderWalk(const Policy &policy, std::function<bool()> stopNow)
    : m_policy(policy)
    , m_stopNow(std::move(stopNow))
{ }

bool FolderWalk::deleteFolder(const QString &path)
{
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    const FolderHandle parent
            = FolderHandle::open(slash <= 0 ? QStringLiteral("/") : path.left(slash));
    if (!parent.isValid()) {
        // No parent folder, nothing to delete; one that cannot be opened
        // cannot be searched.
        const QFileInfo info(path);
        const bool nothing = !info.exists() && !info.isSymLink();
        m_clean = nothing;
        return nothing;
    }
    const QString name = path.mid(slash + 1);
    const FolderHandle::Kind kind = parent.kindOf(name);
    if (kind == FolderHandle::Kind::Gone)
        return true;
    return walkEntry(parent, name, kind, false, true) == Walked::Removed;
}

bool FolderWalk::empty(const FolderHandle &folder)
{
    return emptyFolder(folder, true);
}

// The folders protected since `firstBelow` and not yet given a parent lie
// below `folder`, directly: walks are depth first.
void FolderWalk::noteProtected(FolderHandle folder, std::size_t firstBelow)
{
    const int index = int(m_protected.size());
    for (std::size_t i = firstBelow; i < m_protected.size(); ++i) {
        if (m_protected[i].parent < 0)
            m_protected[i].parent = index;
    }
    m_protected.push_back({std::move(folder), -1});
}

bool FolderWalk::restoreInherited(const FolderHandle &root)
{
    // Parents were protected after their children: backwards, each parent
    // comes first. Windows computes what an unprotected folder inherits from
    // its parent's permissions as they are at that moment and propagates it
    // down to the entries that are not protected: a child given back before
    // its parent would inherit the installer's permissions until the
    // parent's propagation reached it.
    bool all = true;
    for (auto it = m_protected.rbegin(); it != m_protected.rend(); ++it) {
        const FolderHandle &parent = it->parent < 0 ? root : m_protected[it->parent].folder;
        if (!it->folder.restoreInherited(parent))
            all = false;
    }
    m_protected.clear();
    return all;
}

// While `deleting`, files and sub-folders are removed; the first that
// cannot be ends the deletion in this folder, and the rest is only searched
// for links. Links are removed everywhere, as links. True when the folder is
// empty at the end.
bool FolderWalk::emptyFolder(const FolderHandle &folder, bool deleting)
{
    QVector<FolderHandle::Entry> entries;
    if (!folder.list(&entries)) {
        m_clean = false;
        return false;
    }
    std::sort(entries.begin(), entries.end(),
              [](const FolderHandle::Entry &a, const FolderHandle::Entry &b) {
                  return a.name.compare(b.name, Qt::CaseInsensitive) < 0;
              });
    bool empty = true;
    for (const FolderHandle::Entry &entry : entries) {
        if (stopping())
            return false;
        const Walked walked = walkEntry(folder, entry.name, entry.kind, entry.hidden, deleting);
        if (walked != Walked::Removed)
            empty = false;
        if (walked == Walked::Failed)
            deleting = false;
    }
    return empty;
}

// One entry, of the kind it had when listed. An entry that changed since (a
// folder swapped for a link, a file for a folder) is looked at once more as
// what it is now; it is never followed.
FolderWalk::Walked FolderWalk::walkEntry(const FolderHandle &folder, const QString &name,
                                         FolderHandle::Kind kind, bool hidden, bool deleting)
{
    using Kind = FolderHandle::Kind;
    const bool keep = hidden && m_policy.keepHidden;
    for (int look = 0; look < 3; ++look) {
        switch (kind) {
        case Kind::Gone:
            return Walked::Removed;
        case Kind::Link:
            if (folder.remove(name))
                return Walked::Removed;
            kind = folder.kindOf(name);
            if (kind == Kind::Link) {
                m_clean = false;
                return Walked::Failed;
            }
            break;
        case Kind::Folder: {
            FolderHandle::Opened how;
            FolderHandle child = folder.child(name, &how);
            bool takenOver = false;
            if (!child.isValid() && how == FolderHandle::Opened::Failed && m_policy.takeOver) {
                // Permissions that shut the installer out: the folder is
                // made the installer's own.
                child = folder.takeOver(name, &how);
                takenOver = child.isValid();
            }
            if (!child.isValid()) {
                if (how == FolderHandle::Opened::NotAFolder
                    || how == FolderHandle::Opened::Missing) {
                    kind = folder.kindOf(name);
                    break;
                }
                m_clean = false;
                return Walked::Failed;
            }
            const std::size_t firstBelow = m_protected.size();
            const bool deleteChild = deleting && !keep;
            if (emptyFolder(child, deleteChild) && deleteChild && folder.removeFolder(name, child))
                return Walked::Removed;
            if (m_policy.protectKept && (takenOver || !stopping())) {
                // Held first, then protected: a folder that cannot be held
                // keeps the permissions it had (unless it was taken over),
                // and one that is protected is given back what it inherits
                // at the end (restoreInherited()).
                FolderHandle held = folder.hold(name, child);
                if (!held.isValid() || !held.protect())
                    m_clean = false;
                if (held.isValid())
                    noteProtected(std::move(held), firstBelow);
                else if (takenOver && child.isValid())
                    noteProtected(std::move(child), firstBelow);
                else if (takenOver)
                    m_clean = false;
            } else if (takenOver) {
                noteProtected(std::move(child), firstBelow);
            }
            if (stopping())
                return Walked::Failed;
            return keep ? Walked::Kept : Walked::Failed;
        }
        case Kind::File:
        case Kind::Other:
            if (keep || (kind == Kind::Other && m_policy.keepHidden))
                return Walked::Kept;
            if (!deleting)
                return Walked::Failed;
            if (folder.remove(name))
                return Walked::Removed;
            {
                const Kind now = folder.kindOf(name);
                if (now == kind)
                    return Walked::Failed;
                kind = now;
            }
            break;
        }
    }
    m_clean = false;
    return Walked::Failed;
}
