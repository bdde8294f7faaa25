// Gallery pages of the main window: its menus open, the small-screen layout,
// and the alerts of the quit road, the uninstall, About and a second start.
#include "Gallery.h"

#include "app/AppComposition.h"
#include "app/AppDelegate.h"
#include "app/WindowAlertPresenter.h"
#include "base/UserDefaults.h"
#include "cloud/CloudConfig.h"
#include "core/Localization.h"
#include "core/OwnFolderTexts.h"
#include "core/TextFormat.h"
#include "home/MainViewController.h"
#include "platform/DesktopOpening.h"
#include "scan/PathExclusionPredicate.h"
#include "scan/ScanSources.h"

#include <QCoreApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

// A delegate started as the program starts it, with its settings, cache and
// log in a folder of its own so that the reviewer's files stay untouched.
struct StartedDelegate {
    QTemporaryDir folder;
    std::unique_ptr<UserDefaults> defaults;
    std::unique_ptr<ScanSources> protectedFolders;
    std::unique_ptr<AppDelegate> delegate;

    explicit StartedDelegate(QSize screen)
    {
        pointXdgFoldersInto(folder.path());
        defaults = std::make_unique<UserDefaults>(folder.path() + QStringLiteral("/settings"));
        protectedFolders = std::make_unique<ScanSources>(*defaults);
        delegate = std::make_unique<AppDelegate>(
            *defaults, makeHomeScreen(new MainViewController(*defaults, *protectedFolders)));
        delegate->awakeFromNib(screen);
        delegate->applicationDidFinishLaunching();
        delegate->window()->setAttribute(Qt::WA_DontShowOnScreen);
        delegate->window()->show();
    }
};

// The window with one of its menus pulled down under its title.
QImage windowWithMenu(QMainWindow& window, QMenu* menu)
{
    QImage image = renderWidget(window);
    if (!menu)
        return image;
    menu->ensurePolished();
    menu->adjustSize();
    const QImage pulledDown = renderWidget(*menu);
    const QRect title = window.menuBar()->actionGeometry(menu->menuAction());
    QPainter painter(&image);
    painter.drawImage(QPoint(title.left(), window.menuBar()->height()), pulledDown);
    return image;
}

// A sheet of alert boxes, each drawn as the program shows it, with its caption.
struct AlertSheet {
    GallerySheet sheet;
    QLabel holder;

    explicit AlertSheet(const QString& title)
        : sheet(title)
    {
    }
    void add(const QString& caption, const QImage& image)
    {
        holder.setPixmap(QPixmap::fromImage(image));
        holder.resize(image.deviceIndependentSize().toSize());
        sheet.addSample(caption, holder);
    }
};

QImage alertImage(QMainWindow& window, const AlertRequest& request)
{
    WindowAlertPresenter presenter(&window);
    presenter.presentThen(request, {});
    return takeAlertBox(window);
}

const GalleryRegistration applicationMenu("app-main-window-menu", [] {
    StartedDelegate started({ 1440, 900 });
    return windowWithMenu(*started.delegate->window(), started.delegate->menuApplication);
});

const GalleryRegistration helpMenu("app-main-window-help-menu", [] {
    StartedDelegate started({ 1440, 900 });
    return windowWithMenu(*started.delegate->window(), started.delegate->menuHelp);
});

const GalleryRegistration grownWindow("app-main-window-grown", [] {
    StartedDelegate started({ 1440, 900 });
    started.delegate->window()->resize(1400, 870);
    QCoreApplication::processEvents();
    return renderWidget(*started.delegate->window());
});

const GalleryRegistration smallScreen("app-main-window-small-screen", [] {
    StartedDelegate started({ 1280, 720 });
    return renderWidget(*started.delegate->window());
});

const GalleryRegistration alerts("app-alerts", [] {
    StartedDelegate started({ 1440, 900 });
    QMainWindow& window = *started.delegate->window();
    const auto text = [](const char* key) { return localizedText(QString::fromLatin1(key)); };
    const QString name = QStringLiteral("Vellicor");
    AlertSheet alertSheet(QStringLiteral("Alerts of the quit road, the uninstall, About and a second start"));
    const auto add = [&alertSheet](const QString& caption, const QImage& image) { alertSheet.add(caption, image); };
    add(QStringLiteral("quit while a scan runs"),
        alertImage(window,
            { text("ID_SCANNING_IS_IN_PROGRESS_PLEASE_STOP_SCANNING_BEFORE_EXIT_APP"), QString(), { text("ID_OK") } }));
    add(QStringLiteral("quit while files are removed"),
        alertImage(window,
            { text("ID_REMOVAL_IS_IN_PROGRESS_PLEASE_STOP_REMOVAL_BEFORE_EXIT_APP"), QString(), { text("ID_OK") } }));
    // Whose a folder is decides the advice: the home's configuration folder
    // is the user's own, a made-up one is another's.
    const QString config = QDir::homePath() + QStringLiteral("/.config");
    add(QStringLiteral("a settings folder below one the user may not open"),
        alertImage(window,
            folderRefusalAlert({ config + QStringLiteral("/Vellicor"), PrivateFiles::FolderUse::settings,
                PrivateFiles::FolderFault::noAccess, {}, config })));
    add(QStringLiteral("a settings folder of another user's"),
        alertImage(window,
            folderRefusalAlert({ QStringLiteral("/home/ana/.config/Vellicor"), PrivateFiles::FolderUse::settings,
                PrivateFiles::FolderFault::otherOwner })));
    add(QStringLiteral("uninstall"),
        alertImage(window,
            { formatText(text("ID_ARE_YOU_SURE_WANT_TO_UNINSTALL_APP"), { name }),
                formatText(text("ID_THIS_ACTION_WILL_UNINSTALL_APP_FROM_MAC"), { name }),
                { text("ID_NO"), text("ID_YES") } }));
    add(QStringLiteral("uninstall done"),
        alertImage(window,
            { formatText(text("ID_UNINSTALL_REMOVED_OWN_FILES"), { name }),
                formatText(text("ID_REMOVE_PROGRAM_WITH_PACKAGE_MANAGER"), { name }), { text("ID_OK") },
                AlertStyle::informational }));
    add(QStringLiteral("uninstall, a folder left"),
        alertImage(window,
            { formatText(text("ID_UNINSTALL_SOME_FILES_NOT_REMOVED"), { name }),
                QStringLiteral("/home/ana/.local/share/Vellicor: Permission denied\n\n")
                    + formatText(text("ID_REMOVE_PROGRAM_WITH_PACKAGE_MANAGER"), { name }),
                { text("ID_OK") }, AlertStyle::informational }));
    add(QStringLiteral("photo catalog not in the chosen folder"),
        alertImage(window,
            { text("ID_NO_PHOTO_CATALOG_IN_FOLDER"),
                formatText(text("ID_PHOTO_CATALOG_IS_READ_FROM"),
                    { QStringLiteral("/home/ana/Pictures/Lightroom/Lightroom Catalog.lrcat") }),
                { text("ID_OK") } }));
    add(QStringLiteral("cloud source not set up"),
        alertImage(window,
            { CloudConfig::load(QStringLiteral("dropbox")).notSetUpText(text("ID_DROPBOX")), QString(),
                { text("ID_OK") } }));
    setAlertPresenter(std::make_shared<WindowAlertPresenter>(&window));
    started.delegate->menuCheckForUpdate->trigger();
    add(QStringLiteral("check for updates"), takeAlertBox(window));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0"));
    started.delegate->menuItemAbout->trigger();
    add(QStringLiteral("about"), takeAlertBox(window));
    setAlertPresenter(nullptr);
    const std::unique_ptr<QMessageBox> alreadyRunning = makeAlreadyRunningAlert();
    alreadyRunning->adjustSize();
    add(QStringLiteral("second start, first copy not reached"), renderDialog(*alreadyRunning));
    return alertSheet.sheet.image();
});

// What the screens say where a road would otherwise end in silence: the
// desktop with nothing to hand a file or the help page to, a marking with
// nothing to mark, the empty-folder cleaner still chosen, a cloud source
// without its service address, cloud files without their checksum.
const GalleryRegistration roadEndAlerts("app-alerts-road-ends", [] {
    StartedDelegate started({ 1440, 900 });
    QMainWindow& window = *started.delegate->window();
    const auto text = [](const char* key) { return localizedText(QString::fromLatin1(key)); };
    AlertSheet alertSheet(QStringLiteral("Alerts of roads that would end in silence"));
    const auto add = [&alertSheet](const QString& caption, const QImage& image) { alertSheet.add(caption, image); };
    setAlertPresenter(std::make_shared<WindowAlertPresenter>(&window));
    // The offscreen desktop has no browser, no file manager and no
    // application for any file: the real roads end in their alerts.
    started.delegate->menuHelpApp->trigger();
    add(QStringLiteral("help with no browser"), takeAlertBox(window));
    const QString file = started.folder.path() + QStringLiteral("/Documents/lease 2024.pdf");
    QDir().mkpath(QFileInfo(file).path());
    QFile(file).open(QIODevice::WriteOnly);
    openFileOrSay(file);
    add(QStringLiteral("open with no application"), takeAlertBox(window));
    revealInFileManagerOrSay(file);
    add(QStringLiteral("show in file manager with none"), takeAlertBox(window));
    setAlertPresenter(nullptr);
    add(QStringLiteral("marking with nothing shown"),
        alertImage(window, { text("ID_NOTHING_TO_MARK"), QString(), { text("ID_OK") } }));
    add(QStringLiteral("Add, Exclude or Protect with Empty Folders chosen"),
        alertImage(window,
            { text("ID_NO_FOLDERS_ADDED_FOR_EMPTY_FOLDERS"), text("ID_CHOOSE_A_SOURCE_TO_ADD_FOLDERS"),
                { text("ID_OK") } }));
    add(QStringLiteral("Add with a folder that leads into an excluded one"),
        alertImage(window,
            { text("ID_ONE_OR_MORE_ITEMS_CANNOT_ADDED"),
                formatText(text("ID_LEADS_INTO_FOLDER_EXCLUDED_BY_DEFAULT"),
                    { QStringLiteral("/lib"), QStringLiteral("/usr/lib"), QStringLiteral("/usr") })
                    + QLatin1Char(' ') + formatText(text("ID_MORE_CHOSEN_LEAD_INTO_EXCLUDED_FOLDERS"), { 2 }),
                { text("ID_OK") } }));
    add(QStringLiteral("the cleaner's Browse with a folder that leads into an excluded one"),
        alertImage(window,
            { text("ID_ITEMS_CANNOT_ADDED"),
                locationExclusionAlertText(QStringLiteral("/home/user/syslib"),
                    { QStringLiteral("/usr"), QStringLiteral("/usr/lib"), true }),
                { text("ID_OK") }, AlertStyle::warning }));
    add(QStringLiteral("the scan's end with rows an exclusion kept out"),
        alertImage(window,
            { text("ID_LOCATIONS_PASSED_OVER"),
                passedOverDetails({ { QStringLiteral("/home/user/syslib"), QStringLiteral("/home/user/Old\nPhotos"),
                                        QStringLiteral("/home/user/Backups/2019"), QStringLiteral("/home/user/cache"),
                                        QStringLiteral("/home/user/tmp") },
                    std::nullopt }),
                { text("ID_OK") } }));
    add(QStringLiteral("the cleaner's Delete Folders with nothing chosen"),
        alertImage(window,
            { QStringLiteral("Vellicor"), text("ID_NO_EMPTY_FOLDER_CHOSEN"), { text("ID_OK") },
                AlertStyle::informational }));
    const CloudServiceConfig noAddress = CloudConfig::fromJson(QStringLiteral("onedrive"),
        { { QStringLiteral("clientId"), QStringLiteral("client") },
            { QStringLiteral("authorizeUrl"), QStringLiteral("https://login.example.com/authorize") },
            { QStringLiteral("tokenUrl"), QStringLiteral("https://login.example.com/token") } });
    add(QStringLiteral("OneDrive without its service address"),
        alertImage(window, { noAddress.notSetUpText(text("ID_ONEDRIVE")), QString(), { text("ID_OK") } }));
    add(QStringLiteral("cloud files without the service's checksum"),
        alertImage(window,
            { formatText(text("ID_CLOUD_FILES_NOT_COMPARED"), { 212 }), text("ID_CLOUD_FILES_NOT_COMPARED_DETAILS"),
                { text("ID_OK") } }));
    return alertSheet.sheet.image();
});

} // namespace
