// The empty-folder cleaner's work over one tree, as its worker does it: the
// folder tree, its text on standard output, the deletion of every empty
// folder the tree holds, and the undo that makes them again. Prints the time
// and the peak resident memory of each step (see README.md).
#include "PeakMemory.h"
#include "emptyfolders/EmptyFolderWork.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <cstdio>
#include <vector>

namespace {

void step(const char* what, QElapsedTimer& timer, MemoryPeaks& peaks, const QString& detail = {})
{
    std::fprintf(stderr, "%-10s %9.3f s  peak %8.1f MB  %s\n", what, double(timer.restart()) / 1000,
        double(peaks.endStep()) / 1e6, detail.toLocal8Bit().constData());
    peaks.beginStep();
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n(make one with bench/make_deep_tree.py --empty-beside)\n", argv[0]);
        return 2;
    }
    // What the cleaner prints goes where it cannot cost a terminal's time.
    std::FILE* text = std::tmpfile();
    MemoryPeaks peaks;
    peaks.beginStep();
    QElapsedTimer timer;
    timer.start();
    std::unique_ptr<Folder> tree = buildFolderTree(QFile::encodeName(QString::fromLocal8Bit(argv[1])));
    std::vector<const Folder*> empty;
    std::vector<const Folder*> pending { tree.get() };
    while (!pending.empty()) {
        const Folder* folder = pending.back();
        pending.pop_back();
        if (folder->empty && folder->subfolders.empty())
            empty.push_back(folder);
        for (const auto& child : folder->subfolders)
            pending.push_back(child.get());
    }
    step("tree", timer, peaks, QStringLiteral("%1 empty folders").arg(empty.size()));
    printFolderTree(*tree, text);
    step("text", timer, peaks, QStringLiteral("%1 bytes").arg(std::ftell(text)));
    std::fclose(text);
    // The cleaner's own lines of each folder deleted and made again.
    std::FILE* lines = std::freopen("/dev/null", "w", stdout);
    const FolderDeletion deletion = deleteEmptyFolders(*tree, empty);
    step("delete", timer, peaks,
        QStringLiteral("%1 removed, %2 kept").arg(deletion.removed.size()).arg(deletion.kept.size()));
    RemovedFolders removed;
    removed.add(*tree, deletion);
    tree.reset();
    const FolderRestoration restoration = restoreDeletedFolders(removed);
    step("undo", timer, peaks,
        QStringLiteral("%1 made again, %2 failed").arg(restoration.restored).arg(restoration.failed));
    std::fprintf(stderr, "overall peak %.1f MB\n", double(peaks.overallBytes) / 1e6);
    return lines && deletion.kept.empty() && restoration.failed == 0 ? 0 : 1;
}
