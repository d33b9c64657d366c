#include "ShellOpen.h"

#include "Platform.h"
#ifdef MIREVALE_TEST_SEAMS
#include "TestSeams.h"
#endif

namespace {

// The platform layer converts the whole path, however long, so a long path
// never reaches the shell cut short.
void open(const QString &path, Platform::ShellOpenAs as)
{
#ifdef MIREVALE_TEST_SEAMS
    if (const auto &seam = TestSeams::current().shellOpen) {
        seam(path, as);
        return;
    }
#endif
    if (as == Platform::ShellOpenAs::SignedInUser)
        Platform::shellOpenAsUser(path);
    else
        Platform::shellOpen(path);
}

} // namespace

void ShellOpen(const QString &path)
{
    open(path, Platform::ShellOpenAs::Installer);
}

void ShellOpenAsUser(const QString &path)
{
    open(path, Platform::ShellOpenAs::SignedInUser);
}
