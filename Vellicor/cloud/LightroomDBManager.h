#pragma once

#include "scan/UntrustedDatabase.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <optional>
#include <vector>

// One file entry of the photo catalog: its key, its name, its folder row and
// the absolute path of that folder (root folder and the path below it).
struct LightroomCatalogRow {
    qint64 fileId = 0;
    QString fileName;
    qint64 folderId = 0;
    QString folderPath;
};

// Reads and edits the photo catalog, an SQLite database that the photo
// application keeps. It lists the files the catalog references and removes
// the catalog entries of given files; the image files themselves are never
// touched. Each call opens its own connection and closes it before it
// returns, so one instance may serve the scan worker and the removal worker.
class LightroomDBManager {
public:
    // catalog: the catalog file to use; none: lightroomCatalogPath().
    // listingBounds: what one listing may take.
    explicit LightroomDBManager(std::optional<QString> catalog = std::nullopt, DatabaseBounds listingBounds = {});

    // "catalogPath" of the "lightroom" entry in the cloud configuration when
    // set; otherwise "Lightroom/Lightroom Catalog.lrcat" in the Pictures
    // folder. The "Lightroom" folder is made when Pictures exists; Pictures
    // itself is never made.
    static QString lightroomCatalogPath();
    QString catalogPath() const;

    // Every file entry with its own folder and root folder (the first of
    // each by key), in the order the database gives them. Entries without a
    // name, folder or root path are skipped, and so (logged) are those whose
    // folder would lie outside its root: the root must be absolute and the
    // path below it relative, neither with "." or ".." components. The
    // catalog is untrusted: it is read from a private copy (nothing is
    // written beside it), as an UntrustedDatabase, within the listing's
    // bounds of rows, bytes and time. The listing ends empty when the tables
    // it reads are not plain tables, past a bound, and at once when stop is
    // raised. Empty when the catalog cannot be copied, opened or read;
    // failure then says why (it stays empty after a Stop).
    std::vector<LightroomCatalogRow> fetchLightroomCatalogFiles(
        const std::atomic<bool>* stop = nullptr, QString* failure = nullptr) const;

    // Removes the catalog entries (image rows, then file rows) of the given
    // ids in one transaction. True only when every statement succeeded; an id
    // that is not a number, a catalog that cannot be opened, the lock file
    // the photo application keeps while it has the catalog open, a table
    // that is not a plain table, or a trigger on either table (it would
    // change whatever its author chose) refuses the whole call and changes
    // nothing; refusal then holds a sentence for the user.
    bool deleteLightroomCatalogFiles(const QStringList& fileIds, QString* refusal = nullptr) const;

private:
    std::optional<QString> catalog_;
    DatabaseBounds listingBounds_;
};
