#include "cloud/CloudSourceController.h"
#include "base/UserDefaults.h"
#include "cloud/CloudSignInSheet.h"
#include "controls/IMGButton.h"
#include "controls/RAZButton.h"
#include "core/AppStartup.h"
#include "home/LocationLists.h"
#include "platform/ReachabilityTest.h"
#include "scan/ScanSources.h"
#include "support/FixedProbe.h"
#include "support/RecordingAlerts.h"
#include "support/TempHome.h"

#include <QComboBox>
#include <QLabel>

#include <gtest/gtest.h>

namespace {

struct CountingChooser : FolderChooser {
    int opened = 0;
    void chooseFolders(const Options&, std::function<void(const QStringList&)>) override { ++opened; }
};

// A signed-out service whose folders each hold one sub-folder.
struct FakeHandler : ScanWrapper {
    int signIns = 0;
    int cancels = 0;
    bool authenticateCloud() override { return ++signIns, true; }
    // As the services do: a given-up sign-in reports a failure at once.
    void cancelAuthentication() override
    {
        ++cancels;
        delegate->dismissAuthenticationWait();
        delegate->onAccessPermissionStatus(false);
    }
    void listFolder(const CloudScanFoldersListPtr&, std::function<void(FolderListing)> done) override
    {
        done(FolderListing { {}, { std::make_shared<CloudScanFoldersList>() }, false });
    }
};

} // namespace

TEST(CloudSources, EachSourceKeepsOneHandlerWhoseListsTheScreenShowsAndSignsInUnderTheSheets)
{
    TempHome home;
    UserDefaults defaults(home.configHome());
    startApplicationCore(defaults);
    auto presenter = std::make_shared<RecordingAlerts>();
    setAlertPresenter(presenter);
    setNetworkReachabilityProbe(std::make_shared<FixedProbe>(true));
    ScanSources sources(defaults);
    auto screen = std::make_unique<MainViewController>(defaults, sources);
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
        emit popUp->activated(popUp->findData(scanSourceTag(source)));
    };
    LocationLists& lists = screen->lists();

    choose(ScanSource::dropbox);
    auto* dropbox = static_cast<FakeHandler*>(controller->handlerFor(ScanSource::dropbox));
    ASSERT_NE(dropbox, nullptr);
    EXPECT_EQ(dropbox->signIns, 1);
    // Signed out, the source signs in under the wait sheet; its Cancel gives
    // the sign-in up and shows the instructions, named for the source.
    CloudSignInSheet& sheet = controller->signInSheet();
    ASSERT_TRUE(sheet.isShown() && sheet.isWaiting());
    sheet.btnCancelWaiting->click();
    EXPECT_EQ(dropbox->cancels, 1);
    EXPECT_TRUE(sheet.isShown() && !sheet.isWaiting() && sheet.btnAllowPermission->isEnabled());
    for (QLabel* label : { sheet.lblGoogleDriveInstructionHeading, sheet.lblGDriveSubInfo[1] })
        EXPECT_TRUE(label->text().contains("Dropbox") && !label->text().contains("Google"))
            << label->text().toStdString();
    sheet.btnAllowPermission->click();
    EXPECT_EQ(dropbox->signIns, 2);
    EXPECT_TRUE(sheet.isWaiting() && !sheet.btnAllowPermission->isEnabled());
    // A failed sign-in closes the sheet; the handler tells why.
    dropbox->delegate->dismissAuthenticationWait();
    EXPECT_FALSE(sheet.isShown());
    EXPECT_TRUE(presenter->shown.empty());
    auto excluded = std::make_shared<FilePathNode>();
    sources.edit(ScanSource::dropbox, SourceList::exclude, [&](auto& rows) { rows.push_back(excluded); });
    ASSERT_EQ(lists.excludeListForSource().size(), 1u);
    const FilePathNodePtr scanRow = lists.addPathToScanList(QStringLiteral("/Trips"));

    choose(ScanSource::oneDrive);
    EXPECT_TRUE(lists.excludeListForSource().empty());
    choose(ScanSource::thisComputer);
    choose(ScanSource::dropbox);
    EXPECT_EQ(made, (std::map<ScanSource, int> { { ScanSource::dropbox, 1 }, { ScanSource::oneDrive, 1 } }));
    EXPECT_EQ(sources.handler(ScanSource::dropbox), dropbox);
    EXPECT_EQ(lists.excludeListForSource(), std::vector<FilePathNodePtr> { excluded });
    EXPECT_EQ(lists.scanListForSource(), std::vector<FilePathNodePtr> { scanRow });

    // A picker listing reloads the picker only.
    dropbox->fetchChildFolders(dropbox->makeRootFolderNode());
    EXPECT_EQ(reloads, 1);

    // A source without a handler says so and leaves nothing to scan with; the
    // photo catalog opens the scan list's panel at once.
    choose(ScanSource::box);
    EXPECT_EQ(sources.handler(ScanSource::box), nullptr);
    EXPECT_EQ(presenter->shown.size(), 1u);
    choose(ScanSource::lightroomCatalog);
    EXPECT_EQ(chooser->opened, 1);
    controller->showSignInSheet();
    sheet.btnScanComputer->click();
    EXPECT_FALSE(sheet.isShown());
    EXPECT_EQ(selectedScanSource().load(), ScanSource::thisComputer);

    screen.reset();
    setNetworkReachabilityProbe(nullptr);
    setAlertPresenter(nullptr);
}
