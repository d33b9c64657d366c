#pragma once

// The installer's exit codes, the same on the window path and the
// unattended path (README, "Exit codes"). Deployment tools know the four
// codes they share with Windows Installer; the refusals have their own.
namespace ExitCode {
enum : int {
    Completed = 0, // the installation completed
    PayloadMissing = 10, // a file of the payload is missing beside the installer
    PayloadDamaged = 11, // a file of the payload is not the one the installer was sealed for
    ArchiveUnusable = 12, // an archive does not open with the password
    FolderUnknown = 13, // an all-users folder could not be found
    DataFolderUnsafe = 14, // the data folder could not be made the installer's own
    DiskFull = 15, // not enough free space for the new files
    ProductRunning = 16, // the product is running
    FilesInUse = 17, // a file of the old installation is in use
    UserStopped = 1602, // the user stopped, or left without installing
    Failed = 1603, // the installation failed (an extraction, the completion)
    AnotherInstallation = 1618, // another installer is running
    BadCommandLine = 1639 // a switch the installer does not know
};
}
