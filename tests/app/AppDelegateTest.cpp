#include "app/AppDelegate.h"
#include "app/SupportFiles.h"
#include "base/AppPaths.h"
#include "base/UserDefaults.h"
#include "cloud/OAuthSession.h"
#include "cloud/SecretStore.h"
#include "controls/Mnemonics.h"
#include "core/FileOperations.h"
#include "core/GlobalObjects.h"
#include "core/SettingsSchema.h"
#include "scan/EngineFixture.h"
#include "scan/FakeScanScreen.h"
#include "scan/ScanEngine.h"
#include "scan/ScanSources.h"
#include "support/ScopedLanguageTable.h"
#include "support/TempHome.h"
#include "support/TestFiles.h"
#include "support/WaitUntil.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QKeySequence>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QUrlQuery>
#include <gtest/gtest.h>

namespace {

struct FakeHome : HomeScreen {
    QWidget root;
    ScanEngine* engine = nullptr;
    QWidget* view() override { return &root; }
    ScanEngine* scanEngine() override { return engine; }
};

struct FakeCloud : CloudSessions {
    QStringList routed;
    int signOuts = 0;
    // When set, the Drive sign-in's redirects go to it.
    std::function<bool(const QUrl&)> googleSignIn;
    bool resumeGoogleSignIn(const QUrl& url) override
    {
        if (googleSignIn)
            return googleSignIn(url);
        routed.append(QStringLiteral("google ") + url.toString(QUrl::FullyEncoded));
        return true;
    }
    void signOutAtQuit() override { ++signOuts; }
};

// The compiled-in English texts, for as long as it lives.
struct EnglishTable {
    EnglishTable()
    {
        LocalizationDetail::resetLocalizationTable();
        LocalizationDetail::loadLocalizationTableFrom({ QStringLiteral("en") }, LocalizationDetail::resourceFolder);
    }
    ~EnglishTable() { LocalizationDetail::resetLocalizationTable(); }
};

struct AppDelegateTest : ::testing::Test {
    TempHome home;
    UserDefaults defaults { home.configHome() + QStringLiteral("/Vellicor") };
    FakeScanScreen screen; // the alert presenter, answering nothing on its own
    std::shared_ptr<FakeCloud> cloud = std::make_shared<FakeCloud>();
    // The keyring, in memory: no test reaches the desktop's own.
    std::shared_ptr<MemorySecretStore> secrets = std::make_shared<MemorySecretStore>();
    FakeHome* fakeHome = nullptr;
    int terminated = 0;
    int activations = 0;
    QList<QUrl> opened;

    std::unique_ptr<AppDelegate> makeDelegate()
    {
        auto homeScreen = std::make_unique<FakeHome>();
        fakeHome = homeScreen.get();
        auto delegate = std::make_unique<AppDelegate>(defaults, std::move(homeScreen));
        delegate->setCloudSessions(cloud);
        delegate->setSecretStore(secrets);
        delegate->terminate = [this] { ++terminated; };
        delegate->activateApplication = [this] { ++activations; };
        delegate->openUrl = [this](const QUrl& url) {
            opened.append(url);
            return true;
        };
        return delegate;
    }

    void SetUp() override
    {
        screen.holdAnswers = true;
        setAlertPresenter(std::shared_ptr<AlertPresenter>(&screen, [](AlertPresenter*) {}));
    }
    void TearDown() override
    {
        setAlertPresenter(nullptr);
        OAuthSession::setKeepingTokens(true);
        isScanRunning = false;
        isSmallScreenLayout = false;
        selectedScanSource() = ScanSource::thisComputer;
    }
};

} // namespace

TEST_F(AppDelegateTest, QuitIsRefusedWithOneAlertWhileAScanRunsAndEndsTheSignInsAfterwards)
{
    auto delegate = makeDelegate();
    ScanSources sources(defaults);
    ScanEngine engine(screen, defaults, sources);
    fakeHome->engine = &engine;
    isScanRunning = true;
    delegate->window()->close();
    delegate->menuQuit->trigger();
    delegate->btnQuitTapped();
    EXPECT_EQ(screen.alerts.size(), 1u);
    EXPECT_EQ(terminated, 0);
    EXPECT_EQ(cloud->signOuts, 0);

    // The scan has ended (the finishing pause comes after its worker's end).
    screen.heldAnswers.front()(0);
    isScanRunning = false;
    delegate->window()->close();
    EXPECT_EQ(terminated, 1);
    EXPECT_EQ(cloud->signOuts, 1);
    EXPECT_EQ(screen.alerts.size(), 1u);
}

class QuitAtTheEndOfAScan : public EngineFixture { };

TEST_F(QuitAtTheEndOfAScan, IsAllowedDuringTheFinishingPauseAndKeepsTheScansRecord)
{
    engine->setEndOfScanPauses(60000, 0);
    tree.file(QStringLiteral("a.txt"), "same");
    tree.file(QStringLiteral("b.txt"), "same");
    addRow(tree.root());
    auto homeScreen = std::make_unique<FakeHome>();
    homeScreen->engine = engine.get();
    AppDelegate delegate(*defaults, std::move(homeScreen));
    int terminated = 0;
    delegate.terminate = [&terminated] { ++terminated; };

    engine->btnStartScanTapped();
    ASSERT_TRUE(isScanRunning);
    ASSERT_TRUE(QTest::qWaitFor([] { return !isScanRunning; }, 20000));
    delegate.btnQuitTapped();
    EXPECT_EQ(terminated, 1);
    EXPECT_TRUE(screen.alerts.empty());
    // The record is in the store when the program goes, read back as the next
    // run reads it.
    const auto history = [this] {
        return UserDefaults(home.configHome() + QStringLiteral("/Vellicor"))
            .arrayValue(QLatin1String(SettingsKey::lastScanStatus))
            .value_or(QVariantList {});
    };
    ASSERT_EQ(history().size(), 1);
    EXPECT_EQ(history().front().toMap().value(QStringLiteral("dupCount")).toInt(), 1);
    engine.reset(); // what the end of the home screen does: the worker is joined
    EXPECT_EQ(history().size(), 1);
    EXPECT_TRUE(screen.results.empty());
}

TEST_F(AppDelegateTest, SmallScreensGetTheSmallLayoutWithItsFrameEdits)
{
    const struct {
        QSize screen;
        bool small;
    } table[]
        = { { { 1440, 900 }, false }, { { 1280, 800 }, false }, { { 1280, 720 }, true }, { { 960, 1200 }, true } };
    for (const auto& row : table) {
        isSmallScreenLayout = false;
        auto delegate = makeDelegate();
        fakeHome->root.resize(1082, 700);
        auto* arrow = new QWidget(&fakeHome->root);
        arrow->setObjectName(QStringLiteral("imgArrow"));
        arrow->setGeometry(100, 600, 20, 20); // lower-left y 80
        auto* header = new QWidget(&fakeHome->root);
        header->setObjectName(QStringLiteral("boxHeader"));
        header->setGeometry(0, 0, 1082, 200);

        delegate->adaptLayoutToSmallScreen(row.screen);
        EXPECT_EQ(isSmallScreenLayout, row.small) << row.screen.width() << "x" << row.screen.height();
        const QSize minimum = delegate->window()->centralWidget()->minimumSize();
        EXPECT_EQ(minimum, row.small ? QSize(960, 600) : QSize(1082, 700));
        EXPECT_EQ(arrow->x(), row.small ? 60 : 100);
        if (row.small) { // y := 438, height := 182 in the 600-point content
            EXPECT_EQ(header->geometry(), QRect(0, 600 - 438 - 182, 1082, 182));
        }
    }
}

TEST_F(AppDelegateTest, TheUpdaterStartsAndChecksOnlyAfterTheFirstLaunch)
{
    auto first = makeDelegate();
    first->applicationDidFinishLaunching();
    EXPECT_FALSE(first->updaterController()->isStarted());
    EXPECT_EQ(first->updaterController()->backgroundChecks(), 0);
    EXPECT_EQ(defaults.boolValue(QLatin1String(SettingsKey::isFirstLaunchDone)), true);

    auto second = makeDelegate();
    second->applicationDidFinishLaunching();
    EXPECT_TRUE(second->updaterController()->isStarted());
    EXPECT_EQ(second->updaterController()->backgroundChecks(), 1);
    second->menuCheckForUpdate->trigger();
    EXPECT_EQ(second->updaterController()->userChecks(), 1);
}

// Check for Updates answers with a window that says where updates come from.
TEST_F(AppDelegateTest, CheckForUpdatesSaysUpdatesComeFromThePackageManager)
{
    EnglishTable english;
    auto delegate = makeDelegate();
    delegate->applicationDidFinishLaunching();
    screen.alerts.clear();
    delegate->menuCheckForUpdate->trigger();
    ASSERT_EQ(screen.alerts.size(), 1u);
    EXPECT_EQ(screen.alerts[0].messageText, QStringLiteral("Updates come from your system's package manager."));
    EXPECT_EQ(screen.alerts[0].informativeText,
        QStringLiteral(
            "Vellicor is updated with the rest of your software, by the package manager that installed it."));
    EXPECT_EQ(screen.alerts[0].windowTitle, QStringLiteral("Check for Updates..."));
}

TEST_F(AppDelegateTest, MenuTitlesAndTheHelpPageFollowTheLanguage)
{
    const ScopedLanguageTable german(QStringLiteral("de"),
        { { "ID_ABOUT_APP", "Über DONOT_TRANSLATE_STRING_VALUE" }, { "ID_PREFRENCESS", "Einstellungen" },
            { "ID_QUIT_APP", "DONOT_TRANSLATE_STRING_VALUE beenden" }, { "ID_HELP", "Hilfe" },
            { "ID_UNISTALL", "Deinstallieren..." } });
    auto delegate = makeDelegate();
    delegate->applicationDidFinishLaunching();
    EXPECT_EQ(withoutMnemonic(delegate->menuItemAbout->text()), QStringLiteral("Über Vellicor"));
    EXPECT_EQ(withoutMnemonic(delegate->menuPrefrencess->text()), QStringLiteral("Einstellungen..."));
    EXPECT_EQ(withoutMnemonic(delegate->menuQuit->text()), QStringLiteral("Vellicor beenden"));
    EXPECT_EQ(delegate->menuQuit->shortcut(), QKeySequence(QStringLiteral("Ctrl+Q")));
    EXPECT_EQ(withoutMnemonic(delegate->menuHelp->title()), QStringLiteral("Hilfe"));
    EXPECT_EQ(withoutMnemonic(delegate->menuHelpApp->text()), QStringLiteral("Vellicor Hilfe"));
    EXPECT_EQ(withoutMnemonic(delegate->menuUnInstall->text()), QStringLiteral("Deinstallieren..."));

    delegate->menuHelpApp->trigger();
    ASSERT_EQ(opened.size(), 1);
    // Without an online address the program's own page opens, in the language.
    EXPECT_TRUE(opened.front().isLocalFile());
    EXPECT_EQ(opened.front().query(), QStringLiteral("langcode=de"));
    EXPECT_TRUE(QFile::exists(opened.front().toLocalFile()));
}

namespace {

// A browser sign-in that waits for its redirect, as a cloud source's would;
// the address it opens in the browser goes to authorize.
std::unique_ptr<OAuthSession> waitingSignIn(QUrl* authorize = nullptr)
{
    auto session = std::make_unique<OAuthSession>(CloudConfig::fromJson(QStringLiteral("test"),
                                                      { { QStringLiteral("clientId"), QStringLiteral("c") },
                                                          { QStringLiteral("authorizeUrl"), "http://127.0.0.1:9/a" },
                                                          { QStringLiteral("tokenUrl"), "http://127.0.0.1:9/t" } }),
        nullptr, QString());
    session->setBrowserOpener([authorize](const QUrl& url) {
        if (authorize)
            *authorize = url;
    });
    session->signIn();
    return session;
}

// True when nothing listens at port: a connect is refused.
bool connectRefused(quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    return !socket.waitForConnected(5000) && socket.error() == QAbstractSocket::ConnectionRefusedError;
}

QString queryValue(const QUrl& url, const QString& key)
{
    return QUrlQuery(url).queryItemValue(key, QUrl::FullyDecoded);
}

// Sends a request to the listener and reads until it answers or closes.
QByteArray sendToListener(quint16 port, const QByteArray& request)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    EXPECT_TRUE(socket.waitForConnected(5000));
    socket.write(request);
    QByteArray reply;
    EXPECT_TRUE(QTest::qWaitFor([&] {
        reply += socket.readAll();
        return socket.state() == QAbstractSocket::UnconnectedState || reply.contains("</html>");
    }));
    return reply;
}

const QByteArray redirectRequest = "GET /cb?code=a%20b HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";

} // namespace

TEST_F(AppDelegateTest, OnlyAWaitingSignInsRedirectIsAnsweredAndBringsTheWindowForward)
{
    auto delegate = makeDelegate();
    SignInListener& listener = delegate->signInListener();
    // Opened by hand: a request that arrives when no sign-in waits any more.
    ASSERT_TRUE(listener.open());
    const QString base = listener.redirectBase();

    // No sign-in waits: the connection is closed unanswered, nothing moves.
    ASSERT_FALSE(OAuthSession::isAnySignInWaiting());
    EXPECT_EQ(sendToListener(listener.port(), redirectRequest), QByteArray());
    QTest::qWait(20);
    EXPECT_TRUE(cloud->routed.isEmpty());
    EXPECT_EQ(activations, 0);

    const std::unique_ptr<OAuthSession> signIn = waitingSignIn();
    ASSERT_TRUE(OAuthSession::isAnySignInWaiting());
    // A Dropbox sign-in takes its redirect as a handler's own; none waits here.
    const struct {
        ScanSource source;
        QString routed;
    } table[] = { { ScanSource::dropbox, QString() },
        { ScanSource::googleDrive, QStringLiteral("google ") + base + QStringLiteral("/cb?code=a%20b") },
        { ScanSource::oneDrive, QString() }, { ScanSource::thisComputer, QString() } };
    for (const auto& row : table) {
        cloud->routed.clear();
        const int before = activations;
        selectedScanSource() = row.source;
        const QByteArray reply = sendToListener(listener.port(), redirectRequest);
        // Only a redirect some sign-in took raises the window.
        const bool taken = !row.routed.isEmpty();
        EXPECT_TRUE(reply.startsWith(taken ? "HTTP/1.1 200" : "HTTP/1.1 400")) << reply.constData();
        EXPECT_EQ(activations, before + (taken ? 1 : 0));
        EXPECT_EQ(cloud->routed, taken ? QStringList { row.routed } : QStringList());
    }
    selectedScanSource() = ScanSource::googleDrive;
    cloud->routed.clear();
    EXPECT_TRUE(sendToListener(listener.port(), "POST /cb HTTP/1.1\r\n\r\n").startsWith("HTTP/1.1 400"));
    QTest::qWait(20);
    EXPECT_TRUE(cloud->routed.isEmpty());

    const quint16 port = listener.port();
    signIn->cancelSignIn();
    EXPECT_TRUE(connectRefused(port));
}

TEST_F(AppDelegateTest, TheListenerListensOnlyWhileASignInWaitsAndOnThePortItHandsOut)
{
    auto delegate = makeDelegate();
    SignInListener& listener = delegate->signInListener();
    EXPECT_FALSE(listener.isListening());
    selectedScanSource() = ScanSource::googleDrive;

    // A sign-in opens the listener, and its authorize address carries the
    // port bound; the redirect sent there reaches the session.
    QUrl authorize;
    std::unique_ptr<OAuthSession> signIn = waitingSignIn(&authorize);
    ASSERT_TRUE(listener.isListening());
    const QUrl redirect(queryValue(authorize, QStringLiteral("redirect_uri")));
    EXPECT_EQ(redirect.host(), QStringLiteral("127.0.0.1"));
    const quint16 port = listener.port();
    ASSERT_EQ(redirect.port(), port);
    cloud->googleSignIn = [&](const QUrl& url) { return signIn->handleRedirect(url); };
    QSignalSpy finished(signIn.get(), &OAuthSession::signInFinished);
    const QByteArray request = "GET " + redirect.path().toUtf8()
        + "?code=c&state=" + queryValue(authorize, QStringLiteral("state")).toUtf8() + " HTTP/1.1\r\n\r\n";
    EXPECT_TRUE(sendToListener(port, request).startsWith("HTTP/1.1 200"));
    // The code exchange with the unreachable service fails: the sign-in has
    // ended and nothing listens any more.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !finished.isEmpty(); }, 30000));
    EXPECT_FALSE(listener.isListening());
    EXPECT_TRUE(connectRefused(port));

    // The next sign-in comes back on the same port while it is free...
    signIn = waitingSignIn(&authorize);
    EXPECT_EQ(listener.port(), port);
    EXPECT_EQ(QUrl(queryValue(authorize, QStringLiteral("redirect_uri"))).port(), port);
    signIn->cancelSignIn();
    EXPECT_TRUE(connectRefused(port));

    // ...and on another one, which its address carries, when it is taken.
    QTcpServer other;
    ASSERT_TRUE(other.listen(QHostAddress::LocalHost, port));
    signIn = waitingSignIn(&authorize);
    ASSERT_TRUE(listener.isListening());
    EXPECT_NE(listener.port(), port);
    const quint16 newPort = listener.port();
    EXPECT_EQ(QUrl(queryValue(authorize, QStringLiteral("redirect_uri"))).port(), newPort);
    // A sign-in that goes away without ending (the program quits) closes it too.
    signIn.reset();
    EXPECT_FALSE(OAuthSession::isAnySignInWaiting());
    EXPECT_TRUE(connectRefused(newPort));
}

TEST_F(AppDelegateTest, TheListenerServesAFewConnectionsAndDropsIdleOnes)
{
    auto delegate = makeDelegate();
    SignInListener& listener = delegate->signInListener();
    const std::unique_ptr<OAuthSession> signIn = waitingSignIn();
    selectedScanSource() = ScanSource::googleDrive;

    // A flood of silent connections: those past the few served are closed
    // at once, and the served ones hold no more than their share.
    std::vector<std::unique_ptr<QTcpSocket>> idle;
    const int flood = 4 * SignInListener::maximumConnections;
    for (int i = 0; i < flood; ++i) {
        idle.push_back(std::make_unique<QTcpSocket>());
        idle.back()->connectToHost(QHostAddress::LocalHost, listener.port());
    }
    const auto closedByListener = [&] {
        return std::count_if(idle.begin(), idle.end(),
            [](const auto& socket) { return socket->state() == QAbstractSocket::UnconnectedState; });
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return closedByListener() >= flood - SignInListener::maximumConnections; }));
    // Once the idle ones go, a browser's redirect is served again.
    idle.clear();
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return sendToListener(listener.port(), redirectRequest).startsWith("HTTP/1.1 200"); }));

    // A connection that never sends its request is dropped after a while.
    listener.setRequestTimeLimitMs(100);
    QTcpSocket silent;
    silent.connectToHost(QHostAddress::LocalHost, listener.port());
    ASSERT_TRUE(silent.waitForConnected(5000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return silent.state() == QAbstractSocket::UnconnectedState; }, 5000));
}

TEST_F(AppDelegateTest, ConnectionsHeldOpenCannotShutTheBrowserOut)
{
    auto delegate = makeDelegate();
    SignInListener& listener = delegate->signInListener();
    const std::unique_ptr<OAuthSession> signIn = waitingSignIn();
    selectedScanSource() = ScanSource::googleDrive;

    // Another user keeps every place taken, renewing them as they go.
    std::vector<std::unique_ptr<QTcpSocket>> held;
    for (int i = 0; i < SignInListener::maximumConnections; ++i) {
        held.push_back(std::make_unique<QTcpSocket>());
        held.back()->connectToHost(QHostAddress::LocalHost, listener.port());
        ASSERT_TRUE(held.back()->waitForConnected(5000));
    }
    QTest::qWait(50);
    EXPECT_TRUE(sendToListener(listener.port(), redirectRequest).startsWith("HTTP/1.1 200"));
    // The oldest of them gave way.
    EXPECT_TRUE(QTest::qWaitFor([&] { return held.front()->state() == QAbstractSocket::UnconnectedState; }));
    EXPECT_EQ(held.back()->state(), QAbstractSocket::ConnectedState);
}

TEST_F(AppDelegateTest, UninstallAsksFirstThenRemovesExactlyTheProgramsOwnFiles)
{
    const QString program = QCoreApplication::applicationFilePath();
    const QString outside = home.path() + QStringLiteral("/outside/keep.txt");
    const QStringList ours { AppPaths::settingsFolder() + QStringLiteral("/settings.json"),
        AppPaths::cacheDatabaseFile(), AppPaths::logFile(), AppPaths::dataFolder() + QStringLiteral("/a/b.txt") };
    for (const QString& file : ours + QStringList { outside }) {
        QDir().mkpath(QFileInfo(file).path());
        writeTestFile(file, "x");
    }
    // A link inside our folder is removed as a link, its target left alone.
    ASSERT_TRUE(QFile::link(QFileInfo(outside).path(), AppPaths::dataFolder() + QStringLiteral("/link")));
    ASSERT_TRUE(FileOperations::addApplicationAsLoginItem(program));
    ASSERT_TRUE(FileOperations::addApplicationAsLoginItem(QStringLiteral("/usr/bin/env")));

    EnglishTable english;
    auto delegate = makeDelegate();
    delegate->menuUnInstall->trigger();
    // The question says what goes, and what stays for the package manager.
    ASSERT_EQ(screen.alerts.size(), 1u);
    EXPECT_EQ(screen.alerts[0].informativeText,
        QStringLiteral("This removes the settings, cache, log and data folders of Vellicor, its autostart entry and "
                       "the cloud sign-ins it keeps in the keyring. "
                       "The program itself is removed with your system's package manager."));
    screen.heldAnswers.at(0)(0); // No
    EXPECT_TRUE(QFile::exists(ours.front()));

    delegate->actUninstall();
    screen.heldAnswers.at(1)(1); // Yes
    for (const QString& folder : supportFolders())
        EXPECT_FALSE(QFileInfo::exists(folder)) << folder.toStdString();
    EXPECT_TRUE(QFile::exists(outside));
    EXPECT_EQ(FileOperations::getApplicationsListFromLoginItem(), QStringList { "/usr/bin/env" });
    // The end is told before the program ends.
    ASSERT_EQ(screen.alerts.size(), 3u);
    EXPECT_EQ(screen.alerts[2].messageText,
        QStringLiteral("The settings, cache, log and data folders of Vellicor, its autostart entry and its cloud "
                       "sign-ins in the keyring are removed."));
    EXPECT_EQ(screen.alerts[2].informativeText,
        QStringLiteral("Remove the program itself with your system's package manager. Vellicor ends now."));
    EXPECT_EQ(terminated, 0);
    screen.heldAnswers.at(2)(0);
    EXPECT_EQ(terminated, 1);
}

// What could not be removed is named with its reason in the last word.
TEST_F(AppDelegateTest, UninstallNamesWhatItCouldNotRemove)
{
    EnglishTable english;
    qputenv("XDG_DATA_HOME", "/");
    auto delegate = makeDelegate();
    delegate->actUninstall();
    screen.heldAnswers.at(0)(1); // Yes
    ASSERT_EQ(screen.alerts.size(), 2u);
    EXPECT_EQ(screen.alerts[1].messageText, QStringLiteral("Some files of Vellicor could not be removed:"));
    EXPECT_TRUE(screen.alerts[1].informativeText.startsWith(
        QStringLiteral("/Vellicor: left alone, not a folder of Vellicor's own\n")))
        << screen.alerts[1].informativeText.toStdString();
    EXPECT_TRUE(screen.alerts[1].informativeText.contains(
        QStringLiteral("\n\nThe cloud sign-ins of Vellicor are removed from the keyring.\n")));
    EXPECT_TRUE(screen.alerts[1].informativeText.endsWith(QStringLiteral("Vellicor ends now.")));
    screen.heldAnswers.at(1)(0);
    EXPECT_EQ(terminated, 1);
}

// The sign-ins the program kept in the keyring go with its files: the Drive
// sign-in of this run and the ones kept from earlier runs alike.
TEST_F(AppDelegateTest, UninstallRemovesEveryCloudSignInKeptInTheKeyring)
{
    EnglishTable english;
    for (const char* item : { SecretItem::googleDrive, SecretItem::dropbox, SecretItem::box })
        secrets->items.insert(QString::fromLatin1(item), QStringLiteral("{\"refresh_token\":\"kept\"}"));
    secrets->items.insert(QStringLiteral("probe"), QStringLiteral("not a sign-in"));
    auto delegate = makeDelegate();
    delegate->actUninstall();
    screen.heldAnswers.at(0)(1); // Yes
    EXPECT_EQ(secrets->items.keys(), QStringList { QStringLiteral("probe") });
    // The sign-ins of this run end as on the way out.
    EXPECT_EQ(cloud->signOuts, 1);
    ASSERT_EQ(screen.alerts.size(), 2u);
    EXPECT_TRUE(
        screen.alerts[1].messageText.endsWith(QStringLiteral("its cloud sign-ins in the keyring are removed.")));
    screen.heldAnswers.at(1)(0);
    EXPECT_EQ(terminated, 1);
}

namespace {

// A keyring that refuses one item, never answers for another and lets the
// rest go.
struct StubbornKeyring : SecretStore {
    std::function<void(bool, const QString&)> unanswered;
    void writeSecret(const QString&, const QString&, std::function<void(bool)> done) override { done(false); }
    void readSecret(const QString&, std::function<void(std::optional<QString>)> done) override { done(std::nullopt); }
    void removeSecret(const QString& key, std::function<void(bool, const QString&)> done) override
    {
        if (key == QLatin1String(SecretItem::dropbox))
            done(false, QStringLiteral("Access to the item was denied"));
        else if (key == QLatin1String(SecretItem::box))
            unanswered = std::move(done);
        else
            done(true, QString());
    }
};

} // namespace

// The last word names each sign-in that stayed and why, once the keyring
// has answered or the wait for it is over; a late answer changes nothing.
TEST_F(AppDelegateTest, UninstallTellsWhichSignInsStayedAndWhy)
{
    EnglishTable english;
    auto keyring = std::make_shared<StubbornKeyring>();
    auto delegate = makeDelegate();
    delegate->setSecretStore(keyring, 200);
    delegate->actUninstall();
    screen.heldAnswers.at(0)(1); // Yes
    // While the keyring is awaited, a second uninstall asks nothing.
    delegate->actUninstall();
    EXPECT_EQ(screen.alerts.size(), 1u);
    ASSERT_TRUE(QTest::qWaitFor([&] { return screen.alerts.size() == 2; }, 10000));
    EXPECT_EQ(screen.alerts[1].messageText,
        QStringLiteral("Some cloud sign-ins of Vellicor could not be removed from the keyring:"));
    EXPECT_EQ(screen.alerts[1].informativeText,
        QStringLiteral("Dropbox sign-in in the keyring: Access to the item was denied\n"
                       "Box sign-in in the keyring: the keyring did not answer in time\n\n"
                       "The settings, cache, log and data folders of Vellicor and its autostart entry are removed.\n"
                       "Remove the program itself with your system's package manager. Vellicor ends now."));
    for (const QString& folder : supportFolders())
        EXPECT_FALSE(QFileInfo::exists(folder)) << folder.toStdString();
    ASSERT_TRUE(keyring->unanswered);
    keyring->unanswered(true, QString());
    QCoreApplication::processEvents();
    EXPECT_EQ(screen.alerts.size(), 2u);
    screen.heldAnswers.at(1)(0);
    EXPECT_EQ(terminated, 1);
}

TEST_F(AppDelegateTest, FoldersBuiltFromARootBaseAreRefused)
{
    qputenv("XDG_DATA_HOME", "/");
    const std::vector<SupportItemOutcome> outcomes = removeSupportFiles(QStringLiteral("/usr/bin/vellicor"));
    ASSERT_EQ(outcomes.size(), 5u);
    EXPECT_EQ(outcomes[3].result, SupportItemOutcome::Result::refused);
}

// The results screen's settings button goes through openPrefrencesTapped:
// every press shows the one window, at the pane that was active.
TEST_F(AppDelegateTest, PreferencesOpenedTwiceShowTheOneWindowAtItsActivePane)
{
    struct Window : PreferencesWindow {
        std::vector<std::optional<QString>>* shown = nullptr;
        void showPreferencesWindow(const std::optional<QString>& pane) override { shown->push_back(pane); }
    };
    auto delegate = makeDelegate();
    int made = 0;
    std::vector<std::optional<QString>> shown;
    delegate->setPreferencesWindowFactory([&] {
        ++made;
        auto window = std::make_unique<Window>();
        window->shown = &shown;
        return window;
    });
    delegate->openPrefrencesTapped();
    delegate->openPrefrencesTapped();
    EXPECT_EQ(made, 1);
    EXPECT_EQ(shown, (std::vector<std::optional<QString>>(2, std::nullopt)));
}

// Without a mouse: F10 opens the first menu on its first item, Right the
// next, Escape closes; Alt and a title's letter open that menu, and an item's
// underlined letter chooses it.
TEST_F(AppDelegateTest, TheMenusAreReachedByF10ArrowsAndUnderlinedLetters)
{
    EnglishTable english;
    auto delegate = makeDelegate();
    delegate->applicationDidFinishLaunching();
    QMainWindow* window = delegate->window();
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    screen.alerts.clear();

    // Within each menu, and along the bar, no two titles share a letter.
    const auto letters = [](const QList<QAction*>& actions) {
        QStringList found;
        for (QAction* action : actions) {
            if (action->isSeparator())
                continue;
            const QKeySequence mnemonic = QKeySequence::mnemonic(action->text());
            EXPECT_FALSE(mnemonic.isEmpty()) << action->text().toStdString();
            EXPECT_FALSE(found.contains(mnemonic.toString())) << action->text().toStdString();
            found << mnemonic.toString();
        }
    };
    letters(window->menuBar()->actions());
    letters(delegate->menuApplication->actions());
    letters(delegate->menuHelp->actions());

    const auto openMenu = [&](QKeyCombination keys) -> QMenu* {
        QTest::keyClick(window, keys.key(), keys.keyboardModifiers());
        if (!waitUntil([] { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); }, 2000))
            return nullptr;
        return qobject_cast<QMenu*>(QApplication::activePopupWidget());
    };
    const auto closed = [] { return waitUntil([] { return !QApplication::activePopupWidget(); }, 2000); };

    QMenu* menu = openMenu(QKeyCombination(Qt::Key_F10));
    ASSERT_EQ(menu, delegate->menuApplication);
    EXPECT_EQ(menu->activeAction(), delegate->menuItemAbout);
    // Right leads to the next menu, Escape closes it all.
    QTest::keyClick(menu, Qt::Key_Right);
    EXPECT_TRUE(waitUntil([&] { return QApplication::activePopupWidget() == delegate->menuHelp; }, 2000));
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
    QTest::keyClick(QApplication::activePopupWidget() ? QApplication::activePopupWidget() : window, Qt::Key_Escape);
    ASSERT_TRUE(closed());

    // Uninstall by its letter, from the menu Alt and the bar's letter opened
    // (the keyboard road reaches the rest by F10, the arrows and Return).
    menu = openMenu(QKeyCombination(Qt::ALT, Qt::Key_V));
    ASSERT_EQ(menu, delegate->menuApplication);
    const QKeySequence uninstall = QKeySequence::mnemonic(delegate->menuUnInstall->text());
    QTest::keyClick(menu, uninstall[0].key());
    ASSERT_TRUE(closed());
    // The question comes first; nothing is removed until it is answered.
    ASSERT_EQ(screen.alerts.size(), 1u);
    EXPECT_EQ(screen.alerts.back().buttons.size(), 2);
}
