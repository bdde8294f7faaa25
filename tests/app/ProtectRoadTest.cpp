// Every way of adding a protected folder, for every source, protects it: the
// home screen's Protect tab (its folder panel, or the cloud folder picker), a
// drop on the home screen, and the selection assistant's Browse and Add. Each
// way is followed by a result set of that source, in which the user's click
// on the check box of a file inside the folder asks first and leaves the file
// unmarked.
#include "app/AppComposition.h"
#include "base/UserDefaults.h"
#include "cloud/CloudFolderPicker.h"
#include "controls/CustomOutlineView.h"
#include "controls/CustomTableView.h"
#include "controls/CustomWindowNag.h"
#include "controls/DragDropBox.h"
#include "controls/IMGButton.h"
#include "controls/RAZButton.h"
#include "core/AppStartup.h"
#include "core/Localization.h"
#include "home/MainViewController.h"
#include "marking/ResultsState.h"
#include "marking/SelectAssistanceController.h"
#include "platform/ReachabilityTest.h"
#include "results/ResultViewController.h"
#include "scan/ScanScreen.h"
#include "scan/ScanSources.h"
#include "support/FixedProbe.h"
#include "support/PanelChooser.h"
#include "support/RecordingAlerts.h"
#include "support/ResultsRows.h"
#include "support/TempHome.h"
#include "support/UserClicks.h"
#include "support/WaitUntil.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QMimeData>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

enum class Way { homeTab, homeDrop, assistant };

struct ProtectCase {
    const char* name;
    ScanSource source;
    Way way;
};

void PrintTo(const ProtectCase& c, std::ostream* out)
{
    *out << c.name;
}

bool isLocal(ScanSource source)
{
    return source == ScanSource::thisComputer || source == ScanSource::lightroomCatalog;
}

// A signed-in service whose tree is its root holding the folder A.
struct OneFolderService : ScanWrapper {
    explicit OneFolderService(QString root)
        : root_(std::move(root))
    {
        isAuthenticateForScan = true;
    }
    void listFolder(const CloudScanFoldersListPtr& folder, std::function<void(FolderListing)> done) override
    {
        FolderListing listing;
        if (folder == rootFolderObj) {
            auto a = std::make_shared<CloudScanFoldersList>();
            a->folderId = QStringLiteral("a");
            a->folderName = QStringLiteral("A");
            a->folderPath = root_ + QStringLiteral("/A");
            listing.subFolders.push_back(a);
        }
        QTimer::singleShot(0, contextObject(), [done = std::move(done), listing] { done(listing); });
    }
    QString rootFolderName() const override { return root_; }
    QString root_;
};

struct OneFolderChooser : ProtectFolderChooser {
    QString next;
    void chooseFolder(const QString&, std::function<void(const QString&)> done) override
    {
        done(std::exchange(next, {}));
    }
};

// Picks the folder A under the root in the open picker and adds it.
void pickFolderA(CloudFolderPicker& picker)
{
    ASSERT_TRUE(waitUntil([&] { return picker.windowGoogleDriveFolderList->isVisible(); }));
    CloudFolderTreeModel& tree = picker.model();
    ASSERT_TRUE(waitUntil([&] { return tree.rowCount(tree.index(0, 0)) == 1; }));
    picker.outlineGDFolderList->setCurrentIndex(tree.index(0, 0, tree.index(0, 0)));
    click(picker.btnAddFolderGDrive);
    EXPECT_FALSE(picker.windowGoogleDriveFolderList->isVisible());
}

FileInfoNodePtr fileIn(const QString& folder)
{
    auto file = std::make_shared<FileInfoNode>();
    file->fileName = QStringLiteral("f.jpg");
    file->filePath = folder + QStringLiteral("/f.jpg");
    file->folderPath = folder;
    file->fileSize = 1000;
    return file;
}

class ProtectRoad : public ::testing::TestWithParam<ProtectCase> {
protected:
    void TearDown() override
    {
        setNetworkReachabilityProbe(nullptr);
        setAlertPresenter(nullptr);
        selectedScanSource() = ScanSource::thisComputer;
    }
};

} // namespace

TEST_P(ProtectRoad, AFolderAddedThisWayIsNeverMarkedUnasked)
{
    const ProtectCase c = GetParam();
    TempHome home;
    UserDefaults defaults(home.configHome() + QStringLiteral("/Vellicor"));
    startApplicationCore(defaults);
    setNetworkReachabilityProbe(std::make_shared<FixedProbe>(true));
    AppComposition program(defaults, [](ScanSource source) -> std::unique_ptr<ScanWrapper> {
        if (source == ScanSource::lightroomCatalog)
            return CloudSourceController::defaultHandlerFactory(source);
        return std::make_unique<OneFolderService>(
            source == ScanSource::googleDrive ? QStringLiteral("My Drive") : QStringLiteral("Cloud"));
    });
    program.launch();
    auto alerts = std::make_shared<RecordingAlerts>();
    setAlertPresenter(alerts);
    MainViewController& homeScreen = program.home();
    ResultViewController& results = program.results();
    auto* panel = new PanelChooser;
    homeScreen.setFolderChooser(std::unique_ptr<FolderChooser>(panel));
    auto* assistantPanel = new OneFolderChooser;
    SelectAssistanceController& assistant = results.selectionController();
    assistant.setFolderChooser(std::unique_ptr<ProtectFolderChooser>(assistantPanel));

    if (c.source != ScanSource::thisComputer) {
        auto* popUp = homeScreen.findChild<QComboBox*>(QStringLiteral("btnScanMode"));
        const int item = popUp->findData(scanSourceTag(c.source));
        popUp->setCurrentIndex(item);
        emit popUp->activated(item);
        // The catalog opens the scan list's panel at once; it is cancelled.
        QCoreApplication::processEvents();
        if (program.cloudPicker().windowGoogleDriveFolderList->isVisible())
            click(program.cloudPicker().btnCancelGDrive);
    }

    // The folder to protect, and a file in a folder below it beside a file
    // elsewhere.
    QString folder = QStringLiteral("My Drive/A");
    QString elsewhere = QStringLiteral("My Drive/Other");
    if (c.source != ScanSource::googleDrive) {
        folder = QStringLiteral("Cloud/A");
        elsewhere = QStringLiteral("Cloud/Other");
    }
    if (isLocal(c.source)) {
        folder = home.path() + QStringLiteral("/Keep");
        elsewhere = home.path() + QStringLiteral("/Other");
        ASSERT_TRUE(QDir().mkpath(folder + QStringLiteral("/B")) && QDir().mkpath(elsewhere));
    }

    if (c.way != Way::assistant) {
        click(homeScreen.findChild<QAbstractButton*>(QStringLiteral("btnProtected")));
        if (c.way == Way::homeDrop) {
            QMimeData data;
            data.setUrls({ QUrl::fromLocalFile(folder) });
            auto* box = homeScreen.findChild<DragDropBox*>();
            ASSERT_TRUE(box);
            QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(box, &enter);
            QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(box, &drop);
        } else if (isLocal(c.source)) {
            panel->next = { folder };
            click(homeScreen.findChild<QAbstractButton*>(QStringLiteral("btnAddPath")));
        } else {
            click(homeScreen.findChild<QAbstractButton*>(QStringLiteral("btnAddPath")));
            ASSERT_NO_FATAL_FAILURE(pickFolderA(program.cloudPicker()));
        }
        ASSERT_TRUE(waitUntil([&] { return homeScreen.lists().sources.protectList(c.source).size() == 1; }))
            << alerts->messages().join(',').toStdString();
    }

    // The scan's end hands over one group: the file elsewhere, then the one
    // inside the folder.
    const FileInfoNodePtr inside = fileIn(folder + QStringLiteral("/B"));
    const FileInfoNodePtr outside = fileIn(elsewhere);
    auto group = std::make_shared<DuplicateGroup>();
    addFileToGroup(group, outside);
    addFileToGroup(group, inside);
    auto result = std::make_shared<ScanResult>();
    result->groups = { group };
    result->dupCount = 1;
    homeScreen.showResults(result);
    ASSERT_TRUE(waitUntil([&] { return results.isVisible(); }));
    if (auto* manually = results.findChild<QAbstractButton*>(QStringLiteral("btnSelectManually")))
        click(manually);

    if (c.way == Way::assistant) {
        click(results.findChild<QAbstractButton*>(QStringLiteral("btnSelectionAssitance")));
        click(assistant.btnProtectedFolderTab);
        if (!assistant.btnIncludeSubFolder->isChecked())
            click(assistant.btnIncludeSubFolder);
        if (isLocal(c.source)) {
            assistantPanel->next = folder;
            click(assistant.btnBrowsePath);
        } else {
            click(assistant.btnBrowsePath);
            ASSERT_NO_FATAL_FAILURE(pickFolderA(program.cloudPicker()));
        }
        EXPECT_EQ(assistant.lblBrowsedPath->text(), folder);
        click(assistant.btnAddPath);
        ASSERT_EQ(homeScreen.lists().sources.protectList(c.source).size(), 1u)
            << alerts->messages().join(',').toStdString();
        EXPECT_EQ(assistant.tblProtected->item(0, 0)->text(), folder);
        click(assistant.btnCancel);
    }

    EXPECT_TRUE(results.state().isFileProtected(*inside));
    EXPECT_FALSE(results.state().isFileProtected(*outside));
    alerts->shown.clear();
    CustomTableView& table = *results.tblDuplicates();
    QAbstractItemModel& list = *table.model();
    ASSERT_EQ(list.rowCount(), 2);
    for (int row = 0; row < 2; ++row) {
        if (list.index(row, 0).data(CustomCell::roleOf(CustomCell::Outlet::lblFilePath)).toString()
            == *inside->filePath)
            clickCheckBox(table, list.index(row, 0));
    }
    EXPECT_EQ(alerts->messages(), QStringList { localizedText("ID_THIS_FILE_BELONGS_TO_PROTECTED_FOLDER") });
    EXPECT_FALSE(inside->isMarked());
}

INSTANTIATE_TEST_SUITE_P(EveryWayAndSource, ProtectRoad,
    ::testing::Values(ProtectCase { "ComputerTab", ScanSource::thisComputer, Way::homeTab },
        ProtectCase { "ComputerDrop", ScanSource::thisComputer, Way::homeDrop },
        ProtectCase { "ComputerAssistant", ScanSource::thisComputer, Way::assistant },
        ProtectCase { "CatalogTab", ScanSource::lightroomCatalog, Way::homeTab },
        ProtectCase { "CatalogAssistant", ScanSource::lightroomCatalog, Way::assistant },
        ProtectCase { "DriveTab", ScanSource::googleDrive, Way::homeTab },
        ProtectCase { "DriveAssistant", ScanSource::googleDrive, Way::assistant },
        ProtectCase { "DropboxTab", ScanSource::dropbox, Way::homeTab },
        ProtectCase { "DropboxAssistant", ScanSource::dropbox, Way::assistant },
        ProtectCase { "OneDriveTab", ScanSource::oneDrive, Way::homeTab },
        ProtectCase { "OneDriveAssistant", ScanSource::oneDrive, Way::assistant },
        ProtectCase { "BoxTab", ScanSource::box, Way::homeTab },
        ProtectCase { "BoxAssistant", ScanSource::box, Way::assistant }),
    [](const ::testing::TestParamInfo<ProtectCase>& info) { return std::string(info.param.name); });
