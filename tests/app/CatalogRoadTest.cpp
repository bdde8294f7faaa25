// The photo catalog's road through the real screens: choose the source and
// the catalog's folder, Scan Now, mark a copy and Remove it, all without the
// internet; and a folder that holds no catalog refused with a reason.
#include "app/AppComposition.h"
#include "base/UserDefaults.h"
#include "cleanup/AfterCleanSheets.h"
#include "cleanup/CleanupController.h"
#include "cleanup/TrashSheets.h"
#include "cloud/LightroomCloudHandler.h"
#include "controls/CustomTableView.h"
#include "controls/IMGButton.h"
#include "core/AppStartup.h"
#include "core/Localization.h"
#include "core/TextFormat.h"
#include "home/LocationLists.h"
#include "home/MainViewController.h"
#include "platform/ReachabilityTest.h"
#include "results/ResultViewController.h"
#include "scan/PrivateDatabaseCopy.h"
#include "scan/ScanSources.h"
#include "support/FixedProbe.h"
#include "support/PanelChooser.h"
#include "support/RecordingAlerts.h"
#include "support/ResultsRows.h"
#include "support/SqlScript.h"
#include "support/TestFiles.h"
#include "support/TempHome.h"
#include "support/UserClicks.h"
#include "support/TreeBuilder.h"
#include "support/WaitUntil.h"

#include "RoadHelpers.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextDocumentFragment>
#include <QThread>

#include <atomic>
#include <functional>

#include <gtest/gtest.h>

namespace {

int catalogFiles(const QString& catalog)
{
    sqlite3* db = nullptr;
    sqlite3_stmt* stmt = nullptr;
    sqlite3_open(QFile::encodeName(catalog).constData(), &db);
    sqlite3_prepare_v2(db, "SELECT count(*) FROM AgLibraryFile", -1, &stmt, nullptr);
    const int value = sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int(stmt, 0) : -1;
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return value;
}

// The program offline, with a catalog of two equal pictures in its own
// folder; the photo catalog chosen as the source.
class CatalogRoad : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The catalog is read from a copy in the cache, which keeps room on
        // its disk.
        if (const QString lack = lackOfRoomFor(PrivateDatabaseCopy::spareRoom + 64ull * 1024 * 1024); !lack.isEmpty())
            GTEST_SKIP() << lack.toStdString();
        tree.file(QStringLiteral("Photos/a.jpg"), QByteArray(3000, 'a'));
        tree.file(QStringLiteral("Photos/copy.jpg"), QByteArray(3000, 'a'));
        catalogFolder = tree.folder(QStringLiteral("Catalog"));
        catalog = catalogFolder + QStringLiteral("/Photos.lrcat");
        runSqlScript(catalog,
            QStringLiteral(
                "CREATE TABLE AgLibraryRootFolder (id_local INTEGER PRIMARY KEY, absolutePath TEXT);"
                "CREATE TABLE AgLibraryFolder (id_local INTEGER PRIMARY KEY, rootFolder INTEGER, pathFromRoot TEXT);"
                "CREATE TABLE AgLibraryFile (id_local INTEGER PRIMARY KEY, folder INTEGER, originalFilename TEXT);"
                "CREATE TABLE Adobe_images (id_local INTEGER PRIMARY KEY, rootFile INTEGER);"
                "INSERT INTO AgLibraryRootFolder VALUES (1, '%1/');"
                "INSERT INTO AgLibraryFolder VALUES (10, 1, '');"
                "INSERT INTO AgLibraryFile VALUES (100, 10, 'a.jpg'), (101, 10, 'copy.jpg');"
                "INSERT INTO Adobe_images VALUES (1000, 100), (1001, 101);")
                .arg(tree.path(QStringLiteral("Photos"))));

        startApplicationCore(defaults);
        setNetworkReachabilityProbe(std::make_shared<FixedProbe>(false));
        program = std::make_unique<AppComposition>(defaults, [this](ScanSource source) -> std::unique_ptr<ScanWrapper> {
            if (source != ScanSource::lightroomCatalog)
                return nullptr;
            return catalogHandler();
        });
        program->launch();
        setAlertPresenter(alerts);
        panel = new PanelChooser;
        program->home().setFolderChooser(std::unique_ptr<FolderChooser>(panel));
        program->home().engine().setEndOfScanPauses(0, 0);
    }
    void TearDown() override
    {
        program.reset();
        setNetworkReachabilityProbe(nullptr);
        setAlertPresenter(nullptr);
        selectedScanSource() = ScanSource::thisComputer;
    }
    virtual std::unique_ptr<ScanWrapper> catalogHandler() { return std::make_unique<LightroomCloudHandler>(catalog); }
    // Chooses the catalog in the source pop-up; its folder panel opens at
    // once and gives folder.
    void chooseCatalogSource(const QString& folder)
    {
        panel->next = { folder };
        auto* popUp = program->home().findChild<QComboBox*>(QStringLiteral("btnScanMode"));
        const int item = popUp->findData(scanSourceTag(ScanSource::lightroomCatalog));
        popUp->setCurrentIndex(item);
        emit popUp->activated(item);
    }
    // Scans the catalog, marks copy.jpg and confirms its removal; atQuestion
    // sees the question first.
    void scanAndRemoveTheCopy(const std::function<void()>& atQuestion = {})
    {
        chooseCatalogSource(catalogFolder);
        ASSERT_EQ(program->home().lists().scanListForSource().size(), 1u) << alerts->messages().join(',').toStdString();

        click(program->home().scanNowButton());
        ResultViewController& results = program->results();
        ASSERT_TRUE(waitUntil([&] { return results.isVisible(); }, 30000))
            << alerts->messages().join(',').toStdString();
        click(titled("ID_SELECT_MANUALLY"));
        CustomTableView& table = *results.tblDuplicates();
        QAbstractItemModel& list = *table.model();
        ASSERT_EQ(list.rowCount(), 2);
        for (int row = 0; row < 2; ++row) {
            if (list.index(row, 0)
                    .data(CustomCell::roleOf(CustomCell::Outlet::lblFilePath))
                    .toString()
                    .endsWith("copy.jpg"))
                clickCheckBox(table, list.index(row, 0));
        }
        click(results.findChild<QAbstractButton*>(QStringLiteral("btnTrash")));
        if (atQuestion)
            atQuestion();
        click(titled("ID_REMOVE_FROM_CATALOG"));
    }

    TreeBuilder tree;
    TempHome home;
    UserDefaults defaults { home.configHome() + QStringLiteral("/Vellicor") };
    std::shared_ptr<RecordingAlerts> alerts = std::make_shared<RecordingAlerts>();
    std::unique_ptr<AppComposition> program;
    PanelChooser* panel = nullptr;
    QString catalogFolder;
    QString catalog;
};

} // namespace

// A scan and a clean-up of the catalog need no internet. The catalog loses
// its entry and the picture stays, for good: the results, the question and
// the after-clean window say only that, of the one file in the singular;
// nothing speaks of the Trash or of space freed, and no undo is offered.
TEST_F(CatalogRoad, ScanAndCleanUpNeedNoInternet)
{
    TrashSheets& question = program->results().trashSheets();
    ResultViewController& results = program->results();
    auto* undo = results.findChild<QAbstractButton*>(QStringLiteral("btnUndo"));
    const auto plain = [&](const char* label) {
        return QTextDocumentFragment::fromHtml(results.findChild<QLabel*>(QString::fromLatin1(label))->text())
            .toPlainText()
            .toStdString();
    };
    scanAndRemoveTheCopy([&] {
        EXPECT_EQ(plain("lblSpaceToBeSaved"), "Stays on disk: 3.00 KB");
        EXPECT_EQ(plain("lblSpaceSavedOnPie"), "3.00 KB");
        EXPECT_EQ(plain("lblSpaceSavedChart"), "Stays on disk");
        EXPECT_FALSE(undo->isEnabled());
        ASSERT_TRUE(question.windowTrashConfirmation()->isVisible());
        EXPECT_EQ(
            question.lblAreYouSureToDeleteHeading->text().toStdString(), "Remove the marked file from the catalog?");
        EXPECT_EQ(question.lblAreYouSureToDeleteInfo->text().toStdString(),
            "Only the catalog's entry of this file is removed: the file stays on disk, and this cannot be undone.");
        EXPECT_EQ(question.btnTrashOnReview->text().toStdString(), localizedText("ID_REMOVE_FROM_CATALOG").toStdString());
    });
    if (HasFatalFailure())
        return;
    ASSERT_TRUE(waitUntil([&] { return catalogFiles(catalog) == 1; }, 30000))
        << alerts->messages().join(',').toStdString();
    EXPECT_FALSE(alerts->messages().contains(localizedText("ID_INTERNET_NOT_AVILABLE")));
    AfterCleanSheets& after = program->results().afterCleanSheets();
    ASSERT_TRUE(waitUntil([&] { return after.windowAfterClean()->isVisible(); }, 30000))
        << alerts->messages().join(',').toStdString();
    EXPECT_EQ(after.lblTotalDupsCleaned->text().toStdString(),
        formatText(localizedText("ID_DUPLICATE_FILE_REMOVED_FROM_CATALOG_COUNT"), { 1 }).toStdString());
    EXPECT_EQ(after.lblSpaceRemoved->text().toStdString(), localizedText("ID_SPACE_STILL_ON_DISK").toStdString());
    EXPECT_EQ(after.lblInCaseMistake->text().toStdString(),
        "Only the catalog's entry of this file was removed: the file stays on disk, and this cannot be undone.");
    // Only the entry went: the picture stays on disk.
    EXPECT_TRUE(QFile::exists(tree.path(QStringLiteral("Photos/copy.jpg"))));
    click(after.btnOkTrash);
    // The catalog's removal cannot be undone, so Undo is not offered, nor
    // is the entry kept for an undo of a later result set.
    EXPECT_FALSE(undo->isEnabled());
    EXPECT_TRUE(results.cleanup().arrNodesToBeRestoredLocal().empty());
    EXPECT_EQ(plain("lblSpaceToBeSaved"), "Stays on disk: 0 bytes");
}

// The photo application has the catalog open: nothing is removed, and the
// after-clean window says so, and why, without claiming an entry went.
TEST_F(CatalogRoad, ACatalogInUseRemovesNothingAndTheWindowSaysSo)
{
    QFile lock(catalog + QStringLiteral(".lock"));
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.close();
    scanAndRemoveTheCopy();
    if (HasFatalFailure())
        return;
    AfterCleanSheets& after = program->results().afterCleanSheets();
    ASSERT_TRUE(waitUntil([&] { return after.windowAfterClean()->isVisible(); }, 30000))
        << alerts->messages().join(',').toStdString();
    EXPECT_EQ(catalogFiles(catalog), 2);
    EXPECT_EQ(after.lblInCaseMistake->text().toStdString(),
        "Nothing was removed from the catalog: its entries and the files stay as they were.");
    EXPECT_TRUE(after.txtNotRemoved->isVisible());
    EXPECT_TRUE(after.txtNotRemoved->toPlainText().contains(QStringLiteral("the photo catalog is in use")))
        << after.txtNotRemoved->toPlainText().toStdString();
    shot(after.windowAfterClean(), QStringLiteral("catalog-in-use-after-clean"));
    click(after.btnOkTrash);
}

TEST_F(CatalogRoad, AFolderWithoutTheCatalogIsRefusedWithWhereItIsRead)
{
    chooseCatalogSource(tree.path(QStringLiteral("Photos")));
    EXPECT_TRUE(program->home().lists().scanListForSource().empty());
    ASSERT_EQ(alerts->shown.size(), 1u);
    EXPECT_EQ(alerts->shown[0].messageText, localizedText("ID_NO_PHOTO_CATALOG_IN_FOLDER"));
    EXPECT_TRUE(alerts->shown[0].informativeText.contains(catalog)) << alerts->shown[0].informativeText.toStdString();

    // The folder that holds it is taken, and so is one above it.
    panel->next = { tree.root() };
    click(program->home().findChild<QAbstractButton*>(QStringLiteral("btnAddPath")));
    EXPECT_EQ(program->home().lists().scanListForSource().size(), 1u);
    EXPECT_EQ(alerts->shown.size(), 1u);
}

namespace {

// What a held catalog handler went through, kept apart from the handler so
// that it can still be read once the handler has gone.
struct HeldRemoval {
    std::atomic<bool> entered { false };
    std::atomic<bool> left { false };
    std::atomic<bool> handlerGone { false };
    std::atomic<bool> goneWhileRemoving { false };
};

// The catalog's handler, whose removal holds its worker until the worker is
// asked to stop, as a slow catalog or service would; it tells whether it was
// destroyed while a worker was still inside it.
class HeldCatalogHandler : public LightroomCloudHandler {
public:
    HeldCatalogHandler(const QString& catalog, std::shared_ptr<HeldRemoval> held)
        : LightroomCloudHandler(catalog)
        , held_(std::move(held))
    {
    }
    ~HeldCatalogHandler() override
    {
        if (held_->entered && !held_->left)
            held_->goneWhileRemoving = true;
        held_->handlerGone = true;
    }
    bool deleteCloudFile(const FileInfoNodePtr&) override
    {
        const std::shared_ptr<HeldRemoval> held = held_;
        held->entered = true;
        waitUntilInterrupted();
        // Gone meanwhile: nothing of it may be touched any more.
        if (held->handlerGone)
            return true;
        held->left = true;
        return false;
    }

private:
    static void waitUntilInterrupted()
    {
        QElapsedTimer clock;
        clock.start();
        while (!QThread::currentThread()->isInterruptionRequested() && clock.elapsed() < 20000)
            QThread::msleep(5);
    }

    std::shared_ptr<HeldRemoval> held_;
};

class CatalogRoadHeld : public CatalogRoad {
protected:
    std::unique_ptr<ScanWrapper> catalogHandler() override
    {
        return std::make_unique<HeldCatalogHandler>(catalog, held);
    }

    std::shared_ptr<HeldRemoval> held = std::make_shared<HeldRemoval>();
};

} // namespace

// The program going while a catalog entry is being removed (a test's end, a
// window closed under the removal) ends the removal's worker before the
// handler it works through.
TEST_F(CatalogRoadHeld, TheProgramEndsItsRemovalBeforeTheCatalogHandler)
{
    scanAndRemoveTheCopy();
    if (HasFatalFailure())
        return;
    ASSERT_TRUE(waitUntil([&] { return held->entered.load(); }, 30000)) << alerts->messages().join(',').toStdString();
    program.reset();
    EXPECT_TRUE(held->handlerGone);
    EXPECT_FALSE(held->goneWhileRemoving);
}
