#pragma once

#include <QByteArray>
#include <QObject>
#include <QHash>
#include <QSet>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

// How far one cloud listing may go: far past a real drive's folders and
// files, yet an end for a service whose pages never stop. The bounds of memory
// are counted with what the records really hold (heldBytesOf): measured at
// 0.8 KB a file of Box and OneDrive, 1.4 KB of Dropbox and 3.2 KB a picture
// of the Drive with its details and camera facts, and 0.1 to 0.2 KB more for
// its entry while its folder is listed; a scan's listing adds what the scan
// and the comparison it will run hold for each file (heldBytesOfListedFile):
// 0.3 KB by checksum, up to 1.4 KB by name, size and dates, and more for
// similar names, growing with the square of a name's length; and 0.26 KB
// that the results screen holds for it once it shows the result.
struct ListingLimits {
    // A listing of five million files takes a few thousand pages of a
    // thousand entries, and one page or more for each of its folders.
    qint64 pages = 2000000;
    // Files and folders: five million files and their folders, twice over.
    qint64 entries = 10000000;
    // What one folder's listing may hold in memory (its records and
    // sub-folders, and the entries it has met) before it is handed on: a
    // flat folder of a million files of any service, the Drive's pictures
    // included, whatever the comparison of a scan (names of a camera's
    // length compared as similar and by size and dates hold the most).
    qint64 folderBytes = 8ll * 1024 * 1024 * 1024;
    // What a whole listing (a scan's walk, the Drive scan, one folder of the
    // picker) may keep, all its folders together: five million files of any
    // service, the Drive's pictures included, compared by checksum.
    qint64 listingBytes = 18ll * 1024 * 1024 * 1024;
    // Pages in a row without any entry while more are announced: a service
    // may hand out a few before its end, a hostile one hands them out for ever.
    int emptyPages = 10;
};

// The bounds of limits for a listing that begins while the program holds
// heldBytes of the memoryBytes it may take: a whole listing, and so each of
// its folders, keeps at most three quarters of that memory less what is held
// already (the program itself, a result still shown, folders listed before),
// so that the program as a whole stays within three quarters and a listing
// larger than that is told as too large rather than ended by the system. A
// machine of 24 GiB or more keeps nearly the bounds whole.
ListingLimits listingLimitsWithin(qint64 memoryBytes, qint64 heldBytes = 0, ListingLimits limits = ListingLimits());

// The memory the program may take here: physicalBytes, or the limit of a
// control group it runs in where that is lower (v2's memory.max, v1's
// memory.limit_in_bytes, of its own group or of one above it). The groups
// are found below cgroupRoot as selfCgroups (the form of /proc/self/cgroup)
// names them; none, or one without a limit, leaves physicalBytes.
qint64 memoryWithinControlGroups(qint64 physicalBytes, const QString& cgroupRoot, const QString& selfCgroups);
// The same for this process on this machine.
qint64 memoryOfThisMachine();
// What this process holds of that memory now: its resident memory less what
// its heap keeps free (what it freed and has not given back yet).
qint64 memoryHeldByThisProcess();

// What the allocator takes for a block of bytes: its header, the whole
// rounded up to 16 bytes, at least 32.
qint64 heapBlockBytes(qint64 bytes);
// What a text's characters take on the heap: their block, none for a null
// text or a literal's.
qint64 heldBytesOfText(const QString& text);

// Where a bound of a listing ended it, and how far it had come: what the
// user is told (the folder too large to list whole, the files listed).
struct ListingBound {
    // The folder whose listing met the bound.
    QString folder;
    // A bound of the whole listing (every further page refused), not one
    // folder's.
    bool wholeListing = false;
    // The files taken when the bound was met: the folder's, or the whole
    // listing's.
    qint64 files = 0;
    // The entries (files and folders) taken by then: the folder's, or, for
    // a bound of pages or entries met between pages, the whole listing's (a
    // picker's listing is one folder's).
    qint64 entries = 0;
    // Which bound was met: what the listing (or the folder's) holds in
    // memory, or how many entries or pages one listing takes; for the last
    // two, how many at most.
    enum class Kind { memory, entries, pages };
    Kind kind = Kind::memory;
    qint64 most = 0;
};

// What the user is told of a bound met, title and details: the folder too
// large to list whole, which bound it met, how many of its files were listed
// (for the picker, its entries), and that the rest are left out. Counts are
// written as the user's locale writes numbers.
std::pair<QString, QString> listingBoundTexts(const ListingBound& bound, bool picker);

// Keeps met in kept when it is the one to tell: the first bound met, unless
// the whole listing's comes after it.
void keepListingBound(std::optional<ListingBound>& kept, const ListingBound& met);

// What one folder's listing has met over its pages: the entries taken, so
// that one a later page brings again is taken once (offsets shift while a
// folder changes; a hostile service repeats itself under fresh cursors), the
// files taken, and what the listing holds in memory. A handler takes each page between
// beginPage and ListingGuard::admitTaken. One listing's thread.
class ListingTally {
public:
    ListingTally() = default;
    // The entries of a large listing (from givenBackFromBytes: some 120,000),
    // each a block of its own, are let go of on the pool and the memory they
    // freed is given back to the system there: the GUI thread, where a
    // listing ends, would free them one by one, and the heap would keep their
    // pages resident after the listing (the picker's of a folder of millions
    // of entries keeps no more than its sub-folders).
    ~ListingTally();
    ListingTally(const ListingTally&) = default;
    ListingTally(ListingTally&&) = default;
    ListingTally& operator=(const ListingTally&) = default;
    ListingTally& operator=(ListingTally&&) = default;
    static constexpr qint64 givenBackFromBytes = 16ll << 20;

    // A page of entries entries (usable or not) is read.
    void beginPage(qsizetype entries);
    // True when no earlier page of the listing brought entry (the service's
    // id of it, with its kind where kinds share ids); it then counts as new
    // on this page, and what it takes to remember it as held while the
    // folder is listed.
    bool take(const QString& entry);
    // The listing holds bytes more: a sub-folder, a path kept.
    void hold(qint64 bytes) { keptBytes_ += bytes; }
    // The listing holds one file's record more, of bytes.
    void holdFile(qint64 bytes)
    {
        keptBytes_ += bytes;
        ++files_;
    }

    // What the folder's listing holds: what it keeps and the entries met.
    qint64 heldBytes() const { return keptBytes_ + seenBytes_; }
    qsizetype entriesTaken() const { return qsizetype(seen_.size()); }
    qint64 filesTaken() const { return files_; }
    // The entries of the page begun last that no earlier page brought.
    qsizetype freshOnPage() const { return fresh_; }
    // The guard ended this folder's listing at a bound.
    bool endedAtBound() const { return endedAtBound_; }

private:
    friend class ListingGuard;

    QSet<QString> seen_;
    // What is handed on with the listing, and what goes with the tally.
    qint64 keptBytes_ = 0;
    qint64 seenBytes_ = 0;
    qint64 files_ = 0;
    // What the guard has counted of keptBytes_ and files_ toward the whole
    // listing.
    qint64 countedBytes_ = 0;
    qint64 countedFiles_ = 0;
    qsizetype countedEntries_ = 0;
    qsizetype pageEntries_ = 0;
    qsizetype fresh_ = 0;
    int emptyInARow_ = 0;
    bool endedAtBound_ = false;
};

// What ends a cloud listing a service would keep going: a next-page cursor,
// token or link met again, a page that brings nothing new while more are
// announced, the bounds on pages and entries, a folder's listing or the whole
// listing holding too much, and the listing's own stop (Stop of a scan, the
// picker closed). Once a bound of the whole listing is met every further page
// is refused, so a walk over many folders ends too. Each end is logged once
// with its reason; a bound met is kept to be told as what it is, apart from
// the ends of a service that repeats itself. The guard's own memory stays
// bounded by the page bound (a digest per page, never the cursor itself).
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
    // holds more than its bound (only that folder's listing ends; when what
    // it keeps spent the whole listing's share too, the next page asked for
    // ends the listing) or the whole listing keeps more than its own (every
    // further page is refused), or more is announced yet the page brought
    // nothing new: entries all taken before, or none at all emptyPages times
    // in a row. The entries a folder has met go with its listing: they count
    // toward the whole listing's bound only while it is listed.
    bool admitTaken(const QString& folder, ListingTally& tally, bool more);
    // Ends the listing of folder for a reason the handler found (a service
    // that repeats itself); logged, and the listing counts as cut short.
    // Always false.
    bool cutShort(const QString& folder, const QString& reason);
    // A folder of the listing met by its id; false (logged) when it was met
    // before in this listing: a folder listed as its own descendant, or one
    // chosen inside another. One met before without its sub-folders is
    // admitted once more with them. A folder without an id is always admitted.
    bool admitFolder(const QString& folderId, const QString& folderPath, bool withSubFolders = true);

    // The context of the listing's requests: it goes at stop(), and with it
    // every request still on its way, which ends unanswered at once instead
    // of running to its deadline. None once stopped.
    QObject* requestContext() const { return requests_.get(); }
    // Ends the listing: its requests on their way end unanswered, its next
    // step finds it stopped, and onStop (when set) runs now, once.
    void stop();
    void setOnStop(std::function<void()> onStop) { onStop_ = std::move(onStop); }
    bool isStopped() const { return stopped_ || (abort_ && *abort_); }
    // A service that repeats itself or a bound ended some part of the listing.
    bool wasCutShort() const { return cutByService_ || bound_; }
    // A service that repeats itself did (whatever the bounds did).
    bool wasCutByService() const { return cutByService_; }
    // The bound that ended (part of) the listing, the first one met or the
    // whole listing's; none while every bound holds.
    const std::optional<ListingBound>& boundReached() const { return bound_; }
    // A bound of the whole listing was met: every further page is refused.
    bool isWholeListingBound() const { return bound_ && bound_->wholeListing; }

private:
    const QString service_;
    const ListingLimits limits_;
    const std::atomic<bool>* const abort_;
    std::atomic<bool> stopped_ { false };
    std::unique_ptr<QObject> requests_ = std::make_unique<QObject>();
    std::function<void()> onStop_;
    // Logs the bound met (the whole listing's, or tally's folder's) and
    // keeps it; always false.
    bool reachBound(const QString& folder, const QString& reason, bool wholeListing, const ListingTally* tally,
        ListingBound::Kind kind = ListingBound::Kind::memory, qint64 most = 0);
    // The log's reason for the whole listing's bound of memory.
    QString listingHeldTooMuch() const;

    bool cutByService_ = false;
    std::optional<ListingBound> bound_;
    qint64 pages_ = 0;
    qint64 entries_ = 0;
    qint64 heldBytes_ = 0;
    // The folder whose own bound found the listing's share spent.
    QString spentBy_;
    // The files and entries of the pages taken so far, all folders together.
    qint64 files_ = 0;
    qint64 entriesTaken_ = 0;
    QSet<QByteArray> cursors_;
    // Each folder met by its id, and whether with its sub-folders.
    QHash<QString, bool> folderIds_;
};
