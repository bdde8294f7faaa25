#pragma once

#include "cloud/CloudConfig.h"
#include "scan/ScanWrapper.h"

#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class OAuthSession;
class RestClient;
class SecretStore;

// Google Drive as a scan source. Sign-in first reads the provider's discovery
// document (when cloud.json names one) for its authorize and token addresses,
// then runs the code flow with PKCE; the tokens are kept under the item
// "Authorization1" and removed at quit. The picker's tree starts at "My Drive"
// and is listed with folders-only queries; a scan's listing is the engine's
// Drive road, answered here one files-list query at a time.
//
// Paths are built from the names of the folders met, starting from "My Drive",
// so a file reads "My Drive/A/B/f" wherever it was listed from.
//
// Threads: GUI thread, except deleteCloudFile (the removal worker).
class GoogleDriveHandler : public QObject, public ScanWrapper, public DriveScanService {
    Q_OBJECT
public:
    using PageSink = std::function<void(const QString& folderId, bool includeSubFolders, const DriveFilesPage&)>;

    // What the sign-in asks for unless the configuration names another
    // scope: full access to the user's Drive, as its listing reads every
    // folder, a removal moves a file to the trash and undo takes it out.
    static constexpr const char* scope = "https://www.googleapis.com/auth/drive";

    // store: not owned, outlives the handler.
    GoogleDriveHandler(CloudServiceConfig config, SecretStore* store, QObject* parent = nullptr);
    ~GoogleDriveHandler() override;

    // Where the browser comes back to and how it is opened (tests replace it).
    void setRedirectBase(const QString& base);
    void setBrowserOpener(std::function<void(const QUrl&)> opener);
    // The engine's processAllFetchGoogleDriveFiles.
    void setPageSink(PageSink sink) { pageSink_ = std::move(sink); }
    // The application's loopback listener hands a redirect in; false when no
    // sign-in waits for it.
    bool resumeSignIn(const QUrl& url);
    // The wait sheet's Cancel.
    void cancelSignIn();
    void cancelAuthentication() override { cancelSignIn(); }
    // At quit: the tokens are forgotten and their kept item removed.
    void signOutAtQuit();
    bool isSigningIn() const { return signingIn_; }

    bool authenticateCloud() override;
    bool deleteCloudFile(const FileInfoNodePtr& record) override;
    void restoreCloudFile(const FileInfoNodePtr& record, std::function<void(bool)> completion) override;
    bool restoresRemovedFiles() const override { return true; }
    CloudScanFoldersListPtr makeRootFolderNode() override;

    // DriveScanService
    void beginListing(const ScanRequest& request) override;
    void executeFilesListQuery(
        const QString& folderId, bool isIncludeSubFolders, const std::optional<QString>& pageToken) override;
    void stopListing() override;
    void releaseListing() override;

    // One answer of the picker's folders-only query, as sub-folders of
    // pages, each item taken once over the listing's pages. Needs no sign-in.
    void addListedFolders(const QJsonObject& answer, const CloudScanFoldersList& folder, FolderPages& pages);
    // One answer of a scan's files query of folderId, as page's records (the
    // scan's filters applied) and sub-folders, each item taken once over the
    // pages of the folder's listing that tally keeps. Needs no sign-in.
    void acceptFilesPage(const QString& folderId, bool includeSubFolders, const QJsonObject& answer,
        DriveFilesPage& page, ListingTally& tally);

    // The display path recorded for a folder id by the running scan's
    // listing: "My Drive" for the root, a chosen folder's from its row, and
    // each sub-folder the listing met. The picker's tree keeps its paths in
    // its own nodes.
    QString folderPath(const QString& folderId) const;

    static QString rootId() { return QStringLiteral("root"); }

signals:
    // A sign-in ended (true: signed in); the alert was shown on failure.
    void signInEnded(bool signedIn);

protected:
    void listFolder(const CloudScanFoldersListPtr& folder, std::function<void(FolderListing)> done) override;
    QString rootFolderName() const override { return QStringLiteral("My Drive"); }

private:
    void startFlow(CloudServiceConfig config);
    void signInFailed(const QString& why);
    void listFolderPage(const CloudScanFoldersListPtr& folder, const std::optional<QString>& pageToken,
        std::shared_ptr<FolderPages> pages, std::shared_ptr<ListingGuard> guard,
        std::function<void(FolderListing)> done);
    bool setTrashed(const QString& fileId, bool trashed, std::function<void(bool)> completion);

    CloudServiceConfig config_;
    SecretStore* store_;
    RestClient* client_;
    OAuthSession* session_ = nullptr;
    QString redirectBase_;
    std::function<void(const QUrl&)> openBrowser_;
    bool signingIn_ = false;
    quint64 signInAttempt_ = 0;
    PageSink pageSink_;
    QHash<QString, QString> folderPaths_;
    quint64 listingGeneration_ = 0;
    // The running scan's listing: its pages, entries and folders met.
    std::shared_ptr<ListingGuard> scanGuard_;
    // What each folder's listing of the running scan has met, by query,
    // while it has pages to come.
    QHash<QString, ListingTally> scanTallies_;
};

// A text as a Drive query's quoted literal: backslash and quote escaped.
QString driveQueryLiteral(const QString& text);
