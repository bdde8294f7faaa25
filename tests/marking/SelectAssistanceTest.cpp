#include "base/UserDefaults.h"
#include "controls/CustomWindowNag.h"
#include "controls/IMGButton.h"
#include "controls/RAZButton.h"
#include "core/FileUtilities.h"
#include "core/Localization.h"
#include "core/SettingsSchema.h"
#include "marking/AutoMarkSheetWindows.h"
#include "marking/AutoMarking.h"
#include "marking/ResultsState.h"
#include "marking/SelectAssistanceController.h"
#include "scan/ScanSources.h"
#include "support/RecordingAlerts.h"
#include "support/TabReach.h"
#include "support/TempHome.h"

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDropEvent>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QListView>
#include <QMimeData>
#include <QTableWidget>
#include <QTest>
#include <QTimeZone>
#include <gtest/gtest.h>

namespace {

using Tab = SelectAssistanceController::Tab;

class FakeChooser : public ProtectFolderChooser {
public:
    explicit FakeChooser(QString* next)
        : next_(next)
    {
    }
    void chooseFolder(const QString&, std::function<void(const QString&)> done) override { done(*next_); }

private:
    QString* next_;
};

// The assistant with the program's own folder panel.
class AssistantPanel : public ::testing::Test {
protected:
    void SetUp() override
    {
        setAlertPresenter(alerts);
        selectedScanSource() = ScanSource::thisComputer;
    }
    void TearDown() override { setAlertPresenter(nullptr); }

    QStringList storedRuleNames() const
    {
        QStringList names;
        for (const QVariant& rule : defaults.arrayValue(QStringLiteral("autoMarkingRules")).value_or(QVariantList()))
            names.append(rule.toMap().value(QStringLiteral("ruleName")).toString());
        return names;
    }
    qsizetype storedFolderCount() const
    {
        return defaults.arrayValue(QStringLiteral("protectedFolders")).value_or(QVariantList()).size();
    }

    TempHome home;
    std::shared_ptr<RecordingAlerts> alerts = std::make_shared<RecordingAlerts>();
    QTemporaryDir folder;
    UserDefaults defaults { folder.path() };
    std::shared_ptr<ScanSources> store = std::make_shared<ScanSources>(defaults);
    ResultsState state { store };
    QWidget window;
    AutoMarkSheetWindows sheets { &window };
    AutoMarking marking { state, defaults, sheets };
    SelectAssistanceController assistant { state, *store, defaults, marking, &window };
};

// The same with a chooser that answers with nextFolder at once, its sheet
// open.
class Assistant : public AssistantPanel {
protected:
    void SetUp() override
    {
        AssistantPanel::SetUp();
        assistant.setFolderChooser(std::make_unique<FakeChooser>(&nextFolder));
        assistant.openSheet();
    }
    void add(const QString& folder)
    {
        nextFolder = folder;
        assistant.btnbrowseProtectPathTapped();
        assistant.btnAddProtectPathTapped();
    }

    QString nextFolder;
};

TEST_F(Assistant, ThePriorityTablesAreTitledAndUpDownWorkOnTheirFirstRowAtOnce)
{
    state.fileFormatPriorityList = { "jpg", "png", "heic" };
    state.folderPriorityList = { "/a", "/b" };
    assistant.openSheet();
    const std::pair<QTableWidget*, QString> titled[]
        = { { assistant.tblGeneral, "ID_PRIORITY_OPTIONS" }, { assistant.tblFileFormat, "ID_FILE_EXTENSION" },
              { assistant.tblFolder, "ID_FOLDER_CONTAING_DUPLICATE_FILES" } };
    for (const auto& [table, key] : titled) {
        const int column = table->columnCount() - 1;
        ASSERT_NE(table->horizontalHeaderItem(column), nullptr) << key.toStdString();
        EXPECT_EQ(table->horizontalHeaderItem(column)->text(), localizedText(key));
        EXPECT_FALSE(table->horizontalHeader()->isHidden()) << key.toStdString();
    }

    // Down at once after the opening moves the top rule.
    assistant.btnDown->click();
    EXPECT_EQ(storedRuleNames(), QStringList({ "FileCreated", "DateModified", "Folder", "FileSize", "FileFormat" }));

    // Each tab the user switches to starts on its first row.
    assistant.btnFileFormatTab->click();
    assistant.btnDown->click();
    EXPECT_EQ(state.fileFormatPriorityList, QStringList({ "png", "jpg", "heic" }));
    assistant.btnFoldersTab->click();
    assistant.btnDown->click();
    EXPECT_EQ(state.folderPriorityList, QStringList({ "/b", "/a" }));
    assistant.btnGeneralTab->click();
    assistant.btnUp->click(); // the top row: nothing moves
    assistant.btnDown->click();
    EXPECT_EQ(storedRuleNames(), QStringList({ "DateModified", "FileCreated", "Folder", "FileSize", "FileFormat" }));
}

// The sheet by keyboard alone: Tab and Shift+Tab go once round its controls
// in the order they stand, each list one stop that shows it has the keys; the
// arrows choose a list's row, Space switches the chosen rule, and ▲ and ▼
// move the row chosen.
TEST_F(Assistant, TheKeyboardGoesRoundTheSheetAndMovesTheRowItChose)
{
    state.fileFormatPriorityList = { "jpg", "png", "heic" };
    assistant.openSheet();
    ASSERT_TRUE(QTest::qWaitForWindowActive(assistant.window));
    ASSERT_EQ(QApplication::focusWidget(), assistant.btnMark);
    const auto press = [](Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    };
    const auto tabTo = [&](QWidget* target) {
        for (int i = 0; i < 30 && QApplication::focusWidget() != target; ++i)
            press(Qt::Key_Tab);
        return QApplication::focusWidget() == target;
    };
    // From Mark round to it again: the names of the stops between, each of
    // which drew itself otherwise while it had the keys.
    const auto round = [&](bool backwards) {
        QStringList stops;
        for (int i = 0; i < 30; ++i) {
            backwards ? press(Qt::Key_Backtab, Qt::ShiftModifier) : press(Qt::Key_Tab);
            QWidget* at = QApplication::focusWidget();
            if (!at || at == assistant.btnMark)
                break;
            stops << at->objectName();
            const QImage focused = drawnLook(at);
            at->clearFocus();
            EXPECT_NE(drawnLook(at), focused) << at->objectName().toStdString() << " shows no focus";
            at->setFocus(Qt::TabFocusReason);
        }
        EXPECT_EQ(QApplication::focusWidget(), assistant.btnMark) << "Tab never came round";
        return stops;
    };
    const QStringList tabs { "btnGeneralTab", "btnProtectedFolderTab", "btnFileFormatTab", "btnFoldersTab" };
    QStringList general = tabs + QStringList { "tblGeneral", "btnUp", "btnDown", "btnResetPriority", "btnCancel" };
    EXPECT_EQ(round(false), general);
    std::reverse(general.begin(), general.end());
    EXPECT_EQ(round(true), general);

    // The third rule chosen by the arrows, switched on by Space, moved down by ▼.
    ASSERT_TRUE(tabTo(assistant.tblGeneral));
    press(Qt::Key_Down);
    press(Qt::Key_Down);
    EXPECT_EQ(assistant.tblGeneral->currentRow(), 2);
    press(Qt::Key_Space);
    EXPECT_EQ(defaults.arrayValue(QStringLiteral("autoMarkingRules"))->at(2).toMap().value(QStringLiteral("state")),
        QVariant(1));
    ASSERT_TRUE(tabTo(assistant.btnDown));
    press(Qt::Key_Space);
    EXPECT_EQ(storedRuleNames(), QStringList({ "DateModified", "FileCreated", "FileSize", "Folder", "FileFormat" }));
    // Back in the list the moved rule is still the chosen one.
    press(Qt::Key_Backtab, Qt::ShiftModifier);
    press(Qt::Key_Backtab, Qt::ShiftModifier);
    ASSERT_EQ(QApplication::focusWidget(), assistant.tblGeneral);
    EXPECT_EQ(assistant.tblGeneral->currentRow(), 3);

    // The formats' list the same way.
    ASSERT_TRUE(tabTo(assistant.btnFileFormatTab));
    press(Qt::Key_Space);
    ASSERT_TRUE(tabTo(assistant.tblFileFormat));
    press(Qt::Key_Down);
    press(Qt::Key_Down);
    ASSERT_TRUE(tabTo(assistant.btnUp));
    press(Qt::Key_Space);
    EXPECT_EQ(state.fileFormatPriorityList, QStringList({ "jpg", "heic", "png" }));

    // The protected folders: the controls over the list, then the list.
    add(QStringLiteral("/photos/keep"));
    add(QStringLiteral("/photos/also"));
    ASSERT_TRUE(tabTo(assistant.btnProtectedFolderTab));
    press(Qt::Key_Space);
    ASSERT_TRUE(tabTo(assistant.btnMark));
    const QStringList guarded { "btnBrowsePath", "btnIncludeSubFolder", "tblProtected", "btnResetPriority", "btnCancel" };
    EXPECT_EQ(round(false), tabs + guarded);
    ASSERT_TRUE(tabTo(assistant.tblProtected));
    press(Qt::Key_Down);
    ASSERT_TRUE(assistant.btnRemovePath->isEnabled()) << "a row chosen by the keys can be removed";
    ASSERT_TRUE(tabTo(assistant.btnRemovePath));
    press(Qt::Key_Space);
    ASSERT_EQ(store->protectList(ScanSource::thisComputer).size(), 1u);
    EXPECT_EQ(store->protectList(ScanSource::thisComputer).front()->filePath, QStringLiteral("/photos/keep"));
}

// Space held down on a rule's row repeats its key: the rule is switched once,
// as a check box held down is, not on and off for as long as the key is held.
TEST_F(Assistant, SpaceHeldDownOnARuleSwitchesItOnce)
{
    ASSERT_TRUE(QTest::qWaitForWindowActive(assistant.window));
    QTableWidget* rules = assistant.tblGeneral;
    rules->setFocus(Qt::TabFocusReason);
    QTest::keyClick(rules, Qt::Key_Down);
    QTest::keyClick(rules, Qt::Key_Down);
    ASSERT_EQ(rules->currentRow(), 2);
    // The rules are stored once changed.
    const auto state = [&] {
        const QVariantList stored = defaults.arrayValue(QStringLiteral("autoMarkingRules")).value_or(QVariantList());
        return stored.size() > 2 ? stored[2].toMap().value(QStringLiteral("state")).toInt() : -1;
    };
    const bool wasOn = static_cast<QCheckBox*>(rules->cellWidget(2, 0))->isChecked();
    // As the keyboard sends a held key: a press, then repeated releases and
    // presses, then the last release.
    const auto send = [rules](QEvent::Type type, bool repeated) {
        QKeyEvent event(type, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), repeated);
        QApplication::sendEvent(rules, &event);
    };
    send(QEvent::KeyPress, false);
    for (int repeat = 0; repeat < 5; ++repeat) {
        send(QEvent::KeyRelease, true);
        send(QEvent::KeyPress, true);
    }
    send(QEvent::KeyRelease, false);
    EXPECT_EQ(state(), wasOn ? 0 : 1);
}

TEST_F(Assistant, ToggleStoresZeroAndResetBringsBackTheDefaults)
{
    assistant.btnCheckUnCheckTapped(1, false);
    const QVariantList stored = *defaults.arrayValue(QStringLiteral("autoMarkingRules"));
    EXPECT_EQ(stored[1].toMap().value(QStringLiteral("state")), QVariant(0));
    EXPECT_EQ(storedRuleNames(), QStringList({ "DateModified", "FileCreated", "Folder", "FileSize", "FileFormat" }));

    state.fileFormatPriorityList = { "png", "jpg" };
    state.defaultFileFormatPriorityList = { "jpg", "png" };
    defaults.setValue(QStringLiteral("autoMarkingRules"), QVariantList { 7 });
    assistant.btnResetPriorityTapped();
    EXPECT_EQ(*defaults.arrayValue(QStringLiteral("autoMarkingRules")), defaultAutoMarkingRules());
    EXPECT_EQ(assistant.arrAutoMarkRuoles()[2].toMap().value(QStringLiteral("state")), QVariant(false));
    EXPECT_EQ(state.fileFormatPriorityList, QStringList({ "jpg", "png" }));
}

TEST_F(Assistant, FolderFlagOnlyByUpDownInTheFolderTable)
{
    state.folderPriorityList = { "/a", "/b" };
    state.fileFormatPriorityList = { "jpg", "png" };
    assistant.openSheet();

    assistant.segmentClicked(Tab::fileFormats);
    assistant.selectRow(Tab::fileFormats, 0);
    assistant.btnUpDownTapped(+1);
    assistant.segmentClicked(Tab::folders);
    assistant.acceptDrop({ "0" }, 2);
    EXPECT_EQ(state.fileFormatPriorityList, QStringList({ "png", "jpg" }));
    EXPECT_EQ(state.folderPriorityList, QStringList({ "/b", "/a" }));
    EXPECT_FALSE(state.isFolderPriorityUpdate);

    assistant.selectRow(Tab::folders, 1);
    assistant.btnUpDownTapped(-1);
    EXPECT_EQ(state.folderPriorityList, QStringList({ "/a", "/b" }));
    EXPECT_TRUE(state.isFolderPriorityUpdate);
}

TEST_F(Assistant, EntriesThatAreNoRulesAndBadDropsAreLeftAlone)
{
    const QVariantList odd { QStringLiteral("junk"), makeAutoMarkingRule("FileSize", "Size", true, 0) };
    defaults.setValue(QStringLiteral("autoMarkingRules"), odd);
    // Stored after the window was made: the next opening reads it.
    assistant.openSheet();

    assistant.btnCheckUnCheckTapped(0, false);
    assistant.selectRow(Tab::general, 0);
    assistant.btnUpDownTapped(+1);
    assistant.acceptDrop({ "0" }, 2);
    EXPECT_EQ(assistant.arrAutoMarkRuoles(), odd);
    EXPECT_TRUE(assistant.tblGeneral->item(0, 1)->text().isEmpty());
    EXPECT_EQ(assistant.tblGeneral->cellWidget(0, 0), nullptr);

    for (const QStringList& texts : { QStringList { "5" }, QStringList { "-1" }, QStringList { "x" } })
        assistant.acceptDrop(texts, 0);
    assistant.acceptDrop({ "1" }, 9);
    EXPECT_EQ(assistant.arrAutoMarkRuoles(), odd);
    // A number out of range does not shift where the next one goes.
    assistant.acceptDrop({ "5", "1" }, 0);
    EXPECT_EQ(assistant.arrAutoMarkRuoles(), (QVariantList { odd[1], odd[0] }));
}

TEST_F(Assistant, DraggedRuleGoesBelowTheLastRowOrAboveTheFirst)
{
    QTableWidget* table = assistant.tblGeneral;
    const auto drag = [&](int fromRow, QPoint to) {
        QMimeData mime;
        mime.setData(QStringLiteral("private.table-row"), QByteArray::number(fromRow));
        // The enter makes the table the drag's target, which the later events go to.
        QDragEnterEvent enter(to, Qt::MoveAction, &mime, Qt::LeftButton, {});
        enter.setDropAction(Qt::MoveAction);
        QCoreApplication::sendEvent(table->viewport(), &enter);
        QDragMoveEvent move(to, Qt::MoveAction, &mime, Qt::LeftButton, {});
        move.setDropAction(Qt::MoveAction);
        QCoreApplication::sendEvent(table->viewport(), &move);
        QDropEvent drop(to, Qt::MoveAction, &mime, Qt::LeftButton, {});
        drop.setDropAction(Qt::MoveAction);
        QCoreApplication::sendEvent(table->viewport(), &drop);
        return drop.isAccepted();
    };
    EXPECT_TRUE(drag(0, QPoint(40, table->viewport()->height() - 4)));
    EXPECT_EQ(storedRuleNames(), QStringList({ "FileCreated", "Folder", "FileSize", "FileFormat", "DateModified" }));
    EXPECT_TRUE(drag(4, table->visualRect(table->model()->index(0, 1)).topLeft() + QPoint(20, 2)));
    EXPECT_EQ(assistant.arrAutoMarkRuoles(), defaultAutoMarkingRules());
}

TEST_F(Assistant, AddingTwiceAlertsAndKeepsOneEntry)
{
    add(QStringLiteral("/photos/keep"));
    EXPECT_FALSE(assistant.btnAddPath->isEnabled());
    EXPECT_TRUE(assistant.lblBrowsedPath->text().isEmpty());
    EXPECT_EQ(storedFolderCount(), 1);

    add(QStringLiteral("/photos/keep"));
    EXPECT_FALSE(assistant.btnAddPath->isEnabled());
    EXPECT_EQ(
        alerts->messages(), QStringList { localizedText(QStringLiteral("ID_FOLDER_CANNOT_ADDED_PROTECTION_LIST")) });
    EXPECT_EQ(store->protectList(ScanSource::thisComputer).size(), 1u);
    EXPECT_EQ(storedFolderCount(), 1);
    EXPECT_EQ(assistant.tblProtected->item(0, 1)->text(), localizedText(QStringLiteral("ID_YES")));
}

// Through the program's own folder panel: a Browse in which another folder
// was highlighted and then cancelled leaves the folder shown, and Add
// protects that one.
TEST_F(AssistantPanel, ACancelledBrowseLeavesTheShownFolderToBeAdded)
{
    QTemporaryDir folders;
    for (const char* name : { "A", "B" })
        ASSERT_TRUE(QDir(folders.path()).mkdir(QString::fromLatin1(name)));
    assistant.openSheet();
    assistant.segmentClicked(SelectAssistanceController::Tab::protectedFolders);
    // Browse, then the user's click on a folder of the panel's list.
    const auto browseAndHighlight = [&](const QString& name) -> QFileDialog* {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        assistant.btnBrowsePath->click();
        auto* panel = assistant.window->findChild<QFileDialog*>(QStringLiteral("folderChooser"));
        if (!panel)
            return nullptr;
        panel->setDirectory(folders.path());
        auto* list = panel->findChild<QListView*>(QStringLiteral("listView"));
        QModelIndex row;
        const bool listed = QTest::qWaitFor([&] {
            const QModelIndex first = list->model()->index(0, 0, list->rootIndex());
            const QModelIndexList found = first.isValid()
                ? list->model()->match(first, Qt::DisplayRole, name, 1, Qt::MatchExactly)
                : QModelIndexList();
            row = found.value(0);
            return row.isValid();
        });
        if (!listed)
            return nullptr;
        list->setCurrentIndex(row);
        return panel;
    };
    const QString a = folders.filePath(QStringLiteral("A"));

    QFileDialog* panel = browseAndHighlight(QStringLiteral("A"));
    ASSERT_NE(panel, nullptr);
    ASSERT_EQ(panel->selectedFiles(), QStringList { a });
    static_cast<QDialog*>(panel)->accept(); // the panel's own Add
    ASSERT_EQ(assistant.lblBrowsedPath->text(), a);

    panel = browseAndHighlight(QStringLiteral("B"));
    ASSERT_NE(panel, nullptr);
    ASSERT_EQ(panel->selectedFiles(), QStringList { folders.filePath(QStringLiteral("B")) });
    panel->reject();
    EXPECT_EQ(assistant.lblBrowsedPath->text(), a);

    assistant.btnAddPath->click();
    const std::vector<FilePathNodePtr>& rows = store->protectList(ScanSource::thisComputer);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows.front()->filePath, a);
}

TEST_F(Assistant, TrashFoldersAreRefused)
{
    for (const QString& path : { home.dataHome() + "/Trash/files/old", QStringLiteral("/media/usb/.Trash-1000"),
             QStringLiteral("/.Trash/0/files"), QStringLiteral("/mnt/disk/.Trash/1000") }) {
        alerts->shown.clear();
        add(path);
        EXPECT_EQ(alerts->messages(), QStringList { localizedText(QStringLiteral("ID_CANT_ADD_BIN_FOLDER")) })
            << path.toStdString();
    }
    EXPECT_TRUE(store->protectList(ScanSource::thisComputer).empty());
    EXPECT_FALSE(isTrashFolder(QStringLiteral("/home/ana/Trash-notes")));
}

TEST_F(Assistant, RemovingTheLastEntryProtectsNothing)
{
    auto node = std::make_shared<FileInfoNode>();
    node->folderPath = QStringLiteral("/photos/keep");
    auto group = std::make_shared<DuplicateGroup>();
    addFileToGroup(group, node);
    state.loadResultSet({ group }, 0, ScanSource::thisComputer);
    add(QStringLiteral("/photos/keep"));
    ASSERT_TRUE(state.isFileProtected(*node));

    assistant.segmentClicked(Tab::protectedFolders);
    assistant.selectRow(Tab::protectedFolders, 0);
    assistant.btnRemoveProtectPathTapped();
    EXPECT_FALSE(state.isFileProtected(*node));
    EXPECT_EQ(assistant.tblProtected->rowCount(), 0);
    EXPECT_FALSE(assistant.btnRemovePath->isEnabled());
    EXPECT_EQ(storedFolderCount(), 0);
}

// A folder whose name holds a line break, chosen by Browse and added by the
// user's clicks: the sheet shows its name on one line, escaped, and the
// folder itself is protected, never the text shown. The folder priority list
// of such a folder shows it escaped as well.
TEST_F(Assistant, AFolderWithALineBreakInItsNameIsProtectedUnderItsRealPath)
{
    const QString real = home.path() + QStringLiteral("/keep\nthis\u202Egpj.exe");
    ASSERT_TRUE(QDir().mkpath(real));
    auto node = std::make_shared<FileInfoNode>();
    node->fileName = QStringLiteral("f.jpg");
    node->folderPath = real;
    node->filePath = real + QStringLiteral("/f.jpg");
    auto group = std::make_shared<DuplicateGroup>();
    addFileToGroup(group, node);
    state.loadResultSet({ group }, 0, ScanSource::thisComputer);
    state.folderPriorityList = { real };
    assistant.openSheet();
    QTest::mouseClick(assistant.btnFoldersTab, Qt::LeftButton);
    ASSERT_EQ(assistant.tblFolder->rowCount(), 1);
    EXPECT_EQ(assistant.tblFolder->item(0, 0)->text(), printablePath(real));

    QTest::mouseClick(assistant.btnProtectedFolderTab, Qt::LeftButton);
    nextFolder = real;
    QTest::mouseClick(assistant.btnBrowsePath, Qt::LeftButton);
    EXPECT_EQ(assistant.lblBrowsedPath->text(), printablePath(real));
    EXPECT_FALSE(assistant.lblBrowsedPath->text().contains(QLatin1Char('\n')));
    ASSERT_TRUE(assistant.btnAddPath->isEnabled());
    QTest::mouseClick(assistant.btnAddPath, Qt::LeftButton);

    const std::vector<FilePathNodePtr>& rows = store->protectList(ScanSource::thisComputer);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows.front()->filePath, real);
    EXPECT_TRUE(state.isFileProtected(*node));
    ASSERT_EQ(assistant.tblProtected->rowCount(), 1);
    EXPECT_EQ(assistant.tblProtected->item(0, 0)->text(), printablePath(real));
    EXPECT_EQ(storedFolderCount(), 1);

    // The same folder again is the same folder: told, not added twice.
    QTest::mouseClick(assistant.btnBrowsePath, Qt::LeftButton);
    QTest::mouseClick(assistant.btnAddPath, Qt::LeftButton);
    EXPECT_EQ(
        alerts->messages(), QStringList { localizedText(QStringLiteral("ID_FOLDER_CANNOT_ADDED_PROTECTION_LIST")) });
    EXPECT_EQ(store->protectList(ScanSource::thisComputer).size(), 1u);
}

TEST_F(Assistant, MarkRunsWithTheMovedRuleOrder)
{
    // The newer copy is small, the older one large: the top rule decides.
    const auto file = [](const char* name, int minutes, quint64 size) {
        auto node = std::make_shared<FileInfoNode>();
        node->fileName = QString::fromLatin1(name);
        node->folderPath = QStringLiteral("/d");
        node->filePath = QStringLiteral("/d/") + name;
        node->fileSize = size;
        node->modDate = QDateTime::fromSecsSinceEpoch(1700000000 + minutes * 60, QTimeZone::utc());
        return node;
    };
    const FileInfoNodePtr newer = file("new.jpg", 50, 100), larger = file("big.jpg", 10, 900);
    auto group = std::make_shared<DuplicateGroup>();
    addFileToGroup(group, newer);
    addFileToGroup(group, larger);
    state.loadResultSet({ group }, 1, ScanSource::thisComputer);

    assistant.selectRow(Tab::general, 0);
    assistant.btnUpDownTapped(+1);
    EXPECT_EQ(storedRuleNames(), QStringList({ "FileCreated", "DateModified", "Folder", "FileSize", "FileFormat" }));
    assistant.btnUpDownTapped(+1);
    assistant.btnUpDownTapped(+1);
    assistant.btnMarkTapped();
    EXPECT_FALSE(assistant.isOpen());
    marking.waitForWorkers();
    QCoreApplication::processEvents();
    EXPECT_TRUE(newer->isMarked());
    EXPECT_FALSE(larger->isMarked());
}

} // namespace
