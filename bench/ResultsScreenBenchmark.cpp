// The results screen over 100,000 files in 50,000 groups: loading the result
// set until the list has painted, one mark toggle until its rows have
// repainted, and the group view opened and scrolled to its end frame by frame.
// Fails when the load takes over 300 ms or a toggle or a frame over 16 ms.
//   vellicor_bench_results_screen
#include "ResultsBenchScreen.h"
#include "controls/CustomOutlineView.h"
#include "controls/CustomTableView.h"

#include <QElapsedTimer>
#include <QScrollBar>

#include <cstdio>

namespace {

constexpr int groupCount = 50'000;
constexpr double loadBudgetMs = 300;
constexpr double frameBudgetMs = 16;

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ResultsBenchScreen bench;
    ResultViewController& screen = bench.screen;
    std::vector<DuplicateGroupPtr> groups = syntheticPictureGroups(groupCount, [](int) { return 2; });

    QElapsedTimer timer;
    timer.start();
    loadAndWait(screen, groups, groupCount);
    screen.tblDuplicates()->viewport()->repaint();
    const double loadMs = timer.nsecsElapsed() / 1e6;

    const DuplicateGroupPtr& first = screen.state().arrGroups.front();
    timer.restart();
    screen.fileCheckBoxTapped(first->filterChildren.back());
    screen.tblDuplicates()->viewport()->repaint();
    const double toggleMs = timer.nsecsElapsed() / 1e6;

    screen.btnChangeResultView(ResultViewController::ViewMode::group);
    CustomOutlineView* outline = screen.outlineDuplicates();
    timer.restart();
    outline->viewport()->repaint();
    double slowestMs = timer.nsecsElapsed() / 1e6;
    QScrollBar* bar = outline->verticalScrollBar();
    int frames = 0;
    for (int value = 0; value <= bar->maximum(); value += qMax(1, bar->pageStep() / 2)) {
        bar->setValue(value);
        timer.restart();
        outline->viewport()->repaint();
        slowestMs = qMax(slowestMs, timer.nsecsElapsed() / 1e6);
        ++frames;
    }

    std::printf("load and list: %.1f ms (budget %.0f)\n", loadMs, loadBudgetMs);
    std::printf("mark toggle: %.2f ms (budget %.0f)\n", toggleMs, frameBudgetMs);
    std::printf("group view: %d frames, slowest %.2f ms (budget %.0f)\n", frames, slowestMs, frameBudgetMs);
    const bool within = loadMs <= loadBudgetMs && toggleMs <= frameBudgetMs && slowestMs <= frameBudgetMs;
    std::printf(within ? "within budget\n" : "over budget\n");
    return within ? 0 : 1;
}
