#include "InstallFailure.h"

#include "ExitCode.h"

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
    switch (outcome.refusal) {
    case Refusal::None:
        break;
    case Refusal::PayloadMissing:
        failure.message = tr("The installation files are incomplete: %1 is missing. "
                             "Please download the installer again.")
                                  .arg(what.join(QStringLiteral(", ")));
        failure.exitCode = ExitCode::PayloadMissing;
        return failure;
    case Refusal::PayloadDamaged:
        failure.message = tr("The installation file %1 is damaged or has been replaced. "
                             "Please download the installer again.")
                                  .arg(what.join(QStringLiteral(", ")));
        failure.exitCode = ExitCode::PayloadDamaged;
        return failure;
    case Refusal::ArchiveUnusable:
        failure.message = tr("The installation file %1 is damaged and cannot be opened. "
                             "Please download the installer again.")
                                  .arg(first(what));
        failure.exitCode = ExitCode::ArchiveUnusable;
        return failure;
    case Refusal::FolderUnknown:
        failure.message = tr("The system folder %1 cannot be found. "
                             "The installation cannot continue.")
                                  .arg(what.join(QStringLiteral(", ")));
        failure.exitCode = ExitCode::FolderUnknown;
        return failure;
    case Refusal::DataFolderUnsafe:
        failure.message = tr("The data folder %1 cannot be prepared safely. "
                             "The installation cannot continue.")
                                  .arg(first(what));
        failure.exitCode = ExitCode::DataFolderUnsafe;
        return failure;
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
    Q_UNUSED(productName)
    return failure;
}
