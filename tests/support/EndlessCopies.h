#pragma once

#include "scan/CloudFileRecordBuilder.h"
#include "scan/ListingGuard.h"
#include "scan/ScanWrapper.h"

#include <QJsonObject>

// File number index of a phone's camera uploads as Dropbox lists it; files 2k
// and 2k + 1 have one content, so that every file is a copy of another.
inline QJsonObject pairedPhoto(qint64 index)
{
    const QString name = QStringLiteral("IMG_20230501_%1.jpg").arg(index, 7, 10, QLatin1Char('0'));
    const QString id = QStringLiteral("id:a4ayc_80_%1").arg(index, 12, 10, QLatin1Char('0'));
    return { { QStringLiteral(".tag"), QStringLiteral("file") }, { QStringLiteral("name"), name },
        { QStringLiteral("path_display"), QStringLiteral("/Camera Uploads/") + name }, { QStringLiteral("id"), id },
        { QStringLiteral("rev"), QStringLiteral("5f3a2b4c5d6e7f0000000") + id.right(9) },
        { QStringLiteral("size"), 3456789 },
        { QStringLiteral("content_hash"),
            QStringLiteral("e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495%1")
                .arg(index / 2, 12, 10, QLatin1Char('0')) },
        { QStringLiteral("client_modified"), QStringLiteral("2023-05-01T12:34:56Z") },
        { QStringLiteral("server_modified"), QStringLiteral("2023-05-01T12:34:56Z") } };
}

inline FileInfoNodePtr recordOf(const QJsonObject& entry)
{
    auto record = std::make_shared<FileInfoNode>();
    makeDropboxFileInfoNode(*record, *DropboxFileMetadata::fromJson(entry));
    return record;
}

// A folder of Dropbox without an end, every file a copy of the next or the
// one before, listed a thousand files a page as the Dropbox handler lists
// them, under the listing's guard, until a bound ends it.
class EndlessCopies : public ScanWrapper {
protected:
    QString rootFolderName() const override { return QStringLiteral("DropBox"); }
    void listFolder(const CloudScanFoldersListPtr& folder, std::function<void(FolderListing)> done) override
    {
        FolderPages pages = folderPages();
        const std::shared_ptr<ListingGuard> guard = listingGuard();
        for (qint64 page = 0;; ++page) {
            if (!guard->admitPage(folder->folderPath, page ? QString::number(page) : QString())
                || !guard->admitEntries(folder->folderPath, 1000))
                break;
            pages.tally.beginPage(1000);
            for (qint64 index = page * 1000; index < (page + 1) * 1000; ++index) {
                const QJsonObject entry = pairedPhoto(index);
                pages.tally.take(QStringLiteral("file:") + entry.value(QStringLiteral("id")).toString());
                pages.addFile(recordOf(entry));
            }
            if (!guard->admitTaken(folder->folderPath, pages.tally, true))
                break;
        }
        pages.finish(done, false);
    }
};
