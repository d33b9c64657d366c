#include "ShellOpen.h"

#include "Platform.h"
#ifdef MIREVALE_TEST_SEAMS
#include "TestSeams.h"
#endif

namespace {

// The platform layer converts the whole path, however long, so a long path
// never reaches the shell cut short.
bool open(const QString &path, Platform::ShellOpenAs as)
{
#ifdef MIREVALE_TEST_SEAMS
    if (const auto &seam = TestSeams::current().shellOpen) {
        seam(path, as);
        return true;
    }
#endif
    if (as == Platform::ShellOpenAs::SignedInUser)
        return Platform::shellOpenAsUser(path);
    return Platform::shellOpen(path);
}

} // namespace

bool ShellOpen(const QString &path)
{
    return open(path, Platform::ShellOpenAs::Installer);
}

bool ShellOpenAsUser(const QString &path)
{
    return open(path, Platform::ShellOpenAs::SignedInUser);
}
