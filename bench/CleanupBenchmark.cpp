// Removal and undo of 30,000 real files through the results screen's own
// clean-up: 50,000 small files in 20,000 groups under a temporary folder,
// the trash a temporary one too (XDG_DATA_HOME). A probe timer on the GUI
// thread measures how long the thread was kept from its events, in all and at
// a stretch; the clean-up's posted updates are counted as they arrive. Then,
// when asked, a few large files with a kept copy each, removed with their
// pages dropped from the cache and again with them read just before, beside
// plain reading of the same bytes. The small files' removal and undo run three
// times, each beside the desktop's own trash command (when it is installed)
// moving copies of the same files to the same trash, a few thousand a call;
// the medians are printed with their ratio to it.
//   vellicor_bench_cleanup [groups] [large files] [MiB each] [marked] [rounds]
// "marked" caps the files marked (spread evenly over the groups), so that a
// million files can be loaded with only a part of them removed; "rounds" is
// how many times the removal and undo run (three by default).
// The temporary folder is $VELLICOR_BENCH_DIR when it is set.
#include "PeakMemory.h"
#include "ResultsBenchScreen.h"
#include "cleanup/CleanupController.h"
#include "controls/IMGButton.h"
#include "core/Localization.h"
#include "core/SettingsSchema.h"
#include "platform/Trash.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <unistd.h>
#include <vector>

namespace {

// Turns of the GUI thread's event loop, every 5 ms while it is free: the
// longest gap between two, and the time the thread was held beyond the
// probe's own interval.
class Probe : public QObject {
public:
    static constexpr int intervalMs = 5;

    Probe()
    {
        timer_.setInterval(intervalMs);
        timer_.setTimerType(Qt::PreciseTimer);
        connect(&timer_, &QTimer::timeout, this, [this] {
            const qint64 now = clock_.nsecsElapsed();
            const qint64 gap = now - lastNs_;
            longestNs = std::max(longestNs, gap);
            busyNs += std::max<qint64>(gap - intervalMs * 1'000'000, 0);
            if (gap > 50'000'000)
                stalledNs += gap;
            lastNs_ = now;
        });
    }
    void start()
    {
        longestNs = busyNs = stalledNs = 0;
        clock_.start();
        lastNs_ = 0;
        timer_.start();
    }
    void stop() { timer_.stop(); }

    qint64 longestNs = 0;
    // Time beyond the interval between turns: what other work held.
    qint64 busyNs = 0;
    // Time spent in stretches longer than 50 ms.
    qint64 stalledNs = 0;

private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 lastNs_ = 0;
};

// Counts the calls the clean-up's workers post to it.
class PostCounter : public QObject {
public:
    int posted = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::MetaCall)
            ++posted;
        return false;
    }
};

FileInfoNodePtr recordOf(const QString& path, bool marked)
{
    const FileFacts facts = factsOf(path).value_or(FileFacts {});
    auto file = std::make_shared<FileInfoNode>();
    file->filePath = path;
    file->folderPath = QFileInfo(path).path();
    file->fileName = QFileInfo(path).fileName();
    file->fileExtension = QStringLiteral("dat");
    file->fileSize = facts.size;
    file->deviceId = facts.device;
    file->inode = facts.inode;
    file->modTime = facts.modTime;
    file->changeTime = facts.changeTime;
    file->fileCategory = GlobalObjects::FileCategory::Others;
    file->state = marked;
    return file;
}

FileInfoNodePtr makeFile(const QString& path, const QByteArray& bytes, bool marked)
{
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size())
        std::abort();
    out.close();
    return recordOf(path, marked);
}

// A file of mib MiB whose every MiB differs from the others and from those
// of other seeds.
FileInfoNodePtr makeLargeFile(const QString& path, int mib, int seed, bool marked)
{
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        std::abort();
    QByteArray block(1 << 20, '\0');
    for (int m = 0; m < mib; ++m) {
        quint64 state = (quint64(seed) << 32) ^ quint64(m) ^ 0x9e3779b97f4a7c15ull;
        auto* words = reinterpret_cast<quint64*>(block.data());
        for (qsizetype w = 0; w < block.size() / 8; ++w) {
            state = state * 6364136223846793005ull + 1442695040888963407ull;
            words[w] = state;
        }
        if (out.write(block) != block.size())
            std::abort();
    }
    out.close();
    return recordOf(path, marked);
}

// Writes the files' pages out and drops them from the page cache, so that
// the next read comes from the disk.
void dropFromCache(const QStringList& paths)
{
    for (const QString& path : paths) {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        ::fdatasync(fd);
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        ::close(fd);
    }
}

// Plain reading of the files, 8 MiB at a time: the floor for anything that
// reads them whole.
void printPlainRead(const char* step, const QStringList& paths)
{
    std::vector<char> buffer(8 << 20);
    QElapsedTimer clock;
    clock.start();
    quint64 bytes = 0;
    for (const QString& path : paths) {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            std::abort();
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
        for (ssize_t got; (got = ::read(fd, buffer.data(), buffer.size())) > 0;)
            bytes += quint64(got);
        ::close(fd);
    }
    const double seconds = clock.nsecsElapsed() / 1e9;
    std::printf("%s: %lld files, %.1f MiB in %.2f s (%.0f MiB/s)\n", step, static_cast<long long>(paths.size()),
        bytes / 1048576.0, seconds, bytes / 1048576.0 / seconds);
}

IMGButton* visibleButton(QWidget& screen, const char* key)
{
    for (IMGButton* button : screen.findChildren<IMGButton*>()) {
        if (button->isVisible() && button->text() == localizedText(key))
            return button;
    }
    return nullptr;
}

// One step's figures, from its construction to print().
class Measure {
public:
    Measure(Probe& probe, PostCounter& posts, MemoryPeaks& memory)
        : probe_(&probe)
        , posts_(&posts)
        , memory_(&memory)
    {
        memory.beginStep();
        posts.posted = 0;
        probe.start();
        clock_.start();
    }
    // The step's wall time.
    double print(const char* step, qint64 done, qint64 planned)
    {
        QApplication::processEvents();
        const double seconds = clock_.nsecsElapsed() / 1e9;
        probe_->stop();
        const qint64 peak = memory_->endStep();
        std::printf("%s: %lld of %lld files in %.2f s; GUI thread: busy %.2f s (%.0f %%), longest stall %.1f ms, "
                    "%.2f s in stalls over 50 ms; %d posted updates; peak memory %.1f MB (%.0f B a file beyond "
                    "start-up)\n",
            step, static_cast<long long>(done), static_cast<long long>(planned), seconds, probe_->busyNs / 1e9,
            100 * probe_->busyNs / 1e9 / seconds, probe_->longestNs / 1e6, probe_->stalledNs / 1e9, posts_->posted,
            double(peak) / 1e6, memory_->bytesPerFile(peak));
        return seconds;
    }

private:
    Probe* probe_;
    PostCounter* posts_;
    MemoryPeaks* memory_;
    QElapsedTimer clock_;
};

// Runs the event loop until done() holds, ten minutes at most.
template <typename Done> bool waitFor(Done done)
{
    QElapsedTimer limit;
    limit.start();
    while (!done() && limit.elapsed() < 600'000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return done();
}

// The wall times of one removal and its undo.
struct Times {
    double removal = 0;
    double undo = 0;
};

// Removes the marked files of the loaded results through the clean-up, then
// undoes it through the undo's Yes button, printing each; false when either
// does not end.
bool removeAndUndo(ResultViewController& screen, Probe& probe, PostCounter& posts, MemoryPeaks& memory, const char* removal,
    const char* undo, Times* times = nullptr)
{
    CleanupController& cleanup = screen.cleanup();
    bool removed = false;
    const auto finished
        = QObject::connect(&cleanup, &CleanupController::removalFinished, [&removed] { removed = true; });
    Measure measure(probe, posts, memory);
    cleanup.removeSelectedItems();
    const bool ended = waitFor([&removed] { return removed; });
    QObject::disconnect(finished);
    if (!ended)
        return false;
    const double removalSeconds
        = measure.print(removal, cleanup.lastReport().countTrashed, cleanup.lastReport().plannedCount);
    if (IMGButton* ok = visibleButton(screen, "ID_OK"))
        ok->click();

    cleanup.btnUndoTapped();
    IMGButton* yes = visibleButton(screen, "ID_YES");
    if (!yes)
        return false;
    measure = Measure(probe, posts, memory);
    yes->click();
    if (!waitFor([&cleanup] { return !cleanup.isUndoing(); }))
        return false;
    const double undoSeconds = measure.print(undo, cleanup.lastUndoReport().restored, cleanup.lastUndoReport().planned);
    if (IMGButton* ok = visibleButton(screen, "ID_OK"))
        ok->click();
    if (times)
        *times = { removalSeconds, undoSeconds };
    return true;
}

// Files the desktop's trash command moves: written afresh before each of its
// runs, with the same names and bytes as the marked files.
struct PeerFiles {
    QStringList paths;
    std::vector<QByteArray> bytes;

    void write() const
    {
        for (qsizetype i = 0; i < paths.size(); ++i) {
            QDir().mkpath(QFileInfo(paths[i]).path());
            QFile out(paths[i]);
            if (!out.open(QIODevice::WriteOnly) || out.write(bytes[i]) != bytes[i].size())
                std::abort();
        }
    }
};

// The desktop's trash command on the files, a few thousand a call: its wall
// time, or none when it is not installed or fails.
std::optional<double> peerTrash(const QStringList& paths)
{
    const QString gio = QStandardPaths::findExecutable(QStringLiteral("gio"));
    if (gio.isEmpty())
        return std::nullopt;
    constexpr qsizetype perCall = 3000;
    QElapsedTimer clock;
    clock.start();
    for (qsizetype first = 0; first < paths.size(); first += perCall) {
        QProcess process;
        process.start(gio, QStringList { QStringLiteral("trash") } + paths.mid(first, perCall));
        if (!process.waitForFinished(600'000) || process.exitStatus() != QProcess::NormalExit
            || process.exitCode() != 0) {
            std::printf("gio trash failed: %s\n", process.readAllStandardError().constData());
            return std::nullopt;
        }
    }
    return clock.nsecsElapsed() / 1e9;
}

// Empties the throwaway trash of what the peer put there.
void emptyTrash(const QString& trash)
{
    for (const char* part : { "/files", "/info" }) {
        QDir(trash + QLatin1String(part)).removeRecursively();
        QDir().mkpath(trash + QLatin1String(part));
    }
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const int groupCount = argc > 1 ? std::atoi(argv[1]) : 20'000;
    const int largeCount = argc > 2 ? std::atoi(argv[2]) : 0;
    const int largeMib = argc > 3 ? std::atoi(argv[3]) : 1024;
    const long long markedCap = argc > 4 ? std::atoll(argv[4]) : -1;
    const int rounds = argc > 5 ? std::max(std::atoi(argv[5]), 1) : 3;
    const QString benchDir = qEnvironmentVariableIsEmpty("VELLICOR_BENCH_DIR")
        ? QDir::tempPath()
        : QString::fromLocal8Bit(qgetenv("VELLICOR_BENCH_DIR"));
    QTemporaryDir root(benchDir + QStringLiteral("/vellicor-bench-cleanup-XXXXXX"));
    qputenv("XDG_DATA_HOME", QFile::encodeName(root.path() + QStringLiteral("/data")));
    QApplication app(argc, argv);
    ResultsBenchScreen bench;
    ResultViewController& screen = bench.screen;
    bench.defaults.setValue(QString::fromLatin1(SettingsKey::doNotShowConfirmationDialogOnTrash), true);
    PostCounter posts;
    screen.cleanup().installEventFilter(&posts);
    Probe probe;
    // Against the memory before any file is made.
    MemoryPeaks memory;

    if (groupCount > 0) {
        // Half the groups hold three copies (two marked), half two (one
        // marked), unless the marks are capped: then as many of those as the
        // cap allows, spread evenly. Each marked file and the kept copy it is
        // compared with are the bytes a removal may read.
        const long long candidates = (groupCount + 1) / 2 * 2 + groupCount / 2;
        const long long cap = markedCap >= 0 ? std::min(markedCap, candidates) : candidates;
        long long candidate = 0;
        QElapsedTimer timer;
        timer.start();
        std::vector<DuplicateGroupPtr> groups;
        QStringList compared;
        PeerFiles peer;
        qint64 marked = 0;
        for (int g = 0; g < groupCount; ++g) {
            const QString folder = root.path() + QStringLiteral("/files/%1").arg(g / 1000);
            QDir().mkpath(folder);
            auto group = std::make_shared<DuplicateGroup>();
            const int copies = g % 2 ? 2 : 3;
            const QByteArray bytes = QByteArray::number(g).repeated(20);
            for (int copy = 0; copy < copies; ++copy) {
                const QString path = folder + QStringLiteral("/f%1-%2.dat").arg(g).arg(copy);
                const bool mark = copy > 0 && (candidate * cap) / candidates != ((candidate + 1) * cap) / candidates;
                candidate += copy > 0;
                addFileToGroup(group, makeFile(path, bytes, mark));
                ++memory.fileCount;
                marked += mark;
                if (mark) {
                    compared << folder + QStringLiteral("/f%1-0.dat").arg(g) << path;
                    peer.paths << root.path() + QStringLiteral("/peer/%1/f%2-%3.dat").arg(g / 1000).arg(g).arg(copy);
                    peer.bytes.push_back(bytes);
                }
            }
            groups.push_back(group);
        }
        std::printf("made %d groups, %lld marked files in %.1f s\n", groupCount, static_cast<long long>(marked),
            timer.nsecsElapsed() / 1e9);
        printPlainRead("plain read of each marked file and its kept copy", compared);
        loadAndWait(screen, groups, marked);
        QApplication::processEvents();
        // Each timed step starts with nothing of the others left to write.
        std::vector<double> removals, undos, peers;
        for (int round = 0; round < rounds; ++round) {
            ::sync();
            Times times;
            if (!removeAndUndo(screen, probe, posts, memory, "removal", "undo", &times))
                return 1;
            removals.push_back(times.removal);
            undos.push_back(times.undo);
            peer.write();
            ::sync();
            if (const auto seconds = peerTrash(peer.paths)) {
                std::printf("gio trash: %lld files in %.2f s\n", static_cast<long long>(peer.paths.size()), *seconds);
                peers.push_back(*seconds);
            }
            emptyTrash(root.path() + QStringLiteral("/data/Trash"));
        }
        const double removal = median(removals);
        const double undo = median(undos);
        std::printf("medians of %zu: removal %.2f s, undo %.2f s", removals.size(), removal, undo);
        if (peers.size() == removals.size())
            std::printf(", gio trash %.2f s; removal %.2fx gio, undo %.2fx removal\n", median(peers),
                removal / median(peers), undo / removal);
        else
            std::printf(" (gio is not installed); undo %.2fx removal\n", undo / removal);
    }

    if (largeCount > 0) {
        QElapsedTimer timer;
        timer.start();
        std::vector<DuplicateGroupPtr> groups;
        QStringList paths;
        const QString folder = root.path() + QStringLiteral("/large");
        QDir().mkpath(folder);
        for (int g = 0; g < largeCount; ++g) {
            auto group = std::make_shared<DuplicateGroup>();
            for (int copy = 0; copy < 2; ++copy) {
                const QString path = folder + QStringLiteral("/large%1-%2.dat").arg(g).arg(copy);
                addFileToGroup(group, makeLargeFile(path, largeMib, g, copy > 0));
                paths << path;
            }
            groups.push_back(group);
        }
        dropFromCache(paths);
        std::printf("made %d large files of %d MiB, each with a kept copy, in %.1f s\n", largeCount, largeMib,
            timer.nsecsElapsed() / 1e9);
        printPlainRead("plain read of the large files, from the disk", paths);
        printPlainRead("plain read of the large files, from the cache", paths);
        loadAndWait(screen, groups, largeCount);
        QApplication::processEvents();
        if (!removeAndUndo(screen, probe, posts, memory, "large removal, from the cache", "large undo"))
            return 1;
        dropFromCache(paths);
        if (!removeAndUndo(screen, probe, posts, memory, "large removal, from the disk", "large undo"))
            return 1;
    }
    return 0;
}
