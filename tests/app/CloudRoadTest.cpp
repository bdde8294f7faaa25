// The whole Google Drive road through the real screens, offscreen, against a
// fake Google (discovery, sign-in, Drive): choose the source, sign in, pick a
// folder, Scan Now, see the fake's duplicates, Remove one to the Drive trash.
#include "base/AlertPresenter.h"
#include "base/UserDefaults.h"
#include "cleanup/CleanupController.h"
#include "cloud/CloudFolderPicker.h"
#include "cloud/CloudSignInSheet.h"
#include "cloud/CloudSourceController.h"
#include "cloud/GoogleDriveHandler.h"
#include "cloud/HandlerCloudRemover.h"
#include "cloud/SecretStore.h"
#include "controls/CustomCell.h"
#include "controls/CustomOutlineView.h"
#include "controls/CustomTableView.h"
#include "controls/CustomWindowNag.h"
#include "controls/IMGButton.h"
#include "core/AppStartup.h"
#include "core/Localization.h"
#include "home/MainViewController.h"
#include "marking/ProtectedFolderStore.h"
#include "platform/FileRemover.h"
#include "platform/ReachabilityTest.h"
#include "results/ResultViewController.h"
#include "support/FakeHttpServer.h"
#include "support/TempHome.h"

#include <QApplication>
#include <QComboBox>
#include <QJsonArray>
#include <QTest>

#include <gtest/gtest.h>

namespace {

struct Online : NetworkReachabilityProbe {
    bool isNetworkReachable() override { return true; }
};

struct Alerts : AlertPresenter {
    QStringList texts;
    int present(const AlertRequest& request) override { return texts.append(request.messageText), 0; }
};

QJsonObject driveItem(const char* id, const char* name, const char* md5 = nullptr)
{
    QJsonObject item { { QStringLiteral("id"), QLatin1String(id) }, { QStringLiteral("name"), QLatin1String(name) } };
    if (!md5) {
        item.insert(QStringLiteral("mimeType"), QStringLiteral("application/vnd.google-apps.folder"));
        return item;
    }
    item.insert(QStringLiteral("md5Checksum"), QLatin1String(md5));
    item.insert(QStringLiteral("size"), QStringLiteral("200000"));
    item.insert(QStringLiteral("fileExtension"), QStringLiteral("jpg"));
    item.insert(QStringLiteral("mimeType"), QStringLiteral("image/jpeg"));
    return item;
}

void click(QAbstractButton* button)
{
    ASSERT_TRUE(button);
    ASSERT_TRUE(waitUntil([button] { return button->isVisible() && button->isEnabled(); }))
        << button->objectName().toStdString();
    QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
}

// The visible button titled with a language key, as the user finds it.
QAbstractButton* titled(const char* key)
{
    const QString title = localizedText(key);
    QAbstractButton* found = nullptr;
    waitUntil([&] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            for (QAbstractButton* button : top->findChildren<QAbstractButton*>()) {
                if (button->isVisible() && button->text() == title)
                    found = button;
            }
        }
        return found != nullptr;
    });
    EXPECT_TRUE(found) << "no button " << key;
    return found;
}

QString pathAt(const QAbstractItemModel& list, int row)
{
    return list.index(row, 0).data(CustomCell::roleOf(CustomCell::Outlet::lblFilePath)).toString();
}

} // namespace

TEST(CloudRoad, ChooseDriveSignInPickScanAndRemoveToTheDriveTrash)
{
    TempHome home;
    UserDefaults defaults(home.configHome() + QStringLiteral("/Vellicor"));
    startApplicationCore(defaults);
    auto alerts = std::make_shared<Alerts>();
    setAlertPresenter(alerts);
    setNetworkReachabilityProbe(std::make_shared<Online>());

    // The fake Google: My Drive holds A (holding B with f.jpg), copy.jpg with
    // f.jpg's checksum and a file of its own.
    FakeHttpServer server;
    ASSERT_TRUE(server.listen());
    server.enableOAuth(QStringLiteral("road-client"));
    server.route("GET", QStringLiteral("/discovery"), [&](const FakeHttpRequest&) {
        return FakeHttpResponse::json(200,
            { { QStringLiteral("authorization_endpoint"), server.url(QStringLiteral("/authorize")).toString() },
                { QStringLiteral("token_endpoint"), server.url(QStringLiteral("/token")).toString() } });
    });
    const QHash<QString, QJsonArray> drive {
        { QStringLiteral("root"),
            { driveItem("a", "A"), driveItem("c1", "copy.jpg", "m1"), driveItem("t", "top.jpg", "m0") } },
        { QStringLiteral("a"), { driveItem("b", "B") } },
        { QStringLiteral("b"), { driveItem("f", "f.jpg", "m1") } },
    };
    server.route("GET", QStringLiteral("/api/files"), [&](const FakeHttpRequest& request) {
        if (!server.isAuthorized(request))
            return FakeHttpResponse::json(401, {});
        const QString q = request.query.queryItemValue(QStringLiteral("q"), QUrl::FullyDecoded);
        const QString parent = q.section(QLatin1Char('\''), 1, 1);
        QJsonArray files;
        for (const QJsonValue& item : drive.value(parent)) {
            if (!q.contains(QLatin1String("mimeType")) || !item.toObject().contains(QStringLiteral("md5Checksum")))
                files.append(item);
        }
        return FakeHttpResponse::json(200, { { QStringLiteral("files"), files } });
    });
    std::optional<QJsonObject> trashed;
    server.route("PATCH", QStringLiteral("/api/files/c1"), [&](const FakeHttpRequest& request) {
        trashed = request.json();
        return FakeHttpResponse::json(200, {});
    });

    // The screens and the cloud side as the composition root wires them, with
    // the Drive handler of the fake service and a browser that follows its
    // redirect back into the handler.
    ProtectedFolderStore protectedFolders(defaults);
    auto* homeScreen = new MainViewController(defaults, protectedFolders);
    homeScreen->resize(1082, 700);
    auto* results = new ResultViewController(defaults,
        std::shared_ptr<ProtectedFolderStore>(&protectedFolders, [](ProtectedFolderStore*) {}),
        std::make_shared<LocalFileRemover>(), homeScreen);
    results->viewDidLoad();
    results->hide();
    homeScreen->setResultsReceiver(results);
    MemorySecretStore secrets;
    const CloudServiceConfig config = CloudConfig::fromJson(QStringLiteral("google"),
        { { QStringLiteral("clientId"), QStringLiteral("road-client") },
            { QStringLiteral("discoveryUrl"), server.url(QStringLiteral("/discovery")).toString() },
            { QStringLiteral("apiBaseUrl"), server.url(QStringLiteral("/api")).toString() } });
    auto* sources = new CloudSourceController(*homeScreen, [&](ScanSource source) -> std::unique_ptr<ScanWrapper> {
        if (source != ScanSource::googleDrive)
            return nullptr;
        auto handler = std::make_unique<GoogleDriveHandler>(config, &secrets);
        handler->setRedirectBase(QStringLiteral("http://127.0.0.1:4713"));
        handler->setBrowserOpener([&server, drive = handler.get()](const QUrl& url) {
            server.browse(url, [drive](const QUrl& redirect) { drive->resumeSignIn(redirect); });
        });
        return handler;
    });
    results->cleanup().setCloudRemover(
        std::make_shared<HandlerCloudRemover>([sources] { return sources->handlerFor(selectedScanSource().load()); }));
    auto* picker = new CloudFolderPicker(*homeScreen, *sources);
    homeScreen->viewDidLoad();
    homeScreen->engine().setEndOfScanPauses(0, 0);
    homeScreen->show();

    // Choosing Google Drive signs in under the wait sheet, then the picker opens.
    auto* popUp = homeScreen->findChild<QComboBox*>(QStringLiteral("btnScanMode"));
    const int driveItemIndex = popUp->findData(100 + static_cast<int>(ScanSource::googleDrive));
    popUp->setCurrentIndex(driveItemIndex);
    emit popUp->activated(driveItemIndex);
    EXPECT_TRUE(sources->signInSheet().isWaiting());
    ASSERT_TRUE(waitUntil([&] { return picker->windowGoogleDriveFolderList->isVisible(); }));
    EXPECT_FALSE(sources->signInSheet().isShown());
    EXPECT_EQ(secrets.items.keys(), QStringList { QStringLiteral("Authorization1") });

    // My Drive, listed by the picker, goes into the scan list.
    CloudFolderTreeModel& tree = picker->model();
    ASSERT_TRUE(waitUntil([&] { return tree.rowCount(tree.index(0, 0)) == 1; }));
    picker->outlineGDFolderList->setCurrentIndex(tree.index(0, 0));
    click(picker->btnAddFolderGDrive);
    EXPECT_FALSE(picker->windowGoogleDriveFolderList->isVisible());
    ASSERT_EQ(homeScreen->lists().arrPathNodesFinder.size(), 1u);

    // Scan Now: the results screen shows the fake's one group.
    click(homeScreen->scanNowButton());
    ASSERT_TRUE(waitUntil([&] { return results->isVisible(); }, 30000));
    click(titled("ID_SELECT_MANUALLY"));
    QAbstractItemModel& list = *results->tblDuplicates()->model();
    ASSERT_EQ(list.rowCount(), 2);
    const QStringList shown { pathAt(list, 0), pathAt(list, 1) };
    EXPECT_TRUE(shown.contains(QStringLiteral("My Drive/copy.jpg"))) << shown.join(',').toStdString();
    EXPECT_TRUE(shown.contains(QStringLiteral("My Drive/A/B/f.jpg"))) << shown.join(',').toStdString();

    // Mark the copy and Remove it: it goes to the Drive trash, f.jpg stays.
    const int copyRow = shown.indexOf(QStringLiteral("My Drive/copy.jpg"));
    CustomTableView* table = results->tblDuplicates();
    const QModelIndex copy = list.index(copyRow, 0);
    table->scrollTo(copy);
    auto* cell = qobject_cast<CustomCell*>(table->itemDelegateForIndex(copy));
    ASSERT_TRUE(cell);
    const QRect box = cell->outletRects(table->visualRect(copy), copy)[std::size_t(CustomCell::Outlet::btnCheckBox)];
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, box.center());
    click(results->findChild<QAbstractButton*>(QStringLiteral("btnTrash")));
    click(titled("ID_TRASH"));
    ASSERT_TRUE(waitUntil([&] { return trashed.has_value(); }, 30000));
    EXPECT_EQ(trashed->value(QStringLiteral("trashed")).toBool(), true);
    EXPECT_EQ(server.requestCount("PATCH", QStringLiteral("/api/files/f")), 0);
    // The removal ends with its report; the group of two is gone.
    click(titled("ID_OK"));
    EXPECT_TRUE(waitUntil([&] { return list.rowCount() == 0; }));
    EXPECT_TRUE(alerts->texts.isEmpty()) << alerts->texts.join(',').toStdString();

    delete homeScreen;
    setNetworkReachabilityProbe(nullptr);
    setAlertPresenter(nullptr);
    selectedScanSource() = ScanSource::thisComputer;
}
