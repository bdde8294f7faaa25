// Removal and undo of 30,000 real files through the results screen's own
// clean-up: 50,000 small files in 20,000 groups under a temporary folder,
// the trash a temporary one too (XDG_DATA_HOME). A probe timer on the GUI
// thread measures how long the thread was kept from its events, in all and at
// a stretch; the clean-up's posted updates are counted as they arrive.
//   vellicor_bench_cleanup [groups]
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
#include <QTimer>

#include <cstdio>
#include <cstdlib>

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

FileInfoNodePtr makeFile(const QString& path, const QByteArray& bytes, bool marked)
{
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size())
        std::abort();
    out.close();
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
    Measure(Probe& probe, PostCounter& posts)
        : probe_(&probe)
        , posts_(&posts)
    {
        posts.posted = 0;
        probe.start();
        clock_.start();
    }
    void print(const char* step, qint64 done, qint64 planned)
    {
        QApplication::processEvents();
        const double seconds = clock_.nsecsElapsed() / 1e9;
        probe_->stop();
        std::printf("%s: %lld of %lld files in %.2f s; GUI thread: busy %.2f s (%.0f %%), longest stall %.1f ms, "
                    "%.2f s in stalls over 50 ms; %d posted updates\n",
            step, static_cast<long long>(done), static_cast<long long>(planned), seconds, probe_->busyNs / 1e9,
            100 * probe_->busyNs / 1e9 / seconds, probe_->longestNs / 1e6, probe_->stalledNs / 1e9, posts_->posted);
    }

private:
    Probe* probe_;
    PostCounter* posts_;
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

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const int groupCount = argc > 1 ? std::atoi(argv[1]) : 20'000;
    QTemporaryDir root(QDir::tempPath() + QStringLiteral("/vellicor-bench-cleanup-XXXXXX"));
    qputenv("XDG_DATA_HOME", QFile::encodeName(root.path() + QStringLiteral("/data")));
    QApplication app(argc, argv);
    ResultsBenchScreen bench;
    ResultViewController& screen = bench.screen;
    bench.defaults.setValue(QString::fromLatin1(SettingsKey::doNotShowConfirmationDialogOnTrash), true);

    // Half the groups hold three copies (two marked), half two (one marked).
    QElapsedTimer timer;
    timer.start();
    std::vector<DuplicateGroupPtr> groups;
    qint64 marked = 0;
    for (int g = 0; g < groupCount; ++g) {
        const QString folder = root.path() + QStringLiteral("/files/%1").arg(g / 1000);
        QDir().mkpath(folder);
        auto group = std::make_shared<DuplicateGroup>();
        const int copies = g % 2 ? 2 : 3;
        const QByteArray bytes = QByteArray::number(g).repeated(20);
        for (int copy = 0; copy < copies; ++copy) {
            addFileToGroup(group, makeFile(folder + QStringLiteral("/f%1-%2.dat").arg(g).arg(copy), bytes, copy > 0));
            marked += copy > 0;
        }
        groups.push_back(group);
    }
    std::printf("made %d groups, %lld marked files in %.1f s\n", groupCount, static_cast<long long>(marked),
        timer.nsecsElapsed() / 1e9);
    screen.loadScanResults(groups, marked, ScanSource::thisComputer);
    QApplication::processEvents();

    CleanupController& cleanup = screen.cleanup();
    PostCounter posts;
    cleanup.installEventFilter(&posts);
    Probe probe;

    bool removed = false;
    QObject::connect(&cleanup, &CleanupController::removalFinished, [&removed] { removed = true; });
    Measure measure(probe, posts);
    cleanup.removeSelectedItems();
    if (!waitFor([&removed] { return removed; }))
        return 1;
    measure.print("removal", cleanup.lastReport().countTrashed, cleanup.lastReport().plannedCount);
    if (IMGButton* ok = visibleButton(screen, "ID_OK"))
        ok->click();

    cleanup.btnUndoTapped();
    IMGButton* yes = visibleButton(screen, "ID_YES");
    if (!yes)
        return 1;
    measure = Measure(probe, posts);
    yes->click();
    if (!waitFor([&cleanup] { return !cleanup.isUndoing(); }))
        return 1;
    measure.print("undo", cleanup.lastUndoReport().restored, cleanup.lastUndoReport().planned);
    return 0;
}
