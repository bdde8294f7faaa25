#pragma once

#include "cloud/OAuthCloudHandler.h"

#include <QJsonArray>
#include <QJsonObject>

#include <optional>

// Box as a scan source. Signs in in the browser (kept sign-ins are reused),
// lists a folder's items page by page with their SHA-1 as the checksum the
// comparison groups by, removes a file by its id and puts a removed file back
// by copying a kept identical file into the removed one's folder.
//
// Paths: the root node is "Box"; an item's display path is its folder's
// followed by "/" and its name.
class BoxCloudHandler : public OAuthCloudHandler {
public:
    explicit BoxCloudHandler(CloudServiceConfig config, std::unique_ptr<SecretStore> store = nullptr);

    bool authenticateCloud() override;
    bool deleteCloudFile(const FileInfoNodePtr& record) override;
    void restoreCloudFile(const FileInfoNodePtr& record, std::function<void(bool)> completion) override;
    bool restoresRemovedFiles() const override { return true; }

    // Fills a record from one file item of a folder listing; false without an
    // id or a name.
    static bool fillBoxFileInfoNode(FileInfoNode& record, const QJsonObject& item, const CloudScanFoldersList& folder);
    // One page's entries of a folder listing, as records (for a scan only)
    // and sub-folders of pages; answers how many entries no earlier page of
    // the listing brought, or nothing when Stop cut the page short. Needs no
    // sign-in.
    std::optional<qsizetype> addBoxEntries(
        const QJsonArray& entries, const CloudScanFoldersList& folder, FolderPages& pages) const;

protected:
    void listFolder(const CloudScanFoldersListPtr& folder, std::function<void(FolderListing)> done) override;
    QString rootFolderName() const override { return QStringLiteral("Box"); }

private:
    void requestPage(const CloudScanFoldersListPtr& folder, const QString& folderId, qint64 offset,
        std::shared_ptr<FolderPages> pages, std::shared_ptr<ListingGuard> guard,
        std::function<void(FolderListing)> done);
    // Copies the kept file into record's folder under its name; the copy's
    // id goes into record.
    void copyKeptFile(const QString& keptId, const QJsonObject& body, const FileInfoNodePtr& record,
        std::function<void(bool)> completion);
};
