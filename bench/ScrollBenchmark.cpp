// Scrolls the application's list controls over a hundred thousand rows, top
// to bottom, half a page at a time, and times the painting of each frame.
// Prints the slowest frame and fails when any frame took more than 16 ms.
//   vellicor_bench_scroll [table|grid]
#include "controls/ApplicationFont.h"
#include "controls/CustomCell.h"
#include "controls/CustomTableView.h"
#include "controls/MyCollectionView.h"
#include "controls/MyHeaderCell.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QScrollBar>

#include <cstdio>
#include <functional>

namespace {

constexpr int rowCount = 100'000;
constexpr double frameBudgetMs = 16;

// Rows like the results list's: shaded by group of three, a check box, a
// name, a size and a folder, made up on request as a real model would.
class ResultsLikeModel : public QAbstractTableModel {
public:
    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : ::rowCount; }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : 4; }
    QVariant data(const QModelIndex& index, int role) const override
    {
        const int row = index.row();
        if (role == Qt::BackgroundRole)
            return (row / 3) % 2 ? QColor(30, 30, 30) : QColor(50, 50, 50);
        if (index.column() == 0 && role == CustomCell::roleOf(CustomCell::Outlet::btnCheckBox))
            return row % 3 ? 1 : 0;
        if (role != Qt::DisplayRole)
            return {};
        switch (index.column()) {
        case 1:
            return QStringLiteral("IMG_%1.jpg").arg(row / 3, 6, 10, QLatin1Char('0'));
        case 2:
            return QStringLiteral("%1 MB").arg(1 + row % 9);
        case 3:
            return QStringLiteral("/home/user/Pictures/%1/%2").arg(2000 + row % 24).arg(row % 7);
        default:
            return {};
        }
    }
};

// Items in sections of three, the last one shorter: a grid of groups of
// duplicates, with the section titles and count lines of the headers.
class GroupsLikeModel : public QAbstractItemModel {
public:
    static constexpr int perSection = 3;
    static constexpr int sectionCount = (::rowCount + perSection - 1) / perSection;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override
    {
        if (column != 0 || row < 0 || row >= rowCount(parent))
            return {};
        return createIndex(row, 0, parent.isValid() ? quintptr(parent.row() + 1) : quintptr(0));
    }
    QModelIndex parent(const QModelIndex& child) const override
    {
        return child.isValid() && child.internalId() ? createIndex(int(child.internalId() - 1), 0, quintptr(0))
                                                     : QModelIndex();
    }
    int rowCount(const QModelIndex& parent = {}) const override
    {
        if (!parent.isValid())
            return sectionCount;
        if (parent.internalId())
            return 0;
        return qMin(perSection, ::rowCount - parent.row() * perSection);
    }
    int columnCount(const QModelIndex& = {}) const override { return 1; }
    QVariant data(const QModelIndex& index, int role) const override
    {
        const bool item = index.internalId() != 0;
        if (role == Qt::DisplayRole)
            return item ? QStringLiteral("copy %1 of IMG_%2.jpg").arg(index.row()).arg(index.internalId())
                        : QStringLiteral("IMG_%1.jpg").arg(index.row() + 1);
        if (role == MyCollectionView::sectionCountRole && !item)
            return QStringLiteral("%1 files, 7.2 MB").arg(rowCount(index));
        return {};
    }
};

struct FrameTimes {
    int frames = 0;
    double slowestMs = 0;
    double totalMs = 0;
};

// Steps the scroll bar from top to bottom and repaints the viewport at each
// step; only the painting is timed.
FrameTimes scrollThrough(QAbstractScrollArea& area)
{
    FrameTimes times;
    QScrollBar* bar = area.verticalScrollBar();
    const int step = qMax(1, area.viewport()->height() / 2);
    for (int value = 0;; value = qMin(value + step, bar->maximum())) {
        bar->setValue(value);
        QElapsedTimer timer;
        timer.start();
        area.viewport()->repaint();
        const double ms = timer.nsecsElapsed() / 1e6;
        ++times.frames;
        times.totalMs += ms;
        times.slowestMs = qMax(times.slowestMs, ms);
        if (value == bar->maximum())
            break;
    }
    return times;
}

FrameTimes benchTable()
{
    ResultsLikeModel model;
    CustomTableView table;
    table.setModel(&model);
    table.setHorizontalHeader(new MyHeaderCell(Qt::Horizontal, &table));
    table.setItemDelegate(new CustomCell(&table));
    table.verticalHeader()->setDefaultSectionSize(35);
    table.horizontalHeader()->setStretchLastSection(true);
    table.setColumnWidth(0, 36);
    table.setColumnWidth(1, 200);
    table.setColumnWidth(2, 90);
    table.resize(900, 600);
    table.selectRow(4);
    table.show();
    QApplication::processEvents();
    return scrollThrough(table);
}

FrameTimes benchGrid()
{
    GroupsLikeModel model;
    MyCollectionView grid;
    grid.setModel(&model);
    grid.resize(900, 600);
    grid.selectItem({ 1, 1 });
    grid.show();
    QApplication::processEvents();
    return scrollThrough(grid);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    installApplicationFont();
    const QString only = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();

    const std::pair<const char*, std::function<FrameTimes()>> benches[] = {
        { "table", benchTable },
        { "grid", benchGrid },
    };
    bool withinBudget = true;
    for (const auto& [name, run] : benches) {
        if (!only.isEmpty() && only != QLatin1String(name))
            continue;
        const FrameTimes times = run();
        std::printf("%-6s %d rows or items: %d frames, mean %.2f ms, slowest %.2f ms\n", name, rowCount, times.frames,
            times.totalMs / qMax(1, times.frames), times.slowestMs);
        withinBudget = withinBudget && times.slowestMs <= frameBudgetMs;
    }
    std::printf(withinBudget ? "every frame within %.0f ms\n" : "a frame took longer than %.0f ms\n", frameBudgetMs);
    return withinBudget ? 0 : 1;
}
