#pragma once

// The system drive a test installs on. On Linux, a fresh emulated system root
// for every test ($MIREVALE_SYSTEM_ROOT, in a temporary folder). On Windows,
// the real system drive (in the Windows stage of scripts/test, the drive C: of
// a throwaway Wine prefix), cleared before and after the test of everything
// an installation makes, with the shell folders put back to the standard
// ones. Create one in init(), destroy it in cleanup().

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class TestSystem
{
public:
    TestSystem();
    ~TestSystem();
    TestSystem(const TestSystem &) = delete;
    TestSystem &operator=(const TestSystem &) = delete;

    bool isValid() const;
    // The system root as the platform layer gives it: "/" separators and a
    // trailing "/" ("C:/" on Windows).
    QString root() const;
    // A fresh folder of the test's own, outside any installation's folders.
    QString scratch() const;

    // The values of a registry key, one line each as a registry export writes
    // them ("Name"="text", "Name"=dword:00000001), sorted by name; read from
    // outside the program: the emulated hive file on Linux, an export by the
    // system's reg.exe on Windows.
    static QStringList registryValues(const QString &keyPath);

    // True under Wine. Wine keeps no security descriptor of a file: a new
    // handle reads one made from the Linux mode, owned by the signed-in user
    // rather than Administrators. Checks of owners and permissions, and of
    // what the installer keeps in a folder it trusts by its owner, cannot be
    // made there.
    static bool underWine();

private:
    void clearInstallation();

    QTemporaryDir m_root;
    QTemporaryDir m_scratch;
};
