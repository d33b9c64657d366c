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
        if (folder.isValid() && folder.trustedOwner()) {
            // Held before it is protected, so that nothing is changed on a
            // folder that cannot be held (a refused change changes nothing).
            FolderHandle held = appData.hold(name, folder);
            if (held.isValid() && held.protect())
                return held;
            // Its permissions keep the installer from holding or protecting
            // it: taken over as below.
        }
        // Not ours, or its permissions shut the installer out: nothing in it
        // is kept. It is taken over before it is emptied, so that no one
        // else can add entries meanwhile, then removed with its handles
        // (someone may still hold one opened before) and made afresh.
        folder = FolderHandle();
        FolderHandle taken = appData.takeOver(name, &how);
        if (!taken.isValid()) {
            if (how == FolderHandle::Opened::Missing || how == FolderHandle::Opened::NotAFolder)
                continue;
            return FolderHandle();
        }
        FolderWalk foreign({/*keepHidden*/ false, /*protectKept*/ false, /*takeOver*/ true},
                           m_stopNow);
        if (!foreign.empty(taken) || !appData.removeFolder(name, taken)) {
            taken.restoreInherited(appData);
            foreign.restoreInherited(taken);
            return FolderHandle();
        }
    }
    return FolderHandle();
}

OldInstallRemoval::Result OldInstallRemoval::remove(const QString &programFolder,
                                                    const FolderHandle &data,
                                                    FolderWalk &dataWalk) const
{
    Result result;
    FolderWalk program({/*keepHidden*/ true, /*protectKept*/ false}, m_stopNow);
    program.deleteFolder(programFolder);
    result.programFreeOfLinks = program.isClean();
    if (m_stopNow())
        return result;

    dataWalk.empty(data);
    result.dataFreeOfLinks = dataWalk.isClean();
    return result;
}
