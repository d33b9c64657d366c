#pragma once

// A temporary machine for one driven installation: a system root with a
// machine hive and the files of other programs, an installer folder with the
// payload, and the checks that must hold after any run, however it ended.

#include "InstallDriver.h"

#include <QMap>
#include <QString>
#include <QTemporaryDir>

class InstallScene
{
public:
    // rootName and setupName are the folders, inside a fresh temporary
    // folder, that play the system drive and the installer's own folder.
    explicit InstallScene(const QString &rootName = QStringLiteral("root"),
                          const QString &setupName = QStringLiteral("setup"));

    QString base() const { return m_base.path(); }
    QString root() const { return m_root; }
    QString setup() const { return m_setup; }
    QString programDir() const { return m_root + QStringLiteral("/Program Files/Mirevale"); }
    QString dataDir() const { return m_root + QStringLiteral("/ProgramData/Mirevale"); }

    // The machine hive (with values of other programs, a raw one included,
    // and bulkKeys more keys of one value each, as a real machine has) and
    // files of other programs around the installer's places.
    bool prepareSystem(int bulkKeys = 0);
    // An old installation: files spread over folders in both places.
    bool writeOldInstallation(int programFiles, int dataFiles);
    // 7z.exe and the two archives into the installer folder, sealed for the
    // installations run() drives.
    bool installPayload(const QString &programArchive, const QString &dataArchive);
    // Hands everything to nobody:nogroup, for an unprivileged run.
    bool giveToNobody();

    // Records the root as it is: what must not change.
    void snapshot();
    // Runs the driver on this scene.
    InstallDriver::Report run(InstallDriver::Params params) const;
    // Everything wrong after a run, one line each; empty when all holds: no
    // crash or hang, exit code 0, no extractor left, nothing outside the
    // installer's places changed, the shell asked to open one thing, and
    // "Finished" after a success that nobody stopped.
    // `leftOver`, when given, is a place below the system root (such as
    // "Program Files/Mirevale.discarded") whose new entries are no problem.
    QStringList problems(const InstallDriver::Report &report,
                         const QString &leftOver = QString()) const;
    static int expectedExitCode(const InstallDriver::Report &report);

private:
    QTemporaryDir m_base;
    QString m_root;
    QString m_setup;
    QByteArray m_sealTable;
    QMap<QString, QString> m_listing;
    QMap<QString, QString> m_registry;
};
