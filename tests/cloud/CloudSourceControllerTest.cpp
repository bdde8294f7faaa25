#include "cloud/CloudSourceController.h"
#include "base/AlertPresenter.h"
#include "base/UserDefaults.h"
#include "core/AppStartup.h"
#include "home/LocationLists.h"
#include "marking/ProtectedFolderStore.h"
#include "support/TempHome.h"

#include <QComboBox>

#include <gtest/gtest.h>

namespace {

struct CountingPresenter : AlertPresenter {
    int shown = 0;
    int present(const AlertRequest&) override { return ++shown, 0; }
};

struct CountingChooser : FolderChooser {
    int opened = 0;
    void chooseFolders(const Options&, std::function<void(const QStringList&)>) override { ++opened; }
};

// A signed-out service whose folders each hold one sub-folder.
struct FakeHandler : ScanWrapper {
    int signIns = 0;
    bool authenticateCloud() override { return ++signIns, true; }
    void listFolder(const CloudScanFoldersListPtr&, std::function<void(FolderListing)> done) override
    {
        done(FolderListing { {}, { std::make_shared<CloudScanFoldersList>() }, false });
    }
};

} // namespace

TEST(CloudSources, EachSourceKeepsOneHandlerWhoseListsTheScreenShows)
{
    TempHome home;
    UserDefaults defaults(home.configHome());
    startApplicationCore(defaults);
    auto presenter = std::make_shared<CountingPresenter>();
    setAlertPresenter(presenter);
    ProtectedFolderStore protect(defaults);
    auto screen = std::make_unique<MainViewController>(defaults, protect);
    screen->viewDidLoad();
    auto* chooser = new CountingChooser;
    screen->setFolderChooser(std::unique_ptr<FolderChooser>(chooser));
    std::map<ScanSource, int> made;
    auto* controller = new CloudSourceController(*screen, [&](ScanSource source) -> std::unique_ptr<ScanWrapper> {
        ++made[source];
        return source == ScanSource::box ? nullptr : std::make_unique<FakeHandler>();
    });
    int reloads = 0;
    controller->setPickerReload([&] { ++reloads; });
    auto choose = [&](ScanSource source) {
        auto* popUp = screen->findChild<QComboBox*>(QStringLiteral("btnScanMode"));
        emit popUp->activated(popUp->findData(100 + static_cast<int>(source)));
    };
    LocationLists& lists = screen->lists();

    choose(ScanSource::dropbox);
    auto* dropbox = static_cast<FakeHandler*>(controller->handlerFor(ScanSource::dropbox));
    ASSERT_NE(dropbox, nullptr);
    EXPECT_EQ(dropbox->signIns, 1);
    auto excluded = std::make_shared<FilePathNode>();
    lists.excludeListForSource().push_back(excluded);
    ASSERT_EQ(dropbox->arrExcludePathsForCloud->size(), 1u);
    dropbox->arrPathNodesCloudScan->push_back(std::make_shared<FilePathNode>());

    choose(ScanSource::oneDrive);
    EXPECT_TRUE(lists.excludeListForSource().empty());
    choose(ScanSource::thisComputer);
    choose(ScanSource::dropbox);
    EXPECT_EQ(made, (std::map<ScanSource, int> { { ScanSource::dropbox, 1 }, { ScanSource::oneDrive, 1 } }));
    EXPECT_EQ(screen->engine().scanWrapper, dropbox);
    EXPECT_EQ(lists.excludeListForSource(), std::vector<FilePathNodePtr> { excluded });
    EXPECT_EQ(lists.arrPathNodesFinder, *dropbox->arrPathNodesCloudScan);

    // A picker listing reloads the picker only.
    dropbox->fetchChildFolders(dropbox->makeRootFolderNode());
    EXPECT_EQ(reloads, 1);

    // A source without a handler says so and leaves nothing to scan with; the
    // photo catalog opens the scan list's panel at once.
    choose(ScanSource::box);
    EXPECT_EQ(screen->engine().scanWrapper, nullptr);
    EXPECT_EQ(presenter->shown, 1);
    choose(ScanSource::lightroomCatalog);
    EXPECT_EQ(chooser->opened, 1);

    screen.reset();
    setAlertPresenter(nullptr);
    selectedScanSource() = ScanSource::thisComputer;
}
