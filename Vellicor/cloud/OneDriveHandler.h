#pragma once

#include "cloud/CloudConfig.h"
#include "cloud/OAuthSession.h"
#include "cloud/RestClient.h"
#include "scan/ScanWrapper.h"

#include <QJsonArray>
#include <QJsonObject>

#include <optional>

// The OneDrive source: a browser sign-in with PKCE against the identity
// platform (always asking which account, tokens kept in memory only), the
// drive's folders listed page by page through the Graph interface of the
// configured host, and files removed there. A removal cannot be undone.
//
// Threads: GUI thread, except deleteCloudFile on the removal worker.
class OneDriveHandler : public ScanWrapper {
public:
    // What a sign-in asks for unless the configuration names its own scope:
    // the drive's files and a refresh token.
    static constexpr const char* scopes = "user.read files.readWrite.all offline_access";

    explicit OneDriveHandler(CloudServiceConfig config);
    ~OneDriveHandler() override;

    // Starts an interactive sign-in; the outcome reaches the delegate as
    // onAccessPermissionStatus(true) or dismissAuthenticationWait(), and a
    // failure the user did not ask for is told. Without a configured client
    // the wait ends at once and the user is told.
    bool authenticateCloud() override;
    // The wait sheet's Cancel: the sign-in ends without an alert.
    void cancelAuthentication() override { session_.cancelSignIn(); }
    // Forgets the tokens; a scan needs a new sign-in afterwards.
    void signOut();
    // Where the application's loopback listener takes the browser back to.
    void setRedirectBase(const QString& base) { session_.setRedirectBase(base); }
    // A redirect from the loopback listener; true when it was this sign-in's.
    bool handleRedirect(const QUrl& url) { return session_.handleRedirect(url); }

    // True on 204, or 404 (the file was already gone: the id went out
    // unchanged). An id that cannot stand in the address is not sent: false.
    bool deleteCloudFile(const FileInfoNodePtr& record) override;
    void restoreCloudFile(const FileInfoNodePtr&, std::function<void(bool)> completion) override { completion(false); }

    // One page's items of a folder listing, as sub-folders of pages and, in
    // a scan's walk, records; each item taken once over the listing's pages.
    // Needs no sign-in.
    void addOneDriveItems(const QJsonArray& items, const CloudScanFoldersList& folder, FolderPages& pages) const;
    // A record of one drive item of a file, inside the folder at folderPath.
    static FileInfoNodePtr makeOneDriveFileInfoNode(const QJsonObject& item, const QString& folderPath);
    // The item dates, with or without fractions of a second; none otherwise.
    static std::optional<QDateTime> parseGraphDate(const QJsonValue& value);

    OAuthSession& session() { return session_; }
    RestClient& client() { return client_; }

protected:
    void listFolder(const CloudScanFoldersListPtr& folder, std::function<void(FolderListing)> done) override;
    QString rootFolderName() const override { return QStringLiteral("One Drive"); }

private:
    struct Listing;
    void fetchPage(const QString& address, std::shared_ptr<Listing> listing);

    CloudServiceConfig config_;
    OAuthSession session_;
    RestClient client_;
};
