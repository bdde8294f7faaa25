#include "cloud/CloudSourceController.h"

#include "base/AlertPresenter.h"
#include "base/Log.h"
#include "cloud/BoxCloudHandler.h"
#include "cloud/CloudConfig.h"
#include "cloud/CloudSignInSheet.h"
#include "cloud/DropBoxHandler.h"
#include "cloud/GoogleDriveHandler.h"
#include "cloud/LightroomCloudHandler.h"
#include "cloud/OneDriveHandler.h"
#include "cloud/SecretStore.h"
#include "core/Localization.h"
#include "platform/ReachabilityTest.h"
#include "scan/InternetAlert.h"

#include <QComboBox>
#include <QPointer>

#include <cstdio>
#include <utility>

namespace {

bool hasHandler(ScanSource source)
{
    switch (source) {
    case ScanSource::googleDrive:
    case ScanSource::dropbox:
    case ScanSource::oneDrive:
    case ScanSource::box:
    case ScanSource::lightroomCatalog:
        return true;
    default:
        return false;
    }
}

} // namespace

CloudSourceController::CloudSourceController(MainViewController& home, HandlerFactory factory)
    : QObject(&home)
    , home_(home)
    , sources_(home.lists().sources)
    , factory_(std::move(factory))
{
    home_.setScanSourceSwitcher(this);
    // Scan Now of a service that is not signed in: the sign-in first, as for
    // Add; the scan follows it.
    home_.engine().setSignInAsker([self = QPointer<CloudSourceController>(this)](std::function<void()> then) {
        if (self)
            self->showSignInSheet(false, std::move(then));
    });
}

// Runs while the home screen is being torn down (this is its child): the
// home screen is not touched any more, only the handlers are let go of.
CloudSourceController::~CloudSourceController()
{
    for (size_t i = 0; i < handlers_.size(); ++i) {
        if (handlers_[i]) {
            handlers_[i]->delegate = nullptr;
            sources_.setHandler(static_cast<ScanSource>(i), nullptr);
        }
    }
}

std::unique_ptr<ScanWrapper> CloudSourceController::defaultHandlerFactory(ScanSource source)
{
    if (source == ScanSource::lightroomCatalog)
        return std::make_unique<LightroomCloudHandler>();
    if (source == ScanSource::googleDrive) {
        CloudServiceConfig config = CloudConfig::load(QStringLiteral("google"));
        if (config.clientId.isEmpty() || !config.apiBaseUrl.isValid())
            return nullptr;
        // The keychain outlives every handler: it holds no state of its own.
        static KeychainSecretStore keychain;
        return std::make_unique<GoogleDriveHandler>(std::move(config), &keychain);
    }
    // A service without its registration and address has no handler; the
    // source then says it is not set up.
    const auto configured = [](const char* service) -> std::optional<CloudServiceConfig> {
        CloudServiceConfig config = CloudConfig::load(QString::fromLatin1(service));
        if (!config.hasCredentials() || config.apiBaseUrl.isEmpty())
            return std::nullopt;
        return config;
    };
    if (source == ScanSource::dropbox) {
        if (auto config = configured("dropbox"))
            return std::make_unique<DropBoxHandler>(*config, std::make_unique<KeychainSecretStore>());
    }
    if (source == ScanSource::box) {
        if (auto config = configured("box"))
            return std::make_unique<BoxCloudHandler>(*config, std::make_unique<KeychainSecretStore>());
    }
    if (source == ScanSource::oneDrive) {
        if (auto config = configured("onedrive"))
            return std::make_unique<OneDriveHandler>(std::move(*config));
    }
    return nullptr;
}

bool CloudSourceController::handleOneDriveRedirect(const QUrl& url)
{
    auto* oneDrive = dynamic_cast<OneDriveHandler*>(handlerFor(ScanSource::oneDrive));
    return oneDrive && oneDrive->handleRedirect(url);
}

void CloudSourceController::signOutAtQuit()
{
    if (auto* oneDrive = dynamic_cast<OneDriveHandler*>(handlerFor(ScanSource::oneDrive)))
        oneDrive->signOut();
}

ScanWrapper* CloudSourceController::handlerFor(ScanSource source) const
{
    return handlers_.at(static_cast<size_t>(source)).get();
}

void CloudSourceController::scanSourceChanged(ScanSource, ScanSource chosen)
{
    // A sign-in asked for on the previous source leads nowhere now.
    afterSignIn_ = nullptr;
    if (hasHandler(chosen))
        enterHandler(chosen);
}

void CloudSourceController::enterHandler(ScanSource chosen)
{
    std::unique_ptr<ScanWrapper>& slot = handlers_.at(static_cast<size_t>(chosen));
    if (!slot) {
        slot = factory_ ? factory_(chosen) : nullptr;
        if (slot)
            slot->delegate = this;
        ScanEngine& engine = home_.engine();
        if (auto* drive = dynamic_cast<GoogleDriveHandler*>(slot.get())) {
            drive->setPageSink([&engine](const QString& id, bool sub, const DriveFilesPage& page) {
                engine.processAllFetchGoogleDriveFiles(id, sub, page);
            });
        }
        sources_.setHandler(chosen, slot.get());
    }
    ScanWrapper* handler = slot.get();
    // Without a handler a scan of this source has nothing to list.
    if (!handler) {
        sayNotSetUp(chosen);
        return;
    }
    if (chosen == ScanSource::lightroomCatalog)
        home_.openScanListPanel();
    else if (!handler->isAuthenticateForScan)
        startSignIn(chosen == ScanSource::googleDrive);
}

ScanWrapper* CloudSourceController::chosenHandler() const
{
    const ScanSource source = selectedScanSource().load();
    return hasHandler(source) ? handlerFor(source) : nullptr;
}

CloudSignInSheet& CloudSourceController::signInSheet()
{
    if (!signInSheet_) {
        signInSheet_ = new CloudSignInSheet(&home_, this);
        signInSheet_->onAllowPermission = [this] { startSignIn(true); };
        signInSheet_->onCancelWaiting = [this] { cancelWaitingSignIn(); };
        signInSheet_->onScanComputer = [this] { scanComputerInstead(); };
        signInSheet_->onCancelInstructions = [this] { afterSignIn_ = nullptr; };
    }
    return *signInSheet_;
}

void CloudSourceController::showSignInSheet(bool hideScanComputer, std::function<void()> afterSignIn)
{
    hideScanComputer_ = hideScanComputer;
    afterSignIn_ = std::move(afterSignIn);
    signInSheet().showInstructions(selectedScanSource().load(), hideScanComputer);
}

void CloudSourceController::startSignIn(bool checkInternet)
{
    ScanWrapper* handler = chosenHandler();
    if (!handler)
        return;
    if (checkInternet && !isInternetAvailable()) {
        showInternetUnavailableAlert();
        return;
    }
    signInSheet().showWaiting(selectedScanSource().load());
    handler->authenticateCloud();
}

void CloudSourceController::cancelWaitingSignIn()
{
    cancellingSignIn_ = true;
    if (ScanWrapper* handler = chosenHandler())
        handler->cancelAuthentication();
    cancellingSignIn_ = false;
    // Signed out still: the instructions again, Allow Permission enabled.
    signInSheet().showInstructions(selectedScanSource().load(), hideScanComputer_);
}

void CloudSourceController::scanComputerInstead()
{
    signInSheet().close();
    auto* popUp = home_.findChild<QComboBox*>(QStringLiteral("btnScanMode"));
    const int index = popUp ? std::max(0, popUp->findData(scanSourceTag(ScanSource::thisComputer))) : 0;
    if (popUp)
        popUp->setCurrentIndex(index);
    home_.changeScanSource(index);
}

void CloudSourceController::sayNotSetUp(ScanSource source)
{
    static const std::pair<const char*, const char*> names[] = {
        { "google", "ID_GOOGLE_DRIVE" },
        { "dropbox", "ID_DROPBOX" },
        { "onedrive", "ID_ONEDRIVE" },
        { "box", "ID_BOXCLOUD" },
    };
    const int index = static_cast<int>(source) - static_cast<int>(ScanSource::googleDrive);
    if (index < 0 || index >= 4)
        return;
    const CloudServiceConfig config = CloudConfig::load(QString::fromLatin1(names[index].first));
    const QString name = localizedText(QString::fromLatin1(names[index].second));
    Log::print("No handler for the chosen cloud source:", name);
    AlertRequest request;
    request.messageText = config.notSetUpText(name);
    request.buttons = { localizedText(QStringLiteral("ID_OK")) };
    alertPresenter()->presentThen(request, nullptr);
}

void CloudSourceController::OnScanCompletedProcess()
{
    std::puts("OnScanCompletedProcess");
    if (pickerReload_)
        pickerReload_();
}

void CloudSourceController::onAccessPermissionStatus(bool signedIn)
{
    std::puts("onAccessPermissionStatus");
    // The sign-in is over either way; a failure has told the user itself.
    if (signInSheet_ && !cancellingSignIn_)
        signInSheet_->close();
    const ScanSource source = selectedScanSource().load();
    ScanWrapper* handler = hasHandler(source) ? handlerFor(source) : nullptr;
    if (!signedIn || !handler || !handler->isAuthenticateForScan) {
        // Given up by the wait sheet's Cancel, the instructions stand again
        // and Allow Permission may still lead where it was meant to.
        if (!cancellingSignIn_)
            afterSignIn_ = nullptr;
        return;
    }
    // The picker goes back to whoever asked for the sign-in.
    if (std::function<void()> then = std::exchange(afterSignIn_, nullptr))
        then();
    else
        home_.openScanListPanel();
}

void CloudSourceController::dismissAuthenticationWait()
{
    Log::print("A cloud sign-in ended without access");
    if (signInSheet_ && !cancellingSignIn_) {
        signInSheet_->close();
        afterSignIn_ = nullptr;
    }
}
