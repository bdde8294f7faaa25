#pragma once

#include "cloud/OAuthCloudHandler.h"

#include <QJsonArray>

struct RestRequest;

// Dropbox as a scan source. Signs in once per run in the browser (PKCE, no
// secret; a sign-in kept from an earlier run is dropped first), lists folders
// page by page, removes a file by its path at the revision that was scanned
// and puts a removed file back by copying a kept identical file into its place.
//
// Paths: the rest of the program knows an item by "Dropbox" followed by the
// service's display path; the root node is "DropBox". Requests use the API
// path that dropboxApiPath derives from it.
class DropBoxHandler : public OAuthCloudHandler {
public:
    static constexpr const char* scopes
        = "account_info.read files.content.read files.content.write files.metadata.read";

    explicit DropBoxHandler(CloudServiceConfig config, std::unique_ptr<SecretStore> store = nullptr);

    bool authenticateCloud() override;
    bool deleteCloudFile(const FileInfoNodePtr& record) override;
    void restoreCloudFile(const FileInfoNodePtr& record, std::function<void(bool)> completion) override;
    bool restoresRemovedFiles() const override { return true; }

    // The service's path of a display path: the first "Dropbox" (this letter
    // case) taken out, else every one in any letter case ("DropBox" → "").
    static QString dropboxApiPath(const QString& displayPath);

    // One page's entries of a folder listing, as records (for a scan only)
    // and sub-folders of pages, each entry taken once over the listing's
    // pages; false when Stop cut the page short. Needs no sign-in.
    bool addDropboxEntries(const QJsonArray& entries, const CloudScanFoldersListPtr& folder, FolderPages& pages);

protected:
    void listFolder(const CloudScanFoldersListPtr& folder, std::function<void(FolderListing)> done) override;
    QString rootFolderName() const override { return QStringLiteral("DropBox"); }

private:
    void requestPage(const CloudScanFoldersListPtr& folder, const RestRequest& request,
        std::shared_ptr<FolderPages> pages, std::shared_ptr<ListingGuard> guard,
        std::function<void(FolderListing)> done);
    // Copies the kept file at from to record's path; the copy's revision
    // goes into record.
    void copyKeptFile(const QString& from, const FileInfoNodePtr& record, std::function<void(bool)> completion);

    bool setUpThisRun_ = false;
};
