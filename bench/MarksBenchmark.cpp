// Bulk marks on the results screen over 100,000 files in 40,000 groups: mark
// all, unmark all, invert, a mark-by command and automatic marking, each in
// the list, in the outline with 200 groups open and in the thumbnail grid.
// Each is timed from the command until the shown view has repainted, with the
// longest stretch the GUI thread went without serving a 1 ms probe timer.
// Before them it times the hand-over of the results, the scan-complete sheet,
// a column sort, the group sort button and opening and closing one group in
// the outline. Prints a table; no budget, run it before and after a change.
//   vellicor_bench_marks [rounds] [list|outline|grid|none] [groups]
#include "ResultsBenchScreen.h"
#include "controls/CustomOutlineView.h"
#include "controls/CustomTableView.h"
#include "controls/MyCollectionView.h"
#include "marking/AutoMarking.h"
#include "marking/MarkByCommands.h"
#include "marking/SortRunner.h"
#include "marking/ResultsState.h"
#include "results/ResultsModel.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QHeaderView>
#include <QTimer>

#include <cstdio>
#include <functional>

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
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
    bool started = false;
    QTimer probe;
    probe.setInterval(1);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        last = now;
        if (started && done()) {
            view->repaint();
            const qint64 end = clock.nsecsElapsed();
            longest = std::max(longest, end - last);
            last = end;
            loop.quit();
        }
    });
    QTimer::singleShot(0, &loop, [&] {
        clock.start();
        probe.start();
        start();
        started = true;
    });
    loop.exec();
    return { last / 1e6, longest / 1e6 };
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
    const std::vector<DuplicateGroupPtr> groups = syntheticPictureGroups(groupCount, [](int g) { return 2 + g % 2; });
    ResultsState& state = screen.state();

    std::printf("%-18s %-16s %10s %14s\n", "view", "step", "total ms", "longest ms");
    QWidget* repainted = screen.tblDuplicates()->viewport();
    const auto report = [&](const char* view, const char* step, const std::function<void()>& start,
                            const std::function<void()>& after = {},
                            const std::function<bool()>& done = [] { return true; }) {
        Timing best { 1e18, 1e18 };
        for (int round = 0; round < rounds; ++round) {
            const Timing t = timed(repainted, start, done);
            best = { std::min(best.totalMs, t.totalMs), std::min(best.longestStretchMs, t.longestStretchMs) };
            if (after)
                after();
            QApplication::processEvents();
        }
        std::printf("%-18s %-16s %10.1f %14.1f\n", view, step, best.totalMs, best.longestStretchMs);
        std::fflush(stdout);
    };
    report("list", "hand-over", [&] { screen.loadScanResults(groups, groupCount, ScanSource::thisComputer); });
    // As a scan hands them over: the priority lists made on its worker.
    const PriorityLists lists = priorityListsOf(groups);
    report("list", "hand-over, lists",
        [&] { screen.loadScanResults(groups, groupCount, ScanSource::thisComputer, lists); });
    report(
        "list", "complete sheet", [&] { screen.autoMarking().showScanCompleteSheet(); },
        [&] { screen.autoMarking().btnCloseWindowScanCompleteTapped(); });
    QHeaderView* header = screen.tblDuplicates()->horizontalHeader();
    // A sort ends when its order has reached the rows.
    const auto sorted = [&] { return !screen.sortRunner().isSorting(); };
    report(
        "list", "name column", [&] { emit header->sectionClicked(ResultsModel::nameColumn); }, {}, sorted);
    report(
        "list", "group sort", [&] { screen.sortRunner().sortButton(); }, {}, sorted);
    screen.btnChangeResultView(ResultViewController::ViewMode::group);
    QApplication::processEvents();
    CustomOutlineView* outline = screen.outlineDuplicates();
    repainted = outline->viewport();
    const QModelIndex middle = screen.model().index(groupCount / 2, 0);
    report(
        "outline", "open a group", [&] { outline->expand(middle); }, [&] { outline->collapse(middle); });
    outline->expand(middle);
    report(
        "outline", "close a group", [&] { outline->collapse(middle); }, [&] { outline->expand(middle); });
    outline->collapse(middle);
    screen.btnChangeResultView(ResultViewController::ViewMode::list);
    screen.loadScanResults(groups, groupCount, ScanSource::thisComputer);
    bool autoMarkDone = false;
    QObject::connect(&screen.autoMarking(), &AutoMarking::autoMarkingFinished, [&] { autoMarkDone = true; });

    struct Command {
        const char* name;
        // The marks the command starts from: all or none.
        bool fromMarked;
        std::function<void()> start;
        std::function<bool()> done;
    };
    const auto now = [] { return true; };
    const Command commands[] = {
        { "mark all", false, [&] { state.selectAllShownFiles(true); }, now },
        { "unmark all", true, [&] { state.selectAllShownFiles(false); }, now },
        { "invert", true, [&] { screen.markByCommand(MarkByCommand::invert, std::nullopt); }, now },
        { "mark by size", false, [&] { screen.markByCommand(MarkByCommand::size, 0); }, now },
        { "auto mark", true,
            [&] {
                autoMarkDone = false;
                screen.autoMarking().proceedToautoMarkAllitems();
            },
            [&] { return autoMarkDone; } },
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
            CustomOutlineView* outline = screen.outlineDuplicates();
            for (int i = 0; i < openGroups; ++i)
                outline->expand(screen.model().index(i * (groupCount / openGroups), 0));
            shown = outline->viewport();
        } else if (view.mode == ResultViewController::ViewMode::grid) {
            shown = screen.collDuplicates()->viewport();
        }
        QApplication::processEvents();
        for (const Command& command : commands) {
            Timing best { 1e18, 1e18 };
            for (int round = 0; round < rounds; ++round) {
                state.selectAllShownFiles(command.fromMarked);
                QApplication::processEvents();
                const Timing t = timed(shown, command.start, command.done);
                best = { std::min(best.totalMs, t.totalMs), std::min(best.longestStretchMs, t.longestStretchMs) };
            }
            std::printf("%-18s %-16s %10.1f %14.1f\n", view.name, command.name, best.totalMs, best.longestStretchMs);
            std::fflush(stdout);
        }
    }
    screen.autoMarking().waitForWorkers();
    return 0;
}
