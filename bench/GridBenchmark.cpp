// The results screen's thumbnail grid over 100,000 files in 50,000 groups:
// laying the grid out afresh, then scrolling it to its end frame by frame
// while pictures decode on their pool and arrive between frames. Fails when
// the layout takes over 50 ms or a frame's painting over 16 ms.
//   vellicor_bench_grid
#include "ResultsBenchScreen.h"
#include "controls/MyCollectionView.h"

#include <QElapsedTimer>
#include <QImage>
#include <QScrollBar>

#include <cstdio>

namespace {

constexpr int groupCount = 50'000;
// Distinct pictures on disk; the files of the result set take turns with them.
constexpr int pictureCount = 400;
constexpr double layoutBudgetMs = 50;
constexpr double frameBudgetMs = 16;

std::vector<DuplicateGroupPtr> makeGroups(const QString& folder)
{
    for (int p = 0; p < pictureCount; ++p) {
        QImage picture(1600, 1200, QImage::Format_RGB32);
        picture.fill(QColor::fromHsv(p * 360 / pictureCount, 160, 200));
        picture.save(QStringLiteral("%1/%2.jpg").arg(folder).arg(p), "JPG", 80);
    }
    std::vector<DuplicateGroupPtr> groups;
    groups.reserve(groupCount);
    for (int g = 0; g < groupCount; ++g) {
        auto group = std::make_shared<DuplicateGroup>();
        for (int copy = 0; copy < 2; ++copy) {
            auto file = std::make_shared<FileInfoNode>();
            file->filePath = QStringLiteral("%1/%2.jpg").arg(folder).arg((2 * g + copy) % pictureCount);
            file->fileName = QStringLiteral("IMG_%1.jpg").arg(g, 6, 10, QLatin1Char('0'));
            file->fileSize = 1'000'000 + quint64(g % 977) * 1000;
            file->fileCategory = GlobalObjects::FileCategory::Pic;
            file->createDate = QDateTime(QDate(2024, 1 + g % 12, 1 + g % 28), QTime(10, 0));
            addFileToGroup(group, file);
        }
        groups.push_back(group);
    }
    return groups;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ResultsBenchScreen bench;
    ResultViewController& screen = bench.screen;
    loadAndWait(screen, makeGroups(bench.folder.path()), groupCount);
    screen.btnChangeResultView(ResultViewController::ViewMode::grid);
    MyCollectionView* grid = screen.collDuplicates();
    QApplication::processEvents();

    QElapsedTimer timer;
    timer.start();
    grid->resize(grid->width() - 40, grid->height());
    const double layoutMs = timer.nsecsElapsed() / 1e6;

    QScrollBar* bar = grid->verticalScrollBar();
    double slowestMs = 0;
    int frames = 0;
    for (int value = 0; value <= bar->maximum(); value += qMax(1, bar->pageStep() / 2)) {
        bar->setValue(value);
        // Pictures asked for as if scrolling had paused at every frame, and
        // whatever has decoded meanwhile lands before the frame is painted.
        screen.changeCellViewControllerInCollectionView();
        QApplication::processEvents();
        timer.restart();
        grid->viewport()->repaint();
        slowestMs = qMax(slowestMs, timer.nsecsElapsed() / 1e6);
        ++frames;
    }

    std::printf("grid layout: %.2f ms (budget %.0f)\n", layoutMs, layoutBudgetMs);
    std::printf("grid: %d frames, slowest %.2f ms (budget %.0f)\n", frames, slowestMs, frameBudgetMs);
    const bool within = layoutMs <= layoutBudgetMs && slowestMs <= frameBudgetMs;
    std::printf(within ? "within budget\n" : "over budget\n");
    return within ? 0 : 1;
}
