// bench_remove <folder>: deletes the folder with the walk that removes the
// old installation and reports how long it took.

#include "BenchClock.h"
#include "FolderWalk.h"

#include <QCoreApplication>
#include <QFileInfo>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        BenchClock::report("error=usage:bench_remove-folder");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    // As the program folder is deleted: hidden entries stay.
    FolderWalk walk(FolderWalk::Policy {});
    const qint64 start = BenchClock::nowNs();
    const bool ok = walk.deleteFolder(folder);
    const qint64 end = BenchClock::nowNs();
    if (!ok || QFileInfo::exists(folder)) {
        BenchClock::report("error=not-deleted");
        return 1;
    }
    BenchClock::report("remove_ms=" + QByteArray::number((end - start) / 1e6, 'f', 3));
    return 0;
}
