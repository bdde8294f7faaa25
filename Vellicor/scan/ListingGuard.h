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
    // What a whole listing (a scan's walk, the Drive scan, one folder of the
    // picker) may hold, all its folders together: about a million records of
    // a real drive.
    qint64 listingBytes = 2ll * 1024 * 1024 * 1024;
    // Pages in a row without any entry while more are announced: a service
    // may hand out a few before its end, a hostile one hands them out for ever.
    int emptyPages = 10;
};

// What one folder's listing has met over its pages: the entries taken, so
// that one a later page brings again is taken once (offsets shift while a
// folder changes; a hostile service repeats itself under fresh cursors), and
// roughly what the listing holds in memory. A handler takes each page between
// beginPage and ListingGuard::admitTaken. One listing's thread.
class ListingTally {
public:
    // A page of entries entries (usable or not) is read.
    void beginPage(qsizetype entries);
    // True when no earlier page of the listing brought entry (the service's
    // id of it, with its kind where kinds share ids); it then counts as new
    // on this page, and what it takes to remember it as held.
    bool take(const QString& entry);
    // The listing holds bytes more: a record, a sub-folder, a path kept.
    void hold(qint64 bytes) { heldBytes_ += bytes; }

    qint64 heldBytes() const { return heldBytes_; }
    qsizetype entriesTaken() const { return qsizetype(seen_.size()); }
    // The entries of the page begun last that no earlier page brought.
    qsizetype freshOnPage() const { return fresh_; }

private:
    friend class ListingGuard;

    QSet<QString> seen_;
    qint64 heldBytes_ = 0;
    // What the guard has counted of heldBytes_ toward the whole listing.
    qint64 countedBytes_ = 0;
    qsizetype pageEntries_ = 0;
    qsizetype fresh_ = 0;
    int emptyInARow_ = 0;
};

// What ends a cloud listing a service would keep going: a next-page cursor,
// token or link met again, a page that brings nothing new while more are
// announced, the bounds on pages and entries, a folder's listing or the whole
// listing holding too much, and the listing's own stop (Stop of a scan, the
// picker closed). Once a bound of the whole listing is met every further page
// is refused, so a walk over many folders ends too. Each end is logged once
// with its reason; the guard's own memory stays bounded by the page bound (a
// digest per page, never the cursor itself).
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
    // A page of folder's listing was taken into tally; more: it announces a
    // next page. False (logged) when the listing must end here: its folder
    // holds more than its bound (only that folder's listing ends) or the
    // whole listing does (every further page is refused), or more is
    // announced yet the page brought nothing new: entries all taken before,
    // or none at all emptyPages times in a row.
    bool admitTaken(const QString& folder, ListingTally& tally, bool more);
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
    qint64 heldBytes_ = 0;
    QSet<QByteArray> cursors_;
    QSet<QString> folderIds_;
};
