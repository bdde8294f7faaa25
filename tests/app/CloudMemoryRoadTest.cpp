// What the program holds of the cloud sources across the user's steps: scans
// in a row of one endless folder through the screens (Scan Now, the results,
// Back, Scan Now again) in a memory group of their own, and the Drive picker
// opened and closed again and again.
#include "app/AppComposition.h"
#include "app/CloudRoadParts.h"
#include "base/AppPaths.h"
#include "base/ReleaseElsewhere.h"
#include "cloud/CloudFolderPicker.h"
#include "cloud/CloudSourceController.h"
#include "cloud/DropBoxHandler.h"
#include "cloud/GoogleDriveHandler.h"
#include "cloud/OAuthCloudHandler.h"
#include "cloud/OAuthSession.h"
#include "cloud/SecretStore.h"
#include "scan/ListingGuard.h"
#include "scan/ScanEngine.h"
#include "support/FakeGoogle.h"
#include "support/FakeServiceConfig.h"
#include "support/FlatCloudFolder.h"
#include "support/MemoryBound.h"
#include "support/MemoryGroup.h"

#include <QFile>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QThreadPool>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <vector>

#include <gtest/gtest.h>

namespace {

// The handler of source on the fake service, with a browser that follows the
// sign-in's redirect back into it.
CloudSourceController::HandlerFactory handlerOn(
    ScanSource wanted, FakeHttpServer& server, const CloudServiceConfig& config, MemorySecretStore& secrets)
{
    return [wanted, &server, &config, &secrets](ScanSource source) -> std::unique_ptr<ScanWrapper> {
        if (source != wanted)
            return nullptr;
        if (source == ScanSource::googleDrive) {
            auto drive = std::make_unique<GoogleDriveHandler>(config, &secrets);
            drive->setBrowserOpener([&server, handler = drive.get()](const QUrl& url) {
                server.browse(url, [handler](const QUrl& redirect) { handler->resumeSignIn(redirect); });
            });
            return drive;
        }
        auto dropbox = std::make_unique<DropBoxHandler>(config);
        dropbox->session().setBrowserOpener([&server](const QUrl& url) {
            server.browse(url, [](const QUrl& redirect) { OAuthCloudHandler::offerRedirect(redirect); });
        });
        return dropbox;
    };
}

// The share of memory the last listing of the log was bounded by, in MiB
// (the bound it met names it); -1 when none is named.
qint64 lastShareInLog()
{
    QFile log(AppPaths::stateFolder() + QStringLiteral("/vellicor.log"));
    if (!log.open(QIODevice::ReadOnly))
        return -1;
    const QString text = QString::fromUtf8(log.readAll());
    static const QRegularExpression share(QStringLiteral("came to hold more than (\\d+) MiB"));
    qint64 last = -1;
    for (QRegularExpressionMatchIterator it = share.globalMatch(text); it.hasNext();)
        last = it.next().captured(1).toLongLong();
    return last;
}

// In the group: the program on the fake service's endless folder of files
// with one copy each, its root added from the picker, then scans scans in a
// row as the user runs them. 0 when each listed about as many files as the
// first (within 5 %) within the same share.
int scansInARow(ScanSource source, int scans)
{
    TempHome home;
    UserDefaults defaults(home.configHome() + QStringLiteral("/Vellicor"));
    startApplicationCore(defaults);
    auto alerts = std::make_shared<Alerts>();
    setNetworkReachabilityProbe(std::make_shared<Online>());
    FlatCloudFolder endless { 1000000000, 0 };
    endless.pairedCopies = true;
    FakeGoogle google;
    FakeHttpServer& server = google.server;
    CloudServiceConfig config;
    if (source == ScanSource::googleDrive) {
        if (!google.start())
            return 2;
        endless.serveDrive(server, QStringLiteral("lh3.thumbs.test"));
        config = CloudConfig::fromJson(QStringLiteral("google"), google.config());
    } else {
        if (!server.listen())
            return 2;
        server.enableOAuth(QStringLiteral("client"));
        endless.serveDropbox(server);
        config = fakeServiceConfig(server, QStringLiteral("dropbox"));
    }
    MemorySecretStore secrets;
    AppComposition program(defaults, handlerOn(source, server, config, secrets));
    program.launch();
    setAlertPresenter(alerts);
    MainViewController& homeScreen = program.home();
    ResultViewController& results = program.results();
    homeScreen.engine().setEndOfScanPauses(0, 0);
    chooseSourceAndAddItsRoot(homeScreen, program.cloudPicker(), source);
    if (homeScreen.lists().scanListForSource().size() != 1)
        return 3;

    bool ended = false;
    qint64 listed = 0;
    QObject::connect(&homeScreen.engine(), &ScanEngine::scanEnded, [&](const ScanResultPtr& result) {
        listed = result->countScanned;
        ended = true;
    });
    std::vector<qint64> files;
    std::vector<qint64> shares;
    for (int scan = 1; scan <= scans; ++scan) {
        ended = false;
        click(homeScreen.scanNowButton());
        if (!waitUntil([&] { return ended; }, 600000))
            return 4;
        // The result shown, the scan's sheet answered, and Back home.
        if (!waitUntil([&] { return results.isVisible() && !results.isHandingOver(); }, 600000))
            return 5;
        click(titled("ID_SELECT_MANUALLY"));
        click(results.findChild<QAbstractButton*>(QStringLiteral("btnBack")));
        if (!waitUntil([&] { return !results.isVisible(); }, 30000))
            return 6;
        files.push_back(listed);
        shares.push_back(lastShareInLog());
        std::cout << "scan " << scan << ": a share of " << shares.back() << " MiB, " << files.back() << " files listed"
                  << std::endl;
    }
    setAlertPresenter(nullptr);
    setNetworkReachabilityProbe(nullptr);
    const auto [fewest, most] = std::minmax_element(files.begin(), files.end());
    const auto [least, largest] = std::minmax_element(shares.begin(), shares.end());
    return *fewest > 0 && *fewest >= *most * 19 / 20 && *least > 0 && *least >= *largest * 19 / 20 ? 0 : 1;
}

// Runs the scans in a new process of this program in a memory group of
// 1 GiB of its own (a fork would share the thread pool's state but not its
// threads), told the group by the environment.
void expectTheSameShareScanAfterScan(ScanSource source)
{
#if defined(VELLICOR_RUN_TIME_CHECKER)
    GTEST_SKIP() << "the program's memory is measured only without a run-time checker";
#endif
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const char* const named = "VELLICOR_TEST_MEMORY_GROUP";
    MemoryGroup group;
    if (!qEnvironmentVariableIsSet(named)) {
        if (!group.make(1ll << 30, "vellicor-test"))
            GTEST_SKIP() << "no memory control group can be made here (it takes root and a memory controller)";
        qputenv(named, QByteArray::fromStdString(group.path()));
    }
    const auto removeGroup = qScopeGuard([&group, named] {
        qunsetenv(named);
        group.remove();
    });
    const auto run = [named, source]() -> int {
        if (!MemoryGroup::enter(qgetenv(named).toStdString()))
            return 7;
        if (memoryOfThisMachine() > (1ll << 30))
            return 8;
        return scansInARow(source, 3);
    };
    EXPECT_EXIT(std::_Exit(run()), ::testing::ExitedWithCode(0), "");
}

} // namespace

// The results the user left and the last scan's lists are let go of before
// the next scan takes its share: the same endless folder gets the same share
// and lists as many files, scan after scan.
TEST(CloudMemoryRoad, DropboxScansInARowOfAnEndlessFolderGetTheSameShare)
{
    expectTheSameShareScanAfterScan(ScanSource::dropbox);
}

TEST(CloudMemoryRoad, DriveScansInARowOfAnEndlessFolderGetTheSameShare)
{
    expectTheSameShareScanAfterScan(ScanSource::googleDrive);
}

// The Drive picker over a folder of endless sub-folders, opened four times and
// each time closed with Escape while it lists, each time further: what its
// listings held goes with each close, so that the program comes back to about
// the memory it held after the first.
TEST_F(CloudRoad, TheDrivePickerClosedAgainAndAgainGivesItsListingsMemoryBack)
{
#if defined(VELLICOR_RUN_TIME_CHECKER)
    GTEST_SKIP() << "the program's memory is measured only without a run-time checker";
#endif
    TempHome home;
    UserDefaults defaults(home.configHome() + QStringLiteral("/Vellicor"));
    startApplicationCore(defaults);
    auto alerts = std::make_shared<Alerts>();
    setNetworkReachabilityProbe(std::make_shared<Online>());
    FakeGoogle google;
    ASSERT_TRUE(google.start());
    FlatCloudFolder endless { 0, 1000000000 };
    endless.serveDrive(google.server, QStringLiteral("lh3.thumbs.test"));
    const CloudServiceConfig config = CloudConfig::fromJson(QStringLiteral("google"), google.config());
    MemorySecretStore secrets;
    AppComposition program(defaults, handlerOn(ScanSource::googleDrive, google.server, config, secrets));
    program.launch();
    setAlertPresenter(alerts);
    MainViewController& homeScreen = program.home();
    CloudFolderPicker& picker = program.cloudPicker();
    CustomOutlineView& outline = *picker.outlineGDFolderList;
    const auto pagesAsked = [&] { return google.server.requestCount("GET", QStringLiteral("/api/files")); };

    std::vector<qint64> held;
    for (int opening = 1; opening <= 4; ++opening) {
        if (opening == 1)
            chooseSource(homeScreen, ScanSource::googleDrive);
        else
            click(homeScreen.findChild<QAbstractButton*>(QStringLiteral("btnAddPath")));
        ASSERT_TRUE(waitUntil([&] { return picker.windowGoogleDriveFolderList->isVisible(); }, 30000));
        const int before = pagesAsked();
        if (opening > 1) {
            // My Drive, whose listing the last close ended, opened again.
            QTest::mouseClick(
                outline.viewport(), Qt::LeftButton, {}, outline.visualRect(picker.model().index(0, 0)).center());
            QTest::keyClick(&outline, Qt::Key_Right);
        }
        // Each opening lists further than the last, into folders it has not
        // met before.
        ASSERT_TRUE(waitUntil([&] { return pagesAsked() >= before + 100 * opening; }, 120000)) << opening;
        QTest::keyClick(picker.windowGoogleDriveFolderList, Qt::Key_Escape);
        ASSERT_TRUE(waitUntil([&] { return !picker.windowGoogleDriveFolderList->isVisible(); }));
        QCoreApplication::processEvents();
        QThreadPool::globalInstance()->waitForDone();
        giveFreedMemoryBack();
        held.push_back(memoryHeldByThisProcess());
        std::cout << "opening " << opening << ": " << (held.back() >> 20) << " MiB held after the close" << std::endl;
    }
    EXPECT_LT(held.back() - held.front(), 16ll << 20);
}
