// Bulk marks on the results screen over 100,000 files in 40,000 groups: mark
// all, unmark all, invert, a mark-by command and automatic marking, each in
// the list, in the outline with 200 groups open and in the thumbnail grid.
// Each is timed from the command until the shown view has repainted, with the
// longest stretch the GUI thread went without serving a 1 ms probe timer.
// Before them it times the hand-over of the results, the scan-complete sheet,
// automatic marking from the sheet's Continue, a column sort, the group sort
// button and opening and closing one group in the outline. Each step also
// gives the process's peak resident memory and that peak beyond start-up per
// file. Prints a table; no budget, run it before and after a change.
//   vellicor_bench_marks [rounds] [list|outline|grid|none] [groups] [scanned files]
#include "PeakMemory.h"
#include "ResultsBenchScreen.h"
#include "ServiceProbe.h"
#include "controls/CustomOutlineView.h"
#include "controls/CustomTableView.h"
#include "controls/MyCollectionView.h"
#include "marking/AutoMarking.h"
#include "marking/MarkByCommands.h"
#include "marking/ResultsState.h"
#include "marking/SortRunner.h"
#include "results/ResultsModel.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QHeaderView>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <string>

namespace {

constexpr int openGroups = 200;

struct Timing {
    double totalMs = 0;
    double longestStretchMs = 0;
};

// Runs start inside the event loop and keeps it running until done() holds
// and the shown view has repainted, probing the GUI thread every millisecond.
Timing timed(QWidget* view, const std::function<void()>& start, const std::function<bool()>& done)
{
    QEventLoop loop;
    bool started = false;
    ServiceProbe probe([&] {
        if (started && done()) {
            view->repaint();
            probe.note();
            loop.quit();
        }
    });
    QTimer::singleShot(0, &loop, [&] {
        probe.start();
        start();
        started = true;
    });
    loop.exec();
    return { double(probe.lastNs()) / 1e6, double(probe.longestNs()) / 1e6 };
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 3;
    const QByteArray only = argc > 2 ? QByteArray(argv[2]) : QByteArray();
    // Two and three copies in turn: 100,000 files by default.
    const int groupCount = argc > 3 ? std::max(openGroups, atoi(argv[3])) : 40'000;
    ResultsBenchScreen bench;
    ResultViewController& screen = bench.screen;
    MemoryPeaks memory;
    const std::vector<DuplicateGroupPtr> groups = syntheticPictureGroups(groupCount, [](int g) { return 2 + g % 2; });
    for (const DuplicateGroupPtr& group : groups)
        memory.fileCount += qint64(group->children.size());
    // A scan keeps nothing of the files in no group once it has ended: they
    // count only in the files scanned, by which the memory is divided.
    const qint64 groupedFiles = memory.fileCount;
    if (argc > 4)
        memory.fileCount = std::max(groupedFiles, qint64(atoll(argv[4])));
    ResultsState& state = screen.state();

    const bool perStep = resetPeakMemory();
    std::printf("%lld files scanned, %lld of them in %d groups, %.1f MB resident at start-up; peak memory %s\n",
        memory.fileCount, groupedFiles, groupCount, double(memory.startUpBytes) / 1e6,
        perStep ? "per step" : "of the run so far (no reset allowed)");
    std::printf(
        "%-18s %-16s %10s %14s %10s %12s\n", "view", "step", "total ms", "longest ms", "peak MB", "peak B/file");
    const auto print = [&](const char* view, const char* step, const Timing& best, qint64 peak) {
        std::printf("%-18s %-16s %10.1f %14.1f %10.1f %12.0f\n", view, step, best.totalMs, best.longestStretchMs,
            double(peak) / 1e6, memory.bytesPerFile(peak));
        std::fflush(stdout);
    };
    const auto now = [] { return true; };
    // Best of the rounds for the times, the highest for the memory; before
    // runs ahead of each round and after behind it, outside the timing.
    const auto measure = [&](const char* view, const char* step, QWidget* repainted, const std::function<void()>& start,
                             const std::function<bool()>& done, const std::function<void()>& before,
                             const std::function<void()>& after) {
        Timing best { 1e18, 1e18 };
        memory.beginStep();
        for (int round = 0; round < rounds; ++round) {
            if (before) {
                before();
                QApplication::processEvents();
            }
            const Timing t = timed(repainted, start, done);
            best = { std::min(best.totalMs, t.totalMs), std::min(best.longestStretchMs, t.longestStretchMs) };
            if (after)
                after();
            QApplication::processEvents();
        }
        print(view, step, best, memory.endStep());
    };
    const auto report = [&](const char* view, const char* step, const std::function<void()>& start,
                            const std::function<void()>& after = {}) {
        measure(view, step, screen.tblDuplicates()->viewport(), start, now, {}, after);
    };
    // A hand-over ends when its rows are in.
    const auto handedOver = [&] { return !screen.isHandingOver(); };
    measure("list", "hand-over", screen.tblDuplicates()->viewport(),
        [&] { screen.loadScanResults(groups, groupCount, ScanSource::thisComputer); }, handedOver, {}, {});
    // As a scan hands them over: the priority lists made on its worker.
    const PriorityLists lists = priorityListsOf(groups);
    measure("list", "hand-over, lists", screen.tblDuplicates()->viewport(),
        [&] { screen.loadScanResults(groups, groupCount, ScanSource::thisComputer, lists); }, handedOver, {}, {});
    report(
        "list", "complete sheet", [&] { screen.autoMarking().showScanCompleteSheet(); },
        [&] { screen.autoMarking().btnCloseWindowScanCompleteTapped(); });
    bool autoMarkDone = false;
    QObject::connect(&screen.autoMarking(), &AutoMarking::autoMarkingFinished, [&] { autoMarkDone = true; });
    const auto startAutoMark = [&](const std::function<void()>& command) {
        return [&, command] {
            autoMarkDone = false;
            command();
        };
    };
    const auto autoMarked = [&] { return autoMarkDone; };
    // The sheet's Continue: its marks start from none, as after a scan.
    measure("list", "sheet, auto mark", screen.tblDuplicates()->viewport(),
        startAutoMark([&] { screen.autoMarking().continueAutoMarkAfterScanComplete(); }), autoMarked,
        [&] {
            state.selectAllShownFiles(false);
            screen.autoMarking().showScanCompleteSheet();
        },
        {});
    state.selectAllShownFiles(false);
    QHeaderView* header = screen.tblDuplicates()->horizontalHeader();
    // A sort ends when its order has reached the rows.
    const auto sorted = [&] { return !screen.sortRunner().isSorting(); };
    measure("list", "name column", screen.tblDuplicates()->viewport(),
        [&] { emit header->sectionClicked(ResultsModel::nameColumn); }, sorted, {}, {});
    // The files of a group share one name; their dates differ, so this
    // click moves the files of every group.
    measure("list", "date column", screen.tblDuplicates()->viewport(),
        [&] { emit header->sectionClicked(ResultsModel::modifiedColumn); }, sorted, {}, {});
    measure("list", "group sort", screen.tblDuplicates()->viewport(), [&] { screen.sortRunner().sortButton(); }, sorted,
        {}, {});
    screen.btnChangeResultView(ResultViewController::ViewMode::group);
    QApplication::processEvents();
    CustomOutlineView* outline = screen.outlineDuplicates();
    const QModelIndex middle = screen.model().index(groupCount / 2, 0);
    measure(
        "outline", "open a group", outline->viewport(), [&] { outline->expand(middle); }, now, {},
        [&] { outline->collapse(middle); });
    outline->expand(middle);
    measure(
        "outline", "close a group", outline->viewport(), [&] { outline->collapse(middle); }, now, {},
        [&] { outline->expand(middle); });
    outline->collapse(middle);
    screen.btnChangeResultView(ResultViewController::ViewMode::list);
    loadAndWait(screen, groups, groupCount);

    struct Command {
        const char* name;
        // The marks the command starts from: all or none.
        bool fromMarked;
        std::function<void()> start;
        std::function<bool()> done;
    };
    // Mark all, unmark all and a mark-by command run in slices until the
    // views have been told.
    const auto markByDone = [&] { return !screen.isMarkByRunning(); };
    const Command commands[] = {
        { "mark all", false, [&] { state.selectAllShownFilesInSlices(true); }, markByDone },
        { "unmark all", true, [&] { state.selectAllShownFilesInSlices(false); }, markByDone },
        { "invert", true, [&] { screen.markByCommand(MarkByCommand::invert, std::nullopt); }, markByDone },
        { "mark by size", false, [&] { screen.markByCommand(MarkByCommand::size, 0); }, markByDone },
        { "auto mark", true, startAutoMark([&] { screen.autoMarking().proceedToautoMarkAllitems(); }), autoMarked },
    };
    struct View {
        const char* name;
        ResultViewController::ViewMode mode;
    };
    const View views[] = { { "list", ResultViewController::ViewMode::list },
        { "outline, 200 open", ResultViewController::ViewMode::group },
        { "grid", ResultViewController::ViewMode::grid } };
    for (const View& view : views) {
        if (!only.isEmpty() && !QByteArray(view.name).startsWith(only))
            continue;
        screen.btnChangeResultView(view.mode);
        QWidget* shown = screen.tblDuplicates()->viewport();
        if (view.mode == ResultViewController::ViewMode::group) {
            for (int i = 0; i < openGroups; ++i)
                outline->expand(screen.model().index(i * (groupCount / openGroups), 0));
            shown = outline->viewport();
        } else if (view.mode == ResultViewController::ViewMode::grid) {
            shown = screen.collDuplicates()->viewport();
        }
        QApplication::processEvents();
        for (const Command& command : commands)
            measure(view.name, command.name, shown, command.start, command.done,
                [&] { state.selectAllShownFiles(command.fromMarked); }, {});
    }
    screen.autoMarking().waitForWorkers();
    memory.endStep();
    std::printf("%-35s %10s %14s %10.1f %12.0f\n", "whole run", "", "", double(memory.overallBytes) / 1e6,
        memory.bytesPerFile(memory.overallBytes));
    return 0;
}
