#include "base/UserDefaults.h"
#include "controls/NamedImage.h"
#include "cleanup/CleanupController.h"
#include "platform/FileRemover.h"
#include "results/ResultViewController.h"
#include "results/ResultViewTexts.h"
#include "results/ResultsGridProxy.h"
#include "scan/ScanSources.h"
#include "support/HandClock.h"
#include "support/RecordingAlerts.h"
#include "support/ScopedLanguageTable.h"
#include "support/TempHome.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// The screen built under a language table of its own.
struct Screen {
    explicit Screen(const QMap<QString, QString>& texts)
        : table(QStringLiteral("xx"), texts)
    {
        setAlertPresenter(alerts);
        screen.setDelayedCalls(std::make_shared<HandClock>());
        screen.setAttribute(Qt::WA_DontShowOnScreen);
        screen.viewDidLoad();
        screen.show();
    }
    ~Screen() { setAlertPresenter(nullptr); }

    QAction* item(const char* outlet) const { return screen.findChild<QAction*>(QString::fromLatin1(outlet)); }
    // The menu an item sits in.
    QObject* menuOf(const char* outlet) const { return item(outlet)->associatedObjects().value(0); }

    std::shared_ptr<RecordingAlerts> alerts = std::make_shared<RecordingAlerts>();
    TempHome home;
    ScopedLanguageTable table;
    UserDefaults defaults { home.path() + QStringLiteral("/settings") };
    ResultViewController screen { defaults, std::make_shared<ScanSources>(defaults),
        std::make_shared<FaultyFileRemover>() };
};

QMap<QString, QString> keysAsTexts()
{
    QMap<QString, QString> texts;
    for (const ControlText& row : resultViewTexts())
        texts.insert(QString::fromLatin1(row.key), QString::fromLatin1(row.key));
    return texts;
}

} // namespace

// An empty table: every text of the screen, its sheets and its menus is
// empty, and nothing fails on the way.
TEST(ResultsTexts, EmptyLanguageTableLeavesEveryTextEmpty)
{
    Screen s({});
    for (const QAbstractButton* button : s.screen.findChildren<QAbstractButton*>()) {
        // The assistant's order buttons show arrows, not words.
        const bool arrow
            = button->objectName() == QLatin1String("btnUp") || button->objectName() == QLatin1String("btnDown");
        EXPECT_TRUE(arrow || button->text().isEmpty()) << button->objectName().toStdString();
        EXPECT_TRUE(button->toolTip().isEmpty()) << button->objectName().toStdString();
    }
    for (const QLabel* label : s.screen.findChildren<QLabel*>())
        EXPECT_TRUE(label->text().isEmpty()) << label->objectName().toStdString();
    for (const QMenu* menu : s.screen.findChildren<QMenu*>()) {
        for (const QAction* item : menu->actions())
            EXPECT_TRUE(item->text().isEmpty()) << item->objectName().toStdString();
    }
}

// Each leaf marks the copy its title names: the tag each item carries must be
// the one its command reads that way.
TEST(ResultsMenus, EachLeafSitsInItsMenuAndMarksTheFileItsTitleNames)
{
    Screen s({});
    const auto file = [](const char* path, quint64 size, int day) {
        auto node = std::make_shared<FileInfoNode>();
        node->filePath = QString::fromLatin1(path);
        node->fileName = node->filePath->section(QLatin1Char('/'), -1);
        node->fileSize = size;
        node->createDate = QDateTime(QDate(2024, 1, day), QTime(9, 0));
        node->modDate = QDateTime(QDate(2024, 2, 10 - day), QTime(9, 0));
        return node;
    };
    // a: oldest created, newest modified, smallest, shortest name, deepest path.
    auto group = std::make_shared<DuplicateGroup>();
    addFileToGroup(group, file("/d/e/f/g/a.txt", 100, 1));
    addFileToGroup(group, file("/d/longer-name.txt", 200, 2));
    s.screen.loadScanResults({ group }, 1, ScanSource::thisComputer);
    const FileInfoNodePtr a = group->children[0];
    const FileInfoNodePtr b = group->children[1];

    const std::pair<const char*, FileInfoNodePtr> cases[] = {
        { "submenuOldestCreated", a },
        { "submenuNewestCreated", b },
        { "submenuOldestModified", b },
        { "submenuNewestModified", a },
        { "submenuSmallestFileSize", a },
        { "submenuLargestFileSize", b },
        { "submenuShortestFileName", a },
        { "submenuLongestFileName", b },
        { "submenuShortestFilePath", b },
        { "submenuLongestFilePath", a },
    };
    for (const auto& [outlet, marked] : cases) {
        ASSERT_NE(s.item(outlet), nullptr) << outlet;
        s.screen.state().unmarkAllShownFiles();
        s.item(outlet)->trigger();
        EXPECT_TRUE(marked->isMarked()) << outlet;
        EXPECT_EQ(s.screen.state().countMarked(), 1) << outlet;
    }
    // The options pop-up holds Auto Mark, then Mark with the commands on all
    // shown files.
    const QList<QAction*> options = qobject_cast<QMenu*>(s.menuOf("menuAutoMark"))->actions();
    EXPECT_EQ(options.indexOf(s.item("menuMark")), options.indexOf(s.item("menuAutoMark")) + 1);
    for (const char* outlet : { "menuDeleteSelectedFile", "menuInvertedMarkedFiles", "menuFilterGroupWithMarkedFile",
             "menuClearCache", "submenuMarkbyLength" })
        EXPECT_EQ(s.menuOf(outlet), s.item("menuMark")->menu()) << outlet;
    // The group item runs the automatic marking.
    s.item("submneuAllButOneInEach")->trigger();
    EXPECT_TRUE(s.screen.autoMarking().isRunning());
    s.screen.autoMarking().waitForWorkers();
}

// A table text that happens to hold a marker is shown as it stands.
TEST(ResultsTexts, TableTextsAreNeverScannedForMarkers)
{
    ScopedLanguageTable table(QStringLiteral("xx"),
        { { QStringLiteral("ID_DUPLICATE_GROUP"), QStringLiteral("Gruppe %1 %2") },
            { QStringLiteral("ID_ITEMS"), QStringLiteral("%1 Dateien") } });
    EXPECT_EQ(ResultsGridProxy::sectionTitle(2), QStringLiteral("Gruppe %1 %2 3"));
    EXPECT_EQ(ResultsGridProxy::sectionCountLine(4, 2000), QStringLiteral("4 %1 Dateien, 2.00 KB"));
}

// With every duplicate removed, Back and the options (Undo) stay uncovered.
TEST(ResultsViews, AllRemovedKeepsBackAndUndoWithinReach)
{
    Screen s({});
    emit s.screen.cleanup().resultAreaChanged(ResultArea::allRemoved, {});
    auto* success = s.screen.findChild<QWidget*>(QStringLiteral("viewSucccess"));
    ASSERT_TRUE(success->isVisible());
    for (const char* name : { "btnBack", "btnOptions", "btnUndo" }) {
        auto* button = s.screen.findChild<QAbstractButton*>(QString::fromLatin1(name));
        ASSERT_TRUE(button->isVisible()) << name;
        const QRect onScreen(button->mapTo(&s.screen, QPoint()), button->size());
        EXPECT_FALSE(onScreen.intersects(success->geometry())) << name;
    }
}

// The filter item narrows the shown groups to those with marks and back; a
// category chosen meanwhile ends it.
TEST(ResultsMenus, FilterShowsOnlyGroupsWithMarksAndBack)
{
    Screen s({});
    std::vector<DuplicateGroupPtr> groups(3);
    for (int g = 0; g < 3; ++g) {
        groups[g] = std::make_shared<DuplicateGroup>();
        for (const char* folder : { "/a/", "/b/" }) {
            auto file = std::make_shared<FileInfoNode>();
            file->filePath = QString::fromLatin1(folder) + QString::number(g);
            file->fileSize = 1000u * (3 - g);
            addFileToGroup(groups[g], file);
        }
    }
    s.screen.loadScanResults(groups, 3, ScanSource::thisComputer);
    QAction* filter = s.item("menuFilterGroupWithMarkedFile");
    const auto shownAfterTap = [&] {
        filter->trigger();
        return s.screen.state().arrGroups;
    };
    EXPECT_EQ(shownAfterTap(), groups); // nothing marked: nothing changes
    s.screen.fileCheckBoxTapped(groups[1]->children[0]);
    EXPECT_EQ(shownAfterTap(), (std::vector { groups[1] }));
    EXPECT_EQ(shownAfterTap(), groups);
    shownAfterTap();
    s.screen.state().btnShowAllItems();
    EXPECT_EQ(s.screen.state().arrGroups, groups);
    EXPECT_FALSE(s.screen.state().isMarkedGroupsFilterOn);
}

// A click on the toolbar's assistant and Undo buttons and on the header's
// delete link does what the menu item does: the same sheet or message, and
// Undo is refused by both while an undo runs.
TEST(ResultsMenus, EachToolbarButtonActsAsItsMenuItem)
{
    Screen s(keysAsTexts());
    auto group = std::make_shared<DuplicateGroup>();
    for (const char* path : { "/a/1.jpg", "/b/1.jpg" }) {
        auto file = std::make_shared<FileInfoNode>();
        file->filePath = QString::fromLatin1(path);
        file->fileSize = 1000;
        addFileToGroup(group, file);
    }
    s.screen.loadScanResults({ group }, 1, ScanSource::thisComputer);
    s.screen.fileCheckBoxTapped(group->children[1]);
    // The loading's toolbar rebuild comes back enabled only later.
    s.screen.setResultToolbarEnabled(true);
    const auto titled = [&s](const char* key) {
        for (QAction* item : s.screen.findChildren<QAction*>()) {
            if (item->text() == QLatin1String(key))
                return item;
        }
        return static_cast<QAction*>(nullptr);
    };
    // What an action leaves on screen: the sheets it opened (closed again
    // here) and the messages it gave.
    const auto outcome = [&s](const std::function<void()>& act) {
        s.alerts->shown.clear();
        act();
        QStringList shown = s.alerts->messages();
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (top != &s.screen && top->isVisible()) {
                shown << QString::number(quintptr(top));
                top->hide();
            }
        }
        return shown;
    };
    const struct {
        const char* button;
        QAction* item;
    } rows[] = {
        { "btnSelectionAssitance", titled("ID_SELECTION_ASSISTANT") },
        { "btnUndo", titled("ID_UNDO") },
        { "btnDeleteLink", s.item("menuDeleteSelectedFile") },
    };
    for (const auto& row : rows) {
        auto* button = s.screen.findChild<QAbstractButton*>(QString::fromLatin1(row.button));
        ASSERT_TRUE(button && row.item) << row.button;
        const QStringList byMenu = outcome([&row] { row.item->trigger(); });
        EXPECT_FALSE(byMenu.isEmpty()) << row.button;
        EXPECT_EQ(outcome([button] { button->click(); }), byMenu) << row.button;
    }

    emit s.screen.cleanup().undoRunningChanged(true);
    auto* undo = s.screen.findChild<QAbstractButton*>(QStringLiteral("btnUndo"));
    EXPECT_FALSE(undo->isEnabled());
    EXPECT_FALSE(titled("ID_UNDO")->isEnabled());
    emit s.screen.cleanup().undoRunningChanged(false);
    EXPECT_TRUE(undo->isEnabled());
}

// The view-mode menu opened from its button: each item wears the drawing of
// its mode's button.
TEST(ResultsMenus, EachViewModeItemWearsItsModeButtonsIcon)
{
    Screen s(keysAsTexts());
    auto* opener = s.screen.findChild<QAbstractButton*>(QStringLiteral("btnGroupView"));
    ASSERT_TRUE(opener);
    QTest::mouseClick(opener, Qt::LeftButton);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_TRUE(menu);
    const QList<QAction*> items = menu->actions();
    const char* buttons[] = { "list_icon", "tree_view_icon", "grid_icon" };
    ASSERT_EQ(items.size(), 3);
    constexpr int side = 22;
    for (int i = 0; i < 3; ++i) {
        QImage drawn(side, side, QImage::Format_ARGB32_Premultiplied);
        drawn.fill(Qt::transparent);
        QPainter painter(&drawn);
        painter.setRenderHint(QPainter::Antialiasing);
        NamedImage::load(QString::fromLatin1(buttons[i])).drawCentred(painter, QRectF(0, 0, side, side));
        painter.end();
        EXPECT_EQ(items[i]->icon().pixmap(QSize(side, side)).toImage().convertToFormat(drawn.format()), drawn)
            << buttons[i];
    }
    menu->close();
}
