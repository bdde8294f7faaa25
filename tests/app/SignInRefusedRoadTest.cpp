// A service that stops accepting the sign-in in the middle of a scan, on
// every service's road through the real screens: the scan's end says to sign
// in again (not to look at the connection), the session is over, and the
// next Remove, Add and Scan Now ask for the sign-in before they ask the
// service anything. A connection lost on the way is still told as such.
#include "app/AppComposition.h"
#include "app/CloudRoadParts.h"
#include "cloud/BoxCloudHandler.h"
#include "cloud/CloudSignInSheet.h"
#include "cloud/CloudSourceController.h"
#include "cloud/DropBoxHandler.h"
#include "cloud/GoogleDriveHandler.h"
#include "cloud/OneDriveHandler.h"
#include "cloud/SecretStore.h"
#include "core/Localization.h"
#include "support/FakeGoogle.h"
#include "support/FakeServiceConfig.h"

#include <QJsonArray>

namespace {

// How A, the folder inside the chosen root, is answered.
enum class FolderA { refusesSignIn, losesConnection };

// The answer for A: a 401 (whose refresh the token route refuses), or one
// held back until the test drops the connection.
FakeHttpResponse answerForA(FolderA how)
{
    if (how == FolderA::refusesSignIn)
        return FakeHttpResponse::json(401, { { QStringLiteral("error"), QStringLiteral("invalid_token") } });
    FakeHttpResponse held = FakeHttpResponse::json(200, {});
    held.held = true;
    return held;
}

// One service's road: its fake, its handler, and a root that holds two
// copies and the folder A.
struct Road {
    const char* name;
    ScanSource source;
    // The service's server; its token route is the sign-in's.
    FakeHttpServer* server = nullptr;
    // The store the handler keeps its sign-in in; none for memory only.
    MemorySecretStore* secrets = nullptr;
    QString secretItem;
    std::function<void(FolderA)> serve;
    CloudSourceController::HandlerFactory handlers;
    // The session's tokens in memory.
    std::function<bool()> hasTokens;
};

QJsonObject oneDriveFile(const char* id, const char* name)
{
    return { { QStringLiteral("id"), QString::fromLatin1(id) }, { QStringLiteral("name"), QString::fromLatin1(name) },
        { QStringLiteral("size"), 200000 },
        { QStringLiteral("file"),
            QJsonObject { { QStringLiteral("hashes"), QJsonObject { { QStringLiteral("sha256Hash"), "same" } } } } } };
}

QJsonObject boxEntry(const char* type, const char* id, const char* name)
{
    return { { QStringLiteral("type"), QString::fromLatin1(type) }, { QStringLiteral("id"), QString::fromLatin1(id) },
        { QStringLiteral("name"), QString::fromLatin1(name) }, { QStringLiteral("size"), 200000 },
        { QStringLiteral("sha1"), QStringLiteral("same") } };
}

// A handler of an OAuth service, whose browser follows the redirect back.
template <typename Handler>
CloudSourceController::HandlerFactory oauthHandlers(
    ScanSource chosen, FakeHttpServer& server, const QString& service, Handler*& made, MemorySecretStore** store)
{
    return [chosen, &server, service, &made, store](ScanSource source) -> std::unique_ptr<ScanWrapper> {
        if (source != chosen)
            return nullptr;
        std::unique_ptr<Handler> handler;
        if constexpr (std::is_same_v<Handler, OneDriveHandler>) {
            handler = std::make_unique<Handler>(fakeServiceConfig(server, service));
        } else {
            auto kept = std::make_unique<MemorySecretStore>();
            *store = kept.get();
            handler = std::make_unique<Handler>(fakeServiceConfig(server, service), std::move(kept));
        }
        Handler* raw = handler.get();
        raw->session().setBrowserOpener([&server, raw](const QUrl& url) {
            server.browse(url, [raw](const QUrl& redirect) { raw->session().handleRedirect(redirect); });
        });
        made = raw;
        return handler;
    };
}

class SignInRefusedRoad : public CloudRoad {
protected:
    // A fresh service, home and program for each service's road: its token
    // route is taken over on the way.
    std::unique_ptr<ServiceRoad> served;
    FakeGoogle google;
    MemorySecretStore driveSecrets;
    std::optional<CloudServiceConfig> driveConfig;
    DropBoxHandler* dropbox = nullptr;
    BoxCloudHandler* box = nullptr;
    OneDriveHandler* oneDrive = nullptr;
    GoogleDriveHandler* drive = nullptr;
    MemorySecretStore* dropboxSecrets = nullptr;
    MemorySecretStore* boxSecrets = nullptr;

    void SetUp() override
    {
        ASSERT_TRUE(google.start());
        driveConfig = CloudConfig::fromJson(QStringLiteral("google"), google.config());
    }

    Road roadOf(ScanSource source)
    {
        served = std::make_unique<ServiceRoad>();
        EXPECT_TRUE(served->start());
        FakeHttpServer& server = served->server;
        switch (source) {
        case ScanSource::dropbox:
            return { "Dropbox", source, &server, nullptr, QString::fromLatin1(SecretItem::dropbox),
                [&server](FolderA how) {
                    server.route("POST", QStringLiteral("/api/2/files/list_folder"), [how](const FakeHttpRequest& r) {
                        if (r.json().value(QStringLiteral("path")).toString() == QLatin1String("/A"))
                            return answerForA(how);
                        QJsonObject folder { { QStringLiteral(".tag"), QStringLiteral("folder") },
                            { QStringLiteral("name"), QStringLiteral("A") },
                            { QStringLiteral("path_display"), QStringLiteral("/A") },
                            { QStringLiteral("id"), QStringLiteral("id:A") } };
                        return FakeHttpResponse::json(200,
                            { { QStringLiteral("entries"),
                                  QJsonArray { dropboxFile("/a.jpg"), dropboxFile("/copy.jpg"), folder } },
                                { QStringLiteral("has_more"), false } });
                    });
                },
                oauthHandlers<DropBoxHandler>(source, server, QStringLiteral("dropbox"), dropbox, &dropboxSecrets),
                [this] { return dropbox && dropbox->session().isSignedIn(); } };
        case ScanSource::box:
            return { "Box", source, &server, nullptr, QString::fromLatin1(SecretItem::box),
                [&server](FolderA how) {
                    server.route("GET", QStringLiteral("/api/folders/10/items"),
                        [how](const FakeHttpRequest&) { return answerForA(how); });
                    server.route("GET", QStringLiteral("/api/folders/0/items"), [](const FakeHttpRequest&) {
                        const QJsonArray entries { boxEntry("file", "1", "a.jpg"), boxEntry("file", "2", "copy.jpg"),
                            boxEntry("folder", "10", "A") };
                        return FakeHttpResponse::json(
                            200, { { QStringLiteral("entries"), entries }, { QStringLiteral("total_count"), 3 } });
                    });
                },
                oauthHandlers<BoxCloudHandler>(source, server, QStringLiteral("box"), box, &boxSecrets),
                [this] { return box && box->session().isSignedIn(); } };
        case ScanSource::oneDrive:
            return { "OneDrive", source, &server, nullptr, QString(),
                [&server](FolderA how) {
                    server.route("GET", QStringLiteral("/api/v1.0/me/drive/items/10/children"),
                        [how](const FakeHttpRequest&) { return answerForA(how); });
                    server.route("GET", QStringLiteral("/api/v1.0/me/drive/root/children"), [](const FakeHttpRequest&) {
                        const QJsonObject folder { { QStringLiteral("id"), QStringLiteral("10") },
                            { QStringLiteral("name"), QStringLiteral("A") },
                            { QStringLiteral("folder"), QJsonObject() } };
                        return FakeHttpResponse::json(200,
                            { { QStringLiteral("value"),
                                QJsonArray { oneDriveFile("1", "a.jpg"), oneDriveFile("2", "copy.jpg"), folder } } });
                    });
                },
                oauthHandlers<OneDriveHandler>(source, server, QStringLiteral("onedrive"), oneDrive, nullptr),
                [this] { return oneDrive && oneDrive->session().isSignedIn(); } };
        default:
            break;
        }
        FakeHttpServer& googleServer = google.server;
        return { "Google Drive", ScanSource::googleDrive, &googleServer, &driveSecrets,
            QString::fromLatin1(SecretItem::googleDrive),
            [this, &googleServer](FolderA how) {
                google.tree = { { QStringLiteral("root"),
                    { { FakeGoogle::item(QStringLiteral("a"), QStringLiteral("A"), QStringLiteral("folder")),
                        FakeGoogle::item(
                            QStringLiteral("c1"), QStringLiteral("copy.jpg"), QStringLiteral("m1"), 200000),
                        FakeGoogle::item(
                            QStringLiteral("t"), QStringLiteral("a.jpg"), QStringLiteral("m1"), 200000) } } } };
                const FakeHttpServer::Handler files = googleServer.routed("GET", QStringLiteral("/api/files"));
                googleServer.route("GET", QStringLiteral("/api/files"), [how, files](const FakeHttpRequest& request) {
                    if (request.query.queryItemValue(QStringLiteral("q"), QUrl::FullyDecoded)
                            .startsWith("'a' in parents"))
                        return answerForA(how);
                    return files(request);
                });
            },
            [this](ScanSource source) -> std::unique_ptr<ScanWrapper> {
                if (source != ScanSource::googleDrive)
                    return nullptr;
                auto handler = std::make_unique<GoogleDriveHandler>(*driveConfig, &driveSecrets);
                handler->setBrowserOpener([this, raw = handler.get()](const QUrl& url) {
                    google.server.browse(url, [raw](const QUrl& redirect) { raw->resumeSignIn(redirect); });
                });
                drive = handler.get();
                return handler;
            },
            [this] { return drive && drive->isAuthenticateForScan.load(); } };
    }

    MemorySecretStore* storeOf(const Road& service) const
    {
        if (service.source == ScanSource::dropbox)
            return dropboxSecrets;
        if (service.source == ScanSource::box)
            return boxSecrets;
        return service.secrets;
    }
};

// The ID_ text's index among the alerts shown, -1 for none.
qsizetype alertOf(const Alerts& alerts, const char* key)
{
    return alerts.texts.indexOf(localizedText(key));
}

} // namespace

// The service answers a folder's listing with 401 and refuses the refresh:
// the scan shows what it found and says to sign in again; the tokens are gone
// from memory and the keyring; Remove, Add and Scan Now each show the sign-in
// sheet and ask the service nothing. One alert says it, with its reason.
TEST_F(SignInRefusedRoad, ARefusedSignInEndsTheSessionAndEveryNextStepAsksForTheSignIn)
{
    for (const ScanSource source :
        { ScanSource::dropbox, ScanSource::box, ScanSource::oneDrive, ScanSource::googleDrive }) {
        const Road service = roadOf(source);
        SCOPED_TRACE(service.name);
        FakeHttpServer& server = *service.server;
        service.serve(FolderA::refusesSignIn);
        AppComposition program(served->defaults, service.handlers);
        program.launch();
        setAlertPresenter(served->alerts);
        Alerts& alerts = *served->alerts;
        alerts.texts.clear();
        alerts.details.clear();
        MainViewController& homeScreen = program.home();
        ResultViewController& results = program.results();
        CloudSourceController& sources = program.cloudSources();
        CloudSignInSheet& sheet = sources.signInSheet();
        homeScreen.engine().setEndOfScanPauses(0, 0);
        ASSERT_NO_FATAL_FAILURE(chooseSourceAndAddItsRoot(homeScreen, program.cloudPicker(), source));
        ASSERT_TRUE(service.hasTokens());
        if (MemorySecretStore* store = storeOf(service)) {
            EXPECT_TRUE(store->items.contains(service.secretItem));
        }

        // From now on the service takes no refresh token.
        server.route("POST", QStringLiteral("/token"), [](const FakeHttpRequest&) {
            return FakeHttpResponse::json(400, { { QStringLiteral("error"), QStringLiteral("invalid_grant") } });
        });
        click(homeScreen.scanNowButton());
        ASSERT_TRUE(waitUntil([&] { return alertOf(alerts, "ID_CLOUD_LISTING_INCOMPLETE") >= 0; }, 30000))
            << alerts.texts.join(',').toStdString();
        EXPECT_EQ(alerts.details.at(alertOf(alerts, "ID_CLOUD_LISTING_INCOMPLETE")),
            localizedText("ID_CLOUD_LISTING_SIGNED_OUT_DETAILS"));
        EXPECT_EQ(alertOf(alerts, "ID_AUTHORIZATION_ERROR"), -1) << alerts.texts.join(',').toStdString();
        ASSERT_TRUE(waitUntil([&] { return results.isVisible(); }, 30000));

        // The session is over: nothing kept in memory or in the keyring.
        ScanWrapper* handler = homeScreen.lists().sources.handler(source);
        ASSERT_TRUE(handler);
        EXPECT_FALSE(handler->isAuthenticateForScan);
        EXPECT_FALSE(service.hasTokens());
        if (MemorySecretStore* store = storeOf(service)) {
            EXPECT_TRUE(waitUntil([&] { return !store->items.contains(service.secretItem); }));
        }

        // Remove asks for the sign-in and removes nothing.
        const size_t asked = server.requestLog.size();
        click(titled("ID_SELECT_MANUALLY"));
        CustomTableView& table = *results.tblDuplicates();
        QAbstractItemModel& list = *table.model();
        ASSERT_EQ(list.rowCount(), 2);
        clickCheckBox(table, list.index(1, 0));
        click(results.findChild<QAbstractButton*>(QStringLiteral("btnTrash")));
        click(titled("ID_TRASH"));
        ASSERT_TRUE(waitUntil([&] { return sheet.isShown(); }));
        EXPECT_FALSE(results.cleanup().isRemoving());
        click(sheet.btnCancelInstruction);
        EXPECT_FALSE(sheet.isShown());

        // Back home, Add asks for it instead of opening the folder list.
        click(results.findChild<QAbstractButton*>(QStringLiteral("btnBack")));
        ASSERT_TRUE(waitUntil([&] { return homeScreen.isVisible(); }));
        click(homeScreen.findChild<QAbstractButton*>(QStringLiteral("btnAddPath")));
        EXPECT_TRUE(sheet.isShown());
        EXPECT_FALSE(program.cloudPicker().windowGoogleDriveFolderList->isVisible());
        click(sheet.btnCancelInstruction);

        // And so does Scan Now, before it lists anything.
        click(homeScreen.scanNowButton());
        EXPECT_TRUE(sheet.isShown());
        EXPECT_FALSE(homeScreen.engine().isScanUnderWay());
        click(sheet.btnCancelInstruction);
        QCoreApplication::processEvents();
        EXPECT_EQ(server.requestLog.size(), asked);
        selectedScanSource() = ScanSource::thisComputer;
    }
}

// A connection lost while a folder lists is told as a lost connection, and
// the sign-in stands.
TEST_F(SignInRefusedRoad, ALostConnectionIsToldAsOneAndKeepsTheSignIn)
{
    for (const ScanSource source :
        { ScanSource::dropbox, ScanSource::box, ScanSource::oneDrive, ScanSource::googleDrive }) {
        const Road service = roadOf(source);
        SCOPED_TRACE(service.name);
        FakeHttpServer& server = *service.server;
        service.serve(FolderA::losesConnection);
        AppComposition program(served->defaults, service.handlers);
        program.launch();
        setAlertPresenter(served->alerts);
        Alerts& alerts = *served->alerts;
        alerts.texts.clear();
        alerts.details.clear();
        MainViewController& homeScreen = program.home();
        homeScreen.engine().setEndOfScanPauses(0, 0);
        ASSERT_NO_FATAL_FAILURE(chooseSourceAndAddItsRoot(homeScreen, program.cloudPicker(), source));

        click(homeScreen.scanNowButton());
        ASSERT_TRUE(waitUntil([&] { return server.heldCount() == 1; }, 30000));
        server.closeConnections();
        ASSERT_TRUE(waitUntil([&] { return alertOf(alerts, "ID_CLOUD_LISTING_INCOMPLETE") >= 0; }, 30000))
            << alerts.texts.join(',').toStdString();
        EXPECT_EQ(alerts.details.at(alertOf(alerts, "ID_CLOUD_LISTING_INCOMPLETE")),
            localizedText("ID_CLOUD_LISTING_INCOMPLETE_DETAILS"));
        EXPECT_EQ(alertOf(alerts, "ID_AUTHORIZATION_ERROR"), -1);
        EXPECT_TRUE(homeScreen.lists().sources.handler(source)->isAuthenticateForScan);
        EXPECT_TRUE(service.hasTokens());
        EXPECT_TRUE(waitUntil([&] { return program.results().isVisible(); }, 30000));
        server.releaseHeld();
        selectedScanSource() = ScanSource::thisComputer;
    }
}
