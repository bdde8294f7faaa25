// The location lists at their bound in a real window, as main() builds the
// program: 10,000 folders in this computer's scan list (stored, restored at
// start), then 9,990 folders excluded and protected by every road the user
// has, each started by a click or a drop on the real widgets: Add with its
// chooser (the choice handed over as the chooser hands it), a drop on the
// drop box, a row's remove button, Remove All from the tables' menu, the
// preferences' exclude list (whose protect-list twin, the selection
// assistant's, reloads with every step on the protect tab); then Scan Now over
// the 10,000 folders of the scan list. Each
// step is timed as the display sees it (the GUI thread sampled from outside
// the process, WindowDriver.h) until the lists, the tables and the panes
// have taken the change and the thread is idle again.
//   xvfb-run -a -s '-screen 0 1920x1200x24' vellicor_bench_lists
#include "ProgramBench.h"
#include "support/DropOn.h"
#include "WindowDriver.h"
#include "app/AppComposition.h"
#include "app/AppDelegate.h"
#include "app/AppServices.h"
#include "base/AlertPresenter.h"
#include "base/UserDefaults.h"
#include "controls/CustomCell.h"
#include "controls/CustomTableView.h"
#include "controls/DragDropBox.h"
#include "controls/IMGButton.h"
#include "core/GlobalObjects.h"
#include "core/SettingsSchema.h"
#include "home/HomePathModel.h"
#include "home/LocationAdder.h"
#include "home/MainViewController.h"
#include "preferences/ExcludeViewController.h"
#include "scan/ScanSources.h"

#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QUrl>

#include <csignal>
#include <cstdio>

using namespace windowbench;

namespace {

constexpr int scanRows = 10'000;
constexpr int chosenRows = 9'990;

// count folders named prefix and a number below parent, made on disk.
QStringList makeFolders(const QString& parent, const char* prefix, int count)
{
    QStringList folders;
    folders.reserve(count);
    for (int i = 0; i < count; ++i) {
        folders << parent + QStringLiteral("/%1%2").arg(QLatin1String(prefix)).arg(i, 5, 10, QLatin1Char('0'));
        QDir().mkpath(folders.last());
    }
    return folders;
}

// The chooser as the product's hands its choice over: all the folders picked.
struct PickingChooser : FolderChooser {
    QStringList picked;
    void chooseFolders(const Options&, std::function<void(const QStringList&)> done) override { done(picked); }
};


// Clicks an outlet of the first row of a home table.
void clickFirstRow(CustomTableView& table, CustomCell::Outlet outlet, int column)
{
    const QModelIndex index = table.model()->index(0, column);
    table.scrollTo(index);
    auto* cell = qobject_cast<CustomCell*>(table.itemDelegateForIndex(index));
    if (!cell)
        return;
    const QRect rect = cell->outletRects(table.visualRect(index), index)[std::size_t(outlet)];
    QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, rect.center());
}

// The shown popup menu's item of that tag, clicked.
void clickMenuItem(int tag)
{
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (!menu) {
        std::fprintf(stderr, "vellicor_bench_lists: no menu open\n");
        return;
    }
    for (QAction* action : menu->actions()) {
        if (!action->isSeparator() && action->data().toInt() == tag) {
            QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
            return;
        }
    }
}

// The alerts of a step (a repeat refused) are counted, not waited on.
struct CountedAlerts : AlertPresenter {
    int shown = 0;
    int present(const AlertRequest&) override
    {
        ++shown;
        return 0;
    }
};

template <typename T> T* shownChild(const QString& name)
{
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (auto* child = top->findChild<T*>(name); child && child->isVisible())
            return child;
    }
    return nullptr;
}

} // namespace

int main(int argc, char** argv)
{
    ThrowawayHome home;
    if (!home.isValid()) {
        std::fprintf(stderr, "vellicor_bench_lists: no temporary folder\n");
        return 2;
    }
    Sampler sampler;
    if (const int status = prepareWindowBenchmark("vellicor_bench_lists", sampler))
        return status;
    QApplication app(argc, argv);
    nameWindowBenchmarkApplication();

    const QString root = home.folder.path() + QStringLiteral("/lists");
    const QStringList scanned = makeFolders(root + QStringLiteral("/Scanned"), "s", scanRows);
    const QStringList excluded = makeFolders(root + QStringLiteral("/Set aside"), "x", chosenRows);
    const QStringList protectedFolders = makeFolders(root + QStringLiteral("/Kept"), "k", chosenRows + 1);

    UserDefaults defaults { home.settingsFolder() };
    {
        QVariantList entries;
        for (const QString& path : scanned)
            entries << makeFolderEntry(path);
        defaults.setValue(QLatin1String(SettingsKey::savedPaths), entries);
    }
    AppComposition program(defaults);
    Driver driver(sampler);

    std::printf("%s: %d folders in the scan list, %d chosen at once\n", qPrintable(QGuiApplication::platformName()),
        scanRows, chosenRows);
    printStepHeader();
    bool allSettled = true;
    const auto measure = [&](const char* step, const std::function<void()>& start, const std::function<bool()>& done) {
        allSettled = printStep(step, driver.run(start, done)) && allSettled;
    };

    QMainWindow* window = nullptr;
    MainViewController* homeScreen = nullptr;
    measure(
        "start-up with the scan list",
        [&] {
            program.launch();
            window = program.delegate().window();
            homeScreen = &program.home();
        },
        [&] { return window && window->isVisible() && homeScreen->lists().scanListForSource().size() == scanRows; });
    auto alerts = std::make_shared<CountedAlerts>();
    setAlertPresenter(alerts);
    window->resize(1400, 900);
    driver.serve([&] { return window->size() == QSize(1400, 900); });
    ScanSources& sources = homeScreen->lists().sources;
    const auto excludes = [&] { return sources.excludeList(ScanSource::thisComputer).size(); };
    const auto protects = [&] { return sources.protectList(ScanSource::thisComputer).size(); };
    const size_t defaultExcludes = excludes();

    auto* chooser = new PickingChooser;
    homeScreen->setFolderChooser(std::unique_ptr<FolderChooser>(chooser));
    auto* box = homeScreen->findChild<DragDropBox*>();
    const auto click = [](QWidget* widget) {
        if (widget)
            QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center());
    };
    const auto homeButton = [&](const char* name) {
        return homeScreen->findChild<QAbstractButton*>(QString::fromLatin1(name));
    };
    const auto homeTable = [&](const char* name) {
        return homeScreen->findChild<CustomTableView*>(QString::fromLatin1(name));
    };
    // Remove All from the shown table's menu, opened on its first row.
    const auto removeAll = [&](CustomTableView* table) {
        return [table] {
            const QRect row = table->visualRect(table->model()->index(0, HomePathModel::pathColumn));
            QTest::mouseClick(table->viewport(), Qt::RightButton, {}, row.center());
            clickMenuItem(4);
        };
    };

    click(homeButton("btnExclude"));
    driver.serve([] { return true; });
    CustomTableView* excludeTable = homeTable("tblExcludes");
    chooser->picked = excluded;
    measure("exclude tab: Add, 9,990 chosen", [&] { click(homeButton("btnAddPath")); },
        [&] { return excludes() == defaultExcludes + chosenRows; });
    measure("exclude tab: a row's remove button",
        [&] { clickFirstRow(*excludeTable, CustomCell::Outlet::btnDelete, HomePathModel::removeColumn); },
        [&] { return excludes() == defaultExcludes + chosenRows - 1; });
    measure("exclude tab: Remove All", removeAll(excludeTable), [&] { return excludes() == 0; });
    measure("exclude tab: 9,990 dropped", [&] { dropOn(*box, excluded); },
        [&] { return excludes() == size_t(chosenRows); });
    measure("exclude tab: 9,990 dropped again", [&] { dropOn(*box, excluded); },
        [&] { return excludes() == size_t(chosenRows); });
    measure("exclude tab: Remove All", removeAll(excludeTable), [&] { return excludes() == 0; });

    click(homeButton("btnProtected"));
    driver.serve([] { return true; });
    CustomTableView* protectTable = homeTable("tblProtected");
    chooser->picked = protectedFolders.mid(0, chosenRows);
    measure("protect tab: Add, 9,990 chosen", [&] { click(homeButton("btnAddPath")); },
        [&] { return protects() == size_t(chosenRows); });
    measure("protect tab: a row's remove button",
        [&] { clickFirstRow(*protectTable, CustomCell::Outlet::btnDelete, HomePathModel::removeColumn); },
        [&] { return protects() == size_t(chosenRows - 1); });
    measure("protect tab: Remove All", removeAll(protectTable), [&] { return protects() == 0; });
    measure("protect tab: 9,990 dropped", [&] { dropOn(*box, protectedFolders.mid(0, chosenRows)); },
        [&] { return protects() == size_t(chosenRows); });

    // The preferences' excluded folders.
    program.delegate().preferencesWindowController().showPreferencesWindow(QStringLiteral("excludedfolders"));
    // The pane is found by its table: it has no meta-object of its own.
    const auto shownPane = [] {
        auto* table = shownChild<QTableWidget>(QStringLiteral("tvExclude"));
        return table ? static_cast<ExcludeViewController*>(table->parentWidget()) : nullptr;
    };
    driver.serve([&] { return shownPane() != nullptr; });
    ExcludeViewController* pane = shownPane();
    if (!pane) {
        std::fprintf(stderr, "vellicor_bench_lists: the preferences' exclusions are not shown\n");
        return 1;
    }
    measure("preferences: 9,990 chosen", [&] { pane->addFoldersToExclusion(excluded); },
        [&] { return excludes() == size_t(chosenRows); });
    measure(
        "preferences: Remove the first",
        [&] {
            pane->tvExclude->selectRow(0);
            click(pane->btnRemove);
        },
        [&] { return excludes() == size_t(chosenRows - 1); });
    pane->window()->close();
    driver.serve([] { return true; });

    // The scan list itself.
    click(homeButton("btnInclue"));
    driver.serve([] { return true; });
    CustomTableView* scanTable = homeTable("tblInclude");
    const auto scans = [&] { return sources.scanList(ScanSource::thisComputer).size(); };
    measure("include tab: a row's remove button",
        [&] { clickFirstRow(*scanTable, CustomCell::Outlet::btnDelete, HomePathModel::removeColumn); },
        [&] { return scans() == size_t(scanRows - 1); });
    measure("include tab: Remove All", removeAll(scanTable), [&] { return scans() == 0; });
    measure("include tab: 10,000 dropped", [&] { dropOn(*box, scanned); },
        [&] { return scans() == size_t(scanRows); });
    chooser->picked = scanned;
    measure("include tab: Add, the same 10,000 chosen", [&] { click(homeButton("btnAddPath")); },
        [&] { return scans() == size_t(scanRows) && alerts->shown > 0; });
    // A scan of the 10,000 empty folders, each a row, until its end reaches
    // the window (before the pause that follows every scan).
    measure("include tab: Scan Now over the 10,000", [&] { click(homeScreen->scanNowButton()); },
        [&] { return !isScanRunning; });
    std::_Exit(allSettled ? 0 : 1);
}
