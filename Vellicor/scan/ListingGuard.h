#pragma once

#include <QByteArray>
#include <QSet>
#include <QString>

#include <atomic>
#include <functional>

// How far one cloud listing may go: generous for a real drive with millions of
// files, yet an end for a service whose pages never stop.
struct ListingLimits {
    qint64 pages = 500000;
    qint64 entries = 5000000;
    // What one folder's listing may hold in memory (its records and
    // sub-folders) before it is handed on.
    qint64 folderBytes = 128ll * 1024 * 1024;
};

// What ends a cloud listing a service would keep going: a next-page cursor,
// token or link met again, the bounds on pages and entries, a folder whose
// listing holds too much, and the listing's own stop (Stop of a scan, the
// picker closed). Once the bound on pages or entries is met every further page
// is refused, so a walk over many folders ends too. Each end is logged once
// with its reason; memory stays bounded by the page bound (a digest per page,
// never the cursor itself).
//
// GUI thread, where the listings run; isStopped() may be read anywhere.
class ListingGuard {
public:
    // abort: a flag of the owner that stops the listing too (none: only stop()).
    ListingGuard(QString service, ListingLimits limits, const std::atomic<bool>* abort = nullptr);

    // The listing of folder asks for a page: the first (an empty cursor) or
    // the one at cursor. False when it must end instead. A folder listed
    // twice over in one listing, by different queries, tells them apart by
    // query.
    bool admitPage(const QString& folder, const QString& cursor, const QString& query = QString());
    // A page brought count more entries (files and folders); false once the
    // bound is met.
    bool admitEntries(const QString& folder, qint64 count);
    // One folder's listing holds heldBytes now; false (logged) past the bound.
    // Only that folder's listing ends.
    bool admitFolderBytes(const QString& folder, qint64 heldBytes);
    // Ends the listing of folder for a reason the handler found (a service
    // that repeats itself); logged, and the listing counts as cut short.
    // Always false.
    bool cutShort(const QString& folder, const QString& reason);
    // A folder of the listing met by its id; false (logged) when it was met
    // before in this listing: a folder listed as its own descendant.
    bool admitFolder(const QString& folderId, const QString& folderPath);

    // Ends the listing: its next step finds it stopped, and onStop (when set)
    // runs now, once.
    void stop();
    void setOnStop(std::function<void()> onStop) { onStop_ = std::move(onStop); }
    bool isStopped() const { return stopped_ || (abort_ && *abort_); }
    // A repeated cursor or a bound ended some part of the listing.
    bool wasCutShort() const { return cutShort_; }

private:
    const QString service_;
    const ListingLimits limits_;
    const std::atomic<bool>* const abort_;
    std::atomic<bool> stopped_ { false };
    std::function<void()> onStop_;
    bool cutShort_ = false;
    bool boundMet_ = false;
    qint64 pages_ = 0;
    qint64 entries_ = 0;
    QSet<QByteArray> cursors_;
    QSet<QString> folderIds_;
};
