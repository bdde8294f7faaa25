// The location lists at their bound, by every road a user has: 10,000
// folders dropped into the scan list, then 9,990 chosen for the exclusions
// by Add, by a drop and in the preferences, and for the protected folders by
// Add, with the selection assistant adding one more; rows removed by their
// buttons and by Remove All. Each road keeps exactly the right rows, in the
// order chosen, and tells what it refused.
#include "app/AppComposition.h"
#include "app/AppDelegate.h"
#include "app/AppServices.h"
#include "base/SettingsFileBytes.h"
#include "base/UserDefaults.h"
#include "controls/CustomCell.h"
#include "controls/CustomTableView.h"
#include "controls/DragDropBox.h"
#include "core/AppStartup.h"
#include "core/DuplicateGroup.h"
#include "core/FileInfoNode.h"
#include "core/Localization.h"
#include "core/SettingsSchema.h"
#include "home/HomePathModel.h"
#include "home/MainViewController.h"
#include "marking/SelectAssistanceController.h"
#include "preferences/ExcludeViewController.h"
#include "results/ResultViewController.h"
#include "scan/ScanScreen.h"
#include "scan/ScanSources.h"
#include "support/DropOn.h"
#include "support/PanelChooser.h"
#include "support/PathRows.h"
#include "support/RecordingAlerts.h"
#include "support/TempHome.h"
#include "support/UserClicks.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QTableWidget>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

constexpr int scanRows = 10'000;
constexpr int chosenRows = 9'990;

QStringList numbered(const QString& folder, const char* prefix, int count)
{
    QStringList paths;
    for (int i = 0; i < count; ++i)
        paths << folder + QStringLiteral("/%1%2").arg(QLatin1String(prefix)).arg(i, 5, 10, QLatin1Char('0'));
    return paths;
}


QStringList pathsOf(const std::vector<FilePathNodePtr>& rows)
{
    QStringList paths;
    for (const FilePathNodePtr& row : rows)
        paths << row->filePath.value_or(QString());
    return paths;
}

// Clicks a row's outlet in a home table, the row scrolled into view.
void clickRowOutlet(CustomTableView& table, int row, int column, CustomCell::Outlet outlet)
{
    const QModelIndex index = table.model()->index(row, column);
    table.scrollTo(index);
    auto* cell = qobject_cast<CustomCell*>(table.itemDelegateForIndex(index));
    ASSERT_TRUE(cell);
    const QRect rect = cell->outletRects(table.visualRect(index), index)[std::size_t(outlet)];
    ASSERT_FALSE(rect.isEmpty());
    QTest::mouseClick(table.viewport(), outlet == CustomCell::Outlet::btnDelete ? Qt::LeftButton : Qt::RightButton, {},
        rect.center());
}

// Remove All from the table's menu, opened by a right click on its first row.
void removeAll(CustomTableView& table)
{
    const QModelIndex index = table.model()->index(0, HomePathModel::pathColumn);
    table.scrollTo(index);
    QTest::mouseClick(table.viewport(), Qt::RightButton, {}, table.visualRect(index).center());
    QMenu* menu = nullptr;
    ASSERT_TRUE(waitUntil([&] { return (menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())); }));
    for (QAction* action : menu->actions()) {
        if (!action->isSeparator() && action->data().toInt() == 4) {
            QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
            return;
        }
    }
    FAIL() << "no Remove All";
}

struct OneFolderChooser : ProtectFolderChooser {
    QString next;
    void chooseFolder(const QString&, std::function<void(const QString&)> done) override { done(next); }
};

} // namespace

TEST(ListsAtTheirBound, EveryRoadKeepsTheRightRowsBesideTenThousandScannedFolders)
{
    TempHome home;
    const QString settings = home.configHome() + QStringLiteral("/Vellicor");
    UserDefaults defaults(settings);
    startApplicationCore(defaults);
    AppComposition program(defaults);
    program.launch();
    auto alerts = std::make_shared<RecordingAlerts>();
    setAlertPresenter(alerts);
    MainViewController& homeScreen = program.home();
    auto* panel = new PanelChooser;
    homeScreen.setFolderChooser(std::unique_ptr<FolderChooser>(panel));
    auto* box = homeScreen.findChild<DragDropBox*>();
    ASSERT_TRUE(box);
    const ScanSources& sources = homeScreen.lists().sources;
    const auto excludes = [&] { return pathsOf(sources.excludeList(ScanSource::thisComputer)); };
    const auto protects = [&] { return pathsOf(sources.protectList(ScanSource::thisComputer)); };
    const auto stored = [&](const char* key) { return storedPaths(UserDefaults(settings), key); };
    const auto tab = [&](const char* name) {
        click(homeScreen.findChild<QAbstractButton*>(QString::fromLatin1(name)));
        QCoreApplication::processEvents();
    };
    const auto table = [&](const char* name) {
        return homeScreen.findChild<CustomTableView*>(QString::fromLatin1(name));
    };

    // The scan list at its bound, dropped.
    const QString data = home.path() + QStringLiteral("/data");
    const QStringList scanned = numbered(data + QStringLiteral("/Scanned"), "s", scanRows);
    tab("btnInclue");
    dropOn(*box, scanned);
    QCoreApplication::processEvents();
    ASSERT_EQ(pathsOf(sources.scanList(ScanSource::thisComputer)), scanned);
    ASSERT_TRUE(alerts->shown.empty()) << alerts->messages().join(QLatin1Char(',')).toStdString();

    // 9,990 folders to exclude: most beside the scan list, and the cases at
    // its edges. A folder holding scan folders, one of them however spelled,
    // and a repeat are refused; a folder below a scan folder, or one whose
    // name only starts like one, is excluded.
    const QStringList defaultsExcluded = excludes();
    const QStringList refused { data + QStringLiteral("/Scanned"), data, scanned[2] + QLatin1Char('/'),
        data + QStringLiteral("/Scanned//s00003"), scanned[4] };
    const QStringList edges { scanned[1] + QStringLiteral("/deeper"), data + QStringLiteral("/Scanned/s0000"),
        data + QStringLiteral("/Scanned/S00005") };
    QStringList chosen = refused + edges + numbered(data + QStringLiteral("/Set aside"), "x", chosenRows - 10);
    chosen << defaultsExcluded.front() << chosen.last();
    ASSERT_EQ(chosen.size(), chosenRows);
    const QStringList accepted = chosen.mid(refused.size(), chosenRows - refused.size() - 2);
    const QStringList bothRefused { localizedText("ID_ONE_OR_MORE_ITEMS_CANNOT_EXCLUDED") };

    tab("btnExclude");
    panel->next = chosen;
    click(homeScreen.findChild<QAbstractButton*>(QStringLiteral("btnAddPath")));
    QCoreApplication::processEvents();
    EXPECT_EQ(excludes(), defaultsExcluded + accepted);
    EXPECT_EQ(stored(SettingsKey::excludedFolders), defaultsExcluded + accepted);
    EXPECT_EQ(alerts->messages(), bothRefused);

    // A row's remove button, then Remove All.
    CustomTableView* excludeTable = table("tblExcludes");
    const int last = int(excludes().size()) - 1;
    clickRowOutlet(*excludeTable, last, HomePathModel::removeColumn, CustomCell::Outlet::btnDelete);
    EXPECT_EQ(excludes(), defaultsExcluded + accepted.mid(0, accepted.size() - 1));
    removeAll(*excludeTable);
    QCoreApplication::processEvents();
    EXPECT_TRUE(excludes().isEmpty());
    EXPECT_TRUE(stored(SettingsKey::excludedFolders).isEmpty());

    // The same choice dropped, twice: the second time everything is there.
    alerts->shown.clear();
    dropOn(*box, chosen);
    QCoreApplication::processEvents();
    EXPECT_EQ(excludes(), accepted + QStringList { defaultsExcluded.front() });
    EXPECT_EQ(alerts->messages(), bothRefused);
    dropOn(*box, chosen);
    QCoreApplication::processEvents();
    EXPECT_EQ(excludes(), accepted + QStringList { defaultsExcluded.front() });
    removeAll(*excludeTable);
    QCoreApplication::processEvents();

    // The preferences' excluded folders: the choice its chooser hands over.
    // There a scan folder is found whatever its letter case.
    program.delegate().preferencesWindowController().showPreferencesWindow(QStringLiteral("excludedfolders"));
    QTableWidget* paneTable = nullptr;
    ASSERT_TRUE(waitUntil([&] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (auto* found = top->findChild<QTableWidget*>(QStringLiteral("tvExclude")); found && found->isVisible())
                paneTable = found;
        }
        return paneTable != nullptr;
    }));
    auto* pane = static_cast<ExcludeViewController*>(paneTable->parentWidget());
    alerts->shown.clear();
    pane->addFoldersToExclusion(chosen);
    const QStringList setAside = chosen.mid(refused.size() + edges.size(), chosenRows - 10);
    const QStringList paneAccepted = edges.mid(0, 2) + setAside + QStringList { defaultsExcluded.front() };
    EXPECT_EQ(excludes(), paneAccepted);
    EXPECT_EQ(paneTable->rowCount(), paneAccepted.size());
    EXPECT_EQ(alerts->messages(), QStringList { QStringLiteral("One or more items cannot be excluded") });
    paneTable->selectRow(0);
    click(pane->btnRemove);
    EXPECT_EQ(excludes(), paneAccepted.mid(1));
    EXPECT_EQ(paneTable->rowCount(), paneAccepted.size() - 1);
    pane->window()->close();

    // The protected folders: Add with a repeat in the choice, then the
    // assistant adds one more beside them and removes the first.
    tab("btnProtected");
    QStringList toProtect = numbered(data + QStringLiteral("/Kept"), "k", chosenRows - 1);
    toProtect << toProtect.first();
    alerts->shown.clear();
    panel->next = toProtect;
    click(homeScreen.findChild<QAbstractButton*>(QStringLiteral("btnAddPath")));
    QCoreApplication::processEvents();
    EXPECT_EQ(protects(), toProtect.mid(0, chosenRows - 1));
    EXPECT_EQ(alerts->messages(), QStringList { localizedText("ID_FOLDER_CANNOT_ADDED_PROTECTION_LIST") });
    EXPECT_EQ(stored(SettingsKey::protectedFolders), toProtect.mid(0, chosenRows - 1));

    ResultViewController& results = program.results();
    SelectAssistanceController& assistant = results.selectionController();
    auto* assistantPanel = new OneFolderChooser;
    assistant.setFolderChooser(std::unique_ptr<ProtectFolderChooser>(assistantPanel));
    auto group = std::make_shared<DuplicateGroup>();
    for (const QString& name : { QStringLiteral("a"), QStringLiteral("b") }) {
        auto file = std::make_shared<FileInfoNode>();
        file->filePath = scanned[0] + QLatin1Char('/') + name;
        file->fileName = name;
        file->fileSize = 1;
        addFileToGroup(group, file);
    }
    auto result = std::make_shared<ScanResult>();
    result->groups = { group };
    result->dupCount = 1;
    homeScreen.showResults(result);
    ASSERT_TRUE(waitUntil([&] { return results.isVisible(); }));
    if (auto* manually = results.findChild<QAbstractButton*>(QStringLiteral("btnSelectManually")))
        click(manually);
    click(results.findChild<QAbstractButton*>(QStringLiteral("btnSelectionAssitance")));
    click(assistant.btnProtectedFolderTab);
    alerts->shown.clear();
    assistantPanel->next = toProtect.first();
    click(assistant.btnBrowsePath);
    click(assistant.btnAddPath);
    EXPECT_EQ(alerts->messages(), QStringList { localizedText("ID_FOLDER_CANNOT_ADDED_PROTECTION_LIST") });
    const QString more = data + QStringLiteral("/Kept/one more");
    assistantPanel->next = more;
    click(assistant.btnBrowsePath);
    click(assistant.btnAddPath);
    EXPECT_EQ(protects(), toProtect.mid(0, chosenRows - 1) + QStringList { more });
    EXPECT_EQ(assistant.tblProtected->rowCount(), chosenRows);
    QTest::mouseClick(assistant.tblProtected->viewport(), Qt::LeftButton, {},
        assistant.tblProtected->visualItemRect(assistant.tblProtected->item(0, 0)).center());
    click(assistant.btnRemovePath);
    EXPECT_EQ(protects(), toProtect.mid(1, chosenRows - 2) + QStringList { more });
    EXPECT_EQ(assistant.tblProtected->rowCount(), chosenRows - 1);
    EXPECT_EQ(stored(SettingsKey::protectedFolders), protects());
    click(assistant.btnCancel);
    setAlertPresenter(nullptr);
}

// A list changed just before the program ends is written behind: the file
// holds it once the program has ended, while the settings store lives on.
TEST(ListsAtTheirBound, AListDroppedJustBeforeTheEndIsInTheFileWhenTheProgramHasEnded)
{
    TempHome home;
    const QString settings = home.configHome() + QStringLiteral("/Vellicor");
    UserDefaults defaults(settings);
    startApplicationCore(defaults);
    const QStringList scanned = numbered(home.path() + QStringLiteral("/data/A folder named at some length"), "s", scanRows);
    {
        AppComposition program(defaults);
        program.launch();
        MainViewController& homeScreen = program.home();
        click(homeScreen.findChild<QAbstractButton*>(QStringLiteral("btnInclue")));
        auto* box = homeScreen.findChild<DragDropBox*>();
        ASSERT_TRUE(box);
        dropOn(*box, scanned);
        ASSERT_EQ(pathsOf(homeScreen.lists().sources.scanList(ScanSource::thisComputer)), scanned);
    }
    // The file as it is now, read without waiting for any writer.
    QFile file(settings + QStringLiteral("/settings.json"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonValue saved = QJsonDocument::fromJson(file.readAll()).object().value(QLatin1String(SettingsKey::savedPaths));
    QStringList paths;
    for (const QVariant& record : SettingsFileBytes::decode(saved).value_or(QVariant()).toList())
        paths << record.toMap().value(QStringLiteral("path")).toString();
    EXPECT_EQ(paths, scanned);
}
