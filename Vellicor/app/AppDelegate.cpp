#include "app/AppDelegate.h"

#include "base/AppPaths.h"
#include "base/Log.h"
#include "base/PrivateFiles.h"

#include "app/SupportFiles.h"
#include "base/AlertPresenter.h"
#include "base/UserDefaults.h"
#include "cloud/OAuthCloudHandler.h"
#include "cloud/OAuthSession.h"
#include "controls/LayoutFrame.h"
#include "controls/Mnemonics.h"
#include "core/AppStartup.h"
#include "core/FileUtilities.h"
#include "core/GlobalObjects.h"
#include "core/Localization.h"
#include "core/SettingsSchema.h"
#include "core/TextFormat.h"
#include "scan/ScanEngine.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdio>
#include <utility>
#include <vector>

namespace {

constexpr char programName[] = "Vellicor";

// The main window; its close button takes the quit road, which may refuse.
class MainWindow : public QMainWindow {
public:
    // closeRequested answers whether the window may close now.
    explicit MainWindow(std::function<bool()> closeRequested)
        : closeRequested_(std::move(closeRequested))
    {
    }

protected:
    void closeEvent(QCloseEvent* event) override
    {
        if (closeRequested_())
            event->accept();
        else
            event->ignore();
    }

private:
    std::function<bool()> closeRequested_;
};

// A control's frame with the origin at its parent's lower left.
LayoutFrame frameOf(const QWidget* widget)
{
    const QRect geometry = widget->geometry();
    const int parentHeight = widget->parentWidget() ? widget->parentWidget()->height() : 0;
    return LayoutFrame { double(geometry.x()), double(parentHeight - geometry.y() - geometry.height()),
        double(geometry.width()), double(geometry.height()) };
}

} // namespace

AppDelegate::AppDelegate(UserDefaults& defaults, std::unique_ptr<HomeScreen> home, QObject* parent)
    : QObject(parent)
    , defaults_(defaults)
    , mainVC_(home ? std::move(home) : makePlaceholderHomeScreen())
    , window_(std::make_unique<MainWindow>([this] {
        // Ending the event loop closes the windows too; only then may this
        // one close. Before that its close button takes the quit road.
        if (terminating_)
            return true;
        mainWindowCloseAction();
        return false;
    }))
    , cloudSessions_(makeIdleCloudSessions())
    , secrets_(std::make_shared<KeychainSecretStore>())
    , preferencesFactory_(&makePlaceholderPreferencesWindow)
{
    terminate = [] { QCoreApplication::quit(); };
    openUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    activateApplication = [this] {
        window_->show();
        window_->raise();
        window_->activateWindow();
    };
    window_->setWindowTitle(QString::fromLatin1(programName));
    window_->setCentralWidget(new QWidget);
    window_->centralWidget()->setObjectName(QStringLiteral("contentView"));
    buildMenus();
    // Every browser sign-in waits through a session: the listener listens
    // only while one does, and each gets the address bound as it starts.
    signInListener_.setSignInWaiting([] { return OAuthSession::isAnySignInWaiting(); });
    signInListener_.setRedirectTaker([this](const QString& url) { return handleOAuthRedirect(url); });
    OAuthSession::RedirectListener redirects;
    redirects.open = [this] {
        if (signInListener_.open())
            return signInListener_.redirectBase();
        std::fprintf(stderr, "vellicor: cannot listen for sign-in redirects on 127.0.0.1\n");
        return QString();
    };
    redirects.close = [this] { signInListener_.close(); };
    OAuthSession::setRedirectListener(std::move(redirects));
}

AppDelegate::~AppDelegate()
{
    OAuthSession::setRedirectListener({});
}

void AppDelegate::setCloudSessions(std::shared_ptr<CloudSessions> sessions)
{
    cloudSessions_ = sessions ? std::move(sessions) : makeIdleCloudSessions();
}

void AppDelegate::setSecretStore(std::shared_ptr<SecretStore> store, int waitMs)
{
    secrets_ = store ? std::move(store) : std::make_shared<KeychainSecretStore>();
    keyringWaitMs_ = waitMs;
}

void AppDelegate::setPreferencesWindowFactory(std::function<std::unique_ptr<PreferencesWindow>()> factory)
{
    preferencesFactory_ = std::move(factory);
}

void AppDelegate::buildMenus()
{
    QMenuBar* bar = window_->menuBar();
    menuApplication = bar->addMenu(QString::fromLatin1(programName));
    menuItemAbout = menuApplication->addAction(QString(), this, &AppDelegate::aboutTapped);
    menuApplication->addSeparator();
    menuPrefrencess = menuApplication->addAction(QString(), this, &AppDelegate::openPrefrencesTapped);
    menuPrefrencess->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    menuCheckForUpdate = menuApplication->addAction(QString(), this, &AppDelegate::btnCheckForUpdateTapped);
    menuApplication->addSeparator();
    menuUnInstall = menuApplication->addAction(QString(), this, &AppDelegate::actUninstall);
    menuApplication->addSeparator();
    menuHide = menuApplication->addAction(QString(), this, &AppDelegate::hideTapped);
    menuHide->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    menuShowAll = menuApplication->addAction(QString(), this, &AppDelegate::showAllTapped);
    menuApplication->addSeparator();
    menuQuit = menuApplication->addAction(QString(), this, &AppDelegate::btnQuitTapped);
    menuQuit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    menuQuit->setMenuRole(QAction::QuitRole);

    menuHelp = bar->addMenu(QString());
    menuHelpApp = menuHelp->addAction(QString(), this, &AppDelegate::helpMenuTapped);
    menuHelpApp->setShortcut(QKeySequence(Qt::Key_F1));
    // Shortcuts work while the main window has the focus, menus closed.
    for (QAction* action : { menuPrefrencess, menuHide, menuQuit, menuHelpApp })
        action->setShortcutContext(Qt::ApplicationShortcut);

    // F10 opens the first menu, as desktops have it: the menus are reached
    // without a mouse, the arrows and the underlined letters take it on.
    auto* openMenus = new QAction(window_.get());
    openMenus->setObjectName(QStringLiteral("actionOpenMenuBar"));
    openMenus->setShortcut(QKeySequence(Qt::Key_F10));
    openMenus->setShortcutContext(Qt::WindowShortcut);
    window_->addAction(openMenus);
    connect(openMenus, &QAction::triggered, this, &AppDelegate::openFirstMenu);
}

void AppDelegate::openFirstMenu()
{
    QMenuBar* bar = window_->menuBar();
    // A bar the desktop shows itself answers F10 its own way.
    if (bar->isNativeMenuBar() || !bar->isVisible())
        return;
    bar->setActiveAction(menuApplication->menuAction());
    for (QAction* item : menuApplication->actions()) {
        if (!item->isSeparator() && item->isVisible() && item->isEnabled()) {
            menuApplication->setActiveAction(item);
            break;
        }
    }
}

void AppDelegate::localizeMenuTitles()
{
    const QString name = QString::fromLatin1(programName);
    // Each menu's titles, and the bar's, get their underlined letters
    // together, so that no two of them share one.
    const QStringList bar = withMnemonics({ name, localizedText("ID_HELP") });
    menuApplication->setTitle(bar.at(0));
    menuHelp->setTitle(bar.at(1));
    const std::vector<QAction*> items { menuItemAbout, menuPrefrencess, menuCheckForUpdate, menuUnInstall, menuHide,
        menuShowAll, menuQuit };
    const QStringList titles = withMnemonics({
        formatText(localizedText("ID_ABOUT_APP"), { name }),
        formatText(QStringLiteral("%@..."), { localizedText("ID_PREFRENCESS") }),
        localizedText("ID_CHECK_FOR_UPDATE"),
        localizedText("ID_UNISTALL"),
        formatText(localizedText("ID_HIDE_APP"), { name }),
        localizedText("ID_SHOW_ALL"),
        formatText(localizedText("ID_QUIT_APP"), { name }),
    });
    for (std::size_t i = 0; i < items.size(); ++i)
        items[i]->setText(titles.at(qsizetype(i)));
    menuHelpApp->setText(
        withMnemonics({ formatText(QStringLiteral("%@ %@"), { name, localizedText("ID_HELP") }) }).at(0));
}

void AppDelegate::setContentSize(QSize size)
{
    const QMenuBar* bar = window_->menuBar();
    const int barHeight = bar->isNativeMenuBar() ? 0 : bar->sizeHint().height();
    window_->resize(size.width(), size.height() + barHeight);
    window_->centralWidget()->resize(size);
}

void AppDelegate::setContentMinimumSize(QSize size)
{
    window_->centralWidget()->setMinimumSize(size);
}

void AppDelegate::awakeFromNib()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    awakeFromNib(screen ? std::optional<QSize>(screen->geometry().size()) : std::nullopt);
}

void AppDelegate::awakeFromNib(const std::optional<QSize>& screenSize)
{
    // The default settings are made from the built-in lists, which the shared
    // start-up fills first.
    startApplicationCore(defaults_);
    prepareLaunchState();
    setContentSize(mainWindowContentSize);

    QWidget* content = window_->centralWidget();
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    QWidget* view = mainVC_->view();
    view->setGeometry(content->rect());
    layout->addWidget(view);

    adaptLayoutToSmallScreen(screenSize);
}

void AppDelegate::prepareLaunchState()
{
    // The shared start-up has named the album, registered the settings and
    // set the OS flags. Qt restores no saved window state, so there is none to
    // remove, and this system has no photo application to script.
    isPhotosAppPresent = false;
}

void AppDelegate::adaptLayoutToSmallScreen(const std::optional<QSize>& screenSize)
{
    if (!screenSize)
        return;
    if (screenSize->width() >= 1000 && screenSize->height() >= 800) {
        setContentMinimumSize(mainWindowContentSize);
        return;
    }
    printToStandardOutput(QStringLiteral("Here we go"));
    isSmallScreenLayout = true;
    setContentSize(smallWindowContentSize);
    setContentMinimumSize(smallWindowContentSize);
    mainVC_->view()->setGeometry(window_->centralWidget()->rect());

    // The home screen's controls that move, in this order; each edit changes
    // the control's own frame (origin at the lower left).
    QWidget* home = mainVC_->view();
    double excludeY = 0;
    const std::vector<std::pair<const char*, std::function<void(LayoutFrame&)>>> edits {
        { "boxHeader",
            [](LayoutFrame& f) {
                f.y = 438;
                f.height = 182;
            } },
        { "viewDiskReport", [](LayoutFrame& f) { f.width = 960; } },
        { "boxSelectFolder", [](LayoutFrame& f) { f.height += 40; } },
        { "boxRightDragDrop",
            [](LayoutFrame& f) {
                f.y += 55;
                f.height -= 55;
            } },
        { "imgDragDrop", [](LayoutFrame& f) { f.y += 15; } },
        { "boxRightExclude",
            [&excludeY](LayoutFrame& f) {
                f.y += 3;
                f.height -= 10;
                excludeY = f.y;
            } },
        { "boxRightProtected",
            [&excludeY](LayoutFrame& f) {
                f.y = excludeY + 1;
                f.height -= 10;
            } },
        { "imgLastScan",
            [](LayoutFrame& f) {
                f.y += 3;
                f.height -= 10;
            } },
        { "imgArrow", [](LayoutFrame& f) { f.x -= 40; } },
        { "boxLastScan", [](LayoutFrame& f) { f.width -= 40; } },
        { "imgDupCount", [](LayoutFrame& f) { f.x -= 65; } },
        { "lblLastScanDupFileCount", [](LayoutFrame& f) { f.x -= 65; } },
        { "lblDuplicateFilesFound", [](LayoutFrame& f) { f.x -= 65; } },
        { "imgDupSpace", [](LayoutFrame& f) { f.x -= 15; } },
        { "imgOne", [](LayoutFrame& f) { f.x -= 10; } },
        { "imgTwo", [](LayoutFrame& f) { f.x -= 10; } },
        { "imgThree", [](LayoutFrame& f) { f.x -= 10; } },
        { "imgFileCompared", [](LayoutFrame& f) { f.x -= 10; } },
    };
    for (const auto& [name, edit] : edits) {
        // The stand-in home view has none of these controls.
        QWidget* control = home->findChild<QWidget*>(QString::fromLatin1(name));
        if (!control)
            continue;
        LayoutFrame frame = frameOf(control);
        edit(frame);
        placeWidget(control, frame);
    }
}

void AppDelegate::applicationDidFinishLaunching()
{
    const QString firstLaunchKey = QString::fromLatin1(SettingsKey::isFirstLaunchDone);
    const bool launchedBefore = defaults_.boolValue(firstLaunchKey).value_or(false);
    updaterController_ = std::make_unique<Updater>(launchedBefore);
    if (launchedBefore) {
        updaterController_->startUpdater();
        updaterController_->checkForUpdatesInBackground();
    }
    defaults_.setValue(firstLaunchKey, true);

    reloadExtensionTables(defaults_);
    localizeMenuTitles();
    // Made once, ahead of its first use.
    preferencesWindowController();
}

void AppDelegate::quitApplication()
{
    if (terminating_)
        return;
    ScanEngine* engine = mainVC_->scanEngine();
    if (engine && !engine->canQuit())
        return;
    if (work_.canQuit && !work_.canQuit())
        return;
    endProgram();
}

void AppDelegate::quitOnSignal()
{
    if (terminating_)
        return;
    if (ScanEngine* engine = mainVC_->scanEngine())
        engine->stopForQuit();
    endProgram();
}

void AppDelegate::endProgram()
{
    if (std::exchange(terminating_, true))
        return;
    if (work_.stop)
        work_.stop();
    quitDeadline_ = QDeadlineTimer(longestQuitWait);
    finishWhenStopped();
}

void AppDelegate::finishWhenStopped()
{
    ScanEngine* engine = mainVC_->scanEngine();
    const bool busy = (engine && engine->isScanUnderWay()) || (work_.busy && work_.busy());
    if (busy && !quitDeadline_.hasExpired()) {
        QTimer::singleShot(20, this, &AppDelegate::finishWhenStopped);
        return;
    }
    if (busy)
        Log::print("Quit: work still under way after", longestQuitWait, "ms; the program ends all the same.");
    if (engine)
        engine->recordFinishingScans();
    cloudSessions_->signOutAtQuit();
    terminate();
}

void AppDelegate::openPrefrencesTapped()
{
    preferencesWindowController().showPreferencesWindow(std::nullopt);
}

PreferencesWindow& AppDelegate::preferencesWindowController()
{
    if (!preferencesWindowController_)
        preferencesWindowController_ = preferencesFactory_();
    return *preferencesWindowController_;
}

void AppDelegate::btnCheckForUpdateTapped()
{
    if (!updaterController_)
        return;
    updaterController_->startUpdater();
    updaterController_->checkForUpdates();
    // This program has no updater window of its own: the user is told where
    // updates come from.
    const QString name = QString::fromLatin1(programName);
    alertPresenter()->presentThen(
        AlertRequest { localizedText("ID_UPDATES_COME_FROM_PACKAGE_MANAGER"),
            formatText(localizedText("ID_UPDATED_BY_PACKAGE_MANAGER_THAT_INSTALLED_IT"), { name }),
            { localizedText("ID_OK") }, AlertStyle::informational, withoutMnemonic(menuCheckForUpdate->text()) },
        {});
}

void AppDelegate::aboutTapped()
{
    alertPresenter()->presentThen(
        AlertRequest { QString::fromLatin1(programName), QCoreApplication::applicationVersion(),
            { localizedText("ID_OK") }, AlertStyle::informational, withoutMnemonic(menuItemAbout->text()) },
        {});
}

void AppDelegate::hideTapped()
{
    window_->showMinimized();
}

void AppDelegate::showAllTapped()
{
    activateApplication();
}

bool AppDelegate::handleOAuthRedirect(const std::optional<QString>& url)
{
    if (!url || url->isEmpty())
        return false;
    const QUrl address(*url, QUrl::StrictMode);
    if (!address.isValid())
        return false;
    // A handler's sign-in that is waiting takes its own redirect by its state.
    bool taken = OAuthCloudHandler::offerRedirect(address);
    if (!taken) {
        switch (selectedScanSource().load()) {
        case ScanSource::googleDrive:
            taken = cloudSessions_->resumeGoogleSignIn(address);
            break;
        case ScanSource::oneDrive:
            taken = cloudSessions_->handleOneDriveRedirect(address);
            break;
        default:
            break;
        }
    }
    // A request no sign-in was waiting for must not pull the window forward.
    if (taken)
        activateApplication();
    return taken;
}

QUrl AppDelegate::helpPageUrl() const
{
    const QString language = formatText(QStringLiteral("langcode=%@"), { currentLanguageCode });
    if (supportPageAddress[0] != '\0')
        return QUrl(QString::fromLatin1(supportPageAddress) + QLatin1Char('?') + language, QUrl::StrictMode);
    // The page the program carries, copied where a browser can open it.
    const QString page = AppPaths::cacheFolder() + QStringLiteral("/help.html");
    bool written = !PrivateFiles::useOwnFolder(AppPaths::cacheFolder(), PrivateFiles::FolderUse::cache);
    if (written) {
        QFile::remove(page);
        written = QFile::copy(QStringLiteral(":/resources/help/index.html"), page);
    }
    if (!written) {
        Log::print("The help page could not be written to", page);
        return QUrl();
    }
    QUrl address = QUrl::fromLocalFile(page);
    address.setQuery(language);
    return address;
}

void AppDelegate::openHelpPage()
{
    const QUrl address = helpPageUrl();
    if (address.isValid() && openUrl(address))
        return;
    // Without a browser to hand it to, the page would not come and nothing
    // would say why.
    const QString place
        = printablePath(address.isLocalFile() ? address.toLocalFile() : address.toString(), shownPathLength);
    alertPresenter()->presentThen(
        AlertRequest { localizedText("ID_COULD_NOT_OPEN_HELP"),
            address.isValid() ? formatText(localizedText("ID_NO_BROWSER_OPENS_HELP"), { place })
                              : localizedText("ID_HELP_PAGE_NOT_MADE_READY"),
            { localizedText("ID_OK") } },
        {});
}

void AppDelegate::uninstallApplication()
{
    printToStandardOutput(QStringLiteral("actUninstall"));
    // One uninstall at a time: the first may still wait for the keyring.
    if (uninstalling_)
        return;
    // A running scan writes the cache that would go; it is refused like quit.
    if (ScanEngine* engine = mainVC_->scanEngine(); engine && !engine->canQuit())
        return;
    const QString name = QString::fromLatin1(programName);
    alertPresenter()->presentThen(
        AlertRequest { formatText(localizedText("ID_ARE_YOU_SURE_WANT_TO_UNINSTALL_APP"), { name }),
            formatText(localizedText("ID_THIS_ACTION_WILL_UNINSTALL_APP_FROM_MAC"), { name }),
            { localizedText("ID_NO"), localizedText("ID_YES") } },
        [this, guard = QPointer<AppDelegate>(this)](int answer) {
            if (!guard || answer != 1 || std::exchange(uninstalling_, true))
                return;
            // The sign-ins of this run end as on the way out, and none is
            // kept again; then every sign-in kept in the keyring goes, this
            // run's and earlier runs' alike. Its answers come later.
            OAuthSession::setKeepingTokens(false);
            cloudSessions_->signOutAtQuit();
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
            removeStoredSignIns(*secrets_, keyringWaitMs_, this, [this](std::vector<SignInRemoval> signIns) {
                QGuiApplication::restoreOverrideCursor();
                // The user's own files need no administrator rights; the
                // program itself is the package manager's to remove.
                tellUninstallOutcome(removeSupportFiles(QCoreApplication::applicationFilePath()), signIns);
            });
        });
}

void AppDelegate::tellUninstallOutcome(
    const std::vector<SupportItemOutcome>& outcomes, const std::vector<SignInRemoval>& signIns)
{
    const QString name = QString::fromLatin1(programName);
    QStringList filesLeft;
    for (const SupportItemOutcome& outcome : outcomes) {
        using Result = SupportItemOutcome::Result;
        if (outcome.result == Result::failed)
            filesLeft << QDir::cleanPath(outcome.path) + QStringLiteral(": ") + outcome.reason;
        else if (outcome.result == Result::refused)
            filesLeft << QDir::cleanPath(outcome.path) + QStringLiteral(": ")
                    + formatText(localizedText("ID_UNINSTALL_NOT_OWN_FOLDER"), { name });
    }
    QStringList signInsLeft;
    for (const SignInRemoval& signIn : signIns) {
        if (!signIn.removed)
            signInsLeft << formatText(localizedText("ID_UNINSTALL_SIGN_IN_LEFT"), { signIn.service, signIn.reason });
    }
    // What stayed, and why, comes first; then what went, where the message
    // does not say so.
    QStringList told = filesLeft + signInsLeft;
    if (!told.isEmpty())
        told << QString();
    const char* message = "ID_UNINSTALL_REMOVED_OWN_FILES";
    if (!filesLeft.isEmpty() && !signInsLeft.isEmpty()) {
        message = "ID_UNINSTALL_SOME_ITEMS_NOT_REMOVED";
    } else if (!filesLeft.isEmpty()) {
        message = "ID_UNINSTALL_SOME_FILES_NOT_REMOVED";
        told << formatText(localizedText("ID_UNINSTALL_SIGN_INS_REMOVED"), { name });
    } else if (!signInsLeft.isEmpty()) {
        message = "ID_UNINSTALL_SIGN_INS_NOT_REMOVED";
        told << formatText(localizedText("ID_UNINSTALL_FILES_REMOVED"), { name });
    }
    told << formatText(localizedText("ID_REMOVE_PROGRAM_WITH_PACKAGE_MANAGER"), { name });
    // The program ends once the user has read what happened.
    alertPresenter()->presentThen(
        AlertRequest { formatText(localizedText(message), { name }), told.join(QLatin1Char('\n')),
            { localizedText("ID_OK") }, AlertStyle::informational },
        [this, guard = QPointer<AppDelegate>(this)](int) {
            if (!guard)
                return;
            terminating_ = true;
            terminate();
        });
}
