// bench_remove <folder>: deletes the folder with the worker's own
// DeleteDirectory and reports how long it took.

#include "BenchClock.h"
#include "CXCopyThread.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {

// DeleteDirectory is a private member of the worker. An explicit template
// instantiation may name it (access is not checked there), which hands its
// address out without changing the worker's interface for a benchmark.
using DeleteFn = bool (CXCopyThread::*)(const QString &);
struct DeleteDirectoryTag
{
};
DeleteFn memberOf(DeleteDirectoryTag);

template<DeleteFn Member>
struct Expose
{
    friend DeleteFn memberOf(DeleteDirectoryTag) { return Member; }
};
template struct Expose<&CXCopyThread::DeleteDirectory>;

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        BenchClock::report("error=usage:bench_remove-folder");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    CXCopyThread worker(nullptr);
    const qint64 start = BenchClock::nowNs();
    const bool ok = (worker.*memberOf(DeleteDirectoryTag {}))(folder);
    const qint64 end = BenchClock::nowNs();
    if (!ok || QFileInfo::exists(folder)) {
        BenchClock::report("error=not-deleted");
        return 1;
    }
    BenchClock::report("remove_ms=" + QByteArray::number((end - start) / 1e6, 'f', 3));
    return 0;
}
