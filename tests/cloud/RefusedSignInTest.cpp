// A sign-in the service no longer accepts, met outside a scan (the folder
// picker lists a folder): every service ends its session the same way and
// says so in one alert that tells what happened and what to do.
#include "cloud/BoxCloudHandler.h"
#include "cloud/DropBoxHandler.h"
#include "cloud/GoogleDriveHandler.h"
#include "cloud/OneDriveHandler.h"
#include "cloud/SecretStore.h"
#include "core/GlobalObjects.h"
#include "core/Localization.h"
#include "support/FakeGoogle.h"
#include "support/RecordingAlerts.h"
#include "support/SignedInHandler.h"

#include <gtest/gtest.h>

namespace {

struct PickerDelegate : ScanWrapperDelegate {
    int listingsEnded = 0;
    void OnScanCompletedProcess() override { ++listingsEnded; }
};

// Every request is answered 401 and the refresh is refused from now on.
void refuseTheSignIn(FakeHttpServer& server, const QByteArray& method, const QString& listing)
{
    server.route(method, listing, [](const FakeHttpRequest&) {
        return FakeHttpResponse::json(401, { { QStringLiteral("error"), "expired" } });
    });
    server.route("POST", QStringLiteral("/token"), [](const FakeHttpRequest&) {
        return FakeHttpResponse::json(400, { { QStringLiteral("error"), QStringLiteral("invalid_grant") } });
    });
}

// Lists the handler's root for the picker and returns the alerts shown.
std::vector<AlertRequest> listRootForThePicker(ScanWrapper& handler)
{
    auto alerts = std::make_shared<RecordingAlerts>();
    setAlertPresenter(alerts);
    PickerDelegate delegate;
    handler.delegate = &delegate;
    handler.fetchChildFolders(handler.makeRootFolderNode());
    EXPECT_TRUE(waitUntil([&] { return delegate.listingsEnded == 1; }));
    QCoreApplication::processEvents();
    handler.delegate = nullptr;
    setAlertPresenter(nullptr);
    return alerts->shown;
}

void expectOneAlertThatSaysSo(const std::vector<AlertRequest>& shown)
{
    ASSERT_EQ(shown.size(), 1u) << messagesOf(shown).join(',').toStdString();
    EXPECT_EQ(shown.front().messageText, localizedText("ID_AUTHORIZATION_ERROR"));
    EXPECT_FALSE(shown.front().informativeText.isEmpty());
    EXPECT_EQ(shown.front().informativeText, localizedText("ID_SIGN_IN_NO_LONGER_ACCEPTED"));
}

template <typename Handler> void expectAPickerListingEndsTheRefusedSignIn(const QByteArray& method, const QString& root)
{
    FakeHttpServer server;
    ASSERT_TRUE(server.listen());
    server.enableOAuth(QStringLiteral("client"));
    std::unique_ptr<Handler> handler = signedInAtFakeServer<Handler>(server);
    ASSERT_TRUE(handler->isAuthenticateForScan);
    const quint64 refusals = handler->signInRefusals();
    refuseTheSignIn(server, method, root);
    ASSERT_NO_FATAL_FAILURE(expectOneAlertThatSaysSo(listRootForThePicker(*handler)));
    EXPECT_FALSE(handler->isAuthenticateForScan);
    EXPECT_FALSE(handler->session().isSignedIn());
    EXPECT_EQ(handler->signInRefusals(), refusals + 1);
}

} // namespace

TEST(RefusedSignIn, APickerListingRefusedTheSignInEndsItWithOneAlertOnEveryService)
{
    isScanRunning = false;
    {
        SCOPED_TRACE("Dropbox");
        expectAPickerListingEndsTheRefusedSignIn<DropBoxHandler>("POST", QStringLiteral("/api/2/files/list_folder"));
    }
    {
        SCOPED_TRACE("Box");
        expectAPickerListingEndsTheRefusedSignIn<BoxCloudHandler>("GET", QStringLiteral("/api/folders/0/items"));
    }
    {
        SCOPED_TRACE("OneDrive");
        expectAPickerListingEndsTheRefusedSignIn<OneDriveHandler>(
            "GET", QStringLiteral("/api/v1.0/me/drive/root/children"));
    }

    SCOPED_TRACE("Google Drive");
    FakeGoogle google;
    ASSERT_TRUE(google.start());
    MemorySecretStore secrets;
    GoogleDriveHandler drive(CloudConfig::fromJson(QStringLiteral("google"), google.config()), &secrets);
    drive.setRedirectBase(QStringLiteral("http://127.0.0.1:4712"));
    drive.setBrowserOpener([&](const QUrl& url) {
        google.server.browse(url, [&drive](const QUrl& redirect) { drive.resumeSignIn(redirect); });
    });
    ASSERT_TRUE(drive.authenticateCloud());
    ASSERT_TRUE(waitUntil([&] { return drive.isAuthenticateForScan.load(); }));
    ASSERT_FALSE(secrets.items.isEmpty());
    refuseTheSignIn(google.server, "GET", QStringLiteral("/api/files"));
    ASSERT_NO_FATAL_FAILURE(expectOneAlertThatSaysSo(listRootForThePicker(drive)));
    EXPECT_FALSE(drive.isAuthenticateForScan);
    EXPECT_TRUE(secrets.items.isEmpty());
}
