#include "OldInstallRemoval.h"

#include "CInstallPaths.h"
#include "FolderWalk.h"

using Platform::FolderHandle;

OldInstallRemoval::OldInstallRemoval(std::function<bool()> stopNow)
    : m_stopNow(std::move(stopNow))
{ }

FolderHandle OldInstallRemoval::secureDataFolder(const FolderHandle &appData) const
{
    const QString name = CInstallPaths::folderName();
    for (int attempt = 0; attempt < 3 && !m_stopNow(); ++attempt) {
        FolderHandle::Opened how;
        FolderHandle folder = appData.child(name, &how);
        if (how == FolderHandle::Opened::Missing) {
            folder = appData.createProtected(name);
            if (folder.isValid())
                return folder;
            continue; // something took the name meanwhile: look again
        }
        if (how == FolderHandle::Opened::NotAFolder) {
            appData.remove(name);
            continue;
        }
        if (!folder.isValid())
            return FolderHandle();
        if (folder.trustedOwner())
            return folder.protect() ? appData.hold(name, std::move(folder)) : FolderHandle();
        // Not ours: nothing in it is kept.
        FolderWalk foreign({/*keepHidden*/ false, /*protectKept*/ false}, m_stopNow);
        if (!foreign.empty(folder) || !appData.removeFolder(name, folder))
            return FolderHandle();
    }
    return FolderHandle();
}

OldInstallRemoval::Result OldInstallRemoval::remove(const QString &programFolder,
                                                    const FolderHandle &data) const
{
    Result result;
    FolderWalk program({/*keepHidden*/ true, /*protectKept*/ false}, m_stopNow);
    program.deleteFolder(programFolder);
    result.programFreeOfLinks = program.isClean();
    if (m_stopNow())
        return result;

    FolderWalk dataWalk({/*keepHidden*/ true, /*protectKept*/ true}, m_stopNow);
    dataWalk.empty(data);
    result.dataFreeOfLinks = dataWalk.isClean();
    return result;
}
