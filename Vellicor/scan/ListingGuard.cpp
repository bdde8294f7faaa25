#include "scan/ListingGuard.h"

#include "base/Log.h"
#include "base/ReleaseElsewhere.h"
#include "core/FileUtilities.h"
#include "core/Localization.h"
#include "core/TextFormat.h"

#include <QCryptographicHash>
#include <QFile>
#include <QLocale>

#include <algorithm>
#include <initializer_list>
#include <malloc.h>
#include <unistd.h>
#include <utility>
#include <vector>

ListingLimits listingLimitsWithin(qint64 memoryBytes, qint64 heldBytes, ListingLimits limits)
{
    if (memoryBytes > 0) {
        const qint64 share = std::max<qint64>(0, memoryBytes / 4 * 3 - std::max<qint64>(0, heldBytes));
        limits.listingBytes = std::min(limits.listingBytes, share);
        limits.folderBytes = std::min(limits.folderBytes, share);
    }
    return limits;
}

namespace {

// The number a control group's file holds, when it holds one ("max" and
// anything else unreadable: none).
std::optional<qint64> limitIn(const QString& file)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return std::nullopt;
    bool ok = false;
    const qint64 bytes = in.read(64).trimmed().toLongLong(&ok);
    return ok && bytes > 0 ? std::optional<qint64>(bytes) : std::nullopt;
}

// The lowest limit in file of the group at path below base and of every group
// above it.
std::optional<qint64> lowestLimitUp(const QString& base, QString path, const QString& file)
{
    std::optional<qint64> lowest;
    for (;;) {
        if (const std::optional<qint64> limit = limitIn(base + path + QLatin1Char('/') + file))
            lowest = std::min(lowest.value_or(*limit), *limit);
        if (path.isEmpty())
            return lowest;
        path.truncate(std::max<qsizetype>(0, path.lastIndexOf(QLatin1Char('/'))));
    }
}

} // namespace

qint64 memoryWithinControlGroups(qint64 physicalBytes, const QString& cgroupRoot, const QString& selfCgroups)
{
    QFile groups(selfCgroups);
    if (!groups.open(QIODevice::ReadOnly))
        return physicalBytes;
    qint64 memory = physicalBytes;
    const auto lower = [&memory](std::optional<qint64> limit) {
        if (limit && (memory <= 0 || *limit < memory))
            memory = *limit;
    };
    // "hierarchy:controllers:path" a line, a few lines of a few dozen bytes.
    for (const QByteArray& line : groups.read(64 * 1024).split('\n')) {
        const qsizetype first = line.indexOf(':');
        const qsizetype second = line.indexOf(':', first + 1);
        if (first < 0 || second < 0)
            continue;
        const QList<QByteArray> controllers = line.mid(first + 1, second - first - 1).split(',');
        QString path = QString::fromUtf8(line.mid(second + 1)).trimmed();
        if (!path.startsWith(QLatin1Char('/')) || path.contains(QLatin1String("/..")))
            continue;
        if (path == QLatin1String("/"))
            path.clear();
        if (line.startsWith("0::")) {
            // The unified hierarchy: at the root, or beside the others.
            lower(lowestLimitUp(cgroupRoot, path, QStringLiteral("memory.max")));
            lower(lowestLimitUp(cgroupRoot + QStringLiteral("/unified"), path, QStringLiteral("memory.max")));
        } else if (controllers.contains("memory")) {
            lower(lowestLimitUp(cgroupRoot + QStringLiteral("/memory"), path, QStringLiteral("memory.limit_in_bytes")));
        }
    }
    return memory;
}

qint64 memoryOfThisMachine()
{
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGE_SIZE);
    const qint64 physical = pages > 0 && pageSize > 0 ? qint64(pages) * pageSize : 0;
    return memoryWithinControlGroups(physical, QStringLiteral("/sys/fs/cgroup"), QStringLiteral("/proc/self/cgroup"));
}

namespace {

// The figures of /proc/self/status named in fields ("VmRSS:   1234 kB" a
// line), in bytes; a field not found reads 0.
std::vector<qint64> statusBytes(std::initializer_list<const char*> fields)
{
    std::vector<qint64> bytes(fields.size(), 0);
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return bytes;
    // A few dozen short lines.
    for (const QByteArray& line : status.read(16 * 1024).split('\n')) {
        size_t at = 0;
        for (const char* field : fields) {
            const QByteArray name = QByteArray(field) + ':';
            if (line.startsWith(name)) {
                bytes[at] = line.mid(name.size()).trimmed().split(' ').value(0).toLongLong() * 1024;
                break;
            }
            ++at;
        }
    }
    return bytes;
}

} // namespace

qint64 memoryHeldByThisProcess()
{
    const std::vector<qint64> status = statusBytes({ "VmRSS", "RssFile", "RssShmem" });
    const qint64 resident = status[0];
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 33))
    // The heap keeps what the program freed for its next blocks, resident
    // until it is given back: a scan that ended leaves hundreds of megabytes
    // of it, which the next listing may use as its own. What is held is the
    // resident memory less that: at most the heap's free bytes (all of them
    // resident before they are given back), at least the blocks in use with
    // what is not the heap (the program's files, shared memory).
    const struct mallinfo2 heap = ::mallinfo2();
    const qint64 lessFree = resident - qint64(heap.fordblks);
    const qint64 inUse = status[1] + status[2] + qint64(heap.uordblks) + qint64(heap.hblkhd);
    return std::clamp<qint64>(std::max(lessFree, inUse), 0, resident);
#else
    return resident;
#endif
}

qint64 heapBlockBytes(qint64 bytes)
{
    return std::max<qint64>(32, (bytes + 8 + 15) & ~qint64(15));
}

qint64 heldBytesOfText(const QString& text)
{
    // A text's block: its header, its characters and the terminating one.
    if (!const_cast<QString&>(text).data_ptr().d_ptr())
        return 0;
    return heapBlockBytes(qint64(sizeof(QArrayData)) + (text.capacity() + 1) * qint64(sizeof(QChar)));
}

std::pair<QString, QString> listingBoundTexts(const ListingBound& bound, bool picker)
{
    const QLocale locale;
    // A folder's name as the service gave it, on one line.
    const QString folderName = printablePath(bound.folder, shownPathLength);
    const QString most = locale.toString(bound.most);
    const bool ofEntries = bound.kind == ListingBound::Kind::entries;
    const bool ofPages = bound.kind == ListingBound::Kind::pages;
    if (picker) {
        const QString entries = locale.toString(bound.entries);
        const QString folder = localizedText("ID_CLOUD_FOLDER_TOO_LARGE");
        if (ofEntries)
            return { folder,
                formatText(
                    localizedText("ID_CLOUD_PICKER_FOLDER_TOO_MANY_ENTRIES_DETAILS"), { folderName, most, entries }) };
        if (ofPages)
            return { folder,
                formatText(
                    localizedText("ID_CLOUD_PICKER_FOLDER_TOO_MANY_PAGES_DETAILS"), { folderName, most, entries }) };
        return { folder,
            formatText(localizedText("ID_CLOUD_PICKER_FOLDER_TOO_LARGE_DETAILS"), { folderName, entries }) };
    }
    const QString files = locale.toString(bound.files);
    if (!bound.wholeListing)
        return { localizedText("ID_CLOUD_FOLDER_TOO_LARGE"),
            formatText(localizedText("ID_CLOUD_FOLDER_TOO_LARGE_DETAILS"), { folderName, files }) };
    const QString listing = localizedText("ID_CLOUD_LISTING_TOO_LARGE");
    if (ofEntries)
        return { listing,
            formatText(localizedText("ID_CLOUD_LISTING_TOO_MANY_ENTRIES_DETAILS"), { most, files, folderName }) };
    if (ofPages)
        return { listing,
            formatText(localizedText("ID_CLOUD_LISTING_TOO_MANY_PAGES_DETAILS"), { most, files, folderName }) };
    return { listing, formatText(localizedText("ID_CLOUD_LISTING_TOO_LARGE_DETAILS"), { files, folderName }) };
}

void keepListingBound(std::optional<ListingBound>& kept, const ListingBound& met)
{
    if (!kept || (met.wholeListing && !kept->wholeListing))
        kept = met;
}

ListingGuard::ListingGuard(QString service, ListingLimits limits, const std::atomic<bool>* abort)
    : service_(std::move(service))
    , limits_(limits)
    , abort_(abort)
{
}

QString ListingGuard::listingHeldTooMuch() const
{
    return QStringLiteral("the listing came to hold more than %1 MiB, the most one listing may hold")
        .arg(limits_.listingBytes >> 20);
}

bool ListingGuard::cutShort(const QString& folder, const QString& reason)
{
    cutByService_ = true;
    Log::print("A", service_, "listing was ended in", folder + QLatin1Char(':'), reason);
    return false;
}

bool ListingGuard::reachBound(const QString& folder, const QString& reason, bool wholeListing,
    const ListingTally* tally, ListingBound::Kind kind, qint64 most)
{
    Log::print("A", service_, "listing was ended in", folder + QLatin1Char(':'), reason);
    ListingBound met;
    met.folder = folder;
    met.wholeListing = wholeListing;
    met.kind = kind;
    met.most = most;
    met.files = wholeListing || !tally ? files_ : tally->files_;
    met.entries = tally ? tally->entriesTaken() : entriesTaken_;
    keepListingBound(bound_, met);
    return false;
}

bool ListingGuard::admitPage(const QString& folder, const QString& cursor, const QString& query)
{
    if (isStopped() || isWholeListingBound())
        return false;
    // A folder ended at its own bound whose kept listing spent the listing's
    // share too (the same bound, or none left as the listing began) is told
    // as that folder too large while nothing more is asked for; once more
    // is, the listing is told as too large up to it.
    if (heldBytes_ > limits_.listingBytes)
        return reachBound(spentBy_, listingHeldTooMuch(), true, nullptr);
    if (++pages_ > limits_.pages)
        return reachBound(folder,
            QStringLiteral("%1 pages were asked for, the most one listing may ask for").arg(limits_.pages), true,
            nullptr, ListingBound::Kind::pages, limits_.pages);
    if (cursor.isEmpty())
        return true;
    // The folder goes with its cursor: a service may hand two folders the
    // same one.
    QCryptographicHash digest(QCryptographicHash::Sha256);
    for (const QString& part : { folder, query }) {
        digest.addData(part.toUtf8());
        digest.addData(QByteArrayView("\0", 1));
    }
    digest.addData(cursor.toUtf8());
    const QByteArray key = digest.result();
    if (cursors_.contains(key))
        return cutShort(folder, QStringLiteral("the service handed out the same next page again"));
    cursors_.insert(key);
    return true;
}

bool ListingGuard::admitEntries(const QString& folder, qint64 count)
{
    if (isWholeListingBound())
        return false;
    entries_ += count;
    if (entries_ <= limits_.entries)
        return true;
    return reachBound(folder,
        QStringLiteral("%1 entries were listed, the most one listing may hold").arg(limits_.entries), true, nullptr,
        ListingBound::Kind::entries, limits_.entries);
}

ListingTally::~ListingTally()
{
    // A copy's entries are its original's too: they go with the last one.
    if (seenBytes_ >= givenBackFromBytes && !seen_.isEmpty() && seen_.isDetached())
        releaseElsewhereGivingBack(std::move(seen_));
}

void ListingTally::beginPage(qsizetype entries)
{
    pageEntries_ = entries;
    fresh_ = 0;
}

bool ListingTally::take(const QString& entry)
{
    const qsizetype before = seen_.size();
    seen_.insert(entry);
    if (seen_.size() == before)
        return false;
    // Its place in the set and its text.
    seenBytes_ += 48 + heldBytesOfText(entry);
    ++fresh_;
    return true;
}

bool ListingGuard::admitTaken(const QString& folder, ListingTally& tally, bool more)
{
    heldBytes_ += tally.keptBytes_ - tally.countedBytes_;
    tally.countedBytes_ = tally.keptBytes_;
    files_ += tally.files_ - tally.countedFiles_;
    tally.countedFiles_ = tally.files_;
    entriesTaken_ += tally.entriesTaken() - tally.countedEntries_;
    tally.countedEntries_ = tally.entriesTaken();
    // A folder past its own bound is the one too large, also where the
    // listing's bound is the same.
    if (tally.heldBytes() > limits_.folderBytes) {
        tally.endedAtBound_ = true;
        // The folder keeps what it listed; when that spent the listing's
        // share too, the next page asked for ends the listing at it.
        if (heldBytes_ > limits_.listingBytes && spentBy_.isEmpty())
            spentBy_ = folder;
        return reachBound(folder,
            QStringLiteral("its listing came to hold more than %1 MiB, the most one folder's listing may hold")
                .arg(limits_.folderBytes >> 20),
            false, &tally);
    }
    // The entries the folder has met are held too while it is listed.
    if (heldBytes_ + tally.seenBytes_ > limits_.listingBytes) {
        tally.endedAtBound_ = true;
        return reachBound(folder, listingHeldTooMuch(), true, &tally);
    }
    if (!more || tally.fresh_ > 0) {
        tally.emptyInARow_ = 0;
        return true;
    }
    if (tally.pageEntries_ > 0)
        return cutShort(folder, QStringLiteral("a page brought no entry that had not been listed"));
    if (++tally.emptyInARow_ < limits_.emptyPages)
        return true;
    return cutShort(folder, QStringLiteral("%1 pages in a row brought no entry").arg(limits_.emptyPages));
}

bool ListingGuard::admitFolder(const QString& folderId, const QString& folderPath, bool withSubFolders)
{
    if (folderId.isEmpty())
        return true;
    const auto met = folderIds_.find(folderId);
    if (met == folderIds_.end()) {
        folderIds_.insert(folderId, withSubFolders);
        return true;
    }
    // Met before without its sub-folders: now they are listed too, its files
    // being taken once by the scan however often they come.
    if (!met.value() && withSubFolders) {
        met.value() = true;
        return true;
    }
    Log::print("A", service_, "folder met again in one listing was skipped:", folderPath);
    return false;
}

void ListingGuard::stop()
{
    if (stopped_.exchange(true))
        return;
    requests_.reset();
    if (std::function<void()> onStop = std::exchange(onStop_, nullptr))
        onStop();
}
