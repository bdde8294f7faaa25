#include "cloud/CloudSourceController.h"
#include "base/AlertPresenter.h"
#include "base/UserDefaults.h"
#include "core/AppStartup.h"
#include "home/LocationLists.h"
#include "marking/ProtectedFolderStore.h"
#include "support/TempHome.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

struct RecordingPresenter : AlertPresenter {
    std::vector<AlertRequest> shown;
    int present(const AlertRequest& request) override
    {
        shown.push_back(request);
        return 0;
    }
};

struct CountingChooser : FolderChooser {
    int opened = 0;
    void chooseFolders(const Options&, std::function<void(const QStringList&)>) override { ++opened; }
};

// A signed-out service whose folders each hold one sub-folder.
class FakeHandler : public ScanWrapper {
public:
    int signIns = 0;
    bool authenticateCloud() override
    {
        ++signIns;
        return true;
    }

protected:
    void listFolder(const CloudScanFoldersListPtr& folder, std::function<void(FolderListing)> done) override
    {
        auto sub = std::make_shared<CloudScanFoldersList>();
        sub->folderPath = folder->folderPath + QStringLiteral("/sub");
        done(FolderListing { {}, { sub }, false });
    }
};

FilePathNodePtr row(const QString& path)
{
    auto node = std::make_shared<FilePathNode>();
    node->filePath = path;
    node->state = 1;
    return node;
}

} // namespace

class CloudSources : public ::testing::Test {
protected:
    TempHome home;
    UserDefaults defaults { home.configHome() };
    std::shared_ptr<RecordingPresenter> presenter = std::make_shared<RecordingPresenter>();
    std::unique_ptr<ProtectedFolderStore> protect;
    std::unique_ptr<MainViewController> screen;
    CloudSourceController* controller = nullptr;
    CountingChooser* chooser = nullptr;
    std::map<ScanSource, int> made;
    int reloads = 0;

    void SetUp() override
    {
        startApplicationCore(defaults);
        selectedScanSource() = ScanSource::thisComputer;
        setAlertPresenter(presenter);
        protect = std::make_unique<ProtectedFolderStore>(defaults);
        screen = std::make_unique<MainViewController>(defaults, *protect);
        screen->viewDidLoad();
        auto owned = std::make_unique<CountingChooser>();
        chooser = owned.get();
        screen->setFolderChooser(std::move(owned));
        controller = new CloudSourceController(*screen, [this](ScanSource source) -> std::unique_ptr<ScanWrapper> {
            ++made[source];
            if (source == ScanSource::box)
                return nullptr;
            return std::make_unique<FakeHandler>();
        });
        controller->setPickerReload([this] { ++reloads; });
    }
    void TearDown() override
    {
        screen.reset();
        setAlertPresenter(nullptr);
        selectedScanSource() = ScanSource::thisComputer;
    }

    void choose(ScanSource source)
    {
        auto* popUp = screen->findChild<QComboBox*>(QStringLiteral("btnScanMode"));
        const int index = popUp->findData(100 + static_cast<int>(source));
        popUp->setCurrentIndex(index);
        emit popUp->activated(index);
    }
    FakeHandler* handler(ScanSource source) { return static_cast<FakeHandler*>(controller->handlerFor(source)); }
};

TEST_F(CloudSources, EachSourceKeepsOneHandlerWhoseListsTheScreenShows)
{
    choose(ScanSource::dropbox);
    FakeHandler* dropbox = handler(ScanSource::dropbox);
    ASSERT_NE(dropbox, nullptr);
    EXPECT_EQ(dropbox->signIns, 1);
    EXPECT_EQ(screen->engine().scanWrapper, dropbox);
    const FilePathNodePtr excluded = row(QStringLiteral("/Old"));
    screen->lists().excludeListForSource().push_back(excluded);
    ASSERT_EQ(dropbox->arrExcludePathsForCloud->size(), 1u);
    EXPECT_EQ(dropbox->arrExcludePathsForCloud->front(), excluded);
    dropbox->arrPathNodesCloudScan->push_back(row(QStringLiteral("/Photos")));

    choose(ScanSource::oneDrive);
    EXPECT_TRUE(screen->lists().excludeListForSource().empty());
    EXPECT_TRUE(screen->lists().arrPathNodesFinder.empty());
    choose(ScanSource::thisComputer);
    choose(ScanSource::dropbox);
    EXPECT_EQ(made[ScanSource::dropbox], 1);
    EXPECT_EQ(made[ScanSource::oneDrive], 1);
    EXPECT_EQ(handler(ScanSource::dropbox), dropbox);
    EXPECT_EQ(screen->engine().scanWrapper, dropbox);
    ASSERT_EQ(screen->lists().excludeListForSource().size(), 1u);
    EXPECT_EQ(screen->lists().excludeListForSource().front(), excluded);
    ASSERT_EQ(screen->lists().arrPathNodesFinder.size(), 1u);
    EXPECT_EQ(screen->lists().cloudScanMirror, dropbox->arrPathNodesCloudScan.get());

    // A source without a handler says so and leaves nothing to scan with.
    choose(ScanSource::box);
    EXPECT_EQ(screen->engine().scanWrapper, nullptr);
    EXPECT_EQ(presenter->shown.size(), 1u);
    // The photo catalog opens the scan list's panel at once.
    choose(ScanSource::lightroomCatalog);
    EXPECT_EQ(chooser->opened, 1);
}

TEST_F(CloudSources, APickerListingReloadsThePickerAndLeavesTheScanAlone)
{
    choose(ScanSource::dropbox);
    FakeHandler* dropbox = handler(ScanSource::dropbox);
    QSignalSpy ended(&screen->engine(), &ScanEngine::scanEnded);
    const CloudScanFoldersListPtr root = dropbox->makeRootFolderNode();
    dropbox->fetchChildFolders(root);
    QCoreApplication::processEvents();
    EXPECT_EQ(reloads, 1);
    EXPECT_EQ(root->children.size(), 1u);
    EXPECT_EQ(ended.count(), 0);
    EXPECT_FALSE(isScanRunning);
    EXPECT_EQ(selectedScanSource().load(), ScanSource::dropbox);
}
