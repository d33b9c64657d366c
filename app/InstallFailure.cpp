#include "InstallFailure.h"

#include "ExitCode.h"
#include "Platform.h"

#include <QCoreApplication>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("CMVInstallWnd", text);
}

QString first(const QStringList &list)
{
    return list.value(0);
}

} // namespace

InstallFailure InstallFailure::of(const CXCopyThread::Outcome &outcome, const QString &productName)
{
    using Refusal = CXCopyThread::Refusal;
    InstallFailure failure;
    const QStringList &what = outcome.refusedFor;
    // The refusals that name what they were refused for, and end there.
    static const struct
    {
        Refusal refusal;
        const char *text;
        bool allNamed; // every name refused for, or the first one
        int exitCode;
    } naming[] = {
            {Refusal::PayloadMissing,
             QT_TRANSLATE_NOOP("CMVInstallWnd",
                               "The installation files are incomplete: %1 is missing. "
                               "Please download the installer again."),
             true, ExitCode::PayloadMissing},
            {Refusal::PayloadDamaged,
             QT_TRANSLATE_NOOP("CMVInstallWnd",
                               "The installation file %1 is damaged or has been replaced. "
                               "Please download the installer again."),
             true, ExitCode::PayloadDamaged},
            {Refusal::ArchiveUnusable,
             QT_TRANSLATE_NOOP("CMVInstallWnd",
                               "The installation file %1 is damaged and cannot be opened. "
                               "Please download the installer again."),
             false, ExitCode::ArchiveUnusable},
            {Refusal::FolderUnknown,
             QT_TRANSLATE_NOOP("CMVInstallWnd",
                               "The system folder %1 cannot be found. "
                               "The installation cannot continue."),
             true, ExitCode::FolderUnknown},
            {Refusal::DataFolderUnsafe,
             QT_TRANSLATE_NOOP("CMVInstallWnd",
                               "The data folder %1 cannot be prepared safely. "
                               "The installation cannot continue."),
             false, ExitCode::DataFolderUnsafe},
    };
    for (const auto &refusal : naming) {
        if (refusal.refusal == outcome.refusal) {
            failure.message = tr(refusal.text)
                                      .arg(refusal.allNamed ? what.join(QStringLiteral(", "))
                                                            : first(what));
            failure.exitCode = refusal.exitCode;
            return failure;
        }
    }
    switch (outcome.refusal) {
    case Refusal::None:
    case Refusal::PayloadMissing:
    case Refusal::PayloadDamaged:
    case Refusal::ArchiveUnusable:
    case Refusal::FolderUnknown:
    case Refusal::DataFolderUnsafe:
        break;
    case Refusal::DiskFull: // {drive or mount point, MB needed, MB free}
        failure.message = tr("Not enough space on drive %1: the installation needs %2 MB, "
                             "%3 MB are free. Free some space, then try again.")
                                  .arg(what.value(0), what.value(1), what.value(2));
        failure.exitCode = ExitCode::DiskFull;
        failure.retryable = true;
        return failure;
    case Refusal::ProductRunning: // the running programs' paths
        failure.message = tr("Please close %1 first, then try again.").arg(productName);
        failure.exitCode = ExitCode::ProductRunning;
        failure.retryable = true;
        return failure;
    case Refusal::FilesInUse: // {folder, the first file found open in it (if any)}
    case Refusal::FolderNotMovable: { // {folder}
        const QString file = what.value(1, first(what));
        const QStringList programs = Platform::programsUsing(file);
        failure.message = programs.isEmpty()
                ? tr("The file %1 is in use. Please close the program that uses it, "
                     "then try again.")
                          .arg(file)
                : tr("The file %1 is in use by %2. Please close it, then try again.")
                          .arg(file, programs.join(QStringLiteral(", ")));
        failure.exitCode = ExitCode::FilesInUse;
        failure.retryable = outcome.refusal == Refusal::FilesInUse;
        return failure;
    }
    }

    if (outcome.stopped) {
        failure.exitCode = ExitCode::UserStopped;
        return failure;
    }
    for (const CXCopyThread::ExtractResult &result : outcome.results) {
        if (result.succeeded())
            continue;
        failure.exitCode = ExitCode::Failed;
        failure.message = result.outcome == CXCopyThread::ExtractResult::Exited
                ? tr("Unpacking %1 failed (7-Zip exit code %2). "
                     "Please download the installer again.")
                          .arg(result.archive)
                          .arg(result.exitCode)
                : tr("Unpacking %1 did not complete. Please try again.").arg(result.archive);
        return failure;
    }
    return failure;
}
