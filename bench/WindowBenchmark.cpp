// The results screen in a real window, as main() builds the program, over a
// million scanned files of which 500,000 are in 200,000 groups: each step is
// started by a click or a key on the real widgets (the column headers, the
// toolbar, the mark menu's items, the outline's arrows), and the driver goes
// back to the event loop until the step's work is done, painted, and the
// loop idle again.
//
// The GUI thread is sampled from outside the process every millisecond by
// vellicor_gui_sampler (next to this program): busy whenever it is not
// waiting in its event loop's poll, so painting, the display server's
// replies and waits on locks all count. Per step it prints that longest busy
// stretch and the busy total, beside the longest stretch in which the thread
// did not serve an in-process 1 ms probe timer (the figure of the offscreen
// benchmarks), the wall time, and the step's peak resident memory (VmHWM set
// back at the step's start) beyond start-up per scanned file.
//   xvfb-run -a -s '-screen 0 1920x1200x24' vellicor_bench_window [--files N] [--groups N]
#include "PeakMemory.h"
#include "ProgramBench.h"
#include "ResultsBenchScreen.h"
#include "ServiceProbe.h"
#include "WindowDriver.h"
#include "app/AppComposition.h"
#include "app/AppDelegate.h"
#include "controls/CustomOutlineView.h"
#include "controls/CustomTableView.h"
#include "marking/AutoMarking.h"
#include "marking/SortRunner.h"
#include "results/ResultViewController.h"
#include "results/ResultsModel.h"
#include "scan/ScanScreen.h"

#include <QAction>
#include <QEventLoop>
#include <QFileInfo>
#include <QHeaderView>
#include <QMainWindow>
#include <QSocketNotifier>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <sys/wait.h>
#include <unistd.h>

using namespace windowbench;

namespace {

constexpr int openGroups = 200;

QAction* actionNamed(QWidget& screen, const char* name)
{
    for (QAction* action : screen.findChildren<QAction*>()) {
        if (action->objectName() == QLatin1String(name))
            return action;
    }
    return nullptr;
}

double monotonicSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

void usage()
{
    std::fprintf(stderr, "usage: vellicor_bench_window [--files SCANNED] [--groups GROUPS] [--step-times]\n");
}

} // namespace

int main(int argc, char** argv)
{
    qint64 scannedFiles = 1'000'000;
    int groupCount = 0;
    // Each step's start and end on the monotonic clock, to standard error:
    // for a profiler's record of the whole run (perf record -k mono).
    bool stepTimes = false;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--files") == 0 && hasValue) {
            scannedFiles = std::atoll(argv[++i]);
        } else if (std::strcmp(argv[i], "--step-times") == 0) {
            stepTimes = true;
        } else if (std::strcmp(argv[i], "--groups") == 0 && hasValue) {
            groupCount = std::atoi(argv[++i]);
        } else {
            usage();
            return 2;
        }
    }
    // A fifth of the scanned files make groups of two and three in turn:
    // half of the files are in groups.
    if (groupCount <= 0)
        groupCount = int(scannedFiles / 5);
    if (scannedFiles <= 0 || groupCount < openGroups) {
        std::fprintf(stderr, "vellicor_bench_window: at least %d groups, please\n", openGroups);
        return 2;
    }
    ThrowawayHome home;
    if (!home.isValid()) {
        std::fprintf(stderr, "vellicor_bench_window: no temporary folder\n");
        return 2;
    }
    // Started before the application's threads are.
    Sampler sampler;
    if (const int status = prepareWindowBenchmark("vellicor_bench_window", sampler))
        return status;
    QApplication app(argc, argv);
    nameWindowBenchmarkApplication();

    UserDefaults defaults { home.settingsFolder() };
    // Automatic marking from the toolbar asks nothing first.
    defaults.setValue(QStringLiteral("doNotShowAutoMarkDialog"), true);
    AppComposition program(defaults);
    program.launch();
    QMainWindow* window = program.delegate().window();
    Driver driver(sampler);
    driver.serve([&] { return window->isVisible(); });
    window->resize(1400, 900);
    driver.serve([&] { return window->size() == QSize(1400, 900); });

    MemoryPeaks memory;
    const bool perStep = resetPeakMemory();
    const std::vector<DuplicateGroupPtr> groups = syntheticPictureGroups(groupCount, [](int g) { return 2 + g % 2; });
    auto result = std::make_shared<ScanResult>();
    result->groups = groups;
    for (const DuplicateGroupPtr& group : groups)
        result->dupCount += qint64(group->children.size());
    result->countScanned = std::max(scannedFiles, result->dupCount);
    result->priorityLists = priorityListsOf(groups);
    memory.fileCount = result->countScanned;
    std::printf("%s: %lld files scanned, %lld of them in %d groups, %.1f MB resident at start-up; peak memory %s\n",
        qPrintable(QGuiApplication::platformName()), memory.fileCount, result->dupCount, groupCount,
        double(memory.startUpBytes) / 1e6, perStep ? "per step" : "of the run so far (no reset allowed)");
    std::printf("%-30s %12s %10s %12s %10s %9s %11s\n", "step", "window ms", "busy ms", "in-process", "wall ms",
        "peak MB", "peak B/file");
    std::fflush(stdout);
    bool allSettled = true;
    const auto print = [&](const QByteArray& step, const Figures& f, qint64 peak) {
        std::printf("%-30s %12.1f %10.1f %12.1f %10.1f %9.1f %11.0f%s%s\n", step.constData(), f.windowLongestMs,
            f.windowBusyMs, f.probeLongestMs, f.wallMs, double(peak) / 1e6, memory.bytesPerFile(peak),
            f.settled ? "" : "  (did not settle)",
            f.pollOnStack > 0 ? qPrintable(QStringLiteral("  (%1 samples in a poll of its own)").arg(f.pollOnStack))
                              : "");
        std::fflush(stdout);
        allSettled = allSettled && f.settled;
    };
    const auto measure = [&](const QByteArray& step, const std::function<void()>& start,
                             const std::function<bool()>& done, bool sheetWanted = false) {
        memory.beginStep();
        const double from = monotonicSeconds();
        const Figures figures = driver.run(start, done, sheetWanted);
        print(step, figures, memory.endStep());
        if (stepTimes)
            std::fprintf(stderr, "step %s: %.6f,%.6f\n", step.constData(), from, monotonicSeconds());
    };

    ResultViewController& screen = program.results();
    // The hand-over as a finished scan makes it; the scan-complete sheet
    // that follows is answered with "select manually".
    measure(
        "hand-over", [&] { screen.showResults(result); },
        [&] { return !screen.isHandingOver() && shownButton(QStringLiteral("btnSelectManually")); }, true);
    if (QAbstractButton* manually = shownButton(QStringLiteral("btnSelectManually")))
        QTest::mouseClick(manually, Qt::LeftButton);
    driver.serve([&] { return !shownButton(QStringLiteral("btnSelectManually")); });

    CustomTableView* list = screen.tblDuplicates();
    QHeaderView* header = list->horizontalHeader();
    const auto clickColumn = [header](int column) {
        return [header, column] {
            const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
        };
    };
    const auto sorted = [&] { return !screen.sortRunner().isSorting(); };
    measure("date column", clickColumn(ResultsModel::modifiedColumn), sorted);
    measure("date column, other way", clickColumn(ResultsModel::modifiedColumn), sorted);
    measure("name column", clickColumn(ResultsModel::nameColumn), sorted);

    bool autoMarked = false;
    QObject::connect(&screen.autoMarking(), &AutoMarking::autoMarkingFinished, [&] { autoMarked = true; });
    const auto clickButton = [](const char* name) {
        return [name] {
            if (QAbstractButton* button = shownButton(QString::fromLatin1(name)))
                QTest::mouseClick(button, Qt::LeftButton);
            else
                std::fprintf(stderr, "vellicor_bench_window: no button %s shown\n", name);
        };
    };
    const auto trigger = [&screen](const char* name) {
        return [&screen, name] {
            if (QAction* action = actionNamed(screen, name))
                action->trigger();
            else
                std::fprintf(stderr, "vellicor_bench_window: no menu item %s\n", name);
        };
    };
    const auto markDone = [&] { return !screen.isMarkByRunning(); };
    const auto marks = [&](const char* view) {
        const QByteArray prefix = QByteArray(view) + ": ";
        measure(
            prefix + "auto mark",
            [&] {
                autoMarked = false;
                clickButton("btnAutoMark")();
            },
            [&] { return autoMarked && !screen.autoMarking().isRunning() && !screen.autoMarking().isMarking(); });
        measure(prefix + "mark newest modified", trigger("submenuNewestModified"), markDone);
        measure(prefix + "invert", trigger("menuInvertedMarkedFiles"), markDone);
        measure(prefix + "unmark all", clickButton("btnUnmarkAll"), markDone);
    };
    marks("list");

    // The outline: 200 groups opened one by one by their arrows, each
    // scrolled into view first (untimed), then the marks, then each closed.
    clickButton("btnHierarcheryView")();
    CustomOutlineView* outline = screen.outlineDuplicates();
    driver.serve([&] { return outline->isVisible(); });
    const auto clickArrow = [outline](const QModelIndex& group) {
        const QRect row = outline->visualRect(group);
        QTest::mouseClick(
            outline->viewport(), Qt::LeftButton, {}, QPoint(row.left() - outline->indentation() / 2, row.center().y()));
    };
    const auto eachGroup = [&](const QByteArray& step, bool open) {
        Figures all;
        memory.beginStep();
        const double from = monotonicSeconds();
        for (int i = 0; i < openGroups; ++i) {
            const QModelIndex group = screen.model().index(i * (groupCount / openGroups), 0);
            outline->scrollTo(group);
            driver.serve([] { return true; });
            all.add(driver.run([&] { clickArrow(group); }, [&] { return outline->isExpanded(group) == open; }));
            if (outline->isExpanded(group) != open) {
                std::fprintf(
                    stderr, "vellicor_bench_window: group %d did not %s\n", group.row(), open ? "open" : "close");
                break;
            }
        }
        print(step, all, memory.endStep());
        if (stepTimes)
            std::fprintf(stderr, "step %s: %.6f,%.6f\n", step.constData(), from, monotonicSeconds());
    };
    eachGroup("outline: open 200 groups", true);
    marks("outline");
    eachGroup("outline: close 200 groups", false);

    memory.endStep();
    std::printf("%-30s %12s %10s %12s %10s %9.1f %11.0f\n", "whole run", "", "", "", "",
        double(memory.overallBytes) / 1e6, memory.bytesPerFile(memory.overallBytes));
    std::fflush(stdout);
    // Freeing a million records one by one adds nothing to the figures.
    std::_Exit(allSettled ? 0 : 1);
}
